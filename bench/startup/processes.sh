#!/usr/bin/env bash
# Where the wall time of a start goes between processes: while bench/startup's driver starts the
# program, the bare program and the floor host in turn, a sampler outside Wine reads /proc every
# few milliseconds and, for each start (from the process appearing to its end once its windows
# are visible), takes the processor time and the time spent waiting for a core (schedstat) of
# the started process, of the wineserver, of the X server, of Wine's desktop process and of any
# other process of the prefix, the started process's context switches (each server round trip
# is one or two), the machine's idle time, and, sampled, how long the started process was
# running, blocked on the wineserver, or blocked otherwise. It prints medians and the fast and
# slow halves: which of them grows in the slow starts. The sampler itself costs a share of a core; the
# figures are for comparing the programs with one another, not for the goal (bench/startup/run.sh).
# Usage: bench/startup/processes.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/bench/rows.sh"
cmake --build "$FOLVANE_BUILD" --target Folvane startup_bench bare_windows bare_control_host >/dev/null
runs=${1:-15}
samples=$(mktemp)
trap 'folvane_stop_all; rm -f "$samples"' EXIT
folvane_start_virtual_session
"$root/scripts/register-control.sh"
echo "machine: $(bench_machine); load average $(bench_load)"
cd "$FOLVANE_BUILD/bench/startup"
# The names the kernel keeps are cut to 15 characters.
python3 - "$WINEPREFIX" "$FOLVANE_XVFB_PID" "$samples" Folvane.exe,bare_windows.ex,bare_control_ho <<'PY' &
import json, os, sys, time
prefix, xserver, out, targets = sys.argv[1], int(sys.argv[2]), open(sys.argv[3], "w"), set(sys.argv[4].split(","))
me = os.getpid()

def read(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return None

def in_prefix(pid):  # None while a process's environment cannot be read yet (during exec)
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            env = f.read()
    except OSError:
        return False
    return ("WINEPREFIX=" + prefix).encode() in env.split(b"\0") if env else None

def name_state(pid):
    s = read(f"/proc/{pid}/stat")
    if not s:
        return None, None
    return s[s.find("(") + 1:s.rfind(")")], s[s.rfind(")") + 2]

def tasks(pid):  # the process's threads, or None once it is gone
    try:
        return os.listdir(f"/proc/{pid}/task")
    except OSError:
        return None

def cpu(pid):  # processor time and time waiting for a core, ms, summed over threads
    run = wait = 0
    threads = tasks(pid)
    if threads is None:
        return None
    for t in threads:
        s = read(f"/proc/{pid}/task/{t}/schedstat")
        if s:
            run += int(s.split()[0]); wait += int(s.split()[1])
    return run / 1e6, wait / 1e6

def switches(pid):
    s = read(f"/proc/{pid}/status") or ""
    return sum(int(l.split()[1]) for l in s.splitlines() if l.endswith(tuple("0123456789")) and "ctxt_switches" in l)

# A thread blocked reading a pipe waits for the wineserver (a request's reply or a wake-up);
# other blocking calls (poll: the X connection) are counted apart.
def thread_states(pid):
    kinds = []
    for t in tasks(pid) or []:
        s = read(f"/proc/{pid}/task/{t}/stat")
        if not s:
            continue
        if s[s.rfind(")") + 2] == "R":
            kinds.append("running")
            continue
        call = (read(f"/proc/{pid}/task/{t}/syscall") or "").split()
        if len(call) > 1 and call[0] == "3":  # read, in the 32-bit numbering
            try:
                target = os.readlink(f"/proc/{pid}/fd/{int(call[1], 16)}")
            except OSError:
                target = ""
            kinds.append("server" if target.startswith("pipe:") else "blocked")
        else:
            kinds.append("running" if call[:1] == ["running"] else "blocked")
    return kinds

def snapshot():
    d = {}
    for pid in list(watched):
        name, state = name_state(pid)
        if name is None or state == "Z":
            continue
        watched[pid] = name
        c = cpu(pid)
        if c:
            d[pid] = c
    return d

def idle():  # the machine's idle time and the time taken from it by its host (steal), ms
    f = open("/proc/stat").readline().split()
    tick = 1000 / os.sysconf("SC_CLK_TCK")
    return (int(f[4]) + int(f[5])) * tick, int(f[8]) * tick

watched = {xserver: "Xvfb"}
seen = {me}
starts = {}
while True:
    now = time.monotonic()
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in seen:
            continue
        pid = int(entry)
        mine = in_prefix(pid)
        if mine is None:
            continue
        seen.add(pid)
        if mine:
            watched[pid] = name_state(pid)[0] or "?"
            starts[pid] = {"first": now, "before": snapshot(), "idle": idle()}
    for pid, start in list(starts.items()):
        name, state = name_state(pid)
        if name is not None and state != "Z":
            if name in targets:
                # What the started process's threads do now, counted for the time since the last look.
                step = now - start.get("last", now)
                for kind in thread_states(pid):
                    start[kind] = start.get(kind, 0) + step * 1000
            start.update(name=name, last=now, own=cpu(pid), switches=switches(pid))
            continue
        del starts[pid]
        if start.get("name") not in targets or not start.get("own"):
            continue
        after = snapshot()
        idle_now, steal_now = idle()
        parts = {"own": list(start["own"])}
        for other, (run, wait) in after.items():
            if other == pid:
                continue
            run0, wait0 = start["before"].get(other, (0, 0))
            kind = {"Xvfb": "X server", "wineserver": "wineserver", "wineserver32": "wineserver",
                    "explorer.exe": "desktop"}.get(watched.get(other), "others")
            part = parts.setdefault(kind, [0, 0])
            part[0] += run - run0
            part[1] += wait - wait0
        out.write(json.dumps({"name": start["name"], "wall": (start["last"] - start["first"]) * 1000,
                              "switches": start["switches"], "idle": idle_now - start["idle"][0],
                              "steal": steal_now - start["idle"][1], "parts": parts,
                              "states": [start.get(k, 0) for k in ("running", "server", "blocked")]}) + "\n")
        out.flush()
    time.sleep(0.003)
PY
sampler=$!
sleep 1
bare_classes=BareWindow1,BareWindow2,BareWindow3
wine startup_bench.exe "$runs" "$(winepath -w "$FOLVANE_BUILD/app/Folvane.exe")" TForm1,TForm2 \
  "$(winepath -w "$FOLVANE_BUILD/bench/startup/bare_windows.exe")" $bare_classes \
  "$(winepath -w "$FOLVANE_BUILD/bench/startup/bare_control_host.exe")" $bare_classes >/dev/null
sleep 0.5
kill "$sampler"
wait "$sampler" 2>/dev/null || true
echo "load average after $runs runs: $(bench_load)"
python3 - "$samples" <<'PY'
import json, statistics, sys
label = {"Folvane.exe": "program", "bare_windows.ex": "bare program", "bare_control_ho": "floor"}
print("floor: the bare program with COM started and the viewer control created")
rows = {}
for line in open(sys.argv[1]):
    r = json.loads(line)
    rows.setdefault(r["name"], []).append(r)
kinds = ["own", "wineserver", "X server", "desktop", "others"]
print("ms per start; processor time / waiting for a core; switches: the started process's context switches;")
print("idle and steal: the machine's idle time and the time its host took from it, both cores together;")
print("sampled: the started process running or waiting for a core / blocked on the wineserver / blocked otherwise")
print(f"{'':30}{'wall':>7}" + "".join(f"{k:>17}" for k in kinds) + f"{'switches':>10}{'idle':>7}{'steal':>7}"
      + f"{'sampled: run / server / other':>31}")
def line(title, group, pick):
    value = lambda f: pick([f(r) for r in group])
    part = lambda k, i: value(lambda r: r["parts"].get(k, [0, 0])[i])
    print(f"{title:30}{value(lambda r: r['wall']):7.0f}" +
          "".join(f"{part(k, 0):9.0f} /{part(k, 1):5.0f}" for k in kinds) +
          f"{value(lambda r: r['switches']):10.0f}{value(lambda r: r['idle']):7.0f}{value(lambda r: r['steal']):7.0f}"
          + "".join(f"{value(lambda r, i=i: r['states'][i]):9.0f}" + (" /" if i < 2 else "") for i in range(3)))
for name in ("Folvane.exe", "bare_windows.ex", "bare_control_ho"):
    group = sorted(rows.get(name, [])[1:], key=lambda r: r["wall"])  # the first start is the unmeasured one
    if not group:
        continue
    half = len(group) // 2
    line(f"{label[name]}, median of {len(group)}", group, statistics.median)
    line("  fastest half (mean)", group[:half], statistics.mean)
    line("  slowest half (mean)", group[-half:], statistics.mean)
PY
