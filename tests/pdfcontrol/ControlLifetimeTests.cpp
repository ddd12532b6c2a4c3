// The control's life and what it tells its callers: paths made whole once for both of its
// processes, a file replaced while its worker was down, fonts found from a folder whose name
// the code page cannot hold and kept from one document to the next, teardown started by the site or the host, the
// references that keep the module loaded, and failures told through automation.
#include "tests/pdfcontrol/TestHost.h"
#include "tests/pdfcontrol/TestPdf.h"
#include "tests/support/DamagedCopies.h"
#include "pdfcontrol/PageLayout.h"
#include "pdfcontrol/RendererClient.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <climits>
#include <utility>

using namespace testhost;

namespace {

class ControlLifetime : public ControlTest {
 protected:
  ControlLifetime() : ControlTest({.width = 420, .height = 320}) {}
  int Count(HWND window, bool (*colour)(unsigned)) {
    const Shot shot = Screenshot(window);
    return shot.Count(0, 0, shot.width, shot.height, colour);
  }
};

bool IsBlue(unsigned p) { return (p & 255) > 200 && ((p >> 8) & 255) < 60 && ((p >> 16) & 255) < 60; }

std::string Filled(const char* colour, int pages, double width = 200, double height = 100) {
  std::vector<testpdf::Page> list(pages);
  for (auto& page : list) {
    page.width = width;
    page.height = height;
    page.content = std::string(colour) + " rg 20 20 60 40 re f";
  }
  return testpdf::Document(list);
}

HRESULT CanUnloadNow() {
  const auto entry = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"PdfControl.dll"), "DllCanUnloadNow")));
  return entry ? entry() : E_UNEXPECTED;
}

std::wstring ExeFolder() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  return folder.erase(folder.find_last_of(L'\\') + 1);
}

TEST_F(ControlLifetime, OpensARelativePathAsTheHostSeesIt) {
  const std::wstring here = TempFolder() + L"here\\", there = TempFolder() + L"there\\";
  CreateDirectoryW(here.c_str(), nullptr);
  CreateDirectoryW(there.c_str(), nullptr);
  WriteFile(L"here\\same.pdf", Filled("1 0 0", 1));
  const std::wstring other = WriteFile(L"there\\same.pdf", Filled("0 0 1", 1));
  wchar_t before[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  // The worker starts in one directory; the host then moves to another.
  ASSERT_TRUE(SetCurrentDirectoryW(there.c_str()));
  Site site(host_);
  Control control;
  Create(control, site);
  ASSERT_TRUE(OpenDocument(control.dispatch, other));
  ASSERT_TRUE(SetCurrentDirectoryW(here.c_str()));
  EXPECT_TRUE(OpenDocument(control.dispatch, L"same.pdf"));
  EXPECT_EQ(Src(control.dispatch), here + L"same.pdf");
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  EXPECT_GT(Count(control.window, IsRed), 100);
  EXPECT_EQ(Count(control.window, IsBlue), 0);
  SetCurrentDirectoryW(before);
}

TEST_F(ControlLifetime, ShowsAFileReplacedWhileItsWorkerWasDownAsANewDocument) {
  Site site(host_);
  Control control;
  Create(control, site);
  const std::wstring path = WriteFile(L"replaced.pdf", Filled("1 0 0", 6));
  ASSERT_TRUE(OpenDocument(control.dispatch, path));
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  ASSERT_EQ(KillWorkers(), 1);
  // Fewer and taller pages, in another colour: nothing of the old layout fits them.
  WriteFile(L"replaced.pdf", Filled("0 0 1", 2, 200, 150));
  SendMessageW(control.window, WM_KEYDOWN, VK_END, 1);
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  Pump(300);
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  EXPECT_EQ(PageCount(control.dispatch), 2);
  EXPECT_EQ(Src(control.dispatch), path);
  EXPECT_GT(Count(control.window, IsBlue), 100);
}

// A per-user install under a profile whose name the code page cannot hold: the worker still
// finds the fonts it substitutes for those a document does not embed.
TEST(ControlFonts, AreFoundBesideAWorkerInAFolderTheCodePageCannotName) {
  std::wstring name;
  for (const wchar_t* candidate : {L"\u03A9", L"\u4E2D", L"\u0E01"}) {
    BOOL lossy = FALSE;
    char narrow[8];
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, candidate, 1, narrow, sizeof narrow, nullptr, &lossy);
    if (lossy) {
      name = candidate;
      break;
    }
  }
  ASSERT_FALSE(name.empty()) << "every candidate fits the code page";
  const std::wstring folder = TempFolder() + L"profile-" + name + L"\\";
  const std::wstring built = ExeFolder() + L"..\\..\\pdfcontrol\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"fonts").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((built + L"PdfRender.exe").c_str(), (folder + L"PdfRender.exe").c_str(), FALSE));
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((built + L"fonts\\*.*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      CopyFileW((built + L"fonts\\" + found.cFileName).c_str(), (folder + L"fonts\\" + found.cFileName).c_str(), FALSE);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);

  testpdf::Page page;
  page.content = "0 g BT /F1 40 Tf 10 30 Td (Hello) Tj ET";  // Helvetica, not embedded
  const std::wstring document = WriteFile(L"fonts.pdf", testpdf::Document({page}));
  pdfview::RendererClient client(folder + L"PdfRender.exe");
  const pdfview::OpenResult opened = client.Open(document);
  ASSERT_EQ(opened.code, pdfrender::kOk);
  client.Request({{opened.generation, 0, 400, 200}});
  std::vector<pdfview::RenderedPage> pages;
  for (DWORD start = GetTickCount(); pages.empty() && GetTickCount() - start < 60000; Sleep(20)) {
    pages = client.TakeFinished();
  }
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_FALSE(pages[0].failed);
  int ink = 0;
  for (size_t i = 0; i < pages[0].pixels.size(); ++i) ink += (pages[0].pixels.data()[i] & 0xFFFFFF) < 0x404040 ? 1 : 0;
  EXPECT_GT(ink, 1000) << "the text is drawn in a substitute font";
}

// The worker keeps the fonts that documents do not embed for the next document: each document
// draws after others in one worker exactly as it draws alone, whatever the same font object
// named before (another map of codes to glyphs, an embedded font, another face).
TEST(ControlFonts, EachDocumentDrawsAfterOthersAsItDrawsAlone) {
  const std::string mono = ReadFileBytes(ExeFolder() + L"..\\..\\pdfcontrol\\fonts\\LiberationMono-Regular.ttf");
  ASSERT_FALSE(mono.empty());
  testpdf::Page page;
  page.content = "0 g BT /F1 40 Tf 10 30 Td (Hello) Tj ET";
  const int descriptor = testpdf::FirstExtraObject(1), file = descriptor + 1;
  const std::string fonts[] = {
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /BaseEncoding /WinAnsiEncoding "
      "/Differences [72 /O 101 /x] >> >>",
      "<< /Type /Font /Subtype /TrueType /BaseFont /Helvetica /Encoding /WinAnsiEncoding /FontDescriptor " +
          std::to_string(descriptor) + " 0 R >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /WinAnsiEncoding >>",
  };
  const std::vector<std::string> embedded = {
      "<< /Type /FontDescriptor /FontName /Helvetica /Flags 32 /FontBBox [0 -300 1000 1000] /ItalicAngle 0 "
      "/Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 /FontFile2 " +
          std::to_string(file) + " 0 R >>",
      "<< /Length " + std::to_string(mono.size()) + " /Length1 " + std::to_string(mono.size()) + " >>\nstream\n" +
          mono + "\nendstream"};
  std::vector<std::wstring> documents;
  for (size_t i = 0; i < std::size(fonts); ++i) {
    documents.push_back(
        WriteFile(L"kept-font-" + std::to_wstring(i) + L".pdf", testpdf::WithFont({page}, fonts[i], embedded)));
  }
  const auto draw = [](pdfview::RendererClient& client, const std::wstring& document) {
    const pdfview::OpenResult opened = client.Open(document);
    if (opened.code != pdfrender::kOk) return std::vector<uint32_t>();
    client.Request({{opened.generation, 0, 400, 200}});
    std::vector<pdfview::RenderedPage> pages;
    for (DWORD start = GetTickCount(); pages.empty() && GetTickCount() - start < 60000; Sleep(10)) {
      pages = client.TakeFinished();
    }
    if (pages.size() != 1 || pages[0].failed) return std::vector<uint32_t>();
    return std::vector<uint32_t>(pages[0].pixels.data(), pages[0].pixels.data() + pages[0].pixels.size());
  };
  const std::wstring worker = ExeFolder() + L"..\\..\\pdfcontrol\\PdfRender.exe";
  std::vector<std::vector<uint32_t>> alone;
  for (const std::wstring& document : documents) {
    pdfview::RendererClient client(worker);
    alone.push_back(draw(client, document));
    ASSERT_FALSE(alone.back().empty()) << "document " << alone.size() - 1;
  }
  for (size_t i = 1; i < alone.size(); ++i) ASSERT_NE(alone[i], alone[0]) << "document " << i << " draws as 0";
  pdfview::RendererClient client(worker);
  for (const size_t i : {0, 1, 2, 3, 0, 2, 1, 3}) EXPECT_EQ(draw(client, documents[i]), alone[i]) << "document " << i;
}

// The first page is drawn by the worker right after the open, as the view will ask for it: the
// view's request is answered with the page it asks for, at its size, for the document it shows,
// also when the zoom changed first or another document was opened meanwhile; and the file is
// not held once the page has come.
TEST(FirstPage, ComesAsAskedForTheDocumentShownAndLeavesTheFileFree) {
  testpdf::Page left, right;
  left.content = "0 g 0 0 100 100 re f";
  right.content = "0 g 100 0 100 100 re f";
  const std::wstring leftDocument = WriteFile(L"first-left.pdf", testpdf::Document({left}));
  const std::wstring rightDocument = WriteFile(L"first-right.pdf", testpdf::Document({right}));
  const struct {
    const char* what;
    const std::wstring* before;  // opened first, its page not asked for
    const std::wstring* shown;
    double zoom;  // of the request; the view was told 1
    bool inkLeft;
  } cases[] = {
      {"as the view said", nullptr, &leftDocument, 1, true},
      {"zoomed before the page came", nullptr, &leftDocument, 2, true},
      {"another document opened first", &leftDocument, &rightDocument, 1, false},
      {"another document, then zoomed", &rightDocument, &leftDocument, 0.5, true},
  };
  constexpr uint32_t kViewWidth = 600;
  for (const auto& c : cases) {
    pdfview::RendererClient client(ExeFolder() + L"..\\..\\pdfcontrol\\PdfRender.exe");
    client.SetFirstView({kViewWidth, 1.0f});
    if (c.before) {
      ASSERT_EQ(client.Open(*c.before).code, pdfrender::kOk) << c.what;
    }
    const pdfview::OpenResult opened = client.Open(*c.shown);
    ASSERT_EQ(opened.code, pdfrender::kOk) << c.what;
    pdfview::PageLayout layout;
    layout.SetPages({{opened.pages[0].width, opened.pages[0].height}}, int(opened.pageCount));
    layout.Arrange(int(kViewWidth), c.zoom);
    const pdfview::PageBox box = layout.Box(0);
    client.Request({{opened.generation, 0, uint32_t(box.width), uint32_t(box.height)}});
    std::vector<pdfview::RenderedPage> pages;
    for (DWORD start = GetTickCount(); pages.empty() && GetTickCount() - start < 60000; Sleep(10)) {
      pages = client.TakeFinished();
    }
    ASSERT_EQ(pages.size(), 1u) << c.what;
    ASSERT_FALSE(pages[0].failed) << c.what;
    ASSERT_EQ(pages[0].width, uint32_t(box.width)) << c.what;
    const auto dark = [&](int x, int y) { return (pages[0].pixels.data()[y * box.width + x] & 0xFFFFFF) < 0x404040; };
    // Near the bottom corners too: a page drawn at another size and cut or padded shows there.
    for (const int y : {box.height / 2, box.height * 9 / 10}) {
      EXPECT_EQ(dark(box.width / 10, y), c.inkLeft) << c.what << ", row " << y;
      EXPECT_EQ(dark(box.width * 9 / 10, y), !c.inkLeft) << c.what << ", row " << y;
    }
    // With its first page answered, the worker has read the file and let it go: an editor may
    // write it anew.
    bool writable = false;
    for (DWORD start = GetTickCount(); !writable && GetTickCount() - start < 5000; Sleep(10)) {
      const HANDLE file = CreateFileW(c.shown->c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      writable = file != INVALID_HANDLE_VALUE;
      if (writable) CloseHandle(file);
    }
    EXPECT_TRUE(writable) << c.what;
  }
}

TEST_F(ControlLifetime, ForgetsItsWindowWhenTheHostDestroysItFirst) {
  Site site(host_);
  Control control;
  Create(control, site);
  DestroyWindow(host_);
  host_ = nullptr;
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(control.object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL);
  EXPECT_EQ(window, nullptr);
  inPlace->Release();
  EXPECT_EQ(control.object->Close(OLECLOSE_NOSAVE), S_OK);
}

// What keeps the module loaded: every object, every reference on the class factory and every
// lock, and nothing after the last is gone, even when the site calls back during the teardown.
TEST_F(ControlLifetime, KeepsTheModuleExactlyAsLongAsItIsHeld) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(kControlClassId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  ASSERT_NE(GetModuleHandleW(L"PdfControl.dll"), nullptr);
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "a client holds the factory";
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "locked";
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  ASSERT_EQ(CanUnloadNow(), S_OK) << "an earlier test left an object alive";

  Site site(host_);
  Control control;
  Create(control, site);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  // The last reference goes without Close: the control closes itself, and the site takes and
  // drops a reference while it is told.
  IOleObject* object = std::exchange(control.object, nullptr);
  std::exchange(control.dispatch, nullptr)->Release();
  int callbacks = 0;
  site.on_in_place_deactivate = [&] {
    IUnknown* unknown = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)))) unknown->Release();
    ++callbacks;
  };
  object->Release();
  EXPECT_EQ(callbacks, 1);
  EXPECT_EQ(CanUnloadNow(), S_OK) << "destroyed exactly once";
}

TEST_F(ControlLifetime, TellsFailuresThroughAutomation) {
  Site site(host_);
  Control control;
  Create(control, site);
  IDispatch* d = control.dispatch;
  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(kDPdfId), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
  support->Release();
  auto error_text = [] {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return std::wstring(L"<none>");
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::wstring out = text ? text : L"";
    SysFreeString(text);
    info->Release();
    return out;
  };
  ASSERT_TRUE(OpenDocument(d, WriteFile(L"three.pdf", Filled("1 0 0", 3))));
  EXPECT_EQ(error_text(), L"<none>");

  // A path that cannot be opened: without an EXCEPINFO the caller gets the failure itself,
  // and its reason through the error information either way.
  VARIANT missing;
  missing.vt = VT_BSTR;
  missing.bstrVal = SysAllocString(L"C:\\nowhere\\none.pdf");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS write{&missing, &put, 1, 1};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, nullptr, nullptr), E_FAIL);
  EXPECT_NE(error_text().find(L"none.pdf"), std::wstring::npos);
  EXCEPINFO exception{};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, &exception, nullptr), DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_FAIL);
  EXPECT_NE(error_text().find(L"none.pdf"), std::wstring::npos);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  SysFreeString(missing.bstrVal);
  ASSERT_TRUE(OpenDocument(d, TempFolder() + L"three.pdf"));

  // Page numbers: out of range goes to the nearest page; beyond 32 bits is an overflow.
  const struct {
    VARTYPE type;
    double number;
    HRESULT expected;
    int page;
  } cases[] = {
      {VT_I4, INT_MIN, S_OK, 1}, {VT_I4, INT_MAX, S_OK, 3}, {VT_R8, 1e12, DISP_E_OVERFLOW, 3}, {VT_I4, 2, S_OK, 2}};
  for (const auto& c : cases) {
    VARIANT value;
    value.vt = c.type;
    if (c.type == VT_I4) value.lVal = LONG(c.number);
    if (c.type == VT_R8) value.dblVal = c.number;
    DISPPARAMS params{&value, &put, 1, 1};
    UINT bad_argument = 99;
    EXPECT_EQ(d->Invoke(5, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, &bad_argument), c.expected)
        << c.page;
    if (FAILED(c.expected)) {
      EXPECT_EQ(bad_argument, 0u);
    }
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(Call(d, 5, DISPATCH_PROPERTYGET, nullptr, &result), S_OK);
    EXPECT_EQ(result.lVal, c.page);
  }
}

}  // namespace
