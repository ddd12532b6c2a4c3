#!/usr/bin/env bash
# Start to both windows shown: the program against a bare program that opens three plain
# windows, both started in turn in the same folder, under Wine on a virtual X server.
# Usage: bench/startup/run.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
cmake --build "$FOLVANE_BUILD" --target Folvane startup_bench bare_windows >/dev/null
runs=${1:-15}
trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/scripts/register-control.sh"
cd "$FOLVANE_BUILD/bench/startup"
wine startup_bench.exe "$runs" "$(winepath -w "$FOLVANE_BUILD/app/Folvane.exe")" TForm1,TForm2 \
  "$(winepath -w "$FOLVANE_BUILD/bench/startup/bare_windows.exe")" BareWindow1,BareWindow2,BareWindow3 \
  > /tmp/folvane-startup-bench.out
tr -d '\r' < /tmp/folvane-startup-bench.out | {
  read -r _ program program_fast _
  read -r _ bare bare_fast _
  printf '%-28s %10s %10s %10s\n' moment folvane_ms bare_ms ratio
  awk -v p="$program" -v b="$bare" -v pf="$program_fast" -v bf="$bare_fast" 'BEGIN {
    printf "%-28s %10.1f %10.1f %10.2f\n", "start to windows (median)", p, b, p / b
    printf "%-28s %10.1f %10.1f %10.2f\n", "start to windows (fastest)", pf, bf, pf / bf }'
}
