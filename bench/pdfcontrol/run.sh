#!/usr/bin/env bash
# First page on screen through the viewer control (under Wine) against Debian's pdftoppm writing
# the first page at 96 dpi (native), on the same documents in the same run. Prints the ratios.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
cmake --build "$FOLVANE_BUILD" --target pdfcontrol_open_bench >/dev/null
docs=("$root/samples/fonts.pdf" "$root/samples/pages.pdf" "$root/samples/image.pdf")
labels=("one-page text" "100-page text" "image page")

native_ms() {
  local best=
  for _ in 1 2 3 4 5; do
    local t0 t1
    t0=$(date +%s%N)
    pdftoppm -r 96 -f 1 -l 1 -png "$1" /tmp/folvane-bench-page >/dev/null 2>&1
    t1=$(date +%s%N)
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

trap folvane_stop_all EXIT
folvane_start_x 1
folvane_prepare_prefix
folvane_set_desktop 1
folvane_start_wineserver
"$root/scripts/register-control.sh"
args=("$(winepath -w "$root/samples/drawing.pdf")")
for d in "${docs[@]}"; do args+=("$(winepath -w "$d")"); done
wine "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_open_bench.exe" "${args[@]}" > /tmp/folvane-bench.out
printf '%-16s %12s %12s %8s\n' document control_ms pdftoppm_ms ratio
i=0
while read -r _ control _; do
  native=$(native_ms "${docs[$i]}")
  ratio=$(awk -v c="$control" -v n="$native" 'BEGIN { if (n > 0) printf "%.2f", c / n; else print "n/a" }')
  printf '%-16s %12s %12s %8s\n' "${labels[$i]}" "$control" "$native" "$ratio"
  i=$((i + 1))
done < <(tr -d '\r' < /tmp/folvane-bench.out)
