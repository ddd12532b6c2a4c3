// The splitter panel's painting: bevel, bars with their grip look and collapse buttons.
#include "splitter/lmdsplt.h"

namespace {

// An 8 x 8 brush of alternating black and white pixels; ANDed onto a surface it darkens every
// other pixel.
GdiObject CheckerBrush() {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
    DWORD rows[8];
  } dib{};
  dib.header.biSize = sizeof dib.header;
  dib.header.biWidth = 8;
  dib.header.biHeight = 8;
  dib.header.biPlanes = 1;
  dib.header.biBitCount = 1;
  dib.header.biCompression = BI_RGB;
  dib.colors[1] = RGBQUAD{255, 255, 255, 0};
  for (int y = 0; y < 8; ++y) dib.rows[y] = (y % 2) ? 0x55 : 0xAA;
  return GdiObject(CreateDIBPatternBrushPt(&dib, DIB_RGB_COLORS));
}

constexpr DWORD kPatternAndDest = 0x00A000C9;

// What a panel without panes says in the form designer.
constexpr char kNoPanesText[] = "No Panes (use Context Menu to add Panes).";

}  // namespace

void TLMDSplitterPanel::PaintNow(const std::function<void()>& paint) {
  if (Canvas().HandleAllocated()) {
    paint();
    return;
  }
  HWND window = Handle();
  HDC dc = GetDC(window);
  if (!dc) return;
  Canvas().SetHandle(dc);
  TScopeExit release([&] {
    Canvas().SetHandle(nullptr);
    ReleaseDC(window, dc);
  });
  Canvas().Font().Assign(Font());
  paint();
}

void TLMDSplitterPanel::Paint() {
  if (VisiblePaneCount() == 0 && !Bevel().DrawsFrame()) {
    TLMDCustomBevelPanel::Paint();
    if (HasState(csDesigning)) {
      Canvas().Brush().SetStyle(bsClear);
      Canvas().TextOut(5, 5, kNoPanesText);
      Canvas().Brush().SetStyle(bsSolid);
    }
    return;
  }
  Bevel().PaintBevel(Canvas().Handle(), ClientRect());
  for (int i = 0; i < BarCount(); ++i) PaintBarOnCanvas(i);
}

void TLMDSplitterPanel::PaintBar(int i) {
  if (HasState(csLoading) || updating_ || !HandleAllocated()) return;
  if (i < 0 || i >= BarCount() || i >= bars_->Count()) return;
  PaintNow([this, i] { PaintBarOnCanvas(i); });
}

void TLMDSplitterPanel::PaintBarOnCanvas(int i) {
  if (i >= bars_->Count()) return;
  TLMDSplitterBarItem& bar = *bars_->Items(i);
  RECT r = BarRect(i);
  HDC dc = Canvas().Handle();
  auto edge = [&](UINT kind, UINT flags) { DrawEdge(dc, &r, kind, flags); };
  switch (bar.borderStyle_) {
    case lsNone:
      break;
    case lsSingle:
      edge(BDR_SUNKENOUTER, BF_ADJUST | BF_SOFT | BF_LEFT | BF_TOP);
      edge(BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM);
      break;
    case lsLowered:
      edge(EDGE_SUNKEN, BF_ADJUST | BF_SOFT | BF_RECT);
      break;
    case lsRaised:
      edge(EDGE_RAISED, BF_ADJUST | BF_SOFT | BF_RECT);
      break;
    case lsRaisedspb:
    case lsRaisedExt:
      edge(BDR_RAISEDOUTER, BF_ADJUST | BF_SOFT | BF_RECT);
      edge(BDR_RAISEDINNER, BF_ADJUST | BF_RIGHT | BF_BOTTOM);
      if (bar.borderStyle_ == lsRaisedExt) {
        ++r.left;
        ++r.top;
      }
      break;
    case lsLoweredspb:
    case lsLoweredExt:
      edge(BDR_SUNKENOUTER, BF_ADJUST | BF_RECT);
      edge(BDR_SUNKENINNER, BF_ADJUST | BF_LEFT | BF_TOP);
      if (bar.borderStyle_ == lsLoweredExt) {
        --r.right;
        --r.bottom;
      }
      break;
    case lsFrameInset:
      edge(EDGE_ETCHED, BF_ADJUST | BF_RECT);
      break;
    case lsFrameOffset:
      edge(BDR_RAISEDINNER, BF_ADJUST | BF_RECT);
      edge(BDR_SUNKENOUTER, BF_ADJUST | BF_RECT);
      break;
    case lsWindowBorder:
      edge(BDR_RAISEDOUTER, BF_ADJUST | BF_RIGHT | BF_BOTTOM);
      ++r.left;
      ++r.top;
      edge(BDR_RAISEDINNER, BF_ADJUST | BF_RECT);
      break;
    case lsSingleRaised:
      edge(BDR_RAISEDINNER, BF_ADJUST | BF_RECT);
      break;
    case lsSingleLowered:
      edge(BDR_SUNKENOUTER, BF_ADJUST | BF_RECT);
      break;
    case lsDoubleRaised:
      edge(BDR_RAISEDINNER, BF_ADJUST | BF_RECT);
      edge(BDR_RAISEDINNER, BF_ADJUST | BF_RECT);
      break;
    case lsDoubleLowered:
      edge(BDR_SUNKENOUTER, BF_ADJUST | BF_RECT);
      edge(BDR_SUNKENOUTER, BF_ADJUST | BF_RECT);
      break;
  }
  Canvas().Brush().SetStyle(bsSolid);
  Canvas().Brush().SetColor(bar.color_);
  if (bar.borderStyle_ == lsLoweredExt) {
    ++r.right;
    ++r.bottom;
  } else if (bar.borderStyle_ == lsRaisedExt) {
    --r.left;
    --r.top;
  }
  if (bar.transparent_ && DrawsTransparent()) BackDrawArea(Canvas(), r);
  else Canvas().FillRect(r);
  bar.buttonRect_ = RECT{};
  if (bar.resizeButton_ && !IsRectEmpty(&r)) {
    RECT b;
    if (bar.isHorizontal_) {
      int left = r.left + (r.right - r.left) / 2 - 25;
      b = RECT{left, r.top, left + 50, r.bottom};
    } else {
      int top = r.top + (r.bottom - r.top) / 2 - 25;
      b = RECT{r.left, top, r.right, top + 50};
    }
    IntersectRect(&b, &b, &r);
    bar.buttonRect_ = b;
    PaintResizeButton(bar, b);
  }
}

void TLMDSplitterPanel::PaintResizeButton(TLMDSplitterBarItem& bar, RECT b) {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(bar.resizeColor_);
  canvas.FillRect(b);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetColor(clGray);
  canvas.Brush().SetStyle(bsClear);
  canvas.Rectangle(b.left, b.top, b.right, b.bottom);
  canvas.Pen().SetColor(clWhite);
  canvas.MoveTo(b.left + 1, b.bottom - 2);
  canvas.LineTo(b.left + 1, b.top + 1);
  canvas.LineTo(b.right - 1, b.top + 1);
  if (bar.buttonHot_) {
    GdiObject checker = CheckerBrush();
    SelectedObject selected(dc, checker.Get());
    PatBlt(dc, b.left, b.top, b.right - b.left, b.bottom - b.top, kPatternAndDest);
  }
  int s = bar.width_ - 4 < 4 ? bar.width_ - 2 : 4;
  InflateRect(&b, -3, -3);
  // A bar of two pixels or less has no room for a grip or arrows (and a step of 0 would
  // never end).
  if (s <= 0 || b.right <= b.left || b.bottom <= b.top) return;
  bool horizontal = bar.isHorizontal_;
  canvas.Pen().SetColor(clBtnShadow);
  if (horizontal) {
    int y = b.top + (b.bottom - b.top) / 2;
    for (int x = b.left + 2 * s; x < b.right - s; x += s) {
      canvas.Rectangle(x, y, x + 2, y + 2);
      SetPixel(dc, x, y, RGB(255, 255, 255));
    }
  } else {
    int x = b.left + (b.right - b.left) / 2;
    for (int y = b.top + 2 * s; y < b.bottom - s; y += s) {
      canvas.Rectangle(x, y, x + 2, y + 2);
      SetPixel(dc, x, y, RGB(255, 255, 255));
    }
  }
  int length = horizontal ? b.right - b.left : b.bottom - b.top;
  if (length < s) return;
  bool towardOrigin = (bar.resizeDirection_ == sjUpLeft && bar.oldPosition_ == -1) ||
                      (bar.resizeDirection_ == sjDnRight && bar.oldPosition_ != -1);
  int h = s / 2;
  canvas.Pen().SetColor(clBlack);
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(clBlack);
  HGDIOBJ pen = canvas.Pen().Handle(), brush = canvas.Brush().Handle();
  SelectedObject selectedPen(dc, pen), selectedBrush(dc, brush);
  auto triangle = [&](int start) {
    POINT p[3];
    if (horizontal) {
      int cy = b.top + (b.bottom - b.top) / 2;
      int apex = towardOrigin ? cy - h / 2 : cy + h - h / 2;
      int base = towardOrigin ? apex + h : apex - h;
      p[0] = POINT{start, base};
      p[1] = POINT{start + s, base};
      p[2] = POINT{start + s / 2, apex};
    } else {
      int cx = b.left + (b.right - b.left) / 2;
      int apex = towardOrigin ? cx - h / 2 : cx + h - h / 2;
      int base = towardOrigin ? apex + h : apex - h;
      p[0] = POINT{base, start};
      p[1] = POINT{base, start + s};
      p[2] = POINT{apex, start + s / 2};
    }
    Polygon(dc, p, 3);
  };
  triangle(horizontal ? b.left : b.top);
  triangle((horizontal ? b.right : b.bottom) - s);
}
