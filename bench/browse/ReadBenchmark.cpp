// Where entering a folder of many subdirectories goes, stage by stage: each way of reading the
// folder that the platform offers, ordering the names, filling the list, and the whole entry,
// each with its count of platform calls (searches and calls into the list's own procedure).
// With no variant named, every variant runs in turn for several rounds (fastest and median wall
// time, processor time summed over the rounds). With a variant named, only that one runs the
// given number of times (by its place in the table), so that a trace of server requests counts it (read-counts.sh).
// Usage: browse_read_bench [rounds] | browse_read_bench <variant number> <runs>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bench/browse/BenchSupport.h"

namespace {

std::string Folder() { return bench::TempFolder("browse-subdirs-10000"); }

bool Listed(DWORD attributes, const wchar_t* name) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0;
}

// Platform calls made by the variant last run.
long calls = 0;

// FindFirstFileA is FindFirstFileExA at the standard level without flags.
int ReadAnsi(const std::string& dir, FINDEX_INFO_LEVELS level = FindExInfoStandard, DWORD flags = 0) {
  int kept = 0;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileExA((dir + "\\*.*").c_str(), level, &data, FindExSearchNameMatch, nullptr, flags);
  ++calls;
  if (search == INVALID_HANDLE_VALUE) return 0;
  do kept += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.';
  while (++calls, FindNextFileA(search, &data));
  FindClose(search);
  return kept;
}

int ReadWide(const std::string& dir, FINDEX_INFO_LEVELS level, DWORD flags) {
  int kept = 0;
  WIN32_FIND_DATAW data;
  std::wstring pattern = AnsiToWide(dir + "\\*.*");
  HANDLE search = FindFirstFileExW(pattern.c_str(), level, &data, FindExSearchNameMatch, nullptr, flags);
  ++calls;
  if (search == INVALID_HANDLE_VALUE) return 0;
  do kept += Listed(data.dwFileAttributes, data.cFileName);
  while (++calls, FindNextFileW(search, &data));
  FindClose(search);
  return kept;
}

// The list's own read as the rebuild makes it.
std::vector<TListLine> ReadOurs(const std::string& dir) {
  std::vector<TListLine> names;
  ReadDirectory(
      JoinPath(dir, "*.*"), faDirectory,
      [&](const char* name, const WIN32_FIND_DATAW& entry) {
        ++calls;
        if ((entry.dwFileAttributes & faDirectory) && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
          names.push_back({name, bench::Marker()});
      },
      TEntryLevel::basic);
  return names;
}

// Counts what reaches the list's own procedure.
class TCountingList : public TDirectoryListBox {
 public:
  using TDirectoryListBox::TDirectoryListBox;

 protected:
  void WndProc(TMessage& m) override {
    ++calls;
    TDirectoryListBox::WndProc(m);
  }
};

struct Variant {
  const char* name;
  // Runs once; returns the lines or entries it kept.
  int (*run)();
  // Untimed: puts back what the run changed.
  void (*after)() = nullptr;
};
struct Figures {
  double fastest = 1e9, cpu = 0;
  std::vector<double> times;
  long callsPerRun = 0;
  int kept = 0;
};

TCountingList* list = nullptr;
std::string parent;
std::vector<TListLine> names, sorted;

Variant variants[] = {
    {"none", [] { return 0; }},
    {"ansi FindFirstFileA", [] { return ReadAnsi(Folder()); }},
    {"wide FindFirstFileW", [] { return ReadWide(Folder(), FindExInfoStandard, 0); }},
    {"wide basic", [] { return ReadWide(Folder(), FindExInfoBasic, 0); }},
    {"wide basic large", [] { return ReadWide(Folder(), FindExInfoBasic, FIND_FIRST_EX_LARGE_FETCH); }},
    {"ansi basic large", [] { return ReadAnsi(Folder(), FindExInfoBasic, FIND_FIRST_EX_LARGE_FETCH); }},
    {"our read", [] { return static_cast<int>((names = ReadOurs(Folder())).size()); }},
    {"order",
     [] {
       std::vector<int> order = CaseInsensitiveOrder(names, LOCALE_USER_DEFAULT);
       sorted.clear();
       for (int i : order) sorted.push_back(names[static_cast<std::size_t>(i)]);
       return static_cast<int>(order.size());
     }},
    {"insert",
     [] {
       list->Items().BeginUpdate();
       long before = calls;
       list->AddObjects(sorted);
       long inserted = calls - before;
       list->Items().EndUpdate();
       calls = before + inserted;
       return list->Count();
     },
     [] { list->Items().Clear(); }},
    {"enter (Directory write)",
     [] {
       list->SetDirectory(Folder());
       return list->Count();
     },
     [] { list->SetDirectory(parent); }},
};

Figures figures[std::size(variants)];

void RunOnce(const Variant& v, Figures& f) {
  calls = 0;
  double start = bench::Seconds(), startCpu = bench::ProcessorSeconds();
  f.kept = v.run();
  double elapsed = bench::Seconds() - start;
  f.cpu += bench::ProcessorSeconds() - startCpu;
  f.fastest = std::min(f.fastest, elapsed);
  f.times.push_back(elapsed);
  f.callsPerRun = calls;
  if (v.after) v.after();
}

}  // namespace

int main(int argc, char** argv) {
  InitializeFramework();
  std::printf("machine: %s\n", bench::MachineKind().c_str());
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 400);
  form->Show();
  parent = ExtractFilePath(Folder());
  list = new TCountingList(form);
  list->SetBounds(0, 0, 200, 300);
  SetCurrentDirectoryA(parent.c_str());
  list->SetDirectory(parent);
  list->SetParent(form);
  names = ReadOurs(Folder());
  variants[7].run();
  if (argc > 2) {
    std::size_t n =
        static_cast<std::size_t>(std::clamp(std::atoi(argv[1]), 0, static_cast<int>(std::size(variants)) - 1));
    for (int i = std::atoi(argv[2]); i > 0; --i) RunOnce(variants[n], figures[n]);
    std::printf("%s: %d kept, %ld calls\n", variants[n].name, figures[n].kept, figures[n].callsPerRun);
  } else {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 11;
    for (int round = 0; round < rounds; ++round)
      for (std::size_t n = 0; n < std::size(variants); ++n) RunOnce(variants[n], figures[n]);
    std::printf("%-26s %8s %10s %10s %10s %8s\n", "variant", "kept", "fastest ms", "median ms", "cpu ms/run", "calls");
    for (std::size_t n = 0; n < std::size(variants); ++n) {
      Figures& f = figures[n];
      std::sort(f.times.begin(), f.times.end());
      std::printf("%-26s %8d %10.1f %10.1f %10.1f %8ld\n", variants[n].name, f.kept, f.fastest * 1e3,
                  f.times[f.times.size() / 2] * 1e3, f.cpu * 1e3 / rounds, f.callsPerRun);
    }
  }
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
