#!/usr/bin/env bash
# How long the floppy transfers would take on a real 300 rpm drive, against the floor of one turn
# per track: builds the native benchmark and runs it on the simulated drive's timing model; writes
# its section of docs/performance.md (scripts/bench-common.sh).
set -eu
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
build="${1:-build/native}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target tolven_floppy_bench >/dev/null
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$build/tolven_floppy_bench" | tee "$out"
bench_section bench-floppy.sh "\`scripts/bench-floppy.sh\` runs each transfer of a 1.44 MB and a
720 KB image against the simulated drive's timing model and sets each phase against the floor of
one turn per track it touches. Model times do not depend on the machine or its load." "$out"
