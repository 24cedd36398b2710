#!/usr/bin/env bash
# Starts the window: directly on Windows, under Wine elsewhere, inside Xvfb when there is no display.
set -u
exe="$1"
if [ ! -f "$exe" ]; then
  echo "$exe is not built yet." >&2
  exit 1
fi
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$exe")" && pwd)/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: starting the window inside Xvfb on :99 (look at it with a VNC viewer or xwd)."
  Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  export DISPLAY=:99
  sleep 1
fi
exec wine "$exe"
