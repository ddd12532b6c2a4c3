// Entering a directory with 10,000 subdirectories from the folder above (Directory write, which
// runs TDirectoryListBox::RebuildItems) against a bare enumeration of the same subdirectories
// and against the rebuild one platform insertion at a time (as the list did before), in the
// same run. Goal: at most 1.5 times the enumeration.
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

double BareEnumeration(const std::string& dir, int& count) { return bench::TimedRead(dir + "\\*.*", true, count); }

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
  double bare = BareEnumeration(dir, found);
  double start = bench::Seconds();
  bench::OneByOneSubdirectories(list, dir);
  double oneByOne = bench::Seconds() - start;
  list->RebuildItems();
  start = bench::Seconds();
  list->SetDirectory(dir);
  double enter = bench::Seconds() - start;
  // Again in the same folder: clearing its own lines sends the parent one message per line.
  start = bench::Seconds();
  list->RebuildItems();
  double again = bench::Seconds() - start;
  std::printf("%14s %12s %10s %10s %10s %8s %10s\n", "subdirectories", "enumerate s", "1-by-1 s", "enter s",
              "1by1/ref", "new/ref", "again s");
  std::printf("%14d %12.3f %10.3f %10.3f %10.2f %8.2f %10.3f\n", found, bare, oneByOne, enter, oneByOne / bare,
              enter / bare, again);
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
