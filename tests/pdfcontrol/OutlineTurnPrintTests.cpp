// The viewer control's outline pane, turned view and printing, through the real control in a
// host window, with real input. Printing goes to a printer that these tests add to the prefix:
// Wine's PostScript driver writing to a file.
#include "tests/pdfcontrol/TestHost.h"
#include "tests/pdfcontrol/TestPdf.h"
#include "tests/support/WindowTesting.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <winspool.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace testhost;

namespace {

constexpr DISPID kCurrentPage = 5, kFind = 7, kPrint = 9;

std::wstring SamplePath(const wchar_t* name) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + L"..\\..\\..\\samples\\" + name;
}

int CurrentPage(IDispatch* control) {
  VARIANT result;
  VariantInit(&result);
  if (FAILED(Call(control, kCurrentPage, DISPATCH_PROPERTYGET, nullptr, &result)) || result.vt != VT_I4) return -1;
  return result.lVal;
}

HRESULT PutPage(IDispatch* control, int page) {
  VARIANT argument;
  argument.vt = VT_I4;
  argument.lVal = page;
  return Call(control, kCurrentPage, DISPATCH_PROPERTYPUT, &argument, nullptr);
}

// A method of two arguments, given first to last.
HRESULT CallTwo(IDispatch* control, DISPID id, VARIANT first, VARIANT second, VARIANT* result, EXCEPINFO* error) {
  VARIANT arguments[2] = {second, first};  // last argument first
  DISPPARAMS params{arguments, nullptr, 2, 0};
  if (result) VariantInit(result);
  return control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, error, nullptr);
}

VARIANT Int(int value) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

void Chord(std::vector<WORD> keys) {
  std::vector<INPUT> input;
  for (WORD key : keys) input.push_back(INPUT{INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}});
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    input.push_back(INPUT{INPUT_KEYBOARD, {.ki = {*it, 0, KEYEVENTF_KEYUP, 0, 0}}});
  }
  SendInput(UINT(input.size()), input.data(), sizeof(INPUT));
  PumpUntil([] { return false; }, 150);
}

HWND TreeOf(HWND control) { return FindWindowExW(control, nullptr, WC_TREEVIEWW, nullptr); }

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[300] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = 300;
  SendMessageW(tree, TVM_GETITEMW, 0, LPARAM(&tv));
  return text;
}

// The tree's titles in reading order, each indented by two spaces a level.
std::vector<std::wstring> Titles(HWND tree) {
  std::vector<std::wstring> titles;
  auto walk = [&](auto& self, HTREEITEM item, int depth) -> void {
    for (; item; item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item)))) {
      titles.push_back(std::wstring(size_t(depth) * 2, L' ') + ItemText(tree, item));
      self(self, HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(item))), depth + 1);
    }
  };
  walk(walk, HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
  return titles;
}

HTREEITEM ItemTitled(HWND tree, const std::wstring& title) {
  HTREEITEM found = nullptr;
  auto walk = [&](auto& self, HTREEITEM item) -> void {
    for (; item && !found; item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item)))) {
      if (ItemText(tree, item) == title) found = item;
      self(self, HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(item))));
    }
  };
  walk(walk, HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
  return found;
}

std::wstring SelectedTitle(HWND tree) {
  const auto item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  return item ? ItemText(tree, item) : L"";
}

// A PDF text string in UTF-16 with its byte order mark.
std::string Utf16Title(const std::wstring& title) {
  std::string hex = "<FEFF";
  char unit[8];
  for (wchar_t c : title) {
    std::snprintf(unit, sizeof unit, "%04X", unsigned(c));
    hex += unit;
  }
  return hex + ">";
}

// Three tall pages with an outline: a chapter with two sections (one title in Greek, Spanish
// and Japanese), an entry whose destination is a page that does not exist, and a last chapter
// whose next entry is an object that is not there: the damage after which nothing is read.
std::string OutlinedDocument() {
  std::vector<testpdf::Page> pages(3);
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i].width = 200;
    pages[i].height = 400;
    pages[i].content = "0 g BT /F1 12 Tf 20 370 Td (Page " + std::to_string(i + 1) + ") Tj ET";
  }
  const int first = testpdf::FirstExtraObject(3);
  const int root = first, chapter = first + 1, s1 = first + 2, s2 = first + 3, broken = first + 4, last = first + 5;
  auto ref = [](int n) { return std::to_string(n) + " 0 R"; };
  auto dest = [&](int page, int top) {
    return "[" + ref(testpdf::PageObject(page)) + " /XYZ 0 " + std::to_string(top) + " 0]";
  };
  const std::vector<std::string> objects = {
      "<< /Type /Outlines /First " + ref(chapter) + " /Last " + ref(last) + " /Count 5 >>",
      "<< /Title " + Utf16Title(L"Chapter \u03A9ne") + " /Parent " + ref(root) + " /Next " + ref(broken) + " /First " +
          ref(s1) + " /Last " + ref(s2) + " /Count 2 /Dest " + dest(0, 400) + " >>",
      "<< /Title (Section 1.1) /Parent " + ref(chapter) + " /Next " + ref(s2) + " /Dest " + dest(0, 200) + " >>",
      "<< /Title " + Utf16Title(L"Secci\u00F3n 1.2 \u65E5\u672C") + " /Parent " + ref(chapter) + " /Prev " + ref(s1) +
          " /Dest " + dest(1, 400) + " >>",
      "<< /Title (Broken link) /Parent " + ref(root) + " /Prev " + ref(chapter) + " /Next " + ref(last) +
          " /Dest [999 0 R /Fit] >>",
      "<< /Title (Chapter Two) /Parent " + ref(root) + " /Prev " + ref(broken) + " /Next 900 0 R /Dest " +
          dest(2, 400) + " >>",
  };
  return testpdf::Document(pages, "/Outlines " + ref(root) + " /PageMode /UseOutlines", objects);
}

class ViewerStaples : public ControlTest {
 protected:
  ViewerStaples() : ControlTest({.width = 520, .height = 360, .control = true, .foreground = true}) {}
  void FocusPages() {
    RECT client;
    GetClientRect(control_->window, &client);
    ClickAt(OnScreen(control_->window, client.right - 24, client.bottom - 10));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == control_->window; }));
  }
  // The toolbar's outline toggle: the first window the control makes after its note.
  HWND OutlineButton() const {
    HWND w = GetWindow(control_->window, GW_CHILD);
    for (int i = 0; i < 9 && w; ++i) w = GetWindow(w, GW_HWNDNEXT);
    return w;
  }
};

TEST_F(ViewerStaples, OutlinePaneShowsTheTreeJumpsAndFollowsScrolling) {
  EXPECT_EQ(TreeOf(control_->window), nullptr) << "made with the first outline, not before";
  Open(WriteFile(L"outlined.pdf", OutlinedDocument()));
  const HWND toggle = OutlineButton();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(toggle) != FALSE; }, 20000)) << "outline never arrived";
  const HWND tree = TreeOf(control_->window);
  ASSERT_NE(tree, nullptr);
  EXPECT_FALSE(IsWindowVisible(tree)) << "hidden until asked for";
  FocusPages();
  PressKey(VK_F9);
  ASSERT_TRUE(IsWindowVisible(tree));
  EXPECT_EQ(SendMessageW(toggle, BM_GETCHECK, 0, 0), BST_CHECKED);
  const std::vector<std::wstring> expected = {L"Chapter \u03A9ne", L"  Section 1.1", L"  Secci\u00F3n 1.2 \u65E5\u672C",
                                              L"Broken link", L"Chapter Two"};
  EXPECT_EQ(Titles(tree), expected);
  // The pages moved right of the pane and its bar.
  RECT pane;
  GetWindowRect(tree, &pane);
  MapWindowPoints(nullptr, control_->window, reinterpret_cast<POINT*>(&pane), 2);
  EXPECT_EQ(pane.left, 0);
  ASSERT_TRUE(WaitUntilShown(d_));
  const Shot shot = Screenshot(control_->window);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const unsigned bar_colour = unsigned(GetRValue(face)) << 16 | unsigned(GetGValue(face)) << 8 | GetBValue(face);
  EXPECT_EQ(shot.Count(pane.right, 40, pane.right + 5, 60, [&](unsigned p) { return p == bar_colour; }), 100)
      << "the bar, not a page";
  EXPECT_GT(shot.Count(pane.right + 13, 40, pane.right + 60, 60, IsWhite), 500) << "a page right of the bar";

  // A click on an entry goes to its destination; one without a destination stays.
  auto click = [&](const std::wstring& title) {
    const HTREEITEM item = ItemTitled(tree, title);
    RECT r{};
    std::memcpy(&r, &item, sizeof item);  // the item goes in where the rectangle comes back
    ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMRECT, TRUE, LPARAM(&r)))
        << "not shown: " << testing::PrintToString(title);
    ClickAt(OnScreen(tree, (r.left + r.right) / 2, (r.top + r.bottom) / 2));
  };
  const struct {
    const wchar_t* title;
    int page;
  } jumps[] = {
      {L"Chapter Two", 3}, {L"Secci\u00F3n 1.2 \u65E5\u672C", 2}, {L"Broken link", 2}, {L"Chapter \u03A9ne", 1}};
  for (const auto& jump : jumps) {
    click(jump.title);
    EXPECT_TRUE(PumpUntil([&] { return CurrentPage(d_) == jump.page; }, 3000))
        << testing::PrintToString(std::wstring(jump.title)) << " went to " << CurrentPage(d_) << " selecting "
        << testing::PrintToString(SelectedTitle(tree));
  }
  // Enter on the selected entry goes too.
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(ItemTitled(tree, L"Chapter Two")));
  SetFocus(tree);
  PressKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return CurrentPage(d_) == 3; }, 3000));

  // Scrolling selects the entry of the section in view.
  FocusPages();
  const struct {
    int page;
    int lines_down;
    const wchar_t* section;
  } places[] = {{2, 0, L"Secci\u00F3n 1.2 \u65E5\u672C"},
                {1, 0, L"Chapter \u03A9ne"},
                {1, 14, L"Section 1.1"},
                {3, 0, L"Chapter Two"}};
  for (const auto& place : places) {
    ASSERT_EQ(PutPage(d_, place.page), S_OK);
    for (int i = 0; i < place.lines_down; ++i) PressKey(VK_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return SelectedTitle(tree) == place.section; }, 3000))
        << "page " << place.page << " +" << place.lines_down << ": " << testing::PrintToString(SelectedTitle(tree));
  }

  // The bar drags the pane's width; hidden and shown again, and opened again, it stays.
  GetWindowRect(tree, &pane);
  const POINT bar{pane.right + 2, (pane.top + pane.bottom) / 2};
  SendMouseAt(bar, MOUSEEVENTF_LEFTDOWN);
  SendMouseAt(POINT{bar.x + 60, bar.y}, 0);
  SendMouseAt(POINT{bar.x + 60, bar.y}, MOUSEEVENTF_LEFTUP);
  PumpUntil([] { return false; }, 100);
  RECT wider;
  GetWindowRect(tree, &wider);
  EXPECT_EQ(wider.right - wider.left, pane.right - pane.left + 60);
  Open(SamplePath(L"pages.pdf"));
  EXPECT_FALSE(IsWindowVisible(tree)) << "a document without an outline";
  EXPECT_FALSE(IsWindowEnabled(toggle));
  Open(WriteFile(L"outlined.pdf", OutlinedDocument()));
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(tree) != FALSE; }, 20000));
  RECT again;
  GetWindowRect(tree, &again);
  EXPECT_EQ(again.right - again.left, wider.right - wider.left);
  FocusPages();
  PressKey(VK_F9);
  EXPECT_FALSE(IsWindowVisible(tree));
}

// A page 200 x 100 points whose top left quarter is red.
std::string RedCorner() {
  testpdf::Page page;
  page.width = 200;
  page.height = 100;
  page.content = "1 0 0 rg 0 50 100 50 re f";
  return testpdf::Document({page, page});
}

// Two pages of 150 points a side with a link at (20, 100)-(80, 130) from the top to page 3.
std::string LinkToThree() {
  testpdf::Page first;
  first.width = 200;
  first.height = 150;
  first.content = "0 g BT /F1 14 Tf 20 120 Td (Linked page) Tj ET 0 0 1 rg 20 20 60 30 re f";
  first.annots = "<< /Type /Annot /Subtype /Link /Rect [20 20 80 50] /Border [0 0 0] /Dest [2 /XYZ 0 150 0] >>";
  testpdf::Page other = first;
  other.annots.clear();
  return testpdf::Document({first, other, other});
}

TEST_F(ViewerStaples, TurningTurnsThePixelsAndKeepsLinksWorking) {
  const std::wstring corner = WriteFile(L"corner.pdf", RedCorner());
  Open(corner);
  RECT client;
  GetClientRect(control_->window, &client);
  // The red quarter's share of each half of the first page's top rows, as shown.
  auto red_sides = [&] {
    const Shot shot = Screenshot(control_->window);
    const int top = 26 + 8, width = shot.width - 16;
    const int half = 8 + width / 2;
    return std::pair{shot.Count(8, top, half - 2, top + 20, IsRed),
                     shot.Count(half + 2, top, 8 + width, top + 20, IsRed)};
  };
  auto [left, right] = red_sides();
  EXPECT_GT(left, 1000);
  EXPECT_EQ(right, 0);
  FocusPages();
  const struct {
    std::vector<WORD> keys;
    bool red_left, red_right;
  } turns[] = {{{VK_CONTROL, VK_SHIFT, VK_OEM_PLUS}, false, true},   // a quarter clockwise: top right
               {{VK_CONTROL, VK_SHIFT, VK_OEM_PLUS}, false, false},  // upside down: at the bottom
               {{VK_CONTROL, VK_SHIFT, VK_OEM_MINUS}, false, true},
               {{VK_CONTROL, VK_SHIFT, VK_OEM_MINUS}, true, false}};
  for (size_t i = 0; i < std::size(turns); ++i) {
    Chord(turns[i].keys);
    ASSERT_TRUE(WaitUntilShown(d_));
    std::tie(left, right) = red_sides();
    EXPECT_EQ(left > 500, turns[i].red_left) << "turn " << i << ": " << left;
    EXPECT_EQ(right > 500, turns[i].red_right) << "turn " << i << ": " << right;
  }

  // Turned a quarter clockwise, the link lies at (h - y, x) of the page shown 150 x 200.
  Open(WriteFile(L"turnlink.pdf", LinkToThree()));
  ASSERT_EQ(PutPage(d_, 2), S_OK);
  FocusPages();
  Chord({VK_CONTROL, VK_SHIFT, VK_OEM_PLUS});
  ASSERT_TRUE(WaitUntilShown(d_));
  EXPECT_EQ(CurrentPage(d_), 2) << "the page at the top stays there";
  VARIANT text, forward;
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(L"linked");
  forward.vt = VT_BOOL;
  forward.boolVal = VARIANT_TRUE;
  VARIANT found;
  ASSERT_TRUE(
      PumpUntil([&] { return SUCCEEDED(CallTwo(d_, kFind, text, forward, &found, nullptr)) && found.boolVal; }));
  SysFreeString(text.bstrVal);
  ASSERT_EQ(PutPage(d_, 1), S_OK);
  const double s = (client.right - 16) / 150.0;
  ClickAt(OnScreen(control_->window, 8 + int((150 - 115) * s), 26 + 8 + int(50 * s)));
  EXPECT_TRUE(PumpUntil([&] { return CurrentPage(d_) == 3; }, 5000)) << "at page " << CurrentPage(d_);

  // Each document keeps its turn.
  Open(corner);
  std::tie(left, right) = red_sides();
  EXPECT_GT(left, 500) << "the corner document was left unturned";
  Open(WriteFile(L"turnlink.pdf", LinkToThree()));
  ASSERT_TRUE(WaitUntilShown(d_));
  const Shot shot = Screenshot(control_->window);
  // Where the turned page has its blue square (under the link), the unturned one is blank.
  const unsigned p = shot.At(8 + int(35 * s), 26 + 8 + int(50 * s));
  EXPECT_TRUE((p & 255) > 200 && (p >> 8 & 255) < 80 && (p >> 16 & 255) < 80) << "not turned: " << std::hex << p;
}

// ---- printing

constexpr wchar_t kPrinterName[] = L"Folvane Test Printer";

// A PostScript printer description that Wine's PostScript driver takes: two paper sizes at
// 300 dpi and the standard fonts.
constexpr char kPrinterDescription[] =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n*PCFileName: \"FOLVANE.PPD\"\n*Manufacturer: \"Folvane\"\n"
    "*Product: \"(Folvane Test Printer)\"\n*ModelName: \"Folvane Test Printer\"\n"
    "*ShortNickName: \"Folvane Test Printer\"\n*NickName: \"Folvane Test Printer\"\n"
    "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: True\n*DefaultColorSpace: RGB\n"
    "*DefaultResolution: 300dpi\n*OpenUI *PageSize: PickOne\n*DefaultPageSize: Letter\n"
    "*PageSize Letter/US Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\n*CloseUI: *PageSize\n"
    "*DefaultImageableArea: Letter\n*ImageableArea Letter/US Letter: \"18 36 594 756\"\n"
    "*ImageableArea A4/A4: \"18 36 577 806\"\n*DefaultPaperDimension: Letter\n"
    "*PaperDimension Letter/US Letter: \"612 792\"\n*PaperDimension A4/A4: \"595 842\"\n"
    "*DefaultFont: Courier\n*Font Courier: Standard \"(002.004S)\" Standard ROM\n"
    "*Font Helvetica: Standard \"(001.006S)\" Standard ROM\n";

// Adds the printer, writing to the file, as the default printer; true when it is there.
bool AddFilePrinter(const std::wstring& output) {
  wchar_t folder[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(folder), sizeof folder, &needed)) {
    return false;
  }
  const std::wstring description = std::wstring(folder) + L"\\folvane-test.ppd";
  {
    std::ofstream out(description.c_str(), std::ios::binary);
    out << kPrinterDescription;
  }
  DRIVER_INFO_3W driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<wchar_t*>(L"Wine PostScript Driver");
  driver.pEnvironment = const_cast<wchar_t*>(L"Windows NT x86");
  driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
  driver.pDataFile = const_cast<wchar_t*>(description.c_str());
  driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
  if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) return false;
  HANDLE existing = nullptr;
  if (OpenPrinterW(const_cast<wchar_t*>(kPrinterName), &existing, nullptr)) {
    DeletePrinter(existing);
    ClosePrinter(existing);
  }
  PRINTER_INFO_2W printer{};
  printer.pPrinterName = const_cast<wchar_t*>(kPrinterName);
  printer.pPortName = const_cast<wchar_t*>(output.c_str());  // a port named by a file writes there
  printer.pDriverName = driver.pName;
  printer.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
  printer.pDatatype = const_cast<wchar_t*>(L"RAW");
  HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (!added) return false;
  ClosePrinter(added);
  return SetDefaultPrinterW(kPrinterName) != FALSE;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The widths of the images on each page of a PostScript file, in pixels.
std::vector<std::set<int>> ImageWidthsByPage(const std::string& postscript) {
  std::vector<std::set<int>> pages;
  std::istringstream lines(postscript);
  std::string line;
  const std::regex width(R"(/Width (\d+))");
  while (std::getline(lines, line)) {
    if (line.rfind("%%Page:", 0) == 0) pages.emplace_back();
    std::smatch m;
    if (!pages.empty() && std::regex_search(line, m, width)) pages.back().insert(std::stoi(m[1]));
  }
  return pages;
}

// Five pages whose widths tell them apart when printed: page i (from 1) is 100 + 40 i points.
std::string NumberedWidths() {
  std::vector<testpdf::Page> pages(5);
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i].width = 100 + 40.0 * double(i + 1);
    pages[i].height = 200;
    pages[i].content = "0 0 1 rg 10 10 50 50 re f";
  }
  return testpdf::Document(pages);
}

// The width in printer pixels (300 dpi) of page i (from 1).
int PrintedWidth(int page) { return (100 + 40 * page) * 300 / 72; }

struct DialogAnswer {
  int from = 0, to = 0;  // 0: all pages
  bool seen = false;
  std::wstring progress;  // the progress window's text, seen while printing
};
DialogAnswer* answering = nullptr;

BOOL CALLBACK FindPrintWindows(HWND window, LPARAM found) {
  wchar_t cls[32] = {}, title[64] = {};
  GetClassNameW(window, cls, 32);
  GetWindowTextW(window, title, 64);
  if (lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(title, L"Print") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  if (lstrcmpW(title, L"Printing") == 0 && answering) {
    wchar_t text[128] = {};
    GetWindowTextW(GetWindow(window, GW_CHILD), text, 128);
    if (*text) answering->progress = text;
  }
  return TRUE;
}

// Fills the print dialog's range (rad3 "Pages", edt1 from, edt2 to) and presses Print.
void CALLBACK AnswerPrintDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindPrintWindows, LPARAM(&dialog));
  if (!dialog || !answering || answering->seen) return;
  answering->seen = true;
  if (answering->from) {
    CheckRadioButton(dialog, 0x420, 0x422, 0x422);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x422, BN_CLICKED), LPARAM(GetDlgItem(dialog, 0x422)));
    SetDlgItemInt(dialog, 0x480, UINT(answering->from), FALSE);
    SetDlgItemInt(dialog, 0x481, UINT(answering->to), FALSE);
  }
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(dialog, IDOK)));
}

TEST_F(ViewerStaples, PrintsTheRangeAskedForThroughWinesPostScriptDriver) {
  const std::wstring output = TempFolder() + L"printed.ps";
  DeleteFileW(output.c_str());
  ASSERT_TRUE(AddFilePrinter(output)) << "error " << GetLastError();
  Open(WriteFile(L"widths.pdf", NumberedWidths()));
  FocusPages();

  // Ctrl+P, pages 2 to 4 in the dialog.
  DialogAnswer answer;
  answer.from = 2;
  answer.to = 4;
  answering = &answer;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerPrintDialog);
  Chord({VK_CONTROL, 'P'});
  PumpUntil([&] { return answer.seen && GetFileAttributesW(output.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
  KillTimer(nullptr, timer);
  answering = nullptr;
  ASSERT_TRUE(answer.seen) << "no print dialog";
  EXPECT_EQ(answer.progress.rfind(L"Printing page ", 0), 0u) << testing::PrintToString(answer.progress);
  EXPECT_NE(answer.progress.find(L" of 3\u2026"), std::wstring::npos) << testing::PrintToString(answer.progress);
  const auto printed = ImageWidthsByPage(ReadAll(output));
  ASSERT_EQ(printed.size(), 3u);
  for (int page = 2; page <= 4; ++page) {
    EXPECT_EQ(printed[size_t(page - 2)], std::set<int>{PrintedWidth(page)}) << "sheet " << page - 1;
  }

  // The automation prints without a dialog.
  DeleteFileW(output.c_str());
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(L"print");
  EXPECT_EQ(d_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, kPrint);
  VARIANT result;
  EXPECT_EQ(CallTwo(d_, kPrint, Int(5), Int(5), &result, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);
  const auto single = ImageWidthsByPage(ReadAll(output));
  ASSERT_EQ(single.size(), 1u);
  EXPECT_EQ(single[0], std::set<int>{PrintedWidth(5)});
  // A range outside the document prints nothing and says why.
  DeleteFileW(output.c_str());
  EXCEPINFO error{};
  EXPECT_EQ(CallTwo(d_, kPrint, Int(4), Int(9), &result, &error), DISP_E_EXCEPTION);
  EXPECT_STREQ(error.bstrDescription, L"The pages asked for are not in the document.");
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  EXPECT_EQ(GetFileAttributesW(output.c_str()), INVALID_FILE_ATTRIBUTES);

  // A document that forbids printing says so, with the keys and through the automation.
  Open(WriteFile(L"noprint.pdf", testpdf::PrintForbidden()));
  FocusPages();
  const ShownMessageBox box = CaptureMessageBox([] { Chord({VK_CONTROL, 'P'}); });
  EXPECT_TRUE(box.shown);
  EXPECT_EQ(box.text, "This document does not allow printing.");
  error = EXCEPINFO{};
  EXPECT_EQ(CallTwo(d_, kPrint, Int(1), Int(1), &result, &error), DISP_E_EXCEPTION);
  EXPECT_STREQ(error.bstrDescription, L"This document does not allow printing.");
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  EXPECT_EQ(GetFileAttributesW(output.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
