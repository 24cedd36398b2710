#!/usr/bin/env bash
# Exit status 0 when this machine can run 32-bit programs (and so 32-bit Wine); some virtual
# machines have no IA-32 emulation, and their Wine runs 64-bit Windows programs only.
[ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
