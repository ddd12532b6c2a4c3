// The layout arithmetic on its own: rounding, clamps, directions, extents and both tables.
#include <gtest/gtest.h>

#include "tests/splitter/LayoutTable.h"
#include "splitter/SplitterGeometry.h"

namespace {

TEST(SplitterGeometry, PercentagesRoundHalvesToEvenAndStayWithinRange) {
  struct Case {
    int position, extent, percent;
  } cases[] = {
      {100, 551, 18},                                    // 18.148...
      {1, 8, 12},                                        // 12.5
      {3, 8, 38},                                        // 37.5
      {5, 8, 62},                                        // 62.5
      {7, 8, 88},                                        // 87.5
      {315, 551, 57},                                    // the dragged explorer bar
      {551, 551, 100},      {0, 551, 0}, {-40, 551, 0},  // left of the origin
      {900, 551, 100},                                   // past the far end
      {2147483647, 8, 100},                              // a stored huge position: beyond what an int holds once scaled
      {-2147483647, 8, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(PercentOf(c.position, c.extent), c.percent) << c.position << " of " << c.extent;
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundHalfEven(1e12), 2147483647);
  EXPECT_EQ(RoundHalfEven(-1e12), -2147483647 - 1);
}

TEST(SplitterGeometry, PositionsTruncateTheUpperClampWinsAndTheTravelRoomBoundsThem) {
  struct Case {
    int percent, extent, min, max, position;
  } cases[] = {
      {50, 551, 0, 0, 275},  // 275.5 truncated
      {50, 597, 0, 0, 298},  // the explorer window made 600 high
      {18, 551, 0, 0, 99},      {57, 551, 0, 0, 314},
      {50, 551, 300, 300, 251},  // Min raises to 300, then Extent - Max lowers to 251
      {0, 551, 20, 0, 20},      {100, 551, 0, 30, 521},
      {50, 551, 0, 600, 0},  // Max beyond the travel room: the bar stays inside it
      {0, 551, -20, 0, 0},      {100, 551, 0, -20, 551},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PositionFromPercent(c.percent, c.extent, c.min, c.max), c.position) << c.percent << "% of " << c.extent;
}

TEST(SplitterGeometry, BarDirectionsFollowOrientationAndPaneCount) {
  // Bar 0 lies across the first split; bars 1 and 2 the other way, except bar 2 of a crossing.
  EXPECT_TRUE(BarIsHorizontal(spHorzUp, 2, 0, false));
  EXPECT_TRUE(BarIsHorizontal(spHorzDown, 2, 0, false));
  EXPECT_FALSE(BarIsHorizontal(spVertRight, 2, 0, true));
  EXPECT_FALSE(BarIsHorizontal(spHorzUp, 3, 1, true));
  EXPECT_TRUE(BarIsHorizontal(spVertLeft, 3, 1, false));
  EXPECT_FALSE(BarIsHorizontal(spHorzDown, 4, 2, true));
  EXPECT_TRUE(BarIsHorizontal(spVertRight, 4, 2, false));
  EXPECT_FALSE(BarIsHorizontal(spCross, 4, 0, true));
  EXPECT_TRUE(BarIsHorizontal(spCross, 4, 1, false));
  // Left alone: bar 2 of a crossing, bar 1 with two panes, anything below two panes.
  EXPECT_TRUE(BarIsHorizontal(spCross, 4, 2, true));
  EXPECT_FALSE(BarIsHorizontal(spCross, 4, 2, false));
  EXPECT_TRUE(BarIsHorizontal(spVertRight, 2, 1, true));
  EXPECT_FALSE(BarIsHorizontal(spHorzUp, 1, 0, false));
}

TEST(SplitterGeometry, ExtentsTable) {
  struct Case {
    TLMDSplitterOrientation orientation;
    int panes;
    const char* sizes;  // per bar 0..2: H, W or '-' for none
  } cases[] = {
      {spHorzDown, 2, "H--"}, {spHorzUp, 2, "H--"},   {spVertRight, 2, "W--"}, {spVertLeft, 2, "W--"},
      {spHorzDown, 3, "HW-"}, {spVertLeft, 3, "WH-"}, {spHorzUp, 4, "HWW"},    {spVertRight, 4, "WHH"},
      {spCross, 4, "WH-"},    {spHorzUp, 1, "---"},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 3; ++i) {
      char expected = c.sizes[i] == '-' ? 0 : c.sizes[i];
      EXPECT_EQ(BarExtentSize(c.orientation, c.panes, i), expected) << c.orientation << "/" << c.panes << " bar " << i;
    }
  }
}

TEST(SplitterGeometry, CrossWithFewerThanFourPanesLaysOutAsVertRight) {
  EXPECT_EQ(EffectiveOrientation(spCross, 3), spVertRight);
  EXPECT_EQ(EffectiveOrientation(spCross, 4), spCross);
  EXPECT_EQ(BarExtentSize(spCross, 3, 1), 'H');
  BarMetrics bars{{200, 75, 0}, {3, 3, 3}};
  SplitRect content{0, 0, 403, 303};
  EXPECT_EQ(PanePlacement(spCross, 3, content, bars), PanePlacement(spVertRight, 3, content, bars));
  EXPECT_EQ(BarRectangle(spCross, 2, 0, 0, 403, 303, bars), (SplitRect{200, 0, 203, 303}));
}

BarMetrics MetricsFor(const LayoutRow& row) {
  bool firstHorizontal = row.orientation == spHorzDown || row.orientation == spHorzUp;
  BarMetrics m;
  for (int k = 0; k < 3; ++k) {
    bool horizontal = k == 0 ? firstHorizontal : !firstHorizontal;
    int extent = (horizontal ? kLayoutHeight : kLayoutWidth) - 3;
    m.position[static_cast<std::size_t>(k)] = kLayoutPercents[k] * extent / 100;
    m.width[static_cast<std::size_t>(k)] = 3;
  }
  return m;
}

TEST(SplitterGeometry, PlacementAndBarTablesRowByRow) {
  for (const LayoutRow& row : kLayoutRows) {
    SCOPED_TRACE(row.name);
    BarMetrics m = MetricsFor(row);
    auto panes = PanePlacement(row.orientation, row.panes, SplitRect{0, 0, kLayoutWidth, kLayoutHeight}, m);
    for (int n = 0; n < row.panes; ++n)
      EXPECT_EQ(panes[static_cast<std::size_t>(n)], row.paneRects[static_cast<std::size_t>(n)]) << "pane " << n;
    for (int i = 0; i < 3; ++i) {
      SplitRect bar = BarRectangle(row.orientation, row.panes, i, 0, kLayoutWidth, kLayoutHeight, m);
      SplitRect expected = row.barRects[static_cast<std::size_t>(i)];
      if (expected.empty()) {
        EXPECT_TRUE(bar.empty()) << "bar " << i;
      } else {
        EXPECT_EQ(bar, expected) << "bar " << i;
      }
    }
  }
}

TEST(SplitterGeometry, FrameInsetShiftsBarsAndShrinksTheirSpan) {
  BarMetrics m{{150, 0, 0}, {3, 0, 0}};
  EXPECT_EQ(BarRectangle(spHorzUp, 2, 0, 4, 411, 311, m), (SplitRect{4, 154, 407, 157}));
  EXPECT_EQ(BarRectangle(spVertRight, 2, 0, 4, 411, 311, m), (SplitRect{154, 4, 157, 307}));
  auto panes = PanePlacement(spHorzUp, 2, SplitRect{4, 4, 407, 307}, m);
  EXPECT_EQ(panes[0], (SplitRect{4, 4, 407, 154}));
  EXPECT_EQ(panes[1], (SplitRect{4, 157, 407, 307}));
}

}  // namespace
