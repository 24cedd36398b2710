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
# What the edit tests wrote, as mtools reads it.
expect() {  # IMAGE TEXT COMMAND [ARGS...]: the command's output on the image holds TEXT
  local image="$data/out/$1" text="$2" command="$3"
  shift 3
  [ -f "$image" ] || return 0  # reported above
  if ! "$command" -i "$image" "$@" 2>&1 | grep -qF -- "$text"; then
    echo "$image: $command $* does not show '$text'"; status=1
  fi
}
expect renamed.img "::/Read me first.txt" mdir -/ -b ::
expect renamed.img "::/My documents/NOTES.TXT" mdir -/ -b ::
expect attributes.img "  A   HR     ::/Long file name document.txt" mattrib "::Long file name document.txt"
expect attributes.img "Volume label is BACKUP 2" mlabel -s ::
expect folders.img "::/New folder/" mdir -/ -b ::
expect folders.img "::/insert/Second inserted file.dat" mdir -/ -b ::
expect folders.img "::/FIRST.TXT" mdir -/ -b ::
exit $status
