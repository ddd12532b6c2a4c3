// Entering a directory with 10,000 subdirectories from the folder above (Directory write, which
// runs TDirectoryListBox::RebuildItems) against a bare enumeration of the same subdirectories
// and against the rebuild one platform insertion at a time (as the list did before), in the
// same run (the fastest of five of each). Goal: at most the enumeration. Beside them, the
// rebuild's stages timed apart (also the fastest of five), and the entry against the enumeration
// in processor time summed over the runs (what a shared machine does not blur; the process's, as
// a large folder is read on a second thread, so this is the work done, not the time waited). A
// second reference: the bare enumeration adding each subdirectory to a platform list box set up
// like ours, one message a line.
// Usage: browse_rebuild_bench [subdirectories]
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bench/browse/BenchSupport.h"

namespace {

std::string SubdirectoryFolder(int count) {
  std::string dir = bench::TempFolder("browse-subdirs-" + std::to_string(count));
  // Kept from an earlier run, or made natively by prepare.sh.
  if (GetFileAttributesA((dir + "\\done").c_str()) != INVALID_FILE_ATTRIBUTES) return dir;
  CreateDirectoryA(dir.c_str(), nullptr);
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "\\d%08u", static_cast<unsigned>(i) * 2654435761u);
    CreateDirectoryA((dir + name).c_str(), nullptr);
  }
  CloseHandle(CreateFileA((dir + "\\done").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  return dir;
}

double BareEnumeration(const std::string& dir, int& count, double* cpu = nullptr) {
  double start = bench::ProcessorSeconds();
  double elapsed = bench::TimedRead(dir + "\\*.*", true, count);
  if (cpu) *cpu += bench::ProcessorSeconds() - start;
  return elapsed;
}

// The bare enumeration filling a platform LISTBOX with our list's styles (redraw off) in the
// platform's order: made beforehand and cleared afterwards outside the time.
double ReadAndFill(HWND like, const std::string& dir, int& count, double* cpu) {
  HWND list = CreateWindowExA(static_cast<DWORD>(GetWindowLongA(like, GWL_EXSTYLE)), "LISTBOX", "",
                              static_cast<DWORD>(GetWindowLongA(like, GWL_STYLE)), 0, 0, 200, 300, GetParent(like),
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  double start = bench::Seconds(), startCpu = bench::ProcessorSeconds();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*.*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.')
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(data.cFileName));
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  double elapsed = bench::Seconds() - start;
  if (cpu) *cpu += bench::ProcessorSeconds() - startCpu;
  count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  DestroyWindow(list);
  return elapsed;
}

// The rebuild's three stages one after another: the read of the subdirectories, their order, and
// their insertion into an empty list. RebuildItems overlaps the read with the insertion (lines in
// order go in while the next batch is read) and orders only the lines read out of order.
struct Stages {
  double read = 0, order = 0, insert = 0;
};
Stages TimedStages(TDirectoryListBox* list, const std::string& dir) {
  Stages stages;
  double start = bench::Seconds();
  std::vector<TListLine> names;
  ReadDirectory(JoinPath(dir, "*.*"), faDirectory, [&](const char* name, const WIN32_FIND_DATAW& entry) {
    if ((entry.dwFileAttributes & faDirectory) && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
      names.push_back({name, bench::Marker()});
  });
  stages.read = bench::Seconds() - start;
  start = bench::Seconds();
  std::vector<TListLine> sorted;
  sorted.reserve(names.size());
  for (int i : CaseInsensitiveOrder(names, LOCALE_USER_DEFAULT))
    sorted.push_back(std::move(names[static_cast<std::size_t>(i)]));
  stages.order = bench::Seconds() - start;
  list->Items().BeginUpdate();
  list->Items().Clear();
  start = bench::Seconds();
  list->AddObjects(sorted);
  stages.insert = bench::Seconds() - start;
  list->Items().EndUpdate();
  return stages;
}

}  // namespace

int main(int argc, char** argv) {
  InitializeFramework();
  int subdirectories = argc > 1 ? std::atoi(argv[1]) : 10000;
  std::printf("machine: %s\n", bench::MachineKind().c_str());
  std::string dir = SubdirectoryFolder(subdirectories);
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 400);
  form->Show();
  // The list starts in the folder above, as a user's double click finds it.
  std::string parent = ExtractFilePath(dir);
  auto* list = new TDirectoryListBox(form);
  list->SetBounds(0, 0, 200, 300);
  SetCurrentDirectoryA(parent.c_str());
  list->SetDirectory(parent);
  list->SetParent(form);
  int found = 0;
  BareEnumeration(dir, found);  // warms the file system cache once for all
  double start = bench::Seconds();
  bench::OneByOneSubdirectories(list, dir);
  double oneByOne = bench::Seconds() - start;
  list->SetDirectory(parent);
  // The enumeration and the entry in turn, five times: the fastest of each is the figure least
  // disturbed by other work on a shared machine.
  double bare = 1e9, enter = 1e9, filled = 1e9, bareCpu = 0, enterCpu = 0, fillCpu = 0;
  int fillLines = 0;
  for (int run = 0; run < 5; ++run) {
    bare = std::min(bare, BareEnumeration(dir, found, &bareCpu));
    filled = std::min(filled, ReadAndFill(list->Handle(), dir, fillLines, &fillCpu));
    start = bench::Seconds();
    double startCpu = bench::ProcessorSeconds();
    list->SetDirectory(dir);
    enter = std::min(enter, bench::Seconds() - start);
    enterCpu += bench::ProcessorSeconds() - startCpu;
    list->SetDirectory(parent);
  }
  list->SetDirectory(dir);
  // Again in the same folder: clearing its own lines sends the parent one message per line.
  start = bench::Seconds();
  list->RebuildItems();
  double again = bench::Seconds() - start;
  Stages stages = TimedStages(list, dir);
  for (int run = 1; run < 5; ++run) {
    Stages next = TimedStages(list, dir);
    stages = {std::min(stages.read, next.read), std::min(stages.order, next.order),
              std::min(stages.insert, next.insert)};
  }
  std::printf("%14s %12s %10s %10s %10s %8s %10s %8s %8s %8s %8s %8s %9s %9s\n", "subdirectories", "enumerate s",
              "1-by-1 s", "enter s", "1by1/ref", "new/ref", "again s", "read s", "order s", "insert s", "cpu/ref",
              "fill s", "new/fill", "cpu/fill");
  std::printf("%14d %12.3f %10.3f %10.3f %10.2f %8.2f %10.3f %8.3f %8.3f %8.3f %8.2f %8.3f %9.2f %9.2f\n", found, bare,
              oneByOne, enter, oneByOne / bare, enter / bare, again, stages.read, stages.order, stages.insert,
              bareCpu > 0 ? enterCpu / bareCpu : 0.0, filled, enter / filled, fillCpu > 0 ? enterCpu / fillCpu : 0.0);
  if (fillLines != found) std::printf("the platform list holds %d lines, not %d\n", fillLines, found);
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
