#!/usr/bin/env bash
# Runs the browsing benchmarks under Wine on a virtual X server: the file list fill, the
# directory list rebuild and the whole double click in the explorer window, each against its
# platform reference and the fill one line at a time. Prints the kind of machine and the load.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/bench/rows.sh"
cmake --build "$FOLVANE_BUILD" --target browse_refresh_bench browse_rebuild_bench browse_dblclick_bench >/dev/null
trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/bench/browse/prepare.sh"
out=$(mktemp)
for bench in browse_refresh_bench browse_rebuild_bench browse_dblclick_bench; do
  echo "== $bench (load average $(bench_load))"
  wine "$FOLVANE_BUILD/bench/browse/$bench.exe" >"$out"
  tr -d '\r' <"$out" | tee "$out.txt"
  # Rows of figures start with a count; the summary takes the columns named in each header.
  case $bench in
  browse_refresh_bench)
    while read -r files platform _ ours _ ratio runs cpu _; do
      bench_row "RefreshFiles, $files files" "${ours} s" "LB_DIR ${platform} s" "$ratio" 1.0
      bench_row "  the same, processor time of $runs runs" "-" "LB_DIR" "$cpu" -
    done < <(grep -E '^ *[0-9]' "$out.txt")
    ;;
  browse_rebuild_bench)
    while read -r found bare _ enter _ ratio _ _ _ _ cpu filled ratio2 cpu2; do
      bench_row "RebuildItems, $found subdirectories" "${enter} s" "bare enumeration ${bare} s" "$ratio" 1.0
      bench_row "  the same, processor time of 5 runs" "-" "bare enumeration" "$cpu" -
      bench_row "  the same, against read + platform list fill" "${enter} s" "read + fill ${filled} s" "$ratio2" -
      bench_row "  the same, processor time of 5 runs" "-" "read + fill" "$cpu2" -
    done < <(grep -E '^ *[0-9]' "$out.txt")
    ;;
  browse_dblclick_bench)
    # The median of the measured runs.
    grep -E '^ *[0-9]' "$out.txt" | sort -k7,7n | awk '{ rows[NR] = $0 } END { print rows[int((NR + 1) / 2)] }' |
      while read -r pdfs others platform oneread _ path ratio ratio2 _; do
        bench_row "double-click, $pdfs PDFs + $others others" "${path} s" "LB_DIR ${platform} s" "$ratio" 1.0
        bench_row "  the same, against one bare read" "${path} s" "one read ${oneread} s" "$ratio2" -
      done
    ;;
  esac
done
rm -f "$out" "$out.txt"
