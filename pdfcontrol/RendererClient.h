// The control's side of the rendering worker: starts PdfRender.exe, talks to it from a thread
// of its own, and restarts it when it crashes, hangs or breaks the conversation. Opening a
// document waits for the answer; page renders run in the background and are announced to a
// window with a posted message, then collected with TakeFinished.
#pragma once

#include "pdfcontrol/RenderProtocol.h"
#include "pdfcontrol/WorkerProcess.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pdfview {

struct RenderJob {
  uint32_t generation = 0;  // the document the page belongs to
  uint32_t page = 0;        // from 0
  uint32_t width = 0, height = 0;
  // Turned by quarter turns clockwise; or a band of width x height at (left, top) of the page
  // drawn pageWidth x pageHeight (0: the page is the band).
  uint32_t quarterTurns = 0;
  uint32_t pageWidth = 0, pageHeight = 0, left = 0, top = 0;
  bool operator==(const RenderJob&) const = default;
};

// Sections of pages let go, kept mapped for a later page that fits: a fresh section costs new
// memory and a first touch of each of its pages in both processes, about as long again as
// drawing into one used before. A pool is shared by a client and the pages it made, and goes
// with the last of them.
class SectionPool {
 public:
  static constexpr size_t kMaxSections = 4;
  static constexpr size_t kMaxBytes = size_t(32) << 20;
  SectionPool() = default;
  ~SectionPool();
  SectionPool(const SectionPool&) = delete;
  SectionPool& operator=(const SectionPool&) = delete;

  // A kept section of at least `bytes` and at most a quarter more, mapped for reading whole;
  // false when none fits.
  bool Take(size_t bytes, HANDLE& section, const uint32_t*& view, size_t& capacity);
  // Keeps the section (view mapped over all of its `capacity` bytes) or closes it.
  void Give(HANDLE section, const uint32_t* view, size_t capacity);

 private:
  struct Kept {
    HANDLE section;
    const uint32_t* view;
    size_t capacity;
  };
  std::mutex mutex_;
  std::vector<Kept> kept_;  // the last given last
};

// A page's pixels, B, G, R, 255 each, rows top down, read where the worker drew them: in a
// memory section shared with it, so that they are never copied. A section of the pool may be
// larger than the page; only the page's pixels are read, and only once the worker has drawn.
class PagePixels {
 public:
  PagePixels() = default;
  explicit PagePixels(size_t count, std::shared_ptr<SectionPool> pool = nullptr);
  ~PagePixels();
  PagePixels(PagePixels&& other) noexcept;
  PagePixels& operator=(PagePixels&& other) noexcept;

  bool Made() const { return section_ != nullptr; }
  // A handle for the worker, which closes it; 0 on failure.
  uint32_t HandFor(HANDLE worker) const;
  // Maps the pixels for reading, once the worker has drawn them.
  bool Map();
  const uint32_t* data() const { return drawn_ ? view_ : nullptr; }
  size_t size() const { return drawn_ ? count_ : 0; }

 private:
  void Release();
  size_t count_ = 0;
  size_t capacity_ = 0;  // bytes of the section, at least count_ * 4
  HANDLE section_ = nullptr;
  const uint32_t* view_ = nullptr;
  bool drawn_ = false;
  std::shared_ptr<SectionPool> pool_;
};

struct RenderedPage {
  RenderJob job;
  bool failed = false;
  uint32_t workerStarts = 0;  // RendererClient::WorkerStarts() when it was answered
  uint32_t width = 0, height = 0;
  PagePixels pixels;
};

// A page's text, or a search through pages for a text, for the document of `generation`.
struct TextJob {
  uint32_t generation = 0;
  uint32_t id = 0;  // given by RequestText
  bool find = false;
  uint32_t page = 0;   // from 0: the page, or where a search starts
  uint32_t count = 0;  // pages a search goes through
  bool forward = true;
  std::wstring query;
  bool outline = false;  // the document's outline (Outline.h) rather than a page's text
#ifdef FOLVANE_TEST_SEAMS
  bool held = false;        // asks what the worker holds of text instead (kTextHeld)
  uint32_t heldBudget = 0;  // with held, the worker's budget set first, unless 0
#endif
};

struct TextAnswer {
  TextJob job;
  bool failed = false;
  bool tooLarge = false;       // failed: the text is over the protocol's bounds
  int foundPage = -1;          // a search's page with a match, from 0
  uint32_t skipped = 0;        // a search's pages given up on: too slow, or fatal to the worker
  uint32_t tooLargePages = 0;  // a search's pages passed over for text over the bounds
  std::vector<char> text;      // the page's text, encoded (PageText.h)
};

// How far the search in progress has come.
struct FindProgress {
  uint32_t id = 0;  // 0: no search runs
  uint32_t searched = 0;
  uint32_t total = 0;
  uint32_t page = 0;  // the next page looked at, from 0
};

struct OpenResult {
  uint32_t code = pdfrender::kCannotOpen;  // pdfrender::Answer, or kWorkerFailed
  uint32_t generation = 0;
  uint32_t pageCount = 0;
  // The first pages' sizes; the others follow in the background (TakeSizes).
  std::vector<pdfrender::PageSize> pages;
  bool repaired = false;  // opened from a repaired copy of a damaged file
};

// Page sizes that arrived after the document was opened, from page `first` (from 0) on.
struct ArrivedSizes {
  uint32_t generation = 0;
  uint32_t first = 0;
  std::vector<pdfrender::PageSize> sizes;
};

class RendererClient {
 public:
  // Answer code for a worker that could not start, crashed or stopped answering.
  static constexpr uint32_t kWorkerFailed = 100;
  // Answer code for an answer that breaks the protocol's promises (a page size out of bounds).
  static constexpr uint32_t kAnswerRefused = 101;
  static constexpr DWORD kStartTimeoutMs = 60000;
  static constexpr DWORD kOpenTimeoutMs = 30000;
  static constexpr DWORD kRenderTimeoutMs = 60000;
  // A page whose text takes longer, or that ends the worker, is skipped by a search, which goes
  // on from the next page; the search as a whole has no limit.
  static constexpr DWORD kPageTextTimeoutMs = 10000;
  // A search answers at least this often, so that it reports progress and can be cancelled.
  static constexpr uint32_t kFindStepMs = 100;

  explicit RendererClient(std::wstring workerPath);
  ~RendererClient();
  RendererClient(const RendererClient&) = delete;
  RendererClient& operator=(const RendererClient&) = delete;

  // The notify message's wparam when the open document was found replaced on disk.
  static constexpr WPARAM kDocumentReplaced = 1;

  void SetNotifyWindow(HWND window, UINT message);
  // Starts the worker ahead of the first document.
  void WarmUp();
  // How the view will ask for a new document's first page, which the worker then draws
  // ahead (pdfrender::OpenRequest); a view width of 0 for none.
  void SetFirstView(pdfrender::OpenRequest view);
  OpenResult Open(const std::wstring& path);
  // The document as found again after the worker's restart, when its pages are no longer
  // those it was opened with: a document of its own, with a new generation.
  bool TakeReplaced(OpenResult& replaced);
  // Forgets the document; pending renders of it are dropped.
  void CloseDocument();
  // Replaces the renders still waiting; the first is done first.
  void Request(std::vector<RenderJob> jobs);
  std::vector<RenderedPage> TakeFinished();
  // Announced like renders.
  std::vector<ArrivedSizes> TakeSizes();
  // Workers started so far; a restart is announced like a render.
  uint32_t WorkerStarts() const { return workerStarts_; }

  // Page text runs after renders, the newest request first; a search runs in steps after
  // both, one at a time: a new one replaces it. Answers and a search's progress are
  // announced with their own message.
  void SetTextMessage(UINT message);
  uint32_t RequestText(TextJob job);
  void CancelFind();
  FindProgress Progress();
  std::vector<TextAnswer> TakeText();
  // Waits for one answer (which TakeText then no longer gives); failed after the timeout.
  TextAnswer WaitText(uint32_t id, DWORD timeoutMs);
  // Set whenever a text answer or a search's progress is announced, so that a thread that
  // also waits for its window's messages wakes at once.
  HANDLE TextSignal() const { return textSignal_; }

  // Renders one job ahead of all others (printing) and waits for it, calling keepWaiting
  // now and then: when that answers false the wait is given up and the job dropped.
  RenderedPage RenderNow(const RenderJob& job, const std::function<bool()>& keepWaiting);

 private:
  void StartThread();
  void Run();
  RenderedPage RenderUnlocked(const RenderJob& job, std::unique_lock<std::mutex>& lock);
  bool EnsureWorker();
  void StopWorker(bool polite);
  bool Send(uint32_t code, const void* payload, uint32_t size);
  bool Receive(void* data, uint32_t size, DWORD timeoutMs, DWORD started);
  bool WaitForAnswer(DWORD timeoutMs, DWORD started);
  bool ReceiveHeader(pdfrender::Header& header, DWORD timeoutMs);
  OpenResult DoOpen(const std::wstring& path, pdfrender::OpenRequest view = {});
  bool Reopen(uint32_t generation);
  uint32_t ReceiveOpened(const pdfrender::Header& header, DWORD timeoutMs, DWORD started, OpenResult& result);
  void AnnounceReplaced(OpenResult replaced, uint32_t generation);
  template <typename Answer, typename Job, typename Once>
  Answer WithOneRetry(const Job& job, Once once);
  RenderedPage DoRender(const RenderJob& job);
  RenderedPage RenderOnce(const RenderJob& job, bool& workerLost);
  TextAnswer DoText(const TextJob& job);
  TextAnswer TextOnce(const TextJob& job, bool& workerLost);
  bool Exchange(uint32_t code, const std::vector<char>& request, DWORD timeoutMs, TextAnswer& answer, bool& workerLost);
  void FindStep();
  bool SizesStep();
  // With the lock held.
  void AnnounceText();

  const std::wstring workerPath_;
  const std::shared_ptr<SectionPool> sections_ = std::make_shared<SectionPool>();
  WorkerProcess worker_;
  HANDLE process_ = nullptr;  // the worker's, while it runs
  HANDLE toWorker_ = nullptr;
  HANDLE fromWorker_ = nullptr;   // a named pipe's end, opened for overlapped reads
  HANDLE answerReady_ = nullptr;  // the event of a read from it
  HANDLE textSignal_ = nullptr;
  // Set when the document changes, so that the worker gives up the page it is drawing.
  HANDLE cancel_ = nullptr;
  // The document the worker holds, reopened after a restart.
  std::wstring openPath_;
  std::vector<pdfrender::PageSize> openPages_;
  uint32_t openPageCount_ = 0;
  bool openRepaired_ = false;
  bool workerHasDocument_ = false;
  std::atomic<uint32_t> workerStarts_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable opened_;
  bool stop_ = false;
  bool warmUp_ = false;
  bool openPending_ = false;
  bool abortRender_ = false;
  std::wstring openRequest_;
  pdfrender::OpenRequest firstView_{};
  bool openDone_ = false;
  OpenResult openResult_;
  std::optional<OpenResult> replaced_;
  uint32_t generation_ = 0;
  std::deque<RenderJob> jobs_;
  std::optional<RenderJob> urgent_;
  std::optional<RenderedPage> urgentDone_;
  RenderJob inFlight_;
  std::vector<RenderedPage> finished_;
  std::deque<TextJob> textJobs_;
  struct Search {
    TextJob job;
    FindProgress progress;
    uint32_t skipped = 0, tooLarge = 0;
    // After a step lost the worker: pages one at a time until the one to blame is skipped.
    uint32_t singlePages = 0;
  };
  std::optional<Search> search_;
  // Pages whose sizes are still to be asked for: [sizesNext_, sizesEnd_), from 0.
  uint32_t sizesNext_ = 0, sizesEnd_ = 0;
  std::vector<ArrivedSizes> sizesDone_;
  std::vector<TextAnswer> textDone_;
  std::condition_variable textReady_;
  uint32_t lastTextId_ = 0;
  UINT textMessage_ = 0;
  HWND notifyWindow_ = nullptr;
  UINT notifyMessage_ = 0;
  std::thread thread_;
};

}  // namespace pdfview
