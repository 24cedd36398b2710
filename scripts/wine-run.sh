#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix kept in the build folder of the program, so that
# builds and test runs never share (or wait for) another prefix. A 64-bit build (build/win64, for
# machines that cannot run 32-bit programs) runs under wine64 in a 64-bit prefix.
set -u
exe="$1"; shift
build_dir=$(cd "$(dirname "$exe")" && pwd)
while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do build_dir=$(dirname "$build_dir"); done
[ "$build_dir" = / ] && build_dir=$(cd "$(dirname "$exe")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$build_dir/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=wine
if grep -q 'x86_64-w64-mingw32' "$build_dir/CMakeCache.txt" 2>/dev/null; then
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  wine=/usr/lib/wine/wine64
else
  export WINEARCH=win32
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
exec "$wine" "$exe" "$@"
