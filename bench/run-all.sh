#!/usr/bin/env bash
# Every moment that a user waits for, in one run: the browsing benchmarks, click to ink and
# OpenDocument for small documents, and start-up, each printing its own figures; then one table
# of every moment beside its reference and goal, with the kind of machine and the load average
# at the time of each figure. The machine may be shared: ratios within one run count, single
# times do not. Usage: bench/run-all.sh [start-up runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/rows.sh"
FOLVANE_BENCH_ROWS=$(mktemp)
export FOLVANE_BENCH_ROWS
trap 'rm -f "$FOLVANE_BENCH_ROWS"' EXIT

echo "machine: $(bench_machine)"
for part in browse/run.sh pdfcontrol/run.sh "startup/run.sh ${1:-15}"; do
  echo
  echo "==== bench/$part (load average $(bench_load))"
  # shellcheck disable=SC2086
  "$root/bench/"$part || echo "bench/$part failed"
done

echo
echo "==== every moment against its reference; machine: $(bench_machine)"
printf '%-44s %12s %-28s %7s %6s %-8s %s\n' moment figure reference ratio goal "" "load average"
while IFS='|' read -r moment figure reference ratio goal load; do
  verdict=$(awk -v r="$ratio" -v g="$goal" 'BEGIN {
    if (g == "-" || r !~ /^[0-9.]+$/) print ""; else if (r + 0 <= g + 0) print "met"; else print "not met" }')
  printf '%-44s %12s %-28s %7s %6s %-8s %s\n' "$moment" "$figure" "$reference" "$ratio" "$goal" "$verdict" "$load"
done <"$FOLVANE_BENCH_ROWS"
