#!/bin/sh
# The shipped programs hold no test double, and the command-line tool (core and CLI alone) needs
# no user32. Usage: check_shipped_programs.sh NM OBJDUMP CONTROL CLI [WINDOW]
# CONTROL is a test program: it must show the simulated drive, so the check cannot pass on
# programs whose symbols it cannot read. CLI and WINDOW must show the image class (readable
# symbols) and neither the simulated drive nor the fake clock.
set -u
nm="$1"; objdump="$2"; control="$3"; cli="$4"; shift 4
status=0
symbols() { "$nm" -C "$1" 2>/dev/null; }
if ! symbols "$control" | grep -q SimulatedFloppy; then
  echo "no SimulatedFloppy symbol in $control: the check cannot see symbols"; status=1
fi
for program in "$cli" "$@"; do
  listing=$(symbols "$program")
  if ! printf '%s\n' "$listing" | grep -q VolumeImage; then
    echo "no VolumeImage symbol in $program: the check cannot see symbols"; status=1
  fi
  if printf '%s\n' "$listing" | grep -E 'SimulatedFloppy|FakeClock'; then
    echo "$program holds a test double"; status=1
  fi
done
if "$objdump" -p "$cli" | grep -i 'DLL Name: user32'; then
  echo "$cli imports user32"; status=1
fi
exit $status
