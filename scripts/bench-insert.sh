#!/usr/bin/env bash
# Inserting 1,000 files in nested folders into an empty 2.88 MB image: `tolven-cli add` against
# `mcopy -s` of the same tree. Prints the best and the median of RUNS runs of each.
# usage: scripts/bench-insert.sh [TOLVEN_CLI] [RUNS]
set -euo pipefail
cli="${1:-build/native/tolven-cli}"
runs="${2:-5}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# 10 folders, each with 10 subfolders of 10 files: 1,000 files of 1 to 900 bytes, with long names.
for a in $(seq 0 9); do
  for b in $(seq 0 9); do
    d="$work/tree/folder $a/sub folder $b"
    mkdir -p "$d"
    for c in $(seq 0 9); do
      head -c $(( (a * 100 + b * 10 + c) * 9 % 900 + 1 )) /dev/urandom > "$d/file number $c.dat"
    done
  done
done

now() { date +%s.%N; }
stats() { sort -n | awk '{ t[NR] = $1 } END { printf "best %.3f s, median %.3f s\n", t[1], t[int((NR + 1) / 2)] }'; }

tolven_times=()
mcopy_times=()
for i in $(seq "$runs"); do
  rm -f "$work/t.img" "$work/m.img"
  "$cli" new "$work/t.img" --type 5 >/dev/null
  "$cli" new "$work/m.img" --type 5 >/dev/null
  s=$(now); "$cli" add "$work/t.img" "$work/tree" >/dev/null; e=$(now)
  tolven_times+=("$(awk -v a="$s" -v b="$e" 'BEGIN { print b - a }')")
  s=$(now); MTOOLS_SKIP_CHECK=1 mcopy -s -i "$work/m.img" "$work/tree" ::/ >/dev/null; e=$(now)
  mcopy_times+=("$(awk -v a="$s" -v b="$e" 'BEGIN { print b - a }')")
done

echo "tolven-cli add: $(printf '%s\n' "${tolven_times[@]}" | stats)"
echo "mcopy -s:       $(printf '%s\n' "${mcopy_times[@]}" | stats)"
files=$(MTOOLS_SKIP_CHECK=1 mdir -/ -b -i "$work/t.img" ::/ | grep -c '\.dat$' || true)
echo "files in the Tolven image: $files"
