// Damaged documents through the real control: copies of documents that Debian ships (TeX output
// with cross-reference and object streams) are damaged here and opened. What survives shows in
// its place, a page whose objects are lost shows blank with a note, the toolbar says that the
// document is damaged, a document that cannot be shown says why, and the file stays as it was.
#include "tests/support/DamagedCopies.h"
#include "tests/pdfcontrol/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace testhost;

namespace {

constexpr DISPID kCurrentPage = 5;
constexpr int kBelowToolbar = 30;
constexpr const wchar_t* kDamagedNote = L"This document is damaged; the pages that could be read are shown.";

// Copied beside the tests from the Debian packages that scripts/setup-packages.sh installs.
std::string DebianDocument(const wchar_t* name) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe);
  path.erase(path.find_last_of(L'\\') + 1);
  return ReadFileBytes(path + L"debian-docs\\" + name);
}

// Text and drawings; not the page's frame (64, 64, 64).
bool IsInk(unsigned p) { return IsDark(p) && p != 0x404040; }
// The dark red note on a page that cannot be shown.
bool IsPageNote(unsigned p) { return ((p >> 16) & 255) > 120 && ((p >> 8) & 255) < 60 && (p & 255) < 60; }

// The damages, aimed at the parts that TeX writes last: its object streams with the catalog and
// page tree, then the cross-reference stream, which is also the trailer.
size_t ObjectStart(const std::string& document, size_t inside) {
  const size_t header = document.rfind(" obj", inside);
  return document.find_last_of("\r\n", document.rfind(' ', header - 1)) + 1;
}

std::string ZeroStreamData(std::string document, size_t dictionary) {
  const size_t start = document.find("stream", dictionary) + 6;
  const size_t end = document.find("endstream", start);
  std::fill(document.begin() + std::ptrdiff_t(start), document.begin() + std::ptrdiff_t(end), '\0');
  return document;
}

std::string Cut(const std::string& document, int percent) {
  return document.substr(0, document.size() * percent / 100);
}

class DamagedDocuments : public ControlTest {
 protected:
  DamagedDocuments() : ControlTest({.width = 420, .height = 320, .control = true}) {}
  IDispatch* Control() const { return control_->dispatch; }
  // The page (from 1) at the top of the view, once drawn.
  Shot ShowPage(int page) {
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = page;
    Call(Control(), kCurrentPage, DISPATCH_PROPERTYPUT, &argument, nullptr);
    EXPECT_TRUE(WaitUntilShown(Control()));
    return Screenshot(control_->window);
  }
  // The toolbar's note: its ninth window.
  std::wstring Note() const {
    HWND w = GetWindow(control_->window, GW_CHILD);
    for (int i = 0; w && i < 8; ++i) w = GetWindow(w, GW_HWNDNEXT);
    return w ? TextOf(w) : L"<none>";
  }
};

TEST_F(DamagedDocuments, ShowWhatSurvivesOrSayWhyNot) {
  const std::string source = DebianDocument(L"libtasn1.pdf");
  ASSERT_GT(source.size(), 100000u);
  const size_t xref = source.rfind("/Type /XRef");
  const size_t first_object_stream = source.find("/Type /ObjStm");
  const size_t last_object_stream = source.rfind("/Type /ObjStm");
  ASSERT_NE(xref, std::string::npos);
  ASSERT_NE(first_object_stream, last_object_stream);
  ASSERT_TRUE(OpenDocument(Control(), WriteFile(L"whole.pdf", source)));
  const int pages = PageCount(Control());
  ASSERT_GT(pages, 10);
  ShowPage(pages);
  EXPECT_EQ(Note(), L"");

  const size_t startxref = source.rfind("startxref") + 10;
  const std::string encryption = "9999 0 obj\n<< /Filter /Standard /V 1 /R 2 /O <" + std::string(64, 'A') + "> /U <" +
                                 std::string(64, 'A') + "> /P -4 >>\nendobj\n";
  // Every page of this document survives each damage, if only as a blank page with a note.
  const struct {
    const char* what;
    std::function<std::string()> damage;
    bool first_page_lost;
    const wchar_t* reason;  // for a document that cannot be shown
  } cases[] = {
      // The page objects come early, the fonts late (shown in a standard font instead).
      {"cut at 50 %", [&] { return Cut(source, 50); }, false, nullptr},
      {"cut at 75 %", [&] { return Cut(source, 75); }, false, nullptr},
      {"cut at 90 %", [&] { return Cut(source, 90); }, false, nullptr},
      {"zeroed cross-reference stream", [&] { return ZeroStreamData(source, xref); }, false, nullptr},
      {"trailer removed", [&] { return source.substr(0, ObjectStart(source, xref)); }, false, nullptr},
      {"wrong startxref",
       [&] { return source.substr(0, startxref) + "1000" + source.substr(source.find_first_of("\r\n", startxref)); },
       false, nullptr},
      // The last object stream holds the catalog, the page tree and the fonts.
      {"no catalog", [&] { return ZeroStreamData(source, last_object_stream); }, false, nullptr},
      // The first one holds the first pages, which the page tree still names.
      {"first pages lost", [&] { return ZeroStreamData(source, first_object_stream); }, true, nullptr},
      {"encrypted, trailer lost", [&] { return source.substr(0, ObjectStart(source, xref)) + encryption; }, false,
       L"The document is encrypted and damaged: what it needs to be read was lost."},
  };
  int file = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = c.damage();
    const std::wstring path = WriteFile(L"damaged" + std::to_wstring(++file) + L".pdf", bytes);
    ASSERT_EQ(OpenDocument(Control(), path), c.reason == nullptr);
    EXPECT_EQ(ReadFileBytes(path), bytes) << "the file was changed";
    if (c.reason) {
      ASSERT_TRUE(WaitUntilShown(Control()));
      const std::wstring text = TextOf(control_->window);
      EXPECT_EQ(text.substr(text.find(L"\r\n") + 2), c.reason);
      continue;
    }
    // A page tree that lost pages shows once the pages' sizes are read, after the first page.
    for (const DWORD start = GetTickCount(); Note() != kDamagedNote && GetTickCount() - start < 30000;) Pump(50);
    EXPECT_EQ(Note(), kDamagedNote);
    EXPECT_EQ(PageCount(Control()), pages);
    const Shot first = ShowPage(1);
    const Shot last = ShowPage(pages);
    EXPECT_GT(last.Count(0, kBelowToolbar, last.width, last.height, IsInk), 50) << "last page";
    if (c.first_page_lost) {
      EXPECT_EQ(first.Count(0, kBelowToolbar, first.width, first.height, IsInk), 0) << "first page";
      EXPECT_GT(first.Count(0, kBelowToolbar, first.width, first.height, IsPageNote), 30) << "first page";
    } else {
      EXPECT_GT(first.Count(0, kBelowToolbar, first.width, first.height, IsInk), 50) << "first page";
    }
  }
}

// Every copy is answered by the same worker: none crashed it, and none hung it (the control
// replaces a worker that stops answering). Nearly all open.
TEST_F(DamagedDocuments, LeaveTheWorkerRunningThroughACorpus) {
  const std::string source = DebianDocument(L"libtasn1.pdf");
  std::vector<DamagedCopy> copies = DamagedCopies(source, "libtasn1", 100, 29);
  for (DamagedCopy& copy : DamagedCopies(DebianDocument(L"shared-mime-info.pdf"), "mime", 100, 30)) {
    copies.push_back(std::move(copy));
  }
  ASSERT_EQ(copies.size(), 200u);
  ASSERT_TRUE(OpenDocument(Control(), WriteFile(L"whole.pdf", source)));
  const std::vector<DWORD> worker = WorkerProcesses();
  ASSERT_EQ(worker.size(), 1u);
  int opened = 0;
  std::wstring previous;
  for (const DamagedCopy& copy : copies) {
    const std::wstring path = WriteFile(std::wstring(copy.name.begin(), copy.name.end()), copy.bytes);
    opened += OpenDocument(Control(), path) ? 1 : 0;
    ASSERT_TRUE(WaitUntilPainted(Control())) << copy.name;
    ASSERT_EQ(WorkerProcesses(), worker) << copy.name;
    if (!previous.empty()) DeleteFileW(previous.c_str());
    previous = path;
  }
  std::printf("%d of %zu damaged copies opened\n", opened, copies.size());
  // Poppler alone opens fewer than half of them.
  EXPECT_GE(opened * 10, int(copies.size()) * 9);
}

}  // namespace
