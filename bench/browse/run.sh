#!/usr/bin/env bash
# Runs the browsing benchmarks under Wine on a virtual X server: the file list fill, the
# directory list rebuild and the whole double click in the explorer window, each against its
# platform reference and the fill one line at a time. Prints the kind of machine first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
cmake --build "$FOLVANE_BUILD" --target browse_refresh_bench browse_rebuild_bench browse_dblclick_bench >/dev/null
trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/bench/browse/prepare.sh"
out=$(mktemp)
for bench in browse_refresh_bench browse_rebuild_bench browse_dblclick_bench; do
  echo "== $bench"
  wine "$FOLVANE_BUILD/bench/browse/$bench.exe" > "$out"
  tr -d '\r' < "$out"
done
rm -f "$out"
