// The rendering worker's client (see RendererClient.h).
#include "pdfcontrol/RendererClient.h"

#include "pdfcontrol/Guard.h"

#include <chrono>
#include <algorithm>
#include <cstring>
#include <utility>

using namespace pdfrender;

namespace pdfview {

namespace {

// Only one control at a time makes handles inheritable, so that where the platform takes no
// list of handles to inherit, no worker inherits the pipe of another one (which would keep
// that pipe open after its worker died).
std::mutex spawnMutex;

DWORD Elapsed(DWORD since) { return GetTickCount() - since; }

// The answers come through a named pipe, which, unlike an anonymous one, can be read
// overlapped: a read is waited for together with the worker's exit and the cancel event,
// instead of polled (each poll a round trip to the server under Wine, each sleep a timer tick).
bool CreateAnswerPipe(HANDLE& ours, HANDLE& workers, SECURITY_ATTRIBUTES& inherit) {
  static LONG counter = 0;
  const std::wstring name = L"\\\\.\\pipe\\folvane-answers-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(InterlockedIncrement(&counter));
  ours = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 1 << 16, 0, nullptr);
  if (ours == INVALID_HANDLE_VALUE) {
    ours = nullptr;
    return false;
  }
  // One instance only: a process that opened it first makes this fail, and no worker starts.
  workers = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
  if (workers == INVALID_HANDLE_VALUE) {
    CloseHandle(ours);
    ours = workers = nullptr;
    return false;
  }
  return true;
}

}  // namespace

SectionPool::~SectionPool() {
  for (const Kept& kept : kept_) {
    UnmapViewOfFile(kept.view);
    CloseHandle(kept.section);
  }
}

bool SectionPool::Take(size_t bytes, HANDLE& section, const uint32_t*& view, size_t& capacity) {
  std::lock_guard lock(mutex_);
  auto fits = kept_.end();
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->capacity >= bytes && it->capacity - bytes <= bytes / 4 &&
        (fits == kept_.end() || it->capacity < fits->capacity)) {
      fits = it;
    }
  }
  if (fits == kept_.end()) return false;
  section = fits->section;
  view = fits->view;
  capacity = fits->capacity;
  kept_.erase(fits);
  return true;
}

void SectionPool::Give(HANDLE section, const uint32_t* view, size_t capacity) {
  std::lock_guard lock(mutex_);
  kept_.push_back({section, view, capacity});
  size_t bytes = 0;
  for (const Kept& kept : kept_) bytes += kept.capacity;
  while (!kept_.empty() && (kept_.size() > kMaxSections || bytes > kMaxBytes)) {
    bytes -= kept_.front().capacity;
    UnmapViewOfFile(kept_.front().view);
    CloseHandle(kept_.front().section);
    kept_.erase(kept_.begin());
  }
}

PagePixels::PagePixels(size_t count, std::shared_ptr<SectionPool> pool)
    : count_(count), capacity_(count * 4), pool_(std::move(pool)) {
  if (pool_ && pool_->Take(capacity_, section_, view_, capacity_)) return;
  section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(capacity_), nullptr);
}

PagePixels::~PagePixels() { Release(); }

PagePixels::PagePixels(PagePixels&& other) noexcept
    : count_(other.count_),
      capacity_(other.capacity_),
      section_(std::exchange(other.section_, nullptr)),
      view_(std::exchange(other.view_, nullptr)),
      drawn_(std::exchange(other.drawn_, false)),
      pool_(std::move(other.pool_)) {}

PagePixels& PagePixels::operator=(PagePixels&& other) noexcept {
  if (this != &other) {
    Release();
    count_ = other.count_;
    capacity_ = other.capacity_;
    section_ = std::exchange(other.section_, nullptr);
    view_ = std::exchange(other.view_, nullptr);
    drawn_ = std::exchange(other.drawn_, false);
    pool_ = std::move(other.pool_);
  }
  return *this;
}

// Only a section that the worker has answered for goes back to the pool: no worker writes into
// it any more. Others are closed, as one whose request failed may still be in a worker's hands.
void PagePixels::Release() {
  if (pool_ && drawn_ && section_ && view_) {
    pool_->Give(section_, view_, capacity_);
  } else {
    if (view_) UnmapViewOfFile(view_);
    if (section_) CloseHandle(section_);
  }
  view_ = nullptr;
  section_ = nullptr;
  drawn_ = false;
}

// A worker that dies takes its handle along.
uint32_t PagePixels::HandFor(HANDLE worker) const {
  HANDLE remote = nullptr;
  if (!section_ ||
      !DuplicateHandle(GetCurrentProcess(), section_, worker, &remote, FILE_MAP_READ | FILE_MAP_WRITE, FALSE, 0)) {
    return 0;
  }
  return uint32_t(reinterpret_cast<uintptr_t>(remote));
}

bool PagePixels::Map() {
  if (!view_ && section_) {
    view_ = static_cast<const uint32_t*>(MapViewOfFile(section_, FILE_MAP_READ, 0, 0, capacity_));
  }
  drawn_ = view_ != nullptr;
  return drawn_;
}

RendererClient::RendererClient(std::wstring workerPath) : workerPath_(std::move(workerPath)) {
  cancel_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  answerReady_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  textSignal_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

// The thread starts with the first request, so that a control that is only made costs no
// thread yet. Requests come from the control's thread alone.
void RendererClient::StartThread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

RendererClient::~RendererClient() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    abortRender_ = true;
    SetEvent(cancel_);
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  CloseHandle(cancel_);
  CloseHandle(answerReady_);
  CloseHandle(textSignal_);
}

void RendererClient::SetNotifyWindow(HWND window, UINT message) {
  std::lock_guard lock(mutex_);
  notifyWindow_ = window;
  notifyMessage_ = message;
}

void RendererClient::WarmUp() {
  StartThread();
  {
    std::lock_guard lock(mutex_);
    warmUp_ = true;
  }
  wake_.notify_all();
}

void RendererClient::SetFirstView(OpenRequest view) {
  std::lock_guard lock(mutex_);
  firstView_ = view;
}

OpenResult RendererClient::Open(const std::wstring& path) {
  StartThread();
  std::unique_lock lock(mutex_);
  openRequest_ = path;
  openPending_ = true;
  openDone_ = false;
  abortRender_ = true;
  jobs_.clear();
  ++generation_;
  sizesNext_ = sizesEnd_ = 0;
  sizesDone_.clear();
  SetEvent(cancel_);
  wake_.notify_all();
  opened_.wait(lock, [this] { return openDone_; });
  if (openResult_.code == kOk) {
    sizesNext_ = uint32_t(openResult_.pages.size());
    sizesEnd_ = openResult_.pageCount;
  }
  openResult_.generation = generation_;
  return std::move(openResult_);
}

void RendererClient::CloseDocument() {
  std::lock_guard lock(mutex_);
  ++generation_;
  sizesNext_ = sizesEnd_ = 0;
  sizesDone_.clear();
  SetEvent(cancel_);
  jobs_.clear();
  finished_.clear();
}

void RendererClient::Request(std::vector<RenderJob> jobs) {
  StartThread();
  {
    std::lock_guard lock(mutex_);
    jobs_.clear();
    for (const RenderJob& job : jobs) {
      if (job.generation == generation_ && !(job == inFlight_)) jobs_.push_back(job);
    }
  }
  wake_.notify_all();
}

std::vector<ArrivedSizes> RendererClient::TakeSizes() {
  std::lock_guard lock(mutex_);
  std::vector<ArrivedSizes> out;
  out.swap(sizesDone_);
  return out;
}

std::vector<RenderedPage> RendererClient::TakeFinished() {
  std::lock_guard lock(mutex_);
  std::vector<RenderedPage> out;
  out.swap(finished_);
  return out;
}

void RendererClient::SetTextMessage(UINT message) {
  std::lock_guard lock(mutex_);
  textMessage_ = message;
}

uint32_t RendererClient::RequestText(TextJob job) {
  StartThread();
  uint32_t id;
  {
    std::lock_guard lock(mutex_);
    job.id = id = ++lastTextId_;
    if (job.find) {
      Search search;
      search.progress = {id, 0, job.count, job.page};
      search.job = std::move(job);
      search_ = std::move(search);
    } else {
      // The newest asks for the pages in view now; older asks wait behind it.
      textJobs_.push_front(std::move(job));
    }
  }
  wake_.notify_all();
  return id;
}

void RendererClient::CancelFind() {
  std::lock_guard lock(mutex_);
  search_.reset();
}

FindProgress RendererClient::Progress() {
  std::lock_guard lock(mutex_);
  return search_ ? search_->progress : FindProgress{};
}

std::vector<TextAnswer> RendererClient::TakeText() {
  std::lock_guard lock(mutex_);
  std::vector<TextAnswer> out;
  out.swap(textDone_);
  return out;
}

TextAnswer RendererClient::WaitText(uint32_t id, DWORD timeoutMs) {
  std::unique_lock lock(mutex_);
  auto match = [&] {
    return std::find_if(textDone_.begin(), textDone_.end(), [id](const TextAnswer& a) { return a.job.id == id; });
  };
  TextAnswer answer;
  answer.job.id = id;
  answer.failed = true;
  if (textReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return match() != textDone_.end(); })) {
    auto it = match();
    answer = std::move(*it);
    textDone_.erase(it);
  }
  return answer;
}

void RendererClient::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] {
      return stop_ || openPending_ || warmUp_ || !jobs_.empty() || !textJobs_.empty() || search_ ||
             sizesNext_ < sizesEnd_ || urgent_;
    });
    if (stop_) break;
    if (openPending_) {
      const std::wstring path = openRequest_;
      const OpenRequest view = firstView_;
      openPending_ = false;
      abortRender_ = false;
      // What was drawn of the last document has been given up by now; the new one's first
      // page, drawn ahead, is dropped by the next open or close, which sets the event again.
      ResetEvent(cancel_);
      lock.unlock();
      OpenResult result;
      result.code = kWorkerFailed;
      if (!GuardThread([&] {
            result = DoOpen(path, view);
            if (result.code == kOk) {
              openPages_ = result.pages;
              openPageCount_ = result.pageCount;
              openRepaired_ = result.repaired;
            }
          })) {
        StopWorker(false);
      }
      lock.lock();
      openResult_ = std::move(result);
      openDone_ = true;
      opened_.notify_all();
    } else if (urgent_) {
      const RenderJob job = *urgent_;
      urgent_.reset();
      RenderedPage page = RenderUnlocked(job, lock);
      GuardThread([&] { urgentDone_ = std::move(page); });
      textReady_.notify_all();
    } else if (!jobs_.empty()) {
      // Pages first: ink on the screen is what the user waits for; the text of a page
      // follows at most the few pages in view and next to it.
      const RenderJob job = jobs_.front();
      jobs_.pop_front();
      inFlight_ = job;
      RenderedPage page = RenderUnlocked(job, lock);
      inFlight_ = RenderJob{};
      if (job.generation == generation_ && GuardThread([&] { finished_.push_back(std::move(page)); })) {
        if (notifyWindow_) PostMessageW(notifyWindow_, notifyMessage_, 0, 0);
      }
    } else if (sizesNext_ < sizesEnd_) {
      // The layout's guesses corrected before text: they move what is drawn.
      lock.unlock();
      bool got = false;
      if (!GuardThread([&] { got = SizesStep(); })) StopWorker(false);
      lock.lock();
      if (!got) sizesNext_ = sizesEnd_;  // the layout keeps its guesses
      if (notifyWindow_) PostMessageW(notifyWindow_, notifyMessage_, 0, 0);
    } else if (!textJobs_.empty()) {
      const TextJob job = std::move(textJobs_.front());
      textJobs_.pop_front();
      const bool current = job.generation == generation_;
      abortRender_ = false;
      lock.unlock();
      TextAnswer answer;
      answer.job = job;
      answer.failed = true;
      if (current && !GuardThread([&] { answer = DoText(job); })) {
        StopWorker(false);
        answer = TextAnswer{};
        answer.job = job;
        answer.failed = answer.tooLarge = true;
      }
      lock.lock();
      GuardThread([&] { textDone_.push_back(std::move(answer)); });
      AnnounceText();
    } else if (search_) {
      if (search_->job.generation != generation_) {
        search_.reset();
        continue;
      }
      lock.unlock();
      if (!GuardThread([&] { FindStep(); })) StopWorker(false);
      lock.lock();
      AnnounceText();
    } else {
      warmUp_ = false;
      lock.unlock();
      GuardThread([&] { EnsureWorker(); });
      lock.lock();
    }
  }
  lock.unlock();
  StopWorker(true);
}

void RendererClient::AnnounceText() {
  textReady_.notify_all();
  SetEvent(textSignal_);
  if (notifyWindow_ && textMessage_) PostMessageW(notifyWindow_, textMessage_, 0, 0);
}

// Renders a job with the lock let go meanwhile; a job of the document in view clears the
// cancel event that another document set.
RenderedPage RendererClient::RenderUnlocked(const RenderJob& job, std::unique_lock<std::mutex>& lock) {
  abortRender_ = false;
  if (job.generation == generation_) ResetEvent(cancel_);
  lock.unlock();
  RenderedPage page;
  page.job = job;
  page.failed = true;
  if (!GuardThread([&] { page = DoRender(job); })) StopWorker(false);
  page.workerStarts = workerStarts_;
  lock.lock();
  return page;
}

bool RendererClient::EnsureWorker() {
  // One that died since its last answer is replaced now, not found out by the next request.
  if (process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) StopWorker(false);
  if (process_) return true;
  workerHasDocument_ = false;
  HANDLE childIn = nullptr, childOut = nullptr;
  {
    std::lock_guard spawn(spawnMutex);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&childIn, &toWorker_, &inherit, 1 << 16)) return false;
    if (!CreateAnswerPipe(fromWorker_, childOut, inherit)) {
      CloseHandle(childIn);
      CloseHandle(toWorker_);
      toWorker_ = nullptr;
      return false;
    }
    SetHandleInformation(toWorker_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromWorker_, HANDLE_FLAG_INHERIT, 0);
    std::wstring command = L"\"" + workerPath_ + L"\" " + std::to_wstring(reinterpret_cast<uintptr_t>(cancel_));
    SetHandleInformation(cancel_, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    const bool started = worker_.Start(workerPath_, std::move(command), {childIn, childOut, cancel_});
    SetHandleInformation(cancel_, HANDLE_FLAG_INHERIT, 0);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
      CloseHandle(toWorker_);
      CloseHandle(fromWorker_);
      toWorker_ = fromWorker_ = nullptr;
      return false;
    }
    process_ = worker_.Process();
  }
  Header hello{};
  if (!ReceiveHeader(hello, kStartTimeoutMs) || hello.code != kHello || hello.size != 0) {
    StopWorker(false);
    return false;
  }
  if (workerStarts_++ > 0) {
    std::lock_guard lock(mutex_);
    if (notifyWindow_) PostMessageW(notifyWindow_, notifyMessage_, 0, 0);
  }
  return true;
}

void RendererClient::StopWorker(bool polite) {
  if (!process_) return;
  if (polite && Send(kQuit, nullptr, 0) && WaitForSingleObject(process_, 3000) == WAIT_OBJECT_0) {
    // gone by itself
  } else {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  worker_.Close();
  CloseHandle(toWorker_);
  CloseHandle(fromWorker_);
  process_ = toWorker_ = fromWorker_ = nullptr;
  workerHasDocument_ = false;
}

bool RendererClient::Send(uint32_t code, const void* payload, uint32_t size) {
  auto writeAll = [this](const void* data, DWORD left) {
    auto* p = static_cast<const char*>(data);
    while (left > 0) {
      DWORD put = 0;
      if (!WriteFile(toWorker_, p, left, &put, nullptr) || put == 0) return false;
      p += put;
      left -= put;
    }
    return true;
  };
  const Header header{code, size};
  return writeAll(&header, sizeof header) && (size == 0 || writeAll(payload, size));
}

bool RendererClient::Receive(void* data, uint32_t size, DWORD timeoutMs, DWORD started) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    OVERLAPPED read{};
    read.hEvent = answerReady_;
    ResetEvent(answerReady_);
    DWORD got = 0;
    if (!ReadFile(fromWorker_, p, size, &got, &read)) {
      if (GetLastError() != ERROR_IO_PENDING) return false;
      if (!WaitForAnswer(timeoutMs, started)) {
        // The stream is out of step from here: every caller drops this worker.
        CancelIo(fromWorker_);
        GetOverlappedResult(fromWorker_, &read, &got, TRUE);
        return false;
      }
      if (!GetOverlappedResult(fromWorker_, &read, &got, FALSE)) return false;
    }
    if (got == 0) return false;
    p += got;
    size -= got;
  }
  return true;
}

bool RendererClient::WaitForAnswer(DWORD timeoutMs, DWORD started) {
  bool cancelSeen = false;
  for (;;) {
    const DWORD elapsed = Elapsed(started);
    if (elapsed > timeoutMs) return false;
    {
      // A new document is waiting: give up a stale render that takes long.
      std::lock_guard lock(mutex_);
      if (abortRender_ && (stop_ || elapsed > 1000)) return false;
    }
    // The cancel event stays set until the next job: once seen, the abort is looked at again
    // in short turns rather than woken for at once.
    HANDLE handles[] = {answerReady_, process_, cancel_};
    const DWORD wait = cancelSeen ? std::min<DWORD>(timeoutMs - elapsed, 50) : timeoutMs - elapsed;
    switch (WaitForMultipleObjects(cancelSeen ? 2 : 3, handles, FALSE, wait + 1)) {
      case WAIT_OBJECT_0:
        return true;
      case WAIT_OBJECT_0 + 1:
        // Exited: what it wrote last is still in the pipe, and the read ends with the pipe.
        return WaitForSingleObject(answerReady_, 1000) == WAIT_OBJECT_0;
      case WAIT_OBJECT_0 + 2:
        cancelSeen = true;
        break;
      case WAIT_TIMEOUT:
        break;
      default:
        return false;
    }
  }
}

bool RendererClient::ReceiveHeader(Header& header, DWORD timeoutMs) {
  return Receive(&header, sizeof header, timeoutMs, GetTickCount());
}

OpenResult RendererClient::DoOpen(const std::wstring& path, OpenRequest view) {
  OpenResult result;
  openPath_.clear();
  result.code = kWorkerFailed;
  if (path.size() > kMaxPathUnits) {
    result.code = kCannotOpen;
    return result;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!EnsureWorker()) continue;
    const DWORD started = GetTickCount();
    Header header{};
    std::vector<char> request(sizeof view + path.size() * 2);
    std::memcpy(request.data(), &view, sizeof view);
    std::memcpy(request.data() + sizeof view, path.data(), path.size() * 2);
    if (!Send(kOpen, request.data(), uint32_t(request.size()))) {
      StopWorker(false);
      continue;
    }
    if (!Receive(&header, sizeof header, kOpenTimeoutMs, started)) {
      // The file itself may have killed or hung the worker: no second try with it.
      StopWorker(false);
      return result;
    }
    if (header.code != kOk && header.code != kRepaired) {
      if (header.size != 0) break;
      workerHasDocument_ = false;
      result.code = header.code;
      return result;
    }
    const uint32_t read = ReceiveOpened(header, kOpenTimeoutMs, started, result);
    if (read == kWorkerFailed) break;
    if (read == kAnswerRefused) {
      // Not a size the worker would send: it is not to be trusted with the next request.
      StopWorker(false);
      result.pages.clear();
      result.code = kAnswerRefused;
      return result;
    }
    result.repaired = header.code == kRepaired;
    result.code = kOk;
    openPath_ = path;
    workerHasDocument_ = true;
    return result;
  }
  StopWorker(false);
  result.pages.clear();
  result.code = kWorkerFailed;
  return result;
}

// A worker restarted since the document was opened holds none: the file is opened again, and
// may have been replaced meanwhile. Pages of another count or size would be drawn into the old
// layout, so such a file is announced as a document of its own.
bool RendererClient::Reopen(uint32_t generation) {
  if (workerHasDocument_) return true;
  const std::wstring path = openPath_;
  OpenResult reopened = DoOpen(path);
  if (reopened.code != kOk) return false;
  const auto same = [](const PageSize& a, const PageSize& b) { return a.width == b.width && a.height == b.height; };
  // An open answers with the first pages' sizes only: those known on both sides are compared.
  const size_t known = std::min(reopened.pages.size(), openPages_.size());
  // A repaired document stays repaired: opened again from its file, it is announced anew.
  if (reopened.pageCount == openPageCount_ && reopened.repaired == openRepaired_ &&
      std::equal(reopened.pages.begin(), reopened.pages.begin() + known, openPages_.begin(), same)) {
    return true;
  }
  AnnounceReplaced(std::move(reopened), generation);
  return false;
}

// The page count and the first pages' sizes of an opened document, after its header; kOk,
// kAnswerRefused for a size out of bounds, or kWorkerFailed when the answer broke off.
uint32_t RendererClient::ReceiveOpened(const Header& header, DWORD timeoutMs, DWORD started, OpenResult& result) {
  uint32_t counts[2] = {0, 0};  // pages, sizes that follow
  if (header.size < 8 || !Receive(counts, 8, timeoutMs, started) || counts[0] == 0 || counts[0] > kMaxPages ||
      counts[1] == 0 || counts[1] > counts[0] || header.size != 8 + counts[1] * sizeof(PageSize)) {
    return kWorkerFailed;
  }
  result.pageCount = counts[0];
  result.pages.resize(counts[1]);
  if (!Receive(result.pages.data(), counts[1] * sizeof(PageSize), timeoutMs, started)) return kWorkerFailed;
  return std::all_of(result.pages.begin(), result.pages.end(), ValidPageSize) ? kOk : kAnswerRefused;
}

// The document that the worker now holds in place of the one of `generation`, announced as a
// document of its own while that one is still shown.
void RendererClient::AnnounceReplaced(OpenResult replaced, uint32_t generation) {
  openPages_ = replaced.pages;
  openPageCount_ = replaced.pageCount;
  openRepaired_ = replaced.repaired;
  std::lock_guard lock(mutex_);
  if (stop_ || generation != generation_) return;
  replaced.code = kOk;
  replaced.generation = ++generation_;
  jobs_.clear();
  finished_.clear();
  sizesNext_ = uint32_t(replaced.pages.size());
  sizesEnd_ = replaced.pageCount;
  sizesDone_.clear();
  replaced_ = std::move(replaced);
  if (notifyWindow_) PostMessageW(notifyWindow_, notifyMessage_, kDocumentReplaced, 0);
}

bool RendererClient::TakeReplaced(OpenResult& replaced) {
  std::lock_guard lock(mutex_);
  if (!replaced_) return false;
  // Another document may have been opened since.
  const bool current = replaced_->generation == generation_;
  if (current) replaced = std::move(*replaced_);
  replaced_.reset();
  return current;
}

// A worker may have died since its last answer (or die of this job): one retry with a fresh
// worker tells the two apart. Once runs the job and says whether the worker was lost on it;
// a job of a document no longer shown is not tried again.
template <typename Answer, typename Job, typename Once>
Answer RendererClient::WithOneRetry(const Job& job, Once once) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool workerLost = false;
    Answer answer = (this->*once)(job, workerLost);
    if (!workerLost) return answer;
    std::lock_guard lock(mutex_);
    if (stop_ || job.generation != generation_) return answer;
  }
  Answer answer;
  answer.job = job;
  answer.failed = true;
  return answer;
}

RenderedPage RendererClient::DoRender(const RenderJob& job) {
  return WithOneRetry<RenderedPage>(job, &RendererClient::RenderOnce);
}

RenderedPage RendererClient::RenderOnce(const RenderJob& job, bool& workerLost) {
  RenderedPage page;
  page.job = job;
  page.failed = true;
  if (openPath_.empty()) return page;
  // The section goes to the worker before any message does: a dead one is replaced first.
  if (!EnsureWorker()) {
    workerLost = true;
    return page;
  }
  if (!Reopen(job.generation)) return page;
  if (job.width < 1 || job.height < 1 || job.width > kMaxSide || job.height > kMaxSide ||
      uint64_t(job.width) * job.height > kMaxPixels) {
    return page;
  }
  PagePixels pixels(size_t(job.width) * job.height, sections_);
  if (!pixels.Made()) return page;
  const uint32_t remote = pixels.HandFor(process_);
  if (!remote) {
    StopWorker(false);
    workerLost = true;
    return page;
  }
  const DWORD started = GetTickCount();
  const RenderRequest request{job.page + 1, job.width, job.height, remote};
  const PartRequest part{request,
                         job.quarterTurns,
                         job.pageWidth ? job.pageWidth : job.width,
                         job.pageWidth ? job.pageHeight : job.height,
                         job.left,
                         job.top};
  const bool whole = job.quarterTurns == 0 && job.pageWidth == 0;
  Header header{};
  if (!(whole ? Send(kRender, &request, sizeof request) : Send(kRenderPart, &part, sizeof part)) ||
      !Receive(&header, sizeof header, kRenderTimeoutMs, started)) {
    StopWorker(false);
    // A page that took all the time it had would take it again with a fresh worker.
    workerLost = Elapsed(started) <= kRenderTimeoutMs;
    return page;
  }
  if (header.code != kOk) {
    if (header.size != 0) StopWorker(false);
    return page;
  }
  BitmapHeader bitmap{};
  if (header.size != sizeof bitmap || !Receive(&bitmap, sizeof bitmap, kRenderTimeoutMs, started) ||
      bitmap.width != job.width || bitmap.height != job.height) {
    StopWorker(false);
    return page;
  }
  if (!pixels.Map()) return page;
  page.pixels = std::move(pixels);
  page.width = bitmap.width;
  page.height = bitmap.height;
  page.failed = false;
  return page;
}

// One run of page sizes for the layout; false when none can be had.
bool RendererClient::SizesStep() {
  uint32_t generation, first, end;
  {
    std::lock_guard lock(mutex_);
    generation = generation_;
    first = sizesNext_;
    end = sizesEnd_;
  }
  const SizesRequest request{first + 1, end - first};
  std::vector<char> payload(sizeof request);
  std::memcpy(payload.data(), &request, sizeof request);
  TextAnswer answer;
  answer.job.generation = generation;
  bool workerLost = false;
  if (!Exchange(kSizes, payload, kOpenTimeoutMs, answer, workerLost)) {
    // A document that replaced this one has sizes of its own to come.
    std::lock_guard lock(mutex_);
    return generation != generation_;
  }
  const size_t count = answer.text.size() / sizeof(PageSize);
  if (count == 0 || count > end - first || answer.text.size() % sizeof(PageSize) != 0) {
    StopWorker(false);
    return false;
  }
  ArrivedSizes arrived{generation, first, std::vector<PageSize>(count)};
  std::memcpy(arrived.sizes.data(), answer.text.data(), answer.text.size());
  if (!std::all_of(arrived.sizes.begin(), arrived.sizes.end(), ValidPageSize)) {
    StopWorker(false);
    return false;
  }
  std::lock_guard lock(mutex_);
  if (generation != generation_ || first != sizesNext_) return true;
  sizesNext_ = first + uint32_t(count);
  sizesDone_.push_back(std::move(arrived));
  return true;
}

TextAnswer RendererClient::DoText(const TextJob& job) {
  return WithOneRetry<TextAnswer>(job, &RendererClient::TextOnce);
}

TextAnswer RendererClient::TextOnce(const TextJob& job, bool& workerLost) {
  TextAnswer answer;
  answer.job = job;
  answer.failed = true;
#ifdef FOLVANE_TEST_SEAMS
  if (job.held) {
    std::vector<char> budget(job.heldBudget ? sizeof job.heldBudget : 0);
    if (job.heldBudget) std::memcpy(budget.data(), &job.heldBudget, sizeof job.heldBudget);
    Exchange(kTextHeld, budget, kRenderTimeoutMs, answer, workerLost);
    return answer;
  }
#endif
  const uint32_t page = job.page + 1;
  std::vector<char> request(job.outline ? 0 : sizeof page);
  if (!job.outline) std::memcpy(request.data(), &page, sizeof page);
  Exchange(job.outline ? kOutline : kText, request, kRenderTimeoutMs, answer, workerLost);
  return answer;
}

// Sends one text request and takes its answer into answer.text; false, with answer.failed,
// when there is none. workerLost: the worker died or hung on it and has been stopped.
bool RendererClient::Exchange(uint32_t code, const std::vector<char>& request, DWORD timeoutMs, TextAnswer& answer,
                              bool& workerLost) {
  answer.failed = true;
  if (openPath_.empty()) return false;
  if (!EnsureWorker()) {
    workerLost = true;
    return false;
  }
  if (!Reopen(answer.job.generation)) return false;
  const DWORD started = GetTickCount();
  Header header{};
  if (!Send(code, request.data(), uint32_t(request.size())) || !Receive(&header, sizeof header, timeoutMs, started)) {
    StopWorker(false);
    workerLost = true;
    return false;
  }
  if (header.code == kRepaired) {
    // Pages that the document's page tree lost came to light: its repaired copy replaces it.
    OpenResult repaired;
    if (ReceiveOpened(header, timeoutMs, started, repaired) != kOk) {
      StopWorker(false);
      return false;
    }
    repaired.repaired = true;
    AnnounceReplaced(std::move(repaired), answer.job.generation);
    return false;
  }
  if (header.code != kOk) {
    if (header.size != 0) StopWorker(false);
    answer.tooLarge = header.code == kTooLarge;
    return false;
  }
  if (header.size > kMaxTextPayload) {
    // The rest of it is not read: the worker is out of step and replaced.
    StopWorker(false);
    answer.tooLarge = true;
    return false;
  }
  std::vector<char> payload(header.size);
  if (!payload.empty() && !Receive(payload.data(), header.size, timeoutMs, started)) {
    StopWorker(false);
    workerLost = true;
    return false;
  }
  answer.text = std::move(payload);
  answer.failed = false;
  return true;
}

// One step of the search in progress: a run of pages under the step's time, or, after a lost
// worker, one page. Ends the search with an answer when it finds or has gone through all.
void RendererClient::FindStep() {
  Search search;
  {
    std::lock_guard lock(mutex_);
    if (!search_) return;
    search = *search_;
  }
  const TextJob& job = search.job;
  FindProgress& progress = search.progress;
  const uint32_t left = progress.total - progress.searched;
  const uint32_t units = uint32_t(std::min<size_t>(job.query.size(), kMaxPathUnits));
  const FindRequest request{progress.page + 1, search.singlePages ? 1u : left, job.forward ? 1u : 0u, kFindStepMs};
  std::vector<char> payload(sizeof request + units * 2);
  std::memcpy(payload.data(), &request, sizeof request);
  std::memcpy(payload.data() + sizeof request, job.query.data(), units * 2);
  TextAnswer answer;
  answer.job = job;
  bool workerLost = false;
  // A page gets its whole time even at the end of a step.
  const DWORD timeout = kPageTextTimeoutMs + (search.singlePages ? 0 : kFindStepMs);
  const bool answered = Exchange(kFind, payload, timeout, answer, workerLost);
  FindAnswer found{};
  if (answered && answer.text.size() >= sizeof found) {
    std::memcpy(&found, answer.text.data(), sizeof found);
    answer.text.erase(answer.text.begin(), answer.text.begin() + sizeof found);
  }
  bool done = false;
  const uint32_t count = progress.total;
  auto advance = [&](uint32_t pages) {
    progress.searched += pages;
    progress.page = job.forward ? (progress.page + pages) % count : (progress.page + count - pages % count) % count;
  };
  if (answered && found.searched >= 1 && found.searched <= left && found.tooLarge <= found.searched) {
    search.tooLarge += found.tooLarge;
    if (search.singlePages) --search.singlePages;
    if (found.page != 0) {
      answer.foundPage = int(found.page) - 1;
      done = true;
    } else {
      advance(found.searched);
      answer.text.clear();
    }
  } else if (workerLost && !search.singlePages) {
    // Somewhere in this step: go again page by page, within what a step can reach.
    search.singlePages = 1000;
  } else {
    // The page to blame, or an answer not to be trusted: skip it and go on.
    ++search.skipped;
    search.singlePages = 0;
    advance(1);
    answer.text.clear();
  }
  if (progress.searched >= progress.total) done = true;
  answer.failed = false;
  answer.skipped = search.skipped;
  answer.tooLargePages = search.tooLarge;
  std::lock_guard lock(mutex_);
  // Cancelled or replaced meanwhile: the step's result is dropped.
  if (!search_ || search_->job.id != job.id) return;
  if (done) {
    search_.reset();
    GuardThread([&] { textDone_.push_back(std::move(answer)); });
  } else {
    *search_ = std::move(search);
  }
}

}  // namespace pdfview

namespace pdfview {

RenderedPage RendererClient::RenderNow(const RenderJob& job, const std::function<bool()>& keepWaiting) {
  std::unique_lock lock(mutex_);
  urgentDone_.reset();
  urgent_ = job;
  wake_.notify_all();
  for (;;) {
    if (urgentDone_) {
      RenderedPage page = std::move(*urgentDone_);
      urgentDone_.reset();
      return page;
    }
    lock.unlock();
    const bool goOn = keepWaiting();
    lock.lock();
    if (!goOn) break;
    textReady_.wait_for(lock, std::chrono::milliseconds(30));
  }
  // Given up: a job not yet started is dropped; one in progress ends by itself, unseen.
  urgent_.reset();
  RenderedPage page;
  page.job = job;
  page.failed = true;
  return page;
}

}  // namespace pdfview
