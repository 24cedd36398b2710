#!/usr/bin/env bash
# Makes, with the tools users trust, what the entry command window tests work on and compare with:
#   tree.img       1.44 MB: long and 8.3 names, folders three deep, files of many clusters, empty
#                  files, a folder of long names spanning several clusters
#   ref/           `mcopy -s` of the whole root of tree.img: what extraction must give
#   deleted-by-mtools.list
#                  `mdir` listing of tree.img after mtools deleted what the delete test deletes
#   mdeleted.img   tree.img after those deletions by mtools: what the undelete test recovers
#   small.img      720 KB, empty: the image shown before a floppy is read
#   Ονόματα.img    1.44 MB: Greek, Cyrillic and CJK long names, and the 8.3 names mtools stores
#                  with the lower-case flags (a folder "deep" holding "readme.txt")
#   insert/        host files for the insert test
# Usage: make_entry_data.sh OUTPUT-FOLDER
set -euo pipefail
out="$1"
rm -rf "$out"
mkdir -p "$out/insert" "$out/out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0
PATH="$PATH:/usr/sbin:/sbin"

# Contents that differ in every cluster, so a misplaced cluster shows: SIZE SEED PATH triples,
# written by one Python process.
write_patterns() {
  python3 - "$@" <<'PY'
import sys
args = sys.argv[1:]
for n, seed, path in zip(args[0::3], args[1::3], args[2::3]):
    s = seed.encode()
    with open(path, "wb") as f:
        f.write(bytes((s[i % len(s)] + i // 512) % 256 for i in range(int(n))))
PY
}

src="$work/src"
mkdir -p "$src/DOCS/Project Files/INNER" "$src/Photos of the summer" "$src/GAMES"
printf 'hello\n' > "$src/README.TXT"
: > "$src/EMPTY.DAT"
printf 'notes\n' > "$src/DOCS/NOTES.TXT"
printf 'deep\n' > "$src/DOCS/Project Files/Deep Notes.txt"
: > "$src/DOCS/Project Files/INNER/Empty long named file.txt"
patterns=(3000 "long document " "$src/Long file name document.txt"
          1500 "mixed" "$src/Mixed Case.Txt"
          5000 "inner data" "$src/DOCS/Project Files/INNER/DATA.BIN"
          700 "game" "$src/GAMES/TETRIS.EXE")
for i in $(seq 1 24); do
  patterns+=($((i * 97)) "photo $i" "$src/Photos of the summer/Holiday picture number $i.jpg")
done
write_patterns "${patterns[@]}"
# Viewing: a type the tests associate with an application, and one nobody knows.
printf 'view me\n' > "$src/Viewed note.tolvenview"
printf 'unknown\n' > "$src/Unknown kind.qqqzz"

img="$out/tree.img"
mkfs.fat -C -n ENTRYTEST -i 0badcafe "$img" 1440 >/dev/null
( cd "$src" && mcopy -s -i "$img" * ::/ )

mkdir "$out/ref"
mcopy -s -n -i "$img" '::*' "$out/ref/"

# What the delete test removes, done by mtools on a copy: the listing of what must remain.
cp "$img" "$work/deleted.img"
mdel -i "$work/deleted.img" ::README.TXT "::Long file name document.txt"
mdeltree -i "$work/deleted.img" "::Photos of the summer" ::GAMES
mdel -i "$work/deleted.img" "::DOCS/Project Files/Deep Notes.txt"
mdir -/ -b -i "$work/deleted.img" :: | sort > "$out/deleted-by-mtools.list"
cp "$work/deleted.img" "$out/mdeleted.img"

mkfs.fat -C -n SMALL "$out/small.img" 720 >/dev/null

names="$work/names"
mkdir -p "$names/Φάκελος" "$names/deep"
printf 'x\n' | tee "$names/Ελληνικά.txt" "$names/Кириллица.txt" "$names/漢字 文件.txt" \
  "$names/Φάκελος/Σημειώσεις.txt" "$names/deep/readme.txt" >/dev/null
mkfs.fat -C "$out/Ονόματα.img" 1440 >/dev/null
( cd "$names" && LC_ALL=C.UTF-8 mcopy -s -i "$out/Ονόματα.img" * ::/ )

# Host files to insert.
printf 'first inserted file\n' > "$out/insert/FIRST.TXT"
write_patterns 4000 "second" "$out/insert/Second inserted file.dat"
: > "$out/insert/empty inserted.txt"
