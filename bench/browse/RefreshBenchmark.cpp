// RefreshFiles with mask "*.pdf" on directories of 1,000, 10,000 and 50,000 matching files,
// against the platform's LB_DIR into a list set up like ours, and against the fill one platform
// insertion at a time (as the lists did before), in the same run (the fastest of three of each).
// Goal: RefreshFiles at most LB_DIR. Beside it, the two fills' processor time summed over the
// runs (more runs for small folders, so that the sums span many clock ticks).
// Usage: browse_refresh_bench [sizes...] (bench/browse/prepare.sh makes the folders beforehand).
#include <algorithm>
#include <cstdlib>

#include "bench/browse/BenchSupport.h"

namespace {

std::string FilesFolder(int files) {
  std::string dir = bench::TempFolder("browse-bench-" + std::to_string(files));
  CreateDirectoryA(dir.c_str(), nullptr);
  if (bench::CountMatches(dir + "\\*.pdf") < files) bench::MakeFiles(dir, "doc%08u.pdf", files);
  return dir;
}

// The fill of an empty list, as the platform's is: the list starts on the folder with a mask
// that finds nothing, then gets "*.pdf". (Clearing an owner-drawn list sends its parent a
// message per line, which both kinds of list pay alike.)
template <class List>
double OurFill(TForm* form, const std::string& dir, int& count, double& cpu) {
  auto* list = new List(form);
  list->SetBounds(0, 0, 200, 300);
  list->SetMask("*.none");
  list->SetParent(form);
  list->SetDirectory(dir);
  double start = bench::Seconds(), startCpu = bench::ProcessorSeconds();
  list->SetMask("*.pdf");
  double elapsed = bench::Seconds() - start;
  cpu += bench::ProcessorSeconds() - startCpu;
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
  std::printf("machine: %s\n", bench::MachineKind().c_str());
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 400);
  form->Show();
  // Our list's window, for the platform list to copy its set-up from.
  auto* model = new TFileListBox(form);
  model->SetBounds(0, 0, 200, 300);
  model->SetMask("*.none");
  model->SetParent(form);
  std::printf("%8s %10s %12s %12s %10s %10s %6s %10s\n", "files", "LB_DIR s", "1-by-1 s", "Refresh s", "1by1/ref",
              "new/ref", "runs", "cpu/ref");
  for (int files : sizes) {
    std::string dir = FilesFolder(files);
    int platformCount = 0, oneByOneCount = 0, count = 0;
    bench::PlatformFill(model->Handle(), dir, "*.pdf", platformCount);  // warms the file system cache
    // In turn: the fastest of each is the figure least disturbed by other work.
    double platform = 1e9, oneByOne = 1e9, ours = 1e9, platformCpu = 0, oursCpu = 0, unused = 0;
    int runs = std::max(3, 30000 / std::max(files, 1));
    for (int run = 0; run < runs; ++run) {
      platform = std::min(platform, bench::PlatformFill(model->Handle(), dir, "*.pdf", platformCount, &platformCpu));
      oneByOne = std::min(oneByOne, OurFill<bench::TOneByOneFileList>(form, dir, oneByOneCount, unused));
      ours = std::min(ours, OurFill<TFileListBox>(form, dir, count, oursCpu));
    }
    std::printf("%8d %10.3f %12.3f %12.3f %10.2f %10.2f %6d %10.2f%s\n", files, platform, oneByOne, ours,
                oneByOne / platform, ours / platform, runs, platformCpu > 0 ? oursCpu / platformCpu : 0.0,
                count == platformCount && oneByOneCount == count ? "" : "  (counts differ)");
    std::fflush(stdout);
  }
  TObject::Free(form);
  FinalizeFramework();
  return 0;
}
