// Entering a directory with 10,000 subdirectories: TDirectoryListBox::RebuildItems against a
// bare enumeration of the same subdirectories in the same run. Prints both and the ratio.
// Usage: browse_rebuild_bench [subdirectories]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DirectoryListBox.h"
#include "Forms.h"

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string MakeDirectory(int count) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::string dir = std::string(temp) + "browse-subdirs-" + std::to_string(count);
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
  double start = Seconds();
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*.*").c_str(), &data);
  count = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.') ++count;
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  return Seconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  InitializeFramework();
  int subdirectories = argc > 1 ? std::atoi(argv[1]) : 10000;
  std::string dir = MakeDirectory(subdirectories);
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 400);
  form->Show();
  auto* list = new TDirectoryListBox(form);
  list->SetBounds(0, 0, 200, 300);
  SetCurrentDirectoryA(dir.c_str());
  list->SetDirectory(dir);
  list->SetParent(form);
  int found = 0;
  BareEnumeration(dir, found);  // warm the file system cache once for both
  double bare = BareEnumeration(dir, found);
  double start = Seconds();
  list->RebuildItems();
  double rebuild = Seconds() - start;
  std::printf("%14s %14s %14s %8s\n", "subdirectories", "enumerate s", "RebuildItems s", "ratio");
  std::printf("%14d %14.3f %14.3f %8.2f\n", found, bare, rebuild, rebuild / bare);
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
