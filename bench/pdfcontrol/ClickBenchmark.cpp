// Click to ink: the real program started in a folder of documents; a click on a line of its
// file list, until the first page's ink is on the screen in the viewer window. Between two
// timed clicks a blank page is shown, so that each timed click starts from no ink.
// Usage: pdfcontrol_click_bench <folder> <blank.pdf> <doc.pdf>... (names within the folder)
// Prints per document "<name> <median ms> <fastest ms> <runs> <missed>" (runs whose ink was
// seen; missed ones are left out); the fastest run is the figure least disturbed by other
// work on a shared machine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/RunningProgram.h"
#include "tests/support/WindowTesting.h"

namespace {

double Now() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * double(now.QuadPart) / double(frequency.QuadPart);
}

// Dark pixels of the window as it is on the screen: the ink of text and drawings.
class InkCounter {
 public:
  explicit InkCounter(HWND window) : window_(window) {
    GetClientRect(window, &client_);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, client_.right, -client_.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    screen_ = GetDC(nullptr);
    memory_ = CreateCompatibleDC(screen_);
    bitmap_ = CreateDIBSection(screen_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(memory_, bitmap_);
  }
  ~InkCounter() {
    SelectObject(memory_, old_);
    DeleteObject(bitmap_);
    DeleteDC(memory_);
    ReleaseDC(nullptr, screen_);
  }
  int Count() {
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    BitBlt(memory_, 0, 0, client_.right, client_.bottom, screen_, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    int n = 0;
    for (int i = 0; i < client_.right * client_.bottom; ++i) {
      const unsigned p = bits_[i];
      n += ((p >> 16) & 255) < 96 && ((p >> 8) & 255) < 96 && (p & 255) < 96 ? 1 : 0;
    }
    return n;
  }

 private:
  HWND window_;
  RECT client_{};
  HDC screen_, memory_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  unsigned* bits_ = nullptr;
};

struct Program {
  RunningProgram program;
  HWND files = nullptr, view = nullptr;
  explicit Program(const std::string& folder) : program(-1, folder) {
    HWND explorer = program.Window("TForm2"), viewer = program.Window("TForm1");
    if (!explorer || !viewer) return;
    PumpUntil(
        [&] {
          return (files = FindDescendant(explorer, "TFileListBox")) &&
                 (view = FindDescendant(viewer, "FolvanePdfView"));
        },
        20000);
  }
  void Click(const std::string& name) {
    const POINT at = LineCentre(files, FindLine(files, name));
    SendMouseAt(at, MOUSEEVENTF_LEFTDOWN);
    SendMouseAt(at, MOUSEEVENTF_LEFTUP);
  }
  // The time from the click until the ink count stays at what it settles to; -1 if it never
  // comes. Ink counts are sampled as fast as the screen can be read.
  double ClickUntilInk(const std::string& name, InkCounter& ink, int blank_ink) {
    std::vector<std::pair<double, int>> samples;
    const double start = Now();
    Click(name);
    double last_change = start;
    int last = ink.Count();
    samples.push_back({Now(), last});
    while (Now() - last_change < 1500 && Now() - start < 60000) {
      PumpMessages();
      const int n = ink.Count();
      samples.push_back({Now(), n});
      if (n != last) last_change = Now();
      last = n;
    }
    if (last - blank_ink < 200) return -1;
    const int wanted = blank_ink + (last - blank_ink) * 9 / 10;
    for (const auto& [t, n] : samples) {
      if (n >= wanted) return t - start;
    }
    return -1;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: pdfcontrol_click_bench <folder> <blank.pdf> <doc.pdf>...\n");
    return 2;
  }
  // Keeps Wine's desktop process alive between programs.
  CreateWindowExA(0, "STATIC", "click_bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  Program p(argv[1]);
  if (!p.files || !p.view) {
    std::fprintf(stderr, "the program's windows did not come\n");
    return 1;
  }
  InkCounter ink(p.view);
  const std::string blank = argv[2];
  auto settle = [&] {
    int last = -1;
    PumpUntil(
        [&] {
          const int n = ink.Count();
          const bool same = n == last;
          last = n;
          return same;
        },
        60000);
    return last;
  };
  // Unmeasured: the worker up, each document read once from the disk.
  for (int i = 2; i < argc; ++i) {
    p.Click(argv[i]);
    PumpUntil([] { return false; }, 1500);
  }
  constexpr int kRuns = 7;
  int failures = 0;
  for (int i = 3; i < argc; ++i) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
      p.Click(blank);
      PumpUntil([] { return false; }, 1000);
      const int blank_ink = settle();
      times.push_back(p.ClickUntilInk(argv[i], ink, blank_ink));
    }
    // A click whose ink was never seen counts as missed, not as the fastest.
    const auto missed = std::count_if(times.begin(), times.end(), [](double t) { return t < 0; });
    times.erase(std::remove_if(times.begin(), times.end(), [](double t) { return t < 0; }), times.end());
    if (times.empty()) {
      ++failures;
      times.push_back(-1);
    }
    std::sort(times.begin(), times.end());
    std::printf("%s %.1f %.1f %d %d\n", argv[i], times[times.size() / 2], times.front(), static_cast<int>(times.size()),
                static_cast<int>(missed));
    std::fflush(stdout);
  }
  return failures == 0 ? 0 : 1;
}
