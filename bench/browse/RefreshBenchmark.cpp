// RefreshFiles with mask "*.pdf" on directories of 1,000, 10,000 and 50,000 matching files,
// against LB_DIR into a sorted LBS_HASSTRINGS list box on the same directory in the same run.
// Prints both times and their ratio (goal: at most 1.0). Usage: browse_refresh_bench [sizes...]
// (bench/browse/prepare.sh makes the directories quickly beforehand).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FileListBox.h"
#include "Forms.h"

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string MakeDirectory(int files) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::string dir = std::string(temp) + "browse-bench-" + std::to_string(files);
  CreateDirectoryA(dir.c_str(), nullptr);
  // Kept from an earlier run, or made natively by prepare.sh: making 50,000 files through
  // the emulated platform takes many minutes.
  int present = 0;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*.pdf").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do ++present;
    while (FindNextFileA(search, &data));
    FindClose(search);
  }
  if (present >= files) return dir;
  for (int i = 0; i < files; ++i) {
    // Names in no particular order, as a directory would hold them.
    char name[64];
    std::snprintf(name, sizeof name, "\\doc%08u.pdf", static_cast<unsigned>(i) * 2654435761u);
    HANDLE file = CreateFileA((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return dir;
}

double PlatformFill(HWND parent, const std::string& dir) {
  HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_SORT | LBS_HASSTRINGS, 0, 0,
                              200, 300, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetCurrentDirectoryA(dir.c_str());
  double start = Seconds();
  SendMessageA(list, LB_DIR, DDL_READWRITE, reinterpret_cast<LPARAM>("*.pdf"));
  double elapsed = Seconds() - start;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  DestroyWindow(list);
  if (count <= 0) std::printf("  (platform list is empty)\n");
  return elapsed;
}

double OurFill(TForm* form, const std::string& dir, int& count) {
  auto* list = new TFileListBox(form);
  list->SetBounds(0, 0, 200, 300);
  list->SetMask("*.pdf");
  list->SetParent(form);
  list->SetDirectory(dir);
  double start = Seconds();
  list->RefreshFiles();
  double elapsed = Seconds() - start;
  count = list->Items().Count();
  TObject::Free(list);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  InitializeFramework();
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 50000};
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 400);
  form->Show();
  std::printf("%10s %12s %12s %8s\n", "files", "LB_DIR s", "Refresh s", "ratio");
  for (int files : sizes) {
    std::string dir = MakeDirectory(files);
    // Warm the file system cache once for both.
    PlatformFill(form->Handle(), dir);
    double platform = PlatformFill(form->Handle(), dir);
    int count = 0;
    double ours = OurFill(form, dir, count);
    std::printf("%10d %12.3f %12.3f %8.2f%s\n", files, platform, ours, ours / platform,
                count == files ? "" : "  (count differs)");
    std::fflush(stdout);
  }
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
