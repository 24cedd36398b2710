#!/usr/bin/env bash
# Runs the ctest suites of the native and sanitizer builds, the fuzz targets over their seeds and
# kept reproducers (optional fourth folder), then the Windows build; fails if any test fails.
# The Windows suites run under Wine, inside a private Xvfb display when no display is set.
# A fifth folder is a Windows build that this machine cannot run (32-bit programs without IA-32
# emulation): only its checks that need no Wine run there, and the third folder's suites stand in.
set -u
native="$1"; asan="$2"; win="$3"; fuzz="${4:-}"; unrunnable="${5:-}"
status=0
run_ctest() {
  echo "=== $1: ctest in $2"
  (cd "$2" && ctest --output-on-failure -j2 --timeout 900) || status=1
}
[ -n "$native" ] && run_ctest "native" "$native"
[ -n "$asan" ] && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest "sanitizers" "$asan"
if [ -n "$fuzz" ]; then
  echo "=== fuzz targets: seeds and regressions in $fuzz"
  "$(dirname "$0")/fuzz.sh" check "$fuzz" || status=1
fi
if [ -n "$unrunnable" ]; then
  echo "=== $unrunnable: this machine cannot run 32-bit programs; the Windows suites run on $win"
  (cd "$unrunnable" && ctest --output-on-failure -R shipped_programs) || status=1
fi
# The Windows suites come last, so that ctest's summary closes the run.
if [ -n "$win" ]; then
  if [ -z "${DISPLAY:-}" ]; then
    disp=":$((200 + RANDOM % 500))"
    Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY="$disp"
    sleep 1
  fi
  export WINEPREFIX="$(cd "$win" && pwd)/wineprefix"
  run_ctest "windows (wine)" "$win"
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
fi
exit $status
