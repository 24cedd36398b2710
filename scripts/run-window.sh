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
  n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  echo "No display: starting the window inside Xvfb on :$n (look at it with a VNC viewer or" \
       "'import -display :$n -window root shot.png')."
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null' EXIT
  export DISPLAY=":$n"
  sleep 1
  # No window manager runs there: Wine draws the captions and frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
fi
wine "$exe"
