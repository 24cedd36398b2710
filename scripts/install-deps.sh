#!/usr/bin/env bash
# Installs what building and testing Tolven needs on a Debian machine, and nothing that is there.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd make || need+=(make)
have_cmd clang++ || need+=(clang)
have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)  # libFuzzer and the sanitizer runtimes
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have_cmd i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
have_cmd wine || need+=(wine)
have_pkg wine32:i386 || need+=(wine32:i386)
# The 64-bit test build, for machines that cannot run 32-bit programs (see scripts/runs-32bit.sh).
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have_cmd Xvfb || need+=(xvfb)
have_cmd xdotool || need+=(xdotool)
have_cmd xwininfo || need+=(x11-utils)
have_pkg imagemagick || need+=(imagemagick)
# A font with CJK glyphs, so that Wine shows such names in the window rather than boxes.
have_pkg fonts-wqy-microhei || need+=(fonts-wqy-microhei)
have_cmd mcopy || need+=(mtools)
[ -x /usr/sbin/mkfs.fat ] || have_cmd mkfs.fat || need+=(dosfstools)
have_cmd python3 || need+=(python3)
# zlib for the ZIP and gzip containers, natively and for the Windows builds; zip and unzip for the
# container tests.
have_pkg zlib1g-dev || need+=(zlib1g-dev)
have_pkg libz-mingw-w64-dev || need+=(libz-mingw-w64-dev)
have_cmd zip || need+=(zip)
have_cmd unzip || need+=(unzip)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${need[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if printf '%s\n' "${need[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -q i386 || $SUDO dpkg --add-architecture i386
fi
# With recommends, as the machines that ran the tests had them (Wine's fonts among them).
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
