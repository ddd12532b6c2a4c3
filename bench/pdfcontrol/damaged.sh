#!/usr/bin/env bash
# Damaged documents, in one run: makes damaged copies of four documents that Debian ships (TeX
# manuals and format descriptions with cross-reference streams; the same copies on every run),
# opens each in the control (through its COM contract, under Wine) and, as references, draws
# its first page with `pdftoppm` and with `mutool draw` (native). Counts the copies each one
# opens, the crashes and hangs, and the control's slowest answer; prints the kind of machine
# and its load. Installs mupdf-tools for `mutool` when it is missing.
# Usage: bench/pdfcontrol/damaged.sh [copies per document, default 125]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
per_document=${1:-125}
if ! command -v mutool >/dev/null; then
  apt-get install -y mupdf-tools >/dev/null 2>&1 || sudo apt-get install -y mupdf-tools >/dev/null
fi
cmake --build "$FOLVANE_BUILD" --target pdfcontrol_damaged_bench >/dev/null

if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  machine="emulated (32-bit code under QEMU): times of the control and of the references do not compare"
else
  machine="native, $(nproc) cores"
fi

work=$(mktemp -d)
trap 'folvane_stop_all; rm -rf "$work"' EXIT
mkdir -p "$work/sources" "$work/copies"
documents=(
  /usr/share/doc/libtasn1-doc/libtasn1.pdf
  /usr/share/doc/shared-mime-info/*.pdf
  /usr/share/doc/bzip2/manual.pdf.gz
  /usr/share/doc/fontconfig/fontconfig-user.pdf.gz
)
sources=()
for d in "${documents[@]}"; do
  [ -f "$d" ] || { echo "$d is missing: run scripts/setup-packages.sh" >&2; exit 1; }
  name=$(basename "$d" .gz)
  [ "$name" = manual.pdf ] && name=bzip2-manual.pdf
  case "$d" in *.gz) gzip -dc "$d" > "$work/sources/$name" ;; *) cp "$d" "$work/sources/$name" ;; esac
  sources+=("$(winepath -w "$work/sources/$name" 2>/dev/null)")
done

folvane_start_virtual_session
"$root/scripts/register-control.sh"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
wine "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_damaged_bench.exe" "$(winepath -w "$work/copies")" \
  "$per_document" "${sources[@]}" > "$work/control.out" 2>/dev/null || true
tr -d '\r' < "$work/control.out" > "$work/control.txt"

# A reference's verdict on one copy: opened (drew page 1), failed, crashed (killed by a
# signal) or hung (no answer in 20 s).
verdict() {
  local rc=0
  timeout 20 "$@" >/dev/null 2>&1 || rc=$?
  case $rc in
    0) echo opened ;;
    124) echo hung ;;
    1[2-9][0-9]) echo crashed ;;
    *) echo failed ;;
  esac
}

: > "$work/all.txt"
while read -r name opened answer painted lost; do
  copy="$work/copies/$name"
  p=$(verdict pdftoppm -f 1 -l 1 -r 36 -png "$copy" "$work/p")
  m=$(verdict mutool draw -q -r 36 -o "$work/m.png" "$copy" 1)
  echo "$name $opened $answer $painted $lost $p $m" >> "$work/all.txt"
done < "$work/control.txt"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
median_answer=$(awk '{print $3}' "$work/all.txt" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
p95_answer=$(awk '{print $3}' "$work/all.txt" | sort -n | awk '{a[NR]=$1} END {print a[int(NR*0.95)]}')

echo "machine: $machine; load average before $load_before, after $load_after"
echo "corpus: $per_document damaged copies of each of: $(cd "$work/sources" && ls | tr '\n' ' ')"
echo
awk '
  { n++
    c += $2; p += ($6 == "opened"); m += ($7 == "opened")
    both += ($2 && $7 == "opened"); lost += $5
    if ($3 > slow) { slow = $3; slowname = $1 }
    if ($4 > slowpaint) { slowpaint = $4; slowpaintname = $1 }
    pc += ($6 == "crashed"); ph += ($6 == "hung"); mc += ($7 == "crashed"); mh += ($7 == "hung")
    kind = $1; sub(/\.pdf$/, "", kind); sub(/.*-/, "", kind)
    kc[kind] += $2; km[kind] += ($7 == "opened"); kp[kind] += ($6 == "opened"); kn[kind]++ }
  END {
    printf "%-22s %8s %10s %12s\n", "", "opened", "crashed", "hung"
    printf "%-22s %8d %10s %12s\n", "control", c, lost " (worker)", "-"
    printf "%-22s %8d %10d %12d\n", "pdftoppm", p, pc, ph
    printf "%-22s %8d %10d %12d\n", "mutool draw", m, mc, mh
    printf "\nof %d copies; opened by the control out of those mutool draws: %d of %d (%.1f %%; goal 90 %%)\n",
      n, both, m, m ? 100 * both / m : 0
    printf "control opens / mutool draws: %.2f\n", m ? c / m : 0
    printf "slowest answer to OpenDocument: %.1f ms (%s); slowest to painted: %.1f ms (%s)\n",
      slow, slowname, slowpaint, slowpaintname
    printf "\n%-10s %8s %8s %8s %8s\n", "damage", "copies", "control", "pdftoppm", "mutool"
    for (k in kn) printf "%-10s %8d %8d %8d %8d\n", k, kn[k], kc[k], kp[k], km[k]
  }' "$work/all.txt"
echo
echo "answer to OpenDocument: median $median_answer ms, 95th percentile $p95_answer ms"
