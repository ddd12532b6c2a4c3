// Damaged documents through the control's COM contract: makes the damaged copies of each
// document named on the command line (the same copies on every run), writes them into the
// folder named first, and opens each in one control, as the program would, until its first
// page is painted or its message shown. Prints one line per copy:
// "<file> <opened 0|1> <ms to OpenDocument's answer> <ms to painted> <worker lost 0|1>", where
// a lost worker is one that crashed or stopped answering (the control then starts another).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/DamagedCopies.h"
#include "tests/support/ControlContainer.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Write(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::string Stem(const std::wstring& path) {
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.find(L'.'));
  return std::string(name.begin(), name.end());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: pdfcontrol_damaged_bench <folder> <copies per document> <document>... (Windows paths)\n");
    return 2;
  }
  const std::wstring folder = std::wstring(argv[1]) + L"\\";
  const int per_document = _wtoi(argv[2]);
  std::vector<std::wstring> paths;
  for (int d = 3; d < argc; ++d) {
    const std::string source = testhost::ReadFileBytes(argv[d]);
    if (source.empty()) {
      std::fprintf(stderr, "cannot read %ls\n", argv[d]);
      return 1;
    }
    for (const testhost::DamagedCopy& copy : testhost::DamagedCopies(source, Stem(argv[d]), per_document, 29 + d)) {
      const std::wstring path = folder + std::wstring(copy.name.begin(), copy.name.end());
      if (!Write(path, copy.bytes)) return 1;
      paths.push_back(path);
    }
  }
  if (FAILED(OleInitialize(nullptr))) return 1;
  HWND host = testhost::CreateHostWindow(619, 554);
  testhost::Site site(host);
  testhost::Control control;
  if (FAILED(testhost::CreateControl(site, host, RECT{0, 0, 619, 554}, control))) return 1;
  // The worker is running before the first copy, as it is in the program.
  testhost::OpenDocument(control.dispatch, argv[3]);
  testhost::WaitUntilShown(control.dispatch);
  std::vector<DWORD> worker = testhost::WorkerProcesses();
  for (const std::wstring& path : paths) {
    LARGE_INTEGER start, answered, painted;
    QueryPerformanceCounter(&start);
    const bool opened = testhost::OpenDocument(control.dispatch, path);
    QueryPerformanceCounter(&answered);
    testhost::WaitUntilShown(control.dispatch);
    QueryPerformanceCounter(&painted);
    const std::vector<DWORD> now = testhost::WorkerProcesses();
    const bool lost = now != worker;
    worker = now;
    const std::wstring name = path.substr(folder.size());
    std::printf("%ls %d %.1f %.1f %d\n", name.c_str(), opened ? 1 : 0, Milliseconds(start, answered),
                Milliseconds(start, painted), lost ? 1 : 0);
    std::fflush(stdout);
  }
  DestroyWindow(host);
  OleUninitialize();
  return 0;
}
