// The toolbar: its children and their places, the page and zoom boxes, and the keys and
// commands of the toolbar and the pages.
#include "pdfcontrol/ReaderTools.h"

#include "pdfcontrol/Guard.h"
#include "pdfcontrol/ReaderToolsShared.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace pdfview {

namespace {

// Zoom choices after the two fits; 0 and -1 stand for fit width and fit page.
constexpr int kZoomChoices[] = {0, -1, 50, 75, 100, 125, 150, 200, 300, 400};

// The toolbar's small pictures, drawn rather than typed: the dialog font has no such signs.
enum Icon { kOutlineIcon, kTurnLeftIcon, kTurnRightIcon, kPrintIcon };

HBITMAP DrawIcon(HDC screen, Icon icon) {
  constexpr int kSide = 16;
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kSide, kSide);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const RECT all{0, 0, kSide, kSide};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  auto line = [dc](int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
  };
  switch (icon) {
    case kOutlineIcon:
      for (const auto& [indent, y] : {std::pair{2, 3}, {6, 7}, {6, 11}}) {
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
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  return bitmap;
}

// A number typed by a person: digits with blanks and a percent sign around them.
bool ParseNumber(std::wstring text, int& out) {
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

const ReaderTools::Hint ReaderTools::kHints[] = {{&ReaderTools::prev_, L"Previous page"},
                                                 {&ReaderTools::next_, L"Next page"},
                                                 {&ReaderTools::findPrev_, L"Find previous (Shift+F3)"},
                                                 {&ReaderTools::findNext_, L"Find next (F3)"},
                                                 {&ReaderTools::outlineButton_, L"Outline (F9)"},
                                                 {&ReaderTools::turnLeft_, L"Turn left (Ctrl+Shift+Minus)"},
                                                 {&ReaderTools::turnRight_, L"Turn right (Ctrl+Shift+Plus)"},
                                                 {&ReaderTools::print_, L"Print (Ctrl+P)"}};

void ReaderTools::Make(HWND ReaderTools::*child, const std::vector<Place>& places, const wchar_t* cls,
                       const wchar_t* text, DWORD style, DWORD exStyle, int id) {
  // Made where the bar puts it: a move afterwards would cost each child a round of messages.
  RECT r{0, 0, 10, 10};
  for (const Place& place : places)
    if (place.child == child) r = place.rect;
  placed_.push_back({child, r});
  // Without a document every child is disabled: made so, rather than disabled afterwards at a
  // trip to the window server each.
  if (!viewer_.HasDocument()) style |= WS_DISABLED;
  this->*child =
      CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, window_, reinterpret_cast<HMENU>(INT_PTR(id)), ThisModule(), nullptr);
  SendMessageW(this->*child, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void ReaderTools::Attach() {
  window_ = viewer_.Handle();
  if (!window_) return;
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  RECT client;
  GetClientRect(window_, &client);
  placed_.clear();
  const std::vector<Place> places = BarPlaces(client.right);
  Make(&ReaderTools::prev_, places, L"BUTTON", L"<", BS_PUSHBUTTON, 0, kPrevPage);
  Make(&ReaderTools::next_, places, L"BUTTON", L">", BS_PUSHBUTTON, 0, kNextPage);
  Make(&ReaderTools::pageBox_, places, L"EDIT", L"", ES_AUTOHSCROLL | ES_RIGHT | ES_NUMBER | WS_TABSTOP,
       WS_EX_CLIENTEDGE, kPageBox);
  Make(&ReaderTools::pageCount_, places, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0, kPageCount);
  // Its list holds every choice without scrolling: not rounded to whole lines, the list is sized
  // once per move of the box instead of twice.
  Make(&ReaderTools::zoomBox_, places, L"COMBOBOX", L"",
       CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 0, kZoomBox);
  for (int choice : kZoomChoices) {
    const std::wstring line = choice == 0 ? L"Fit width" : choice < 0 ? L"Fit page" : std::to_wstring(choice) + L"%";
    SendMessageW(zoomBox_, CB_ADDSTRING, 0, LPARAM(line.c_str()));
  }
  Make(&ReaderTools::findBox_, places, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kFindBox);
  Make(&ReaderTools::findPrev_, places, L"BUTTON", L"\u00AB", BS_PUSHBUTTON, 0, kFindPrev);
  Make(&ReaderTools::findNext_, places, L"BUTTON", L"\u00BB", BS_PUSHBUTTON, 0, kFindNext);
  Make(&ReaderTools::note_, places, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | SS_ENDELLIPSIS, 0, kNote);
  Make(&ReaderTools::outlineButton_, places, L"BUTTON", L"Outline", BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP, 0,
       kOutlineButton);
  Make(&ReaderTools::turnLeft_, places, L"BUTTON", L"Turn left", BS_PUSHBUTTON | BS_BITMAP, 0, kTurnLeft);
  Make(&ReaderTools::turnRight_, places, L"BUTTON", L"Turn right", BS_PUSHBUTTON | BS_BITMAP, 0, kTurnRight);
  Make(&ReaderTools::print_, places, L"BUTTON", L"Print", BS_PUSHBUTTON | BS_BITMAP, 0, kPrintButton);
  const std::pair<HWND, Icon> pictures[] = {
      {outlineButton_, kOutlineIcon}, {turnLeft_, kTurnLeftIcon}, {turnRight_, kTurnRightIcon}, {print_, kPrintIcon}};
  HDC screen = GetDC(nullptr);
  for (const auto& [button, icon] : pictures) {
    icons_[icon] = DrawIcon(screen, icon);
    SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, LPARAM(icons_[icon]));
  }
  ReleaseDC(nullptr, screen);
  outline_.Create(window_, kOutlineTree);
  // Before the fields are subclassed: a subclassed window looks up its subclass, a round trip to
  // the window server under Wine, for each message that a move sends it.
  Arrange();
  for (HWND field : {pageBox_, findBox_, GetWindow(zoomBox_, GW_CHILD)}) {
    if (field) SetWindowSubclass(field, &FieldProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  renderer_.SetTextMessage(kTextMessage);
  viewer_.SetExtension(this);
  DocumentChanged();
}

// The tooltip is made on first need: when the pointer first comes over a button that explains
// itself, or when a tip is to be shown. Few sessions need it, and it costs the bar a window and a
// subclass on each button.
void ReaderTools::MakeTip() {
  if (tip_ || !window_) return;
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0,
                         window_, nullptr, ThisModule(), nullptr);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
  tool.hwnd = window_;
  tool.uId = UINT_PTR(window_);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tip_, TTM_ADDTOOLW, 0, LPARAM(&tool));
  // A refused link's tip has a second line; long addresses wrap.
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 400);
  // Buttons explain themselves in the same tooltip control.
  for (const Hint& hint : kHints) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = UINT_PTR(this->*hint.button);
    info.lpszText = const_cast<wchar_t*>(hint.text);
    SendMessageW(tip_, TTM_ADDTOOLW, 0, LPARAM(&info));
  }
}

void ReaderTools::PointerOverChild(HWND child, UINT mouseMessage) {
  if (tip_ || !child) return;
  for (const Hint& hint : kHints) {
    if (this->*hint.button != child) continue;
    MakeTip();
    // The move that brought the pointer here came before the tooltip watched the button.
    if (!tip_ || mouseMessage != WM_MOUSEMOVE) return;
    MSG move{child, WM_MOUSEMOVE, 0, 0, DWORD(GetMessageTime()), {}};
    GetCursorPos(&move.pt);
    POINT inside = move.pt;
    ScreenToClient(child, &inside);
    move.lParam = MAKELPARAM(inside.x, inside.y);
    SendMessageW(tip_, TTM_RELAYEVENT, 0, LPARAM(&move));
    return;
  }
}

int ReaderTools::TopReserve() const { return window_ ? kBarHeight : 0; }

int ReaderTools::LeftReserve() const { return window_ ? outline_.Reserve() : 0; }

std::vector<ReaderTools::Place> ReaderTools::BarPlaces(int clientWidth) {
  const int y = 2, h = kBarHeight - 4;
  std::vector<Place> places;
  int x = 2;
  auto place = [&](HWND ReaderTools::*child, int width, int height = 0) {
    places.push_back({child, RECT{x, y, x + width, y + (height ? height : h)}});
    x += width;
  };
  place(&ReaderTools::outlineButton_, 22);
  x += 4;
  place(&ReaderTools::prev_, 22);
  place(&ReaderTools::next_, 22);
  x += 4;
  place(&ReaderTools::pageBox_, 38);
  x += 4;
  place(&ReaderTools::pageCount_, 48);
  x += 4;
  place(&ReaderTools::zoomBox_, 80, 220);
  x += 4;
  place(&ReaderTools::turnLeft_, 22);
  place(&ReaderTools::turnRight_, 22);
  x += 4;
  place(&ReaderTools::print_, 22);
  x += 8;
  const int rest = clientWidth - x - 2 * 22 - 6;
  place(&ReaderTools::findBox_, std::clamp(rest / 2, 60, 160));
  x += 2;
  place(&ReaderTools::findPrev_, 22);
  place(&ReaderTools::findNext_, 22);
  x += 4;
  place(&ReaderTools::note_, std::max(0, clientWidth - x - 2));
  return places;
}

void ReaderTools::Arrange() {
  if (!window_) return;
  RECT client;
  GetClientRect(window_, &client);
  // A child is moved only when its place changes: most of the bar stays where it is when the
  // window is resized, and each move costs the child a round of messages. The place given is
  // compared, not the window's: a combo box is as high as its field, not as its list.
  for (const Place& place : BarPlaces(client.right)) {
    for (Place& given : placed_) {
      if (given.child != place.child || EqualRect(&given.rect, &place.rect)) continue;
      given.rect = place.rect;
      const RECT& r = place.rect;
      MoveWindow(this->*place.child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
  }
  outline_.Place(kBarHeight);
}

void ReaderTools::UpdateBar() {
  const HWND focus = GetFocus();
  if (focus != pageBox_) SetTextIfChanged(pageBox_, std::to_wstring(CurrentPage() + 1));
  SetTextIfChanged(pageCount_, L"of " + std::to_wstring(viewer_.PageCount()));
  if (!Inside(zoomBox_, focus) && SendMessageW(zoomBox_, CB_GETDROPPEDSTATE, 0, 0) == 0) {
    const int percent = ZoomPercent();
    SetTextIfChanged(zoomBox_, percent == 0 ? L"Fit width" : std::to_wstring(percent) + L"%");
  }
}

int ReaderTools::CurrentPage() const {
  if (!viewer_.HasDocument()) return 0;
  if (gotoPage_ >= 0 && viewer_.ScrollY() == gotoScroll_) return gotoPage_;
  return viewer_.Layout().PageAt(viewer_.ScrollY());
}

void ReaderTools::GoToPage(int page, double pointsBelowTop) {
  if (!viewer_.HasDocument()) return;
  const PageLayout& layout = viewer_.Layout();
  page = std::clamp(page, 0, layout.PageCount() - 1);
  const PageBox& box = layout.Box(page);
  int y = box.y;
  if (pointsBelowTop >= 0) y += int(std::lround(pointsBelowTop * layout.PixelsPerPoint()));
  // Set first: the view's change notice already shows the page asked for.
  gotoPage_ = page;
  gotoScroll_ = -1;
  viewer_.ScrollTo(viewer_.ScrollX(), y);
  gotoScroll_ = viewer_.ScrollY();
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

// ---- keys and commands

HWND ReaderTools::Field(int index) const {
  switch (index) {
    case 0:
      return pageBox_;
    case 1:
      return GetWindow(zoomBox_, GW_CHILD) ? GetWindow(zoomBox_, GW_CHILD) : zoomBox_;
    case 2:
      return findBox_;
    default:
      return window_;
  }
}

int ReaderTools::FieldIndex(HWND window) const {
  if (!window) return -1;
  if (window == pageBox_) return 0;
  if (Inside(zoomBox_, window)) return 1;
  if (window == findBox_) return 2;
  if (window == window_) return 3;
  return -1;
}

LRESULT CALLBACK ReaderTools::FieldProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                        DWORD_PTR data) {
  auto* self = reinterpret_cast<ReaderTools*>(data);
  return GuardWindow(window, message, wparam, lparam,
                     [&] { return self->FieldMessage(window, message, wparam, lparam); });
}

LRESULT ReaderTools::FieldMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETDLGCODE: {
      const auto* msg = reinterpret_cast<const MSG*>(lparam);
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
      if (wparam == L'\r' || wparam == L'\t' || wparam == 27 ||
          (wparam < 32 && Ctrl() && wparam != 3 && wparam != 22 && wparam != 24 && wparam != 26 && wparam != 8)) {
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, &FieldProc, 1);
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

bool ReaderTools::TranslateKey(const MSG& msg) {
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
      case VK_OEM_PLUS:
        Turn(1);
        return true;
      case VK_SUBTRACT:
      case VK_OEM_MINUS:
        Turn(-1);
        return true;
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
      if (findRequest_) {
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
      SetFocus(key == 'F' ? findBox_ : pageBox_);
      SendMessageW(key == 'F' ? findBox_ : pageBox_, EM_SETSEL, 0, -1);
      return true;
    case 'A':
      if (!ctrl) return false;
      if (field == 0 || field == 2) {
        SendMessageW(from, EM_SETSEL, 0, -1);
        return true;
      }
      if (field != 3) return false;
      if (const PageText* text = HeldText(CurrentPage())) SelectOnPage(CurrentPage(), text->All());
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
  if (ParseNumber(TextOf(pageBox_), page)) GoToPage(page - 1);
  SetFocus(window_);
  UpdateBar();
}

void ReaderTools::ApplyTypedZoom() {
  const std::wstring text = TextOf(zoomBox_);
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
      if (code == EN_CHANGE && TextOf(findBox_) != query_) {
        CancelFind();
        SetNote(kResultNote, L"");
      }
      break;
    case kZoomBox:
      if (code == CBN_SELENDOK) {
        const int line = int(SendMessageW(zoomBox_, CB_GETCURSEL, 0, 0));
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
      if (const PageText* text = HeldText(CurrentPage())) SelectOnPage(CurrentPage(), text->All());
      break;
  }
}

}  // namespace pdfview
