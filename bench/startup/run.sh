#!/usr/bin/env bash
# Start to both windows shown: the program against a bare program that opens three plain
# windows, and against the floor that COM and the viewer control set (the bare program with
# the control created in its first window), all started in turn in the same folder, under Wine
# on a virtual X server. With FOLVANE_STARTUP_BEFORE naming a copy of an earlier build's app
# folder (the program with its control beside it), that program is started in turn too, so
# that a change is measured before and after in one run. Usage: bench/startup/run.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/bench/rows.sh"
cmake --build "$FOLVANE_BUILD" --target Folvane startup_bench bare_windows bare_control_host >/dev/null
runs=${1:-15}
trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/scripts/register-control.sh"
echo "machine: $(bench_machine); load average $(bench_load)"
cd "$FOLVANE_BUILD/bench/startup"
bare_classes=BareWindow1,BareWindow2,BareWindow3
wine startup_bench.exe "$runs" "$(winepath -w "$FOLVANE_BUILD/app/Folvane.exe")" TForm1,TForm2 \
  "$(winepath -w "$FOLVANE_BUILD/bench/startup/bare_windows.exe")" "$bare_classes" \
  "$(winepath -w "$FOLVANE_BUILD/bench/startup/bare_control_host.exe")" "$bare_classes" \
  ${FOLVANE_STARTUP_BEFORE:+"$(winepath -w "$FOLVANE_STARTUP_BEFORE/Folvane.exe")" TForm1,TForm2} \
  >/tmp/folvane-startup-bench.out
tr -d '\r' </tmp/folvane-startup-bench.out | {
  read -r _ program program_fast _
  read -r _ bare bare_fast _
  read -r _ floor floor_fast _
  printf '%-28s %10s %10s %10s %10s %10s\n' moment folvane_ms bare_ms floor_ms /bare /floor
  row() {
    awk -v name="$1" -v p="$2" -v b="$3" -v f="$4" 'BEGIN { printf "%-28s %10.1f %10.1f %10.1f %10.2f %10.2f\n", name, p, b, f, p / b, p / f }'
  }
  row "start to windows (median)" "$program" "$bare" "$floor"
  row "start to windows (fastest)" "$program_fast" "$bare_fast" "$floor_fast"
  if read -r _ before before_fast _; then
    row "  before, median" "$before" "$bare" "$floor"
    row "  before, fastest" "$before_fast" "$bare_fast" "$floor_fast"
  fi
  ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
  bench_row "start to both windows, median" "$program ms" "bare program $bare ms" "$(ratio "$program" "$bare")" 1.3
  bench_row "  the same, against COM and the control" "$program ms" "floor $floor ms" "$(ratio "$program" "$floor")" -
  bench_row "start to both windows, fastest" "$program_fast ms" "bare program $bare_fast ms" \
    "$(ratio "$program_fast" "$bare_fast")" 1.3
  bench_row "  the same, against COM and the control" "$program_fast ms" "floor $floor_fast ms" \
    "$(ratio "$program_fast" "$floor_fast")" -
}
