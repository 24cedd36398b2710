#!/usr/bin/env bash
# Defragmenting speed: a full 2.88 MB image whose 16 files take every 16th cluster each (no two
# consecutive clusters of a file lie side by side), defragmented by `tolven-cli defrag` on a fresh
# copy each round, beside a plain `cp` of the same file. The two run in turns; prints the best
# round of each and the median ratio, and writes its section of docs/performance.md
# (scripts/bench-common.sh). TMPDIR=/dev/shm keeps the disk out of it.
# Usage: scripts/bench-defrag.sh [path/to/tolven-cli] [rounds]
set -eu
. "$(dirname "$0")/bench-common.sh"
bench_cli_setup 15 "$@"

"$mkfs" -C -F 12 -f 2 -r 240 frag.img 2880 >/dev/null
# The files are written straight into the FAT, the root and the clusters: no tool lays files out
# this badly on its own.
python3 - frag.img <<'PY'
import os, struct, sys
path = sys.argv[1]
img = bytearray(open(path, "rb").read())
bps, spc, reserved, fats, roots, total, _, spf = struct.unpack_from("<HBHBHHBH", img, 11)
cbytes = bps * spc
root = (reserved + fats * spf) * bps
data = root + roots * 32
count = (total * bps - data) // cbytes
files = 16
fat = [0] * (count + 2)
for j in range(files):
    chain = list(range(2 + j, count + 2, files))
    for a, b in zip(chain, chain[1:]):
        fat[a] = b
    fat[chain[-1]] = 0xFFF
    size = len(chain) * cbytes - 100
    body = os.urandom(size)
    for i, c in enumerate(chain):
        piece = body[i * cbytes:(i + 1) * cbytes]
        img[data + (c - 2) * cbytes:data + (c - 2) * cbytes + len(piece)] = piece
    struct.pack_into("<11sB10xHHHI", img, root + 32 * j, b"FILE%02d  BIN" % j, 0x20,
                     0x6000, 0x5A88, chain[0], size)
for copy in range(fats):
    at = (reserved + copy * spf) * bps
    for n in range(2, count + 2, 2):
        a, b = fat[n], fat[n + 1] if n + 1 < len(fat) else 0
        o = at + n * 3 // 2
        img[o], img[o + 1], img[o + 2] = a & 0xFF, (a >> 8) | ((b & 0xF) << 4), b >> 4
open(path, "wb").write(img)
PY
fsck="$(command -v fsck.fat || echo /usr/sbin/fsck.fat)"
"$fsck" -n frag.img >/dev/null || { echo "the generated image is not clean" >&2; exit 1; }
fragmented=$("$cli" info frag.img | sed -n 's/^fragmented_files: //p')

# Once for the record: the result is clean and holds the same bytes.
cp frag.img check.img
"$cli" defrag check.img >/dev/null
"$fsck" -n check.img >/dev/null || { echo "the defragmented image is not clean" >&2; exit 1; }
mkdir a b && mcopy -n -i frag.img '::/*' a/ && mcopy -n -i check.img '::/*' b/ && diff -r a b
[ "$("$cli" info check.img | sed -n 's/^fragmented_files: //p')" = 0 ]

now() { date +%s%N; }
defrag_us() {
  cp frag.img run.img
  local t0; t0=$(now)
  "$cli" defrag run.img >/dev/null
  echo $(( ($(now) - t0) / 1000 ))
}
copy_us() {
  local t0; t0=$(now)
  cp frag.img copy.img
  echo $(( ($(now) - t0) / 1000 ))
}
bench_turns "$rounds" defrag_us copy_us

out=$(mktemp)
{
  echo "image: 2.88 MB, 16 files every 16th cluster, $fragmented fragmented; $rounds rounds in ${TMPDIR:-/tmp}"
  awk -v t="$bench_best_t" -v p="$bench_best_p" -v m="$bench_median" 'BEGIN {
    printf "tolven-cli defrag  %8.1f ms   (goal: under 50 ms)\n", t / 1000
    printf "cp of the image    %8.1f ms\n", p / 1000
    printf "defrag / cp = %.2f (median of the rounds)\n", m }'
} > "$out"
cat "$out"
bench_section bench-defrag.sh "\`scripts/bench-defrag.sh\` defragments a full 2.88 MB image whose
16 files each take every 16th cluster with \`tolven-cli defrag\` (load, plan, move, save), on a
fresh copy each round, beside a plain \`cp\` of the image file; the two run in turns and the best
round of each counts." "$out" fence
rm -f "$out"
