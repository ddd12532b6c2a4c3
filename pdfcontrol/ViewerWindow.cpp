// The viewer window (see ViewerWindow.h).
#include "pdfcontrol/ViewerWindow.h"

#include "pdfcontrol/Guard.h"

#include <algorithm>
#include <cmath>

namespace pdfview {

namespace {

constexpr wchar_t kClassName[] = L"FolvanePdfView";

void RegisterClassOnce() {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(ThisModule(), kClassName, &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window at creation
  // The window's object, read on every message: in the window itself, where a property costs a
  // round trip to the window server under Wine.
  wc.cbWndExtra = sizeof(ViewerWindow*);
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
}

// A top-down 32-bit DIB header for pixels of the worker.
BITMAPINFO DibInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

}  // namespace

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

ViewerWindow::ViewerWindow(RendererClient& renderer) : renderer_(renderer) {
  titleFont_ = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  textFont_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
}

ViewerWindow::~ViewerWindow() {
  Destroy();
  ReleaseBackBuffer();
  DeleteObject(titleFont_);
  DeleteObject(textFont_);
}

HWND ViewerWindow::Create(HWND parent, const RECT& bounds) {
  if (window_) return window_;
  RegisterClassOnce();
  window_ = CreateWindowExW(
      0, kClassName, L"",
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, bounds.left,
      bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr, ThisModule(), nullptr);
  if (!window_) return nullptr;
  // The class's own bytes, not the user data: a host that adopts the window may use that for itself.
  SetWindowLongPtrW(window_, 0, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticProc));
  renderer_.SetNotifyWindow(window_, kRenderedMessage);
  Relayout();
  // The worker starts once the host's windows are painted: a timer comes after every paint of
  // the thread, where a posted message would come before them and the new process would take
  // the CPU and the window server from the host's first paint.
  SetTimer(window_, kWarmUpTimer, USER_TIMER_MINIMUM, nullptr);
  return window_;
}

void ViewerWindow::Destroy() {
  if (!window_) return;
  renderer_.SetNotifyWindow(nullptr, 0);
  HWND window = window_;
  window_ = nullptr;
  SetWindowLongPtrW(window, 0, 0);
  DestroyWindow(window);
}

void ViewerWindow::ShowDocument(uint32_t generation, const std::vector<pdfrender::PageSize>& pages, uint32_t pageCount,
                                bool damaged) {
  std::vector<std::pair<float, float>> sizes;
  for (const auto& page : pages) sizes.emplace_back(page.width, page.height);
  layout_.SetPages(std::move(sizes), int(pageCount));
  turns_ = 0;
  hasDocument_ = true;
  damaged_ = damaged;
  generation_ = generation;
  zoom_ = 1.0;
  scrollX_ = scrollY_ = 0;
  cache_.clear();
  failedPages_.clear();
  messageTitle_.clear();
  messageReason_.clear();
  if (window_) SetWindowTextW(window_, L"");
  // The first page is asked for before anything else: the worker draws it while the toolbar,
  // the text of the pages and the outline are brought up to date, and they wait behind it.
  Relayout(false);
  RequestVisible();
  if (window_ && extension_) extension_->ViewChanged();
}

void ViewerWindow::ShowMessage(const std::wstring& title, const std::wstring& reason) {
  Clear();
  messageTitle_ = title;
  messageReason_ = reason;
  if (!window_) return;
  // The window's text carries the message too, for whatever reads windows rather than pixels.
  SetWindowTextW(window_, (title + L"\r\n" + reason).c_str());
  InvalidateRect(window_, nullptr, FALSE);
}

void ViewerWindow::Clear() {
  hasDocument_ = false;
  layout_.SetPages({});
  cache_.clear();
  failedPages_.clear();
  messageTitle_.clear();
  messageReason_.clear();
  if (window_) SetWindowTextW(window_, L"");
  scrollX_ = scrollY_ = 0;
  Relayout();
}

bool ViewerWindow::Busy() const {
  if (!window_) return false;
  RECT update;
  if (GetUpdateRect(window_, &update, FALSE)) return true;
  if (!hasDocument_) return false;
  const SIZE client = ClientSize();
  const auto [first, last] = layout_.VisibleRange(scrollY_, client.cy);
  for (int i = first; i < last; ++i) {
    if (Failed(i)) continue;
    auto it = cache_.find(i);
    if (it == cache_.end() || it->second.width != layout_.Box(i).width || it->second.height != layout_.Box(i).height) {
      return true;
    }
  }
  return false;
}

void ViewerWindow::Draw(HDC dc, const RECT& bounds) {
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  Paint(memory, width, height);
  BitBlt(dc, bounds.left, bounds.top, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void ViewerWindow::PaintWindow(HDC dc, const RECT& client) {
  const int width = client.right - client.left, height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  if (!backDc_ || backSize_.cx != width || backSize_.cy != height) {
    ReleaseBackBuffer();
    backDc_ = CreateCompatibleDC(dc);
    backBitmap_ = backDc_ ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (!backBitmap_) {
      ReleaseBackBuffer();
      Draw(dc, client);  // the drawing is the same, only not kept
      return;
    }
    backOld_ = SelectObject(backDc_, backBitmap_);
    backSize_ = {width, height};
  }
  Paint(backDc_, width, height);
  BitBlt(dc, client.left, client.top, width, height, backDc_, 0, 0, SRCCOPY);
}

void ViewerWindow::ReleaseBackBuffer() {
  if (backDc_ && backOld_) SelectObject(backDc_, backOld_);
  if (backBitmap_) DeleteObject(backBitmap_);
  if (backDc_) DeleteDC(backDc_);
  backDc_ = nullptr;
  backBitmap_ = nullptr;
  backOld_ = nullptr;
  backSize_ = {};
}

void ViewerWindow::ZoomBy(double factor) {
  const double zoom = std::clamp(zoom_ * factor, PageLayout::kMinZoom, PageLayout::kMaxZoom);
  if (zoom == zoom_) return;
  zoom_ = zoom;
  Relayout();
}

void ViewerWindow::SetZoom(double zoom) {
  zoom = std::clamp(zoom, PageLayout::kMinZoom, PageLayout::kMaxZoom);
  if (zoom == zoom_) return;
  zoom_ = zoom;
  Relayout();
}

RECT ViewerWindow::PagesArea() const {
  RECT client{};
  if (window_) GetClientRect(window_, &client);
  if (extension_) {
    client.top = std::min(client.bottom, LONG(extension_->TopReserve()));
    client.left = std::min(client.right, LONG(extension_->LeftReserve()));
  }
  return client;
}

void ViewerWindow::Turn(int quarters) {
  const int turns = ((turns_ + quarters) % 4 + 4) % 4;
  if (!hasDocument_ || turns == turns_) return;
  if ((turns - turns_) % 2) layout_.SwapSides();
  turns_ = turns;
  // Every page is drawn anew; what was drawn at another angle would be drawn wrong.
  cache_.clear();
  failedPages_.clear();
  Relayout();
  RequestVisible();
}

void ViewerWindow::FitWidth() {
  zoom_ = 1.0;
  Relayout();
}

void ViewerWindow::ScrollTo(int x, int y) {
  const SIZE client = ClientSize();
  x = std::clamp(x, 0, std::max(0, layout_.DocumentWidth() - int(client.cx)));
  y = std::clamp(y, 0, std::max(0, layout_.DocumentHeight() - int(client.cy)));
  if (x == scrollX_ && y == scrollY_) return;
  scrollX_ = x;
  scrollY_ = y;
  UpdateScrollBars();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
  if (extension_) extension_->ViewChanged();
}

LRESULT CALLBACK ViewerWindow::StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<ViewerWindow*>(GetWindowLongPtrW(window, 0));
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  return GuardWindow(window, message, wparam, lparam, [&] { return self->Proc(message, wparam, lparam); });
}

LRESULT ViewerWindow::Proc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (extension_) {
    LRESULT result = 0;
    if (extension_->OnMessage(message, wparam, lparam, result)) return result;
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // painted whole, from a memory bitmap
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      RECT client;
      GetClientRect(window_, &client);
      PaintWindow(dc, client);
      EndPaint(window_, &ps);
      RequestVisible();
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(window_, &client);
      Draw(reinterpret_cast<HDC>(wparam), client);
      return 0;
    }
    case WM_SIZE:
      if (!inRelayout_) Relayout();
      return 0;
    case WM_SETFOCUS:
      if (onFocus) onFocus();
      break;
    case WM_VSCROLL:
      OnScroll(SB_VERT, LOWORD(wparam));
      return 0;
    case WM_HSCROLL:
      OnScroll(SB_HORZ, LOWORD(wparam));
      return 0;
    case WM_MOUSEWHEEL: {
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      if (GET_KEYSTATE_WPARAM(wparam) & MK_CONTROL) {
        ZoomBy(delta > 0 ? 1.25 : 0.8);
      } else {
        UINT lines = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        ScrollTo(scrollX_, scrollY_ - MulDiv(delta, int(lines) * kLineStep, WHEEL_DELTA));
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      SetFocus(window_);
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      if (OnKey(wparam)) return 0;
      break;
    case kRenderedMessage:
      if (wparam == RendererClient::kDocumentReplaced && onReplaced) onReplaced();
      CollectRendered();
      return 0;
    case WM_TIMER:
      if (wparam != kWarmUpTimer) break;
      KillTimer(window_, kWarmUpTimer);
      // Only a first start: a worker that has run already (a document opened before the
      // paint) is started again by the next request, and a warm-up would count as a restart.
      if (renderer_.WorkerStarts() == 0) renderer_.WarmUp();
      return 0;
    case WM_DESTROY: {
      // Also when the host destroys its own window first: the handle may be reused by then.
      renderer_.SetNotifyWindow(nullptr, 0);
      const HWND window = window_;
      window_ = nullptr;
      RemovePropW(window, kClassName);
      ReleaseBackBuffer();
      return DefWindowProcW(window, message, wparam, lparam);
    }
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

SIZE ViewerWindow::ClientSize() const {
  const RECT pages = PagesArea();
  return {pages.right - pages.left, pages.bottom - pages.top};
}

void ViewerWindow::Relayout(bool tellExtension) {
  if (!window_) return;
  // Showing or hiding a scroll bar sends WM_SIZE back here.
  inRelayout_ = true;
  // The same spot of the same page stays at the top when the scale or a page's size changes.
  const auto anchor = layout_.DocumentHeight() > 0 ? layout_.PlaceOf(scrollY_) : std::pair<int, double>{0, 0};
  // The vertical bar is always there with a document, so the fitted width does not depend on
  // whether the document is taller than the window.
  ShowScrollBar(window_, SB_VERT, hasDocument_);
  const double scaleBefore = layout_.PixelsPerPoint();
  layout_.Arrange(ClientSize().cx, zoom_);
  // A zoom past the bounds is kept as the zoom shown, so that zooming back acts at once.
  const double shown = layout_.PixelsPerPoint() / layout_.FitWidthPixelsPerPoint();
  if (zoom_ != 1.0 && std::fabs(shown - zoom_) > 1e-9 && shown != 1.0) zoom_ = shown;
  // At another size a page that failed may render: it is tried again.
  if (layout_.PixelsPerPoint() != scaleBefore) failedPages_.clear();
  const SIZE client = ClientSize();
  const bool wide = hasDocument_ && layout_.DocumentWidth() > client.cx;
  ShowScrollBar(window_, SB_HORZ, wide);
  const SIZE now = ClientSize();
  scrollY_ =
      std::clamp(scrollY_ == 0 ? 0 : layout_.RowOf(anchor), 0, std::max(0, layout_.DocumentHeight() - int(now.cy)));
  scrollX_ = std::clamp(scrollX_, 0, std::max(0, layout_.DocumentWidth() - int(now.cx)));
  inRelayout_ = false;
  UpdateScrollBars();
  InvalidateRect(window_, nullptr, FALSE);
  // A new document comes fitted to the width, with the vertical bar shown (ShowDocument).
  int width = int(now.cx);
  if (!hasDocument_) width -= GetSystemMetrics(SM_CXVSCROLL);
  renderer_.SetFirstView(pdfrender::OpenRequest{uint32_t(std::max(width, 0)), 1.0f});
  if (extension_ && tellExtension) extension_->ViewChanged();
}

void ViewerWindow::UpdateScrollBars() {
  if (!window_ || !hasDocument_) return;
  const SIZE client = ClientSize();
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = std::max(0, layout_.DocumentHeight() - 1);
  info.nPage = UINT(std::max(0L, client.cy));
  info.nPos = scrollY_;
  SetScrollInfo(window_, SB_VERT, &info, TRUE);
  info.fMask = SIF_ALL;
  info.nMax = std::max(0, layout_.DocumentWidth() - 1);
  info.nPage = UINT(std::max(0L, client.cx));
  info.nPos = scrollX_;
  SetScrollInfo(window_, SB_HORZ, &info, TRUE);
}

void ViewerWindow::OnScroll(int bar, WORD code) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(window_, bar, &info);
  const int page = std::max(int(info.nPage) - kLineStep, kLineStep);
  int pos = bar == SB_VERT ? scrollY_ : scrollX_;
  switch (code) {
    case SB_LINEUP:
      pos -= kLineStep;
      break;
    case SB_LINEDOWN:
      pos += kLineStep;
      break;
    case SB_PAGEUP:
      pos -= page;
      break;
    case SB_PAGEDOWN:
      pos += page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      pos = info.nTrackPos;
      break;
    case SB_TOP:
      pos = 0;
      break;
    case SB_BOTTOM:
      pos = info.nMax;
      break;
    default:
      return;
  }
  if (bar == SB_VERT) {
    ScrollTo(scrollX_, pos);
  } else {
    ScrollTo(pos, scrollY_);
  }
}

bool ViewerWindow::OnKey(WPARAM key) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const SIZE client = ClientSize();
  const int page = std::max(int(client.cy) - kLineStep, kLineStep);
  if (ctrl) {
    switch (key) {
      case VK_ADD:
      case VK_OEM_PLUS:
        ZoomBy(1.25);
        return true;
      case VK_SUBTRACT:
      case VK_OEM_MINUS:
        ZoomBy(0.8);
        return true;
      case '0':
      case VK_NUMPAD0:
        FitWidth();
        return true;
      case VK_HOME:
        ScrollTo(scrollX_, 0);
        return true;
      case VK_END:
        ScrollTo(scrollX_, layout_.DocumentHeight());
        return true;
    }
    return false;
  }
  switch (key) {
    case VK_PRIOR:
      ScrollTo(scrollX_, scrollY_ - page);
      return true;
    case VK_NEXT:
    case VK_SPACE:
      ScrollTo(scrollX_, scrollY_ + page);
      return true;
    case VK_HOME:
      ScrollTo(0, 0);
      return true;
    case VK_END:
      ScrollTo(scrollX_, layout_.DocumentHeight());
      return true;
    case VK_UP:
      ScrollTo(scrollX_, scrollY_ - kLineStep);
      return true;
    case VK_DOWN:
      ScrollTo(scrollX_, scrollY_ + kLineStep);
      return true;
    case VK_LEFT:
      ScrollTo(scrollX_ - kLineStep, scrollY_);
      return true;
    case VK_RIGHT:
      ScrollTo(scrollX_ + kLineStep, scrollY_);
      return true;
  }
  return false;
}

void ViewerWindow::Paint(HDC dc, int width, int height) {
  const int top = std::min(height, extension_ ? extension_->TopReserve() : 0);
  const int left = std::min(width, extension_ ? extension_->LeftReserve() : 0);
  if (top > 0) Fill(dc, RECT{0, 0, width, top}, GetSysColor(COLOR_BTNFACE));
  if (left > 0) Fill(dc, RECT{0, top, left, height}, GetSysColor(COLOR_BTNFACE));
  const RECT all{left, top, width, height};
  Fill(dc, all, kBackground);
  if (!hasDocument_) {
    if (!messageTitle_.empty()) PaintMessage(dc, all);
    return;
  }
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, all.left, all.top, all.right, all.bottom);
  const auto [first, last] = layout_.VisibleRange(scrollY_, height - top);
  for (int i = first; i < last; ++i) {
    const PageBox& box = layout_.Box(i);
    const RECT where{box.x - scrollX_ + left, box.y - scrollY_ + top, box.x - scrollX_ + left + box.width,
                     box.y - scrollY_ + top + box.height};
    const RECT frame{where.left - 1, where.top - 1, where.right + 1, where.bottom + 1};
    Fill(dc, frame, RGB(64, 64, 64));
    PaintPage(dc, i, where);
    if (extension_) extension_->PaintOver(dc, i, where, layout_.PixelsPerPoint());
  }
  RestoreDC(dc, saved);
}

void ViewerWindow::PaintPage(HDC dc, int index, const RECT& where) {
  const int width = where.right - where.left, height = where.bottom - where.top;
  auto it = cache_.find(index);
  if (it == cache_.end()) {
    Fill(dc, where, RGB(255, 255, 255));
    if (failedPages_.count(index)) {
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(160, 0, 0));
      HGDIOBJ old = SelectObject(dc, textFont_);
      RECT text = where;
      DrawTextW(dc, L"This page could not be shown.", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, old);
    }
    return;
  }
  CachedPage& page = it->second;
  page.drawn = ++clock_;
  BITMAPINFO info = DibInfo(page.width, page.height);
  if (page.width == width && page.height == height) {
    SetDIBitsToDevice(dc, where.left, where.top, width, height, 0, 0, 0, height, page.pixels.data(), &info,
                      DIB_RGB_COLORS);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, where.left, where.top, width, height, 0, 0, page.width, page.height, page.pixels.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
  }
}

void ViewerWindow::PaintMessage(HDC dc, const RECT& client) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT title{client.left + 16, client.top, client.right - 16, client.bottom};
  RECT reason = title;
  HGDIOBJ old = SelectObject(dc, titleFont_);
  RECT measure = title;
  DrawTextW(dc, messageTitle_.c_str(), -1, &measure, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  SelectObject(dc, textFont_);
  RECT measure2 = reason;
  DrawTextW(dc, messageReason_.c_str(), -1, &measure2, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  const int block = (measure.bottom - measure.top) + 8 + (measure2.bottom - measure2.top);
  title.top = std::max<LONG>(client.top + 8, (client.bottom - block) / 2);
  reason.top = title.top + (measure.bottom - measure.top) + 8;
  SelectObject(dc, titleFont_);
  DrawTextW(dc, messageTitle_.c_str(), -1, &title, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, textFont_);
  DrawTextW(dc, messageReason_.c_str(), -1, &reason, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
}

void ViewerWindow::CollectRendered() {
  bool resized = false;
  for (const ArrivedSizes& arrived : renderer_.TakeSizes()) {
    if (!hasDocument_ || arrived.generation != generation_) continue;
    std::vector<std::pair<float, float>> sizes;
    for (const auto& page : arrived.sizes) {
      if (turns_ % 2) sizes.emplace_back(page.height, page.width);
      else sizes.emplace_back(page.width, page.height);
    }
    layout_.SetSizes(int(arrived.first), sizes);
    resized = true;
  }
  if (resized) {
    // Pages drawn at a guessed size are drawn again at their own.
    Relayout();
    RequestVisible();
  }
  bool changed = false;
  for (RenderedPage& page : renderer_.TakeFinished()) {
    if (!hasDocument_ || page.job.generation != generation_ || int(page.job.quarterTurns) != turns_ ||
        int(page.job.page) >= layout_.PageCount()) {
      continue;
    }
    const int index = int(page.job.page);
    if (page.failed) {
      // A page that fails again after its retry stays failed until the scale changes.
      FailedPage& failed = failedPages_[index];
      failed.workerStarts = page.workerStarts;
      cache_.erase(index);
    } else {
      failedPages_.erase(index);
      cache_[index] = CachedPage{int(page.width), int(page.height), std::move(page.pixels), ++clock_};
    }
    changed = true;
  }
  // A restart of the worker is announced too: failed pages in view may be due a retry.
  const SIZE client = ClientSize();
  const auto [first, last] = layout_.VisibleRange(scrollY_, client.cy);
  for (auto it = failedPages_.lower_bound(first); it != failedPages_.end() && it->first < last; ++it) {
    if (!Failed(it->first)) {
      RequestVisible();
      break;
    }
  }
  if (changed && window_) {
    TrimCache();
    InvalidateRect(window_, nullptr, FALSE);
    // On screen now, not after whatever else waits in the queue.
    UpdateWindow(window_);
  }
}

void ViewerWindow::RequestVisible() {
  if (!hasDocument_) return;
  const SIZE client = ClientSize();
  auto [first, last] = layout_.VisibleRange(scrollY_, client.cy);
  std::vector<RenderJob> jobs;
  auto want = [&](int i) {
    if (i < 0 || i >= layout_.PageCount() || Failed(i)) return;
    if (auto failed = failedPages_.find(i); failed != failedPages_.end()) failed->second.retried = true;
    const PageBox& box = layout_.Box(i);
    auto it = cache_.find(i);
    if (it != cache_.end() && it->second.width == box.width && it->second.height == box.height) return;
    jobs.push_back(RenderJob{generation_, uint32_t(i), uint32_t(box.width), uint32_t(box.height), uint32_t(turns_)});
  };
  for (int i = first; i < last; ++i) want(i);
  // The neighbours in reading order come next, ready for the user's next step.
  want(last);
  want(first - 1);
  renderer_.Request(std::move(jobs));
}

// The least recently drawn go first; the pages in view stay whatever they take.
void ViewerWindow::TrimCache() {
  size_t total = 0;
  for (const auto& [index, page] : cache_) total += page.pixels.size();
  if (total <= kCachePixels) return;
  const SIZE client = ClientSize();
  const auto [first, last] = layout_.VisibleRange(scrollY_, client.cy);
  std::vector<std::pair<uint64_t, int>> order;
  for (const auto& [index, page] : cache_) {
    if (index < first || index >= last) order.emplace_back(page.drawn, index);
  }
  std::sort(order.begin(), order.end());
  for (const auto& [drawn, index] : order) {
    if (total <= kCachePixels) break;
    total -= cache_[index].pixels.size();
    cache_.erase(index);
  }
}

bool ViewerWindow::Failed(int index) const {
  auto it = failedPages_.find(index);
  if (it == failedPages_.end()) return false;
  return it->second.retried || renderer_.WorkerStarts() <= it->second.workerStarts;
}

}  // namespace pdfview
