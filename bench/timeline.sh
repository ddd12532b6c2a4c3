#!/usr/bin/env bash
# Where the time of start-up and of a click goes, from an outside trace: Wine's relay of the
# platform calls that mark each step (with Wine's millisecond timestamps), taken while
# bench/startup and the click benchmark drive the real program. A second, slower run traces
# every platform call of the program and every wineserver request, and counts them per step:
# the figures to trust where time is noisy. Nothing in the program is changed for this.
# Usage: bench/timeline.sh; FOLVANE_TIMELINE_APP names another build's app folder to trace its
# start-up instead (a copy of an earlier build, for before and after); FOLVANE_TIMELINE_STARTUP_ONLY=1
# leaves the click out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/bench/rows.sh"
source "$root/bench/blank-pdf.sh"
cmake --build "$FOLVANE_BUILD" --target Folvane startup_bench pdfcontrol_click_bench >/dev/null
work=$(mktemp -d)
trap 'folvane_stop_all; rm -rf "$work"' EXIT
folvane_start_x 1
folvane_prepare_prefix
folvane_set_desktop 1
"$root/scripts/register-control.sh"
wineserver -w

# The modules whose calls are traced: the benchmarks' and the program's own code.
modules="startup_bench.exe;pdfcontrol_click_bench.exe;folvane.exe;pdfcontrol"
# The calls that mark the steps (see the step tables below).
markers="kernel32.CreateProcessA;kernel32.CreateProcessW;kernel32.CreateProcessAsUserW;kernel32.WaitForSingleObject;user32.SendInput"
markers+=";user32.CreateWindowExA;user32.CreateWindowExW;kernel32.FindResourceA;kernel32.FindResourceW"
markers+=";ole32.CoInitialize;combase.CoCreateInstance;user32.ShowWindow;user32.BeginPaint;user32.WaitMessage"
markers+=";oleaut32.SysAllocStringLen;kernel32.WriteFile;kernel32.ReadFile;kernel32.GetOverlappedResult"
markers+=";kernel32.FindFirstFileW;kernel32.FindFirstFileA;user32.SendMessageA;gdi32.SetDIBitsToDevice"
markers+=";gdi32.StretchDIBits;gdi32.BitBlt;kernel32.WaitForMultipleObjects"
markers+=";kernel32.GetLogicalDrives;user32.SetTimer;user32.KillTimer"

set_relay() {  # <functions or empty for all>
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayFromInclude /d "$modules" /f >/dev/null 2>&1
  if [ -n "$1" ]; then
    wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$1" /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1 || true
  fi
  wineserver -w
}

# Runs "$@" with the relay on; with "counted", the server traces its requests into the same
# file, so that both stay in the order they happened.
traced() {  # <trace file> <timed|counted> <command...>
  local trace=$1 mode=$2
  shift 2
  if [ "$mode" = counted ]; then wineserver -p -d1 2>>"$trace"; else wineserver -p >/dev/null 2>&1; fi
  WINEDEBUG=+pid,+timestamp,+relay,+loaddll "$@" >/dev/null 2>>"$trace" || true
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
}

# The steps, separated by @: who makes the call (bench or program), the step's name, the trace
# line that marks it, which such line when not the first (ret=004 is the program's own code),
# and the step that must come first, by its number.
cat >"$work/startup.steps" <<'STEPS'
bench@process created@Call KERNEL32.CreateProcessA
program@the loader runs (first library initialised)@:Call 
program@the program's own code runs (its libraries initialised)@:Call [A-Za-z0-9_]+\.[A-Za-z].*ret=004
program@runtime initialised: regional settings read, application window made@Ret  user32.CreateWindowExA
program@COM initialised@Ret  ole32.CoInitialize
program@viewer window's description found@FindResource.*TFORM1
program@control's library loaded@loaddll.*pdfcontrol\.dll
program@control created@Ret  combase.CoCreateInstance
program@viewer window made@Call user32.CreateWindowExA.*"TForm1"
program@control's window made (activated in place)@Call user32.CreateWindowExW.*FolvanePdfView
program@control's toolbar made (its tooltip window, the last)@Call user32.CreateWindowExW.*tooltips_class32
program@explorer window's description found@FindResource.*TFORM2
program@explorer window made@Call user32.CreateWindowExA.*"TForm2"
program@drives listed@Call KERNEL32.GetLogicalDrives@1@13
program@explorer window shown@Call user32.ShowWindow.*ret=004
program@viewer window shown@Call user32.ShowWindow.*ret=004@2
program@a window of the program painted for the first time@Call user32.BeginPaint
program@explorer window painted@Call user32.BeginPaint\({TForm2}
program@viewer window painted@Call user32.BeginPaint\({TForm1}
program@control's window painted@Call user32.BeginPaint\({FolvanePdfView}
program@message loop waits for the first time@Call user32.WaitMessage
program@worker started@Call KERNEL32.CreateProcess(AsUser)?W
bench@both windows seen visible by the benchmark@Call KERNEL32.WaitForSingleObject\([0-9a-f]+,000005dc
STEPS
cat >"$work/click.steps" <<'STEPS'
bench@click (mouse button down)@Call user32.SendInput
program@path handed to OpenDocument@Call oleaut32.SysAllocStringLen
program@request written to the worker@Call KERNEL32.WriteFile@1@2
program@worker's answer to the open read@Ret  KERNEL32.(ReadFile|GetOverlappedResult)@1@3
program@first page asked of the worker@Call KERNEL32.WriteFile@1@4
program@worker's page arrived@Ret  KERNEL32.GetOverlappedResult@1@5
program@status facts: the file's entry searched@Call KERNEL32.FindFirstFile@1@2
program@status bar texts sent@SendMessageA\([0-9a-f]+,00000401@1@7
program@page's pixels drawn into the window@Call gdi32.SetDIBitsToDevice@1@6
STEPS

# Prints the steps found in a trace in the order they happened: time from the first step, time
# from the step before, and in a counted trace the program's platform calls, window procedure
# calls and server requests since the step before. Each step is the first line that marks it
# after the first step (and after the step it waits for); that first step is the last one in
# the trace but `skip`.
report() {  # <trace> <steps> <skip>
  awk -v steps="$2" -v skip="$3" '
    BEGIN {
      FS = "@"
      # Wine writes the names of some libraries in capitals: matched without case.
      while ((getline line < steps) > 0) { n++; split(line, f, "@"); who[n] = f[1]; label[n] = f[2]; re[n] = tolower(f[3]); nth[n] = f[4] ? f[4] : 1; after[n] = f[5] + 0 }
      FS = " "
      stamp = "^[0-9]+\\.[0-9]+:[0-9a-f]+:[0-9a-f]+:"
      request = "^[0-9a-f][0-9a-f][0-9a-f][0-9a-f]: [a-z_]+\\("
    }
    # First pass: whose process is whose. The benchmark makes the first step; the program
    # starts COM or hands a path to the control. The server names threads only.
    FNR == NR {
      l = tolower($0)
      if (l !~ stamp) next
      split(l, p, ":")
      # The first process to make the first step is the benchmark (the control starts its worker too).
      if (l ~ re[1] && bench == "") bench = p[2]
      if (l ~ re[1] && p[2] == bench) firsts[++nfirst] = FNR
      if (l ~ /:call (ole32\.coinitialize|oleaut32\.sysallocstring)/ && p[2] != bench) program = p[2]
      threadOf[p[3]] = p[2]
      next
    }
    FNR == 1 { start = firsts[nfirst - skip] }
    FNR < start { next }
    {
      l = tolower($0)
      if (l !~ stamp) {
        if (l ~ request && l !~ /\) = / && threadOf[substr(l, 1, 4)] == program) requests++
        next
      }
      split(l, p, ":")
      # The handles of the windows that steps name by class: the return of their creation.
      if (p[2] == program && match(l, /:call user32\.createwindowex[aw]\([^,]*,[^,]*(l?"[a-z0-9_]+")/)) {
        pending[p[3]] = l; sub(/^.*createwindowex[aw]\([^,]*,[0-9a-f]+ l?"/, "", pending[p[3]]); sub(/".*$/, "", pending[p[3]])
      }
      if (p[2] == program && l ~ /:ret  user32\.createwindowex[aw]\(/ && pending[p[3]] != "") {
        if (!(pending[p[3]] in hwnd)) { hwnd[pending[p[3]]] = l; sub(/^.*retval=/, "", hwnd[pending[p[3]]]); sub(/ .*$/, "", hwnd[pending[p[3]]]) }
        pending[p[3]] = ""
      }
      if (p[2] == program && l ~ /:call [a-z0-9_]+\./) calls++
      if (p[2] == program && l ~ /:call window proc/) winprocs++
      for (i = 1; i <= n; i++) {
        pattern = re[i]
        # A step that names a window by {class} waits until that window exists.
        if (match(pattern, /\{[a-z0-9_]+\}/)) {
          cls = substr(pattern, RSTART + 1, RLENGTH - 2)
          if (!(cls in hwnd)) continue
          pattern = substr(pattern, 1, RSTART - 1) hwnd[cls] substr(pattern, RSTART + RLENGTH)
        }
        if (seen[i] || (after[i] && !seen[after[i]]) || l !~ pattern) continue
        if (p[2] != (who[i] == "bench" ? bench : program) || ++hits[i] < nth[i]) continue
        seen[i] = ++order; at[order] = p[1] * 1000; step[order] = i
        c[order] = calls; w[order] = winprocs; r[order] = requests
      }
    }
    END {
      printf "%-62s %8s %8s %8s %8s %8s\n", "step", "at ms", "+ms", "calls", "winproc", "server"
      for (k = 1; k <= order; k++)
        printf "%-62s %8.0f %8.0f %8d %8d %8d\n", label[step[k]], at[k] - at[1], k == 1 ? 0 : at[k] - at[k - 1],
               k == 1 ? 0 : c[k] - c[k - 1], k == 1 ? 0 : w[k] - w[k - 1], k == 1 ? 0 : r[k] - r[k - 1]
      for (i = 1; i <= n; i++) if (!seen[i]) printf "%-62s %8s\n", label[i], "(not seen)"
    }' "$1" "$1"
}

echo "machine: $(bench_machine)"
blank_folder() {
  mkdir -p "$work/docs"
  cp "$root/samples/fonts.pdf" "$work/docs/"
  bench_blank_pdf "$work/docs/blank.pdf"
}
blank_folder
startup() {
  (cd "$FOLVANE_BUILD/bench/startup" &&
    FOLVANE_STARTUP_LINGER_MS=1500 wine startup_bench.exe 1 \
      "$(winepath -w "${FOLVANE_TIMELINE_APP:-$FOLVANE_BUILD/app}/Folvane.exe")" TForm1,TForm2)
}
click() { wine "$FOLVANE_BUILD/bench/pdfcontrol/pdfcontrol_click_bench.exe" "$(winepath -w "$work/docs")" blank.pdf fonts.pdf; }

for mode in ${FOLVANE_TRACE_MODES:-timed counted}; do
  if [ "$mode" = timed ]; then set_relay "$markers"; else set_relay ""; fi
  traced "$work/startup.$mode" "$mode" startup
  [ -n "${FOLVANE_TIMELINE_STARTUP_ONLY:-}" ] || traced "$work/click.$mode" "$mode" click
  if [ -n "${FOLVANE_KEEP_TRACES:-}" ]; then cp "$work"/*."$mode" "$FOLVANE_KEEP_TRACES"/; fi
  echo
  echo "start-up, $mode run (load average $(bench_load))"
  report "$work/startup.$mode" "$work/startup.steps" 0
  [ -z "${FOLVANE_TIMELINE_STARTUP_ONLY:-}" ] || continue
  echo
  echo "click on a one-page document until its page is drawn, $mode run, the last timed click (load average $(bench_load))"
  # The last click of the run: the button-down before the last button-up.
  report "$work/click.$mode" "$work/click.steps" 1
done
wine reg delete 'HKCU\Software\Wine\Debug' /f >/dev/null 2>&1 || true
