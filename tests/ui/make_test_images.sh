#!/usr/bin/env bash
# Makes the images that the window tests open, with the tools users trust (mkfs.fat, mtools):
#   populated.img  1.44 MB, label TESTDISK: folders three deep, long names, 8.3-only names, a
#                  short name with an inner blank, empty files, read-only/hidden/system/archive
#   order.img      1.44 MB: names that sort by number and case, distinct sizes and moments, a
#                  file of a kind nothing opens, and the folder "Many" of 60 files
#   empty360.img   360 KB (720 sectors), empty; also as "Δίσκος 360.img", a name beyond any
#                  single code page but Greek
#   empty1200.img  1.2 MB (2400 sectors), empty
#   two.zip        populated.img and empty360.img in one ZIP archive
# Usage: make_test_images.sh OUTPUT-FOLDER
set -euo pipefail
out="$1"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0
PATH="$PATH:/usr/sbin:/sbin"

# Every file and folder gets the same known moment, so the Modified column can be checked.
export SOURCE_DATE_EPOCH=$(date -u -d '2021-03-04 05:06:08' +%s)
stamp() { touch -d '2021-03-04 05:06:08' "$@"; }

img="$work/populated.img"
mkfs.fat -C -n TESTDISK -i 12345678 "$img" 1440 >/dev/null
printf 'hello\n' > "$work/readme"; stamp "$work/readme"
printf 'x\n' > "$work/long"; stamp "$work/long"
head -c 1000 /dev/zero > "$work/system"; stamp "$work/system"
printf 'ab\n' > "$work/abcd"; stamp "$work/abcd"
: > "$work/empty"; stamp "$work/empty"
printf 'notes\n' > "$work/notes"; stamp "$work/notes"
printf 'deep\n' > "$work/deep"; stamp "$work/deep"

mcopy -m -i "$img" "$work/readme" ::README.TXT
mcopy -m -i "$img" "$work/long" "::Long file name document.txt"
mcopy -m -i "$img" "$work/system" ::SYSTEM.SYS
mcopy -m -i "$img" "$work/abcd" ::ABXCD.TXT
mcopy -m -i "$img" "$work/empty" ::EMPTY1.DAT
mcopy -m -i "$img" "$work/empty" ::EMPTY2.DAT
mmd -i "$img" ::DOCS "::Photos of the summer" "::DOCS/Project Files" "::DOCS/Project Files/INNER"
mcopy -m -i "$img" "$work/notes" ::DOCS/NOTES.TXT
mcopy -m -i "$img" "$work/deep" "::DOCS/Project Files/Deep Notes.txt"
mattrib -i "$img" -a +r +h "::Long file name document.txt"
mattrib -i "$img" -a +s ::SYSTEM.SYS

# mtools cannot make a short name with an inner blank: rename ABXCD to "AB CD" in place.
python3 - "$img" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
root = 19 * 512                      # 1.44 MB: 1 reserved + 2 x 9 FAT sectors
for slot in range(224):
    at = root + slot * 32
    if data[at:at + 11] == b"ABXCD   TXT":
        data[at + 2] = 0x20
        break
else:
    sys.exit("ABXCD.TXT not found")
open(path, "wb").write(bytes(data))
PY
mv "$img" "$out/populated.img"

img="$work/order.img"
mkfs.fat -C "$img" 1440 >/dev/null
mmd -i "$img" ::ALPHA "::folder 9" "::Folder 10" ::Many
day=1
for named in file10.txt:30 File2.txt:200 file1.txt:5 README.TXT:1000 Zeta.qqqzz:1; do
  name=${named%:*}
  head -c "${named#*:}" /dev/zero > "$work/$name"
  touch -d "2021-03-0$day 12:00:00" "$work/$name"
  mcopy -m -i "$img" "$work/$name" "::$name"
  day=$((day + 1))
done
mkdir "$work/many"
for n in $(seq 1 60); do printf '%s\n' "$n" > "$work/many/item $n.txt"; done
mcopy -i "$img" "$work/many/"* ::Many/
mv "$img" "$out/order.img"

mkfs.fat -C "$work/empty360.img" 360 >/dev/null
mv "$work/empty360.img" "$out/empty360.img"
cp "$out/empty360.img" "$out/Δίσκος 360.img"
mkfs.fat -C "$work/empty1200.img" 1200 >/dev/null
mv "$work/empty1200.img" "$out/empty1200.img"
# Zipped: an archive of two images.
(cd "$out" && rm -f two.zip && zip -q -X two.zip populated.img empty360.img)
