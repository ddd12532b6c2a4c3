// The expected layout of a 403 x 303 panel without frame whose bars stand at 50, 25 and 75 %
// (3 pixels wide): worked out by hand from the placement and bar tables, one row per table row.
#pragma once

#include <array>

#include "splitter/SplitterGeometry.h"

struct LayoutRow {
  const char* name;
  TLMDSplitterOrientation orientation;
  int panes;
  std::array<SplitRect, 4> paneRects;  // (left, top, right, bottom)
  std::array<SplitRect, 3> barRects;   // (left, top, right, bottom); empty where there is none
};

constexpr int kLayoutWidth = 403;
constexpr int kLayoutHeight = 303;
constexpr int kLayoutPercents[3] = {50, 25, 75};

// Horizontal first bar: P0 = 150 (of 300), P1 = 100 and P2 = 300 (of 400).
// Vertical first bar: P0 = 200 (of 400), P1 = 75 and P2 = 225 (of 300).
inline const LayoutRow kLayoutRows[] = {
    {"one pane", spHorzUp, 1, {{{0, 0, 403, 303}}}, {}},
    {"two panes, HorzDown", spHorzDown, 2, {{{0, 0, 403, 150}, {0, 153, 403, 303}}}, {{{0, 150, 403, 153}}}},
    {"two panes, HorzUp", spHorzUp, 2, {{{0, 0, 403, 150}, {0, 153, 403, 303}}}, {{{0, 150, 403, 153}}}},
    {"two panes, VertRight", spVertRight, 2, {{{0, 0, 200, 303}, {203, 0, 403, 303}}}, {{{200, 0, 203, 303}}}},
    {"two panes, VertLeft", spVertLeft, 2, {{{0, 0, 200, 303}, {203, 0, 403, 303}}}, {{{200, 0, 203, 303}}}},
    {"three panes, HorzDown",
     spHorzDown,
     3,
     {{{0, 0, 403, 150}, {103, 153, 403, 303}, {0, 153, 100, 303}}},
     {{{0, 150, 403, 153}, {100, 153, 103, 303}}}},
    {"three panes, HorzUp",
     spHorzUp,
     3,
     {{{0, 0, 100, 150}, {103, 0, 403, 150}, {0, 153, 403, 303}}},
     {{{0, 150, 403, 153}, {100, 0, 103, 150}}}},
    {"three panes, VertRight",
     spVertRight,
     3,
     {{{0, 0, 200, 303}, {203, 0, 403, 75}, {203, 78, 403, 303}}},
     {{{200, 0, 203, 303}, {203, 75, 403, 78}}}},
    {"three panes, VertLeft",
     spVertLeft,
     3,
     {{{0, 0, 200, 75}, {203, 0, 403, 303}, {0, 78, 200, 303}}},
     {{{200, 0, 203, 303}, {0, 75, 200, 78}}}},
    {"four panes, HorzDown",
     spHorzDown,
     4,
     {{{0, 0, 100, 150}, {103, 0, 403, 150}, {303, 153, 403, 303}, {0, 153, 300, 303}}},
     {{{0, 150, 403, 153}, {100, 0, 103, 150}, {300, 153, 303, 303}}}},
    {"four panes, HorzUp",
     spHorzUp,
     4,
     {{{0, 0, 100, 150}, {103, 0, 403, 150}, {303, 153, 403, 303}, {0, 153, 300, 303}}},
     {{{0, 150, 403, 153}, {100, 0, 103, 150}, {300, 153, 303, 303}}}},
    {"four panes, VertRight",
     spVertRight,
     4,
     {{{0, 0, 200, 75}, {203, 0, 403, 225}, {203, 228, 403, 303}, {0, 78, 200, 303}}},
     {{{200, 0, 203, 303}, {0, 75, 200, 78}, {203, 225, 403, 228}}}},
    {"four panes, VertLeft",
     spVertLeft,
     4,
     {{{0, 0, 200, 75}, {203, 0, 403, 225}, {203, 228, 403, 303}, {0, 78, 200, 303}}},
     {{{200, 0, 203, 303}, {0, 75, 200, 78}, {203, 225, 403, 228}}}},
    {"four panes, Cross",
     spCross,
     4,
     {{{0, 0, 200, 75}, {203, 0, 403, 75}, {203, 78, 403, 303}, {0, 78, 200, 303}}},
     {{{200, 0, 203, 303}, {0, 75, 403, 78}, {}}}},
};
