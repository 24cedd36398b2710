#!/bin/sh
# The shipped programs hold no test double and no test hook, and the command-line tool (core and
# CLI alone) needs no user32. Usage: check_shipped_programs.sh NM OBJDUMP CONTROL CLI [WINDOW]
# CONTROL is a test program: it must show the simulated drive and the faulty host, so the check
# cannot pass on programs whose symbols it cannot read. CLI and WINDOW must show the image class
# (readable symbols) and none of the test doubles (the simulated drive, the fake clock, the
# faulty host), nor any hook named for tests: a fault is injected only by installing a table of
# host calls (platform/host_env.h), never by a switch in the shipped code.
set -u
nm="$1"; objdump="$2"; control="$3"; cli="$4"; shift 4
doubles='SimulatedFloppy|FakeClock|FaultyHost'
hooks='[Ff]or_?[Tt]est|[Tt]esting|TEST_HOOK'
status=0
symbols() { "$nm" -C "$1" 2>/dev/null; }
for double in SimulatedFloppy FaultyHost; do
  if ! symbols "$control" | grep -q "$double"; then
    echo "no $double symbol in $control: the check cannot see symbols"; status=1
  fi
done
for program in "$cli" "$@"; do
  listing=$(symbols "$program")
  if ! printf '%s\n' "$listing" | grep -q VolumeImage; then
    echo "no VolumeImage symbol in $program: the check cannot see symbols"; status=1
  fi
  if printf '%s\n' "$listing" | grep -E "$doubles"; then
    echo "$program holds a test double"; status=1
  fi
  if printf '%s\n' "$listing" | grep -E "$hooks"; then
    echo "$program holds a test hook"; status=1
  fi
done
if "$objdump" -p "$cli" | grep -i 'DLL Name: user32'; then
  echo "$cli imports user32"; status=1
fi
exit $status
