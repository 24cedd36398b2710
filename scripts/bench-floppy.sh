#!/usr/bin/env bash
# How long the floppy transfers take on the simulated drive's timing model of an internal drive
# under Windows' floppy driver (its assumptions are printed first), against the floor of one turn
# per track: builds the native benchmark and runs it. The figures are the model's, not a drive's.
# Writes its section of docs/performance.md (scripts/bench-common.sh).
set -eu
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
build="${1:-build/native}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target tolven_floppy_bench >/dev/null
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$build/tolven_floppy_bench" | tee "$out"
bench_section bench-floppy.sh "No drive is reachable here, so these are the figures of a model,
not of a drive. \`scripts/bench-floppy.sh\` runs each transfer against the simulated drive's timing
model (\`tests/support/simulated_floppy.h\`, \`FloppyTiming\`) of an internal drive under Windows'
floppy driver, whose behaviour is read from its published sources, and sets each phase against
the floor of one turn per track. The model's assumptions come first in what it prints; its times
do not depend on the machine or its load." "$out"
