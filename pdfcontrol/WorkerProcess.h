// Starting the rendering worker confined. A fault exploited inside the PDF library must not
// become the user's account: the worker runs in a job of its own that ends it when the
// control lets go of the job (or the host dies), allows no second process, caps its memory at
// what a 32-bit process can hold, and keeps it from the clipboard, global atoms, the desktop,
// display and system settings and other programs' windows. It inherits exactly its pipes and
// its cancel event, runs with a restricted low-integrity token where the platform offers one,
// and shows no error box from its first instruction on.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pdfview {

constexpr SIZE_T kWorkerMemoryLimit = SIZE_T(768) << 20;
constexpr DWORD kWorkerUiLimits = JOB_OBJECT_UILIMIT_HANDLES | JOB_OBJECT_UILIMIT_READCLIPBOARD |
                                  JOB_OBJECT_UILIMIT_WRITECLIPBOARD | JOB_OBJECT_UILIMIT_GLOBALATOMS |
                                  JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS |
                                  JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_EXITWINDOWS;
constexpr DWORD kWorkerJobLimits = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_ACTIVE_PROCESS |
                                   JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;

// A started worker: its process and its job, both owned.
class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess() { Close(); }
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // `inherited` are the only handles the worker gets; they must be inheritable. Fails, and
  // starts nothing, when the worker cannot be put in its job.
  bool Start(const std::wstring& path, std::wstring commandLine, const std::vector<HANDLE>& inherited);
  HANDLE Process() const { return process_; }
  // Closing the job ends the worker, if it still runs.
  void Close();

 private:
  HANDLE process_ = nullptr;
  HANDLE job_ = nullptr;
};

}  // namespace pdfview
