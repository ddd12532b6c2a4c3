// Where the bars and panes of a splitter panel lie, as plain arithmetic: free of platform
// headers so that it can be built and checked anywhere.
//
//   TLMDSplitterOrientation, TLMDSplitterJump, TLMDBorderStyle   the splitter's enumerations
//   SplitRect                                                    a rectangle (left, top, right, bottom)
//   RoundHalfEven, PercentOf, PositionFromPercent                position and percentage
//   BarIsHorizontal, BarExtentSize, PanePlacement, BarRectangle  the layout tables
#pragma once

#include <array>

enum TLMDSplitterOrientation { spHorzDown, spHorzUp, spVertRight, spVertLeft, spCross };
enum TLMDSplitterJump { sjUpLeft, sjDnRight };
enum TLMDBorderStyle {
  lsNone,
  lsSingle,
  lsLowered,
  lsRaised,
  lsRaisedspb,
  lsLoweredspb,
  lsRaisedExt,
  lsLoweredExt,
  lsFrameInset,
  lsFrameOffset,
  lsWindowBorder,
  lsSingleRaised,
  lsSingleLowered,
  lsDoubleRaised,
  lsDoubleLowered
};
using TLMDPercent = unsigned char;

struct SplitRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const SplitRect&, const SplitRect&) = default;
};

// Rounds to the nearest whole number, halves to the even neighbour (12.5 -> 12, 37.5 -> 38).
int RoundHalfEven(double value);
// The whole percentage of `extent` that `position` stands for, kept within 0..100 so that a
// position outside the travel room still gives a usable percentage.
TLMDPercent PercentOf(int position, int extent);
// percent x extent div 100, raised to `min`, then lowered to extent - max (that clamp wins),
// and kept within 0..extent.
int PositionFromPercent(int percent, int extent, int min, int max);

// spCross needs four visible panes; with fewer it lays out as spVertRight.
TLMDSplitterOrientation EffectiveOrientation(TLMDSplitterOrientation orientation, int visiblePanes);

// The direction of bar `index` for the visible pane count; `current` when the rule leaves it.
bool BarIsHorizontal(TLMDSplitterOrientation orientation, int visiblePanes, int index, bool current);
// The content size along which bar `index` travels (before its own width is taken off):
// 'H' for the content height, 'W' for the width, 0 when the bar gets no extent.
char BarExtentSize(TLMDSplitterOrientation orientation, int visiblePanes, int index);

// Positions and widths of the active bars.
struct BarMetrics {
  std::array<int, 3> position{};
  std::array<int, 3> width{};
};
// Rectangles of the visible panes inside the content rectangle `content`.
std::array<SplitRect, 4> PanePlacement(TLMDSplitterOrientation orientation, int visiblePanes, const SplitRect& content,
                                       const BarMetrics& bars);
// Rectangle of active bar `index` in a client area of clientWidth x clientHeight with a frame
// `inset` wide; empty for fewer than two visible panes or a bar without a place.
SplitRect BarRectangle(TLMDSplitterOrientation orientation, int visiblePanes, int index, int inset, int clientWidth,
                       int clientHeight, const BarMetrics& bars);
