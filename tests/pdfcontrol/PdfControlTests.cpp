// The viewer control driven through COM as the program's host drives it: created from the
// registration, loaded from its stored state, activated in a real window, asked to open
// documents that the tests write, and checked on the screen.
#include "tests/pdfcontrol/TestHost.h"
#include "tests/pdfcontrol/TestPdf.h"

#include <gtest/gtest.h>
#include <olectl.h>
#include <shlwapi.h>

#include <random>

using namespace testhost;

namespace {

class ViewerControl : public ControlTest {
 protected:
  ViewerControl() : ControlTest({.width = 420, .height = 320}) {}
  // Pixels per point of a page 200 points wide fitted to the control's client width.
  static double Scale(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return (client.right - 16) / 200.0;
  }
};

bool IsBlue(unsigned p) { return (p & 255) > 200 && ((p >> 8) & 255) < 60 && ((p >> 16) & 255) < 60; }

std::string DrawingPage() {
  testpdf::Page page;
  page.content =
      "1 0 0 rg 20 50 60 40 re f\n"                 // red: x 20..80, y 50..90 from the bottom
      "0 g BT /F1 30 Tf 100 20 Td (Hello) Tj ET\n"  // Helvetica, not embedded
      "BT /F2 20 Tf 20 10 Td (a) Tj ET\n";          // Type 3 glyph: a 20-point square
  return testpdf::Document({page});
}

TEST_F(ViewerControl, IsCreatedThroughComAndAnswersTheContainerInterfaces) {
  IOleObject* object = nullptr;
  ASSERT_EQ(CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  for (const IID& iid : {IID_IPersistStreamInit, IID_IOleControl, IID_IDispatch, kDPdfId, IID_IOleInPlaceObject,
                         IID_IOleInPlaceActiveObject, IID_IViewObject2}) {
    IUnknown* unknown = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&unknown)), S_OK);
    if (unknown) unknown->Release();
  }
  DWORD misc = 0;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
  EXPECT_FALSE(misc & OLEMISC_INVISIBLEATRUNTIME);
  SIZEL extent{};
  EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_GT(extent.cx, 0);
  EXPECT_GT(extent.cy, 0);
  // Not active in place yet: no window to give.
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL);
  EXPECT_EQ(window, nullptr);
  inPlace->Release();
  object->Release();
}

TEST_F(ViewerControl, LoadsTheStoredStateAndSavesItBack) {
  Site site(host_);
  Control control;
  Create(control, site);
  SIZEL extent{};
  ASSERT_EQ(control.object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, 16378);
  EXPECT_EQ(extent.cy, 14658);

  SIZEL wider{20000, 14658};
  EXPECT_EQ(control.object->SetExtent(DVASPECT_CONTENT, &wider), S_OK);
  SIZEL zero{0, 100};
  EXPECT_EQ(control.object->SetExtent(DVASPECT_CONTENT, &zero), E_INVALIDARG);
  IPersistStreamInit* persist = nullptr;
  ASSERT_EQ(control.object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  HGLOBAL block = nullptr;
  GetHGlobalFromStream(stream, &block);
  ASSERT_EQ(GlobalSize(block), 17u);
  unsigned char saved[17];
  memcpy(saved, GlobalLock(block), 17);
  GlobalUnlock(block);
  unsigned char expected[17];
  memcpy(expected, kControlData, 17);
  const LONG cx = 20000;
  memcpy(expected + 4, &cx, 4);
  EXPECT_EQ(memcmp(saved, expected, 17), 0);
  // Stored state is taken once.
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(persist->Load(stream), E_UNEXPECTED);
  EXPECT_EQ(persist->InitNew(), E_UNEXPECTED);
  stream->Release();
  persist->Release();
}

TEST_F(ViewerControl, RefusesStoredStateItCannotRead) {
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
  };
  std::vector<unsigned char> other_format(kControlData, kControlData + 17);
  other_format[2] = 0x07;
  std::vector<unsigned char> no_width(kControlData, kControlData + 17);
  no_width[4] = no_width[5] = 0;
  const Case cases[] = {{"empty", {}},
                        {"short", {kControlData, kControlData + 8}},
                        {"other format", other_format},
                        {"zero width", no_width}};
  for (const Case& c : cases) {
    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit,
                               reinterpret_cast<void**>(&persist)),
              S_OK);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (!c.bytes.empty()) stream->Write(c.bytes.data(), ULONG(c.bytes.size()), nullptr);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(stream))) << c.what;
    // A failed load leaves the control free to start afresh.
    EXPECT_EQ(persist->InitNew(), S_OK) << c.what;
    stream->Release();
    persist->Release();
  }
}

TEST_F(ViewerControl, ActivatesInPlaceAndFollowsTheHostsRectangles) {
  Site site(host_);
  Control control;
  Create(control, site);
  EXPECT_EQ(site.in_place_activations, 1);
  EXPECT_EQ(GetParent(control.window), host_);
  EXPECT_TRUE(IsWindowVisible(control.window));
  RECT placed;
  GetWindowRect(control.window, &placed);
  MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 10);
  EXPECT_EQ(placed.right, 410);
  EXPECT_EQ(placed.bottom, 310);

  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(control.object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
  const RECT moved{20, 30, 220, 180}, clip{0, 0, 32767, 32767};
  EXPECT_EQ(inPlace->SetObjectRects(&moved, &clip), S_OK);
  GetWindowRect(control.window, &placed);
  MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 20);
  EXPECT_EQ(placed.top, 30);
  EXPECT_EQ(placed.right, 220);
  EXPECT_EQ(placed.bottom, 180);
  // A second activation request changes nothing.
  EXPECT_EQ(control.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host_, &bounds_), S_OK);
  EXPECT_EQ(site.in_place_activations, 1);

  // Close gives up the window and the in-place state; a new activation makes a new window.
  const HWND first = control.window;
  EXPECT_EQ(control.object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(site.in_place_deactivations, 1);
  HWND none = reinterpret_cast<HWND>(1);
  EXPECT_EQ(inPlace->GetWindow(&none), E_FAIL);
  EXPECT_EQ(control.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host_, &bounds_), S_OK);
  EXPECT_EQ(site.in_place_activations, 2);
  HWND second = nullptr;
  EXPECT_EQ(inPlace->GetWindow(&second), S_OK);
  EXPECT_TRUE(IsWindow(second));
  inPlace->Release();
}

TEST_F(ViewerControl, ShowsTextDrawingAndEmbeddedFontOfAPage) {
  Site site(host_);
  Control control;
  Create(control, site);
  const std::wstring path = WriteFile(L"drawing.pdf", DrawingPage());
  ASSERT_TRUE(OpenDocument(control.dispatch, path));
  EXPECT_EQ(Src(control.dispatch), path);
  EXPECT_EQ(PageCount(control.dispatch), 1);
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  const Shot shot = Screenshot(control.window);
  const double s = Scale(control.window);
  // Pages start below the toolbar's strip.
  constexpr int kToolbar = 26;
  auto px = [&](double points) { return 8 + int(points * s); };
  auto py = [&](double points) { return kToolbar + px(points); };
  // From the top of the page: y = 100 - PDF y.
  EXPECT_TRUE(IsGrey(shot.At(2, kToolbar + 2)));  // around the page
  EXPECT_TRUE(IsRed(shot.At(px(50), py(30))));    // the drawing
  EXPECT_EQ(shot.Count(px(22), py(12), px(78), py(48), IsRed), (px(78) - px(22)) * (py(48) - py(12)));
  EXPECT_TRUE(IsWhite(shot.At(px(50), py(5))));  // above it
  EXPECT_TRUE(IsDark(shot.At(px(30), py(80))));  // the Type 3 square
  const int text_area = (px(170) - px(100)) * (py(80) - py(58));
  const int ink = shot.Count(px(100), py(58), px(170), py(80), IsDark);
  EXPECT_GT(ink, text_area / 10) << "Helvetica text should be drawn";
  EXPECT_LT(ink, text_area * 2 / 3);
}

// The documents shipped in samples/ open and show on screen.
TEST_F(ViewerControl, ShowsTheSampleDocuments) {
  Site site(host_);
  Control control;
  Create(control, site);
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  folder.erase(folder.find_last_of(L'\\') + 1);
  folder += L"..\\..\\..\\samples\\";
  const struct {
    const wchar_t* name;
    int pages;
    bool (*colour)(unsigned);
  } samples[] = {
      {L"fonts.pdf", 1, IsDark}, {L"drawing.pdf", 1, IsRed}, {L"image.pdf", 1, IsDark}, {L"pages.pdf", 100, IsDark}};
  for (const auto& sample : samples) {
    const std::wstring path = folder + sample.name;
    ASSERT_TRUE(OpenDocument(control.dispatch, path)) << "sample " << sample.pages;
    EXPECT_EQ(PageCount(control.dispatch), sample.pages);
    ASSERT_TRUE(WaitUntilShown(control.dispatch));
    const Shot shot = Screenshot(control.window);
    EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, sample.colour), 30) << "sample " << sample.pages;
    EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsWhite), shot.width * 20) << "sample " << sample.pages;
  }
}

TEST_F(ViewerControl, ReportsFilesItCannotOpenAndThenOpensAValidOne) {
  Site site(host_);
  Control control;
  Create(control, site);
  const std::wstring valid = WriteFile(L"valid.pdf", DrawingPage());
  const struct {
    const char* what;
    std::wstring path;
  } cases[] = {
      {"missing", TempFolder() + L"missing.pdf"},
      {"folder", TempFolder()},
      {"no path", L""},
      {"not a PDF", WriteFile(L"text.pdf", std::string(3000, 'x'))},
      {"empty file", WriteFile(L"empty.pdf", "")},
      {"encrypted", WriteFile(L"locked.pdf", testpdf::Encrypted())},
      {"no pages", WriteFile(L"nopages.pdf", testpdf::Document({}))},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(OpenDocument(control.dispatch, c.path)) << c.what;
    EXPECT_EQ(Src(control.dispatch), L"") << c.what;
    EXPECT_EQ(PageCount(control.dispatch), 0) << c.what;
    ASSERT_TRUE(WaitUntilShown(control.dispatch)) << c.what;
    // The message, light text on the background, where a page would be.
    const Shot shot = Screenshot(control.window);
    EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsWhite), 50) << c.what;
    EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsGrey), shot.width * shot.height / 2) << c.what;
    EXPECT_EQ(shot.Count(0, 0, shot.width, shot.height, IsRed), 0) << c.what;
    ASSERT_TRUE(OpenDocument(control.dispatch, valid)) << "after " << c.what;
    ASSERT_TRUE(WaitUntilShown(control.dispatch));
    EXPECT_GT(Screenshot(control.window).Count(0, 0, shot.width, shot.height, IsRed), 100) << c.what;
  }
}

TEST_F(ViewerControl, SurvivesDamagedAndRandomFiles) {
  Site site(host_);
  Control control;
  Create(control, site);
  testpdf::Page page;
  page.content = "1 0 0 rg 20 50 60 40 re f 0 g BT /F1 30 Tf 100 20 Td (Hello) Tj ET";
  const std::string good = testpdf::Document({page, page, page});
  std::mt19937 random(8);
  std::vector<std::string> bad;
  for (size_t cut : {good.size() / 8, good.size() / 3, good.size() / 2, good.size() - 40}) {
    bad.push_back(good.substr(0, cut));
  }
  for (int i = 0; i < 4; ++i) {
    std::string flipped = good;
    for (int j = 0; j < 12; ++j) flipped[random() % flipped.size()] ^= char(1 << (random() % 8));
    bad.push_back(flipped);
  }
  std::string noise(4000, 0);
  for (char& c : noise) c = char(random());
  bad.push_back(noise);
  bad.push_back("%PDF-1.4\n" + noise);
  bad.push_back("%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 1 0 R >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");

  for (size_t i = 0; i < bad.size(); ++i) {
    const std::wstring path = WriteFile(L"bad" + std::to_wstring(i) + L".pdf", bad[i]);
    const bool opened = OpenDocument(control.dispatch, path);
    ASSERT_TRUE(WaitUntilShown(control.dispatch)) << "file " << i;
    EXPECT_EQ(Src(control.dispatch), opened ? path : L"") << "file " << i;
    if (!opened) {
      const Shot shot = Screenshot(control.window);
      EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsWhite), 50) << "message for file " << i;
    }
  }
  const std::wstring valid = WriteFile(L"after.pdf", good);
  ASSERT_TRUE(OpenDocument(control.dispatch, valid));
  EXPECT_EQ(PageCount(control.dispatch), 3);
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  const Shot shot = Screenshot(control.window);
  EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsRed), 100);
}

// The worker starts once the host's loop runs, so that the first document does not wait for it.
TEST_F(ViewerControl, StartsItsRendererOnceTheHostIsPaintedBeforeTheFirstDocument) {
  Site site(host_);
  Control control;
  Create(control, site);
  // A process start must not hold up the host's first paint: no worker while a paint waits,
  // even with time to start one after each message.
  ASSERT_TRUE(GetUpdateRect(control.window, nullptr, FALSE));
  MSG msg;
  while (GetUpdateRect(control.window, nullptr, FALSE) && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageW(&msg);
    Sleep(150);
    ASSERT_TRUE(WorkerProcesses().empty()) << "after message " << msg.message;
  }
  for (int waited = 0; waited < 200 && WorkerProcesses().empty(); ++waited) Pump(50);
  EXPECT_EQ(WorkerProcesses().size(), 1u);
}

TEST_F(ViewerControl, RestartsItsRendererWhenItDies) {
  Site site(host_);
  Control control;
  Create(control, site);
  std::vector<testpdf::Page> pages(6);
  for (auto& p : pages) p.content = "1 0 0 rg 20 50 60 40 re f";
  const std::wstring path = WriteFile(L"restart.pdf", testpdf::Document(pages));
  ASSERT_TRUE(OpenDocument(control.dispatch, path));
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  // Pages not rendered yet come from a new worker, which reopens the document by itself.
  ASSERT_EQ(KillWorkers(), 1);
  SendMessageW(control.window, WM_KEYDOWN, VK_END, 1);
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  Shot shot = Screenshot(control.window);
  EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsRed), 100);
  EXPECT_EQ(Src(control.dispatch), path);
  // And opening goes on working.
  ASSERT_EQ(KillWorkers(), 1);
  EXPECT_TRUE(OpenDocument(control.dispatch, WriteFile(L"again.pdf", DrawingPage())));
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  shot = Screenshot(control.window);
  EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsRed), 100);
}

TEST_F(ViewerControl, ScrollsThroughPagesAndZooms) {
  Site site(host_);
  Control control;
  Create(control, site);
  std::vector<testpdf::Page> pages(12);
  for (auto& p : pages) p.content = "0 g BT /F1 20 Tf 20 40 Td (Page) Tj ET";
  pages.back().content = "0 0 1 rg 0 0 200 100 re f";  // the last page is all blue
  ASSERT_TRUE(OpenDocument(control.dispatch, WriteFile(L"pages.pdf", testpdf::Document(pages))));
  ASSERT_TRUE(WaitUntilShown(control.dispatch));
  const HWND w = control.window;
  auto position = [w](int bar) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(w, bar, &info);
    return info;
  };
  auto key = [&](WPARAM vk) {
    SendMessageW(w, WM_KEYDOWN, vk, 1);
    ASSERT_TRUE(WaitUntilShown(control.dispatch));
  };
  EXPECT_EQ(position(SB_VERT).nPos, 0);
  const SCROLLINFO top = position(SB_VERT);
  EXPECT_GT(top.nMax, int(top.nPage) * 3) << "twelve pages make a long column";

  key(VK_NEXT);
  const int after_page_down = position(SB_VERT).nPos;
  EXPECT_GT(after_page_down, int(top.nPage) / 2);
  key(VK_DOWN);
  EXPECT_GT(position(SB_VERT).nPos, after_page_down);
  key(VK_PRIOR);
  key(VK_PRIOR);
  EXPECT_EQ(position(SB_VERT).nPos, 0);

  SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0);
  EXPECT_GT(position(SB_VERT).nPos, 0);

  key(VK_END);
  const SCROLLINFO bottom = position(SB_VERT);
  EXPECT_EQ(bottom.nPos, bottom.nMax - int(bottom.nPage) + 1);
  Shot shot = Screenshot(w);
  EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, IsBlue), shot.width * 20) << "the last page in view";
  key(VK_HOME);
  EXPECT_EQ(position(SB_VERT).nPos, 0);

  // Zoom in with Ctrl: the page grows past the window and a horizontal bar appears.
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  key(VK_ADD);
  key(VK_ADD);
  EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_HSCROLL);
  EXPECT_GT(position(SB_HORZ).nMax + 1, int(position(SB_HORZ).nPage));
  key('0');
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_FALSE(GetWindowLongW(w, GWL_STYLE) & WS_HSCROLL);
  // Ctrl and the wheel zoom too.
  SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
  EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_HSCROLL);
}

TEST_F(ViewerControl, FollowsTheDispatchRules) {
  Site site(host_);
  Control control;
  Create(control, site);
  IDispatch* d = control.dispatch;
  DISPID id = 0;
  const wchar_t* names[] = {L"OPENDOCUMENT", L"src", L"nothing"};
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[0]), 1, 0, &id), S_OK);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[1]), 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[2]), 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(d->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(d->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
  VARIANT number;
  number.vt = VT_DISPATCH;
  number.pdispVal = nullptr;
  DISPPARAMS one{&number, nullptr, 1, 0};
  UINT bad_argument = 99;
  EXPECT_EQ(d->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &one, &result, nullptr, &bad_argument), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad_argument, 0u);

  // Writing src opens the document; a path that cannot be opened is reported as an exception.
  const std::wstring path = WriteFile(L"src.pdf", DrawingPage());
  VARIANT value;
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(path.c_str());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS write{&value, &put, 1, 1};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Src(d), path);
  SysFreeString(value.bstrVal);
  value.bstrVal = SysAllocString(L"C:\\nowhere\\none.pdf");
  EXCEPINFO exception{};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, &exception, nullptr), DISP_E_EXCEPTION);
  ASSERT_NE(exception.bstrDescription, nullptr);
  EXPECT_NE(std::wstring(exception.bstrDescription).find(L"none.pdf"), std::wstring::npos);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  SysFreeString(value.bstrVal);
  EXPECT_EQ(Src(d), L"");
}

// Registration runs against a scratch copy of HKEY_CLASSES_ROOT.
TEST(ViewerRegistration, LeavesAnotherControlOfTheSameClassAlone) {
  const std::wstring dll_path = [] {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder + L"..\\..\\pdfcontrol\\PdfControl.dll";
  }();
  HMODULE dll = LoadLibraryW(dll_path.c_str());
  ASSERT_NE(dll, nullptr);
  using Entry = HRESULT(WINAPI*)();
  using Install = HRESULT(WINAPI*)(BOOL, LPCWSTR);
  auto reg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  auto unreg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
  auto install = reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
  ASSERT_TRUE(reg && unreg && install);

  const wchar_t* scratch = L"Software\\FolvaneTest\\Classes";
  SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\FolvaneTest");
  HKEY root;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, root), ERROR_SUCCESS);
  const wchar_t* server = L"CLSID\\{CA8A9780-280D-11CF-A24D-444553540000}\\InprocServer32";
  auto registered = [&](HKEY parent = nullptr, const wchar_t* path = nullptr) {
    wchar_t value[MAX_PATH] = L"";
    DWORD size = sizeof value - sizeof(wchar_t);
    HKEY key;
    if (RegOpenKeyExW(parent ? parent : root, path ? path : server, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return std::wstring(L"<none>");
    }
    const LONG status = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::wstring(value) : std::wstring(L"<none>");
  };

  EXPECT_EQ(reg(), S_OK);
  const std::wstring ours = registered();
  EXPECT_NE(ours.find(L"PdfControl.dll"), std::wstring::npos);
  EXPECT_EQ(reg(), S_OK) << "our own registration is renewed";
  EXPECT_EQ(unreg(), S_OK);
  EXPECT_EQ(registered(), L"<none>");

  HKEY foreign;
  RegCreateKeyExW(root, server, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &foreign, nullptr);
  const wchar_t other[] = L"C:\\Program Files\\Other\\viewer.ocx";
  RegSetValueExW(foreign, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  RegCloseKey(foreign);
  EXPECT_EQ(reg(), SELFREG_E_CLASS);
  EXPECT_EQ(registered(), other);
  EXPECT_EQ(unreg(), SELFREG_E_CLASS);
  EXPECT_EQ(registered(), other);

  // The user's own classes: another control seen through the classes root is left alone there
  // too, unless forced; either way it keeps its own registration.
  const wchar_t* user_server = L"Software\\Classes\\CLSID\\{CA8A9780-280D-11CF-A24D-444553540000}\\InprocServer32";
  EXPECT_EQ(install(TRUE, L"user"), SELFREG_E_CLASS);
  EXPECT_EQ(registered(HKEY_CURRENT_USER, user_server), L"<none>");
  EXPECT_EQ(install(TRUE, L"user,force"), S_OK);
  EXPECT_EQ(registered(HKEY_CURRENT_USER, user_server), ours);
  EXPECT_EQ(registered(), other);
  EXPECT_EQ(install(FALSE, L"user"), S_OK);
  EXPECT_EQ(registered(HKEY_CURRENT_USER, user_server), L"<none>");
  EXPECT_EQ(registered(), other);

  EXPECT_EQ(install(TRUE, L"force"), S_OK);
  EXPECT_EQ(registered(), ours);
  EXPECT_EQ(install(FALSE, nullptr), S_OK);
  EXPECT_EQ(registered(), L"<none>");

  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegCloseKey(root);
  SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\FolvaneTest");
  FreeLibrary(dll);
}

}  // namespace
