#!/usr/bin/env bash
# A document of 10,000 pages (40 lines of prose each), generated here and removed afterwards:
# OpenDocument to the first page painted against `mutool draw -r 96` of page 1; a find from
# page 1 of a word that only the last page holds against `pdftotext` of the whole document,
# all whole native processes in the same run; and the peak resident memory of the control's
# host and its worker together, sampled during the find. Prints the machine's kind and load.
# Installs mupdf-tools and poppler-utils when they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
pages=${1:-10000}
for tool in mutool:mupdf-tools pdftotext:poppler-utils; do
  if ! command -v "${tool%%:*}" >/dev/null; then
    apt-get install -y "${tool#*:}" >/dev/null 2>&1 || sudo apt-get install -y "${tool#*:}" >/dev/null
  fi
done
cmake --build "$FOLVANE_BUILD" --target pdfcontrol_open_bench pdfcontrol_find_bench >/dev/null

folder=$(mktemp -d)
doc="$folder/large.pdf"
python3 - "$doc" "$pages" <<'PY'
import sys, zlib, random
path, count = sys.argv[1], int(sys.argv[2])
words = ("the of and to in is was for on that with as by at from this which be or an are "
         "reader page manual chapter section figure table value system document line text "
         "machine process window control number order result method paper light water").split()
rng = random.Random(7)
objs = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}
kids = []
for p in range(count):
    lines = []
    for i in range(40):
        line = " ".join(rng.choice(words) for _ in range(9))
        if p == count - 1 and i == 20:
            line += " zanzibarite"
        lines.append("(%s) Tj T*" % line)
    stream = zlib.compress(("BT /F1 11 Tf 13 TL 56 760 Td " + " ".join(lines) + " ET").encode())
    page, content = 4 + 2 * p, 5 + 2 * p
    objs[content] = b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(stream) + stream + b"\nendstream"
    objs[page] = b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents %d 0 R " \
                 b"/Resources << /Font << /F1 3 0 R >> >> >>" % content
    kids.append(b"%d 0 R" % page)
objs[2] = b"<< /Type /Pages /Kids [" + b" ".join(kids) + b"] /Count %d >>" % count
out, offsets = bytearray(b"%PDF-1.4\n"), {}
for n in sorted(objs):
    offsets[n] = len(out)
    out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
size = max(objs) + 1
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % size
out += b"".join(b"%010d 00000 n \n" % offsets[n] for n in range(1, size))
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)
open(path, "wb").write(out)
PY

fastest_ms() {
  local best=
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# Largest sum of the resident sizes of the bench program and the worker, in MB, sampled
# every 100 ms until the file named by $1 exists.
sample_rss() {
  local peak=0
  while [ ! -e "$1" ]; do
    local sum=0
    for pid in $(pgrep -f 'pdfcontrol_find_bench.exe|PdfRender.exe' || true); do
      local kb
      kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)
      sum=$((sum + ${kb:-0}))
    done
    [ "$sum" -gt "$peak" ] && peak=$sum
    sleep 0.1
  done
  echo $((peak / 1024))
}

trap 'folvane_stop_all; rm -rf "$folder"' EXIT
folvane_start_virtual_session
"$root/scripts/register-control.sh"

if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then machine=emulated; else machine=native; fi
echo "machine: $machine, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "document: $pages pages, $(( $(stat -c %s "$doc") / 1024 / 1024 )) MB"

wdoc=$(winepath -w "$doc")
wine "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_open_bench.exe" "$(winepath -w "$root/samples/drawing.pdf")" "$wdoc" \
  > "$folder/open.out" || true
read -r _ open_median open_fast _ < <(tr -d '\r' < "$folder/open.out")
mutool=$(fastest_ms mutool draw -r 96 -o "$folder/page1.png" "$doc" 1)
pdftotext=$(fastest_ms pdftotext "$doc" "$folder/text.txt")

sample_rss "$folder/find.done" > "$folder/rss.out" &
wine "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_find_bench.exe" "$wdoc" zanzibarite "${FIND_RUNS:-3}" > "$folder/find.out" || true
touch "$folder/find.done"
wait
read -r find_median find_fast _ < <(tr -d '\r' < "$folder/find.out")

printf '%-34s %10s %10s %10s %8s\n' moment median_ms best_ms reference ratio
ratio() { awk -v c="$1" -v n="$2" 'BEGIN { if (n > 0 && c > 0) printf "%.2f", c / n; else print "n/a" }'; }
printf '%-34s %10s %10s %10s %8s\n' "open to first page painted" "$open_median" "$open_fast" "$mutool" "$(ratio "$open_fast" "$mutool")"
printf '%-34s %10s %10s %10s %8s\n' "find on the last page, from 1" "$find_median" "$find_fast" "$pdftotext" "$(ratio "$find_fast" "$pdftotext")"
echo "references: mutool draw -r 96 page 1; pdftotext whole document (native, whole processes, best of 3)"
echo "peak resident memory, bench host and worker together: $(cat "$folder/rss.out") MB"
