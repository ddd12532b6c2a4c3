#!/usr/bin/env bash
# Documents of any size, in one run: a document of 10,000 pages (40 lines of prose each) is
# generated here and removed afterwards. Prints, each beside its native reference run as a
# whole process in the same run:
#   OpenDocument to the first page painted       against `mutool draw -r 96` of page 1;
#   find from page 1 of a word on the last page  against `pdftotext` of the whole document;
#   the same find in the 100-page sample         against `pdftotext` of that sample;
# and the peak resident memory of the control's host and its worker together, sampled during
# the find. Wall-clock times are noisy on a shared machine, so the processor time (user and
# system) of each side is printed too, with the machine's kind and load. Progress goes to
# stderr; each step has a time limit, so a step that hangs costs its limit, not the run.
# Usage: large.sh [pages] (FIND_RUNS and STEP_LIMIT in the environment).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
pages=${1:-10000}
find_runs=${FIND_RUNS:-2}
step_limit=${STEP_LIMIT:-900}
for tool in mutool:mupdf-tools pdftotext:poppler-utils; do
  if ! command -v "${tool%%:*}" >/dev/null; then
    apt-get install -y "${tool#*:}" >/dev/null 2>&1 || sudo -n apt-get install -y "${tool#*:}" >/dev/null
  fi
done
progress() { echo "large.sh +${SECONDS}s (load $(cut -d' ' -f1 /proc/loadavg)): $*" >&2; }
progress "building the benchmarks"
cmake --build "$FOLVANE_BUILD" -j2 --target pdfcontrol_open_bench pdfcontrol_find_bench >/dev/null

folder=$(mktemp -d)
doc="$folder/large.pdf"
sample="$root/samples/pages.pdf"
progress "generating $pages pages"
generated_at=$SECONDS
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
generated_s=$((SECONDS - generated_at))

# "<wall ms> <cpu ms>" of the run of a native command with the least wall time of $1 runs.
best_run() {
  local runs=$1 best_wall= best_cpu=
  shift
  for ((i = 0; i < runs; ++i)); do
    local TIMEFORMAT='%R %U %S' line
    line=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    read -r wall user sys <<<"$line"
    local wall_ms cpu_ms
    wall_ms=$(awk -v w="$wall" 'BEGIN { printf "%d", w * 1000 }')
    cpu_ms=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
    if [ -z "$best_wall" ] || [ "$wall_ms" -lt "$best_wall" ]; then best_wall=$wall_ms best_cpu=$cpu_ms; fi
  done
  echo "$best_wall $best_cpu"
}

# Processes of this run's prefix only: other runs on the machine have workers of their own.
ours() {
  for pid in $(pgrep -f 'pdfcontrol_(open|find)_bench.exe|PdfRender.exe' || true); do
    tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
  return 0
}

# Until the file named by $1 exists, every 100 ms: the largest sum of the resident sizes of
# the bench host and the worker (MB), and the processor time each had at its last sample,
# summed (ms). Prints "<peak MB> <cpu ms>".
sample() {
  local peak=0 tick
  tick=$(getconf CLK_TCK)
  declare -A cpu=()
  while [ ! -e "$1" ]; do
    local sum=0
    for pid in $(ours); do
      local kb fields
      kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
      sum=$((sum + ${kb:-0}))
      # Fields 14 and 15 of stat, counted after the command's closing parenthesis.
      fields=$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | awk '{ print $12 + $13 }' || true)
      [ -n "$fields" ] && cpu[$pid]=$fields
    done
    [ "$sum" -gt "$peak" ] && peak=$sum
    sleep 0.1
  done
  local ticks=0
  for pid in "${!cpu[@]}"; do ticks=$((ticks + cpu[$pid])); done
  echo "$((peak / 1024)) $((ticks * 1000 / tick))"
}

# Runs a benchmark program under Wine within the step's limit, its figures into $1.
bench() {
  local out=$1
  shift
  timeout "$step_limit" wine "$@" >"$out" 2>"$out.err" || progress "$(basename "$1") failed: $(tr -d '\r' < "$out.err" | tail -1)"
}

trap 'folvane_stop_all; rm -rf "$folder"' EXIT
progress "references: mutool, pdftotext"
# As many runs of each reference as of what it is set against: the best of more runs is lower.
read -r mutool_ms mutool_cpu < <(best_run 9 mutool draw -r 96 -o "$folder/page1.png" "$doc" 1)
read -r text_ms text_cpu < <(best_run "$find_runs" pdftotext "$doc" "$folder/text.txt")
read -r sample_text_ms sample_text_cpu < <(best_run 7 pdftotext "$sample" "$folder/sample.txt")

progress "starting Wine"
folvane_start_virtual_session
"$root/scripts/register-control.sh"
wdoc=$(winepath -w "$doc")

progress "OpenDocument to the first page painted (9 runs)"
bench "$folder/open.out" "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_open_bench.exe" \
  "$(winepath -w "$root/samples/drawing.pdf")" "$wdoc"
read -r _ open_median open_fast _ < <(tr -d '\r' < "$folder/open.out") || true

progress "find on the last page from page 1 ($find_runs runs)"
sample "$folder/find.done" > "$folder/sample.out" &
sampler=$!
bench "$folder/find.out" "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_find_bench.exe" "$wdoc" zanzibarite "$find_runs"
touch "$folder/find.done"
# Only the sampler: a bare wait would also wait for the X server of this session, for ever.
wait "$sampler"
read -r find_median find_fast _ < <(tr -d '\r' < "$folder/find.out") || true
read -r peak_mb find_cpu < "$folder/sample.out"

progress "find in the 100-page sample"
bench "$folder/sample-find.out" "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_find_bench.exe" \
  "$(winepath -w "$sample")" "Page 100 of" 7
read -r sample_median sample_fast _ < <(tr -d '\r' < "$folder/sample-find.out") || true
progress "done"

if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then machine=emulated; else machine=native; fi
echo "machine: $machine (32-bit code runs natively unless emulated), $(nproc) cores, load average now $(cut -d' ' -f1-3 /proc/loadavg)"
echo "document: $pages pages, $(( $(stat -c %s "$doc") / 1024 / 1024 )) MB, generated in ${generated_s} s (not timed below)"
ratio() { awk -v c="$1" -v n="$2" 'BEGIN { if (n > 0 && c > 0) printf "%.2f", c / n; else print "n/a" }'; }
printf '%-32s %10s %10s %12s %7s\n' moment median_ms best_ms reference_ms ratio
printf '%-32s %10s %10s %12s %7s\n' "open to first page painted" "${open_median:--}" "${open_fast:--}" "$mutool_ms" \
  "$(ratio "${open_fast:-0}" "$mutool_ms")"
printf '%-32s %10s %10s %12s %7s\n' "find on page $pages, from 1" "${find_median:--}" "${find_fast:--}" "$text_ms" \
  "$(ratio "${find_fast:-0}" "$text_ms")"
printf '%-32s %10s %10s %12s %7s\n' "find on page 100 of 100" "${sample_median:--}" "${sample_fast:--}" \
  "$sample_text_ms" "$(ratio "${sample_fast:-0}" "$sample_text_ms")"
echo "references, native whole processes, fastest run: mutool draw -r 96 page 1 (9 runs, as the open), pdftotext ($find_runs runs, as the find; 7 for the sample, as its find)"
echo "processor time, user + system: pdftotext ${text_cpu} ms; host and worker during the find bench ${find_cpu} ms" \
  "(opening included, $find_runs finds): ratio $(ratio "$find_cpu" "$((text_cpu * find_runs))")"
echo "peak resident memory, host and worker together, during the find: ${peak_mb} MB (goal 300 MB)"
