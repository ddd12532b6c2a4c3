#!/usr/bin/env bash
# Start to both windows shown: the program against a bare program that opens three plain
# windows, and against the same bare program with one more part each: the libraries the program
# imports (with its manifest and the common controls initialised), COM started, COM with the
# viewer control created (the floor), and a font made and measured (what any program that lays
# out text pays before its windows show), all started in turn in the same folder, under Wine on a
# virtual X server. The parts split what any program of this kind pays from what ours adds.
# With FOLVANE_STARTUP_BEFORE naming a copy of an earlier build's app folder (the program with
# its control beside it), that program is started in turn too, so that a change is measured
# before and after in one run. Usage: bench/startup/run.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/bench/rows.sh"
cmake --build "$FOLVANE_BUILD" --target Folvane startup_bench bare_windows bare_libraries bare_com \
  bare_control_host bare_font >/dev/null
runs=${1:-15}
trap folvane_stop_all EXIT
folvane_start_virtual_session
"$root/scripts/register-control.sh"
echo "machine: $(bench_machine); load average $(bench_load)"
cd "$FOLVANE_BUILD/bench/startup"
bare_classes=BareWindow1,BareWindow2,BareWindow3
bare() { echo "$(winepath -w "$FOLVANE_BUILD/bench/startup/$1.exe")" "$bare_classes"; }
# shellcheck disable=SC2046
wine startup_bench.exe "$runs" "$(winepath -w "$FOLVANE_BUILD/app/Folvane.exe")" TForm1,TForm2 \
  $(bare bare_windows) $(bare bare_libraries) $(bare bare_com) $(bare bare_control_host) $(bare bare_font) \
  ${FOLVANE_STARTUP_BEFORE:+"$(winepath -w "$FOLVANE_STARTUP_BEFORE/Folvane.exe")" TForm1,TForm2} \
  >/tmp/folvane-startup-bench.out
echo "load average after $runs runs: $(bench_load)"
tr -d '\r' </tmp/folvane-startup-bench.out | {
  read -r _ program program_fast _
  read -r _ bare bare_fast _
  read -r _ libraries libraries_fast _
  read -r _ com com_fast _
  read -r _ floor floor_fast _
  read -r _ font font_fast _
  echo "references (ms, median and fastest): bare $bare $bare_fast; bare + libraries $libraries $libraries_fast;" \
    "bare + COM $com $com_fast; bare + COM + control (floor) $floor $floor_fast; bare + font $font $font_fast"
  printf '%-28s %10s %10s %10s %10s %10s %10s\n' moment ms /bare /libraries /COM /floor /font
  row() {  # <name> <figure> <bare> <libraries> <com> <floor> <font>
    awk -v name="$1" -v p="$2" -v b="$3" -v l="$4" -v c="$5" -v f="$6" -v t="$7" \
      'BEGIN { printf "%-28s %10.1f %10.2f %10.2f %10.2f %10.2f %10.2f\n", name, p, p / b, p / l, p / c, p / f, p / t }'
  }
  row "start to windows (median)" "$program" "$bare" "$libraries" "$com" "$floor" "$font"
  row "start to windows (fastest)" "$program_fast" "$bare_fast" "$libraries_fast" "$com_fast" "$floor_fast" "$font_fast"
  if read -r _ before before_fast _; then
    row "  before, median" "$before" "$bare" "$libraries" "$com" "$floor" "$font"
    row "  before, fastest" "$before_fast" "$bare_fast" "$libraries_fast" "$com_fast" "$floor_fast" "$font_fast"
  fi
  # What each part costs on its own, from the medians.
  awk -v b="$bare" -v l="$libraries" -v c="$com" -v f="$floor" -v t="$font" -v p="$program" 'BEGIN {
    printf "over bare (median): libraries %+.1f ms, COM %+.1f ms, COM + control %+.1f ms (control alone %+.1f), font %+.1f ms, program %+.1f ms\n",
      l - b, c - b, f - b, f - c, t - b, p - b }'
  ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
  bench_row "start to both windows, median" "$program ms" "bare program $bare ms" "$(ratio "$program" "$bare")" 1.3
  bench_row "  the same, against the libraries loaded" "$program ms" "bare + libraries $libraries ms" \
    "$(ratio "$program" "$libraries")" -
  bench_row "  the same, against COM started" "$program ms" "bare + COM $com ms" "$(ratio "$program" "$com")" -
  bench_row "  the same, against COM and the control" "$program ms" "floor $floor ms" "$(ratio "$program" "$floor")" -
  bench_row "  the same, against a font made and measured" "$program ms" "bare + font $font ms" \
    "$(ratio "$program" "$font")" -
  bench_row "start to both windows, fastest" "$program_fast ms" "bare program $bare_fast ms" \
    "$(ratio "$program_fast" "$bare_fast")" 1.3
  bench_row "  the same, against COM and the control" "$program_fast ms" "floor $floor_fast ms" \
    "$(ratio "$program_fast" "$floor_fast")" -
}
