// The status bar: part edges, texts and flags as the platform control holds them, deferred
// sending between paints, simple mode, size grip, the system font, owner drawing and failures.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "statusbar/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "tests/support/WindowTesting.h"

namespace {

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner, const std::string& resource = std::string()) : TForm(owner) {
    if (!resource.empty()) LoadDescription(resource);
  }
  std::string ClassName() const override { return "TTestForm"; }
};

// Counts the messages that reach the platform control.
class TCountingBar : public TStatusBar {
 public:
  using TStatusBar::TStatusBar;
  void WndProc(TMessage& m) override {
    if (m.Msg == SB_SETTEXTA) {
      ++texts[static_cast<int>(m.WParam & 0xFF)];
      flags[static_cast<int>(m.WParam & 0xFF)] = static_cast<unsigned>(m.WParam & ~WPARAM{0xFF});
    }
    if (m.Msg == SB_SETPARTS) ++parts;
    TStatusBar::WndProc(m);
  }
  int TextMessages() const {
    int n = 0;
    for (auto& entry : texts) n += entry.second;
    return n;
  }
  std::map<int, int> texts;
  std::map<int, unsigned> flags;  // of the last text sent to each part
  int parts = 0;
};

struct PartText {
  std::string text;
  unsigned flags;
};

PartText GetPartText(TStatusBar* bar, int part) {
  LRESULT info = SendMessageA(bar->Handle(), SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  std::string text(static_cast<std::size_t>(LOWORD(info)) + 1, '\0');
  LRESULT result =
      SendMessageA(bar->Handle(), SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.data()));
  text.resize(LOWORD(info));
  return PartText{text, HIWORD(result)};
}

std::vector<int> GetParts(TStatusBar* bar) {
  int count = static_cast<int>(SendMessageA(bar->Handle(), SB_GETPARTS, 0, 0));
  std::vector<int> edges(static_cast<std::size_t>(std::max(count, 0)));
  if (count > 0)
    SendMessageA(bar->Handle(), SB_GETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(edges.data()));
  return edges;
}

RECT GetPartRect(TStatusBar* bar, int part) {
  RECT r{};
  SendMessageA(bar->Handle(), SB_GETRECT, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&r));
  return r;
}

class StatusBarTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterComCtrlsClasses(); }

  // A form with a 619 x 573 client and a bar with the design's five panels.
  TCountingBar* MakeBar(TFormBorderStyle border = bsSizeable, bool panels = true) {
    form_ = new TTestForm(Application);
    form_->SetBorderStyle(border);
    form_->SetBounds(12, 0, 627, 600);
    form_->HandleNeeded();
    form_->SetClientSize(619, 573);
    auto* bar = new TCountingBar(form_);
    bar->SetParent(form_);
    if (panels)
      for (int width : {256, 128, 64, 64, 50}) bar->Panels().Add()->SetWidth(width);
    form_->Show();
    Settle(bar);
    return bar;
  }
  // Lets every pending paint happen so that nothing is left marked.
  static void Settle(TStatusBar* bar) {
    PumpMessages();
    UpdateWindow(bar->Handle());
    PumpMessages();
  }
  void TearDown() override { TObject::Free(form_); }
  TTestForm* form_ = nullptr;
};

TEST_F(StatusBarTest, DesignedBarHasTheDesignsEdgesAndTheLastPanelReachesTheRightEnd) {
  form_ = new TTestForm(Application, "TESTDESIGN");
  form_->Show();
  auto* bar = dynamic_cast<TStatusBar*>(form_->FindComponent("StatusBar1"));
  ASSERT_NE(bar, nullptr);
  Settle(bar);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{256, 384, 448, 512, -1}));
  EXPECT_EQ(bar->Top(), 554);
  EXPECT_EQ(bar->Width(), 619);
  EXPECT_EQ(bar->Height(), 19);
  EXPECT_EQ(GetPartRect(bar, 3).right, 512);
  EXPECT_EQ(GetPartRect(bar, 4).right, bar->ClientWidth());

  // Widening the window widens only the last panel.
  form_->SetClientSize(800, 573);
  Settle(bar);
  EXPECT_EQ(bar->Width(), 800);
  EXPECT_EQ(GetPartRect(bar, 3).right, 512);
  EXPECT_EQ(GetPartRect(bar, 4).right, 800);
  form_->SetClientSize(580, 573);
  Settle(bar);
  EXPECT_EQ(GetPartRect(bar, 4).right, 580);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{256, 384, 448, 512, -1}));

  // The last panel's own width does not count.
  bar->Panels().Items(4)->SetWidth(7);
  Settle(bar);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{256, 384, 448, 512, -1}));
  bar->Panels().Items(0)->SetWidth(200);
  Settle(bar);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{200, 328, 392, 456, -1}));
}

TEST_F(StatusBarTest, AlignmentAndBevelReachTheControlAsTabsAndFlags) {
  TCountingBar* bar = MakeBar();
  struct Case {
    TAlignment alignment;
    TStatusPanelBevel bevel;
    const char* text;
    const char* sent;
    unsigned flags;
  };
  const Case cases[] = {
      {taLeftJustify, pbLowered, "Report.PDF", "Report.PDF", 0},
      {taCenter, pbLowered, "1048576 bytes", "\t1048576 bytes", 0},
      {taRightJustify, pbNone, "3/7/2004", "\t\t3/7/2004", SBT_NOBORDERS},
      {taCenter, pbRaised, "2:05:08 PM", "\t2:05:08 PM", SBT_POPOUT},
      {taRightJustify, pbLowered, "", "\t\t", 0},
  };
  for (int i = 0; i < 5; ++i) {
    TStatusPanel* panel = bar->Panels().Items(i);
    panel->SetAlignment(cases[i].alignment);
    panel->SetBevel(cases[i].bevel);
    panel->SetText(cases[i].text);
  }
  Settle(bar);
  for (int i = 0; i < 5; ++i) {
    PartText part = GetPartText(bar, i);
    EXPECT_EQ(part.text, cases[i].sent) << i;
    EXPECT_EQ(part.flags, cases[i].flags) << i;
    EXPECT_EQ(bar->Panels().Items(i)->Text(), cases[i].text) << i;
  }
}

TEST_F(StatusBarTest, ChangesAreSentOncePerChangedPanelAtTheNextPaint) {
  TCountingBar* bar = MakeBar();
  bar->texts.clear();
  bar->parts = 0;
  bar->Panels().Items(0)->SetText("Report.PDF");
  bar->Panels().Items(1)->SetText("1048576 bytes");
  bar->Panels().Items(2)->SetText("3/7/2004");
  bar->Panels().Items(3)->SetText("2:05:08 PM");
  bar->Panels().Items(0)->SetText("Report.PDF");
  bar->Panels().Items(4)->SetText("");
  // Nothing reaches the control before the paint.
  EXPECT_EQ(bar->TextMessages(), 0);
  EXPECT_EQ(GetPartText(bar, 0).text, "");
  RECT pending;
  EXPECT_TRUE(GetUpdateRect(bar->Handle(), &pending, FALSE));
  UpdateWindow(bar->Handle());
  EXPECT_EQ(bar->texts, (std::map<int, int>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
  EXPECT_EQ(bar->parts, 0);
  EXPECT_EQ(GetPartText(bar, 0).text, "Report.PDF");
  EXPECT_EQ(GetPartText(bar, 3).text, "2:05:08 PM");
  EXPECT_EQ(GetPartText(bar, 4).text, "");

  // The same values again: no work at all.
  bar->texts.clear();
  bar->Panels().Items(0)->SetText("Report.PDF");
  bar->Panels().Items(1)->SetWidth(128);
  bar->Panels().Items(2)->SetAlignment(taLeftJustify);
  bar->Panels().Items(3)->SetBevel(pbLowered);
  EXPECT_FALSE(GetUpdateRect(bar->Handle(), &pending, FALSE));
  InvalidateRect(bar->Handle(), nullptr, TRUE);
  UpdateWindow(bar->Handle());
  EXPECT_EQ(bar->TextMessages(), 0);
}

TEST_F(StatusBarTest, SimpleModeHidesThePanelsAndBringsThemBackUnchanged) {
  TCountingBar* bar = MakeBar();
  bar->Panels().Items(0)->SetText("Report.PDF");
  Settle(bar);
  bar->SetSimpleText("Loading");
  EXPECT_EQ(SendMessageA(bar->Handle(), WM_GETTEXTLENGTH, 0, 0), 7);
  bar->SetSimplePanel(true);
  Settle(bar);
  EXPECT_TRUE(SendMessageA(bar->Handle(), SB_ISSIMPLE, 0, 0));
  // In simple mode the control reads back its simple part for the first part.
  EXPECT_EQ(GetPartText(bar, 0).text, "Loading");
  bar->Panels().Items(1)->SetText("12 bytes");
  Settle(bar);

  bar->SetSimplePanel(false);
  Settle(bar);
  EXPECT_FALSE(SendMessageA(bar->Handle(), SB_ISSIMPLE, 0, 0));
  EXPECT_EQ(GetParts(bar), (std::vector<int>{256, 384, 448, 512, -1}));
  EXPECT_EQ(GetPartText(bar, 0).text, "Report.PDF");
  EXPECT_EQ(GetPartText(bar, 1).text, "12 bytes");
  EXPECT_EQ(bar->SimpleText(), "Loading");
}

TEST_F(StatusBarTest, ABarWithoutPanelsShowsOneEmptyPart) {
  TCountingBar* bar = MakeBar(bsSizeable, false);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{-1}));
  EXPECT_EQ(GetPartText(bar, 0).text, "");
  EXPECT_EQ(GetPartRect(bar, 0).right, 619);
  bar->Panels().Add()->SetText("only");
  Settle(bar);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{-1}));
  EXPECT_EQ(GetPartText(bar, 0).text, "only");
  bar->Panels().Clear();
  Settle(bar);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{-1}));
  EXPECT_EQ(GetPartText(bar, 0).text, "");
}

TEST_F(StatusBarTest, OnlyABarOnASizeableFormHasASizeGrip) {
  struct Case {
    TFormBorderStyle border;
    bool grip;
  };
  const Case cases[] = {{bsSizeable, true}, {bsSingle, false}, {bsDialog, false}, {bsSizeToolWin, true}};
  for (const Case& c : cases) {
    TCountingBar* bar = MakeBar(c.border);
    LONG style = GetWindowLongA(bar->Handle(), GWL_STYLE);
    EXPECT_EQ((style & SBARS_SIZEGRIP) != 0, c.grip) << c.border;
    EXPECT_EQ((style & CCS_TOP) != 0, !c.grip) << c.border;
    TObject::Free(form_);
    form_ = nullptr;
  }

  // Turning the grip off makes the window anew, with everything sent again.
  TCountingBar* bar = MakeBar();
  bar->Panels().Items(2)->SetText("kept");
  Settle(bar);
  HWND before = bar->Handle();
  bar->SetSizeGrip(false);
  Settle(bar);
  EXPECT_NE(bar->Handle(), before);
  EXPECT_EQ(GetWindowLongA(bar->Handle(), GWL_STYLE) & SBARS_SIZEGRIP, 0);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{256, 384, 448, 512, -1}));
  EXPECT_EQ(GetPartText(bar, 2).text, "kept");
}

TEST_F(StatusBarTest, IsItsOwnSuperclassOfTheSystemStatusBar) {
  TCountingBar* bar = MakeBar();
  char name[32] = {};
  GetClassNameA(bar->Handle(), name, sizeof name);
  EXPECT_STREQ(name, "TStatusBar");
  DWORD style = static_cast<DWORD>(GetClassLongA(bar->Handle(), GCL_STYLE));
  EXPECT_NE(style & CS_VREDRAW, 0u);
  EXPECT_EQ(style & (CS_HREDRAW | CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS), 0u);
  EXPECT_EQ(bar->Align(), alBottom);
  EXPECT_EQ(bar->Color(), clBtnFace);
}

TEST_F(StatusBarTest, ANewColourMakesTheWindowAnewWithItsBackground) {
  TCountingBar* bar = MakeBar();
  bar->Panels().Items(1)->SetText("kept");
  Settle(bar);
  HWND before = bar->Handle();
  bar->SetColor(clRed);
  Settle(bar);
  EXPECT_NE(bar->Handle(), before);
  // Setting the background answers the one it replaces.
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(bar->Handle(), SB_SETBKCOLOR, 0, CLR_DEFAULT)), RGB(255, 0, 0));
  EXPECT_EQ(GetPartText(bar, 1).text, "kept");
}

TEST_F(StatusBarTest, ScalingMovesABarWithTheSystemFontWithoutResizingIt) {
  auto* bar = new TStatusBar(nullptr);
  bar->SetBounds(10, 100, 300, 19);
  int height = bar->Font().Height();
  bar->ChangeScale(3, 2);
  EXPECT_EQ(bar->Top(), 150);
  EXPECT_EQ(bar->Left(), 10);
  EXPECT_EQ(bar->Width(), 300);
  EXPECT_EQ(bar->Height(), 19);
  EXPECT_EQ(bar->Font().Height(), height);
  bar->SetUseSystemFont(false);
  bar->ChangeScale(2, 1);
  EXPECT_EQ(bar->Left(), 20);
  EXPECT_EQ(bar->Width(), 600);
  EXPECT_EQ(bar->Height(), 38);
  EXPECT_EQ(bar->Font().Height(), height * 2);
  TObject::Free(bar);
}

TEST_F(StatusBarTest, UsesTheSystemStatusFontAndTakesItAgainOnASettingsChange) {
  TCountingBar* bar = MakeBar();
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  EXPECT_TRUE(bar->UseSystemFont());
  EXPECT_EQ(bar->Font().Name(), metrics.lfStatusFont.lfFaceName);
  EXPECT_EQ(bar->Font().Height(), metrics.lfStatusFont.lfHeight);
  EXPECT_FALSE(bar->ParentFont());

  bar->Font().SetName("Courier New");
  SendMessageA(Application->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  EXPECT_EQ(bar->Font().Name(), metrics.lfStatusFont.lfFaceName);
  bar->Font().SetName("Courier New");
  SendMessageA(bar->Handle(), WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(bar->Font().Name(), metrics.lfStatusFont.lfFaceName);
  bar->Font().SetName("Courier New");
  SendMessageA(bar->Handle(), WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
  EXPECT_EQ(bar->Font().Name(), "Courier New");

  // Taking the parent's font ends the system font; asking for it again ends the parent's.
  bar->SetParentFont(true);
  EXPECT_FALSE(bar->UseSystemFont());
  EXPECT_EQ(bar->Font().Name(), form_->Font().Name());
  SendMessageA(Application->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  EXPECT_EQ(bar->Font().Name(), form_->Font().Name());
  bar->SetUseSystemFont(true);
  EXPECT_FALSE(bar->ParentFont());
  EXPECT_EQ(bar->Font().Name(), metrics.lfStatusFont.lfFaceName);
}

TEST_F(StatusBarTest, OwnerDrawnPanelsAreDrawnByOnDrawPanel) {
  TCountingBar* bar = MakeBar();
  std::vector<std::pair<TStatusPanel*, RECT>> drawn;
  bar->OnDrawPanel = [&](TStatusBar* sender, TStatusPanel* panel, const RECT& rect) {
    EXPECT_EQ(sender, bar);
    EXPECT_TRUE(sender->Canvas().HandleAllocated());
    drawn.emplace_back(panel, rect);
  };
  bar->Panels().Items(2)->SetStyle(psOwnerDraw);
  Settle(bar);
  ASSERT_FALSE(drawn.empty());
  for (auto& [panel, rect] : drawn) {
    EXPECT_EQ(panel, bar->Panels().Items(2));
    RECT part = GetPartRect(bar, 2);
    EXPECT_GE(rect.left, part.left);
    EXPECT_LE(rect.right, part.right);
  }
}

TEST_F(StatusBarTest, OnlyTheFirst128PanelsAreLaidOut) {
  TCountingBar* bar = MakeBar(bsSizeable, false);
  bar->Panels().BeginUpdate();
  for (int i = 0; i < 130; ++i) bar->Panels().Add()->SetWidth(3);
  bar->Panels().EndUpdate();
  Settle(bar);
  std::vector<int> edges = GetParts(bar);
  ASSERT_EQ(edges.size(), 128u);
  EXPECT_EQ(edges[0], 3);
  EXPECT_EQ(edges[126], 381);
  EXPECT_EQ(edges[127], -1);
  bar->texts.clear();
  bar->Panels().Items(129)->SetText("not shown");
  Settle(bar);
  EXPECT_EQ(bar->TextMessages(), 0);
  EXPECT_EQ(bar->Panels().Items(129)->Text(), "not shown");
}

TEST_F(StatusBarTest, MissingPanelsAndForeignItemsFail) {
  TCountingBar* bar = MakeBar();
  for (int index : {5, -1, 128}) {
    try {
      bar->Panels().Items(index)->SetText("x");
      ADD_FAILURE() << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), Format("List index out of bounds (%d)", index));
    }
  }
  try {
    new TCollectionItem(&bar->Panels());
    ADD_FAILURE() << "a foreign item joined";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Invalid property value");
  }
  EXPECT_EQ(bar->Panels().Count(), 5);
}

TEST_F(StatusBarTest, AutoHintWritesTheHintUnlessOnHintTakesIt) {
  TCountingBar* bar = MakeBar();
  EXPECT_FALSE(bar->ExecuteHint("Opens a file"));
  EXPECT_EQ(bar->Panels().Items(0)->Text(), "");
  bar->SetAutoHint(true);
  EXPECT_TRUE(bar->ExecuteHint("Opens a file"));
  EXPECT_EQ(bar->Panels().Items(0)->Text(), "Opens a file");
  bar->SetSimplePanel(true);
  EXPECT_TRUE(bar->ExecuteHint("Simple"));
  EXPECT_EQ(bar->SimpleText(), "Simple");
  int hints = 0;
  bar->OnHint = [&](TObject* sender) {
    EXPECT_EQ(sender, bar);
    ++hints;
  };
  EXPECT_FALSE(bar->ExecuteHint("Taken"));
  EXPECT_EQ(hints, 1);
  EXPECT_EQ(bar->SimpleText(), "Simple");
}

TEST_F(StatusBarTest, MirroringReversesThePanelsAndSendsThemAtOnce) {
  TCountingBar* bar = MakeBar();
  const char* names[] = {"A", "B", "C", "D", "E"};
  for (int i = 0; i < 5; ++i) bar->Panels().Items(i)->SetText(names[i]);
  Settle(bar);
  bar->FlipChildren(true);
  EXPECT_EQ(GetPartText(bar, 0).text, "E");
  EXPECT_EQ(GetPartText(bar, 4).text, "A");
  EXPECT_EQ(bar->Panels().Items(0)->Width(), 619 - 512);
  EXPECT_EQ(bar->Panels().Items(4)->Width(), 256);
  EXPECT_EQ(GetParts(bar), (std::vector<int>{107, 171, 235, 363, -1}));
}

TEST_F(StatusBarTest, RightToLeftReadingAndAlignmentNeedMiddleEastSupport) {
  TCountingBar* bar = MakeBar();
  bar->Panels().Items(0)->SetText("Name");
  bar->Panels().Items(1)->SetText("Size");
  bar->Panels().Items(1)->SetAlignment(taCenter);
  bar->Panels().Items(2)->SetText("Date");
  bar->Panels().Items(2)->SetAlignment(taRightJustify);
  bar->Panels().Items(3)->SetText("Time");
  bar->Panels().Items(3)->SetBiDiMode(bdLeftToRight);  // its own mode: not the bar's
  Settle(bar);
  // Without the system's support the mode changes nothing that reaches the control.
  bar->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(GetPartText(bar, 0).text, "Name");
  EXPECT_EQ(GetPartText(bar, 0).flags, 0u);

  bool (*system)() = MiddleEastSupportSeam;
  MiddleEastSupportSeam = [] { return true; };
  bar->SetBiDiMode(bdLeftToRight);
  bar->texts.clear();
  // A new mode is sent at once, not at the next paint; alignment mirrors, centre stays.
  bar->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(bar->texts.size(), 5u);
  EXPECT_EQ(GetPartText(bar, 0).text, "\t\tName");
  EXPECT_EQ(GetPartText(bar, 1).text, "\tSize");
  EXPECT_EQ(GetPartText(bar, 2).text, "Date");
  EXPECT_EQ(GetPartText(bar, 3).text, "Time");
  EXPECT_EQ(bar->flags[0], unsigned{SBT_RTLREADING});
  EXPECT_EQ(bar->flags[3], 0u);
  EXPECT_EQ(bar->Panels().Items(0)->Text(), "Name");
  // Reading order only: no mirrored alignment.
  bar->SetBiDiMode(bdRightToLeftReadingOnly);
  EXPECT_EQ(GetPartText(bar, 0).text, "Name");
  EXPECT_EQ(GetPartText(bar, 2).text, "\t\tDate");
  // In simple mode only the simple text is sent again, right-aligned under right-to-left.
  bar->SetSimpleText("Busy");
  bar->SetSimplePanel(true);
  bar->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(GetPartText(bar, 0).text, "\t\tBusy");
  EXPECT_EQ(bar->flags[255], unsigned{SBT_RTLREADING});
  EXPECT_EQ(bar->SimpleText(), "Busy");
  MiddleEastSupportSeam = system;
}

TEST(StatusPanel, CopiesItsPropertiesAndNamesItselfByItsText) {
  auto* bar = new TStatusBar(nullptr);
  TStatusPanel* a = bar->Panels().Add();
  TStatusPanel* b = bar->Panels().Add();
  EXPECT_EQ(a->Width(), 50);
  EXPECT_EQ(a->Bevel(), pbLowered);
  EXPECT_EQ(a->Alignment(), taLeftJustify);
  EXPECT_EQ(a->Style(), psText);
  EXPECT_TRUE(a->ParentBiDiMode());
  EXPECT_EQ(a->DisplayName(), "TStatusPanel");
  a->SetText("Name");
  a->SetWidth(90);
  a->SetAlignment(taCenter);
  a->SetBevel(pbRaised);
  a->SetStyle(psOwnerDraw);
  b->Assign(*a);
  EXPECT_EQ(b->Text(), "Name");
  EXPECT_EQ(b->Width(), 90);
  EXPECT_EQ(b->Alignment(), taCenter);
  EXPECT_EQ(b->Bevel(), pbRaised);
  EXPECT_EQ(b->Style(), psOwnerDraw);
  EXPECT_EQ(b->DisplayName(), "Name");
  bar->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(a->BiDiMode(), bdRightToLeft);
  EXPECT_EQ(bar->Panels().Add()->BiDiMode(), bdRightToLeft);
  b->SetBiDiMode(bdLeftToRight);
  bar->SetBiDiMode(bdRightToLeftReadingOnly);
  EXPECT_EQ(a->BiDiMode(), bdRightToLeftReadingOnly);
  EXPECT_EQ(b->BiDiMode(), bdLeftToRight);
  TObject::Free(bar);
}

}  // namespace
