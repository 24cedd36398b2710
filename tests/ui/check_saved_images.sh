#!/usr/bin/env bash
# Checks the images the window tests saved: each must be there (else its save did not happen) and
# pass fsck.fat in read-only mode. Of the entry command tests' images, out/deleted.img must hold
# what mtools leaves after the same deletions (FOLDER/deleted-by-mtools.list) and out/inserted.img
# the inserted files with their names and bytes (FOLDER/insert).
# Usage: check_saved_images.sh FOLDER IMAGE...   (IMAGE: a path inside FOLDER)
set -u
folder="$1"; shift
export MTOOLS_SKIP_CHECK=1
PATH="$PATH:/usr/sbin:/sbin"
status=0
for name in "$@"; do
  image="$folder/$name"
  if [ ! -f "$image" ]; then
    echo "missing: $image (the window test did not save it)"; status=1; continue
  fi
  if ! fsck.fat -n "$image"; then
    echo "fsck.fat found faults in $image"; status=1
  fi
  case "$name" in
  out/deleted.img)
    left=$(mdir -/ -b -i "$image" :: | sort)
    if ! diff -u "$folder/deleted-by-mtools.list" <(printf "%s\n" "$left"); then
      echo "$image does not hold what mtools leaves after the same deletions"; status=1
    fi ;;
  out/undeleted.img)
    for file in README.TXT "Long file name document.txt"; do
      if ! mtype -i "$image" "::$file" | cmp -s - "$folder/ref/$file"; then
        echo "$image: undeleted $file differs from $folder/ref/$file"; status=1
      fi
    done ;;
  out/inserted.img)
    for pair in "FIRST.TXT:FIRST.TXT" "Second inserted file.dat:Second inserted file.dat" \
                "empty inserted.txt:empty inserted.txt" "DOCS/FIRST.TXT:FIRST.TXT"; do
      if ! mtype -i "$image" "::${pair%%:*}" | cmp -s - "$folder/insert/${pair#*:}"; then
        echo "$image: ${pair%%:*} differs from $folder/insert/${pair#*:}"; status=1
      fi
    done ;;
  esac
done
exit $status
