#!/bin/sh
# Prints the upper halves (bytes 0x80-0xFF) of the OEM code pages in directory/oem_text.cpp, from
# Python's codecs. Needs python3.
set -eu
python3 - "$@" <<'PY'
for cp in (437, 850, 852, 866):
    units = [ord(bytes([b]).decode("cp%d" % cp)) for b in range(0x80, 0x100)]
    print("const uint16_t kCodePage%d[128] = {" % cp)
    for i in range(0, 128, 12):
        print("    " + " ".join("0x%04X," % u for u in units[i:i + 12]))
    print("};")
PY
