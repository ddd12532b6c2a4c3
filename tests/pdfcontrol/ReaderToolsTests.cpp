// The viewer control's reader tools through the real control in a host window: the toolbar
// and its keys, finding, selecting and copying, links, the view kept per document and the
// automation members behind them. Input that a person makes is made with real input.
#include "tests/pdfcontrol/TestHost.h"
#include "tests/pdfcontrol/TestPdf.h"
#include "tests/support/WindowTesting.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace testhost;

namespace {

enum ReaderId : DISPID { kCurrentPage = 5, kZoom = 6, kFind = 7, kSelectedText = 8 };

std::wstring SamplePath(const wchar_t* name) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + L"..\\..\\..\\samples\\" + name;
}

int GetInt(IDispatch* control, DISPID id) {
  VARIANT result;
  VariantInit(&result);
  if (FAILED(Call(control, id, DISPATCH_PROPERTYGET, nullptr, &result)) || result.vt != VT_I4) return -999;
  return result.lVal;
}

HRESULT PutInt(IDispatch* control, DISPID id, int value) {
  VARIANT argument;
  argument.vt = VT_I4;
  argument.lVal = value;
  return Call(control, id, DISPATCH_PROPERTYPUT, &argument, nullptr);
}

std::wstring Selected(IDispatch* control) {
  VARIANT result;
  VariantInit(&result);
  if (FAILED(Call(control, kSelectedText, DISPATCH_PROPERTYGET, nullptr, &result)) || result.vt != VT_BSTR) {
    return L"<failed>";
  }
  std::wstring text = result.bstrVal ? result.bstrVal : L"";
  VariantClear(&result);
  return text;
}

// The toolbar's windows, in the order the control makes them.
struct Toolbar {
  explicit Toolbar(HWND control) {
    for (HWND w = GetWindow(control, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) children.push_back(w);
  }
  HWND At(size_t i, const wchar_t* cls) const {
    wchar_t name[32] = {};
    if (i < children.size()) GetClassNameW(children[i], name, 32);
    return lstrcmpiW(name, cls) == 0 ? children[i] : nullptr;
  }
  HWND PageBox() const { return At(2, L"Edit"); }
  HWND PageCount() const { return At(3, L"Static"); }
  HWND ZoomBox() const { return At(4, L"ComboBox"); }
  HWND FindBox() const { return At(5, L"Edit"); }
  HWND Note() const { return At(8, L"Static"); }
  std::vector<HWND> children;
};

// Holds the modifier down around a key.
void Chord(WORD modifier, WORD key) {
  INPUT input[4]{};
  for (INPUT& i : input) i.type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[3].ki.wVk = modifier;
  input[1].ki.wVk = input[2].ki.wVk = key;
  input[2].ki.dwFlags = input[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, input, sizeof input[0]);
  PumpUntil([] { return false; }, 100);
}

void Type(const std::string& text) {
  for (char c : text) PressKey(c == ' ' ? VK_SPACE : WORD(toupper(static_cast<unsigned char>(c))));
}

BOOL CALLBACK CountTooltips(HWND w, LPARAM count) {
  wchar_t name[32] = {};
  GetClassNameW(w, name, 32);
  if (lstrcmpiW(name, L"tooltips_class32") == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

class ReaderTools : public ControlTest {
 protected:
  ReaderTools() : ControlTest({.width = 420, .height = 320, .control = true, .foreground = true}) {}
  // Clicks on the pages, which gives them the focus.
  void FocusPages() {
    ClickAt(OnScreen(control_->window, 4, 200));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == control_->window; }));
  }
  bool WaitForPage(int page) {
    return PumpUntil([&] { return GetInt(d_, kCurrentPage) == page; }, 30000);
  }
};

TEST_F(ReaderTools, PageBoxFollowsScrollingAndGoesWhereTyped) {
  Open(SamplePath(L"pages.pdf"));
  const Toolbar bar(control_->window);
  ASSERT_NE(bar.PageBox(), nullptr);
  EXPECT_EQ(TextOf(bar.PageBox()), L"1");
  EXPECT_EQ(TextOf(bar.PageCount()), L"of 100");
  EXPECT_EQ(TextOf(bar.ZoomBox()), L"Fit width");
  FocusPages();
  for (int i = 0; i < 4; ++i) PressKey(VK_NEXT);
  const int after_paging = _wtoi(TextOf(bar.PageBox()).c_str());
  EXPECT_GT(after_paging, 1);
  EXPECT_EQ(after_paging, GetInt(d_, kCurrentPage));
  Chord(VK_CONTROL, VK_END);
  EXPECT_EQ(TextOf(bar.PageBox()), L"100");
  Chord(VK_CONTROL, VK_HOME);
  EXPECT_EQ(TextOf(bar.PageBox()), L"1");

  // Ctrl+G, a number and Enter; out of range goes to the nearest page.
  const struct {
    const char* typed;
    int page;
  } cases[] = {{"57", 57}, {"500", 100}, {"0", 1}, {"9", 9}};
  for (const auto& c : cases) {
    Chord(VK_CONTROL, 'G');
    EXPECT_EQ(GetFocus(), bar.PageBox()) << c.typed;
    Type(c.typed);
    PressKey(VK_RETURN);
    EXPECT_EQ(GetInt(d_, kCurrentPage), c.page) << c.typed;
    EXPECT_EQ(TextOf(bar.PageBox()), std::to_wstring(c.page)) << c.typed;
    EXPECT_EQ(GetFocus(), control_->window) << "back to the pages after " << c.typed;
  }
  // The buttons step a page.
  const HWND next = bar.children[1];
  RECT r;
  GetClientRect(next, &r);
  POINT centre{r.right / 2, r.bottom / 2};
  ClientToScreen(next, &centre);
  ClickAt(centre);
  EXPECT_EQ(GetInt(d_, kCurrentPage), 10);

  // The zoom box takes a typed percentage, and the page stays.
  Chord(VK_CONTROL, 'G');
  PressKey(VK_TAB);
  Type("200");
  PressKey(VK_RETURN);
  EXPECT_EQ(GetInt(d_, kZoom), 200);
  EXPECT_EQ(TextOf(bar.ZoomBox()), L"200%");
  EXPECT_EQ(GetInt(d_, kCurrentPage), 10);

  // Tab goes through the toolbar's fields to the pages; Shift+Tab back; Escape to the pages.
  Chord(VK_CONTROL, 'G');
  PressKey(VK_TAB);
  EXPECT_TRUE(IsChild(bar.ZoomBox(), GetFocus()) || GetFocus() == bar.ZoomBox());
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), bar.FindBox());
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), control_->window);
  Chord(VK_SHIFT, VK_TAB);
  EXPECT_EQ(GetFocus(), bar.FindBox());
  PressKey(VK_ESCAPE);
  EXPECT_EQ(GetFocus(), control_->window);
}

TEST_F(ReaderTools, FindsForwardBackwardWithWrapAndSaysWhenAbsent) {
  Open(SamplePath(L"pages.pdf"));
  const Toolbar bar(control_->window);
  FocusPages();
  // Typed into the field: a text only on page 57, found from page 1.
  Chord(VK_CONTROL, 'F');
  ASSERT_EQ(GetFocus(), bar.FindBox());
  Type("page 57 of");
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitForPage(57));
  EXPECT_EQ(TextOf(bar.Note()), L"");
  // Its only match again: round the whole document, with a note.
  PressKey(VK_F3);
  ASSERT_TRUE(PumpUntil([&] { return TextOf(bar.Note()) == L"Wrapped around"; }, 30000));
  EXPECT_EQ(GetInt(d_, kCurrentPage), 57);

  // Backward from page 1 wraps to the last page and its last match.
  ASSERT_EQ(PutInt(d_, kCurrentPage, 1), S_OK);
  EXPECT_TRUE(Find(d_, L"OF PAGE 100:", false));
  EXPECT_EQ(TextOf(bar.Note()), L"Wrapped around");
  EXPECT_EQ(GetInt(d_, kCurrentPage), 100);
  ASSERT_TRUE(WaitUntilShown(d_));
  // The current match and the others in view are marked in two colours over the text.
  const Shot shot = Screenshot(control_->window);
  auto orange = [](unsigned p) {
    return (p >> 16 & 255) > 230 && (p >> 8 & 255) > 110 && (p >> 8 & 255) < 190 && (p & 255) < 100;
  };
  auto yellow = [](unsigned p) { return (p >> 16 & 255) > 230 && (p >> 8 & 255) > 220 && (p & 255) < 130; };
  EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, orange), 50);
  EXPECT_GT(shot.Count(0, 0, shot.width, shot.height, yellow), 200);
  // Backward through the page's ten matches, then on round to them again.
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(Find(d_, L"of page 100:", false));
  EXPECT_EQ(TextOf(bar.Note()), L"");
  EXPECT_TRUE(Find(d_, L"of page 100:", false));
  EXPECT_EQ(TextOf(bar.Note()), L"Wrapped around");
  EXPECT_TRUE(Find(d_, L"of page 100:", true));
  EXPECT_EQ(TextOf(bar.Note()), L"Wrapped around");
  EXPECT_TRUE(Find(d_, L"of page 100:", true));
  EXPECT_EQ(TextOf(bar.Note()), L"");

  // Absent: said beside the field, the view stays.
  EXPECT_FALSE(Find(d_, L"zebra", true));
  EXPECT_EQ(TextOf(bar.Note()), L"Not found");
  EXPECT_EQ(GetInt(d_, kCurrentPage), 100);
}

// The control built with its test seams, beside this program, made in place of the registered
// one: it tells what both sides hold of pages' text.
class ReaderToolsWithSeams : public ReaderTools {
 protected:
  static constexpr DISPID kTextHeld = 100;
  void BeforeHost() override {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path(exe);
    path.erase(path.find_last_of(L'\\') + 1).append(L"seams\\PdfControl.dll");
    const HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr);
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    IUnknown* factory = nullptr;
    ASSERT_EQ(get(kControlClassId, IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(CoRegisterClassObject(kControlClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_),
              S_OK);
    factory->Release();
  }
  void TearDown() override {
    CoRevokeClassObject(cookie_);
    ReaderTools::TearDown();
  }
  // Bytes held and budget: the control's, then the worker's.
  std::vector<size_t> TextHeld() {
    VARIANT result;
    VariantInit(&result);
    std::vector<size_t> words;
    if (SUCCEEDED(Call(d_, kTextHeld, DISPATCH_PROPERTYGET, nullptr, &result)) && result.vt == VT_BSTR) {
      std::wistringstream in(result.bstrVal ? result.bstrVal : L"");
      for (size_t word; in >> word;) words.push_back(word);
    }
    VariantClear(&result);
    return words;
  }
  DWORD cookie_ = 0;
};

// 2,000 pages: a find from page 1 reaches the only match on the last page through the
// automation, whose wait keeps the window painting, and the text read on the way stays within
// both sides' budgets; a find typed in the field shows its progress beside it, and Escape
// stops it there.
TEST_F(ReaderToolsWithSeams, FindsThroughTwoThousandPagesWithinBudgetAndEscapeStopsASearch) {
  std::vector<testpdf::Page> pages(2000);
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i].height = 400;  // taller than the view, so that the last one can be at its top
    // About 1,100 characters a page: all of them together are several times the worker's budget.
    pages[i].content = "0 g BT /F1 8 Tf 10 380 Td 9 TL (Line " + std::to_string(i + 1) + " of a long manual) Tj";
    for (int line = 0; line < 20; ++line) pages[i].content += " T* (with more lines of text to be read by a search) Tj";
    pages[i].content += " ET";
  }
  pages.back().content = "0 g BT /F1 10 Tf 10 60 Td (the zanzibarite stone) Tj ET";
  const std::wstring path = WriteFile(L"long.pdf", testpdf::Document(pages));
  // About two pages of this text in the control, forty of what the worker keeps to search.
  constexpr int kBudget = 100'000;
  VARIANT budget;
  budget.vt = VT_I4;
  budget.lVal = kBudget;
  Open(path);
  ASSERT_EQ(Call(d_, kTextHeld, DISPATCH_PROPERTYPUT, &budget, nullptr), S_OK);
  const Toolbar bar(control_->window);
  EXPECT_TRUE(Find(d_, L"Zanzibarite", true));
  EXPECT_EQ(GetInt(d_, kCurrentPage), 2000);
  EXPECT_EQ(TextOf(bar.Note()), L"");
  // The control holds the text of pages in view: a few visited fill its budget.
  std::vector<size_t> held;
  for (int page = 1; page <= 20; ++page) {
    PutInt(d_, kCurrentPage, page);
    PumpUntil([] { return false; }, 200);
    held = TextHeld();
    ASSERT_EQ(held.size(), 4u);
    EXPECT_LE(held[0], held[1]) << "the control's text over its budget at page " << page;
    if (held[0] > held[1] / 2) break;
  }
  EXPECT_EQ(held[1], size_t(kBudget));
  EXPECT_EQ(held[3], size_t(kBudget)) << "a worker restarted during the find, with the budget it starts with";
  EXPECT_GT(held[0], held[1] / 2) << "too little held to tell";
  EXPECT_LE(held[2], held[3]) << "the worker's text over its budget";
  EXPECT_GT(held[2], held[3] / 2) << "too little held to tell";

  // Opened again, the worker has read none of its text yet.
  Open(path);
  const int page = GetInt(d_, kCurrentPage);
  FocusPages();
  Chord(VK_CONTROL, 'F');
  Type("nowhere");
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return TextOf(bar.Note()).rfind(L"Searching page ", 0) == 0; }, 10000));
  EXPECT_NE(TextOf(bar.Note()).find(L" of 2,000\u2026"), std::wstring::npos);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return TextOf(bar.Note()).empty(); }, 5000));
  // Stopped: it says nothing more, however long the rest would have taken.
  PumpUntil([] { return false; }, 3000);
  EXPECT_EQ(TextOf(bar.Note()), L"");
  EXPECT_EQ(GetInt(d_, kCurrentPage), page);
}

// A page of two lines in Helvetica 14, with links below them: to page 3 and to an address.
std::string LinesAndLinks() {
  testpdf::Page first;
  first.width = 200;
  first.height = 150;
  first.content =
      "0 g BT /F1 14 Tf 20 120 Td (First line of text) Tj 0 -24 Td (Second line here) Tj ET "
      "0 0 1 rg 20 20 60 30 re f 120 20 60 30 re f";
  first.annots =
      "<< /Type /Annot /Subtype /Link /Rect [20 20 80 50] /Border [0 0 0] /Dest [2 /XYZ 0 150 0] >> "
      "<< /Type /Annot /Subtype /Link /Rect [120 20 180 50] /Border [0 0 0] "
      "/A << /S /URI /URI (http://example.invalid/x) >> >>";
  testpdf::Page other;
  other.width = 200;
  other.height = 150;
  other.content = "0 g BT /F1 14 Tf 20 120 Td (Another page) Tj ET";
  return testpdf::Document({first, other, other});
}

TEST_F(ReaderTools, SelectsWithTheMouseAndCopies) {
  Open(WriteFile(L"lines.pdf", LinesAndLinks()));
  RECT client;
  GetClientRect(control_->window, &client);
  const double s = (client.right - 16) / 200.0;
  // Page points to the control's client pixels: the page starts below the toolbar's strip.
  auto at = [&](double x, double y) { return OnScreen(control_->window, 8 + int(x * s), 26 + 8 + int(y * s)); };
  ASSERT_TRUE(PumpUntil([&] { return Find(d_, L"first", true); }));  // the text has arrived
  // Dragged from before the first line's start to beyond its end (the line's middle is 25
  // points from the top).
  SendMouseAt(at(4, 25), MOUSEEVENTF_LEFTDOWN);
  SendMouseAt(at(100, 26), 0);
  SendMouseAt(at(196, 25), 0);
  SendMouseAt(at(196, 25), MOUSEEVENTF_LEFTUP);
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(Selected(d_), L"First line of text");
  Chord(VK_CONTROL, 'C');
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(static_cast<const wchar_t*>(GlobalLock(data)), L"First line of text");
  GlobalUnlock(data);
  CloseClipboard();

  // A double click takes a word; Ctrl+A the page; the lines come apart by a line break.
  ClickAt(at(80, 50), 2);
  EXPECT_EQ(Selected(d_), L"line");
  Chord(VK_CONTROL, 'A');
  EXPECT_EQ(Selected(d_), L"First line of text\nSecond line here");
}

TEST_F(ReaderTools, FollowsAnInternalLinkAndShowsAHandOverLinks) {
  Open(WriteFile(L"links.pdf", LinesAndLinks()));
  RECT client;
  GetClientRect(control_->window, &client);
  const double s = (client.right - 16) / 200.0;
  auto at = [&](double x, double y) { return OnScreen(control_->window, 8 + int(x * s), 26 + 8 + int(y * s)); };
  ASSERT_TRUE(PumpUntil([&] { return Find(d_, L"first", true); }));
  const HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
  ASSERT_TRUE(PointAt(at(150, 110)));  // the address's link
  EXPECT_TRUE(PumpUntil([&] { return GetCursor() == hand; }, 3000));
  EXPECT_TRUE(PumpUntil([] { return ShownTip() == L"http://example.invalid/x"; }));
  ASSERT_TRUE(PointAt(at(100, 70)));  // no link
  EXPECT_TRUE(PumpUntil([&] { return GetCursor() != hand; }, 3000));
  ClickAt(at(50, 115));  // the link to page 3
  EXPECT_TRUE(WaitForPage(3));
}

// The tooltip is made when the pointer first comes over a button, and says what the button does.
TEST_F(ReaderTools, ButtonsExplainThemselvesWhenThePointerRestsOnThem) {
  Open(SamplePath(L"pages.pdf"));
  const Toolbar bar(control_->window);
  int tooltips = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountTooltips, LPARAM(&tooltips));
  EXPECT_EQ(tooltips, 0) << "made before it was needed";
  const struct {
    size_t child;
    const wchar_t* hint;
  } cases[] = {{1, L"Next page"}, {12, L"Print (Ctrl+P)"}};
  for (const auto& c : cases) {
    ASSERT_LT(c.child, bar.children.size());
    RECT r;
    GetWindowRect(bar.children[c.child], &r);
    ASSERT_TRUE(PointAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    EXPECT_TRUE(PumpUntil([&] { return ShownTip() == c.hint; })) << "shown: " << testing::PrintToString(ShownTip());
  }
}

TEST_F(ReaderTools, RemembersEachDocumentsViewAndAnswersAutomation) {
  const std::wstring pages = SamplePath(L"pages.pdf"), lines = WriteFile(L"view.pdf", LinesAndLinks());
  Open(pages);
  const Toolbar bar(control_->window);
  // Written and read back, out of range to the nearest.
  const struct {
    DISPID id;
    int written, read;
  } cases[] = {{kCurrentPage, 40, 40}, {kCurrentPage, 0, 1}, {kCurrentPage, 1000, 100}, {kCurrentPage, 40, 40},
               {kZoom, 200, 200},      {kZoom, 0, 0},        {kZoom, 100, 100},         {kZoom, 150, 150}};
  for (const auto& c : cases) {
    EXPECT_EQ(PutInt(d_, c.id, c.written), S_OK) << c.id << " " << c.written;
    EXPECT_EQ(GetInt(d_, c.id), c.read) << c.id << " " << c.written;
  }
  EXPECT_EQ(TextOf(bar.ZoomBox()), L"150%");
  EXPECT_EQ(GetInt(d_, kCurrentPage), 40) << "zooming keeps the page";
  EXPECT_EQ(Selected(d_), L"");

  Open(lines);
  EXPECT_EQ(GetInt(d_, kCurrentPage), 1);
  EXPECT_EQ(GetInt(d_, kZoom), 0);
  Open(pages);
  EXPECT_EQ(GetInt(d_, kCurrentPage), 40);
  EXPECT_EQ(GetInt(d_, kZoom), 150);

  // A file that cannot be opened disables the toolbar and answers no page.
  EXPECT_FALSE(OpenDocument(d_, TempFolder() + L"missing.pdf"));
  EXPECT_FALSE(IsWindowEnabled(bar.PageBox()));
  EXPECT_FALSE(IsWindowEnabled(bar.FindBox()));
  EXPECT_EQ(GetInt(d_, kCurrentPage), 0);
  EXPECT_FALSE(Find(d_, L"page", true));

  // Wrong calls are refused as dispatch calls are.
  VARIANT one;
  one.vt = VT_BSTR;
  one.bstrVal = SysAllocString(L"x");
  DISPPARAMS params{&one, nullptr, 1, 0};
  EXPECT_EQ(d_->Invoke(kFind, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(d_, kSelectedText, DISPATCH_PROPERTYPUT, &one, nullptr), DISP_E_MEMBERNOTFOUND);
  VariantClear(&one);
  const wchar_t* names[] = {L"currentPage", L"ZOOM", L"find", L"selectedText"};
  for (DISPID expected = kCurrentPage; expected <= kSelectedText; ++expected) {
    DISPID id = 0;
    EXPECT_EQ(d_->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[expected - kCurrentPage]), 1, 0, &id), S_OK);
    EXPECT_EQ(id, expected);
  }
}

}  // namespace
