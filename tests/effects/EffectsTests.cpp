// The effects library: bevel widths by mode, the frame drawn on a rectangle, change notices,
// and the scroll box's frame (platform styles or a bevel in the non-client area).
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "effects/LMDBevel.h"
#include "effects/LMDCustomControl.h"
#include "effects/LMDScrollBox.h"

namespace {

TEST(Bevel, InsetAddsTheWidthsOfTheDrawnParts) {
  struct Case {
    TLMDBevelMode mode;
    TBevelCut outer, inner;
    int widthOuter, widthInner, border, inset;
  } cases[] = {
      {bmCustom, bvNone, bvNone, 1, 1, 0, 0},  // the explorer panel's frame
      {bmCustom, bvRaised, bvNone, 2, 1, 0, 2},
      {bmCustom, bvRaised, bvLowered, 2, 3, 0, 5},
      {bmCustom, bvNone, bvLowered, 2, 3, 4, 7},
      {bmWindows, bvRaised, bvLowered, 2, 3, 4, 0},  // the platform draws the frame
  };
  for (const Case& c : cases) {
    TLMDBevel bevel(c.mode);
    bevel.SetStyleOuter(c.outer);
    bevel.SetStyleInner(c.inner);
    bevel.SetWidthOuter(c.widthOuter);
    bevel.SetWidthInner(c.widthInner);
    bevel.SetBorderWidth(c.border);
    EXPECT_EQ(bevel.Inset(), c.inset);
    EXPECT_EQ(bevel.DrawsFrame(), c.inset > 0);
  }
}

TEST(Bevel, ChangeNoticesOnlyForRealChangesAndOnAssign) {
  TLMDBevel bevel;
  int notices = 0;
  bevel.OnChange = [&](TObject*) { ++notices; };
  bevel.SetBorderWidth(0);
  bevel.SetMode(bmCustom);
  EXPECT_EQ(notices, 0);
  bevel.SetBorderWidth(3);
  bevel.SetStyleOuter(bvRaised);
  EXPECT_EQ(notices, 2);
  TLMDBevel other(bmWindows);
  bevel.Assign(other);
  EXPECT_EQ(notices, 3);
  EXPECT_EQ(bevel.Mode(), bmWindows);
  EXPECT_EQ(bevel.Inset(), 0);
}

TEST(Bevel, PaintsItsFrameAndReturnsTheInside) {
  TBitmap bitmap;
  bitmap.SetSize(20, 20);
  HDC dc = bitmap.Canvas().Handle();
  RECT all{0, 0, 20, 20};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  DeleteObject(red);
  TLMDBevel bevel;
  bevel.SetStyleOuter(bvRaised);
  bevel.SetWidthOuter(2);
  bevel.SetBorderWidth(1);
  RECT inside = bevel.PaintBevel(dc, all);
  EXPECT_EQ(inside.left, 3);
  EXPECT_EQ(inside.bottom, 17);
  EXPECT_EQ(GetPixel(dc, 0, 10), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(GetPixel(dc, 19, 10), ColorToRGB(clBtnShadow));
  EXPECT_EQ(GetPixel(dc, 2, 10), ColorToRGB(clBtnFace));  // the border ring
  EXPECT_EQ(GetPixel(dc, 3, 10), RGB(255, 0, 0));
}

class ScrollBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = new TForm(Application);
    form_->SetBounds(0, 0, 300, 300);
    form_->HandleNeeded();
    box_ = new TLMDScrollBox(form_);
    box_->SetParent(form_);
    box_->SetBounds(0, 0, 186, 275);
  }
  void TearDown() override { TObject::Free(form_); }
  RECT Client() {
    RECT r;
    GetClientRect(box_->Handle(), &r);
    return r;
  }
  TForm* form_ = nullptr;
  TLMDScrollBox* box_ = nullptr;
};

TEST_F(ScrollBoxTest, WindowsModeUsesASunkenClientEdgeUnder3DAndABorderOtherwise) {
  EXPECT_EQ(box_->Bevel().Mode(), bmWindows);
  LONG style = GetWindowLongA(box_->Handle(), GWL_STYLE);
  EXPECT_TRUE(GetWindowLongA(box_->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_EQ(Client().right, 182);
  EXPECT_EQ(Client().bottom, 271);
  UINT classStyle = GetClassLongA(box_->Handle(), GCL_STYLE);
  EXPECT_EQ(classStyle & (CS_HREDRAW | CS_VREDRAW), 0u);
  box_->SetCtl3D(false);
  EXPECT_FALSE(GetWindowLongA(box_->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(GetWindowLongA(box_->Handle(), GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(Client().right, 184);
  EXPECT_EQ(Client().bottom, 273);
}

TEST_F(ScrollBoxTest, CustomBevelShrinksTheClientAreaByItsWidth) {
  box_->Bevel().SetMode(bmCustom);
  box_->Bevel().SetStyleOuter(bvLowered);
  box_->Bevel().SetWidthOuter(3);
  EXPECT_FALSE(GetWindowLongA(box_->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_EQ(Client().right, 180);
  EXPECT_EQ(Client().bottom, 269);
}

TEST(BevelPanel, BevelInsetsAlignedChildren) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 300);
  auto* panel = new TLMDCustomBevelPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 100, 80);
  auto* child = new TLMDCustomPanel(form);
  child->SetParent(panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->Width(), 100);
  panel->Bevel().SetBorderWidth(5);
  EXPECT_EQ(child->Left(), 5);
  EXPECT_EQ(child->Width(), 90);
  EXPECT_EQ(child->Height(), 70);
  EXPECT_FALSE(panel->Transparent());
  EXPECT_DOUBLE_EQ(panel->BackFX().AlphaBlend().Strength(), 1.0);
  TObject::Free(form);
}

}  // namespace
