// What a hostile document or a subverted worker can do to the control and its host: links
// that point at programs, a worker that tries to start one or answers out of bounds, a page of
// endless text, a host that dies under its worker. Programs that the tests build stand in for
// what a stranger's document points at (a program that leaves a mark when it runs) and for a
// worker that answers what the test tells it (FakeWorker.cpp).
#include "tests/pdfcontrol/FakeWorker.h"
#include "tests/pdfcontrol/TestHost.h"
#include "tests/pdfcontrol/TestPdf.h"
#include "tests/support/WindowTesting.h"

#include "pdfcontrol/AddressBox.h"
#include "pdfcontrol/LinkPolicy.h"
#include "pdfcontrol/ReaderTools.h"
#include "pdfcontrol/RendererClient.h"
#include "pdfcontrol/ViewerWindow.h"
#include "pdfcontrol/WorkerProcess.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

using namespace testhost;
using pdfview::LinkAction;

namespace {

std::wstring ExeFolder() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  return folder.erase(folder.find_last_of(L'\\') + 1);
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ReadWide(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"";
  std::wstring text(GetFileSize(file, nullptr) / 2, L'\0');
  DWORD got = 0;
  ReadFile(file, text.data(), DWORD(text.size() * 2), &got, nullptr);
  CloseHandle(file);
  return text;
}

pdfview::PageLink Outside(const std::wstring& address) {
  pdfview::PageLink link;
  link.address = address;
  return link;
}

TEST(LinkPolicy, OpensOnlyWebAndMailAddressesAfterAskingAndNeverAProgram) {
  const struct {
    std::wstring address;
    LinkAction action;
  } cases[] = {
      {L"http://example.com/a?b=c#d", LinkAction::kAskToOpen},
      {L"https://example.com/", LinkAction::kAskToOpen},
      {L"mailto:someone@example.com", LinkAction::kAskToOpen},
      {L"HTTP://EXAMPLE.COM/", LinkAction::kAskToOpen},
      {L"file:///C:/Users/me/Downloads/setup.exe", LinkAction::kRefuse},
      {L"file://server/share/setup.exe", LinkAction::kRefuse},
      {L"FILE:setup.exe", LinkAction::kRefuse},
      {L"setup.exe", LinkAction::kRefuse},
      {L"..\\setup.exe", LinkAction::kRefuse},
      {L"C:\\Windows\\System32\\calc.exe", LinkAction::kRefuse},
      {L"C:/Windows/System32/calc.exe", LinkAction::kRefuse},
      {L"\\\\server\\share\\x.exe", LinkAction::kRefuse},
      {L"//server/share/x.exe", LinkAction::kRefuse},
      {L"javascript:alert(1)", LinkAction::kRefuse},
      {L"data:text/html,<script>alert(1)</script>", LinkAction::kRefuse},
      {L"ms-msdt:/id PCWDiagnostic", LinkAction::kRefuse},
      {L"search-ms:query=x&crumb=location:\\\\server\\share", LinkAction::kRefuse},
      {L"shell:startup", LinkAction::kRefuse},
      {L"http:setup.exe", LinkAction::kRefuse},
      {L"http:///C:/setup.exe", LinkAction::kRefuse},
      {L" http://example.com/", LinkAction::kRefuse},
      {L"http://example.com/\r\nsetup.exe", LinkAction::kRefuse},
      {L"http://exa\tmple.com/", LinkAction::kRefuse},
      {L"http://example.com/\" --flag \"", LinkAction::kRefuse},
      {L"http://example.com/\u202Eexe.txt", LinkAction::kRefuse},
      {L"mailto:", LinkAction::kRefuse},
      {L"", LinkAction::kRefuse},
      {L"http://example.com/" + std::wstring(2048 - 19, L'a'), LinkAction::kAskToOpen},
      {L"http://example.com/" + std::wstring(2048 - 18, L'a'), LinkAction::kRefuse},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pdfview::DecideLink(Outside(c.address)), c.action) << std::string(c.address.begin(), c.address.end());
    const std::wstring tip = pdfview::LinkTip(Outside(c.address));
    EXPECT_EQ(tip.find(L"Not opened") != std::wstring::npos, c.action == LinkAction::kRefuse) << tip.size();
  }
  pdfview::PageLink inside;
  inside.targetPage = 2;
  EXPECT_EQ(pdfview::DecideLink(inside), LinkAction::kJump);
  // The tip shows an over-long address cut, and no control character.
  const std::wstring tip = pdfview::LinkTip(Outside(L"file:///C:/x\n" + std::wstring(5000, L'b')));
  EXPECT_LT(tip.size(), 400u);
  EXPECT_EQ(tip.find(L'\n'), tip.find(L"\nNot opened"));
}

// Answers the control's address box from another thread while the control's thread waits in
// it: reads the address the box shows and presses the button asked for, with the mouse.
class AddressBoxAnswerer {
 public:
  explicit AddressBoxAnswerer(DWORD thread) : thread_(thread), worker_([this] { Run(); }) {}
  ~AddressBoxAnswerer() {
    stop_ = true;
    worker_.join();
  }
  std::atomic<int> press{IDCANCEL};
  std::atomic<int> shown{0};
  std::wstring last_address;  // read once shown changes

 private:
  static BOOL CALLBACK FindBox(HWND window, LPARAM out) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) *reinterpret_cast<HWND*>(out) = window;
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      HWND box = nullptr;
      EnumThreadWindows(thread_, FindBox, LPARAM(&box));
      if (!box) {
        Sleep(20);
        continue;
      }
      wchar_t text[4096] = {};
      for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        GetClassNameW(child, name, 16);
        if (lstrcmpiW(name, L"Edit") == 0) SendMessageW(child, WM_GETTEXT, 4096, LPARAM(text));
      }
      last_address = text;
      wchar_t caption[64] = {};
      GetWindowTextW(box, caption, 64);
      if (lstrcmpW(caption, pdfview::kAddressBoxCaption) != 0) last_address = L"<another box>";
      RECT button{};
      GetWindowRect(GetDlgItem(box, press), &button);
      ++shown;
      ClickAt(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
      for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    }
  }
  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

// Makes a registry value of the machine's classes say what the test needs, and puts it back.
class ClassesValue {
 public:
  ClassesValue(const wchar_t* key, const std::wstring& value) : key_(key) {
    HKEY k = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, key_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    wchar_t old[1024] = {};
    DWORD size = sizeof old;
    had_ = RegQueryValueExW(k, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
    old_ = old;
    RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD((value.size() + 1) * 2));
    RegCloseKey(k);
  }
  ~ClassesValue() {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key_, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    if (had_) {
      RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()), DWORD((old_.size() + 1) * 2));
    } else {
      RegDeleteValueW(k, nullptr);
    }
    RegCloseKey(k);
  }

 private:
  const wchar_t* key_;
  bool had_ = false;
  std::wstring old_;
};

// Each test makes the control at the size it needs.
class HostileInput : public ControlTest {};

std::string PdfString(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'(' || c == L')') out += '\\';
    out += char(c);
  }
  return out;
}

TEST_F(HostileInput, LinksToAProgramBesideTheDocumentNeverStartIt) {
  const std::wstring folder = TempFolder() + L"links\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring program = folder + L"setup.exe", mark = program + L".ran";
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"pdfcontrol_marker.exe").c_str(), program.c_str(), FALSE));
  DeleteFileW(mark.c_str());
  std::wstring file_url = L"file:///" + program;
  for (wchar_t& c : file_url) c = c == L'\\' ? L'/' : c;
  const std::wstring web = L"http://example.invalid/page?x=1";
  // One link a band, 30 points high, from the top of the page down.
  const std::string actions[] = {
      "/A << /S /URI /URI (setup.exe) >>",
      "/A << /S /URI /URI (" + PdfString(file_url) + ") >>",
      "/A << /S /URI /URI (" + PdfString(program) + ") >>",
      "/A << /S /Launch /F (setup.exe) >>",
      "/A << /S /URI /URI (" + PdfString(web) + ") >>",
  };
  testpdf::Page page;
  page.width = 200;
  page.height = 220;
  page.content = "0 g BT /F1 10 Tf 20 205 Td (Links here) Tj ET";
  for (int i = 0; i < 5; ++i) {
    const int top = 220 - 20 - 40 * i;
    page.annots += "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [20 " + std::to_string(top - 30) + " 180 " +
                   std::to_string(top) + "] " + actions[i] + " >> ";
  }
  const std::wstring document = WriteFile(L"links\\links.pdf", testpdf::Document({page}));
  // The program is where a relative name finds it.
  wchar_t was[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, was);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  // The platform's handler for web addresses is the marking program too: it shows whether, and
  // with what, the control handed an address over.
  const ClassesValue handler(L"http\\shell\\open\\command", L"\"" + program + L"\" \"%1\"");

  MakeControl(600, 720);
  IDispatch* d = control_->dispatch;
  ASSERT_TRUE(OpenDocument(d, document));
  ASSERT_TRUE(WaitUntilShown(d));
  ASSERT_TRUE(PumpUntil([&] { return Find(d, L"Links here"); }, 30000));
  RECT client;
  GetClientRect(control_->window, &client);
  const double s = (client.right - 16) / 200.0;
  auto band = [&](int i) { return OnScreen(control_->window, 8 + int(100 * s), 26 + 8 + int((20 + 40 * i + 15) * s)); };

  AddressBoxAnswerer answerer(GetCurrentThreadId());
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(PointAt(band(i)));
    if (i != 3) {  // a launch action is no link at all
      EXPECT_TRUE(PumpUntil([] { return ShownTip().find(L"Not opened") != std::wstring::npos; }, kInputWaitMs)) << i;
    }
    ClickAt(band(i));
  }
  PumpUntil([] { return false; }, 1500);
  EXPECT_EQ(answerer.shown, 0) << "no box for a program";
  EXPECT_FALSE(Exists(mark)) << "the program ran";

  // The web address: the box shows it whole, and Cancel opens nothing.
  ASSERT_TRUE(PointAt(band(4)));
  // A tip shows after the platform's hover time, which a loaded machine stretches.
  EXPECT_TRUE(PumpUntil([&] { return ShownTip() == web; }, kInputWaitMs));
  ASSERT_TRUE(ClickUntil(band(4), [&] { return answerer.shown == 1; }));
  PumpUntil([] { return false; }, 1500);
  EXPECT_TRUE(answerer.last_address == web);
  EXPECT_FALSE(Exists(mark));
  // Open hands over exactly what the box showed.
  answerer.press = IDOK;
  ASSERT_TRUE(ClickUntil(band(4), [&] { return answerer.shown == 2; }));
  // The program writes its line after it made the file.
  EXPECT_TRUE(PumpUntil([&] { return ReadWide(mark).find(L'\n') != std::wstring::npos; }, 15000));
  const std::wstring ran = ReadWide(mark);
  std::string shown;
  for (wchar_t c : ran) shown += c < 128 ? char(c) : '?';
  EXPECT_NE(ran.find(L"\"" + web + L"\""), std::wstring::npos) << shown;
  SetCurrentDirectoryW(was);
}

// The worker processes that this process started.
std::vector<DWORD> WorkersOf(DWORD parent, const wchar_t* name) {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parent && lstrcmpiW(entry.szExeFile, name) == 0) {
      found.push_back(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return found;
}

// The control keeps its worker's job in this very process: found among its handles.
HANDLE JobHolding(HANDLE process) {
  for (uintptr_t value = 4; value < 0x10000; value += 4) {
    BOOL inside = FALSE;
    const HANDLE candidate = reinterpret_cast<HANDLE>(value);
    if (candidate != process && IsProcessInJob(process, candidate, &inside) && inside) return candidate;
  }
  return nullptr;
}

TEST_F(HostileInput, TheWorkerRunsInItsJobAndInheritsNothingElse) {
  // Inheritable, made before the worker: it must not reach the worker.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE stray = CreateEventW(&inherit, TRUE, FALSE, nullptr);
  MakeControl(420, 320);
  ASSERT_TRUE(OpenDocument(control_->dispatch, WriteFile(L"job.pdf", testpdf::Document({testpdf::Page{}}))));
  ASSERT_TRUE(WaitUntilShown(control_->dispatch));
  const std::vector<DWORD> workers = WorkersOf(GetCurrentProcessId(), L"PdfRender.exe");
  ASSERT_EQ(workers.size(), 1u);
  HANDLE worker = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_DUP_HANDLE | SYNCHRONIZE, FALSE, workers[0]);
  ASSERT_NE(worker, nullptr);
  const HANDLE job = JobHolding(worker);
  ASSERT_NE(job, nullptr) << "the worker is in no job of the control's";

  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  ASSERT_TRUE(QueryInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr));
  bool flags_read = true;
  const DWORD flags = limits.BasicLimitInformation.LimitFlags;
  if (UnderWine() && flags == 0) {
    // Wine keeps a job's limits (it ends the job's processes when the job closes) but answers
    // zeros when asked for them.
    std::printf("Wine reports no limits of a job\n");
    flags_read = false;
  }
  for (DWORD flag : {DWORD(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE), DWORD(JOB_OBJECT_LIMIT_ACTIVE_PROCESS),
                     DWORD(JOB_OBJECT_LIMIT_PROCESS_MEMORY), DWORD(JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION)}) {
    if (flags_read) {
      EXPECT_TRUE(flags & flag) << std::hex << flag;
    }
  }
  if (flags_read) {
    EXPECT_EQ(limits.BasicLimitInformation.ActiveProcessLimit, 1u);
    EXPECT_GT(limits.ProcessMemoryLimit, SIZE_T(256) << 20);
    EXPECT_LT(limits.ProcessMemoryLimit, SIZE_T(1) << 30) << "room left in a 32-bit address space";
  }
  JOBOBJECT_BASIC_UI_RESTRICTIONS ui{};
  if (QueryInformationJobObject(job, JobObjectBasicUIRestrictions, &ui, sizeof ui, nullptr)) {
    EXPECT_EQ(ui.UIRestrictionsClass & pdfview::kWorkerUiLimits, pdfview::kWorkerUiLimits);
  } else {
    std::printf("UI restrictions cannot be read back here (error %lu)\n", GetLastError());
    EXPECT_TRUE(UnderWine());
  }

  // Low integrity where the platform labels tokens.
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(worker, TOKEN_QUERY, &token));
  char label[64] = {};
  DWORD size = 0;
  if (GetTokenInformation(token, TokenIntegrityLevel, label, sizeof label, &size)) {
    const PSID sid = *reinterpret_cast<PSID*>(label);
    const DWORD level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
    std::printf("the worker's integrity level: 0x%lx\n", level);
    if (!UnderWine()) {
      EXPECT_EQ(level, 0x1000u) << "low";
    }
  }
  CloseHandle(token);

  // A handle that the worker inherited would be the same object under the same value there.
  HANDLE copy = nullptr;
  if (DuplicateHandle(worker, stray, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    SetEvent(stray);
    const bool set = WaitForSingleObject(copy, 0) == WAIT_OBJECT_0;
    ResetEvent(stray);
    const bool reset = WaitForSingleObject(copy, 0) == WAIT_TIMEOUT;
    EXPECT_FALSE(set && reset) << "the worker inherited a handle it was not given";
    CloseHandle(copy);
  }
  CloseHandle(stray);
  CloseHandle(worker);
}

TEST(HostileWorker, IsRefusedWhatItsJobForbids) {
  const std::wstring marker = ExeFolder() + L"pdfcontrol_marker.exe";
  DeleteFileW((marker + L".ran").c_str());
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", (L"probe:" + marker).c_str());
  uint32_t answer = 0;
  {
    pdfview::RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
    answer = client.Open(L"C:\\any.pdf").code;
  }
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", nullptr);
  ASSERT_EQ(answer & ~0xFFu, 0x100u);
  // Wine keeps these limits (they read back as zeros there) but enforces none of them.
  const uint32_t unenforced =
      UnderWine() ? kProbeSpawn | kProbeClipboard | kProbeAtom | kProbeMemory | kProbeSettings : 0;
  const struct {
    ProbeBit bit;
    const char* what;
  } limits[] = {{kProbeSpawn, "started a program"},
                {kProbeClipboard, "took the clipboard"},
                {kProbeAtom, "added a global atom"},
                {kProbeMemory, "committed 900 MB"},
                {kProbeSettings, "changed a system setting"}};
  for (const auto& limit : limits) {
    std::printf("the worker %s: %s\n", limit.what, answer & limit.bit ? "yes" : "no");
    if (!(unenforced & limit.bit)) {
      EXPECT_FALSE(answer & limit.bit) << limit.what;
    }
  }
  if (!(unenforced & kProbeSpawn)) {
    EXPECT_FALSE(Exists(marker + L".ran"));
  }
}

std::string Hex(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<const unsigned char*>(data)[i];
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// An answer as the worker writes it: header, then the words and floats given.
struct Words {
  std::vector<char> bytes;
  template <typename T>
  Words& operator<<(T value) {
    const size_t at = bytes.size();
    bytes.resize(at + sizeof value);
    std::memcpy(bytes.data() + at, &value, sizeof value);
    return *this;
  }
};

std::string OpenAnswer(uint32_t declared_size, uint32_t count, uint32_t known, std::vector<float> sizes) {
  Words w;
  w << uint32_t(pdfrender::kOk) << declared_size << count << known;
  for (float f : sizes) w << f;
  return Hex(w.bytes.data(), w.bytes.size());
}

// A search of 2,000 pages on a worker that hangs on page 5: the page is skipped after its time
// and the search finds on the last page; a search cancelled midway answers nothing more.
TEST(HostileWorker, ASearchSkipsAPageThatHangsAndCanBeCancelled) {
  using pdfview::RendererClient;
  const struct {
    const char* order;
    bool cancel;
    int foundPage;
    uint32_t skipped;
  } cases[] = {
      {"find:2000,5,2000,0", false, 1999, 1},
      {"find:2000,0,0,5", true, -1, 0},
  };
  for (const auto& c : cases) {
    SetEnvironmentVariableA("FOLVANE_FAKE_WORKER", c.order);
    RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
    const pdfview::OpenResult opened = client.Open(L"C:\\any.pdf");
    ASSERT_EQ(opened.code, pdfrender::kOk) << c.order;
    EXPECT_EQ(opened.pageCount, 2000u);
    pdfview::TextJob job;
    job.generation = opened.generation;
    job.find = true;
    job.count = 2000;
    job.query = L"anything";
    const uint32_t id = client.RequestText(job);
    if (c.cancel) {
      const DWORD started = GetTickCount();
      while (client.Progress().searched < 20 && GetTickCount() - started < 20000) Sleep(10);
      EXPECT_EQ(client.Progress().id, id);
      EXPECT_GE(client.Progress().searched, 20u);
      client.CancelFind();
      EXPECT_EQ(client.Progress().id, 0u);
      EXPECT_TRUE(client.WaitText(id, 1000).failed) << "a cancelled search answered";
      continue;
    }
    const pdfview::TextAnswer answer = client.WaitText(id, 60000);
    EXPECT_FALSE(answer.failed) << c.order;
    EXPECT_EQ(answer.foundPage, c.foundPage) << c.order;
    EXPECT_EQ(answer.skipped, c.skipped) << c.order;
  }
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", nullptr);
}

// A page whose render failed is tried again after the worker restarts, as a restart that the
// page did not cause may have ended the worker it failed in; but only once, so that a page
// that ends every worker is not asked for without end.
TEST(HostileWorker, AFailedPageIsTriedAgainOnceAfterTheWorkerRestarts) {
  const struct {
    int failures;
    bool drawn;
  } cases[] = {{1, true}, {5, false}};
  const std::wstring counter = ExeFolder() + L"render-count.txt";
  for (const auto& c : cases) {
    DeleteFileW(counter.c_str());
    const std::string order =
        "render:" + std::to_string(c.failures) + "," + std::string(counter.begin(), counter.end());
    SetEnvironmentVariableA("FOLVANE_FAKE_WORKER", order.c_str());
    pdfview::RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
    const HWND host = CreateHostWindow(300, 300);
    pdfview::ViewerWindow viewer(client);
    ASSERT_NE(viewer.Create(host, RECT{0, 0, 300, 300}), nullptr);
    const pdfview::OpenResult opened = client.Open(L"C:\\any.pdf");
    ASSERT_EQ(opened.code, pdfrender::kOk);
    viewer.ShowDocument(opened.generation, opened.pages, opened.pageCount);
    Pump(1000);
    // Each restart is started by a request of another kind, here a page's text.
    for (int restart = 0; restart < 3; ++restart) {
      pdfview::TextJob job;
      job.generation = opened.generation;
      client.WaitText(client.RequestText(job), 10000);
      Pump(1000);
    }
    int asked = 0;
    if (FILE* f = _wfopen(counter.c_str(), L"r")) {
      if (fscanf(f, "%d", &asked) != 1) asked = -1;
      fclose(f);
    }
    EXPECT_EQ(asked, 2) << "renders asked, failing " << c.failures;
    EXPECT_FALSE(viewer.Busy());
    const pdfview::PageBox box = viewer.Layout().Box(0);
    HDC screen = GetDC(host);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 300);
    HGDIOBJ old = SelectObject(memory, bitmap);
    viewer.Draw(memory, RECT{0, 0, 300, 300});
    const COLORREF middle = GetPixel(memory, box.x + box.width / 2, box.y + box.height / 2);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(host, screen);
    EXPECT_EQ(middle == RGB(0, 0, 255), c.drawn) << "failing " << c.failures;
    viewer.Destroy();
    DestroyWindow(host);
  }
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", nullptr);
  DeleteFileW(counter.c_str());
}

// The first page goes to the worker before anything that the tools over the pages ask for
// when a document comes: its ink is what the user waits for. The tools here wait for their
// text right away, so that a text asked first would also be answered first.
TEST(WorkerOrder, TheFirstPageIsAskedBeforeTheToolsAskForText) {
  class TextAsker : public pdfview::ViewerWindow::Extension {
   public:
    explicit TextAsker(pdfview::RendererClient& client) : client_(client) {}
    bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) override { return false; }
    int TopReserve() const override { return 0; }
    void PaintOver(HDC, int, const RECT&, double) override {}
    void ViewChanged() override {
      if (generation_ == 0) return;
      pdfview::TextJob job;
      job.generation = generation_;
      client_.WaitText(client_.RequestText(job), 10000);
      generation_ = 0;
    }
    uint32_t generation_ = 0;

   private:
    pdfview::RendererClient& client_;
  };
  const std::wstring log = ExeFolder() + L"request-order.txt";
  DeleteFileW(log.c_str());
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", (L"order:" + log).c_str());
  {
    pdfview::RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
    const HWND host = CreateHostWindow(300, 300);
    pdfview::ViewerWindow viewer(client);
    TextAsker tools(client);
    viewer.SetExtension(&tools);
    ASSERT_NE(viewer.Create(host, RECT{0, 0, 300, 300}), nullptr);
    const pdfview::OpenResult opened = client.Open(L"C:\\any.pdf");
    ASSERT_EQ(opened.code, pdfrender::kOk);
    tools.generation_ = opened.generation;
    viewer.ShowDocument(opened.generation, opened.pages, opened.pageCount);
    for (int waited = 0; waited < 100 && viewer.Busy(); ++waited) Pump(50);
    viewer.SetExtension(nullptr);
    viewer.Destroy();
    DestroyWindow(host);
  }
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", nullptr);
  std::vector<uint32_t> codes;
  if (FILE* f = _wfopen(log.c_str(), L"r")) {
    for (unsigned code = 0; fscanf(f, "%u", &code) == 1;) codes.push_back(code);
    fclose(f);
  }
  DeleteFileW(log.c_str());
  const std::vector<uint32_t> expected{pdfrender::kOpen, pdfrender::kRender, pdfrender::kText};
  ASSERT_GE(codes.size(), expected.size());
  EXPECT_EQ(std::vector<uint32_t>(codes.begin(), codes.begin() + 3), expected);
}

TEST(HostileWorker, AnswersWithBadPageSizesAndCountsAreRefused) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  using pdfview::RendererClient;
  const struct {
    const char* what;
    std::string answer;
    uint32_t code;
  } cases[] = {
      {"a sound page", OpenAnswer(16, 1, 1, {200, 100}), pdfrender::kOk},
      {"no pages", OpenAnswer(8, 0, 0, {}), RendererClient::kWorkerFailed},
      {"too many pages", OpenAnswer(8 + 8 * 100001, 100001, 100001, {}), RendererClient::kWorkerFailed},
      {"count and size disagree", OpenAnswer(16, 2, 2, {200, 100}), RendererClient::kWorkerFailed},
      {"no size", OpenAnswer(8, 1, 0, {}), RendererClient::kWorkerFailed},
      {"more sizes than pages", OpenAnswer(24, 1, 2, {200, 100, 200, 100}), RendererClient::kWorkerFailed},
      {"a size past any pipe", OpenAnswer(0xFFFFFFF0u, 1, 1, {200, 100}), RendererClient::kWorkerFailed},
      {"NaN width", OpenAnswer(16, 1, 1, {nan, 100}), RendererClient::kAnswerRefused},
      {"zero height", OpenAnswer(16, 1, 1, {200, 0}), RendererClient::kAnswerRefused},
      {"negative width", OpenAnswer(16, 1, 1, {-200, 100}), RendererClient::kAnswerRefused},
      {"infinite height", OpenAnswer(16, 1, 1, {200, inf}), RendererClient::kAnswerRefused},
      {"too wide", OpenAnswer(16, 1, 1, {2e5f, 100}), RendererClient::kAnswerRefused},
      {"bad second page", OpenAnswer(24, 2, 2, {200, 100, 200, -inf}), RendererClient::kAnswerRefused},
  };
  for (const auto& c : cases) {
    SetEnvironmentVariableA("FOLVANE_FAKE_WORKER", ("open:" + c.answer).c_str());
    pdfview::RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
    const pdfview::OpenResult result = client.Open(L"C:\\any.pdf");
    EXPECT_EQ(result.code, c.code) << c.what;
    EXPECT_EQ(result.pages.size(), c.code == pdfrender::kOk ? 1u : 0u) << c.what;
  }
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", nullptr);
}

TEST(HostileWorker, TextAnswersOverTheBoundsAreRefused) {
  Words over, refused, sound;
  over << uint32_t(pdfrender::kOk) << uint32_t(pdfrender::kMaxTextPayload + 1);
  refused << uint32_t(pdfrender::kTooLarge) << uint32_t(0);
  sound << uint32_t(pdfrender::kOk) << uint32_t(8) << uint32_t(0) << uint32_t(0);
  const struct {
    const char* what;
    Words answer;
    bool failed, tooLarge;
  } cases[] = {{"over the payload bound", over, true, true},
               {"refused by the worker", refused, true, true},
               {"empty page", sound, false, false}};
  for (const auto& c : cases) {
    SetEnvironmentVariableA("FOLVANE_FAKE_WORKER",
                            ("text:" + Hex(c.answer.bytes.data(), c.answer.bytes.size())).c_str());
    pdfview::RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
    const pdfview::OpenResult opened = client.Open(L"C:\\any.pdf");
    ASSERT_EQ(opened.code, pdfrender::kOk) << c.what;
    pdfview::TextJob job;
    job.generation = opened.generation;
    const pdfview::TextAnswer answer = client.WaitText(client.RequestText(job), 30000);
    EXPECT_EQ(answer.failed, c.failed) << c.what;
    EXPECT_EQ(answer.tooLarge, c.tooLarge) << c.what;
  }
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", nullptr);

  // Decoded page text keeps the bounds: glyphs, address lengths, link targets.
  const struct {
    const char* what;
    uint32_t glyphs, links, addressUnits, targetPage;
    bool decoded;
  } texts[] = {{"sound", 1, 1, 5, 2, true},
               {"too many glyphs", pdfrender::kMaxGlyphs + 1, 0, 0, 0, false},
               {"too many links", 0, pdfrender::kMaxLinks + 1, 0, 0, false},
               {"over-long address", 0, 1, pdfrender::kMaxAddressUnits + 1, 0, false},
               {"target past the last page", 0, 1, 0, 4, false}};
  for (const auto& t : texts) {
    Words w;
    w << t.glyphs << t.links;
    for (uint32_t i = 0; i < std::min<uint32_t>(t.glyphs, 2); ++i) w << pdfrender::GlyphRecord{1, 1, 2, 2, 'a', 0};
    for (uint32_t i = 0; i < std::min<uint32_t>(t.links, 2); ++i) {
      w << pdfrender::LinkRecord{0, 0, 10, 10, t.targetPage, -1, t.addressUnits};
      for (uint32_t u = 0; u < t.addressUnits; ++u) w << uint16_t('x');
    }
    pdfview::PageText text;
    EXPECT_EQ(text.Decode(w.bytes.data(), w.bytes.size(), 3), t.decoded) << t.what;
  }
}

// Committed private memory of this process, counted region by region (Wine answers no
// private bytes through GetProcessMemoryInfo).
size_t PrivateBytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at) break;
  }
  return total;
}

TEST_F(HostileInput, APageOfEndlessTextLeavesTheHostRunningAndSaysWhy) {
  // A million times the same string, invisible, in one content stream (about 20 MB).
  testpdf::Page page;
  page.content.reserve(21'000'000);
  page.content = "BT /F1 1 Tf 3 Tr 10 10 Td ";
  for (int i = 0; i < 1'000'000; ++i) page.content += "(0123456789ABCDEF) Tj\n";
  page.content += "ET";
  const std::wstring document = WriteFile(L"endless.pdf", testpdf::Document({page}));
  page.content.clear();
  page.content.shrink_to_fit();
  MakeControl(420, 320);
  IDispatch* d = control_->dispatch;
  const size_t before = PrivateBytes();
  size_t peak = before;
  ASSERT_TRUE(OpenDocument(d, document));
  auto reason_shown = [&] {
    peak = std::max(peak, PrivateBytes());
    for (HWND w = GetWindow(control_->window, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
      if (TextOf(w) == pdfview::ReaderTools::kTextTooLarge) return true;
    }
    return false;
  };
  EXPECT_TRUE(PumpUntil(reason_shown, 150000));
  EXPECT_FALSE(Find(d, L"0123456789"));
  // One page's answer and its text, far below the document's bound.
  const size_t bound = pdfrender::kMaxTextPayload + (size_t(16) << 20);
  std::printf("private bytes: %zu before, %zu at most while the page was read (bound %zu more)\n", before, peak, bound);
  EXPECT_LT(peak - before, bound);
}

// Run as its own process by the test below, which kills it: a host whose worker hangs in the
// middle of a request, reading nothing, as one hung inside the PDF library would.
TEST(HostileWorker, DISABLED_HostThatIsKilled) {
  SetEnvironmentVariableW(L"FOLVANE_FAKE_WORKER", L"hang:");
  pdfview::RendererClient client(ExeFolder() + L"pdfcontrol_fake_worker.exe");
  client.WarmUp();
  std::vector<DWORD> workers;
  ASSERT_TRUE(PumpUntil(
      [&] { return (workers = WorkersOf(GetCurrentProcessId(), L"pdfcontrol_fake_worker.exe")).size() == 1; }, 30000));
  wchar_t where[MAX_PATH] = {};
  GetEnvironmentVariableW(L"FOLVANE_WORKER_ID_FILE", where, MAX_PATH);
  const std::string id = std::to_string(workers[0]) + "\n";
  HANDLE file = CreateFileW(where, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, id.data(), DWORD(id.size()), &written, nullptr);
  CloseHandle(file);
  Pump(120000);
}

TEST(HostileWorker, EndsWithItsHost) {
  const std::wstring id_file = TempFolder() + L"worker-id.txt";
  DeleteFileW(id_file.c_str());
  SetEnvironmentVariableW(L"FOLVANE_WORKER_ID_FILE", id_file.c_str());
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=HostileWorker.DISABLED_HostThatIsKilled";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION host{};
  ASSERT_TRUE(CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &host));
  SetEnvironmentVariableW(L"FOLVANE_WORKER_ID_FILE", nullptr);
  // The host writes its worker's id, a line, once it shows a document.
  DWORD id = 0;
  auto read_id = [&] {
    HANDLE f = CreateFileW(id_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char text[32] = {};
    DWORD got = 0;
    ReadFile(f, text, sizeof text - 1, &got, nullptr);
    CloseHandle(f);
    if (!std::strchr(text, '\n')) return false;
    id = DWORD(std::strtoul(text, nullptr, 10));
    return true;
  };
  const bool written = PumpUntil(read_id, 90000);
  HANDLE worker = id ? OpenProcess(SYNCHRONIZE, FALSE, id) : nullptr;
  TerminateProcess(host.hProcess, 9);
  WaitForSingleObject(host.hProcess, 5000);
  CloseHandle(host.hThread);
  CloseHandle(host.hProcess);
  ASSERT_TRUE(written) << "the host never started its worker";
  ASSERT_NE(worker, nullptr);
  const DWORD start = GetTickCount();
  EXPECT_EQ(WaitForSingleObject(worker, 2000), WAIT_OBJECT_0) << "the worker outlived its host";
  std::printf("worker gone %lu ms after its host was killed\n", GetTickCount() - start);
  CloseHandle(worker);
}

}  // namespace
