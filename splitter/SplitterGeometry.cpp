// The splitter's layout tables and its position/percentage arithmetic.
#include "splitter/SplitterGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

int RoundHalfEven(double value) {
  // Converting a double outside the int range is undefined; a stored huge position must
  // still land at the far end, not wherever the conversion happens to put it.
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  double lower = std::floor(value);
  double fraction = value - lower;
  int result = static_cast<int>(lower);
  if (fraction > 0.5 || (fraction == 0.5 && (result % 2) != 0)) ++result;
  return result;
}

TLMDPercent PercentOf(int position, int extent) {
  int percent = RoundHalfEven(100.0 * position / extent);
  return static_cast<TLMDPercent>(std::clamp(percent, 0, 100));
}

int PositionFromPercent(int percent, int extent, int min, int max) {
  long long position = static_cast<long long>(percent) * extent / 100;
  if (position < min) position = min;
  if (static_cast<long long>(extent) - max < position) position = static_cast<long long>(extent) - max;
  // Limits larger than the travel room must not put the bar outside it.
  return static_cast<int>(std::clamp<long long>(position, 0, std::max(extent, 0)));
}

TLMDSplitterOrientation EffectiveOrientation(TLMDSplitterOrientation orientation, int visiblePanes) {
  return orientation == spCross && visiblePanes < 4 ? spVertRight : orientation;
}

static bool IsHorz(TLMDSplitterOrientation o) { return o == spHorzDown || o == spHorzUp; }

bool BarIsHorizontal(TLMDSplitterOrientation orientation, int visiblePanes, int index, bool current) {
  if (visiblePanes < 2) return current;
  TLMDSplitterOrientation o = EffectiveOrientation(orientation, visiblePanes);
  bool first = IsHorz(o);
  if (index == 0) return first;
  if (index == 1 && visiblePanes >= 3) return !first;
  if (index == 2 && visiblePanes == 4 && o != spCross) return !first;
  return current;
}

char BarExtentSize(TLMDSplitterOrientation orientation, int visiblePanes, int index) {
  if (visiblePanes < 2 || index >= visiblePanes - 1) return 0;
  TLMDSplitterOrientation o = EffectiveOrientation(orientation, visiblePanes);
  if (o == spCross) return index == 0 ? 'W' : index == 1 ? 'H' : 0;
  char along = IsHorz(o) ? 'H' : 'W';
  char across = IsHorz(o) ? 'W' : 'H';
  return index == 0 ? along : across;
}

static SplitRect Box(int l, int t, int r, int b) { return SplitRect{l, t, std::max(l, r), std::max(t, b)}; }

std::array<SplitRect, 4> PanePlacement(TLMDSplitterOrientation orientation, int visiblePanes, const SplitRect& c,
                                       const BarMetrics& bars) {
  std::array<SplitRect, 4> p{};
  const int L = c.left, T = c.top, Rt = c.right, B = c.bottom;
  const int P0 = bars.position[0], W0 = bars.width[0];
  const int P1 = bars.position[1], W1 = bars.width[1];
  const int P2 = bars.position[2], W2 = bars.width[2];
  TLMDSplitterOrientation o = EffectiveOrientation(orientation, visiblePanes);
  switch (visiblePanes) {
    case 1:
      p[0] = c;
      break;
    case 2:
      if (IsHorz(o)) {
        p[0] = Box(L, T, Rt, T + P0);
        p[1] = Box(L, T + P0 + W0, Rt, B);
      } else {
        p[0] = Box(L, T, L + P0, B);
        p[1] = Box(L + P0 + W0, T, Rt, B);
      }
      break;
    case 3:
      switch (o) {
        case spHorzDown:
          p[0] = Box(L, T, Rt, T + P0);
          p[1] = Box(L + P1 + W1, T + P0 + W0, Rt, B);
          p[2] = Box(L, T + P0 + W0, L + P1, B);
          break;
        case spHorzUp:
          p[0] = Box(L, T, L + P1, T + P0);
          p[1] = Box(L + P1 + W1, T, Rt, T + P0);
          p[2] = Box(L, T + P0 + W0, Rt, B);
          break;
        case spVertLeft:
          p[0] = Box(L, T, L + P0, T + P1);
          p[1] = Box(L + P0 + W0, T, Rt, B);
          p[2] = Box(L, T + P1 + W1, L + P0, B);
          break;
        default:  // spVertRight
          p[0] = Box(L, T, L + P0, B);
          p[1] = Box(L + P0 + W0, T, Rt, T + P1);
          p[2] = Box(L + P0 + W0, T + P1 + W1, Rt, B);
          break;
      }
      break;
    case 4:
      if (IsHorz(o)) {
        p[0] = Box(L, T, L + P1, T + P0);
        p[1] = Box(L + P1 + W1, T, Rt, T + P0);
        p[2] = Box(L + P2 + W2, T + P0 + W0, Rt, B);
        p[3] = Box(L, T + P0 + W0, L + P2, B);
      } else if (o == spCross) {
        p[0] = Box(L, T, L + P0, T + P1);
        p[1] = Box(L + P0 + W0, T, Rt, T + P1);
        p[2] = Box(L + P0 + W0, T + P1 + W1, Rt, B);
        p[3] = Box(L, T + P1 + W1, L + P0, B);
      } else {
        p[0] = Box(L, T, L + P0, T + P1);
        p[1] = Box(L + P0 + W0, T, Rt, T + P2);
        p[2] = Box(L + P0 + W0, T + P2 + W2, Rt, B);
        p[3] = Box(L, T + P1 + W1, L + P0, B);
      }
      break;
    default:
      break;
  }
  return p;
}

// (left, top, width, height) as a rectangle.
static SplitRect Lthw(int l, int t, int w, int h) { return Box(l, t, l + w, t + h); }

SplitRect BarRectangle(TLMDSplitterOrientation orientation, int visiblePanes, int index, int I, int CW, int CH,
                       const BarMetrics& bars) {
  if (visiblePanes < 2 || index < 0 || index >= visiblePanes - 1 || index > 2) return SplitRect{};
  const int P0 = bars.position[0], W0 = bars.width[0];
  const int P1 = bars.position[1], W1 = bars.width[1];
  const int P2 = bars.position[2], W2 = bars.width[2];
  TLMDSplitterOrientation o = EffectiveOrientation(orientation, visiblePanes);
  const bool horz = IsHorz(o);
  if (index == 0) {
    if (horz) return Lthw(I, I + P0, CW - 2 * I, W0);
    return Lthw(I + P0, I, W0, CH - 2 * I);
  }
  if (o == spCross) return index == 1 ? Lthw(I, I + P1, CW - 2 * I, W1) : SplitRect{};
  if (visiblePanes == 3) {
    switch (o) {
      case spHorzDown:
        return Lthw(I + P1, I + P0 + W0, W1, CH - 2 * I - P0 - W0);
      case spHorzUp:
        return Lthw(I + P1, I, W1, P0);
      case spVertRight:
        return Lthw(I + P0 + W0, I + P1, CW - 2 * I - P0 - W0, W1);
      default:  // spVertLeft
        return Lthw(I, I + P1, P0, W1);
    }
  }
  if (horz) {
    if (index == 1) return Lthw(I + P1, I, W1, P0);
    return Lthw(I + P2, I + P0 + W0, W2, CH - 2 * I - P0 - W0);
  }
  if (index == 1) return Lthw(I, I + P1, P0, W1);
  return Lthw(I + P0 + W0, I + P2, CW - 2 * I - P0 - W0, W2);
}
