#!/usr/bin/env bash
# Checks the images that the entry command window tests saved: fsck.fat in read-only mode finds
# nothing, and mtools lists exactly what must be there. A missing image fails too.
# Usage: check_entry_images.sh DATA-FOLDER
set -u
data="$1"
export MTOOLS_SKIP_CHECK=1
PATH="$PATH:/usr/sbin:/sbin"
status=0
for name in deleted.img inserted.img renamed.img attributes.img folders.img; do
  image="$data/out/$name"
  if [ ! -f "$image" ]; then
    echo "missing: $image (the window test did not save it)"; status=1; continue
  fi
  if ! fsck.fat -n "$image"; then
    echo "fsck.fat found faults in $image"; status=1
  fi
done

# Deleting in the window leaves what deleting the same entries with mtools leaves.
if [ -f "$data/out/deleted.img" ]; then
  left=$(mdir -/ -b -i "$data/out/deleted.img" :: | sort)
  if ! diff -u "$data/deleted-by-mtools.list" <(printf "%s\n" "$left"); then
    echo "deleted.img does not hold what mtools leaves after the same deletions"; status=1
  fi
fi

# The inserted files are there with their names and bytes.
if [ -f "$data/out/inserted.img" ]; then
  check_file() {  # IMAGE-PATH HOST-FILE
    if ! mtype -i "$data/out/inserted.img" "$1" | cmp -s - "$2"; then
      echo "inserted.img: $1 differs from $2"; status=1
    fi
  }
  check_file "::FIRST.TXT" "$data/insert/FIRST.TXT"
  check_file "::Second inserted file.dat" "$data/insert/Second inserted file.dat"
  check_file "::empty inserted.txt" "$data/insert/empty inserted.txt"
  check_file "::DOCS/FIRST.TXT" "$data/insert/FIRST.TXT"
fi
exit $status
