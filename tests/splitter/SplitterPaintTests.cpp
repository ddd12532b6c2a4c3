// What the panel paints, read back from its window: the plain bar, frame styles, transparent
// bars, the collapse button with its outline, highlight, hot checkerboard and arrows, and the
// empty panel as the form designer shows it.
#include "tests/splitter/SplitterTesting.h"
#include "tests/support/WindowTesting.h"

namespace {

COLORREF Rgb(TColor c) { return ColorToRGB(c); }

class PaintTest : public SplitterTest {
 protected:
  void SetUp() override {
    SplitterTest::SetUp();
    form_->Show();
    Build(186, 554, 2);
    panel_->SetOrientation(spHorzUp);
    PumpMessages();
  }
  // The bar's first row at 275 (3 pixels wide by default).
  int Top() { return Bar(0).Position(); }
};

TEST_F(PaintTest, PlainBarIsABandOfButtonFace) {
  ASSERT_EQ(Top(), 275);
  for (int x : {0, 40, 93, 185}) {
    for (int y = 275; y < 278; ++y) EXPECT_EQ(PanelPixel(x, y), Rgb(clBtnFace)) << x << "," << y;
    // The panes' sunken edges lie just outside the band.
    EXPECT_NE(PanelPixel(x, 274), Rgb(clBtnFace)) << x;
    EXPECT_NE(PanelPixel(x, 278), Rgb(clBtnFace)) << x;
  }
}

TEST_F(PaintTest, ColourChangeRepaintsTheBarAtOnce) {
  Bar(0).SetColor(clRed);
  // No message pumped: the setter painted the bar before returning.
  for (int y = 275; y < 278; ++y) {
    EXPECT_EQ(PanelPixel(0, y), Rgb(clRed));
    EXPECT_EQ(PanelPixel(185, y), Rgb(clRed));
  }
}

TEST_F(PaintTest, BorderStylesFrameTheFaceByTheirEdgeCalls) {
  // Rows of frame (not face colour) at the top and bottom of a 10-pixel bar, at its middle.
  struct Case {
    TLMDBorderStyle style;
    int top, bottom;
  } cases[] = {
      // lsSingle draws its lower edge without moving inwards: the face covers it again.
      {lsNone, 0, 0},         {lsSingle, 1, 0},        {lsLowered, 2, 2},       {lsRaised, 2, 2},
      {lsRaisedspb, 1, 2},    {lsLoweredspb, 2, 1},    {lsRaisedExt, 1, 2},     {lsLoweredExt, 2, 1},
      {lsFrameInset, 2, 2},   {lsFrameOffset, 2, 2},   {lsSingleRaised, 1, 1},  {lsSingleLowered, 1, 1},
      {lsDoubleRaised, 2, 2}, {lsDoubleLowered, 2, 2}, {lsWindowBorder, -1, 2},
  };
  Bar(0).SetColor(clRed);
  Bar(0).SetWidth(10);
  for (const Case& c : cases) {
    Bar(0).SetBorderStyle(c.style);
    int top = Top(), bottom = top + 9;
    int rowsTop = 0, rowsBottom = 0;
    while (rowsTop < 10 && PanelPixel(93, top + rowsTop) != Rgb(clRed)) ++rowsTop;
    while (rowsBottom < 10 && PanelPixel(93, bottom - rowsBottom) != Rgb(clRed)) ++rowsBottom;
    if (c.top >= 0) {
      EXPECT_EQ(rowsTop, c.top) << "style " << c.style;
    }
    EXPECT_EQ(rowsBottom, c.bottom) << "style " << c.style;
  }
  // lsWindowBorder leaves the first row alone and frames the second.
  EXPECT_NE(PanelPixel(93, Top() + 1), Rgb(clRed));
  EXPECT_EQ(PanelPixel(93, Top() + 2), Rgb(clRed));
}

TEST_F(PaintTest, TransparentBarShowsWhatIsBehindTheTransparentPanel) {
  form_->SetColor(clLime);
  Bar(0).SetColor(clRed);
  Bar(0).SetTransparent(true);
  EXPECT_EQ(PanelPixel(93, 276), Rgb(clRed));  // the panel itself is opaque
  panel_->SetTransparent(true);
  panel_->RefreshLayout();
  EXPECT_EQ(PanelPixel(93, 276), Rgb(clLime));
  EXPECT_EQ(PanelPixel(0, 275), Rgb(clLime));
  // Copying the form's background leaves what the form still has to paint pending.
  InvalidateRect(form_->Handle(), nullptr, FALSE);
  panel_->PaintBar(0);
  EXPECT_EQ(PanelPixel(93, 276), Rgb(clLime));
  EXPECT_TRUE(GetUpdateRect(form_->Handle(), nullptr, FALSE));
}

class ButtonTest : public PaintTest {
 protected:
  void SetUp() override {
    PaintTest::SetUp();
    Bar(0).SetWidth(10);
    Bar(0).SetResizeColor(clYellow);
    Bar(0).SetResizeButton(true);
  }
  bool Black(int x, int y) { return PanelPixel(x, y) == RGB(0, 0, 0); }
};

TEST_F(ButtonTest, ButtonIsCentredWithAGreyOutlineAndAWhiteHighlight) {
  int p = Top();
  // 50 pixels long, centred: left = 186 div 2 - 25.
  EXPECT_EQ(Bar(0).ButtonRect(), (RECT{68, p, 118, p + 10}));
  const COLORREF grey = RGB(128, 128, 128), white = RGB(255, 255, 255);
  EXPECT_EQ(PanelPixel(68, p + 5), grey);
  EXPECT_EQ(PanelPixel(117, p + 5), grey);
  EXPECT_EQ(PanelPixel(90, p), grey);
  EXPECT_EQ(PanelPixel(90, p + 9), grey);
  EXPECT_EQ(PanelPixel(69, p + 5), white);
  EXPECT_EQ(PanelPixel(90, p + 1), white);
  EXPECT_EQ(PanelPixel(70, p + 8), Rgb(clYellow));
  EXPECT_EQ(PanelPixel(71, p + 8), Rgb(clYellow));
  EXPECT_EQ(PanelPixel(60, p + 5), Rgb(clBtnFace));  // the bar outside the button
}

TEST_F(ButtonTest, HotButtonDarkensEveryOtherPixel) {
  int p = Top();
  Bar(0).SetButtonHot(true);
  EXPECT_NE(Black(70, p + 8), Black(71, p + 8));
  EXPECT_NE(Black(70, p + 8), Black(70, p + 7));
  EXPECT_EQ(Black(70, p + 8), Black(71, p + 7));
  // The grey outline is darkened the same way.
  EXPECT_NE(Black(68, p + 4), Black(68, p + 5));
  Bar(0).SetButtonHot(false);
  EXPECT_EQ(PanelPixel(70, p + 8), Rgb(clYellow));
  EXPECT_EQ(PanelPixel(71, p + 8), Rgb(clYellow));
}

TEST_F(ButtonTest, ArrowsPointTowardWhereTheNextClickMovesTheBar) {
  // The button shrunk by 3 starts at x 71 with spacing 4: an arrow with its base on one row
  // and its tip two rows away covers the base corner but not the corner on the tip's row.
  auto pointsUp = [this](int p) { return Black(71, p + 6) && !Black(71, p + 4); };
  auto pointsDown = [this](int p) { return Black(71, p + 4) && !Black(71, p + 6); };
  EXPECT_TRUE(pointsUp(Top()));  // sjUpLeft, not collapsed: toward the origin
  Bar(0).ToggleCollapse();
  EXPECT_TRUE(pointsDown(Top()));
  Bar(0).ToggleCollapse();
  Bar(0).SetResizeDirection(sjDnRight);
  EXPECT_TRUE(pointsDown(Top()));
  // The far end has its arrow too.
  EXPECT_TRUE(Black(111, Top() + 4));
}

TEST_F(ButtonTest, GripSquaresRunAlongTheCentreLine) {
  int y = Top() + 5;
  const COLORREF white = RGB(255, 255, 255), shadow = Rgb(clBtnShadow);
  for (int x = 79; x < 111; x += 4) {
    EXPECT_EQ(PanelPixel(x, y), white) << x;
    EXPECT_EQ(PanelPixel(x + 1, y), shadow) << x;
    EXPECT_EQ(PanelPixel(x + 1, y + 1), shadow) << x;
  }
}

TEST_F(SplitterTest, ButtonOnAShortBarIsClippedToTheBar) {
  form_->Show();
  Build(300, 40, 2);  // vertical bar 40 pixels long
  Bar(0).SetWidth(8);
  Bar(0).SetResizeButton(true);
  RECT bar = panel_->BarRect(0);
  EXPECT_EQ(bar, (RECT{146, 0, 154, 40}));
  EXPECT_EQ(Bar(0).ButtonRect(), bar);
  EXPECT_EQ(PanelPixel(150, 0), RGB(128, 128, 128));
  EXPECT_EQ(PanelPixel(150, 39), RGB(128, 128, 128));
}

TEST(EmptyPanelPaint, OnlyTheDesignerSeesADashedOutlineAndTheHint) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 400, 200);
  auto* panel = new TDesignedSplitterPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 300, 100);
  form->Show();
  auto paintedPixels = [panel](int left, int top, int right, int bottom) {
    UpdateWindow(panel->Handle());
    HDC dc = GetDC(panel->Handle());
    int count = 0;
    COLORREF face = ColorToRGB(clBtnFace);
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) count += GetPixel(dc, x, y) != face;
    ReleaseDC(panel->Handle(), dc);
    return count;
  };
  PumpMessages();
  // At run time an empty panel is plain background.
  EXPECT_EQ(paintedPixels(0, 0, 300, 100), 0);

  panel->SetDesigning(true);
  panel->Invalidate();
  PumpMessages();
  // The text starts at (5, 5): ink in its first line, none above or left of it inside the frame.
  EXPECT_GT(paintedPixels(5, 5, 250, 20), 50);
  EXPECT_EQ(paintedPixels(1, 1, 299, 5), 0);
  EXPECT_EQ(paintedPixels(1, 1, 5, 99), 0);
  EXPECT_EQ(paintedPixels(1, 25, 299, 99), 0);
  // The outline is dashed: the top row has both ink and gaps.
  int ink = paintedPixels(0, 0, 300, 1);
  EXPECT_GT(ink, 50);
  EXPECT_LT(ink, 300);
  TObject::Free(form);
}

}  // namespace
