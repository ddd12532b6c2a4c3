// Click to ink: the real program started in a folder of documents; a click on a line of its
// file list, until the first page's ink is on the screen in the viewer window. Between two
// timed clicks a blank page is shown, so that each timed click starts from no ink. With
// --floor, the same clicks are then measured the same way on a bare program (ClickFloor.cpp)
// that shows a picture of each page taken from the program's screen before its click: the
// floor of input, message and paint that any program of this kind pays.
// Usage: pdfcontrol_click_bench [--floor] <folder> <blank.pdf> <doc.pdf>... (names within the folder)
// Prints per document "<name> <median ms> <fastest ms> <runs> <missed> <redone> <ms per sample>",
// followed with --floor by the floor's median, fastest, missed and redone; the fastest run is the
// figure least disturbed by other work on a shared machine. Every click is checked: a click whose
// line the list selected but whose ink never came is missed and fails the run; a click that the
// list took for another line is redone (see ClickUntilInk) and counted.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/RunningProgram.h"
#include "tests/support/WindowTesting.h"

namespace {

constexpr int kRuns = 7;

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
  // Dark pixels in the rows being sampled.
  int Count() {
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    const int rows = std::min(bandRows_, static_cast<int>(client_.bottom) - bandTop_);
    BitBlt(memory_, 0, bandTop_, client_.right, rows, screen_, origin.x, origin.y + bandTop_, SRCCOPY);
    GdiFlush();
    int n = 0;
    for (int i = bandTop_ * client_.right; i < (bandTop_ + rows) * client_.right; ++i) n += Dark(bits_[i]);
    return n;
  }
  // The whole client area read; the band of `rows` rows that holds the most ink in it is
  // sampled from now on.
  void SampleDensestBand(int rows) {
    bandTop_ = 0;
    bandRows_ = client_.bottom;
    Count();
    std::vector<int> inRow(client_.bottom + 1, 0);
    for (int y = 0; y < client_.bottom; ++y) {
      int n = 0;
      for (int x = 0; x < client_.right; ++x) n += Dark(bits_[y * client_.right + x]);
      inRow[y + 1] = inRow[y] + n;
    }
    rows = std::min(rows, static_cast<int>(client_.bottom));
    int best = 0;
    for (int top = 0; top + rows <= client_.bottom; ++top) {
      if (inRow[top + rows] - inRow[top] > inRow[best + rows] - inRow[best]) best = top;
    }
    bandTop_ = best;
    bandRows_ = rows;
  }
  void SampleAll() {
    bandTop_ = 0;
    bandRows_ = client_.bottom;
  }
  // The last sample as a bottom-up 32-bit bitmap file, for the floor to show.
  bool Save(const std::string& path) {
    const int top = bandTop_, rows = bandRows_;
    SampleAll();
    Count();
    bandTop_ = top;
    bandRows_ = rows;
    const int width = client_.right, height = client_.bottom;
    const DWORD bytes = static_cast<DWORD>(width) * height * 4;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{sizeof header, width, height, 1, 32, BI_RGB, bytes, 0, 0, 0, 0};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + bytes;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
    for (int y = height - 1; written && y >= 0; --y)
      written = std::fwrite(bits_ + y * width, 4, width, out) == static_cast<size_t>(width);
    return std::fclose(out) == 0 && written;
  }

 private:
  HWND window_;
  RECT client_{};
  HDC screen_, memory_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  unsigned* bits_ = nullptr;
  int bandTop_ = 0, bandRows_ = 1 << 20;
  static int Dark(unsigned p) { return ((p >> 16) & 255) < 96 && ((p >> 8) & 255) < 96 && (p & 255) < 96 ? 1 : 0; }
};

// The classes by which a measured program's windows are found.
struct Shape {
  const char* explorer;
  const char* viewer;
  const char* list;
  const char* view;
};
constexpr Shape kProgram{"TForm2", "TForm1", "TFileListBox", "FolvanePdfView"};
constexpr Shape kFloor{"FloorExplorer", "FloorViewer", "ListBox", "FloorView"};

struct Program {
  RunningProgram program;
  HWND explorer = nullptr, viewer = nullptr, files = nullptr, view = nullptr;
  double sampleMs = 0;  // the mean time between two samples of the last click
  Program(const std::string& folder, const Shape& shape, const std::string& exe = "") : program(-1, folder, exe) {
    explorer = program.Window(shape.explorer);
    viewer = program.Window(shape.viewer);
    if (!explorer || !viewer) return;
    PumpUntil(
        [&] { return (files = FindDescendant(explorer, shape.list)) && (view = FindDescendant(viewer, shape.view)); },
        20000);
  }
  // The pointer put over the name's line, as a user's rests there before pressing.
  POINT Aim(const std::string& name) {
    const POINT at = LineCentre(files, FindLine(files, name));
    SendMouseAt(at, 0);
    return at;
  }
  static void Press(POINT at) {
    SendMouseAt(at, MOUSEEVENTF_LEFTDOWN);
    SendMouseAt(at, MOUSEEVENTF_LEFTUP);
  }
  void Click(const std::string& name) { Press(Aim(name)); }
  bool Selected(const std::string& name) const {
    const int line = FindLine(files, name);
    return line >= 0 && SendMessageA(files, LB_GETCURSEL, 0, 0) == line;
  }
  static constexpr double kMissed = -1, kOtherLine = -2;
  // The time from the click until the ink count first reaches nine tenths of the document's own
  // ink (`doc_ink`, over `blank_ink`); kMissed if the list selected the line but the ink never
  // came within a minute, however late the program is; kOtherLine if the list ended on another
  // line. Under load the list was seen to take the press on the right line and yet end, before
  // the release, on the line clicked before, as after a late pointer move to there while it held
  // the mouse; the program then rightly opens that file. Ink counts are sampled as fast as the
  // screen can be read (Measure).
  double ClickUntilInk(const std::string& name, InkCounter& ink, int blank_ink, int doc_ink) {
    std::vector<std::pair<double, int>> samples;
    // The clock starts at the press: finding the line and moving the pointer there asks the
    // measured program and polls every 10 ms, which timed the benchmark, not the click.
    const POINT at = Aim(name);
    const double start = Now();
    Press(at);
    const int wanted = blank_ink + (doc_ink - blank_ink) * 9 / 10;
    double last_change = start, reached = -1;
    int last = ink.Count();
    samples.push_back({Now(), last});
    // Once the ink has come, until it has stayed for a while, as before; while it has not, the
    // list is asked (a message to the measured program) only after a quiet spell.
    while (Now() - start < 60000) {
      PumpMessages();
      const int n = ink.Count();
      samples.push_back({Now(), n});
      if (n != last) last_change = Now();
      last = n;
      if (reached < 0 && n >= wanted) reached = samples.back().first - start;
      if (Now() - last_change < 1500) continue;
      if (reached >= 0) break;
      if (!Selected(name)) {
        // Looked at again after a second of quiet more, in case the press is still queued.
        last_change = Now();
        PumpUntil([] { return false; }, 1000);
        if (!Selected(name) && ink.Count() == last) return kOtherLine;
      }
    }
    sampleMs = (samples.back().first - start) / double(samples.size());
    return reached >= 0 ? reached : kMissed;
  }
  // An unmeasured click on a line, made again until the list has selected it; the ink settled.
  // Counts the clicks made again.
  int Show(const std::string& name, const std::function<int()>& settle, int& settled) {
    int again = 0;
    for (;;) {
      Click(name);
      PumpUntil([] { return false; }, 1000);
      settled = settle();
      if (Selected(name) || again == 5) return again;
      ++again;
    }
  }
};

struct Figures {
  double median = -1, fastest = -1, sampleMs = 0;
  int runs = 0, missed = 0, redone = 0;
};

// Each document clicked kRuns times, a blank page between; with `pictures`, the settled screen
// of each document (and of the blank page) is kept beside it as "<name>.bmp".
std::vector<Figures> Measure(Program& p, const std::string& folder, const std::vector<std::string>& names,
                             bool pictures) {
  InkCounter ink(p.view);
  const std::string& blank = names[0];
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
  auto keep = [&](const std::string& name) {
    if (pictures && !ink.Save(folder + "\\" + name + ".bmp")) std::fprintf(stderr, "%s not saved\n", name.c_str());
  };
  // Unmeasured: the worker up, each document read once from the disk.
  int unused = 0;
  for (const std::string& name : names) p.Show(name, settle, unused);
  std::vector<Figures> all;
  for (size_t i = 1; i < names.size(); ++i) {
    std::vector<double> times;
    double sampleMs = 0;
    // Each sample reads only the rows where this page's ink is densest. The viewer paints a
    // page in one blit, so the band's ink comes at the same moment as the whole page's; a
    // read of the whole view took 5-7 ms under Wine, long enough to blur that moment by as
    // much and to hold the X server that the measured program paints through. Waiting between
    // whole reads (Sleep(0) or Sleep(1)) made each sample longer still.
    Figures f;
    ink.SampleAll();
    f.redone += p.Show(names[i], settle, unused);
    ink.SampleDensestBand(64);
    const int doc_ink = settle();
    // A click taken for another line is made again, up to as many times as there are runs.
    for (int run = 0; run < kRuns && f.redone <= kRuns; ++run) {
      int blank_ink = 0;
      f.redone += p.Show(blank, settle, blank_ink);
      if (run == 0 && i == 1) keep(blank);
      const double t = p.ClickUntilInk(names[i], ink, blank_ink, doc_ink);
      if (t == Program::kOtherLine) {
        ++f.redone;
        --run;
        continue;
      }
      times.push_back(t);
      sampleMs += p.sampleMs / kRuns;
    }
    ink.SampleAll();
    settle();
    keep(names[i]);
    f.sampleMs = sampleMs;
    // A click whose ink was never seen counts as missed, not as the fastest, and fails the run.
    f.missed = static_cast<int>(std::count_if(times.begin(), times.end(), [](double t) { return t < 0; }));
    times.erase(std::remove_if(times.begin(), times.end(), [](double t) { return t < 0; }), times.end());
    f.runs = static_cast<int>(times.size());
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
      f.median = times[times.size() / 2];
      f.fastest = times.front();
    }
    all.push_back(f);
  }
  return all;
}

// Where the program's windows stand on the screen, for the floor's: left, top, width, height of
// the explorer window, the viewer window and the view's client area.
std::string Places(const Program& p) {
  RECT explorer, viewer, view;
  GetWindowRect(p.explorer, &explorer);
  GetWindowRect(p.viewer, &viewer);
  GetClientRect(p.view, &view);
  MapWindowPoints(p.view, nullptr, reinterpret_cast<POINT*>(&view), 2);
  std::string text;
  for (const RECT& r : {explorer, viewer, view}) {
    for (LONG v : {r.left, r.top, r.right - r.left, r.bottom - r.top}) text += std::to_string(v) + ",";
  }
  text.pop_back();
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const bool floor = argc > 1 && std::string(argv[1]) == "--floor";
  if (argc < 4 + floor) {
    std::fprintf(stderr, "usage: pdfcontrol_click_bench [--floor] <folder> <blank.pdf> <doc.pdf>...\n");
    return 2;
  }
  const std::string folder = argv[1 + floor];
  const std::vector<std::string> names(argv + 2 + floor, argv + argc);
  // Keeps Wine's desktop process alive between programs.
  CreateWindowExA(0, "STATIC", "click_bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  std::vector<Figures> ours, floors;
  std::string places;
  {
    Program p(folder, kProgram);
    if (!p.files || !p.view) {
      std::fprintf(stderr, "the program's windows did not come\n");
      return 1;
    }
    ours = Measure(p, folder, names, floor);
    places = Places(p);
  }
  if (floor) {
    SetEnvironmentVariableA("FOLVANE_FLOOR_PLACES", places.c_str());
    Program p(folder, kFloor, FOLVANE_CLICK_FLOOR);
    if (!p.files || !p.view) {
      std::fprintf(stderr, "the floor's windows did not come\n");
      return 1;
    }
    floors = Measure(p, folder, names, false);
  }
  int failures = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const Figures& f = ours[i];
    failures += f.runs == 0 || f.missed > 0 || f.redone > kRuns;
    std::printf("%s %.1f %.1f %d %d %d %.2f", names[i + 1].c_str(), f.median, f.fastest, f.runs, f.missed, f.redone,
                f.sampleMs);
    if (floor) {
      const Figures& b = floors[i];
      failures += b.runs == 0 || b.missed > 0 || b.redone > kRuns;
      std::printf(" %.1f %.1f %d %d", b.median, b.fastest, b.missed, b.redone);
    }
    std::printf("\n");
  }
  return failures == 0 ? 0 : 1;
}
