#!/usr/bin/env bash
# Extraction speed: a full 2.88 MB image holding 1,000 files in nested folders, extracted whole by
# tolven-cli, by `mcopy -s`, and copied with `cp -r` from an already extracted tree (the floor:
# the same file creations with no image to decode). Prints the best of several rounds of each
# and the ratios; writes its section of docs/performance.md (scripts/bench-common.sh).
# Usage: scripts/bench-extract.sh [path/to/tolven-cli] [rounds]
set -eu
. "$(dirname "$0")/bench-common.sh"
bench_cli_setup 5 "$@"

# 10 folders x 10 subfolders x 10 files with long names, 800 to 2,799 bytes each: the disk is
# nearly full.
mkdir src
for a in $(seq 0 9); do
  for b in $(seq 0 9); do
    d="src/Folder number $a/Subfolder $b"
    mkdir -p "$d"
    for c in $(seq 0 9); do
      head -c $(( 800 + (a * 100 + b * 10 + c) * 37 % 2000 )) /dev/urandom > "$d/data file $c.bin"
    done
  done
done
"$mkfs" -C -F 12 -f 2 -r 240 bench.img 2880 >/dev/null
mcopy -s -i bench.img src/* ::/
measure() {
files=$(find src -type f | wc -l)
free=$("$cli" info bench.img | sed -n 's/^free_clusters: //p')
echo "image: 2.88 MB, $files files in $(find src -mindepth 1 -type d | wc -l) folders, $free clusters free"

now() { date +%s%N; }
# time_us COMMAND...: runs the command into a fresh, empty folder "out"; prints microseconds.
time_us() {
  rm -rf out && mkdir out
  local t0 t1
  t0=$(now)
  "$@" >/dev/null
  t1=$(now)
  echo $(( (t1 - t0) / 1000 ))
}
min() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }

# The floor copies a tree that Tolven extracted, so it creates exactly the same files. The three
# run in turns, round after round, so that a busy machine slows them alike; the best round of
# each counts.
rm -rf floor && mkdir floor && "$cli" extract bench.img -d floor
[ "$(find floor -type f | wc -l)" -eq "$files" ] || { echo "tolven extracted the wrong number of files" >&2; exit 1; }
tolven="" mcopy_us="" cp_us=""
for _ in $(seq "$rounds"); do
  tolven=$(min "$tolven" "$(time_us "$cli" extract bench.img -d out)")
  mcopy_us=$(min "$mcopy_us" "$(time_us mcopy -s -n -i bench.img '::/*' out/)")
  cp_us=$(min "$cp_us" "$(time_us cp -r floor/. out/)")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf 'tolven-cli extract  %8d us\n' "$tolven"
printf 'mcopy -s            %8d us\n' "$mcopy_us"
printf 'cp -r (floor)       %8d us\n' "$cp_us"
echo "tolven / mcopy = $(ratio "$tolven" "$mcopy_us")   (goal: at most 0.75)"
echo "tolven / cp -r = $(ratio "$tolven" "$cp_us")   (goal: at most 1.3)"

# Walking one folder of 1,000 entries must stay linear: list it with ls and compare with a folder
# of 250, each less the cost of listing the almost empty root (start-up and loading); four times
# the entries should cost about four times as much, not sixteen. The cost is counted in
# instructions under valgrind where it is installed (start-up dwarfs the walk in wall time).
"$mkfs" -C -F 12 -f 2 -r 240 wide.img 2880 >/dev/null
mkdir -p wide/Wide
for i in $(seq 1 1000); do : > "wide/Wide/an empty file with a long name $i"; done
mcopy -s -i wide.img wide/Wide ::/
mkdir -p quarter/Quarter
for i in $(seq 1 250); do : > "quarter/Quarter/an empty file with a long name $i"; done
mcopy -s -i wide.img quarter/Quarter ::/
cost() {
  if command -v valgrind >/dev/null; then
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
  else
    local best=""
    for _ in $(seq "$rounds"); do best=$(min "$best" "$(time_us "$@")"); done
    echo "$best"
  fi
}
unit=$(command -v valgrind >/dev/null && echo instructions || echo us)
walk_1000=$(cost "$cli" ls wide.img Wide)
walk_250=$(cost "$cli" ls wide.img Quarter)
walk_0=$(cost "$cli" ls wide.img)
printf 'ls of 1,000 entries %d %s, of 250 entries %d, of the root %d\n' \
  "$walk_1000" "$unit" "$walk_250" "$walk_0"
echo "walk 1,000 / walk 250 = $(ratio $((walk_1000 - walk_0)) $((walk_250 - walk_0)))   (linear: about 4; quadratic: 16)"
}

measure | tee "$work/out.txt"
bench_section bench-extract.sh "\`scripts/bench-extract.sh\` extracts a full 2.88 MB image of 1,000
files in nested folders with \`tolven-cli extract\`, with \`mcopy -s\`, and copies the same tree with
\`cp -r\` (the floor: the same file creations with no image to decode); the three run in turns and
the best of several rounds of each counts. Walking one folder is counted in instructions
(valgrind, or the best time without it) for 1,000 and 250 entries, less listing the root." \
  "$work/out.txt" fence
