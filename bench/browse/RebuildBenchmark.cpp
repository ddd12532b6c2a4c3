// Entering a directory with 10,000 subdirectories: TDirectoryListBox::RebuildItems against a
// bare enumeration of the same subdirectories and against the rebuild one platform insertion
// at a time (as the list did before), in the same run. Goal: at most 1.5 times the enumeration.
// Usage: browse_rebuild_bench [subdirectories]
#include <cstdlib>

#include "BenchSupport.h"

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

double BareEnumeration(const std::string& dir, int& count) {
  double start = bench::Seconds();
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*.*").c_str(), &data);
  count = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.') ++count;
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  return bench::Seconds() - start;
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
  auto* list = new TDirectoryListBox(form);
  list->SetBounds(0, 0, 200, 300);
  SetCurrentDirectoryA(dir.c_str());
  list->SetDirectory(dir);
  list->SetParent(form);
  int found = 0;
  BareEnumeration(dir, found);  // warms the file system cache once for all
  double bare = BareEnumeration(dir, found);
  double start = bench::Seconds();
  bench::OneByOneSubdirectories(list);
  double oneByOne = bench::Seconds() - start;
  start = bench::Seconds();
  list->RebuildItems();
  double rebuild = bench::Seconds() - start;
  std::printf("%14s %12s %10s %16s %10s %8s\n", "subdirectories", "enumerate s", "1-by-1 s", "RebuildItems s",
              "1by1/ref", "new/ref");
  std::printf("%14d %12.3f %10.3f %16.3f %10.2f %8.2f\n", found, bare, oneByOne, rebuild, oneByOne / bare, rebuild / bare);
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
