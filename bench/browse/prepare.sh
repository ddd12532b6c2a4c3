#!/bin/bash
# Makes the benchmark directories natively in the prefix's temporary folder (the same names
# that the benchmarks would make through the emulated platform, many times faster).
# Usage: WINEPREFIX=<prefix> bench/browse/prepare.sh
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | grep -v Public | head -1)
python3 - "$temp" <<'PY'
import os, sys
temp = sys.argv[1]
for count in (1000, 10000, 50000):
    d = os.path.join(temp, f"browse-bench-{count}")
    os.makedirs(d, exist_ok=True)
    for i in range(count):
        open(os.path.join(d, "doc%08u.pdf" % ((i * 2654435761) % 2**32)), "a").close()
d = os.path.join(temp, "browse-subdirs-10000")
os.makedirs(d, exist_ok=True)
for i in range(10000):
    os.makedirs(os.path.join(d, "d%08u" % ((i * 2654435761) % 2**32)), exist_ok=True)
open(os.path.join(d, "done"), "a").close()
d = os.path.join(temp, "browse-dblclick", "pdfs-20000")
os.makedirs(d, exist_ok=True)
for i in range(20000):
    open(os.path.join(d, "doc%08u.pdf" % ((i * 2654435761) % 2**32)), "a").close()
for i in range(2000):
    open(os.path.join(d, "note%08u.txt" % ((i * 2654435761) % 2**32)), "a").close()
PY
