#!/bin/sh
# Prints the rows of the upper-case table in directory/name_case.cpp: Windows' upper-casing of
# UTF-16 units (ntdll's RtlUpcaseUnicodeChar, here as Wine implements it), packed into runs of
# units with the same offset, one unit apart or (upper/lower pairs) every second unit.
# Needs i686-w64-mingw32-gcc, wine and python3.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/probe.c" <<'C'
#include <windows.h>
#include <stdio.h>
typedef WCHAR (WINAPI *Upcase)(WCHAR);
int main(void) {
    Upcase up = (Upcase)GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlUpcaseUnicodeChar");
    for (unsigned u = 0; u < 0x10000; ++u)
        if (up((WCHAR)u) != u) printf("%04X %04X\n", u, up((WCHAR)u));
    return 0;
}
C
i686-w64-mingw32-gcc -O2 "$work/probe.c" -o "$work/probe.exe"
WINEDEBUG=-all WINEPREFIX="$work/prefix" wine "$work/probe.exe" 2>/dev/null | tr -d '\r' > "$work/map.txt"
python3 - "$work/map.txt" <<'PY'
import sys
d = {}
for line in open(sys.argv[1]):
    a, b = line.split()
    d[int(a, 16)] = int(b, 16)
keys = sorted(d)
rows, i = [], 0
while i < len(keys):
    u = keys[i]; delta = d[u] - u
    j = i
    while j + 1 < len(keys) and keys[j + 1] == keys[j] + 1 and d[keys[j + 1]] - keys[j + 1] == delta: j += 1
    k = i
    while k + 1 < len(keys) and keys[k + 1] == keys[k] + 2 and d[keys[k + 1]] - keys[k + 1] == delta: k += 1
    last, step = (keys[k], 2) if k > j else (keys[j], 1)
    rows.append("{0x%04X, 0x%04X, %d, %d}" % (u, last, step, delta))
    i = (k if k > j else j) + 1
for n in range(0, len(rows), 3):
    print("    " + ", ".join(rows[n:n + 3]) + ",")
PY
