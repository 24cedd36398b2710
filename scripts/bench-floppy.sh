#!/usr/bin/env bash
# How long the floppy transfers take on the simulated drive's timing model of an internal drive
# under Windows' floppy driver (its assumptions are printed first), against the floor of one turn
# per track: builds the native benchmark and runs it. The figures are the model's, not a drive's.
set -eu
cd "$(dirname "$0")/.."
build="${1:-build/native}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target tolven_floppy_bench >/dev/null
"$build/tolven_floppy_bench"
echo
echo "load average: $(cut -d" " -f1-3 /proc/loadavg) (model times do not depend on it)"
