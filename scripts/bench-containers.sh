#!/usr/bin/env bash
# Opening and saving a 1.44 MB image in its containers with tolven-cli, side by side with the
# tools that unpack and pack them: `info` (an open) against `unzip -p` / `gzip -dc`, and `label`
# (an open and a save in the same container) against unpacking and packing again (`unzip -p` then
# `zip -9`, `gzip -dc` then `gzip -9`). The sides run in turns, round after round; each row gives
# the median of the per-round ratios, the best time of each side and the peak memory of one run
# of each (/usr/bin/time). The image holds about 0.7 MB of random bytes and 0.5 MB of text.
# The goal: tolven at most the peer's time (ratio 1.0), its memory at most image + file + fixed.
# Writes its section of docs/performance.md (scripts/bench-common.sh).
# Usage: scripts/bench-containers.sh [path/to/tolven-cli] [rounds]
set -eu
. "$(dirname "$0")/bench-common.sh"
bench_cli_setup 7 "$@"

head -c 700000 /dev/urandom > random.bin
for i in $(seq 1 9000); do echo "line $i of a text file that compresses well, as text does"; done |
  head -c 500000 > text.txt
"$mkfs" -C -n BENCH disk.img 1440 >/dev/null
mcopy -i disk.img random.bin text.txt ::/
zip -q -9 disk.imz disk.img
gzip -9 -k disk.img

now() { date +%s%N; }
us() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); echo $(( (t1 - t0) / 1000 )); }
zip_round() { unzip -p disk.imz > p.img && rm -f p.imz && zip -q -9 p.imz p.img; }
gz_round() { gzip -dc disk.img.gz > p.img && gzip -9 -c p.img > p.img.gz; }
t_zip_open() { us "$cli" info disk.imz; }
p_zip_open() { us sh -c 'unzip -p disk.imz > /dev/null'; }
t_zip_save() { us "$cli" label disk.imz BENCH; }
p_zip_save() { us zip_round; }
t_gz_open() { us "$cli" info disk.img.gz; }
p_gz_open() { us sh -c 'gzip -dc disk.img.gz > /dev/null'; }
t_gz_save() { us "$cli" label disk.img.gz BENCH; }
p_gz_save() { us gz_round; }

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

row() {
  local name="$1" t="$2" p="$3" peer="$4" tm="$5" pm="$6"
  bench_turns "$rounds" "$t" "$p"
  local tb="$bench_best_t" pb="$bench_best_p" median="$bench_median"
  printf '| %-22s | %-20s | %6.1f ms | %6.1f ms | %5.2f | %5s KB | %5s KB |\n' "$name" "$peer" \
    "$(awk -v u="$tb" 'BEGIN { print u / 1000 }')" "$(awk -v u="$pb" 'BEGIN { print u / 1000 }')" \
    "$median" "$tm" "$pm"
}

out="$work/out.md"
{
  echo "$rounds rounds; the image file is $(( $(stat -c %s disk.img) / 1024 )) KB, the .imz" \
    "$(( $(stat -c %s disk.imz) / 1024 )) KB, the .gz $(( $(stat -c %s disk.img.gz) / 1024 )) KB."
  echo
  echo "| command | peer | tolven | peer | ratio | tolven memory | peer memory |"
  echo "| --- | --- | --- | --- | --- | --- | --- |"
  row "open .imz (info)" t_zip_open p_zip_open "unzip -p" "$(peak "$cli" info disk.imz)" \
    "$(peak unzip -p disk.imz)"
  row "open and save .imz" t_zip_save p_zip_save "unzip -p, zip -9" \
    "$(peak "$cli" label disk.imz BENCH)" "$(peak zip -q -9 p.imz p.img)"
  row "open .gz (info)" t_gz_open p_gz_open "gzip -dc" "$(peak "$cli" info disk.img.gz)" \
    "$(peak gzip -dc disk.img.gz)"
  row "open and save .gz" t_gz_save p_gz_save "gzip -dc, gzip -9" \
    "$(peak "$cli" label disk.img.gz BENCH)" "$(peak gzip -9 -k -f p.img)"
  echo
  echo "For scale: tolven-cli info on the raw image takes $(peak "$cli" info disk.img) KB."
} > "$out"
cat "$out"
bench_section bench-containers.sh "Opening and saving an image in its container: tolven-cli \
against unzip/zip and gzip (scripts/bench-containers.sh); the peer's memory column is its \
packing step." "$out"
