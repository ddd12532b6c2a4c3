// Dragging bars with real mouse input: the explorer's outline drag, a click without movement,
// the Min limit, a crossing, the collapse button, cursors, the hot button, a lost capture, other
// buttons, and the designer's hit test.
#include <stdexcept>

#include "tests/splitter/SplitterTesting.h"
#include "tests/support/WindowTesting.h"

namespace {

class DragTest : public SplitterTest {
 protected:
  void SetUp() override {
    SplitterTest::SetUp();
    form_->SetFormStyle(fsStayOnTop);
    form_->Show();
    SetForegroundWindow(form_->Handle());
    // Input goes to the panel only once the form is on the screen, above what is there.
    HWND form = form_->Handle();
    POINT inside = form_->ClientToScreen(POINT{5, 5});
    auto shown = [&] { return IsWindowVisible(form) && GetAncestor(WindowFromPoint(inside), GA_ROOT) == form; };
    ASSERT_TRUE(PumpUntil(shown, kInputWaitMs));
    // Off the form: a test's first move must be a move even when it aims where the last
    // test left the pointer.
    MoveMouseTo(POINT{1000, 700});
    PumpMessages();
    // What the panel has received so far: input is waited for until it has arrived.
    panel_->OnMouseMove = [this](TObject*, unsigned shift, int x, int y) {
      lastMove_ = POINT{x, y};
      if (shift & ssLeft) lastHeldMove_ = POINT{x, y};
    };
    panel_->OnMouseDown = [this](TObject*, TMouseButton, unsigned, int, int) { ++downs_; };
    panel_->OnMouseUp = [this](TObject*, TMouseButton, unsigned, int, int) { ++ups_; };
  }
  void TearDown() override {
    Release();
    SplitterTest::TearDown();
  }
  // Mouse input as the user makes it, at a point of the panel's client area.
  void Send(DWORD flags, POINT client) {
    POINT screen = panel_->ClientToScreen(client);
    int downs = downs_, ups = ups_;
    SendMouseAt(screen, flags);
    RECT r = panel_->ClientRect();
    bool reaches = PtInRect(&r, client) || GetCapture() == panel_->Handle();
    if (flags & MOUSEEVENTF_LEFTDOWN) PumpUntil([&] { return downs_ != downs; }, kInputWaitMs);
    else if (flags & MOUSEEVENTF_LEFTUP)
      PumpUntil([&] { return ups_ != ups || GetCapture() != panel_->Handle(); }, kInputWaitMs);
    else if (reaches) ArriveAt(screen, client);
    else PumpUntil([] { return false; }, 150);
    PumpMessages();
  }
  // Waits for a move to reach the panel. Under Wine on a virtual X server a move made while
  // the button is held now and then arrives only without the button; the user's own moves
  // never do, so such a move is made again (one pixel off and back, as a same-place move may
  // not be reported at all). Moves the platform adds when windows move under the pointer may
  // come without the button too; they are not the test's own and are let be. On a loaded
  // machine the platform may also report an earlier place of the pointer late, after the
  // test's own move: a move counts only when it is still the last one once input is quiet.
  void ArriveAt(POINT screen, POINT client) {
    auto arrived = [&] { return lastMove_.x == client.x && lastMove_.y == client.y; };
    auto held = [&] { return lastHeldMove_.x == client.x && lastHeldMove_.y == client.y; };
    auto there = [&] { return down_ ? held() : arrived(); };
    PumpUntil(arrived, kInputWaitMs);
    for (int retry = 0; retry < 4; ++retry) {
      if (PumpUntil(there, 300)) {
        PumpUntil([] { return false; }, 150);
        if (there()) return;
      }
      MoveMouseTo(POINT{screen.x, screen.y + 1});
      PumpUntil([&] { return lastMove_.y == client.y + 1; }, 1000);
      MoveMouseTo(screen);
      PumpUntil(there, kInputWaitMs);
    }
  }
  // Waits for what the platform does in its own time (cursor shapes, leave notices).
  bool Eventually(const std::function<bool()>& done) { return PumpUntil(done, kInputWaitMs); }
  void MoveTo(int x, int y) { Send(0, POINT{x, y}); }
  void Press(int x, int y) {
    MoveTo(x, y);
    Send(MOUSEEVENTF_LEFTDOWN, POINT{x, y});
    pressed_ = POINT{x, y};
    down_ = true;
  }
  void Release() {
    if (!down_) return;
    down_ = false;
    Send(MOUSEEVENTF_LEFTUP, pressed_);
  }
  void ReleaseAt(int x, int y) {
    pressed_ = POINT{x, y};
    MoveTo(x, y);
    Release();
  }
  COLORREF ScreenPixel(int x, int y) {
    POINT p = panel_->ClientToScreen(POINT{x, y});
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, p.x, p.y);
    ReleaseDC(nullptr, dc);
    return c;
  }
  void ExplorerPanel() {
    Build(186, 554, 2);
    panel_->SetOrientation(spHorzUp);
    Bar(0).OnChange = [this](TObject*) {
      ++changes_;
      positions_.push_back(Bar(0).Position());
    };
    panel_->OnSplitChange = [this](TObject* sender, int index) {
      EXPECT_EQ(sender, panel_);
      splits_.push_back(index);
    };
    PumpMessages();
  }
  POINT pressed_{};
  POINT lastMove_{-1, -1};
  POINT lastHeldMove_{-1, -1};
  int downs_ = 0, ups_ = 0;
  bool down_ = false;
  int changes_ = 0;
  std::vector<int> positions_;
  std::vector<int> splits_;
};

TEST_F(DragTest, ExplorerBarDraggedDownMovesAnOutlineThenCommitsAt315) {
  ExplorerPanel();
  COLORREF before = ScreenPixel(93, 316);
  Press(93, 276);
  EXPECT_TRUE(panel_->Dragging());
  EXPECT_TRUE(Bar(0).Tracking());
  for (int y = 286; y <= 316; y += 10) MoveTo(93, y);
  EXPECT_EQ(Bar(0).TrackPosition(), 315);
  EXPECT_EQ(Bar(0).Position(), 275);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 275}));
  EXPECT_EQ(ScreenPixel(93, 316), before ^ 0xFFFFFF);  // the inverted outline
  ReleaseAt(93, 316);
  EXPECT_FALSE(panel_->Dragging());
  EXPECT_FALSE(Bar(0).Tracking());
  EXPECT_EQ(Bar(0).Position(), 315);
  EXPECT_EQ(Bar(0).PosPercent(), 57);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(splits_, std::vector<int>{0});
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 315}));
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 318, 186, 554}));
  EXPECT_NE(ScreenPixel(93, 316), before ^ 0xFFFFFF);  // the outline is gone with the bar there
  panel_->RefreshLayout();
  EXPECT_EQ(Bar(0).Position(), 314);
}

TEST_F(DragTest, PressAndReleaseWithoutMovingReportsTheSplitOnly) {
  ExplorerPanel();
  int downs = 0, ups = 0;
  panel_->OnMouseDown = [&](TObject*, TMouseButton button, unsigned, int x, int y) {
    EXPECT_EQ(button, mbLeft);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 277);
    EXPECT_TRUE(panel_->Dragging());  // after the panel's own handling
    ++downs;
    ++downs_;
  };
  panel_->OnMouseUp = [&](TObject*, TMouseButton button, unsigned, int, int) {
    EXPECT_EQ(button, mbLeft);
    EXPECT_FALSE(panel_->Dragging());  // after the panel's own handling too
    EXPECT_EQ(splits_, std::vector<int>{0});
    ++ups;
    ++ups_;
  };
  Press(20, 277);
  Release();
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(ups, 1);
  EXPECT_EQ(changes_, 0);
  EXPECT_EQ(splits_, std::vector<int>{0});
  EXPECT_EQ(Bar(0).Position(), 275);
  EXPECT_NE(GetCapture(), panel_->Handle());
}

TEST_F(DragTest, BarStopsAtMinAndFollowsOnlyFromWhereItStopped) {
  ExplorerPanel();
  panel_->SetInstantUpdate(true);
  Bar(0).SetMin(200);
  Press(93, 276);
  MoveTo(93, 176);
  EXPECT_EQ(Bar(0).Position(), 200);
  EXPECT_EQ(panel_->DragPoint().y, 201);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 200}));  // live panes
  int changesAtTheLimit = changes_;
  MoveTo(93, 150);
  MoveTo(93, 195);
  EXPECT_EQ(Bar(0).Position(), 200);
  EXPECT_EQ(changes_, changesAtTheLimit);  // held at the limit: nothing changed
  MoveTo(93, 211);
  EXPECT_EQ(Bar(0).Position(), 210);
  ReleaseAt(93, 211);
  EXPECT_EQ(splits_, std::vector<int>{0});
  EXPECT_EQ(Bar(0).PosPercent(), 38);
  // Live panes: a change for every step that moved the bar, and only for those.
  ASSERT_GE(positions_.size(), 2u);
  EXPECT_EQ(positions_.front(), 200);
  EXPECT_EQ(positions_.back(), 210);
  for (std::size_t i = 1; i < positions_.size(); ++i) EXPECT_NE(positions_[i], positions_[i - 1]);
}

TEST_F(DragTest, CrossingDragsBothBarsEachAlongItsAxis) {
  Build(403, 303, 4);
  panel_->SetOrientation(spCross);
  std::vector<int> splits;
  panel_->OnSplitChange = [&](TObject*, int index) { splits.push_back(index); };
  MoveTo(201, 151);
  EXPECT_TRUE(Eventually([] { return GetCursor() == CursorHandle(crCross); })) << "crCross";
  Press(201, 151);
  MoveTo(221, 161);
  ReleaseAt(221, 161);
  EXPECT_EQ(Bar(0).Position(), 220);
  EXPECT_EQ(Bar(1).Position(), 160);
  EXPECT_EQ(splits, (std::vector<int>{0, 1}));
}

// The platform's own messages for a pointer at a point, sent straight to the panel's window:
// the shape is then known when the call returns.
HCURSOR CursorOver(TLMDSplitterPanel* panel, int x, int y) {
  POINT screen = panel->ClientToScreen(POINT{x, y});
  SendMessageA(panel->Handle(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  SendMessageA(panel->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(panel->Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

TEST_F(DragTest, CursorsFollowTheKindOfBar) {
  Build(403, 303, 3);  // spVertRight: bar 0 vertical, bar 1 horizontal on the right
  Bar(1).SetWidth(10);
  Bar(1).SetResizeButton(true);
  EXPECT_EQ(CursorOver(panel_, 201, 20), CursorHandle(crHSplit));
  EXPECT_EQ(panel_->HitPoint().x, -1);  // forgotten once the shape is chosen
  EXPECT_EQ(CursorOver(panel_, 220, Bar(1).Position() + 4), CursorHandle(crVSplit));
  RECT button = Bar(1).ButtonRect();
  EXPECT_EQ(CursorOver(panel_, button.left + 5, button.top + 4), CursorHandle(crArrow));
  // Away from the bars the window class's arrow is shown.
  EXPECT_EQ(CursorOver(panel_, 100, 100), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  // With real input the same shapes appear.
  MoveTo(220, Bar(1).Position() + 4);
  EXPECT_TRUE(Eventually([] { return GetCursor() == CursorHandle(crVSplit); }));
  MoveTo(201, 20);
  EXPECT_TRUE(Eventually([] { return GetCursor() == CursorHandle(crHSplit); }));
  Bar(0).SetLocked(true);
  // A locked bar shows the panel's own cursor; the other bar keeps its split cursor.
  EXPECT_EQ(CursorOver(panel_, 201, 20), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  panel_->SetCursor(crIBeam);
  EXPECT_EQ(CursorOver(panel_, 201, 20), CursorHandle(crIBeam));
  EXPECT_EQ(CursorOver(panel_, 220, Bar(1).Position() + 4), CursorHandle(crVSplit));
  Press(201, 20);  // a locked bar cannot be dragged
  EXPECT_FALSE(panel_->Dragging());
}

TEST_F(DragTest, OtherButtonsOnlyReportThePress) {
  ExplorerPanel();
  std::vector<TMouseButton> buttons;
  panel_->OnMouseDown = [&](TObject*, TMouseButton button, unsigned, int, int) { buttons.push_back(button); };
  panel_->OnMouseUp = [&](TObject*, TMouseButton button, unsigned, int, int) { buttons.push_back(button); };
  MoveTo(93, 276);
  for (DWORD flags : {DWORD{MOUSEEVENTF_RIGHTDOWN}, DWORD{MOUSEEVENTF_RIGHTUP}}) {
    std::size_t seen = buttons.size();
    // The press carries its place: a bare one may land where the pointer was a move before.
    SendMouseAt(panel_->ClientToScreen(POINT{93, 276}), flags);
    ASSERT_TRUE(Eventually([&] { return buttons.size() > seen; }));
    EXPECT_FALSE(panel_->Dragging());
    EXPECT_FALSE(Bar(0).Tracking());
  }
  EXPECT_EQ(buttons, (std::vector<TMouseButton>{mbRight, mbRight}));
  EXPECT_TRUE(splits_.empty());
}

// The designer asks the panel whether it wants a press: bars under the left button are the
// panel's, the right button is the designer's.
TEST(DesignedPanel, ClaimsLeftButtonQueriesOverItsBars) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 300);
  auto* panel = new TDesignedSplitterPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 200, 200);
  for (int i = 0; i < 2; ++i) (new TLMDSplitterPane(form))->SetSplitter(panel);
  panel->SetDesigning(true);
  panel->SetOrientation(spHorzUp);
  int bar = panel->Bars().Items(0)->Position();
  auto query = [panel](int x, int y, WPARAM keys) {
    POINT screen = panel->ClientToScreen(POINT{x, y});
    SendMessageA(panel->Handle(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
    return panel->Perform(CM_DESIGNHITTEST, keys, MAKELPARAM(x, y));
  };
  EXPECT_EQ(query(50, bar + 1, MK_LBUTTON), 1);
  EXPECT_EQ(query(50, bar + 1, MK_RBUTTON), 0);
  EXPECT_EQ(query(50, bar + 1, MK_LBUTTON | MK_RBUTTON), 0);
  EXPECT_EQ(query(50, bar + 1, 0), 0);
  EXPECT_EQ(query(50, bar - 20, MK_LBUTTON), 0);
  // In the designer the point is kept after the cursor has been chosen.
  SendMessageA(panel->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(panel->Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(panel->HitPoint().y, bar - 20);
  TObject::Free(form);
}

TEST_F(DragTest, ButtonClickCollapsesAndRestoresButADragDoesNot) {
  ExplorerPanel();
  Bar(0).SetWidth(10);
  Bar(0).SetResizeButton(true);
  auto clickButton = [this] {
    RECT b = Bar(0).ButtonRect();
    Press(b.left + 10, b.top + 5);
    Release();
  };
  // A bar held off its end percentage by Min or Max still comes back from its button.
  struct Case {
    TLMDSplitterJump direction;
    int min, max, collapsed;
  };
  for (const Case& c : {Case{sjUpLeft, 0, 0, 0}, Case{sjUpLeft, 20, 0, 20}, Case{sjDnRight, 0, 20, 524}}) {
    Bar(0).SetResizeDirection(c.direction);
    Bar(0).SetMin(c.min);
    Bar(0).SetMax(c.max);
    clickButton();
    EXPECT_EQ(Bar(0).Position(), c.collapsed) << c.min << " " << c.max;
    EXPECT_EQ(Bar(0).OldPosition(), 272) << c.min << " " << c.max;
    clickButton();
    EXPECT_EQ(Bar(0).OldPosition(), -1) << c.min << " " << c.max;
    EXPECT_EQ(Bar(0).Position(), 272) << c.min << " " << c.max;
  }
  Bar(0).SetResizeDirection(sjUpLeft);
  Bar(0).SetMin(0);
  Bar(0).SetMax(0);
  RECT b = Bar(0).ButtonRect();
  Press(b.left + 10, b.top + 5);
  MoveTo(b.left + 10, b.top + 25);
  ReleaseAt(b.left + 10, b.top + 25);
  EXPECT_EQ(Bar(0).PosPercent(), 54);  // 292 of 544
  EXPECT_EQ(Bar(0).OldPosition(), -1);
  panel_->RefreshLayout();
  EXPECT_EQ(Bar(0).Position(), 293);
}

TEST_F(DragTest, WhereAButtonWasIsPlainBarOnceItIsSwitchedOff) {
  ExplorerPanel();
  Bar(0).SetWidth(10);
  Bar(0).SetResizeButton(true);
  RECT b = Bar(0).ButtonRect();
  Bar(0).SetResizeButton(false);
  MoveTo(b.left + 10, b.top + 5);
  EXPECT_FALSE(Bar(0).ButtonHot());
  Press(b.left + 10, b.top + 5);
  Release();
  EXPECT_EQ(Bar(0).OldPosition(), -1) << "no collapse";
  EXPECT_EQ(Bar(0).Position(), 272);
  EXPECT_EQ(splits_, std::vector<int>{0});
  // A bar too thin to hold the button keeps no button rectangle either.
  Bar(0).SetResizeButton(true);
  Bar(0).SetWidth(0);
  RECT none = Bar(0).ButtonRect();
  EXPECT_TRUE(IsRectEmpty(&none));
}

TEST_F(DragTest, ButtonIsHotUnderTheMouseUntilItLeavesThePanel) {
  ExplorerPanel();
  Bar(0).SetWidth(10);
  Bar(0).SetResizeButton(true);
  RECT b = Bar(0).ButtonRect();
  auto hot = [this] { return Bar(0).ButtonHot(); };
  auto cold = [this] { return !Bar(0).ButtonHot(); };
  MoveTo(b.left + 10, b.top + 5);
  EXPECT_TRUE(Eventually(hot));
  MoveTo(b.left - 10, b.top + 5);
  EXPECT_TRUE(Eventually(cold));
  MoveTo(b.left + 10, b.top + 5);
  ASSERT_TRUE(Eventually(hot));
  MoveTo(300, b.top + 5);  // beside the panel, on the form
  EXPECT_TRUE(Eventually(cold));
}

TEST_F(DragTest, LostCaptureEndsTheDragAndErasesTheOutline) {
  ExplorerPanel();
  UpdateWindow(form_->Handle());
  PumpMessages();
  COLORREF before = ScreenPixel(93, 300);
  Press(93, 276);
  MoveTo(93, 300);
  ASSERT_TRUE(Eventually([&] { return ScreenPixel(93, 300) == (before ^ 0xFFFFFF); }));
  SetCapture(form_->Handle());
  PumpMessages();
  EXPECT_FALSE(panel_->Dragging());
  EXPECT_FALSE(Bar(0).Tracking());
  EXPECT_EQ(ScreenPixel(93, 300), before);
  ReleaseAt(93, 300);
  ReleaseCapture();
  EXPECT_EQ(Bar(0).Position(), 275);
  EXPECT_EQ(changes_, 0);
  EXPECT_TRUE(splits_.empty());
}

// The panel's own mouse handlers called directly: what a drag decides, without input timing.
class TDrivenPanel : public TLMDSplitterPanel {
 public:
  using TLMDSplitterPanel::MouseDown;
  using TLMDSplitterPanel::MouseMove;
  using TLMDSplitterPanel::MouseUp;
  using TLMDSplitterPanel::TLMDSplitterPanel;
};

class DrivenDragTest : public SplitterTest {
 protected:
  void SetUp() override {
    SplitterTest::SetUp();
    TObject::Free(panel_);
    driven_ = new TDrivenPanel(form_);
    driven_->SetParent(form_);
    panel_ = driven_;
  }
  TDrivenPanel* driven_ = nullptr;
};

TEST_F(DrivenDragTest, DraggedBarStaysWithinItsTravelRoomWhateverItsLimits) {
  Build(186, 554, 2);
  panel_->SetOrientation(spHorzUp);
  panel_->SetInstantUpdate(true);
  Bar(0).SetMin(-50);
  Bar(0).SetMax(-50);
  driven_->MouseDown(mbLeft, ssLeft, 93, 276);
  driven_->MouseMove(ssLeft, 93, -400);
  EXPECT_EQ(Bar(0).Position(), 0);
  driven_->MouseMove(ssLeft, 93, 1200);
  EXPECT_EQ(Bar(0).Position(), 551);
  driven_->MouseUp(mbLeft, 0, 93, 1200);
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 554, 186, 554}));
}

TEST_F(DrivenDragTest, HandlerRaisingAtReleaseLeavesNoBarTrackingNorTheMouseCaptured) {
  Build(403, 303, 4);
  panel_->SetOrientation(spCross);
  panel_->OnSplitChange = [](TObject*, int) { throw std::runtime_error("handler failed"); };
  driven_->MouseDown(mbLeft, ssLeft, 201, 151);  // where both bars cross
  ASSERT_TRUE(Bar(0).Tracking() && Bar(1).Tracking());
  EXPECT_THROW(driven_->MouseUp(mbLeft, 0, 201, 151), std::runtime_error);
  EXPECT_FALSE(Bar(0).Tracking());
  EXPECT_FALSE(Bar(1).Tracking());
  EXPECT_NE(GetCapture(), panel_->Handle());
  // Resizing moves the bars again.
  panel_->SetBounds(0, 0, 403, 403);
  EXPECT_EQ(Bar(1).Position(), 200);
}

}  // namespace
