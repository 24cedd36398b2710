#!/usr/bin/env bash
# Checks the images that the file command window tests saved through Save and Save As with
# fsck.fat in read-only mode. A missing image fails too: its save did not happen.
# Usage: check_saved_images.sh IMAGE-FOLDER
set -u
folder="$1"
PATH="$PATH:/usr/sbin:/sbin"
status=0
for name in saved-first.img saved-populated.img saved-untitled.img saved-before-open.img; do
  image="$folder/$name"
  if [ ! -f "$image" ]; then
    echo "missing: $image"; status=1; continue
  fi
  if ! fsck.fat -n "$image"; then
    echo "fsck.fat found faults in $image"; status=1
  fi
done
exit $status
