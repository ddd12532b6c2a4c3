// The splitter panel with real pane windows: the stored explorer panel, every placement row,
// the worked examples of positions and percentages, pane visibility, refusals and teardown.
#include <cmath>

#include "tests/splitter/LayoutTable.h"
#include "tests/splitter/SplitterTesting.h"
#include "framework/Streaming.h"

namespace {

RECT AsRect(const SplitRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

class TTestForm : public TForm {
 public:
  TTestForm(TComponent* owner, const std::string& resource) : TForm(owner) { LoadDescription(resource); }
  std::string ClassName() const override { return "TTestForm"; }
};

class ExplorerPanelTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterSplitterClasses(); }
  void SetUp() override {
    form_ = new TTestForm(Application, "TESTEXPLORER");
    form_->HandleNeeded();
    panel_ = dynamic_cast<TLMDSplitterPanel*>(form_->FindComponent("LMDSplitterPanel1"));
    pane1_ = dynamic_cast<TLMDSplitterPane*>(form_->FindComponent("LMDSplitterPane1"));
    pane2_ = dynamic_cast<TLMDSplitterPane*>(form_->FindComponent("LMDSplitterPane2"));
    ASSERT_NE(panel_, nullptr);
    ASSERT_NE(pane1_, nullptr);
    ASSERT_NE(pane2_, nullptr);
  }
  void TearDown() override { TObject::Free(form_); }
  RECT PaneWindowRect(TLMDSplitterPane* pane) {
    RECT r;
    GetWindowRect(pane->Handle(), &r);
    MapWindowPoints(HWND_DESKTOP, panel_->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  TTestForm* form_ = nullptr;
  TLMDSplitterPanel* panel_ = nullptr;
  TLMDSplitterPane* pane1_ = nullptr;
  TLMDSplitterPane* pane2_ = nullptr;
};

TEST_F(ExplorerPanelTest, StoredPanelPlacesTheBarAtHalfItsTravelRoom) {
  EXPECT_EQ(panel_->Orientation(), spHorzUp);
  EXPECT_EQ(panel_->Bevel().Mode(), bmCustom);
  EXPECT_EQ(panel_->Inset(), 0);
  EXPECT_NEAR(panel_->BackFX().AlphaBlend().Strength(), 0.6, 1e-12);
  ASSERT_EQ(panel_->PaneCount(), 2);
  EXPECT_EQ(panel_->PaneAt(0), pane1_);
  EXPECT_EQ(panel_->PaneAt(1), pane2_);
  EXPECT_EQ(pane2_->PaneIndex(), 1);
  EXPECT_EQ(pane1_->Splitter(), panel_);
  // The stored bar was read before the panes arrived: no second bar was made.
  ASSERT_EQ(panel_->Bars().Count(), 1);
  TLMDSplitterBarItem& bar = *panel_->Bars().Items(0);
  EXPECT_TRUE(bar.IsHorizontal());
  EXPECT_EQ(bar.Extent(), 551);
  EXPECT_EQ(bar.PosPercent(), 50);
  EXPECT_EQ(bar.Position(), 275);
  EXPECT_EQ(bar.OldPosition(), -1);
  EXPECT_EQ(PaneWindowRect(pane1_), (RECT{0, 0, 186, 275}));
  EXPECT_EQ(PaneWindowRect(pane2_), (RECT{0, 278, 186, 554}));
  EXPECT_EQ(panel_->BarRect(0), (RECT{0, 275, 186, 278}));
  // Each pane's sunken client edge takes 2 pixels a side: the lists get 182 x 271 and 182 x 272.
  RECT client;
  GetClientRect(pane1_->Handle(), &client);
  EXPECT_EQ(client, (RECT{0, 0, 182, 271}));
  GetClientRect(pane2_->Handle(), &client);
  EXPECT_EQ(client, (RECT{0, 0, 182, 272}));
  EXPECT_TRUE(GetWindowLongA(pane1_->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(ExplorerPanelTest, ResizedPanelKeepsTheBarAtItsPercentage) {
  // Placed once per resize, where it ends up, and the lists are not erased under them.
  std::vector<int> heights;
  pane2_->OnResize = [&](TObject*) { heights.push_back(pane2_->Height()); };
  EXPECT_TRUE(GetWindowLongA(panel_->Handle(), GWL_STYLE) & WS_CLIPCHILDREN);
  panel_->SetHeight(600);
  EXPECT_EQ(heights, std::vector<int>{299});
  EXPECT_EQ(panel_->Bars().Items(0)->Extent(), 597);
  EXPECT_EQ(panel_->Bars().Items(0)->Position(), 298);
  EXPECT_EQ(PaneWindowRect(pane2_), (RECT{0, 301, 186, 600}));
  panel_->SetHeight(554);
  EXPECT_EQ(panel_->Bars().Items(0)->Position(), 275);
}

// ---- every row of the placement and bar tables, on real pane windows

class LayoutRowTest : public SplitterTest {};

TEST_F(LayoutRowTest, EveryPlacementAndBarRowMatchesThePaneWindows) {
  for (const LayoutRow& row : kLayoutRows) {
    SCOPED_TRACE(row.name);
    TearDown();
    panes_.clear();
    SetUp();
    Build(kLayoutWidth, kLayoutHeight, row.panes);
    for (int i = 0; i < row.panes - 1; ++i) Bar(i).SetPosPercent(kLayoutPercents[i]);
    panel_->SetOrientation(row.orientation);
    ASSERT_EQ(panel_->Orientation(), row.orientation);
    EXPECT_EQ(panel_->BarCount(), row.panes - 1);
    for (int n = 0; n < row.panes; ++n)
      EXPECT_EQ(PaneWindowRect(panel_->VisiblePane(n)), AsRect(row.paneRects[static_cast<std::size_t>(n)]))
          << "pane " << n;
    for (int i = 0; i < 3; ++i) {
      RECT bar = panel_->BarRect(i);
      if (row.barRects[static_cast<std::size_t>(i)].empty()) {
        EXPECT_TRUE(IsRectEmpty(&bar)) << "bar " << i;
      } else {
        EXPECT_EQ(bar, AsRect(row.barRects[static_cast<std::size_t>(i)])) << "bar " << i;
      }
    }
  }
}

TEST_F(LayoutRowTest, ThreePanesHorzDownPutPaneOneLowerRightAndPaneTwoLowerLeft) {
  Build(kLayoutWidth, kLayoutHeight, 3);
  panel_->SetOrientation(spHorzDown);
  RECT lower1 = PaneWindowRect(panes_[1]), lower2 = PaneWindowRect(panes_[2]);
  EXPECT_GT(lower1.left, lower2.left);
  EXPECT_EQ(lower1.top, lower2.top);
  EXPECT_EQ(lower1.right, kLayoutWidth);
  EXPECT_EQ(lower2.left, 0);
}

TEST_F(LayoutRowTest, FrameInsetsPanesAndBars) {
  Build(kLayoutWidth + 8, kLayoutHeight + 8, 2);
  panel_->SetOrientation(spHorzUp);
  panel_->Bevel().SetBorderWidth(4);
  EXPECT_EQ(panel_->Inset(), 4);
  EXPECT_EQ(Bar(0).Extent(), 300);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{4, 4, 407, 154}));
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{4, 157, 407, 307}));
  EXPECT_EQ(panel_->BarRect(0), (RECT{4, 154, 407, 157}));
}

// ---- positions and percentages

class BarTest : public SplitterTest {
 protected:
  void SetUp() override {
    SplitterTest::SetUp();
    Build(186, 554, 2);
    panel_->SetOrientation(spHorzUp);
    Bar(0).OnChange = [this](TObject*) { ++changes_; };
  }
  int changes_ = 0;
};

TEST_F(BarTest, PositionInPixelsSnapsToAWholePercentage) {
  ASSERT_EQ(Bar(0).Extent(), 551);
  Bar(0).SetPosition(100);
  EXPECT_EQ(Bar(0).PosPercent(), 18);
  EXPECT_EQ(Bar(0).Position(), 99);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 99}));
}

TEST_F(BarTest, HalvesRoundToEvenOnATinyPanel) {
  panel_->SetHeight(11);
  ASSERT_EQ(Bar(0).Extent(), 8);
  Bar(0).SetPosition(1);
  EXPECT_EQ(Bar(0).PosPercent(), 12);
  Bar(0).SetPosition(3);
  EXPECT_EQ(Bar(0).PosPercent(), 38);
  EXPECT_EQ(Bar(0).Position(), 3);
}

TEST_F(BarTest, UpperClampWinsOverMin) {
  Bar(0).SetMin(300);
  Bar(0).SetMax(300);
  EXPECT_EQ(Bar(0).Position(), 251);
  EXPECT_EQ(PaneWindowRect(panes_[1]).top, 254);
}

TEST_F(BarTest, PositionOutsideTheTravelRoomEndsAtItsEnd) {
  Bar(0).SetPosition(-50);
  EXPECT_EQ(Bar(0).PosPercent(), 0);
  EXPECT_EQ(Bar(0).Position(), 0);
  for (int beyond : {5000, 2147483647}) {
    Bar(0).SetPosition(beyond);
    EXPECT_EQ(Bar(0).PosPercent(), 100) << beyond;
    EXPECT_EQ(Bar(0).Position(), 551) << beyond;
  }
  Bar(0).SetMax(600);  // a margin wider than the room
  EXPECT_EQ(Bar(0).Position(), 0);
  EXPECT_EQ(PaneWindowRect(panes_[1]).top, 3);
  Bar(0).SetMax(0);
  Bar(0).SetPosPercent(250);
  EXPECT_EQ(Bar(0).PosPercent(), 100);
}

class PaneTest : public SplitterTest {};

TEST_F(PaneTest, BarsMadeBeforeThePanesLieAsThePanesCameToHaveThem) {
  panel_->SetBounds(0, 0, 300, 300);
  panel_->Bars().Add();
  panel_->Bars().Add();
  panel_->SetOrientation(spHorzUp);
  for (int i = 0; i < 3; ++i) AddPane();
  ASSERT_EQ(panel_->Bars().Count(), 2);
  EXPECT_TRUE(Bar(0).IsHorizontal());
  EXPECT_FALSE(Bar(1).IsHorizontal());
  EXPECT_EQ(panel_->BarRect(0), (RECT{0, 148, 300, 151}));
}

TEST_F(BarTest, SamePositionFiresNoChangeButStillRefreshes) {
  int position = Bar(0).Position();
  panes_[0]->SetBounds(10, 10, 50, 50);  // out of place until the next refresh
  Bar(0).SetPosition(position);
  EXPECT_EQ(changes_, 0);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 275}));
}

TEST_F(BarTest, ChangeReportsWaitForTheEndOfAnUpdateBracket) {
  panel_->Bars().BeginUpdate();
  Bar(0).SetPosPercent(20);
  EXPECT_EQ(changes_, 1);  // the event is the bar's own, not a report
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 275}));
  panel_->Bars().EndUpdate();
  EXPECT_EQ(Bar(0).Position(), 110);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 110}));
}

TEST_F(BarTest, ToggleCollapseThereAndBack) {
  Bar(0).SetResizeButton(true);
  Bar(0).SetResizeDirection(sjDnRight);
  Bar(0).SetMax(10);
  Bar(0).ToggleCollapse();
  EXPECT_EQ(Bar(0).Position(), 541);
  EXPECT_EQ(Bar(0).PosPercent(), 100);
  EXPECT_EQ(Bar(0).OldPosition(), 275);
  Bar(0).ToggleCollapse();
  EXPECT_EQ(Bar(0).OldPosition(), -1);
  EXPECT_EQ(Bar(0).PosPercent(), 50);
  EXPECT_EQ(Bar(0).Position(), 275);
  EXPECT_EQ(changes_, 2);

  Bar(0).SetResizeDirection(sjUpLeft);
  Bar(0).SetMin(20);
  Bar(0).ToggleCollapse();
  EXPECT_EQ(Bar(0).Position(), 20);
  EXPECT_EQ(Bar(0).OldPosition(), 275);
}

TEST_F(BarTest, CopyingABarTakesOnlyItsPlaceAndLook) {
  Bar(0).SetColor(clRed);
  Bar(0).SetMin(7);
  Bar(0).SetResizeButton(true);
  Bar(0).SetOldPosition(12);
  TLMDSplitterBarItems other(nullptr);
  TLMDSplitterBarItem* copy = other.Add();
  copy->Assign(Bar(0));
  EXPECT_EQ(copy->Position(), 275);
  EXPECT_EQ(copy->Extent(), 551);
  EXPECT_TRUE(copy->IsHorizontal());
  EXPECT_EQ(copy->Color(), clRed);
  EXPECT_EQ(copy->Min(), 7);
  EXPECT_FALSE(copy->ResizeButton());
  EXPECT_EQ(copy->OldPosition(), -1);
}

// ---- panes: visibility, crossing, refusals, teardown

TEST_F(SplitterTest, HidingOneOfTwoPanesLetsTheOtherFillThePanel) {
  Build(186, 554, 2);
  panel_->SetOrientation(spHorzUp);
  panes_[0]->Hide();
  EXPECT_EQ(panel_->VisiblePaneCount(), 1);
  EXPECT_EQ(panel_->BarCount(), 0);
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 0, 186, 554}));
  RECT none = panel_->BarRect(0);
  EXPECT_TRUE(IsRectEmpty(&none));
  panes_[0]->Show();
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 275}));
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 278, 186, 554}));
}

TEST_F(SplitterTest, AlignGivenToAPaneInCodeIsIgnored) {
  Build(186, 554, 2);
  panel_->SetOrientation(spHorzUp);
  panes_[0]->SetAlign(alLeft);
  static_cast<TControl*>(panes_[1])->SetAlign(alTop);  // past the pane, through its base class
  panel_->RefreshLayout();
  for (TLMDSplitterPane* pane : panes_) EXPECT_EQ(pane->Align(), alNone);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 275}));
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 278, 186, 554}));
}

TEST_F(SplitterTest, CrossNeedsFourPanesAndFallsBackWhenOneIsHidden) {
  Build(kLayoutWidth, kLayoutHeight, 2);
  panel_->SetOrientation(spCross);
  EXPECT_EQ(panel_->Orientation(), spVertRight);
  AddPane();
  AddPane();
  panel_->SetOrientation(spCross);
  ASSERT_EQ(panel_->Orientation(), spCross);
  EXPECT_EQ(panel_->BarRect(0), (RECT{200, 0, 203, 303}));
  EXPECT_EQ(panel_->BarRect(1), (RECT{0, 150, 403, 153}));
  EXPECT_FALSE(Bar(0).IsHorizontal());
  EXPECT_TRUE(Bar(1).IsHorizontal());
  panes_[2]->Hide();
  EXPECT_EQ(panel_->Orientation(), spVertRight);
  EXPECT_EQ(panel_->VisiblePane(2), panes_[3]);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 200, 303}));
  EXPECT_EQ(PaneWindowRect(panes_[3]), (RECT{203, 153, 403, 303}));
}

TEST_F(SplitterTest, FifthPaneIsRefusedButStaysAChildWindow) {
  Build(kLayoutWidth, kLayoutHeight, 4);
  ASSERT_EQ(panel_->Bars().Count(), 3);
  auto* fifth = new TLMDSplitterPane(form_);
  fifth->SetBounds(7, 8, 30, 20);
  fifth->SetSplitter(panel_);
  EXPECT_EQ(panel_->PaneCount(), 4);
  EXPECT_EQ(panel_->AddPane(fifth), -1);
  EXPECT_EQ(fifth->Parent(), panel_);
  EXPECT_EQ(fifth->Splitter(), nullptr);
  EXPECT_EQ(fifth->PaneIndex(), -1);
  EXPECT_EQ(panel_->Bars().Count(), 3);
  EXPECT_EQ(PaneWindowRect(fifth), (RECT{7, 8, 37, 28}));
}

TEST_F(SplitterTest, FreedPaneDetachesAndTheOthersAreRenumbered) {
  Build(kLayoutWidth, kLayoutHeight, 3);
  panel_->SetOrientation(spCross);  // refused with three panes
  TObject::Free(panes_[0]);
  EXPECT_EQ(panel_->PaneCount(), 2);
  EXPECT_EQ(panes_[1]->PaneIndex(), 0);
  EXPECT_EQ(panes_[2]->PaneIndex(), 1);
  EXPECT_EQ(panel_->Bars().Count(), 1);
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 0, 200, 303}));
}

TEST_F(SplitterTest, MovingAPaneToAnotherPanelDetachesItFirst) {
  Build(kLayoutWidth, kLayoutHeight, 3);
  auto* other = new TLMDSplitterPanel(form_);
  other->SetParent(form_);
  other->SetBounds(0, 320, 200, 100);
  panes_[1]->SetSplitter(other);
  EXPECT_EQ(panel_->PaneCount(), 2);
  EXPECT_EQ(other->PaneCount(), 1);
  EXPECT_EQ(panes_[1]->Parent(), other);
  EXPECT_EQ(panes_[1]->PaneIndex(), 0);
  EXPECT_EQ(panes_[2]->PaneIndex(), 1);
}

TEST_F(SplitterTest, FreeingThePanelTakesItsPanesWithoutCallingBack) {
  Build(kLayoutWidth, kLayoutHeight, 3);
  TObject::Free(panel_);
  EXPECT_EQ(form_->ComponentCount(), 0);
}

TEST_F(SplitterTest, NewPanelDefaults) {
  EXPECT_EQ(panel_->Width(), 200);
  EXPECT_EQ(panel_->Height(), 100);
  EXPECT_EQ(panel_->Orientation(), spVertRight);
  EXPECT_FALSE(panel_->InstantUpdate());
  EXPECT_FALSE(panel_->TabStop());
  EXPECT_EQ(panel_->Color(), clBtnFace);
  EXPECT_EQ(panel_->Bars().Count(), 0);
  EXPECT_EQ(panel_->BarCount(), 0);
  TLMDSplitterPane* pane = AddPane();
  EXPECT_TRUE(pane->ParentColor());
  EXPECT_EQ(pane->Align(), alNone);
  EXPECT_EQ(panel_->Bars().Count(), 0);
  AddPane();
  ASSERT_EQ(panel_->Bars().Count(), 1);
  const TLMDSplitterBarItem& bar = Bar(0);
  EXPECT_EQ(bar.PosPercent(), 50);
  EXPECT_EQ(bar.Width(), 3);
  EXPECT_EQ(bar.BorderStyle(), lsNone);
  EXPECT_EQ(bar.ResizeDirection(), sjUpLeft);
  EXPECT_EQ(bar.Color(), clBtnFace);
  EXPECT_FALSE(bar.Tracking());
}

}  // namespace
