// The reader's tools over the pages (see ReaderTools.h).
#include "ReaderTools.h"

#include "AddressBox.h"
#include "Guard.h"
#include "LinkPolicy.h"
#include "Printing.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <tuple>

namespace pdfview {

namespace {

constexpr UINT kTextMessage = ViewerWindow::kTextMessage;

enum ControlId : int {
  kPrevPage = 101,
  kNextPage,
  kPageBox,
  kPageCount,
  kZoomBox,
  kFindBox,
  kFindNext,
  kFindPrev,
  kNote,
  kOutlineButton,
  kTurnLeft,
  kTurnRight,
  kPrintButton,
  kOutlineTree,
  kCopy = 201,
  kSelectAll,
};

// Zoom choices after the two fits; 0 and -1 stand for fit width and fit page.
constexpr int kZoomChoices[] = {0, -1, 50, 75, 100, 125, 150, 200, 300, 400};

std::wstring TextOf(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(size_t(n) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(window, text.data(), n + 1)));
  return text;
}

void SetTextIfChanged(HWND window, const std::wstring &text) {
  if (window && TextOf(window) != text) SetWindowTextW(window, text.c_str());
}

bool Ctrl() { return GetKeyState(VK_CONTROL) < 0; }
bool Shift() { return GetKeyState(VK_SHIFT) < 0; }
bool Alt() { return GetKeyState(VK_MENU) < 0; }

// "1,234": the note's numbers, grouped as the note's own text is written.
std::wstring Grouped(uint32_t n) {
  std::wstring digits = std::to_wstring(n);
  for (int at = int(digits.size()) - 3; at > 0; at -= 3) digits.insert(size_t(at), L",");
  return digits;
}

bool Inside(HWND parent, HWND window) { return window && (window == parent || IsChild(parent, window)); }

// Paints a colour under dark ink: white paper takes the colour, black text stays black.
void Tint(HDC dc, const RECT &r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ old = SelectObject(dc, brush);
  PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0x00A000C9);  // pattern AND screen
  SelectObject(dc, old);
  DeleteObject(brush);
}

// A rectangle whose corners may come in any order.
TextBox Ordered(double x0, double y0, double x1, double y1) {
  return TextBox{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

RECT OnScreen(const TextBox &box, const RECT &page, double ppp) {
  return RECT{page.left + LONG(std::floor(box.x0 * ppp)), page.top + LONG(std::floor(box.y0 * ppp)),
              page.left + LONG(std::ceil(box.x1 * ppp)), page.top + LONG(std::ceil(box.y1 * ppp))};
}

// The toolbar's small pictures, drawn rather than typed: the dialog font has no such signs.
enum Icon { kOutlineIcon, kTurnLeftIcon, kTurnRightIcon, kPrintIcon };

HBITMAP DrawIcon(Icon icon) {
  constexpr int kSide = 16;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kSide, kSide);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  const RECT all{0, 0, kSide, kSide};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  HGDIOBJ old_pen = SelectObject(dc, pen);
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  auto line = [dc](int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
  };
  switch (icon) {
    case kOutlineIcon:
      for (const auto &[indent, y] : {std::pair{2, 3}, {6, 7}, {6, 11}}) {
        line(indent, y, indent + 2, y);
        line(indent + 4, y, 14, y);
      }
      break;
    case kTurnLeftIcon:
    case kTurnRightIcon: {
      const bool right = icon == kTurnRightIcon;
      // Three quarters of a circle, with the arrow's head at its open end.
      SelectObject(dc, GetStockObject(NULL_BRUSH));
      if (right) Arc(dc, 2, 3, 14, 15, 8, 3, 2, 9);
      else Arc(dc, 2, 3, 14, 15, 14, 9, 8, 3);
      SelectObject(dc, GetStockObject(BLACK_BRUSH));
      const POINT head[] = {{right ? 8 : 8, 0}, {right ? 12 : 4, 3}, {8, 6}};
      Polygon(dc, head, 3);
      break;
    }
    case kPrintIcon: {
      SelectObject(dc, GetStockObject(WHITE_BRUSH));
      Rectangle(dc, 4, 1, 12, 7);
      SelectObject(dc, GetStockObject(GRAY_BRUSH));
      Rectangle(dc, 1, 6, 15, 12);
      SelectObject(dc, GetStockObject(WHITE_BRUSH));
      Rectangle(dc, 4, 10, 12, 15);
      break;
    }
  }
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(pen);
  SelectObject(dc, old_bitmap);
  DeleteDC(dc);
  return bitmap;
}

// A number typed by a person: digits with blanks and a percent sign around them.
bool ParseNumber(std::wstring text, int &out) {
  std::erase_if(text, [](wchar_t c) { return c == L' ' || c == L'%'; });
  if (text.empty() || text.size() > 9) return false;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + (c - L'0');
  }
  out = value;
  return true;
}

}  // namespace

ReaderTools::ReaderTools(ViewerWindow &viewer, RendererClient &renderer) : viewer_(viewer), renderer_(renderer) {}

ReaderTools::~ReaderTools() {
  viewer_.SetExtension(nullptr);
  // Buttons do not own their pictures.
  for (HBITMAP &icon : icons_) {
    if (icon) DeleteObject(icon);
    icon = nullptr;
  }
}

HWND ReaderTools::Make(const wchar_t *cls, const wchar_t *text, DWORD style, DWORD ex_style, int id) {
  HWND child = CreateWindowExW(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window_,
                               reinterpret_cast<HMENU>(INT_PTR(id)), ThisModule(), nullptr);
  SendMessageW(child, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return child;
}

void ReaderTools::Attach() {
  window_ = viewer_.Handle();
  if (!window_) return;
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  prev_ = Make(L"BUTTON", L"<", BS_PUSHBUTTON, 0, kPrevPage);
  next_ = Make(L"BUTTON", L">", BS_PUSHBUTTON, 0, kNextPage);
  page_box_ = Make(L"EDIT", L"", ES_AUTOHSCROLL | ES_RIGHT | ES_NUMBER | WS_TABSTOP, WS_EX_CLIENTEDGE, kPageBox);
  page_count_ = Make(L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0, kPageCount);
  zoom_box_ = Make(L"COMBOBOX", L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, kZoomBox);
  for (int choice : kZoomChoices) {
    const std::wstring line = choice == 0 ? L"Fit width" : choice < 0 ? L"Fit page" : std::to_wstring(choice) + L"%";
    SendMessageW(zoom_box_, CB_ADDSTRING, 0, LPARAM(line.c_str()));
  }
  find_box_ = Make(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kFindBox);
  find_prev_ = Make(L"BUTTON", L"\u00AB", BS_PUSHBUTTON, 0, kFindPrev);
  find_next_ = Make(L"BUTTON", L"\u00BB", BS_PUSHBUTTON, 0, kFindNext);
  note_ = Make(L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | SS_ENDELLIPSIS, 0, kNote);
  outline_button_ = Make(L"BUTTON", L"Outline", BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP, 0, kOutlineButton);
  turn_left_ = Make(L"BUTTON", L"Turn left", BS_PUSHBUTTON | BS_BITMAP, 0, kTurnLeft);
  turn_right_ = Make(L"BUTTON", L"Turn right", BS_PUSHBUTTON | BS_BITMAP, 0, kTurnRight);
  print_ = Make(L"BUTTON", L"Print", BS_PUSHBUTTON | BS_BITMAP, 0, kPrintButton);
  const std::pair<HWND, Icon> pictures[] = {
      {outline_button_, kOutlineIcon}, {turn_left_, kTurnLeftIcon}, {turn_right_, kTurnRightIcon}, {print_, kPrintIcon}};
  for (const auto &[button, icon] : pictures) {
    icons_[icon] = DrawIcon(icon);
    SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, LPARAM(icons_[icon]));
  }
  outline_.Create(window_, kOutlineTree);
  for (HWND field : {page_box_, find_box_, GetWindow(zoom_box_, GW_CHILD)}) {
    if (field) SetWindowSubclass(field, &FieldProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                         0, 0, 0, 0, window_, nullptr, ThisModule(), nullptr);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
  tool.hwnd = window_;
  tool.uId = UINT_PTR(window_);
  tool.lpszText = const_cast<wchar_t *>(L"");
  SendMessageW(tip_, TTM_ADDTOOLW, 0, LPARAM(&tool));
  // A refused link's tip has a second line; long addresses wrap.
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 400);
  // Buttons explain themselves in the same tooltip control.
  const std::pair<HWND, const wchar_t *> hints[] = {{prev_, L"Previous page"}, {next_, L"Next page"},
                                                    {find_prev_, L"Find previous (Shift+F3)"},
                                                    {find_next_, L"Find next (F3)"},
                                                    {outline_button_, L"Outline (F9)"},
                                                    {turn_left_, L"Turn left (Ctrl+Shift+Minus)"},
                                                    {turn_right_, L"Turn right (Ctrl+Shift+Plus)"},
                                                    {print_, L"Print (Ctrl+P)"}};
  for (const auto &[button, hint] : hints) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = UINT_PTR(button);
    info.lpszText = const_cast<wchar_t *>(hint);
    SendMessageW(tip_, TTM_ADDTOOLW, 0, LPARAM(&info));
  }
  renderer_.SetTextMessage(kTextMessage);
  viewer_.SetExtension(this);
  Arrange();
  DocumentChanged();
}

int ReaderTools::TopReserve() const { return window_ ? kBarHeight : 0; }

int ReaderTools::LeftReserve() const { return window_ ? outline_.Reserve() : 0; }

void ReaderTools::Arrange() {
  if (!window_) return;
  RECT client;
  GetClientRect(window_, &client);
  const int y = 2, h = kBarHeight - 4;
  int x = 2;
  auto place = [&](HWND w, int width, int height = 0) {
    MoveWindow(w, x, y, width, height ? height : h, TRUE);
    x += width;
  };
  place(outline_button_, 22);
  x += 4;
  place(prev_, 22);
  place(next_, 22);
  x += 4;
  place(page_box_, 38);
  x += 4;
  place(page_count_, 48);
  x += 4;
  place(zoom_box_, 80, 220);
  x += 4;
  place(turn_left_, 22);
  place(turn_right_, 22);
  x += 4;
  place(print_, 22);
  x += 8;
  const int rest = client.right - x - 2 * 22 - 6;
  place(find_box_, std::clamp(rest / 2, 60, 160));
  x += 2;
  place(find_prev_, 22);
  place(find_next_, 22);
  x += 4;
  place(note_, std::max(0, int(client.right) - x - 2));
  outline_.Place(kBarHeight);
}

void ReaderTools::DocumentChanged() {
  if (viewer_.Generation() != generation_ || !viewer_.HasDocument()) {
    generation_ = viewer_.Generation();
    texts_.Clear();
    text_pending_.clear();
    matches_.clear();
    current_ = {};
    if (find_request_) renderer_.CancelFind();
    find_request_ = 0;
    selection_page_ = -1;
    selection_ = {};
    goto_page_ = goto_scroll_ = -1;
    ClearNotes();
    outline_.SetOutline({});
    RequestOutline();
  }
  const bool enable = viewer_.HasDocument();
  for (HWND w : {prev_, next_, page_box_, page_count_, zoom_box_, find_box_, find_next_, find_prev_, note_,
                 turn_left_, turn_right_, print_}) {
    if (w) EnableWindow(w, enable);
  }
  PlaceOutline();
  if (!enable && window_) {
    SetTextIfChanged(page_box_, L"");
    SetTextIfChanged(page_count_, L"");
    SetTextIfChanged(zoom_box_, L"");
    if (Inside(window_, GetFocus()) && GetFocus() != window_) SetFocus(window_);
  }
  ViewChanged();
}

void ReaderTools::ViewChanged() {
  if (!window_ || !viewer_.HasDocument()) return;
  UpdateBar();
  RequestVisibleText();
  if (outline_.Visible()) {
    // The place at the top of the view, in the page's own points where it is unturned.
    const int page = CurrentPage();
    const PageLayout &layout = viewer_.Layout();
    const double below = std::max(0, viewer_.ScrollY() - layout.Box(page).y) / layout.PixelsPerPoint();
    // A point's slack: a jump to an entry's place lands on it, rounded to a pixel.
    outline_.SelectSection(page, viewer_.QuarterTurns() == 0 ? below + 1 : 0);
  }
}

void ReaderTools::UpdateBar() {
  const HWND focus = GetFocus();
  if (focus != page_box_) SetTextIfChanged(page_box_, std::to_wstring(CurrentPage() + 1));
  SetTextIfChanged(page_count_, L"of " + std::to_wstring(viewer_.PageCount()));
  if (!Inside(zoom_box_, focus) && SendMessageW(zoom_box_, CB_GETDROPPEDSTATE, 0, 0) == 0) {
    const int percent = ZoomPercent();
    SetTextIfChanged(zoom_box_, percent == 0 ? L"Fit width" : std::to_wstring(percent) + L"%");
  }
}

int ReaderTools::CurrentPage() const {
  if (!viewer_.HasDocument()) return 0;
  if (goto_page_ >= 0 && viewer_.ScrollY() == goto_scroll_) return goto_page_;
  return viewer_.Layout().PageAt(viewer_.ScrollY());
}

void ReaderTools::GoToPage(int page, double points_below_top) {
  if (!viewer_.HasDocument()) return;
  const PageLayout &layout = viewer_.Layout();
  page = std::clamp(page, 0, layout.PageCount() - 1);
  const PageBox &box = layout.Box(page);
  int y = box.y;
  if (points_below_top >= 0) y += int(std::lround(points_below_top * layout.PixelsPerPoint()));
  // Set first: the view's change notice already shows the page asked for.
  goto_page_ = page;
  goto_scroll_ = -1;
  viewer_.ScrollTo(viewer_.ScrollX(), y);
  goto_scroll_ = viewer_.ScrollY();
  UpdateBar();
}

int ReaderTools::ZoomPercent() const {
  if (!viewer_.HasDocument() || viewer_.Zoom() == 1.0) return 0;
  return viewer_.Layout().Percent();
}

void ReaderTools::SetZoomPercent(int percent) {
  if (!viewer_.HasDocument()) return;
  const int page = CurrentPage();
  if (percent <= 0) {
    viewer_.FitWidth();
  } else {
    const double zoom = viewer_.Layout().ZoomForPercent(percent);
    // Exactly 1 means fitting the width: a percentage that happens to match stays a percentage.
    viewer_.SetZoom(zoom == 1.0 ? std::nextafter(1.0, 2.0) : zoom);
  }
  GoToPage(page);
}

void ReaderTools::FitPage() {
  if (!viewer_.HasDocument()) return;
  const int page = CurrentPage();
  const RECT area = viewer_.PagesArea();
  double zoom = viewer_.Layout().ZoomToFitPage(page, area.bottom - area.top);
  if (zoom == 1.0) zoom = std::nextafter(1.0, 0.0);
  viewer_.SetZoom(zoom);
  GoToPage(page);
}

SavedView ReaderTools::View() const {
  SavedView view;
  if (!viewer_.HasDocument()) return view;
  view.page = CurrentPage();
  const PageBox &box = viewer_.Layout().Box(view.page);
  view.offset = std::clamp(double(viewer_.ScrollY() - box.y) / std::max(1, box.height), 0.0, 1.0);
  view.zoom = viewer_.Zoom();
  view.quarter_turns = viewer_.QuarterTurns();
  view.outline_shown = outline_.Wanted();
  view.outline_width = outline_.Width();
  return view;
}

void ReaderTools::Restore(const SavedView &view) {
  if (!viewer_.HasDocument()) return;
  outline_.SetWanted(view.outline_shown);
  outline_.SetWidth(view.outline_width);
  PlaceOutline();
  viewer_.Turn(view.quarter_turns - viewer_.QuarterTurns());
  viewer_.SetZoom(view.zoom);
  const PageLayout &layout = viewer_.Layout();
  const int page = std::clamp(view.page, 0, layout.PageCount() - 1);
  GoToPage(page, view.offset * layout.Box(page).height / layout.PixelsPerPoint());
}

// ---- keys and commands

HWND ReaderTools::Field(int index) const {
  switch (index) {
    case 0: return page_box_;
    case 1: return GetWindow(zoom_box_, GW_CHILD) ? GetWindow(zoom_box_, GW_CHILD) : zoom_box_;
    case 2: return find_box_;
    default: return window_;
  }
}

int ReaderTools::FieldIndex(HWND window) const {
  if (!window) return -1;
  if (window == page_box_) return 0;
  if (Inside(zoom_box_, window)) return 1;
  if (window == find_box_) return 2;
  if (window == window_) return 3;
  return -1;
}

LRESULT CALLBACK ReaderTools::FieldProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR, DWORD_PTR data) {
  auto *self = reinterpret_cast<ReaderTools *>(data);
  return GuardWindow(window, message, wparam, lparam,
                     [&] { return self->FieldMessage(window, message, wparam, lparam); });
}

LRESULT ReaderTools::FieldMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETDLGCODE: {
      const auto *msg = reinterpret_cast<const MSG *>(lparam);
      LRESULT code = DefSubclassProc(window, message, wparam, lparam);
      if (msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        code |= DLGC_WANTALLKEYS;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (HandleKey(window, wparam)) return 0;
      break;
    case WM_CHAR:
      // Handled as keys; the edit would beep at them.
      if (wparam == L'\r' || wparam == L'\t' || wparam == 27 || (wparam < 32 && Ctrl() && wparam != 3 && wparam != 22 && wparam != 24 && wparam != 26 && wparam != 8)) {
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, &FieldProc, 1);
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

bool ReaderTools::TranslateKey(const MSG &msg) {
  if (!window_ || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) || !Inside(window_, msg.hwnd)) {
    return false;
  }
  switch (msg.wParam) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_F3:
      break;
    case 'F':
    case 'G':
      if (!Ctrl()) return false;
      break;
    default:
      return false;
  }
  return HandleKey(msg.hwnd, msg.wParam);
}

bool ReaderTools::HandleKey(HWND from, WPARAM key) {
  if (Alt()) return false;
  const int field = FieldIndex(from);
  const bool ctrl = Ctrl(), shift = Shift();
  if (ctrl && shift && viewer_.HasDocument()) {
    switch (key) {
      case VK_ADD:
      case VK_OEM_PLUS: Turn(1); return true;
      case VK_SUBTRACT:
      case VK_OEM_MINUS: Turn(-1); return true;
    }
  }
  switch (key) {
    case VK_F9:
      if (ctrl || shift) return false;
      ToggleOutline();
      return true;
    case 'P':
      if (!ctrl || shift || !viewer_.HasDocument()) return false;
      PrintWithDialog();
      return true;
    case VK_TAB: {
      if (ctrl) return false;
      int to = field + (shift ? -1 : 1);
      while (to >= 0 && to <= 3 && !IsWindowEnabled(Field(to))) to += shift ? -1 : 1;
      if (field < 0 || to < 0 || to > 3) return false;
      SetFocus(Field(to));
      if (to < 3) SendMessageW(Field(to), EM_SETSEL, 0, -1);
      return true;
    }
    case VK_RETURN:
      if (field == 0) GoToTyped();
      else if (field == 1) ApplyTypedZoom();
      else if (field == 2) FindFromField(!shift);
      else return false;
      return true;
    case VK_ESCAPE:
      if (find_request_) {
        CancelFind();
        if (field < 0) return true;
      }
      if (field < 0 || field == 3) return false;
      UpdateBar();
      SetFocus(window_);
      return true;
    case VK_F3:
      if (!viewer_.HasDocument()) return false;
      FindFromField(!shift);
      return true;
    case 'F':
    case 'G':
      if (!ctrl || !viewer_.HasDocument()) return false;
      SetFocus(key == 'F' ? find_box_ : page_box_);
      SendMessageW(key == 'F' ? find_box_ : page_box_, EM_SETSEL, 0, -1);
      return true;
    case 'A':
      if (!ctrl) return false;
      if (field == 0 || field == 2) {
        SendMessageW(from, EM_SETSEL, 0, -1);
        return true;
      }
      if (field != 3) return false;
      if (const PageText *text = HeldText(CurrentPage())) SelectOnPage(CurrentPage(), text->All());
      return true;
    case 'C':
      if (!ctrl || field != 3) return false;
      Copy();
      return true;
  }
  return false;
}

// Tab past either end of the toolbar and pages, where no container moves the focus.
void ReaderTools::Leave(bool backwards) {
  const HWND parent = GetParent(window_);
  if (!parent) return;
  const HWND to = GetNextDlgTabItem(parent, window_, backwards);
  if (to && to != window_) SetFocus(to);
}

void ReaderTools::GoToTyped() {
  int page = 0;
  if (ParseNumber(TextOf(page_box_), page)) GoToPage(page - 1);
  SetFocus(window_);
  UpdateBar();
}

void ReaderTools::ApplyTypedZoom() {
  const std::wstring text = TextOf(zoom_box_);
  int percent = 0;
  if (_wcsicmp(text.c_str(), L"Fit width") == 0) {
    SetZoomPercent(0);
  } else if (_wcsicmp(text.c_str(), L"Fit page") == 0) {
    FitPage();
  } else if (ParseNumber(text, percent) && percent > 0) {
    SetZoomPercent(percent);
  }
  SetFocus(window_);
  UpdateBar();
}

void ReaderTools::OnCommand(int id, int code) {
  switch (id) {
    case kPrevPage:
    case kNextPage:
      if (code == BN_CLICKED) GoToPage(CurrentPage() + (id == kNextPage ? 1 : -1));
      // A clicked button keeps no focus: the keys go on working on the pages.
      if (code == BN_CLICKED) SetFocus(window_);
      break;
    case kFindNext:
    case kFindPrev:
      if (code == BN_CLICKED) FindFromField(id == kFindNext);
      if (code == BN_CLICKED) SetFocus(window_);
      break;
    case kFindBox:
      if (code == EN_CHANGE && TextOf(find_box_) != query_) {
        CancelFind();
        SetNote(kResultNote, L"");
      }
      break;
    case kZoomBox:
      if (code == CBN_SELENDOK) {
        const int line = int(SendMessageW(zoom_box_, CB_GETCURSEL, 0, 0));
        if (line >= 0 && line < int(std::size(kZoomChoices))) {
          if (kZoomChoices[line] < 0) FitPage();
          else SetZoomPercent(kZoomChoices[line]);
        }
      } else if (code == CBN_CLOSEUP || code == CBN_KILLFOCUS) {
        UpdateBar();
      }
      break;
    case kOutlineButton:
      if (code == BN_CLICKED) ToggleOutline();
      break;
    case kTurnLeft:
    case kTurnRight:
      if (code == BN_CLICKED) Turn(id == kTurnRight ? 1 : -1);
      if (code == BN_CLICKED) SetFocus(window_);
      break;
    case kPrintButton:
      if (code == BN_CLICKED) PrintWithDialog();
      break;
    case kCopy:
      Copy();
      break;
    case kSelectAll:
      if (const PageText *text = HeldText(CurrentPage())) SelectOnPage(CurrentPage(), text->All());
      break;
  }
}

// ---- text from the worker

void ReaderTools::RequestVisibleText() {
  if (!viewer_.HasDocument()) return;
  const RECT area = viewer_.PagesArea();
  const auto [first, last] = viewer_.Layout().VisibleRange(viewer_.ScrollY(), area.bottom - area.top);
  for (int page = first; page < last; ++page) {
    if (texts_.Holds(page) || text_pending_.count(page)) continue;
    text_pending_.insert(page);
    TextJob job;
    job.generation = generation_;
    job.page = uint32_t(page);
    renderer_.RequestText(std::move(job));
  }
}

void ReaderTools::CollectText() {
  bool changed = false;
  for (TextAnswer &answer : renderer_.TakeText()) {
    if (answer.job.generation != generation_ || generation_ != viewer_.Generation()) continue;
    if (answer.job.find) {
      if (answer.job.id == find_request_) changed |= FinishFind(answer);
      continue;
    }
    if (answer.job.outline) {
      TakeOutline(answer);
      continue;
    }
    const int page = int(answer.job.page);
    text_pending_.erase(page);
    PageText text;
    // A page that fails keeps an empty text: no matches, nothing to select, asked once.
    if (!answer.failed) text.Decode(answer.text.data(), answer.text.size(), uint32_t(viewer_.PageCount()));
    if (answer.too_large) SetNote(kRefusalNote, kTextTooLarge);
    Keep(page, std::move(text));
    changed = true;
  }
  ShowProgress();
  if (changed && window_) InvalidateRect(window_, nullptr, FALSE);
}

// A document's text is held within a budget; past it, the pages least recently used are
// forgotten (and asked for again when they come back into view).
void ReaderTools::Keep(int page, PageText text) {
  CachedText entry;
  entry.text = std::move(text);
  matches_.erase(page);
  for (int dropped : texts_.Put(page, std::move(entry))) {
    matches_.erase(dropped);
    if (selection_page_ == dropped) selection_page_ = -1;
  }
}

PageText *ReaderTools::HeldText(int page) {
  CachedText *held = texts_.Use(page);
  return held ? &held->text : nullptr;
}

const std::vector<TextRange> &ReaderTools::MatchesOf(int page) {
  auto it = matches_.find(page);
  if (it != matches_.end()) return it->second;
  const PageText *text = HeldText(page);
  return matches_[page] = text ? text->Find(query_) : std::vector<TextRange>{};
}

// ---- find

bool ReaderTools::Find(const std::wstring &text, bool forward) {
  if (!window_ || !viewer_.HasDocument()) return false;
  if (TextOf(find_box_) != text) SetWindowTextW(find_box_, text.c_str());
  uint32_t request = 0;
  if (!StartFind(forward, request)) return false;
  if (request == 0) return true;
  // A caller that asks is answered: wait here, painting (and showing the progress) meanwhile,
  // but taking no input that could start another search under this one.
  const DWORD started = GetTickCount();
  for (;;) {
    TextAnswer answer = renderer_.WaitText(request, 0);
    if (!answer.failed || find_request_ != request) return FinishFind(answer);
    if (GetTickCount() - started > kFindWaitMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_PAINT);
    ShowProgress();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

void ReaderTools::ShowProgress() {
  const FindProgress progress = renderer_.Progress();
  if (find_request_ && progress.id == find_request_) {
    SetNote(kProgressNote, L"Searching page " + Grouped(progress.page + 1) + L" of " + Grouped(progress.total) +
                               L"\u2026");
  }
}

void ReaderTools::CancelFind() {
  if (!find_request_) return;
  renderer_.CancelFind();
  find_request_ = 0;
  SetNote(kProgressNote, L"");
}

void ReaderTools::FindFromField(bool forward) {
  // The answer comes with the text message; the window goes on meanwhile.
  uint32_t request = 0;
  if (window_ && viewer_.HasDocument()) StartFind(forward, request);
}

bool ReaderTools::StartFind(bool forward, uint32_t &request) {
  request = 0;
  const std::wstring query = TextOf(find_box_);
  if (query.empty()) {
    CancelFind();
    SetNote(kResultNote, L"");
    return false;
  }
  if (FoldCase(query) != FoldCase(query_)) {
    CancelFind();
    query_ = query;
    matches_.clear();
    current_ = {};
  } else if (find_request_ && forward == find_forward_) {
    // Asked again while it runs: the same search goes on.
    request = find_request_;
    return true;
  }
  CancelFind();
  find_forward_ = forward;
  find_had_current_ = current_.page >= 0;
  const int count = viewer_.PageCount();
  int start = CurrentPage();
  if (find_had_current_) {
    const auto &matches = MatchesOf(current_.page);
    const int next = current_.index + (forward ? 1 : -1);
    if (next >= 0 && next < int(matches.size())) {
      current_.index = next;
      SetNote(kResultNote, L"");
      ShowMatch();
      return true;
    }
    find_origin_ = current_.page;
    start = (current_.page + (forward ? 1 : count - 1)) % count;
  } else {
    find_origin_ = start;
  }
  TextJob job;
  job.generation = generation_;
  job.find = true;
  job.page = uint32_t(start);
  job.count = uint32_t(count);
  job.forward = forward;
  job.query = query_;
  request = find_request_ = renderer_.RequestText(std::move(job));
  SetNote(kResultNote, L"");
  ShowProgress();
  return true;
}

bool ReaderTools::FinishFind(const TextAnswer &answer) {
  if (answer.job.id != find_request_) return false;
  find_request_ = 0;
  SetNote(kProgressNote, L"");
  if (answer.job.generation != generation_) return false;
  if (answer.failed) {
    SetNote(kResultNote, answer.too_large ? kTextTooLarge : kFindFailed);
    return false;
  }
  if (answer.too_large_pages) SetNote(kRefusalNote, kTextTooLarge);
  // Pages given up on are named beside the result, so that "Not found" is not taken as sure.
  const std::wstring skipped =
      answer.skipped ? L" (" + Grouped(answer.skipped) + (answer.skipped == 1 ? L" page" : L" pages") + L" skipped)"
                     : L"";
  const int page = answer.found_page;
  if (page < 0 || page >= viewer_.PageCount()) {
    current_ = {};
    SetNote(kResultNote, kNotFound + skipped);
    if (window_) InvalidateRect(window_, nullptr, FALSE);
    return false;
  }
  PageText text;
  text.Decode(answer.text.data(), answer.text.size(), uint32_t(viewer_.PageCount()));
  text_pending_.erase(page);
  Keep(page, std::move(text));
  const auto &matches = MatchesOf(page);
  if (matches.empty()) {
    SetNote(kResultNote, kNotFound + skipped);
    return false;
  }
  current_ = {page, find_forward_ ? 0 : int(matches.size()) - 1};
  const bool wrapped = find_had_current_ ? (find_forward_ ? page <= find_origin_ : page >= find_origin_)
                                         : (find_forward_ ? page < find_origin_ : page > find_origin_);
  SetNote(kResultNote, (wrapped ? std::wstring(kWrapped) : std::wstring()) + skipped);
  ShowMatch();
  return true;
}

void ReaderTools::ShowMatch() {
  if (current_.page < 0 || !HeldText(current_.page)) return;
  const auto &matches = MatchesOf(current_.page);
  if (current_.index >= int(matches.size())) return;
  auto boxes = HeldText(current_.page)->Boxes(matches[current_.index]);
  if (boxes.empty()) return;
  for (TextBox &box : boxes) box = TurnedBox(current_.page, box);
  const PageLayout &layout = viewer_.Layout();
  const PageBox &page = layout.Box(current_.page);
  const double ppp = layout.PixelsPerPoint();
  const int top = page.y + int(boxes.front().y0 * ppp), bottom = page.y + int(std::ceil(boxes.back().y1 * ppp));
  const int left = page.x + int(boxes.front().x0 * ppp), right = page.x + int(std::ceil(boxes.front().x1 * ppp));
  const RECT area = viewer_.PagesArea();
  const int height = area.bottom - area.top, width = area.right - area.left;
  int y = viewer_.ScrollY(), x = viewer_.ScrollX();
  // A third down the view, but not above its page's top: the page box then names the page
  // of the match.
  if (top < y || bottom > y + height) y = std::max(top - height / 3, std::min(page.y, top));
  if (left < x || right > x + width) x = left - width / 3;
  viewer_.ScrollTo(x, y);
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void ReaderTools::SetNote(NoteKind kind, std::wstring text) {
  notes_[kind] = std::move(text);
  ShowNote();
}

void ReaderTools::ClearNotes() {
  for (int kind = kProgressNote; kind < kDamageNote; ++kind) notes_[kind].clear();
  ShowNote();
}

// One note beside the find field, the first that has something to say: a search's progress
// while it runs (what the user waits for now), then the result of the last find, then a
// refusal (a page's text too large to search), and the document's damage last, which stays
// true as long as the document is shown and comes back whenever nothing newer is to be said.
std::wstring ReaderTools::Note() const {
  for (const std::wstring &note : notes_) {
    if (!note.empty()) return note;
  }
  return viewer_.Damaged() ? kDamaged : std::wstring();
}

void ReaderTools::ShowNote() {
  const std::wstring note = Note();
  SetTextIfChanged(note_, note);
  if (!note_) return;
  // A window too narrow to show a find note beside the field shows it under the field; the
  // damaged note stays put, not over the pages for as long as the document is shown.
  RECT room{};
  GetClientRect(note_, &room);
  if (!note.empty() && note != kDamaged && room.right < 90) {
    RECT field;
    GetWindowRect(find_box_, &field);
    POINT below{field.left, field.bottom + 2};
    ScreenToClient(window_, &below);
    ShowTip(note, POINT{below.x - 12, below.y - 20});
  } else if (!tip_text_.empty()) {
    ShowTip(L"", POINT{0, 0});
  }
}

// ---- pointer, selection, links

ReaderTools::Hit ReaderTools::HitAt(POINT client, int page) const {
  Hit hit;
  if (!viewer_.HasDocument()) return hit;
  const PageLayout &layout = viewer_.Layout();
  const RECT area = viewer_.PagesArea();
  const int x = client.x - area.left + viewer_.ScrollX(), y = client.y - area.top + viewer_.ScrollY();
  hit.page = page >= 0 ? page : layout.PageAt(y);
  if (hit.page < 0 || hit.page >= layout.PageCount()) return Hit{};
  const PageBox &box = layout.Box(hit.page);
  const double ppp = layout.PixelsPerPoint();
  const int turns = viewer_.QuarterTurns();
  const double w = (turns % 2 ? box.height : box.width) / ppp, h = (turns % 2 ? box.width : box.height) / ppp;
  std::tie(hit.x, hit.y) = Unturned(turns, w, h, (x - box.x) / ppp, (y - box.y) / ppp);
  return hit;
}

const PageLink *ReaderTools::LinkAt(POINT client) const {
  if (client.y < TopReserve() || client.x < LeftReserve()) return nullptr;
  const Hit hit = HitAt(client);
  const CachedText *held = texts_.Peek(hit.page);
  return held ? held->text.LinkAt(hit.x, hit.y) : nullptr;
}

void ReaderTools::Follow(const PageLink &link) {
  switch (DecideLink(link)) {
    case LinkAction::kJump: GoToPlace(link.target_page, link.target_y); break;
    case LinkAction::kAskToOpen:
      ShowTip(L"", POINT{0, 0});
      AskAndOpenAddress(window_, link.address);
      break;
    case LinkAction::kRefuse: break;
  }
}

void ReaderTools::SelectOnPage(int page, TextRange range) {
  selection_page_ = range.Empty() ? -1 : page;
  selection_ = range;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

std::wstring ReaderTools::SelectedText() const {
  const CachedText *held = texts_.Peek(selection_page_);
  return held ? held->text.Slice(selection_) : std::wstring();
}

void ReaderTools::Copy() const {
  const std::wstring text = SelectedText();
  if (text.empty() || !OpenClipboard(window_)) return;
  std::wstring lines;
  for (wchar_t c : text) {
    if (c == L'\n') lines += L'\r';
    lines += c;
  }
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (lines.size() + 1) * sizeof(wchar_t));
  if (block) {
    std::wmemcpy(static_cast<wchar_t *>(GlobalLock(block)), lines.c_str(), lines.size() + 1);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
  }
  CloseClipboard();
}

void ReaderTools::ShowMenu(POINT screen) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | (SelectedText().empty() ? MF_GRAYED : 0), kCopy, L"Copy");
  AppendMenuW(menu, MF_STRING | (texts_.Holds(CurrentPage()) ? 0 : MF_GRAYED), kSelectAll, L"Select all on page");
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
  DestroyMenu(menu);
  if (chosen) OnCommand(chosen, 0);
}

void ReaderTools::ShowTip(const std::wstring &text, POINT client) {
  if (!tip_ || text == tip_text_) return;
  tip_text_ = text;
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = UINT_PTR(window_);
  tool.lpszText = const_cast<wchar_t *>(tip_text_.c_str());
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, LPARAM(&tool));
  if (text.empty()) {
    SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, LPARAM(&tool));
    return;
  }
  ClientToScreen(window_, &client);
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(client.x + 12, client.y + 20));
  SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, LPARAM(&tool));
}

// ---- the extension's part of the window

bool ReaderTools::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT &result) {
  auto point = [lparam] { return POINT{short(LOWORD(lparam)), short(HIWORD(lparam))}; };
  // The bar beside the outline pane drags its width.
  switch (message) {
    case WM_LBUTTONDOWN:
      if (outline_.OnBar(point(), TopReserve())) {
        dragging_bar_ = true;
        bar_grab_ = point().x - outline_.Width();
        SetCapture(window_);
        return true;
      }
      break;
    case WM_MOUSEMOVE:
      if (dragging_bar_) {
        const int width = outline_.WidthAt(point().x - bar_grab_);
        if (width != outline_.Width()) {
          outline_.SetWidth(width);
          PlaceOutline();
        }
        return true;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_bar_) {
        dragging_bar_ = false;
        if (message == WM_LBUTTONUP && GetCapture() == window_) ReleaseCapture();
        return true;
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && HWND(wparam) == window_) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window_, &p);
        if (outline_.OnBar(p, TopReserve())) {
          SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
          result = TRUE;
          return true;
        }
      }
      break;
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR *>(lparam)->hwndFrom == outline_.Tree()) {
        return OnOutlineNotify(*reinterpret_cast<const NMHDR *>(lparam), result);
      }
      break;
  }
  switch (message) {
    case WM_SIZE:
      Arrange();
      return false;
    case WM_COMMAND:
      if (lparam) {
        OnCommand(LOWORD(wparam), HIWORD(wparam));
        result = 0;
        return true;
      }
      return false;
    case kTextMessage:
      CollectText();
      return true;
    case WM_KEYDOWN:
      if (HandleKey(window_, wparam)) return true;
      if (wparam == VK_TAB && !Ctrl() && !Alt()) {
        Leave(Shift());
        return true;
      }
      return false;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && HWND(wparam) == window_) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window_, &p);
        if (LinkAt(p)) {
          SetCursor(LoadCursor(nullptr, IDC_HAND));
          result = TRUE;
          return true;
        }
      }
      return false;
    case WM_MOUSEMOVE: {
      const POINT p = point();
      if (dragging_) {
        const Hit hit = HitAt(p, anchor_.page);
        if (const PageText *text = HeldText(anchor_.page)) {
          SelectOnPage(anchor_.page, text->Between(anchor_.x, anchor_.y, hit.x, hit.y));
        }
        return false;
      }
      const PageLink *link = LinkAt(p);
      ShowTip(link ? LinkTip(*link) : L"", p);
      return false;
    }
    case WM_LBUTTONDOWN: {
      const POINT p = point();
      if (p.y < TopReserve()) return false;
      if (const PageLink *link = LinkAt(p)) {
        link_pressed_ = true;
        pressed_link_ = link->address + L"#" + std::to_wstring(link->target_page);
        return false;
      }
      anchor_ = HitAt(p);
      dragging_ = anchor_.page >= 0;
      SelectOnPage(-1, {});
      if (dragging_) SetCapture(window_);
      return false;
    }
    case WM_LBUTTONUP: {
      const POINT p = point();
      if (dragging_) {
        dragging_ = false;
        if (GetCapture() == window_) ReleaseCapture();
      }
      if (link_pressed_) {
        link_pressed_ = false;
        const PageLink *link = LinkAt(p);
        // Followed only when released over the link it was pressed on.
        if (link && link->address + L"#" + std::to_wstring(link->target_page) == pressed_link_) {
          const PageLink target = *link;
          Follow(target);
        }
      }
      return false;
    }
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return false;
    case WM_LBUTTONDBLCLK: {
      const Hit hit = HitAt(point());
      if (const PageText *text = HeldText(hit.page)) SelectOnPage(hit.page, text->WordAt(hit.x, hit.y));
      return false;
    }
    case WM_CONTEXTMENU: {
      POINT screen{short(LOWORD(lparam)), short(HIWORD(lparam))};
      if (screen.x == -1 && screen.y == -1) {
        screen = {20, TopReserve() + 20};
        ClientToScreen(window_, &screen);
      }
      ShowMenu(screen);
      result = 0;
      return true;
    }
    case WM_DESTROY:
      if (tip_) DestroyWindow(tip_);
      tip_ = nullptr;
      window_ = prev_ = next_ = page_box_ = page_count_ = zoom_box_ = find_box_ = find_next_ = find_prev_ = note_ = nullptr;
      outline_button_ = turn_left_ = turn_right_ = print_ = nullptr;
      return false;
  }
  return false;
}

void ReaderTools::PaintOver(HDC dc, int page, const RECT &where, double ppp) {
  const PageText *text = HeldText(page);
  if (!text) return;
  if (!query_.empty()) {
    const auto &matches = MatchesOf(page);
    for (int i = 0; i < int(matches.size()); ++i) {
      const bool current = current_.page == page && current_.index == i;
      for (const TextBox &box : text->Boxes(matches[i])) {
        Tint(dc, Placed(box, page, where, ppp), current ? RGB(255, 150, 40) : RGB(255, 240, 80));
      }
    }
  }
  if (selection_page_ == page) {
    for (const TextBox &box : text->Boxes(selection_)) Tint(dc, Placed(box, page, where, ppp), RGB(150, 200, 255));
  }
}

// ---- the outline pane and turning

void ReaderTools::RequestOutline() {
  outline_pending_ = false;
  if (!viewer_.HasDocument()) return;
  TextJob job;
  job.generation = generation_;
  job.outline = true;
  outline_request_ = renderer_.RequestText(std::move(job));
  outline_pending_ = true;
}

void ReaderTools::TakeOutline(const TextAnswer &answer) {
  if (!outline_pending_ || answer.job.id != outline_request_) return;
  outline_pending_ = false;
  DocumentOutline outline;
  // An answer that breaks the bounds shows no outline, and the document is printed as any
  // other: the worker's word on permissions is only as good as the rest of its answer.
  if (!answer.failed) outline.Decode(answer.text.data(), answer.text.size(), uint32_t(viewer_.PageCount()));
  outline_.SetOutline(std::move(outline));
  PlaceOutline();
  ViewChanged();
}

// Printing needs the answer that says whether the document allows it.
bool ReaderTools::WaitForOutline() {
  if (!outline_pending_) return true;
  TakeOutline(renderer_.WaitText(outline_request_, RendererClient::kPageTextTimeoutMs));
  return !outline_pending_;
}

void ReaderTools::PlaceOutline() {
  if (!window_) return;
  outline_.Place(kBarHeight);
  if (outline_button_) {
    EnableWindow(outline_button_, viewer_.HasDocument() && outline_.HasEntries());
    SendMessageW(outline_button_, BM_SETCHECK, outline_.Visible() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  if (LeftReserve() != pages_left_) {
    pages_left_ = LeftReserve();
    viewer_.Rearrange();
  }
}

bool ReaderTools::ToggleOutline() {
  if (!viewer_.HasDocument() || !outline_.HasEntries()) return false;
  outline_.SetWanted(!outline_.Wanted());
  PlaceOutline();
  ViewChanged();
  if (outline_.Visible()) SetFocus(outline_.Tree());
  else SetFocus(window_);
  return true;
}

void ReaderTools::GoToEntry(int entry) {
  const auto &entries = outline_.Outline().entries;
  if (entry < 0 || entry >= int(entries.size()) || entries[size_t(entry)].page < 0) return;
  GoToPlace(entries[size_t(entry)].page, entries[size_t(entry)].y);
}

// A place given in the page's own points (as the page displays itself), in the turned view:
// turned a quarter, a row of the page is a column, and the page's top is shown.
void ReaderTools::GoToPlace(int page, double points_below_top) {
  const int turns = viewer_.QuarterTurns();
  if (turns == 0 || points_below_top < 0 || page < 0 || page >= viewer_.PageCount()) {
    GoToPage(page, turns == 0 ? points_below_top : -1);
    return;
  }
  const PageBox &box = viewer_.Layout().Box(page);
  const double h = box.height / viewer_.Layout().PixelsPerPoint();
  GoToPage(page, turns == 2 ? std::max(0.0, h - points_below_top) : -1);
}

bool ReaderTools::OnOutlineNotify(const NMHDR &header, LRESULT &result) {
  result = 0;
  switch (header.code) {
    case NM_CLICK:
      GoToEntry(outline_.EntryAtPointer());
      return true;
    case NM_RETURN:
      GoToEntry(outline_.SelectedEntry());
      result = TRUE;  // taken: no beep
      return true;
    case TVN_KEYDOWN: {
      const WORD key = reinterpret_cast<const NMTVKEYDOWN &>(header).wVKey;
      if (key == VK_F9 || key == 'P' || ((key == VK_ADD || key == VK_OEM_PLUS || key == VK_SUBTRACT ||
                                          key == VK_OEM_MINUS) && Ctrl() && Shift())) {
        result = HandleKey(outline_.Tree(), key) ? TRUE : FALSE;
      }
      return true;
    }
  }
  return false;
}

void ReaderTools::Turn(int quarters) {
  if (!viewer_.HasDocument()) return;
  viewer_.Turn(quarters);
  UpdateBar();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

// A box of a page's text (in the page's own points) as it lies on the page as shown.
TextBox ReaderTools::TurnedBox(int page, const TextBox &box) const {
  const int turns = viewer_.QuarterTurns();
  if (turns == 0 || page < 0 || page >= viewer_.PageCount()) return box;
  const PageLayout &layout = viewer_.Layout();
  const PageBox &shown = layout.Box(page);
  const double ppp = layout.PixelsPerPoint();
  const double w = (turns % 2 ? shown.height : shown.width) / ppp, h = (turns % 2 ? shown.width : shown.height) / ppp;
  const auto [x0, y0] = Turned(turns, w, h, box.x0, box.y0);
  const auto [x1, y1] = Turned(turns, w, h, box.x1, box.y1);
  return Ordered(x0, y0, x1, y1);
}

RECT ReaderTools::Placed(const TextBox &box, int page, const RECT &where, double ppp) const {
  return OnScreen(TurnedBox(page, box), where, ppp);
}

// ---- printing

namespace {

constexpr const wchar_t *kPrintForbidden = L"This document does not allow printing.";
constexpr int kMaxCopies = 999;

// The device context and settings that a print dialog hands back, released together.
struct PrinterHandles {
  HDC dc = nullptr;
  HGLOBAL mode = nullptr, names = nullptr;
  PrinterHandles() = default;
  ~PrinterHandles() {
    if (dc) DeleteDC(dc);
    if (mode) GlobalFree(mode);
    if (names) GlobalFree(names);
  }
  PrinterHandles(const PrinterHandles &) = delete;
  PrinterHandles &operator=(const PrinterHandles &) = delete;
};

std::wstring DialogFailure(DWORD error) {
  if (error == PDERR_NODEFAULTPRN || error == PDERR_NODEVICES) return L"No printer is installed.";
  return L"The printer could not be used (print dialog error " + std::to_wstring(error) + L").";
}

}  // namespace

std::wstring ReaderTools::PrintOn(HDC printer, int first, int last, int copies) {
  if (!viewer_.HasDocument()) return L"No document is open.";
  const int count = viewer_.PageCount();
  if (first < 0 || last >= count || first > last) return L"The pages asked for are not in the document.";
  if (!WaitForOutline()) return L"The document could not be read for printing.";
  if (!outline_.Outline().may_print) return kPrintForbidden;
  PrintJob job;
  job.generation = generation_;
  job.title = title_.empty() ? L"Document" : title_;
  const int turns = viewer_.QuarterTurns();
  // Copies past the bound on sheets are not made.
  copies = std::clamp(copies, 1, std::max(1, std::min(kMaxCopies, kMaxPrintSheets / (last - first + 1))));
  for (int copy = 0; copy < copies; ++copy) {
    for (int page = first; page <= last; ++page) {
      auto size = viewer_.Layout().Size(page);
      if (turns % 2) std::swap(size.first, size.second);
      job.pages.push_back(page);
      job.sizes.push_back(size);
    }
  }
  bool cancelled = false;
  return PrintPages(GetAncestor(window_, GA_ROOT), printer, renderer_, job, cancelled);
}

std::wstring ReaderTools::Print(int first, int last) {
  if (!viewer_.HasDocument()) return L"No document is open.";
  if (!WaitForOutline()) return L"The document could not be read for printing.";
  if (!outline_.Outline().may_print) return kPrintForbidden;
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  const bool chosen = PrintDlgW(&dialog);
  PrinterHandles printer;
  printer.dc = dialog.hDC;
  printer.mode = dialog.hDevMode;
  printer.names = dialog.hDevNames;
  if (!chosen) return DialogFailure(CommDlgExtendedError());
  return PrintOn(printer.dc, first, last, 1);
}

void ReaderTools::PrintWithDialog() {
  if (!window_ || !viewer_.HasDocument()) return;
  const HWND owner = GetAncestor(window_, GA_ROOT);
  std::wstring reason;
  if (!WaitForOutline()) {
    reason = L"The document could not be read for printing.";
  } else if (!outline_.Outline().may_print) {
    reason = kPrintForbidden;
  } else {
    // PrintDlgW rather than PrintDlgExW, whose "current page" Wine does not offer and whose
    // page numbers it hands back without the flag that says they were chosen. "Pages" offers
    // the current page first.
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.Flags = PD_RETURNDC | PD_NOSELECTION | PD_ALLPAGES;
    dialog.nMinPage = 1;
    dialog.nMaxPage = WORD(std::min(viewer_.PageCount(), 0xFFFF));
    dialog.nFromPage = dialog.nToPage = WORD(std::min(CurrentPage() + 1, 0xFFFF));
    dialog.nCopies = 1;
    const bool chosen = PrintDlgW(&dialog);
    PrinterHandles printer;
    printer.dc = dialog.hDC;
    printer.mode = dialog.hDevMode;
    printer.names = dialog.hDevNames;
    if (!chosen) {
      const DWORD error = CommDlgExtendedError();
      if (error) reason = DialogFailure(error);
    } else {
      int first = 0, last = viewer_.PageCount() - 1;
      if (dialog.Flags & PD_PAGENUMS) {
        first = std::max(1, int(dialog.nFromPage)) - 1;
        last = std::min(int(dialog.nToPage), viewer_.PageCount()) - 1;
      }
      reason = PrintOn(printer.dc, first, last, dialog.nCopies);
    }
  }
  if (!reason.empty()) MessageBoxW(owner, reason.c_str(), L"Print", MB_OK | MB_ICONEXCLAMATION);
  if (window_) SetFocus(window_);
}

}  // namespace pdfview
