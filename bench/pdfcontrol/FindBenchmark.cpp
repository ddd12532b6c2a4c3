// Measures finding a text that only the last page holds, from the first page, through the
// control's automation member `find` (7) in a real host window: the worker reads every page's
// text on the way, as each timed run starts on a freshly opened document. Prints
// "<median ms> <best ms> <runs>".
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ControlContainer.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

bool Find(IDispatch* control, const std::wstring& text) {
  VARIANT arguments[2];  // last argument first
  arguments[0].vt = VT_BOOL;
  arguments[0].boolVal = VARIANT_TRUE;
  arguments[1].vt = VT_BSTR;
  arguments[1].bstrVal = SysAllocString(text.c_str());
  DISPPARAMS params{arguments, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = control->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  SysFreeString(arguments[1].bstrVal);
  return SUCCEEDED(hr) && result.vt == VT_BOOL && result.boolVal != VARIANT_FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: pdfcontrol_find_bench <file.pdf> <text on its last page only> [runs]\n");
    return 2;
  }
  OleInitialize(nullptr);
  const std::wstring path(argv[1], argv[1] + std::strlen(argv[1]));
  const std::wstring text(argv[2], argv[2] + std::strlen(argv[2]));
  HWND host = testhost::CreateHostWindow(619, 554);
  testhost::Site site(host);
  testhost::Control control;
  RECT bounds{0, 0, 619, 554};
  if (FAILED(testhost::CreateControl(site, host, bounds, control))) return 1;
  std::vector<double> runs;
  const int count = argc == 4 ? std::max(1, std::atoi(argv[3])) : 7;
  for (int run = 0; run < count; ++run) {
    // Opening again gives a worker that has read no text of the document yet.
    if (!testhost::OpenDocument(control.dispatch, path) || !testhost::WaitUntilShown(control.dispatch)) return 1;
    VARIANT first;
    first.vt = VT_I4;
    first.lVal = 1;
    testhost::Call(control.dispatch, 5, DISPATCH_PROPERTYPUT, &first, nullptr);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const bool found = Find(control.dispatch, text);
    QueryPerformanceCounter(&end);
    if (!found) {
      std::fprintf(stderr, "not found\n");
      return 1;
    }
    runs.push_back(Milliseconds(start, end));
  }
  std::sort(runs.begin(), runs.end());
  std::printf("%.1f %.1f %zu\n", runs[runs.size() / 2], runs.front(), runs.size());
  return 0;
}
