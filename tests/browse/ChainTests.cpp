// The directory list and the drive selector on the drives that scripts/browse-drives.sh puts
// into the test prefix (A: removable, E: fixed "SYSTEM" with E:\Tools\Data\{Old,new,Sub},
// F: \\server\share, G: fixed without label, K: CD-ROM "FOLVANECD", R: RAM disk "RAMDISK"),
// and the browsing chain end to end.
#include <gtest/gtest.h>
#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <vector>

#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "tests/browse/TempTree.h"
#include "tests/support/WindowTesting.h"

namespace {

using Lines = std::vector<std::string>;

template <class T>
Lines LinesOf(T* control) {
  Lines lines;
  for (int i = 0; i < control->Items().Count(); ++i) lines.push_back(control->Items().Get(i));
  return lines;
}

bool DrivesConfigured() {
  return GetDriveTypeA("E:\\") == DRIVE_FIXED && IsExistingDirectory("E:\\Tools\\Data") &&
         GetDriveTypeA("K:\\") == DRIVE_CDROM;
}

class Browsing : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DrivesConfigured()) << "the test prefix needs scripts/browse-drives.sh";
    SetCurrentDirectoryA("C:\\");
    form = new TForm(Application);
    form->SetBounds(0, 0, 300, 500);
    form->HandleNeeded();
  }
  void TearDown() override {
    TObject::Free(form);
    EnterDirectorySeam = SetCurrentDirectoryA;
    LogicalDrivesSeam = GetLogicalDrives;
    SetCurrentDirectoryA("C:\\");
  }
  TDirectoryListBox* MakeDirList(const std::string& directory) {
    auto* list = new TDirectoryListBox(form);
    list->SetBounds(0, 30, 200, 200);
    SetCurrentDirectoryA(directory.c_str());
    list->SetDirectory(directory);
    list->SetParent(form);
    return list;
  }
  TForm* form = nullptr;
};

TEST_F(Browsing, LinesForAPathWithTheirKinds) {
  auto* list = MakeDirList("E:\\Tools\\Data");
  EXPECT_EQ(LinesOf(list), (Lines{"E:\\", "Tools", "Data", "new", "Old", "Sub"}));
  EXPECT_EQ(list->ItemIndex(), 2);
  TObject* open = list->Items().Object(0);
  TObject* current = list->Items().Object(2);
  TObject* closed = list->Items().Object(3);
  EXPECT_EQ(list->Items().Object(1), open);
  EXPECT_NE(current, open);
  EXPECT_NE(closed, open);
  EXPECT_NE(closed, current);
  EXPECT_EQ(list->Items().Object(5), closed);
  EXPECT_TRUE(list->CasePreserving());
  EXPECT_FALSE(list->CaseSensitive());
}

TEST_F(Browsing, PathOfEveryKindOfLine) {
  auto* list = MakeDirList("E:\\Tools\\Data");
  struct Case {
    int index;
    const char* path;
  };
  for (const Case& c : {Case{0, "E:\\"}, Case{1, "E:\\Tools"}, Case{2, "E:\\Tools\\Data"},
                        Case{3, "E:\\Tools\\Data\\new"}, Case{5, "E:\\Tools\\Data\\Sub"}, Case{6, ""}, Case{60, ""}})
    EXPECT_EQ(list->PathOfItem(c.index), c.path) << c.index;
  try {
    list->PathOfItem(-1);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
  }
  list->SetItemIndex(-1);
  EXPECT_THROW(list->OpenSelectedItem(), EListError);
}

TEST_F(Browsing, HiddenAndSystemSubdirectoriesAreNotListed) {
  TempTree tree;
  tree.Directory("b");
  tree.Directory("A");
  tree.Directory("hidden", FILE_ATTRIBUTE_HIDDEN);
  tree.Directory("system", FILE_ATTRIBUTE_SYSTEM);
  tree.Directory(".dot");
  auto* list = MakeDirList(tree.Root());
  Lines lines = LinesOf(list);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{"A", "b"}));
  EXPECT_EQ(lines[lines.size() - 3], ExtractFileName(tree.Root()));
}

// A folder read in several batches is listed while it is read; names that the platform gives
// out of the list's order (it reads an underscore after the letters) still end where the list's
// order puts them: a few placed among the rest, or, when many, all listed again.
TEST_F(Browsing, AFolderOfSeveralBatchesIsListedInTheListsOrderWhateverOrderItIsReadIn) {
  // Long names: fewer folders fill the read's batches.
  const std::string longer(150, 'x');
  TempTree tree;
  std::vector<TListLine> names;
  auto make = [&](const char* prefix) {
    std::string name = prefix;
    name += std::to_string(10000 + names.size());
    name += longer;
    tree.Directory(name);
    names.push_back({name, nullptr});
  };
  while (names.size() < 1200u) make("folder ");
  for (std::size_t outOfOrder : {3u, 400u}) {
    while (names.size() < 1200u + outOfOrder) make("_");
    auto* list = MakeDirList(tree.Root());
    Lines lines = LinesOf(list);
    const int current = list->ItemIndex();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(current) + 1 + names.size()) << outOfOrder;
    EXPECT_EQ(lines[static_cast<std::size_t>(current)], ExtractFileName(tree.Root()));
    std::vector<int> order = CaseInsensitiveOrder(names, LOCALE_USER_DEFAULT);
    for (std::size_t i = 0; i < order.size(); ++i) {
      std::size_t at = static_cast<std::size_t>(current) + 1 + i;
      ASSERT_EQ(lines[at], names[static_cast<std::size_t>(order[i])].Text)
          << outOfOrder << " out of order, line " << at;
      EXPECT_EQ(list->Items().Object(static_cast<int>(at)), list->Items().Object(current + 1));
    }
    TObject::Free(list);
  }
}

TEST_F(Browsing, AtADriveRootTheFirstSubdirectoryIsSelectedAndEnterOpensIt) {
  auto* list = MakeDirList("E:\\");
  Lines lines = LinesOf(list);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "E:\\");
  EXPECT_EQ(list->PathOfItem(0), "E:\\");
  EXPECT_EQ(list->ItemIndex(), 1);  // PathDepth("E:\") = 1
  EXPECT_EQ(lines[1], "Tools");
  // A key-press handler that swallows Enter keeps the list where it is.
  list->OnKeyPress = [](TObject*, char& key) {
    if (key == '\r') key = 0;
  };
  SendMessageA(list->Handle(), WM_CHAR, VK_RETURN, 0);
  EXPECT_EQ(list->Directory(), "E:\\");
  list->OnKeyPress = nullptr;
  SendMessageA(list->Handle(), WM_CHAR, VK_RETURN, 0);
  EXPECT_EQ(list->Directory(), "E:\\Tools");
  EXPECT_EQ(CurrentDirectory(), "E:\\Tools");
}

TEST_F(Browsing, OnANetworkShareTheRootLineComesFirst) {
  auto* list = MakeDirList("\\\\server\\share\\docs");
  EXPECT_EQ(list->Directory(), "\\\\server\\share\\docs");
  EXPECT_EQ(LinesOf(list), (Lines{"\\\\server\\share\\", "docs"}));
  EXPECT_EQ(list->PathOfItem(0), "\\\\server\\share\\");
  EXPECT_EQ(list->PathOfItem(1), "\\\\server\\share\\docs");
  EXPECT_EQ(list->Drive(), '\\');
}

TEST_F(Browsing, OpeningLinesMovesUpAndDown) {
  auto* list = MakeDirList("E:\\Tools\\Data");
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  list->SetItemIndex(2);  // the current line: nothing
  list->OpenSelectedItem();
  EXPECT_EQ(changes, 0);
  list->SetItemIndex(4);
  list->OpenSelectedItem();
  EXPECT_EQ(list->Directory(), "E:\\Tools\\Data\\Old");
  list->SetItemIndex(1);
  list->OpenSelectedItem();
  EXPECT_EQ(list->Directory(), "E:\\Tools");
  list->SetItemIndex(0);
  list->OpenSelectedItem();
  EXPECT_EQ(list->Directory(), "E:\\");
  EXPECT_EQ(changes, 3);
}

TEST_F(Browsing, DirectoryWriteOfAFileMovesToItsFolderAndOfNothingRaises) {
  TempTree tree;
  tree.Directory("docs");
  tree.File("docs\\a.pdf");
  auto* list = MakeDirList("E:\\Tools");
  list->SetDirectory(tree.Path("docs\\a.pdf"));
  EXPECT_EQ(list->Directory(), tree.Path("docs"));
  Lines before = LinesOf(list);
  try {
    list->SetDirectory(tree.Path("docs\\b.pdf"));
    ADD_FAILURE();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "File not found");
  }
  EXPECT_EQ(list->Directory(), tree.Path("docs"));
  EXPECT_EQ(LinesOf(list), before);
}

// Draws one line of a list into a bitmap the way the platform asks for it.
class DrawnLine {
 public:
  DrawnLine(TWinControl* control, int index, int height, COLORREF background) : background_(background) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, 200, height);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    height_ = height;
    DRAWITEMSTRUCT info{};
    info.CtlType = ODT_LISTBOX;
    info.itemID = static_cast<UINT>(index);
    info.itemAction = ODA_DRAWENTIRE;
    info.hwndItem = control->Handle();
    info.hDC = dc_;
    info.rcItem = RECT{0, 0, 200, height};
    control->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&info));
  }
  ~DrawnLine() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  // The leftmost column holding anything but the background.
  int FirstInk(int from = 0) const {
    for (int x = from; x < 200; ++x)
      for (int y = 0; y < height_; ++y)
        if (GetPixel(dc_, x, y) != background_) return x;
    return -1;
  }
  bool Blank(int left, int right) const {
    for (int x = left; x < right; ++x)
      for (int y = 0; y < height_; ++y)
        if (GetPixel(dc_, x, y) != background_) return false;
    return true;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  int height_;
  COLORREF background_;
};

TEST_F(Browsing, GlyphAndTextOffsetsOfTheDirectoryList) {
  auto* list = MakeDirList("E:\\Tools\\Data");
  COLORREF window = ColorToRGB(list->Color());
  struct Case {
    int index;
    int glyph;  // left edge; the glyphs' outline starts one pixel in
    int text;
  };
  for (const Case& c : {Case{0, 2, 22}, Case{1, 6, 26}, Case{2, 10, 30}, Case{3, 14, 34}, Case{5, 14, 34}}) {
    DrawnLine line(list, c.index, list->ItemHeight(), window);
    EXPECT_EQ(line.FirstInk(), c.glyph + 1) << c.index;
    EXPECT_TRUE(line.Blank(c.glyph + 16, c.text)) << c.index;
    int ink = line.FirstInk(c.glyph + 16);
    EXPECT_GE(ink, c.text) << c.index;
    EXPECT_LE(ink, c.text + 2) << c.index;
  }
}

TEST_F(Browsing, ACaseLosingVolumeIsDrawnInLowerCase) {
  auto* cd = MakeDirList("K:\\");
  EXPECT_FALSE(cd->CasePreserving());
  EXPECT_EQ(cd->Items().Get(0), "K:\\");
  // Against a list on a case-keeping volume showing the same text in lower case.
  auto* lower = MakeDirList("E:\\");
  lower->Items().Delete(0);
  lower->Items().InsertObject(0, "k:\\", cd->Items().Object(0));
  COLORREF window = ColorToRGB(cd->Color());
  DrawnLine shown(cd, 0, cd->ItemHeight(), window);
  DrawnLine expected(lower, 0, lower->ItemHeight(), window);
  int differing = 0;
  for (int x = 0; x < 80; ++x) differing += shown.Blank(x, x + 1) != expected.Blank(x, x + 1);
  EXPECT_EQ(differing, 0);
  EXPECT_FALSE(shown.Blank(22, 40));
}

TEST_F(Browsing, DriveSelectorLinesUnderBothTextCases) {
  auto* combo = new TDriveComboBox(form);
  combo->SetParent(form);
  Lines lower = LinesOf(combo);
  auto has = [](const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  for (const char* line : {"a:", "e: [system]", "f: \\\\server\\share", "g: []", "k: [folvanecd]", "r: [ramdisk]"})
    EXPECT_TRUE(has(lower, line)) << line;
  combo->SetTextCase(tcUpperCase);
  Lines upper = LinesOf(combo);
  for (const char* line : {"A:", "E: [SYSTEM]", "F: \\\\SERVER\\SHARE", "G: []", "K: [FOLVANECD]", "R: [RAMDISK]"})
    EXPECT_TRUE(has(upper, line)) << line;
  EXPECT_EQ(upper.size(), lower.size());
  // Letters go in order and only drives with a root are listed.
  for (std::size_t i = 1; i < upper.size(); ++i) EXPECT_LT(upper[i - 1][0], upper[i][0]);
  EXPECT_EQ(combo->Drive(), 'C');
  EXPECT_EQ(combo->Items().Get(combo->ItemIndex())[0], 'C');
  LONG style = GetWindowLongA(combo->Handle(), GWL_STYLE);
  EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(style & CBS_OWNERDRAWFIXED);
  EXPECT_EQ(combo->ItemHeight(), 13);
}

TEST_F(Browsing, DriveSelectorDrawsGlyphAtTwoAndTextAfterIt) {
  auto* combo = new TDriveComboBox(form);
  combo->SetParent(form);
  int line = -1;
  for (int i = 0; i < combo->Items().Count(); ++i)
    if (combo->Items().Get(i).rfind("e:", 0) == 0) line = i;
  ASSERT_GE(line, 0);
  DrawnLine drawn(combo, line, 15, ColorToRGB(combo->Color()));
  // Glyph at 2 and centred; on a white line its first ink is the silver face, 3 pixels in.
  EXPECT_EQ(drawn.FirstInk(), 2 + 3);
  EXPECT_TRUE(drawn.Blank(18, 22));
  int ink = drawn.FirstInk(18);
  EXPECT_GE(ink, 22);
  EXPECT_LE(ink, 24);
}

class TChain {
 public:
  explicit TChain(TForm* form) {
    combo = new TDriveComboBox(form);
    dirs = new TDirectoryListBox(form);
    files = new TFileListBox(form);
    label = new TLabel(form);
    files->SetMask("*.pdf");
    dirs->SetBounds(0, 30, 200, 200);
    files->SetBounds(0, 240, 200, 200);
    combo->SetDirList(dirs);
    dirs->SetFileList(files);
    dirs->SetDirLabel(label);
    label->SetParent(form);
    files->SetParent(form);
    dirs->SetParent(form);
    combo->SetParent(form);
    combo->OnClick = [this](TObject*) { events.push_back("click"); };
    combo->OnChange = [this](TObject*) { events.push_back("change"); };
  }
  int LineOf(char letter) {
    for (int i = 0; i < combo->Items().Count(); ++i)
      if (combo->Items().Get(i)[0] == letter) return i;
    return -1;
  }
  // The user picks a line of the drop-down list.
  void Pick(char letter) {
    SendMessageA(combo->Handle(), CB_SETCURSEL, static_cast<WPARAM>(LineOf(letter)), 0);
    SendMessageA(GetParent(combo->Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo->Handle()));
    PumpMessages();
  }
  TDriveComboBox* combo;
  TDirectoryListBox* dirs;
  TFileListBox* files;
  TLabel* label;
  std::vector<std::string> events;
};

// The platform's current directory of a drive ("e:" alone), as a change to it reads back.
std::string DriveCurrentDirectory(const char* drive) {
  char full[MAX_PATH] = {};
  GetFullPathNameA(drive, sizeof full, full, nullptr);
  return full;
}

TEST_F(Browsing, ASubdirectoryNamedOutsideTheCodePageIsEnteredByItsShortName) {
  TempTree tree;
  std::wstring chinese = AnsiToWide(tree.Root()) + L"\\\x4E2D\x6587";
  ASSERT_TRUE(CreateDirectoryW(chinese.c_str(), nullptr));
  HANDLE file = CreateFileW((chinese + L"\\inner.pdf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameW(chinese.c_str(), shortPath, MAX_PATH), 0u);
  std::string shortName = ExtractFileName(WideToAnsi(shortPath));

  TChain chain(form);
  chain.dirs->SetDirectory(tree.Root());
  int line = chain.dirs->Items().IndexOf(shortName);
  ASSERT_GE(line, 0) << "listed by its short name " << shortName;
  chain.dirs->SetItemIndex(line);
  chain.dirs->OpenSelectedItem();
  EXPECT_EQ(chain.dirs->Directory(), tree.Path(shortName));
  EXPECT_EQ(chain.files->Directory(), tree.Path(shortName));
  EXPECT_EQ(LinesOf(chain.files), Lines{"inner.pdf"});
  // A list that shares its read with no file list reads no short names but the one it needs.
  auto* alone = new TDirectoryListBox(form);
  alone->SetDirectory(tree.Root());
  EXPECT_GE(alone->Items().IndexOf(shortName), 0) << "alone";
  // A process that is inside such a directory already reads it back in a form that reaches it.
  ASSERT_TRUE(SetCurrentDirectoryW(chinese.c_str()));
  EXPECT_EQ(CurrentDirectory(), tree.Path(shortName));
}

TEST_F(Browsing, ChoosingADriveMovesBothListsToItsCurrentDirectory) {
  TChain chain(form);
  EXPECT_EQ(chain.dirs->Directory(), "C:\\");
  chain.events.clear();
  std::string eCurrent = DriveCurrentDirectory("e:");
  chain.Pick('e');
  EXPECT_EQ(chain.events, (std::vector<std::string>{"click", "change", "change"}));
  EXPECT_EQ(chain.combo->Drive(), 'e');
  EXPECT_EQ(chain.dirs->Directory(), eCurrent);
  EXPECT_EQ(chain.files->Directory(), eCurrent);
  EXPECT_EQ(CurrentDirectory(), eCurrent);
  // The same drive again: a click and one change, nothing else.
  chain.events.clear();
  chain.Pick('e');
  EXPECT_EQ(chain.events, (std::vector<std::string>{"click", "change"}));
  // Opening a directory line moves both lists.
  chain.dirs->SetDirectory("E:\\Tools\\Data");
  EXPECT_TRUE(SameFileName(chain.files->Directory(), "E:\\Tools\\Data")) << chain.files->Directory();
  EXPECT_EQ(chain.label->Caption(),
            ShortenPath(
                chain.dirs->Directory(), [&](const std::string& t) { return chain.label->TextWidth(t); },
                chain.dirs->Width()));
  // A user's double click: down and up, then the double click and up.
  HWND dirsWindow = chain.dirs->Handle();
  LPARAM onNew = MAKELPARAM(5, 3 * chain.dirs->ItemHeight() + 2);
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageA(dirsWindow, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, onNew);
  PumpMessages();
  for (const std::string& where : {chain.dirs->Directory(), chain.files->Directory(), CurrentDirectory()})
    EXPECT_TRUE(SameFileName(where, "E:\\Tools\\Data\\new")) << where;
  // A path on another drive moves the selector first.
  chain.dirs->SetDirectory("C:\\");
  EXPECT_EQ(chain.combo->Drive(), 'c');
  EXPECT_TRUE(SameFileName(chain.files->Directory(), "C:\\")) << chain.files->Directory();
  // The file list's FileName goes through the directory list.
  chain.files->SetFileName("E:\\Tools\\Data\\Old");
  EXPECT_EQ(chain.combo->Drive(), 'e');
  for (const std::string& where : {chain.dirs->Directory(), chain.files->Directory(), CurrentDirectory()})
    EXPECT_TRUE(SameFileName(where, "E:\\Tools\\Data\\Old")) << where;
}

BOOL WINAPI NoMediumInA(LPCSTR path) {
  if ((path[0] == 'a' || path[0] == 'A') && path[1] == ':') {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  return SetCurrentDirectoryA(path);
}

TEST_F(Browsing, ARemovableDriveWithoutAMediumShowsTheErrorAndLeavesTheLists) {
  TChain chain(form);
  chain.Pick('e');
  chain.dirs->SetDirectory("E:\\Tools\\Data");
  std::string before = chain.dirs->Directory();
  EnterDirectorySeam = NoMediumInA;
  ShownMessageBox box = CaptureMessageBox([&] { chain.Pick('a'); });
  EXPECT_TRUE(box.shown);
  EXPECT_EQ(box.text, "I/O error 21.");
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()), "a:");
  EXPECT_EQ(chain.dirs->Directory(), before);
  EXPECT_EQ(chain.files->Directory(), before);
  // The directory list's drive again: both back in step.
  chain.Pick('e');
  EXPECT_EQ(chain.combo->Drive(), 'e');
  EXPECT_EQ(chain.dirs->Directory(), before);
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()).substr(0, 2), "e:");
}

std::vector<UINT> errorModesSeen;

BOOL WINAPI EnterRecordingTheErrorMode(LPCSTR path) {
  UINT mode = SetErrorMode(0);
  SetErrorMode(mode);
  errorModesSeen.push_back(mode);
  return SetCurrentDirectoryA(path);
}

// Wine never shows the system's "No disk" box: what is checked is that the box is turned off
// whenever a drive or directory is entered, and the previous mode back afterwards.
TEST_F(Browsing, DrivesAndDirectoriesAreEnteredWithTheSystemsErrorBoxOff) {
  TChain chain(form);
  UINT before = SetErrorMode(0);
  errorModesSeen.clear();
  EnterDirectorySeam = EnterRecordingTheErrorMode;
  chain.Pick('e');
  chain.dirs->SetDirectory("E:\\Tools\\Data");
  chain.files->SetFileName("E:\\Tools\\Data\\Sub");
  ASSERT_GE(errorModesSeen.size(), 3u);
  auto withBox = std::count_if(errorModesSeen.begin(), errorModesSeen.end(),
                               [](UINT mode) { return (mode & SEM_FAILCRITICALERRORS) == 0; });
  EXPECT_EQ(withBox, 0) << "of " << errorModesSeen.size();
  EXPECT_EQ(SetErrorMode(before), 0u);
}

// The platform remembers a drive's current directory in the environment ("=E:").
TEST_F(Browsing, ADriveWhoseRememberedDirectoryIsGoneIsEnteredAtItsRoot) {
  ASSERT_TRUE(SetEnvironmentVariableA("=E:", "E:\\Tools\\Gone"));
  struct Forgotten {
    ~Forgotten() { SetEnvironmentVariableA("=E:", nullptr); }
  } forgotten;
  SplitPathResult parts = SplitPathText("E:\\Tools\\Data");
  EXPECT_EQ(parts.drive, 'E');
  EXPECT_EQ(parts.directory, "\\Tools\\Data");
  EXPECT_EQ(CurrentDirectory(), "C:\\");
  TChain chain(form);
  chain.Pick('e');
  EXPECT_TRUE(SameFileName(chain.dirs->Directory(), "E:\\")) << chain.dirs->Directory();
  EXPECT_EQ(chain.combo->Drive(), 'e');
}

DWORD WINAPI DrivesWithoutG() { return GetLogicalDrives() & ~(1u << ('G' - 'A')); }

struct Announcement {
  WPARAM event;
  DEV_BROADCAST_VOLUME volume;
};

BOOL CALLBACK Announce(HWND window, LPARAM data) {
  auto* a = reinterpret_cast<Announcement*>(data);
  SendMessageA(window, WM_DEVICECHANGE, a->event, reinterpret_cast<LPARAM>(&a->volume));
  return TRUE;
}

// What the system sends every top-level window when a volume comes or goes.
void AnnounceVolume(WPARAM event, char letter) {
  Announcement announcement{event, {sizeof(DEV_BROADCAST_VOLUME), DBT_DEVTYP_VOLUME, 0, 1u << (letter - 'A'), 0}};
  EnumThreadWindows(GetCurrentThreadId(), Announce, reinterpret_cast<LPARAM>(&announcement));
}

// Wine cannot plug in a drive while a program runs: the drives present come from the seam.
TEST_F(Browsing, DrivesThatComeAndGoJoinAndLeaveTheSelector) {
  TChain chain(form);
  // The selector starts to watch once its thread serves the queue.
  PumpMessages();
  ASSERT_GE(chain.LineOf('g'), 0);
  chain.events.clear();
  LogicalDrivesSeam = DrivesWithoutG;
  AnnounceVolume(DBT_DEVICEREMOVECOMPLETE, 'G');
  EXPECT_EQ(chain.LineOf('g'), -1);
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()).substr(0, 2), "c:");
  LogicalDrivesSeam = GetLogicalDrives;
  AnnounceVolume(DBT_DEVICEARRIVAL, 'G');
  EXPECT_GE(chain.LineOf('g'), 0);
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()).substr(0, 2), "c:");
  EXPECT_TRUE(chain.events.empty());
}

TEST_F(Browsing, RemovalNoticesClearTheLinks) {
  TChain chain(form);
  TObject::Free(chain.files);
  EXPECT_EQ(chain.dirs->FileList(), nullptr);
  TObject::Free(chain.label);
  EXPECT_EQ(chain.dirs->DirLabel(), nullptr);
  TObject::Free(chain.dirs);
  EXPECT_EQ(chain.combo->DirList(), nullptr);
  chain.Pick('e');  // no list to move any more
  EXPECT_EQ(chain.combo->Drive(), 'e');
}

TEST_F(Browsing, SettingTheZeroDriveClearsTheSelectionAndTheListKeepsItsDirectory) {
  TChain chain(form);
  int listChanges = 0;
  chain.dirs->OnChange = [&](TObject*) { ++listChanges; };
  chain.combo->SetDrive('\0');
  EXPECT_EQ(chain.combo->ItemIndex(), -1);
  EXPECT_EQ(chain.dirs->Directory(), "C:\\");
  EXPECT_EQ(listChanges, 1);
  // The current drive again, any case, with a line selected: nothing.
  chain.combo->SetDrive('C');
  chain.events.clear();
  chain.combo->SetDrive('c');
  EXPECT_TRUE(chain.events.empty());
}

TEST_F(Browsing, TextCaseRebuildsAndReselectsEvenWhenUnchanged) {
  TChain chain(form);
  chain.events.clear();
  HWND before = chain.combo->Handle();
  chain.combo->SetTextCase(tcLowerCase);
  EXPECT_EQ(chain.events, (std::vector<std::string>{"change"}));
  EXPECT_EQ(chain.combo->Handle(), before);
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()).substr(0, 2), "c:");
  chain.combo->SetTextCase(tcUpperCase);
  EXPECT_EQ(chain.combo->Drive(), 'C');
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()).substr(0, 2), "C:");
}

TEST_F(Browsing, AFontChangeRecreatesTheSelectorWithItsLines) {
  TChain chain(form);
  int count = chain.combo->Items().Count();
  chain.combo->Font().SetHeight(-24);
  EXPECT_EQ(chain.combo->ItemHeight(), FontLineHeight(chain.combo->Font()));
  EXPECT_EQ(chain.combo->Items().Count(), count);
  EXPECT_EQ(chain.combo->Items().Get(chain.combo->ItemIndex()).substr(0, 2), "c:");
}

}  // namespace
