#!/usr/bin/env bash
# Finding a text that only the last page of the 100-page sample holds, from its first page,
# through the viewer control (under Wine) against Debian's pdftotext extracting the whole
# document as a whole process (native), in the same run. Prints both and their ratio.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
cmake --build "$FOLVANE_BUILD" --target pdfcontrol_find_bench >/dev/null
doc="$root/samples/pages.pdf"

best=
for _ in 1 2 3 4 5 6 7; do
  t0=$(date +%s%N)
  pdftotext "$doc" /tmp/folvane-bench-text.txt
  t1=$(date +%s%N)
  ms=$(( (t1 - t0) / 1000000 ))
  if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
done

trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/scripts/register-control.sh"
wine "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_find_bench.exe" "$(winepath -w "$doc")" "Page 100 of" \
  > /tmp/folvane-find-bench.out
read -r median fastest runs < <(tr -d '\r' < /tmp/folvane-find-bench.out)
echo "load average now $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
printf '%-22s %10s %10s\n' what median_ms best_ms
printf '%-22s %10s %10s\n' "control find" "$median" "$fastest"
printf '%-22s %10s %10s\n' "pdftotext (native)" "-" "$best"
awk -v c="$median" -v n="$best" 'BEGIN { if (n > 0) printf "ratio (median / pdftotext best) %.2f\n", c / n }'
