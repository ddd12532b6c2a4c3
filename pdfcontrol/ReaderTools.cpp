// The reader's tools over the pages (see ReaderTools.h): following the document and the view,
// text from the worker, the pointer on the pages, highlights, the outline pane, turning and printing.
#include "pdfcontrol/ReaderTools.h"

#include "pdfcontrol/LinkPolicy.h"
#include "pdfcontrol/Printing.h"
#include "pdfcontrol/ReaderToolsShared.h"
#include "pdfcontrol/SystemLibrary.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>

namespace pdfview {

namespace {

// Paints a colour under dark ink: white paper takes the colour, black text stays black.
void Tint(HDC dc, const RECT& r, COLORREF colour) {
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

RECT OnScreen(const TextBox& box, const RECT& page, double ppp) {
  return RECT{page.left + LONG(std::floor(box.x0 * ppp)), page.top + LONG(std::floor(box.y0 * ppp)),
              page.left + LONG(std::ceil(box.x1 * ppp)), page.top + LONG(std::ceil(box.y1 * ppp))};
}

}  // namespace

ReaderTools::ReaderTools(ViewerWindow& viewer, RendererClient& renderer) : viewer_(viewer), renderer_(renderer) {}

ReaderTools::~ReaderTools() {
  viewer_.SetExtension(nullptr);
  // Buttons do not own their pictures.
  for (HBITMAP& icon : icons_) {
    if (icon) DeleteObject(icon);
    icon = nullptr;
  }
}

void ReaderTools::DocumentChanged() {
  if (viewer_.Generation() != generation_ || !viewer_.HasDocument()) {
    generation_ = viewer_.Generation();
    texts_.Clear();
    textPending_.clear();
    matches_.clear();
    current_ = {};
    if (findRequest_) renderer_.CancelFind();
    findRequest_ = 0;
    selectionPage_ = -1;
    selection_ = {};
    gotoPage_ = gotoScroll_ = -1;
    ClearNotes();
    outline_.SetOutline({});
    RequestOutline();
  }
  const bool enable = viewer_.HasDocument();
  // Only where the state changes: disabling sends each child a cancel and a trip to the window
  // server even when it is disabled already, as the bar's children are when made.
  for (HWND w : {prev_, next_, pageBox_, pageCount_, zoomBox_, findBox_, findNext_, findPrev_, note_, turnLeft_,
                 turnRight_, print_}) {
    if (w && bool(IsWindowEnabled(w)) != enable) EnableWindow(w, enable);
  }
  PlaceOutline();
  if (!enable && window_) {
    SetTextIfChanged(pageBox_, L"");
    SetTextIfChanged(pageCount_, L"");
    SetTextIfChanged(zoomBox_, L"");
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
    const PageLayout& layout = viewer_.Layout();
    const double below = std::max(0, viewer_.ScrollY() - layout.Box(page).y) / layout.PixelsPerPoint();
    // A point's slack: a jump to an entry's place lands on it, rounded to a pixel.
    outline_.SelectSection(page, viewer_.QuarterTurns() == 0 ? below + 1 : 0);
  }
}

SavedView ReaderTools::View() const {
  SavedView view;
  if (!viewer_.HasDocument()) return view;
  view.page = CurrentPage();
  const PageBox& box = viewer_.Layout().Box(view.page);
  view.offset = std::clamp(double(viewer_.ScrollY() - box.y) / std::max(1, box.height), 0.0, 1.0);
  view.zoom = viewer_.Zoom();
  view.quarterTurns = viewer_.QuarterTurns();
  view.outlineShown = outline_.Wanted();
  view.outlineWidth = outline_.Width();
  return view;
}

void ReaderTools::Restore(const SavedView& view) {
  if (!viewer_.HasDocument()) return;
  outline_.SetWanted(view.outlineShown);
  outline_.SetWidth(view.outlineWidth);
  PlaceOutline();
  viewer_.Turn(view.quarterTurns - viewer_.QuarterTurns());
  viewer_.SetZoom(view.zoom);
  const PageLayout& layout = viewer_.Layout();
  const int page = std::clamp(view.page, 0, layout.PageCount() - 1);
  GoToPage(page, view.offset * layout.Box(page).height / layout.PixelsPerPoint());
}

// ---- text from the worker

void ReaderTools::RequestVisibleText() {
  if (!viewer_.HasDocument()) return;
  const RECT area = viewer_.PagesArea();
  const auto [first, last] = viewer_.Layout().VisibleRange(viewer_.ScrollY(), area.bottom - area.top);
  for (int page = first; page < last; ++page) {
    if (texts_.Holds(page) || textPending_.count(page)) continue;
    textPending_.insert(page);
    TextJob job;
    job.generation = generation_;
    job.page = uint32_t(page);
    renderer_.RequestText(std::move(job));
  }
}

void ReaderTools::CollectText() {
  bool changed = false;
  for (TextAnswer& answer : renderer_.TakeText()) {
    if (answer.job.generation != generation_ || generation_ != viewer_.Generation()) continue;
    if (answer.job.find) {
      if (answer.job.id == findRequest_) changed |= FinishFind(answer);
      continue;
    }
    if (answer.job.outline) {
      TakeOutline(answer);
      continue;
    }
    const int page = int(answer.job.page);
    textPending_.erase(page);
    PageText text;
    // A page that fails keeps an empty text: no matches, nothing to select, asked once.
    if (!answer.failed) text.Decode(answer.text.data(), answer.text.size(), uint32_t(viewer_.PageCount()));
    if (answer.tooLarge) SetNote(kRefusalNote, kTextTooLarge);
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
    if (selectionPage_ == dropped) selectionPage_ = -1;
  }
}

PageText* ReaderTools::HeldText(int page) {
  CachedText* held = texts_.Use(page);
  return held ? &held->text : nullptr;
}

// ---- the extension's part of the window

bool ReaderTools::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  auto point = [lparam] { return POINT{short(LOWORD(lparam)), short(HIWORD(lparam))}; };
  // The bar beside the outline pane drags its width.
  switch (message) {
    case WM_LBUTTONDOWN:
      if (outline_.OnBar(point(), TopReserve())) {
        draggingBar_ = true;
        barGrab_ = point().x - outline_.Width();
        SetCapture(window_);
        return true;
      }
      break;
    case WM_MOUSEMOVE:
      if (draggingBar_) {
        const int width = outline_.WidthAt(point().x - barGrab_);
        if (width != outline_.Width()) {
          outline_.SetWidth(width);
          PlaceOutline();
        }
        return true;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (draggingBar_) {
        draggingBar_ = false;
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
      if (reinterpret_cast<const NMHDR*>(lparam)->hwndFrom == outline_.Tree()) {
        return OnOutlineNotify(*reinterpret_cast<const NMHDR*>(lparam), result);
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
      if (HWND(wparam) != window_) PointerOverChild(HWND(wparam), HIWORD(lparam));
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
        if (const PageText* text = HeldText(anchor_.page)) {
          SelectOnPage(anchor_.page, text->Between(anchor_.x, anchor_.y, hit.x, hit.y));
        }
        return false;
      }
      const PageLink* link = LinkAt(p);
      ShowTip(link ? LinkTip(*link) : L"", p);
      return false;
    }
    case WM_LBUTTONDOWN: {
      const POINT p = point();
      if (p.y < TopReserve()) return false;
      if (const PageLink* link = LinkAt(p)) {
        linkPressed_ = true;
        pressedLink_ = link->address + L"#" + std::to_wstring(link->targetPage);
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
      if (linkPressed_) {
        linkPressed_ = false;
        const PageLink* link = LinkAt(p);
        // Followed only when released over the link it was pressed on.
        if (link && link->address + L"#" + std::to_wstring(link->targetPage) == pressedLink_) {
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
      if (const PageText* text = HeldText(hit.page)) SelectOnPage(hit.page, text->WordAt(hit.x, hit.y));
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
      placed_.clear();
      window_ = prev_ = next_ = pageBox_ = pageCount_ = zoomBox_ = findBox_ = findNext_ = findPrev_ = note_ = nullptr;
      outlineButton_ = turnLeft_ = turnRight_ = print_ = nullptr;
      return false;
  }
  return false;
}

void ReaderTools::PaintOver(HDC dc, int page, const RECT& where, double ppp) {
  const PageText* text = HeldText(page);
  if (!text) return;
  if (!query_.empty()) {
    const auto& matches = MatchesOf(page);
    for (int i = 0; i < int(matches.size()); ++i) {
      const bool current = current_.page == page && current_.index == i;
      for (const TextBox& box : text->Boxes(matches[i])) {
        Tint(dc, Placed(box, page, where, ppp), current ? RGB(255, 150, 40) : RGB(255, 240, 80));
      }
    }
  }
  if (selectionPage_ == page) {
    for (const TextBox& box : text->Boxes(selection_)) Tint(dc, Placed(box, page, where, ppp), RGB(150, 200, 255));
  }
}

// ---- the outline pane and turning

void ReaderTools::RequestOutline() {
  outlinePending_ = false;
  if (!viewer_.HasDocument()) return;
  TextJob job;
  job.generation = generation_;
  job.outline = true;
  outlineRequest_ = renderer_.RequestText(std::move(job));
  outlinePending_ = true;
}

void ReaderTools::TakeOutline(const TextAnswer& answer) {
  if (!outlinePending_ || answer.job.id != outlineRequest_) return;
  outlinePending_ = false;
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
  if (!outlinePending_) return true;
  TakeOutline(renderer_.WaitText(outlineRequest_, RendererClient::kPageTextTimeoutMs));
  return !outlinePending_;
}

void ReaderTools::PlaceOutline() {
  if (!window_) return;
  outline_.Place(kBarHeight);
  if (outlineButton_) {
    EnableWindow(outlineButton_, viewer_.HasDocument() && outline_.HasEntries());
    SendMessageW(outlineButton_, BM_SETCHECK, outline_.Visible() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  if (LeftReserve() != pagesLeft_) {
    pagesLeft_ = LeftReserve();
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
  const auto& entries = outline_.Outline().entries;
  if (entry < 0 || entry >= int(entries.size()) || entries[size_t(entry)].page < 0) return;
  GoToPlace(entries[size_t(entry)].page, entries[size_t(entry)].y);
}

// A place given in the page's own points (as the page displays itself), in the turned view:
// turned a quarter, a row of the page is a column, and the page's top is shown.
void ReaderTools::GoToPlace(int page, double pointsBelowTop) {
  const int turns = viewer_.QuarterTurns();
  if (turns == 0 || pointsBelowTop < 0 || page < 0 || page >= viewer_.PageCount()) {
    GoToPage(page, turns == 0 ? pointsBelowTop : -1);
    return;
  }
  const PageBox& box = viewer_.Layout().Box(page);
  const double h = box.height / viewer_.Layout().PixelsPerPoint();
  GoToPage(page, turns == 2 ? std::max(0.0, h - pointsBelowTop) : -1);
}

bool ReaderTools::OnOutlineNotify(const NMHDR& header, LRESULT& result) {
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
      const WORD key = reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey;
      if (key == VK_F9 || key == 'P' ||
          ((key == VK_ADD || key == VK_OEM_PLUS || key == VK_SUBTRACT || key == VK_OEM_MINUS) && Ctrl() && Shift())) {
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
TextBox ReaderTools::TurnedBox(int page, const TextBox& box) const {
  const int turns = viewer_.QuarterTurns();
  if (turns == 0 || page < 0 || page >= viewer_.PageCount()) return box;
  const PageLayout& layout = viewer_.Layout();
  const PageBox& shown = layout.Box(page);
  const double ppp = layout.PixelsPerPoint();
  const double w = (turns % 2 ? shown.height : shown.width) / ppp, h = (turns % 2 ? shown.width : shown.height) / ppp;
  const auto [x0, y0] = Turned(turns, w, h, box.x0, box.y0);
  const auto [x1, y1] = Turned(turns, w, h, box.x1, box.y1);
  return Ordered(x0, y0, x1, y1);
}

RECT ReaderTools::Placed(const TextBox& box, int page, const RECT& where, double ppp) const {
  return OnScreen(TurnedBox(page, box), where, ppp);
}

// ---- printing

namespace {

constexpr const wchar_t* kPrintForbidden = L"This document does not allow printing.";
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
  PrinterHandles(const PrinterHandles&) = delete;
  PrinterHandles& operator=(const PrinterHandles&) = delete;
};

// The print dialog, or false with the dialog's error; comdlg32 is loaded by the first print.
bool ShowPrintDialog(PRINTDLGW& dialog, DWORD& error) {
  error = 0;
  auto* printDialog = SystemFunction<decltype(PrintDlgW)>(L"comdlg32.dll", "PrintDlgW");
  auto* dialogError = SystemFunction<decltype(CommDlgExtendedError)>(L"comdlg32.dll", "CommDlgExtendedError");
  if (!printDialog || !dialogError) {
    error = CDERR_LOADSTRFAILURE;
    return false;
  }
  if (printDialog(&dialog)) return true;
  error = dialogError();
  return false;
}

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
  if (!outline_.Outline().mayPrint) return kPrintForbidden;
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
  if (!outline_.Outline().mayPrint) return kPrintForbidden;
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  DWORD error = 0;
  const bool chosen = ShowPrintDialog(dialog, error);
  PrinterHandles printer;
  printer.dc = dialog.hDC;
  printer.mode = dialog.hDevMode;
  printer.names = dialog.hDevNames;
  if (!chosen) return DialogFailure(error);
  return PrintOn(printer.dc, first, last, 1);
}

void ReaderTools::PrintWithDialog() {
  if (!window_ || !viewer_.HasDocument()) return;
  const HWND owner = GetAncestor(window_, GA_ROOT);
  std::wstring reason;
  if (!WaitForOutline()) {
    reason = L"The document could not be read for printing.";
  } else if (!outline_.Outline().mayPrint) {
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
    DWORD error = 0;
    const bool chosen = ShowPrintDialog(dialog, error);
    PrinterHandles printer;
    printer.dc = dialog.hDC;
    printer.mode = dialog.hDevMode;
    printer.names = dialog.hDevNames;
    if (!chosen) {
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
