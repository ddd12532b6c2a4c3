// The splitter panel and the mouse: cursors over bars, dragging with live panes or an inverted
// outline, the collapse button and its hot state, and the form designer's hit test.
#include <windowsx.h>

#include "splitter/lmdsplt.h"

namespace {

// A device context for the whole screen, released on every path.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  ~ScreenDC() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

void TLMDSplitterPanel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCHITTEST:
      TLMDCustomBevelPanel::WndProc(m);
      hitPoint_ = ScreenToClient(POINT{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
      return;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT) {
        int hits = 0, first = -1;
        for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) {
          RECT r = BarRect(i);
          if (!bars_->Items(i)->Locked() && PtInRect(&r, hitPoint_)) {
            if (first < 0) first = i;
            ++hits;
          }
        }
        TCursor cursor = crDefault;
        if (hits == 2) {
          cursor = crCross;
        } else if (hits >= 1) {
          TLMDSplitterBarItem& bar = *bars_->Items(first);
          RECT button = bar.ButtonRect();
          if (bar.ResizeButton() && PtInRect(&button, hitPoint_)) cursor = crArrow;
          else cursor = bar.IsHorizontal() ? crVSplit : crHSplit;
        }
        if (!HasState(csDesigning)) hitPoint_ = POINT{-1, -1};
        if (cursor != crDefault) {
          ::SetCursor(CursorHandle(cursor));
          m.Result = 1;
          return;
        }
      }
      break;
    case CM_DESIGNHITTEST: {
      // The designer keeps the right button for itself; the left one drags bars here.
      m.Result = 0;
      if (m.WParam & MK_RBUTTON) return;
      bool claimed = dragging_;
      for (int i = 0; !claimed && (m.WParam & MK_LBUTTON) && i < BarCount() && i < bars_->Count(); ++i) {
        RECT r = BarRect(i);
        claimed = PtInRect(&r, hitPoint_) != FALSE;
      }
      m.Result = claimed ? 1 : 0;
      return;
    }
    case WM_CAPTURECHANGED:
      // Another window took the mouse: the drag cannot finish, so it ends without a change.
      if (dragging_ && reinterpret_cast<HWND>(m.LParam) != Handle()) CancelDrag();
      break;
    case WM_MOUSELEAVE:
      MouseLeft();
      break;
    default:
      break;
  }
  TLMDCustomBevelPanel::WndProc(m);
}

void TLMDSplitterPanel::MouseDown(TMouseButton button, unsigned shift, int x, int y) {
  if (button == mbLeft) {
    SetCapture(Handle());
    dragPoint_ = POINT{x, y};
    for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) {
      TLMDSplitterBarItem& bar = *bars_->Items(i);
      RECT r = BarRect(i);
      if (bar.Locked() || !PtInRect(&r, POINT{x, y})) continue;
      dragging_ = true;
      bar.tracking_ = true;
      if (!instantUpdate_) bar.trackPosition_ = bar.position_;
    }
    if (dragging_) DrawTrackMarks();
  }
  TLMDCustomBevelPanel::MouseDown(button, shift, x, y);
}

void TLMDSplitterPanel::MouseMove(unsigned shift, int x, int y) {
  // Asked again on every move: the platform may have ended the tracking on its own (a capture).
  if (HandleAllocated()) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
  }
  if ((shift & ssLeft) && dragging_) {
    POINT old = dragPoint_;
    POINT point{x, y};
    bool moved = point.x != old.x || point.y != old.y;
    ClampDragPoint(old, point);
    dragPoint_ = point;
    int active = std::min(BarCount(), bars_->Count());
    if (!instantUpdate_) DrawTrackMarks();
    for (int i = 0; i < active; ++i) {
      TLMDSplitterBarItem& bar = *bars_->Items(i);
      if (!bar.tracking_) continue;
      int d = bar.isHorizontal_ ? point.y - old.y : point.x - old.x;
      if (instantUpdate_) bar.SetPosition(bar.position_ + d);
      else bar.trackPosition_ += d;
      if (moved) bar.movedInDrag_ = true;
    }
    if (!instantUpdate_) DrawTrackMarks();
  } else if (!HasState(csDesigning)) {
    for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) {
      TLMDSplitterBarItem& bar = *bars_->Items(i);
      RECT button = bar.buttonRect_;
      bar.SetButtonHot(bar.resizeButton_ && PtInRect(&button, POINT{x, y}));
    }
  }
  TLMDCustomBevelPanel::MouseMove(shift, x, y);
}

void TLMDSplitterPanel::ClampDragPoint(POINT old, POINT& point) {
  for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) {
    TLMDSplitterBarItem& bar = *bars_->Items(i);
    if (!bar.tracking_) continue;
    int cur = instantUpdate_ ? bar.position_ : bar.trackPosition_;
    LONG& to = bar.isHorizontal_ ? point.y : point.x;
    LONG from = bar.isHorizontal_ ? old.y : old.x;
    // Min and Max as a bar at rest obeys them, so never beyond either end of the travel room.
    int lowest = PositionFromPercent(0, bar.extent_, bar.min_, bar.max_);
    int highest = PositionFromPercent(100, bar.extent_, bar.min_, bar.max_);
    if (cur - lowest < from - to) to = from - (cur - lowest);
    if (highest - cur < to - from) to = from + (highest - cur);
  }
}

void TLMDSplitterPanel::DrawTrackMarks() {
  if (instantUpdate_ || !HandleAllocated()) return;
  for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) {
    TLMDSplitterBarItem& bar = *bars_->Items(i);
    if (!bar.tracking_) continue;
    RECT r = BarRect(i);
    POINT a, b;
    if (bar.isHorizontal_) {
      a = POINT{r.left, inset_ + bar.trackPosition_};
      b = POINT{r.right, inset_ + bar.trackPosition_ + bar.width_};
    } else {
      a = POINT{inset_ + bar.trackPosition_, r.top};
      b = POINT{inset_ + bar.trackPosition_ + bar.width_, r.bottom};
    }
    a = ClientToScreen(a);
    b = ClientToScreen(b);
    ScreenDC screen;
    if (screen.Get()) BitBlt(screen.Get(), a.x, a.y, b.x - a.x, b.y - a.y, nullptr, 0, 0, DSTINVERT);
  }
}

void TLMDSplitterPanel::MouseUp(TMouseButton button, unsigned shift, int x, int y) {
  if (button == mbLeft && dragging_) {
    dragging_ = false;
    DrawTrackMarks();  // the bars still track: this inverts the drawn outline back
    // A handler below that raises must not leave bars tracking (they would ignore resizing
    // and follow the next press) nor the mouse captured.
    struct EndDrag {
      TLMDSplitterPanel& panel;
      ~EndDrag() {
        for (int i = 0; i < panel.bars_->Count(); ++i) {
          panel.bars_->Items(i)->tracking_ = false;
          panel.bars_->Items(i)->movedInDrag_ = false;
        }
        if (panel.HandleAllocated() && GetCapture() == panel.Handle()) ReleaseCapture();
      }
    } endDrag{*this};
    for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) {
      TLMDSplitterBarItem& bar = *bars_->Items(i);
      if (!bar.tracking_) continue;
      if (!instantUpdate_) bar.SetPosition(bar.trackPosition_);
      bar.tracking_ = false;
      RECT buttonRect = bar.buttonRect_;
      if (bar.resizeButton_ && PtInRect(&buttonRect, POINT{x, y}) && !bar.movedInDrag_) bar.ToggleCollapse();
      if (OnSplitChange) OnSplitChange(this, i);
      bar.movedInDrag_ = false;
    }
    Realign();
  } else if (button == mbLeft && GetCapture() == Handle()) {
    ReleaseCapture();
  }
  TLMDCustomBevelPanel::MouseUp(button, shift, x, y);
}

void TLMDSplitterPanel::CancelDrag() {
  DrawTrackMarks();
  dragging_ = false;
  for (int i = 0; i < bars_->Count(); ++i) {
    bars_->Items(i)->tracking_ = false;
    bars_->Items(i)->movedInDrag_ = false;
  }
}

void TLMDSplitterPanel::MouseLeft() {
  for (int i = 0; i < BarCount() && i < bars_->Count(); ++i) bars_->Items(i)->SetButtonHot(false);
}
