// Saving and restoring the arrangement through a real ini file: the keys written at
// destruction, the order, visibility, percentages, colours and fonts read at the end of loading,
// lists that do not fit, bad numbers, the event-only path without an ini control, an ini control
// placed beside the panel, and the explorer's panel that stores nothing.
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/splitter/SplitterTesting.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"
#include "splitter/SplitterList.h"

namespace {

TEST(SplitterLists, EmptyMiddleEntriesStayAndATrailingSeparatorAddsNone) {
  struct Case {
    const char* text;
    std::vector<std::string> entries;
  } cases[] = {
      {"0,1", {"0", "1"}}, {"57", {"57"}}, {"1,,3", {"1", "", "3"}}, {"1,2,", {"1", "2"}}, {",", {""}},
      {",1", {"", "1"}},   {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitIniList(c.text, ','), c.entries) << '"' << c.text << '"';
  EXPECT_EQ(JoinIniList({"-1", "", "7"}, ','), "-1,,7");
}

class SplitterIniTest : public SplitterTest {
 protected:
  void SetUp() override {
    SplitterTest::SetUp();
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    path_ = std::string(dir) + "splitter-test.ini";
    DeleteFileA(path_.c_str());
    ini_ = new TLMDIniCtrl(form_);
    ini_->SetIniFile(path_);
  }
  void TearDown() override {
    SplitterTest::TearDown();
    DeleteFileA(path_.c_str());
  }
  // A panel being loaded with two panes, linked to the test's ini file.
  void BuildLoading(int count = 2) {
    panel_->SetLoadingState(true);
    Build(186, 554, count);
    panel_->SetOrientation(spHorzUp);
    panel_->SetIniUse(ioUseLink);
    panel_->SetIniLink(ini_);
  }
  void FinishLoading() { panel_->Loaded(); }
  // A fresh panel on the same form, as the program's next start has it.
  void NewPanel() {
    panel_ = new TLMDSplitterPanel(form_);
    panel_->SetParent(form_);
    panes_.clear();
  }
  std::string Value(const std::string& key) { return ini_->ReadString("Common", "SplitPanel" + key); }
  void Store(const std::string& key, const std::string& value) {
    ini_->WriteString("Common", "SplitPanel" + key, value);
  }
  bool HasKey(const std::string& key) {
    char buffer[64];
    GetPrivateProfileStringA("Common", ("SplitPanel" + key).c_str(), "<missing>", buffer, sizeof buffer, path_.c_str());
    return std::string(buffer) != "<missing>";
  }

  std::string path_;
  TLMDIniCtrl* ini_ = nullptr;
};

TEST_F(SplitterIniTest, DestructionWritesOrderVisibilityAndPercentagesAndDeletesTheRest) {
  BuildLoading();
  FinishLoading();
  Store("Colors", "clRed,clBlue");
  Store("Fonts", "x");
  Bar(0).SetPosPercent(57);
  TObject::Free(panel_);
  EXPECT_EQ(Value("PaneO"), "0,1");
  EXPECT_EQ(Value("PaneV"), "1,1");
  EXPECT_EQ(Value("Bars"), "57");
  EXPECT_EQ(Value("BarsOld"), "-1");
  EXPECT_FALSE(HasKey("Colors"));
  EXPECT_FALSE(HasKey("Fonts"));
}

TEST_F(SplitterIniTest, WithoutPositionOnlyBarsIsDeletedAndColoursAndFontsAreWritten) {
  BuildLoading();
  FinishLoading();
  Store("Bars", "10");
  Store("BarsOld", "33");
  panel_->SetIniSaveOptions(soColor | soFont);
  panes_[0]->SetColor(clRed);
  panes_[1]->Font().SetName("Arial");
  panes_[1]->Font().SetSize(12);
  panes_[1]->Font().SetStyle(fsBold | fsStrikeOut);
  TObject::Free(panel_);
  EXPECT_FALSE(HasKey("Bars"));
  EXPECT_EQ(Value("BarsOld"), "33");
  EXPECT_FALSE(HasKey("PaneO"));
  EXPECT_EQ(Value("Colors").substr(0, 6), "clRed,");
  std::string fonts = Value("Fonts");
  ASSERT_NE(fonts.find('|'), std::string::npos);
  EXPECT_EQ(fonts.substr(fonts.find('|') + 1, 9), "Arial,12,");
  EXPECT_EQ(fonts.substr(fonts.size() - 8), ",1,0,0,1");
}

TEST_F(SplitterIniTest, StoredOrderSwapsThePanes) {
  Store("PaneO", "1,0");
  BuildLoading();
  FinishLoading();
  EXPECT_EQ(panel_->PaneAt(0), panes_[1]);
  EXPECT_EQ(panel_->PaneAt(1), panes_[0]);
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 0, 186, 275}));
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 278, 186, 554}));
}

TEST_F(SplitterIniTest, StoredVisibilityHidesTheSecondPane) {
  Store("PaneV", "1,0");
  BuildLoading();
  FinishLoading();
  EXPECT_FALSE(panes_[1]->Visible());
  EXPECT_EQ(panel_->BarCount(), 0);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 554}));
}

TEST_F(SplitterIniTest, StoredPercentagesAndCollapsedPositionsAreApplied) {
  Store("Bars", "57");
  Store("BarsOld", "120");
  BuildLoading();
  FinishLoading();
  EXPECT_EQ(Bar(0).PosPercent(), 57);
  EXPECT_EQ(Bar(0).Position(), 314);
  EXPECT_EQ(Bar(0).OldPosition(), 120);
}

TEST_F(SplitterIniTest, VisibilityThatHidesEveryPaneOrIsNotZeroOrOneIsIgnoredAndNotKept) {
  for (const char* stored : {"0,0", "2,1", "1,x"}) {
    Store("PaneV", stored);
    NewPanel();
    BuildLoading();
    FinishLoading();
    EXPECT_TRUE(panes_[0]->Visible()) << stored;
    EXPECT_TRUE(panes_[1]->Visible()) << stored;
    TObject::Free(panel_);
    EXPECT_EQ(Value("PaneV"), "1,1") << stored;
  }
}

TEST_F(SplitterIniTest, PercentagesSavedWhileAPaneIsHiddenAreRestored) {
  BuildLoading(3);
  FinishLoading();
  Bar(0).SetPosPercent(30);
  Bar(1).SetPosPercent(70);
  panes_[2]->SetVisible(false);
  TObject::Free(panel_);
  EXPECT_EQ(Value("Bars"), "30,70");
  NewPanel();
  BuildLoading(3);
  FinishLoading();
  EXPECT_FALSE(panes_[2]->Visible());
  EXPECT_EQ(Bar(0).PosPercent(), 30);
  EXPECT_EQ(Bar(1).PosPercent(), 70);
}

TEST_F(SplitterIniTest, ListsOfTheWrongLengthAreIgnored) {
  Store("Bars", "30,40");
  Store("PaneO", "1");
  Store("PaneV", "0,0,0");
  BuildLoading();
  FinishLoading();
  EXPECT_EQ(Bar(0).PosPercent(), 50);
  EXPECT_EQ(panel_->PaneAt(0), panes_[0]);
  EXPECT_TRUE(panes_[0]->Visible());
  EXPECT_TRUE(panes_[1]->Visible());
}

TEST_F(SplitterIniTest, AnOrderNamingAPaneTwiceIsIgnored) {
  Store("PaneO", "1,1");
  BuildLoading();
  FinishLoading();
  EXPECT_EQ(panel_->PaneAt(0), panes_[0]);
  EXPECT_EQ(panel_->PaneAt(1), panes_[1]);
  EXPECT_EQ(PaneWindowRect(panes_[0]), (RECT{0, 0, 186, 275}));
  EXPECT_EQ(PaneWindowRect(panes_[1]), (RECT{0, 278, 186, 554}));
  // Both panes still belong to the panel, so freeing it leaves neither pointing at it.
  TObject::Free(panel_);
  EXPECT_EQ(Value("PaneO"), "0,1");
}

TEST_F(SplitterIniTest, BadNumbersRaiseAndStillClearUpdating) {
  Store("Bars", "half");
  BuildLoading();
  EXPECT_THROW(FinishLoading(), EConvertError);
  EXPECT_FALSE(panel_->Updating());
  // The panel goes on working.
  Bar(0).SetPosPercent(20);
  EXPECT_EQ(Bar(0).Position(), 110);
}

TEST_F(SplitterIniTest, PaneIndexOutOfRangeRaisesAListIndexError) {
  Store("PaneO", "0,5");
  BuildLoading();
  EXPECT_THROW(FinishLoading(), EListError);
  EXPECT_FALSE(panel_->Updating());
  EXPECT_EQ(panel_->PaneAt(1), panes_[1]);
}

TEST_F(SplitterIniTest, WithoutAnIniControlOnlyTheEventsRun) {
  Store("Bars", "10");
  BuildLoading();
  panel_->SetIniUse(ioNone);
  int reads = 0, writes = 0;
  panel_->OnIniReadData = [&](TObject* sender, TLMDIniCtrl* ctrl, const std::string& section) {
    EXPECT_EQ(sender, panel_);
    EXPECT_EQ(ctrl, nullptr);
    EXPECT_EQ(section, "Common");
    ++reads;
  };
  panel_->OnIniWriteData = [&](TObject*, TLMDIniCtrl* ctrl, const std::string&) {
    EXPECT_EQ(ctrl, nullptr);
    ++writes;
  };
  FinishLoading();
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(Bar(0).PosPercent(), 50);
  TObject::Free(panel_);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(Value("Bars"), "10");
  EXPECT_FALSE(HasKey("PaneO"));
}

TEST_F(SplitterIniTest, TheGlobalControlAndTheLinkCanBothBeChosen) {
  LMDGlobalIniCtrl()->SetIniFile(path_);
  BuildLoading();
  panel_->SetIniUse(ioUseGlobal);
  panel_->SetIniKey("Global");
  panel_->SetSection("Other");
  TLMDIniCtrl* seen = nullptr;
  panel_->OnIniWriteData = [&](TObject*, TLMDIniCtrl* ctrl, const std::string&) { seen = ctrl; };
  FinishLoading();
  TObject::Free(panel_);
  EXPECT_EQ(seen, LMDGlobalIniCtrl());
  EXPECT_EQ(ini_->ReadString("Other", "GlobalBars"), "50");
}

TEST_F(SplitterIniTest, FreedLinkIsForgotten) {
  BuildLoading();
  FinishLoading();
  TObject::Free(ini_);
  EXPECT_EQ(panel_->IniLink(), nullptr);
  TObject::Free(panel_);  // writes nowhere, and does not touch the freed control
  ini_ = new TLMDIniCtrl(form_);
  ini_->SetIniFile(path_);
  EXPECT_FALSE(HasKey("Bars"));
}

TEST_F(SplitterIniTest, DamagedFileReadsAsMissingValues) {
  {
    std::ofstream out(path_, std::ios::binary);
    out << "\x01\x02[Common\nSplitPanelBars\n=\n[[[\0\xff garbage";
  }
  BuildLoading();
  FinishLoading();
  EXPECT_EQ(Bar(0).PosPercent(), 50);
  ini_->SetIniFile("C:\\windows");  // a folder: nothing can be read or written
  EXPECT_EQ(ini_->ReadString("Common", "SplitPanelBars"), "");
}

TEST_F(SplitterIniTest, ColoursAndFontsWrittenAreReadBackByTheNextPanel) {
  BuildLoading();
  panel_->SetIniSaveOptions(soColor | soFont);
  FinishLoading();
  panes_[0]->SetColor(clRed);
  // System colours without a name have the top bit set: they are written in hex and must read back.
  panes_[1]->SetColor(static_cast<TColor>(0x8000000C));
  panes_[0]->Font().SetName("Courier New");
  panes_[0]->Font().SetSize(14);
  panes_[0]->Font().SetColor(clBlue);
  panes_[0]->Font().SetStyle(fsItalic | fsUnderline);
  panes_[1]->Font().SetName("Arial");
  panes_[1]->Font().SetSize(9);
  panes_[1]->Font().SetColor(static_cast<TColor>(0x8000001A));
  panes_[1]->Font().SetStyle(fsBold);
  TObject::Free(panel_);
  EXPECT_EQ(Value("Colors"), "clRed,$8000000C");
  EXPECT_EQ(Value("Fonts"), "Courier New,14,clBlue,0,1,1,0|Arial,9,$8000001A,1,0,0,0");

  // A new panel over the same file: its panes get the stored looks.
  panel_ = new TLMDSplitterPanel(form_);
  panel_->SetParent(form_);
  panes_.clear();
  BuildLoading();
  panel_->SetIniSaveOptions(soColor | soFont);
  panes_[0]->Font().SetStyle(fsStrikeOut);  // cleared by the stored styles
  FinishLoading();
  EXPECT_EQ(panes_[0]->Color(), clRed);
  EXPECT_EQ(panes_[1]->Color(), static_cast<TColor>(0x8000000C));
  EXPECT_EQ(panes_[0]->Font().Name(), "Courier New");
  EXPECT_EQ(panes_[0]->Font().Size(), 14);
  EXPECT_EQ(panes_[0]->Font().Color(), clBlue);
  EXPECT_EQ(panes_[0]->Font().Style(), unsigned{fsItalic | fsUnderline});
  EXPECT_EQ(panes_[1]->Font().Name(), "Arial");
  EXPECT_EQ(panes_[1]->Font().Size(), 9);
  EXPECT_EQ(panes_[1]->Font().Color(), static_cast<TColor>(0x8000001A));
  EXPECT_EQ(panes_[1]->Font().Style(), unsigned{fsBold});
}

TEST_F(SplitterIniTest, FontEntriesOfTheWrongShapeAreSkippedAndABadSizeIsTen) {
  struct Case {
    const char* stored;
    const char* firstName;  // the first pane's font name after reading
    int firstSize;
    const char* secondName;
    int secondSize;
  } cases[] = {
      // A bad size falls back to 10; the other pane's entry has six fields and is skipped.
      {"Arial,big,clBlack,0,0,0,0|Tahoma,8,clBlack,0,0,0", "Arial", 10, "Start", 7},
      // Eight fields are as wrong as six.
      {"Arial,8,clBlack,0,0,0,0,0|Tahoma,11,clBlack,0,0,0,0", "Start", 7, "Tahoma", 11},
      // One entry for two panes: the list is ignored as a whole.
      {"Arial,8,clBlack,0,0,0,0", "Start", 7, "Start", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    TObject::Free(panel_);  // its panes go with it
    panes_.clear();
    panel_ = new TLMDSplitterPanel(form_);
    panel_->SetParent(form_);
    Store("Fonts", c.stored);
    BuildLoading();
    panel_->SetIniSaveOptions(soFont);
    for (TLMDSplitterPane* pane : panes_) {
      pane->Font().SetName("Start");
      pane->Font().SetSize(7);
    }
    FinishLoading();
    EXPECT_EQ(panes_[0]->Font().Name(), c.firstName);
    EXPECT_EQ(panes_[0]->Font().Size(), c.firstSize);
    EXPECT_EQ(panes_[1]->Font().Name(), c.secondName);
    EXPECT_EQ(panes_[1]->Font().Size(), c.secondSize);
    panel_->SetIniUse(ioNone);  // keep the stored value for the next case
  }
}

TEST_F(SplitterIniTest, ColourListsThatDoNotFitAreIgnoredAndBadColoursRaise) {
  Store("Colors", "clRed");
  BuildLoading();
  panel_->SetIniSaveOptions(soColor);
  panes_[0]->SetColor(clMenu);
  FinishLoading();
  EXPECT_EQ(panes_[0]->Color(), clMenu);
  panel_->SetIniUse(ioNone);
  TObject::Free(panel_);
  panes_.clear();

  panel_ = new TLMDSplitterPanel(form_);
  panel_->SetParent(form_);
  Store("Colors", "clRed,reddish");
  BuildLoading();
  panel_->SetIniSaveOptions(soColor);
  EXPECT_THROW(FinishLoading(), EConvertError);
  EXPECT_FALSE(panel_->Updating());
}

TEST_F(SplitterIniTest, AnIniControlPlacedBesideThePanelBecomesItsLink) {
  panel_->SetIniUse(ioUseLink);
  auto* placed = new TLMDIniCtrl(form_);
  EXPECT_EQ(panel_->IniLink(), placed);
  // A link that is set stays; a control of another owner is not taken.
  auto* second = new TLMDIniCtrl(form_);
  EXPECT_EQ(panel_->IniLink(), placed);
  TObject::Free(placed);
  EXPECT_EQ(panel_->IniLink(), nullptr);
  auto* elsewhere = new TLMDIniCtrl(Application);
  EXPECT_EQ(panel_->IniLink(), nullptr);
  TObject::Free(elsewhere);
  // Without the linked choice nothing is taken.
  panel_->SetIniUse(ioNone);
  auto* ignored = new TLMDIniCtrl(form_);
  EXPECT_EQ(panel_->IniLink(), nullptr);
  // The picked-up control is the one written to.
  panel_->SetIniUse(ioUseLink);
  auto* used = new TLMDIniCtrl(form_);
  used->SetIniFile(path_);
  ASSERT_EQ(panel_->IniLink(), used);
  Build(186, 554, 2);
  panel_->SetOrientation(spHorzUp);
  Bar(0).SetPosPercent(57);
  TObject::Free(panel_);
  EXPECT_EQ(Value("Bars"), "57");
  (void)second;
  (void)ignored;
}

class TIniTestForm : public TForm {
 public:
  TIniTestForm(TComponent* owner, const std::string& resource) : TForm(owner) { LoadDescription(resource); }
  std::string ClassName() const override { return "TTestForm"; }
};

TEST(LinkedPanelDescription, AnIniControlLaterInTheWindowIsLinkedAndReadFrom) {
  RegisterSplitterClasses();
  RegisterEffectsClasses();
  // A file name without a folder: the platform keeps it in the Windows folder.
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string path = std::string(windows) + "\\folvane-splitter-linked.ini";
  std::ofstream(path, std::ios::binary) << "[Common]\r\nSplitPanelPaneO=1,0\r\nSplitPanelBars=57\r\n";

  auto* form = new TIniTestForm(Application, "TESTLINKED");
  form->HandleNeeded();
  auto* panel = dynamic_cast<TLMDSplitterPanel*>(form->FindComponent("LMDSplitterPanel1"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->IniLink(), form->FindComponent("LMDIniCtrl1"));
  EXPECT_EQ(panel->PaneAt(0), form->FindComponent("LMDSplitterPane2"));
  EXPECT_EQ(panel->Bars().Items(0)->PosPercent(), 57);
  EXPECT_EQ(panel->Bars().Items(0)->Position(), 314);
  // Closing the window stores the arrangement it has then, through the link it still has.
  panel->Bars().Items(0)->SetPosPercent(30);
  TObject::Free(form);
  std::ifstream in(path, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  EXPECT_NE(written.find("SplitPanelBars=30"), std::string::npos) << written;
  DeleteFileA(path.c_str());
}

TEST(ExplorerPanelStorage, TheExplorersPanelReadsAndWritesNoIniFile) {
  RegisterSplitterClasses();
  // The files a panel could use: the program's own ini file and the process-wide control's.
  auto* probe = new TLMDIniCtrl(nullptr);
  const std::string own = probe->IniFile();
  TObject::Free(probe);
  const std::string global = LMDGlobalIniCtrl()->IniFile();
  const std::string stored = "[Common]\r\nSplitPanelPaneO=1,0\r\nSplitPanelPaneV=1,0\r\nSplitPanelBars=10\r\n";
  auto contents = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  for (const std::string& path : {own, global}) std::ofstream(path, std::ios::binary) << stored;

  auto* form = new TIniTestForm(Application, "TESTEXPLORER");
  form->HandleNeeded();
  auto* panel = dynamic_cast<TLMDSplitterPanel*>(form->FindComponent("LMDSplitterPanel1"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->IniUse(), ioNone);
  EXPECT_EQ(panel->IniLink(), nullptr);
  // Nothing was read: stored order, visibility and percentage would all show.
  EXPECT_EQ(panel->PaneAt(0), form->FindComponent("LMDSplitterPane1"));
  EXPECT_EQ(panel->VisiblePaneCount(), 2);
  EXPECT_EQ(panel->Bars().Items(0)->PosPercent(), 50);
  EXPECT_EQ(panel->Bars().Items(0)->Position(), 275);
  // An ini control arriving later is not taken either.
  auto* ini = new TLMDIniCtrl(form);
  EXPECT_EQ(panel->IniLink(), nullptr);
  (void)ini;
  panel->Bars().Items(0)->SetPosPercent(57);
  TObject::Free(form);
  // Nothing was written.
  EXPECT_EQ(contents(own), stored);
  EXPECT_EQ(contents(global), stored);
  DeleteFileA(own.c_str());
  DeleteFileA(global.c_str());
}

}  // namespace
