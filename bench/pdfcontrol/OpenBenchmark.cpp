// Measures, for each document named on the command line after the first, the time from OpenDocument to the
// first page painted in a real host window (the control reports busy until the pages in view
// are on screen). Prints one line per document: "<path> <median ms> <fastest ms> <median ms
// until OpenDocument returned> <runs>". The fastest run is the figure least disturbed by other
// work on a shared machine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ControlContainer.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Waits until the control reports that the pages in view are painted, polling finely so that the
// wait adds next to nothing to the figure.
bool WaitPainted(IDispatch* control) {
  DISPID busy = 4;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 120000) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    VARIANT result;
    VariantInit(&result);
    if (FAILED(control->Invoke(busy, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                               nullptr)))
      return false;
    if (result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return false;
}

// The control as the program keeps it: one instance, its renderer already running. Between two
// timed opens another document is opened, so that each timed open starts from a different one.
struct Bench {
  HWND host = testhost::CreateHostWindow(619, 554);
  testhost::Site site{host};
  testhost::Control control;
  bool ready = false;
  explicit Bench(const std::wstring& warmUp) {
    RECT bounds{0, 0, 619, 554};
    ready = SUCCEEDED(testhost::CreateControl(site, host, bounds, control)) &&
            testhost::OpenDocument(control.dispatch, warmUp) && testhost::WaitUntilShown(control.dispatch);
  }
  struct Times {
    double shown = -1, returned = -1;
  };
  Times TimeOpen(const std::wstring& path, const std::wstring& other) {
    testhost::OpenDocument(control.dispatch, other);
    testhost::WaitUntilShown(control.dispatch);
    LARGE_INTEGER start, opened, end;
    QueryPerformanceCounter(&start);
    const bool open = testhost::OpenDocument(control.dispatch, path);
    QueryPerformanceCounter(&opened);
    const bool shown = open && WaitPainted(control.dispatch);
    QueryPerformanceCounter(&end);
    if (!shown) return {};
    return {Milliseconds(start, end), Milliseconds(start, opened)};
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: pdfcontrol_open_bench <other.pdf> <file.pdf>... (Windows paths)\n");
    return 2;
  }
  OleInitialize(nullptr);
  auto widen = [](const char* text) { return std::wstring(text, text + std::strlen(text)); };
  std::wstring other = widen(argv[1]);
  Bench bench(other);
  if (!bench.ready) {
    std::fprintf(stderr, "the control could not be made or could not open %s\n", argv[1]);
    return 1;
  }
  constexpr int kRuns = 9;
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    std::wstring path = widen(argv[i]);
    std::vector<double> shown, returned;
    for (int run = 0; run < kRuns; ++run) {
      const Bench::Times times = bench.TimeOpen(path, other);
      shown.push_back(times.shown);
      returned.push_back(times.returned);
    }
    std::sort(shown.begin(), shown.end());
    std::sort(returned.begin(), returned.end());
    if (shown.front() < 0) ++failures;
    std::printf("%s %.1f %.1f %.1f %d\n", argv[i], shown[kRuns / 2], shown.front(), returned[kRuns / 2], kRuns);
    std::fflush(stdout);
  }
  OleUninitialize();
  return failures == 0 ? 0 : 1;
}
