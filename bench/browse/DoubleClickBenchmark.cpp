// The whole double-click path through the real explorer window: a user's double click on the
// directory line of a folder with 20,000 "*.pdf" and 2,000 other files, until the linked file
// list holds all 20,000; against the platform's LB_DIR fill of the same folder into a list set
// up like the file list, in the same run. Goal: at most the LB_DIR fill. Beside it, one bare read
// of the whole folder: the floor of any program that lists both its subdirectories and its
// files; and the same double click with a mask that the file list cannot match against the
// directory list's read ("*.pd?", the same files here), which reads the folder a second time.
// Usage: browse_dblclick_bench [pdf files] [other files]
#include <cstdlib>

#include "bench/browse/BenchSupport.h"
#include "app/ProgramClasses.h"
#include "app/Unit2.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A user's double click on a line: down and up, then the double click and up.
void DoubleClickLine(HWND list, int line) {
  SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(line), 0);
  RECT r{};
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&r));
  LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageA(list, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
}

}  // namespace

int main(int argc, char** argv) {
  int pdfs = argc > 1 ? std::atoi(argv[1]) : 20000;
  int others = argc > 2 ? std::atoi(argv[2]) : 2000;
  std::printf("machine: %s\n", bench::MachineKind().c_str());
  std::string parent = bench::TempFolder("browse-dblclick");
  std::string name = "pdfs-" + std::to_string(pdfs);
  std::string folder = parent + "\\" + name;
  CreateDirectoryA(parent.c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  if (bench::CountMatches(folder + "\\*.pdf") < pdfs) bench::MakeFiles(folder, "doc%08u.pdf", pdfs);
  if (bench::CountMatches(folder + "\\*.txt") < others) bench::MakeFiles(folder, "note%08u.txt", others);

  SetCurrentDirectoryA(parent.c_str());
  InitializeFramework();
  RegisterProgramClasses();
  Application->Initialize();
  Application->CreateForm(Form2);
  Pump();
  TDirectoryListBox* dirs = Form2->DirectoryListBox1;
  TFileListBox* files = Form2->FileListBox1;

  std::printf("%8s %8s %10s %10s %10s %14s %8s %10s\n", "pdf", "other", "LB_DIR s", "1 read s", "2 reads s",
              "double-click s", "/LB_DIR", "/1 read");
  // Into the folder from the one above, as a user's double click; the time until the file list is filled.
  auto enter = [&](const char* mask, int& count) {
    files->SetMask(mask);
    dirs->SetDirectory(parent);
    Pump();
    int line = dirs->Items().IndexOf(name);
    if (line < 0) return -1.0;
    SetCurrentDirectoryA(parent.c_str());
    double start = bench::Seconds();
    DoubleClickLine(dirs->Handle(), line);
    Pump();
    double elapsed = bench::Seconds() - start;
    count = files->Items().Count();
    return elapsed;
  };
  for (int run = 0; run < 4; ++run) {
    int platformCount = 0, entries = 0, count = 0, twiceCount = 0;
    double platform = bench::PlatformFill(files->Handle(), folder, "*.pdf", platformCount);
    double oneRead = bench::TimedRead(folder + "\\*.*", false, entries);
    double twice = enter("*.pd?", twiceCount);
    double path = enter("*.pdf", count);
    if (path < 0 || twice < 0) {
      std::printf("no line for %s\n", name.c_str());
      return 1;
    }
    // The first run warms the file system cache.
    if (run == 0) continue;
    std::printf("%8d %8d %10.3f %10.3f %10.3f %14.3f %8.2f %10.2f%s\n", pdfs, others, platform, oneRead, twice, path,
                path / platform, path / oneRead,
                count == platformCount && count == pdfs && twiceCount == count ? "" : "  (counts differ)");
    std::fflush(stdout);
  }
  FinalizeFramework();  // the application object frees the window
  return 0;
}
