// Start-up: the time from starting a program until its windows of the named classes are all
// visible, for the program and for a bare program that opens three plain windows, started in
// turn in the same folder. Usage: startup_bench <runs> <exe> <class,class,...> <exe> <class,...>
// Prints per program "<exe> <median ms> <fastest ms> <runs>"; the fastest run is the figure
// least disturbed by other work on a shared machine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Whether each wanted class has a visible window of the process yet. Found through the class,
// not by going over every window on the desktop: that asked the single-threaded wineserver about
// 18 questions a poll, every millisecond, as many as the measured program asked it in all, and
// more for a program with more windows.
struct Wanted {
  DWORD pid;
  std::vector<std::string> classes;
  std::vector<HWND> found;
  Wanted(DWORD process, const std::vector<std::string>& names)
      : pid(process), classes(names), found(names.size(), nullptr) {}
  bool AllVisible() {
    bool all = true;
    for (size_t i = 0; i < classes.size(); ++i) {
      for (HWND w = nullptr; !found[i] && (w = FindWindowExA(nullptr, w, classes[i].c_str(), nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid) found[i] = w;
      }
      if (!found[i] || !IsWindowVisible(found[i])) all = false;
      if (!all) break;  // the rest is asked once this one is there
    }
    return all;
  }
};

std::vector<std::string> Split(const char* text) {
  std::vector<std::string> out;
  std::string part;
  for (const char* p = text;; ++p) {
    if (*p == ',' || *p == 0) {
      if (!part.empty()) out.push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part += *p;
    }
  }
  return out;
}

// Milliseconds until all windows are visible, or -1.
double StartOnce(const std::string& exe, const std::vector<std::string>& classes) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string command = "\"" + exe + "\"";
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  double ms = -1;
  Wanted wanted(info.dwProcessId, classes);
  for (;;) {
    const bool visible = wanted.AllVisible();
    QueryPerformanceCounter(&now);
    const double elapsed = 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    if (visible) {
      ms = elapsed;
      break;
    }
    if (elapsed > 60000 || WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  // A trace of start-up (bench/timeline.sh) also wants what follows: the first paint, the loop.
  if (const char* linger = std::getenv("FOLVANE_STARTUP_LINGER_MS"))
    WaitForSingleObject(info.hProcess, std::atoi(linger));
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::fprintf(stderr, "usage: startup_bench <runs> <exe> <class,...> [<exe> <class,...>]...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  struct Program {
    std::string exe;
    std::vector<std::string> classes;
    std::vector<double> times;
  };
  // Wine's desktop process ends when the last program on it goes; a window of ours keeps it,
  // so that each start measures the program and not a new desktop.
  CreateWindowExA(0, "STATIC", "startup_bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  std::vector<Program> programs;
  for (int i = 2; i + 1 < argc; i += 2) programs.push_back({argv[i], Split(argv[i + 1]), {}});
  // One start of each first, unmeasured: files in the cache, the server's tables filled.
  for (Program& p : programs) StartOnce(p.exe, p.classes);
  // In turn, so that a change in the machine's load falls on all alike.
  for (int run = 0; run < runs; ++run) {
    for (Program& p : programs) p.times.push_back(StartOnce(p.exe, p.classes));
  }
  int failures = 0;
  for (Program& p : programs) {
    std::sort(p.times.begin(), p.times.end());
    if (p.times.front() < 0) ++failures;
    std::printf("%s %.1f %.1f %d\n", p.exe.c_str(), p.times[p.times.size() / 2], p.times.front(), runs);
  }
  return failures == 0 ? 0 : 1;
}
