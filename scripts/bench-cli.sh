#!/usr/bin/env bash
# tolven-cli against its peers (mtools, mkfs.fat), command by command, on the same images:
# add of a tree, 100 single-file adds, add of one big file, rm of a tree, ls -r, new, extraction
# of a tree and of one big file. The two run in turns, round after round, so that a busy machine
# slows them alike; each row gives the median of the per-round ratios, the best time of each, and
# the peak memory of one run of each (/usr/bin/time). Insertion into one folder is also counted in
# instructions (valgrind) for 1,000 and 2,000 entries: linear work grows about 2 times, quadratic
# 4; and the system calls an added file costs (strace), against mcopy's. rm is also set against
# the save floor (bench/save_floor.cpp, built beside tolven-cli): a program that only reads the
# image, writes a new file, flushes it and puts it in place, the save's own guarantee.
# The goal column holds the most each ratio may be; one folder's growth may be at most 2.2.
# Writes its section of docs/performance.md (scripts/bench-common.sh).
# Usage: scripts/bench-cli.sh [path/to/tolven-cli] [rounds]   (TMPDIR=/dev/shm measures the work
# itself rather than the disk; the first line says which file system the files were on)
set -eu
. "$(dirname "$0")/bench-common.sh"
bench_cli_setup 7 "$@"
floor="$(dirname "$cli")/tolven_save_floor"
cmake --build "$(dirname "$cli")" --target tolven_save_floor >/dev/null 2>&1 || true

# The tree: 10 folders x 10 subfolders x 10 files with long names, 1 to 2,000 bytes.
for a in $(seq 0 9); do
  for b in $(seq 0 9); do
    d="tree/Folder number $a/Subfolder $b"
    mkdir -p "$d"
    for c in $(seq 0 9); do
      head -c $(( 1 + (a * 100 + b * 10 + c) * 37 % 2000 )) /dev/urandom > "$d/data file $c.bin"
    done
  done
done
# Long names of up to 12 characters: two root slots each, so all 100 fit the 240-entry root.
mkdir singles && for i in $(seq 1 100); do head -c 1500 /dev/urandom > "singles/file $i.txt"; done
head -c 2900000 /dev/urandom > big.bin
blank() { rm -f "$1"; "$mkfs" -C -F 12 -f 2 -r 240 "$1" 2880 >/dev/null; }
blank empty.img
cp empty.img full.img && mcopy -s -i full.img tree/* ::/
blank bigfile.img && mcopy -i bigfile.img big.bin ::/BIG.BIN

now() { date +%s%N; }
# Each step: a setup (untimed) and the timed command, for either side.
us() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); echo $(( (t1 - t0) / 1000 )); }
adds() { for f in singles/*; do "$@" "$f"; done; }
t_add() { cp empty.img t.img; us "$cli" add t.img tree/Folder*; }
p_add() { cp empty.img p.img; us mcopy -s -i p.img tree/Folder* ::/; }
t_single() { cp empty.img t.img; us adds "$cli" add t.img; }
p_single() { cp empty.img p.img; us adds mcopy_one; }
mcopy_one() { mcopy -i p.img "$1" ::/; }
t_rm() { cp full.img t.img; us "$cli" rm t.img "/Folder number 0" "/Folder number 1" "/Folder number 2"; }
p_rm() { cp full.img p.img; us mdeltree -i p.img "::/Folder number 0" "::/Folder number 1" "::/Folder number 2"; }
p_floor() { cp full.img p.img; us "$floor" p.img; }
t_ls() { us "$cli" ls full.img -r; }
p_ls() { us mdir -/ -i full.img ::/; }
t_new() { rm -f t.img; us "$cli" new t.img --type 2880KB; }
p_new() { rm -f p.img; us "$mkfs" -C -F 12 -f 2 -r 240 p.img 2880; }
t_extract() { rm -rf out && mkdir out; us "$cli" extract full.img -d out; }
p_extract() { rm -rf out && mkdir out; us mcopy -s -n -i full.img '::/*' out/; }
t_addbig() { cp empty.img t.img; us "$cli" add t.img big.bin; }
p_addbig() { cp empty.img p.img; us mcopy -i p.img big.bin ::/; }
t_big() { rm -rf out && mkdir out; us "$cli" extract bigfile.img /BIG.BIN -d out; }
p_big() { rm -rf out && mkdir out; us mcopy -n -i bigfile.img ::/BIG.BIN out/; }

# Every single add must go in on both sides, or the row would time refusals.
cp empty.img t.img && adds "$cli" add t.img >/dev/null
cp empty.img p.img && adds mcopy_one
[ "$("$cli" ls t.img | wc -l)" -eq 100 ] && [ "$(mdir -b -i p.img ::/ | wc -l)" -eq 100 ] ||
  { echo "the 100 single adds did not all go in" >&2; exit 1; }

# Peak resident memory of one run of a side, in KB.
peak() {
  local setup="$1"; shift
  $setup >/dev/null
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1
}

row() {
  local name="$1" t="$2" p="$3" peer="$4" goal="$5" tm="$6" pm="$7"
  bench_turns "$rounds" "$t" "$p"
  local tb="$bench_best_t" pb="$bench_best_p" median="$bench_median"
  printf '| %-27s | %-11s | %6.1f ms | %6.1f ms | %5.2f | %4s | %5s KB | %5s KB |\n' "$name" \
    "$peer" "$(awk -v u="$tb" 'BEGIN { print u / 1000 }')" "$(awk -v u="$pb" 'BEGIN { print u / 1000 }')" \
    "$median" "$goal" "$tm" "$pm"
}

measure() {
fs=$(stat -f -c %T "$work")
[ "$fs" = tmpfs ] || fs="disk: $(df --output=fstype "$work" | tail -n 1)"
echo "$rounds rounds, in ${TMPDIR:-/tmp} ($fs)"
echo
echo "| command | peer | tolven | peer | ratio | goal | tolven memory | peer memory |"
echo "| --- | --- | --- | --- | --- | --- | --- | --- |"
row "add of a 1,000-file tree" t_add p_add "mcopy -s" 0.9 \
  "$(peak 'cp empty.img t.img' "$cli" add t.img tree/Folder*)" \
  "$(peak 'cp empty.img p.img' mcopy -s -i p.img tree/Folder* ::/)"
row "100 single-file adds" t_single p_single "100 x mcopy" 2 \
  "$(peak 'cp empty.img t.img' "$cli" add t.img singles/file\ 1.txt)" \
  "$(peak 'cp empty.img p.img' mcopy -i p.img singles/file\ 1.txt ::/)"
row "add of one 2.9 MB file" t_addbig p_addbig "mcopy" 1.0 \
  "$(peak 'cp empty.img t.img' "$cli" add t.img big.bin)" \
  "$(peak 'cp empty.img p.img' mcopy -i p.img big.bin ::/)"
row "rm of 300 files, 30 folders" t_rm p_rm "mdeltree" 1.0 \
  "$(peak 'cp full.img t.img' "$cli" rm t.img '/Folder number 0')" \
  "$(peak 'cp full.img p.img' mdeltree -i p.img '::/Folder number 0')"
if [ -x "$floor" ]; then
  row "rm of 300 files, 30 folders" t_rm p_floor "save floor" 1.0 \
    "$(peak 'cp full.img t.img' "$cli" rm t.img '/Folder number 0')" \
    "$(peak 'cp full.img p.img' "$floor" p.img)"
fi
row "ls -r of 1,000 files" t_ls p_ls "mdir -/" 1.0 \
  "$(peak true "$cli" ls full.img -r)" "$(peak true mdir -/ -i full.img ::/)"
row "new 2.88 MB image" t_new p_new "mkfs.fat -C" "" \
  "$(peak 'rm -f t.img' "$cli" new t.img --type 2880KB)" \
  "$(peak 'rm -f p.img' "$mkfs" -C -F 12 -f 2 -r 240 p.img 2880)"
row "extract 1,000 files" t_extract p_extract "mcopy -s" 0.75 \
  "$(peak 'rm -rf out' sh -c "mkdir out && '$cli' extract full.img -d out")" \
  "$(peak 'rm -rf out' sh -c "mkdir out && mcopy -s -n -i full.img '::/*' out/")"
row "extract one 2.9 MB file" t_big p_big "mcopy" "" \
  "$(peak 'rm -rf out' sh -c "mkdir out && '$cli' extract bigfile.img /BIG.BIN -d out")" \
  "$(peak 'rm -rf out' sh -c "mkdir out && mcopy -n -i bigfile.img ::/BIG.BIN out/")"
echo
echo "The 2.88 MB image file is $(( $(stat -c %s empty.img) / 1024 )) KB; the 2.9 MB file" \
  "$(( $(stat -c %s big.bin) / 1024 )) KB."

# System calls per file of a folder added (strace -f -c), less those of an empty folder's add.
if command -v strace >/dev/null; then
  mkdir -p none100
  calls() {
    cp empty.img c.img
    strace -f -c -o calls.txt "$@" >/dev/null 2>&1
    awk '$NF == "total" { print $4 }' calls.txt
  }
  t0=$(calls "$cli" add c.img none100) t1=$(calls "$cli" add c.img singles)
  p0=$(calls mcopy -s -i c.img none100 ::/) p1=$(calls mcopy -s -i c.img singles ::/)
  echo
  echo "System calls per file of a folder of 100 added: tolven-cli" \
    "$(awk -v a="$t1" -v b="$t0" 'BEGIN { printf "%.1f", (a - b) / 100 }'), mcopy -s" \
    "$(awk -v a="$p1" -v b="$p0" 'BEGIN { printf "%.1f", (a - b) / 100 }') (strace -f -c)."
fi

# Insertion into one folder: instructions for 1,000 and 2,000 entries, less an empty add.
if command -v valgrind >/dev/null; then
  mkdir -p one1000/Wide one2000/Wide
  for i in $(seq 1 1000); do : > "one1000/Wide/an empty file with a long name $i"; done
  for i in $(seq 1 2000); do : > "one2000/Wide/an empty file with a long name $i"; done
  mkdir -p none/Wide
  count() {
    cp empty.img c.img
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$cli" add c.img "$1" 2>&1 >/dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
  }
  c0=$(count none/Wide) c1=$(count one1000/Wide) c2=$(count one2000/Wide)
  echo
  echo "Add into one folder: 1,000 entries $((c1 - c0)) instructions, 2,000 entries $((c2 - c0));" \
    "growth $(awk -v a=$((c2 - c0)) -v b=$((c1 - c0)) 'BEGIN { printf "%.2f", a / b }') (linear: about 2; valgrind)."
fi
}

measure | tee "$work/out.md"
bench_section bench-cli.sh "\`scripts/bench-cli.sh\` runs each command and its peer on the same
images: a 2.88 MB image, 1,000 files of 1 to 2,000 bytes with long names in 10 folders of 10
subfolders, 100 single files of 1,500 bytes, one file of 2.9 MB. The two run in turns, round after
round, so that other work on the machine slows them alike; the ratio is the median of the rounds'
ratios (Tolven's time over the peer's), the times are each one's best round, the memory the peak
resident size of one run (\`/usr/bin/time\`); the goal is the most the ratio may be." "$work/out.md"
