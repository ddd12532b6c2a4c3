// What the browsing benchmarks share: the clock, the kind of machine, the benchmark folders,
// the platform's own list fill set up like ours, and the fills one platform insertion at a time
// (as the lists filled before) kept as a reference beside the platform's.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"

namespace bench {

inline double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The process's processor time (user and kernel), in the platform's clock ticks (10 ms under
// Wine): on a shared machine the time a fill waits for a processor is not its own, so sums of
// this over many runs compare two fills where the wall clock cannot. The whole process, not the
// calling thread: a large folder is read on a thread of its own.
inline double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

inline std::string ReadHostFile(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(65536, '\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text;
}

// Time ratios mean something only where 32-bit code runs natively. An x86 host may still hand
// every 32-bit program to QEMU (an enabled binfmt entry), and there the processor description
// is the host's own, so that entry is asked first.
inline std::string MachineKind() {
  if (ReadHostFile("Z:\\proc\\sys\\fs\\binfmt_misc\\qemu-i386").rfind("enabled", 0) == 0)
    return "EMULATED (32-bit code runs under QEMU): time ratios are distorted";
  std::string cpu = ReadHostFile("Z:\\proc\\cpuinfo");
  if (cpu.empty()) return "unknown (no processor description readable)";
  bool x86 = cpu.find("GenuineIntel") != std::string::npos || cpu.find("AuthenticAMD") != std::string::npos ||
             cpu.find("HygonGenuine") != std::string::npos;
  return x86 ? "native (x86 host runs the 32-bit code directly)" : "EMULATED (non-x86 host): time ratios are distorted";
}

inline std::string TempFolder(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  return std::string(temp) + name;
}

inline int CountMatches(const std::string& pattern) {
  int present = 0;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do ++present;
    while (FindNextFileA(search, &data));
    FindClose(search);
  }
  return present;
}

// A bare enumeration of the pattern, the floor of any listing of it: its time, and in `count`
// its subdirectories (without "." and "..") or all its entries.
inline double TimedRead(const std::string& pattern, bool directoriesOnly, int& count) {
  double start = Seconds();
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  count = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (!directoriesOnly || (directory && data.cFileName[0] != '.')) ++count;
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  return Seconds() - start;
}

// Files named in no particular order, as a directory would hold them; made only when missing
// (prepare.sh makes them natively, many times faster).
inline void MakeFiles(const std::string& dir, const char* format, int count) {
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, format, static_cast<unsigned>(i) * 2654435761u);
    HANDLE file = CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
}

// A platform LISTBOX with our list's window styles, size and visibility, filled by LB_DIR with
// redrawing suspended as ours is. Returns the time of the fill; `count` gets its lines, `cpu` (when
// given) the fill's processor time added.
inline double PlatformFill(HWND like, const std::string& dir, const char* mask, int& count, double* cpu = nullptr) {
  RECT r;
  GetWindowRect(like, &r);
  MapWindowPoints(nullptr, GetParent(like), reinterpret_cast<POINT*>(&r), 2);
  HWND list = CreateWindowExA(static_cast<DWORD>(GetWindowLongA(like, GWL_EXSTYLE)), "LISTBOX", "",
                              static_cast<DWORD>(GetWindowLongA(like, GWL_STYLE)), r.left, r.top, r.right - r.left,
                              r.bottom - r.top, GetParent(like), nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(list, LB_SETITEMHEIGHT, 0, SendMessageA(like, LB_GETITEMHEIGHT, 0, 0));
  SetCurrentDirectoryA(dir.c_str());
  double start = Seconds(), startCpu = ProcessorSeconds();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  SendMessageA(list, LB_DIR, DDL_READWRITE, reinterpret_cast<LPARAM>(mask));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  double elapsed = Seconds() - start;
  if (cpu) *cpu += ProcessorSeconds() - startCpu;
  count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  DestroyWindow(list);
  return elapsed;
}

// Any object: the one-at-a-time fills measured here need one per line, not a particular one.
inline TObject* Marker() {
  static TObject marker;
  return &marker;
}

// The file list fill as it was: each entry found goes into the sorted platform list by itself.
class TOneByOneFileList : public TFileListBox {
 public:
  using TFileListBox::TFileListBox;
  void RefreshFiles() override {
    if (!HandleAllocated()) return;
    ChangeDirectory(Directory());
    Items().Clear();
    TCursor saved = Screen->Cursor();
    Items().BeginUpdate();
    // The glyph choice (one lower-casing of the extension per line) is left out.
    SearchDirectory(Mask(), 0, [&](const TSearchRec& entry) {
      int position = Items().AddObject(entry.Name, Marker());
      if (position == 100) Screen->SetCursor(crHourGlass);
    });
    Items().EndUpdate();
    Screen->SetCursor(saved);
    NotifyChanged();
  }
};

// The directory list's rebuild of its subdirectories as it was: sorted by sort keys, then added one by one.
inline void OneByOneSubdirectories(TDirectoryListBox* list, const std::string& directory) {
  list->Items().BeginUpdate();
  list->Items().Clear();
  DWORD flags = 0;
  std::string root = ExtractFileDrive(directory) + "\\";
  GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
  std::vector<std::pair<std::string, std::string>> names;
  SearchDirectory(JoinPath(directory, "*.*"), faDirectory, [&](const TSearchRec& entry) {
    if (!(entry.Attr & faDirectory) || entry.Name == "." || entry.Name == "..") return;
    const DWORD keyFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int length = static_cast<int>(entry.Name.size());
    int size = LCMapStringA(LOCALE_USER_DEFAULT, keyFlags, entry.Name.data(), length, nullptr, 0);
    std::string key(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0) LCMapStringA(LOCALE_USER_DEFAULT, keyFlags, entry.Name.data(), length, key.data(), size);
    names.emplace_back(std::move(key), entry.Name);
  });
  std::stable_sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& name : names) list->Items().AddObject(name.second, Marker());
  list->Items().EndUpdate();
}

}  // namespace bench
