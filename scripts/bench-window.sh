#!/usr/bin/env bash
# How long the window makes the user wait on a full folder: builds tolven_window_bench, makes a
# 2.88 MB image whose folder "Full folder" holds 1,000 files with long names (created in shuffled
# order, so the walk order is not the list order), and drives the real window under Wine (inside a
# private Xvfb when there is no display): entering the folder with Enter, the refresh after deleting
# one file, and a resize by 20 pixels, each timed until the window has painted. Prints every round,
# the best, median and worst, and writes its section of docs/performance.md
# (scripts/bench-common.sh).
# usage: scripts/bench-window.sh [BUILD-FOLDER] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
# Where 32-bit programs cannot run, the 64-bit build of the same window (see the Makefile).
if scripts/runs-32bit.sh; then build="${1:-build/win32}" toolchain=mingw-i686
else build="${1:-build/win64}" toolchain=mingw-x86_64; fi
rounds="${2:-5}"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" >/dev/null
cmake --build "$build" -j2 --target tolven_window_bench >/dev/null

work="$(mktemp -d)"
xvfb_pid=
export WINEPREFIX="${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}"
cleanup() {
  # Wine's processes leave before the display they draw on.
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export PATH="$PATH:/usr/sbin:/sbin" MTOOLS_SKIP_CHECK=1

img="$work/full.img"
mkfs.fat -C -n FULLDISK "$img" 2880 >/dev/null
mkdir "$work/files"
for n in $(seq 1 1000 | shuf --random-source=<(yes)); do
  head -c $(( n * 37 % 1900 + 100 )) /dev/zero > "$work/files/Photo $n.jpg"
done
mmd -i "$img" "::Full folder"
# One mcopy call per 100 files, in the shuffled order the names were made in.
(cd "$work/files" && ls -U | xargs -d '\n' -n 100 sh -c 'mcopy -i "$0" "$@" "::Full folder/"' "$img")
count=$(mdir -b -i "$img" "::Full folder" | wc -l)
echo "image: 2.88 MB, $count entries in \"Full folder\""

if [ -z "${DISPLAY:-}" ]; then
  n=$((300 + RANDOM % 400))
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  sleep 1
fi
winpath="Z:$(cd "$work" && pwd)/full.img"
scripts/wine-run.sh "$build/tolven_window_bench.exe" "${winpath//\//\\}" "[Full folder]" "$rounds" |
  tee "$work/out.txt"
wine_version=$( (wine --version || /usr/lib/wine/wine64 --version) 2>/dev/null || echo wine)
bench_section bench-window.sh "\`scripts/bench-window.sh\` makes a 2.88 MB image whose folder holds
1,000 files with long names (made in shuffled order) and drives the real window of \`$build\`
under Wine ($wine_version) in a private Xvfb, timing from the user's action until the window has
painted: entering the folder with Enter, the refresh after deleting one file, and a resize by 20
pixels. The goal: every figure under 0.3 s." "$work/out.txt" fence
