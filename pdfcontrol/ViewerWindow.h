// The control's window: pages in one continuous column fitted to the width, scroll bars,
// mouse wheel, keyboard paging, zoom, and a message in place of the document when a file
// cannot be shown. Pages are rendered by the worker at the window's resolution, only those in
// view (and the next), and kept in a cache; until a fresh render arrives after a resize or a
// zoom, the old one is drawn stretched, so the window never flashes empty.
// Bounds, whatever the document's length: rendered pages at most kCachePixels (64 MB) besides
// the pages in view, the least recently drawn dropped first; the layout 24 bytes a page, at
// most 2.4 MB for the protocol's kMaxPages.
#pragma once

#include "pdfcontrol/PageLayout.h"
#include "pdfcontrol/RendererClient.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>

namespace pdfview {

// The module that holds this code (the control's DLL).
HMODULE ThisModule();

class ViewerWindow {
 public:
  // What is added over the pages (the toolbar and the text tools): it sees each message first,
  // keeps a strip above the pages, draws over each page and hears of every change of view.
  class Extension {
   public:
    virtual ~Extension() = default;
    // True when the message is taken, with its result.
    virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) = 0;
    virtual int TopReserve() const = 0;
    // A strip at the left of the pages, below the top one.
    virtual int LeftReserve() const { return 0; }
    virtual void PaintOver(HDC dc, int page, const RECT& where, double pixelsPerPoint) = 0;
    virtual void ViewChanged() = 0;
  };

  // The window's own messages, numbered in one place for the extension too: an extension
  // that took the viewer's number would swallow the viewer's message.
  static constexpr UINT kRenderedMessage = WM_APP + 1;
  static constexpr UINT_PTR kWarmUpTimer = 1;
  static constexpr UINT kTextMessage = WM_APP + 3;

  static constexpr COLORREF kBackground = RGB(128, 128, 128);
  static constexpr size_t kCachePixels = 16'000'000;
  static constexpr int kLineStep = 40;

  explicit ViewerWindow(RendererClient& renderer);
  ~ViewerWindow();
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

  HWND Create(HWND parent, const RECT& bounds);
  void Destroy();
  HWND Handle() const { return window_; }

  // The first pages' sizes of pageCount (all when it is 0); the rest arrive from the renderer
  // client and are assumed like their neighbours until then. A damaged document shows what
  // could be read of it, and says so.
  void ShowDocument(uint32_t generation, const std::vector<pdfrender::PageSize>& pages, uint32_t pageCount = 0,
                    bool damaged = false);
  void ShowMessage(const std::wstring& title, const std::wstring& reason);
  void Clear();
  // True while a page in view waits for its rendering or the window for its paint.
  bool Busy() const;
  // Draws the current view into any device context (printing, IViewObject::Draw).
  void Draw(HDC dc, const RECT& bounds);

  void ZoomBy(double factor);
  void FitWidth();
  void ScrollTo(int x, int y);
  int ScrollY() const { return scrollY_; }
  double Zoom() const { return zoom_; }
  int PageCount() const { return hasDocument_ ? layout_.PageCount() : 0; }

  void SetExtension(Extension* extension) { extension_ = extension; }
  bool HasDocument() const { return hasDocument_; }
  bool Damaged() const { return hasDocument_ && damaged_; }
  uint32_t Generation() const { return generation_; }
  const PageLayout& Layout() const { return layout_; }
  int ScrollX() const { return scrollX_; }
  // The pages' part of the client area, below the extension's strip.
  RECT PagesArea() const;
  // Zoom 1 fits the widest page to the width.
  void SetZoom(double zoom);
  // Turns the view by quarter turns clockwise (negative: the other way), keeping the page at
  // the top in view; a new document comes unturned.
  void Turn(int quarters);
  int QuarterTurns() const { return turns_; }
  // Lays the pages out again after the extension's strips changed.
  void Rearrange() { Relayout(); }
  // Handles the keys of the pages (scrolling, zoom); true when the key was one of them.
  bool PageKey(WPARAM key) { return OnKey(key); }

  // Called when the window takes the focus.
  std::function<void()> onFocus;
  // Called when the renderer found the open document replaced on disk.
  std::function<void()> onReplaced;

 private:
  struct CachedPage {
    int width = 0, height = 0;
    PagePixels pixels;
    uint64_t drawn = 0;  // when last painted, on the window's own clock
  };
  // A failed page is tried again after a change of scale, and once after the worker
  // restarts: something else may have ended the worker it failed in.
  struct FailedPage {
    uint32_t workerStarts = 0;  // the client's count when it failed
    bool retried = false;
  };

  static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Proc(UINT message, WPARAM wparam, LPARAM lparam);
  void Relayout(bool tellExtension = true);
  void UpdateScrollBars();
  void OnScroll(int bar, WORD code);
  bool OnKey(WPARAM key);
  void Paint(HDC dc, int width, int height);
  void PaintPage(HDC dc, int index, const RECT& where);
  void PaintMessage(HDC dc, const RECT& client);
  void CollectRendered();
  void RequestVisible();
  void TrimCache();
  bool Failed(int index) const;
  SIZE ClientSize() const;

  RendererClient& renderer_;
  Extension* extension_ = nullptr;
  HWND window_ = nullptr;
  HFONT titleFont_ = nullptr;
  HFONT textFont_ = nullptr;
  // The window's paints go through one kept bitmap of the client's size: a fresh one per paint
  // cost its allocation, first touches and a display check each, twice per document shown.
  HDC backDc_ = nullptr;
  HBITMAP backBitmap_ = nullptr;
  HGDIOBJ backOld_ = nullptr;
  SIZE backSize_{};
  void PaintWindow(HDC dc, const RECT& client);
  void ReleaseBackBuffer();

  bool inRelayout_ = false;
  bool hasDocument_ = false;
  bool damaged_ = false;
  uint32_t generation_ = 0;
  PageLayout layout_;
  double zoom_ = 1.0;
  int turns_ = 0;
  int scrollX_ = 0, scrollY_ = 0;
  std::map<int, CachedPage> cache_;
  uint64_t clock_ = 0;
  std::map<int, FailedPage> failedPages_;
  std::wstring messageTitle_, messageReason_;
};

}  // namespace pdfview
