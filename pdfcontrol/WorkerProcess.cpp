// The confined worker's start (see WorkerProcess.h). The attribute list and the integrity
// label exist from Vista on; they are looked up at run time so that the control still loads
// where they are missing, and the worker is then confined by its job alone.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600
#include "pdfcontrol/WorkerProcess.h"

#include <memory>

namespace pdfview {

namespace {

using InitializeList = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
using UpdateList = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
using DeleteList = void(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);

template <typename F>
F Kernel32(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h) CloseHandle(h);
  }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

// The list of handles to inherit, when the platform takes one.
class HandleList {
 public:
  explicit HandleList(const std::vector<HANDLE>& handles) : handles_(handles) {
    const auto initialize = Kernel32<InitializeList>("InitializeProcThreadAttributeList");
    const auto update = Kernel32<UpdateList>("UpdateProcThreadAttribute");
    remove_ = Kernel32<DeleteList>("DeleteProcThreadAttributeList");
    if (!initialize || !update || !remove_ || handles_.empty()) return;
    SIZE_T size = 0;
    initialize(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!initialize(list, 1, 0, &size)) return;
    list_ = list;
    if (!update(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(), handles_.size() * sizeof(HANDLE), nullptr,
                nullptr)) {
      remove_(list_);
      list_ = nullptr;
    }
  }
  ~HandleList() {
    if (list_) remove_(list_);
  }
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

 private:
  std::vector<HANDLE> handles_;
  std::vector<char> storage_;
  DeleteList remove_ = nullptr;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// This process's token without its privileges, labelled low integrity; null where the
// platform cannot make one.
OwnedHandle RestrictedToken() {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(),
                        TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, &own)) {
    return nullptr;
  }
  OwnedHandle owned(own);
  HANDLE restricted = nullptr;
  if (!CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr, &restricted)) {
    return nullptr;
  }
  OwnedHandle token(restricted);
  SID_IDENTIFIER_AUTHORITY label = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID low = nullptr;
  if (!AllocateAndInitializeSid(&label, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0, 0, &low)) return nullptr;
  TOKEN_MANDATORY_LABEL level{};
  level.Label.Attributes = SE_GROUP_INTEGRITY;
  level.Label.Sid = low;
  const BOOL labelled = SetTokenInformation(restricted, TokenIntegrityLevel, &level, sizeof level + GetLengthSid(low));
  FreeSid(low);
  return labelled ? std::move(token) : nullptr;
}

OwnedHandle MakeJob() {
  OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = kWorkerJobLimits;
  limits.BasicLimitInformation.ActiveProcessLimit = 1;
  limits.ProcessMemoryLimit = kWorkerMemoryLimit;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) return nullptr;
  // Not every platform knows every UI limit; the job still holds the process.
  JOBOBJECT_BASIC_UI_RESTRICTIONS ui{kWorkerUiLimits};
  SetInformationJobObject(job.get(), JobObjectBasicUIRestrictions, &ui, sizeof ui);
  return job;
}

// The worker inherits the error mode of the process that starts it: with critical-error and
// fault boxes off, none can show before its own code runs.
class QuietErrors {
 public:
  QuietErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX)) {
    SetErrorMode(old_ | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  }
  ~QuietErrors() { SetErrorMode(old_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  UINT old_;
};

}  // namespace

bool WorkerProcess::Start(const std::wstring& path, std::wstring commandLine, const std::vector<HANDLE>& inherited) {
  Close();
  OwnedHandle job = MakeJob();
  if (!job) return false;
  const HandleList list(inherited);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = list.Get() ? sizeof startup : sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = inherited.size() > 0 ? inherited[0] : nullptr;
  startup.StartupInfo.hStdOutput = inherited.size() > 1 ? inherited[1] : nullptr;
  startup.lpAttributeList = list.Get();
  const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW | (list.Get() ? EXTENDED_STARTUPINFO_PRESENT : 0);
  PROCESS_INFORMATION info{};
  BOOL started;
  {
    const QuietErrors quiet;
    const OwnedHandle token = RestrictedToken();
    started = token ? CreateProcessAsUserW(token.get(), path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                                           nullptr, nullptr, &startup.StartupInfo, &info)
                    : FALSE;
    if (!started) {
      started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                               &startup.StartupInfo, &info);
    }
  }
  if (!started) return false;
  OwnedHandle thread(info.hThread);
  OwnedHandle process(info.hProcess);
  // Not one instruction of the worker runs outside its job.
  if (!AssignProcessToJobObject(job.get(), process.get())) {
    TerminateProcess(process.get(), 1);
    return false;
  }
  ResumeThread(thread.get());
  process_ = process.release();
  job_ = job.release();
  return true;
}

void WorkerProcess::Close() {
  if (job_) CloseHandle(job_);
  if (process_) CloseHandle(process_);
  job_ = process_ = nullptr;
}

}  // namespace pdfview
