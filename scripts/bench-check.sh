#!/usr/bin/env bash
# tolven-cli check against fsck.fat -n: one 1.44 MB image full of files (goal: at most fsck's
# time), and 1,000 such images in one check run against fsck.fat -n once per image (goal: at
# most half). The two run in turns, round after round; each row gives the median of the
# per-round ratios and the best time of each. Writes its section of docs/performance.md
# (scripts/bench-common.sh).
# Usage: scripts/bench-check.sh [path/to/tolven-cli] [rounds]   (TMPDIR=/dev/shm measures the work
# itself rather than the disk)
set -eu
. "$(dirname "$0")/bench-common.sh"
bench_cli_setup 5 "$@"
fsck="$(command -v fsck.fat || echo /usr/sbin/fsck.fat)"

# 1.44 MB with 8 folders of 20 files, 1 to 6,000 bytes, long names: about 1.1 MB used.
mkdir tree
for a in $(seq 0 7); do
  mkdir "tree/Folder $a"
  for c in $(seq 0 19); do
    head -c $(( 1 + (a * 20 + c) * 2777 % 6000 )) /dev/urandom > "tree/Folder $a/data file $c.bin"
  done
done
"$mkfs" -C one.img 1440 >/dev/null && mcopy -s -i one.img tree/* ::/
"$fsck" -n one.img >/dev/null && "$cli" check one.img >/dev/null ||
  { echo "the bench image is not clean" >&2; exit 1; }
mkdir many && for i in $(seq -w 1 1000); do cp one.img "many/$i.img"; done

now() { date +%s%N; }
us() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); echo $(( (t1 - t0) / 1000 )); }
fsck_each() { for f in many/*.img; do "$fsck" -n "$f"; done; }
t_one() { us "$cli" check one.img; }
p_one() { us "$fsck" -n one.img; }
t_many() { us "$cli" check many/*.img; }
p_many() { us fsck_each; }

row() {
  bench_turns "$rounds" "$2" "$3"
  printf '| %-30s | %-22s | %8.1f ms | %8.1f ms | %5.2f | %4s |\n' "$1" "$4" \
    "$(awk -v u="$bench_best_t" 'BEGIN { print u / 1000 }')" \
    "$(awk -v u="$bench_best_p" 'BEGIN { print u / 1000 }')" "$bench_median" "$5"
}

measure() {
  fs=$(stat -f -c %T "$work")
  [ "$fs" = tmpfs ] || fs="disk: $(df --output=fstype "$work" | tail -n 1)"
  echo "$rounds rounds, in ${TMPDIR:-/tmp} ($fs)"
  echo
  echo "| command | peer | tolven | peer | ratio | goal |"
  echo "| --- | --- | --- | --- | --- | --- |"
  row "check of a 1.44 MB image" t_one p_one "fsck.fat -n" 1.0
  row "check of 1,000 images, one run" t_many p_many "1,000 x fsck.fat -n" 0.5
}

out="$work/out.txt"
measure | tee "$out"
bench_section bench-check.sh "scripts/bench-check.sh: \`tolven-cli check\` against \`fsck.fat -n\` \
on a 1.44 MB image holding 160 files in 8 folders, and on 1,000 copies of it (one check run \
against fsck.fat once per image); median of the per-round ratios (goal: at most the figure given), \
best time of each." "$out"
