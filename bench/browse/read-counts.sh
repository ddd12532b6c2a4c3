#!/usr/bin/env bash
# Counts the server requests of each stage of entering a folder of 10,000 subdirectories: each
# variant of browse_read_bench runs alone in a traced process, and the requests of a process that
# runs no variant are taken away. The server traces its requests (-d1) into a file: piping
# Wine's output can hang.
# Usage: bench/browse/read-counts.sh [runs per variant]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
runs=${1:-5}
cmake --build "$FOLVANE_BUILD" --target browse_read_bench >/dev/null
trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/bench/browse/prepare.sh"
trace=$(mktemp)
out=$(mktemp)
trap 'rm -f "$trace" "$out"; folvane_stop_all' EXIT
requests() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  wineserver -p -d1 2>"$trace"
  wine "$FOLVANE_BUILD/bench/browse/browse_read_bench.exe" "$1" "$2" >"$out" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  # A request line names the request and its arguments; its reply line has " = ".
  grep -cE '^[0-9a-f]{4}: [a-z_]+\(' "$trace" | tr -d '\n'
  echo " $(grep -cE '^[0-9a-f]{4}: [a-z_]+\(.*\) = ' "$trace")"
}
read -r base_all base_replies < <(requests 0 "$runs")
printf '%-26s %16s %10s\n' variant "requests/run" "calls/run"
for number in 1 2 3 4 5 6 7 8 9; do
  read -r all replies < <(requests "$number" "$runs")
  variant=$(tr -d '\r' <"$out" | sed -n 's/: [0-9]* kept.*//p')
  calls=$(tr -d '\r' <"$out" | sed -n 's/.*kept, \([0-9]*\) calls/\1/p')
  awk -v v="$variant" -v a="$all" -v r="$replies" -v ba="$base_all" -v br="$base_replies" -v n="$runs" -v c="$calls" \
    'BEGIN { printf "%-26s %16.1f %10s\n", v, ((a - r) - (ba - br)) / n, c }'
done
