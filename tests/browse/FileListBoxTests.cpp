// The file list on real directories: attribute filters, masks, FileName read after a refresh
// and after a user's click, FileName write, failures, the hourglass, glyphs and drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "tests/browse/TempTree.h"
#include "tests/support/WindowTesting.h"

namespace {

using Lines = std::vector<std::string>;

Lines LinesOf(TFileListBox* list) {
  Lines lines;
  for (int i = 0; i < list->Items().Count(); ++i) lines.push_back(list->Items().Get(i));
  return lines;
}

Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A user's click on a line: the platform list moves its selection and reports it.
void ClickLine(TFileListBox* list, int index) {
  HWND window = list->Handle();
  RECT r{};
  SendMessageA(window, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(window, WM_LBUTTONUP, 0, at);
  PumpMessages();
}

class FileList : public testing::Test {
 protected:
  void SetUp() override {
    tree.File("a.pdf", FILE_ATTRIBUTE_NORMAL);
    tree.File("archive.pdf", FILE_ATTRIBUTE_ARCHIVE);
    tree.File("readonly.pdf", FILE_ATTRIBUTE_READONLY);
    tree.File("hidden.pdf", FILE_ATTRIBUTE_HIDDEN);
    tree.File("system.pdf", FILE_ATTRIBUTE_SYSTEM);
    tree.File("notes.txt");
    tree.File("tool.exe");
    tree.Directory("old");
    tree.File("old\\inner.pdf");
    form = new TForm(Application);
    form->SetBounds(0, 0, 300, 400);
    form->HandleNeeded();
  }
  void TearDown() override { TObject::Free(form); }

  template <class List = TFileListBox>
  List* MakeList(const std::string& mask = "*.*") {
    auto* list = new List(form);
    list->SetDirectory(tree.Root());
    list->SetMask(mask);
    list->SetBounds(0, 0, 200, 300);
    list->SetParent(form);
    return list;
  }

  TempTree tree;
  TForm* form = nullptr;
};

TEST_F(FileList, ConstructionDefaults) {
  auto* list = new TFileListBox(form);
  EXPECT_EQ(list->Width(), 145);
  EXPECT_EQ(list->Mask(), "*.*");
  EXPECT_EQ(list->FileType(), FileTypeOf({ftNormal}));
  EXPECT_EQ(list->Directory(), CurrentDirectory());
  EXPECT_EQ(list->ItemHeight(), 13);
  EXPECT_FALSE(list->ShowGlyphs());
  EXPECT_TRUE(list->Sorted());
  EXPECT_EQ(list->Style(), lbOwnerDrawFixed);
  // Nothing is read before the window exists.
  list->SetDirectory(tree.Root());
  EXPECT_EQ(list->Items().Count(), 0);
  list->SetParent(form);
  EXPECT_EQ(list->Items().Count(), 5);
  LONG style = GetWindowLongA(list->Handle(), GWL_STYLE);
  EXPECT_TRUE(style & LBS_SORT);
  EXPECT_TRUE(style & LBS_OWNERDRAWFIXED);
  EXPECT_TRUE(style & LBS_HASSTRINGS);
  EXPECT_TRUE(style & LBS_NOTIFY);
}

TEST_F(FileList, FileTypesFilterTheEntries) {
  auto* list = MakeList();
  struct Case {
    TFileType type;
    Lines lines;
  };
  const Case cases[] = {
      {FileTypeOf({ftNormal}), {"a.pdf", "archive.pdf", "notes.txt", "readonly.pdf", "tool.exe"}},
      {FileTypeOf({ftNormal, ftDirectory}),
       {"[.]", "[..]", "[old]", "a.pdf", "archive.pdf", "notes.txt", "readonly.pdf", "tool.exe"}},
      {FileTypeOf({ftNormal, ftHidden, ftSystem}),
       {"a.pdf", "archive.pdf", "hidden.pdf", "notes.txt", "readonly.pdf", "system.pdf", "tool.exe"}},
      {FileTypeOf({ftDirectory}), {"[.]", "[..]", "[old]"}},
      {FileTypeOf({ftReadOnly}), {"readonly.pdf"}},
      {FileTypeOf({ftHidden}), {"hidden.pdf"}},
      {0, {}},
  };
  for (const Case& c : cases) {
    list->SetFileType(c.type);
    EXPECT_EQ(Sorted(LinesOf(list)), Sorted(c.lines)) << int(c.type);
  }
  // Directory lines sort among the file lines by the platform's own order.
  list->SetFileType(FileTypeOf({ftNormal, ftDirectory}));
  Lines shown = LinesOf(list);
  Lines again = shown;
  std::stable_sort(again.begin(), again.end(), [](const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  });
  EXPECT_EQ(shown, again);
}

TEST_F(FileList, MasksSplitAtSemicolonsAsTheyStand) {
  auto* list = MakeList();
  struct Case {
    const char* mask;
    Lines lines;
  };
  const Case cases[] = {
      {"*.pdf;*.txt", {"a.pdf", "archive.pdf", "notes.txt", "readonly.pdf"}},
      {"*.pdf;", {"a.pdf", "archive.pdf", "readonly.pdf"}},
      {"*.txt;*.TXT", {"notes.txt", "notes.txt"}},  // matched twice, listed twice
      {";;", {}},
      {"", {}},
      {"*.none", {}},
      {"*.EXE", {"tool.exe"}},
  };
  for (const Case& c : cases) {
    list->SetMask(c.mask);
    EXPECT_EQ(Sorted(LinesOf(list)), Sorted(c.lines)) << c.mask;
    EXPECT_EQ(list->FileName(), "") << c.mask;
  }
}

TEST_F(FileList, UserClickFiresOnClickWithTheFileNameThenOnChange) {
  auto* list = MakeList("*.pdf");
  std::vector<std::string> events;
  list->OnClick = [&](TObject*) { events.push_back("click " + list->FileName()); };
  list->OnChange = [&](TObject*) { events.push_back("change " + list->FileName()); };
  EXPECT_EQ(list->FileName(), "");
  ClickLine(list, 1);
  std::string second = JoinPath(tree.Root(), list->Items().Get(1));
  EXPECT_EQ(events, (std::vector<std::string>{"click " + second, "change " + second}));
  // The same line again: a click, but no change.
  events.clear();
  ClickLine(list, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"click " + second}));
  // Selection from code raises nothing; a refresh clears it.
  events.clear();
  list->SetItemIndex(0);
  EXPECT_TRUE(events.empty());
  list->RefreshFiles();
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->FileName(), "");
  EXPECT_EQ(events, (std::vector<std::string>{"change "}));
}

TEST_F(FileList, KeyboardSelectionIsAUserSelectionToo) {
  auto* list = MakeList("*.pdf");
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  SetFocus(list->Handle());
  SendMessageA(list->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  PumpMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(list->FileName(), JoinPath(tree.Root(), list->Items().Get(list->ItemIndex())));
}

TEST_F(FileList, FileNameAtADriveRootHasOneBackslash) {
  std::string name = "folvane-root-" + std::to_string(GetCurrentProcessId()) + ".pdf";
  std::string path = "C:\\" + name;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  auto* list = MakeList(name);
  list->SetDirectory("C:\\");
  ASSERT_EQ(LinesOf(list), Lines{name});
  ClickLine(list, 0);
  EXPECT_EQ(list->FileName(), path);
  DeleteFileA(path.c_str());
}

TEST_F(FileList, DirectoryWriteMovesRelativeToItsOwnDirectoryOrRaisesAndStays) {
  auto* list = MakeList("*.pdf");
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  // The same directory by the file-name comparison: nothing happens.
  list->SetDirectory(FileNameUpperCase(tree.Root()));
  EXPECT_EQ(changes, 0);
  // Relative to the list's directory, wherever the process is.
  SetCurrentDirectoryA("C:\\");
  list->SetDirectory("old");
  EXPECT_EQ(list->Directory(), tree.Path("old"));
  EXPECT_EQ(CurrentDirectory(), tree.Path("old"));
  EXPECT_EQ(LinesOf(list), Lines{"inner.pdf"});
  EXPECT_EQ(changes, 1);
  for (const std::string& bad : {tree.Path("missing"), tree.Path("a.pdf"), tree.Path(std::string(300, 'q'))}) {
    EXPECT_THROW(list->SetDirectory(bad), EInOutError) << bad;
    EXPECT_EQ(list->Directory(), tree.Path("old"));
    EXPECT_EQ(LinesOf(list), Lines{"inner.pdf"});
  }
  try {
    list->SetDirectory(tree.Path("missing"));
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "File not found");
  }
}

TEST_F(FileList, AVanishedDirectoryKeepsTheListAsItWas) {
  std::string gone = tree.Directory("gone");
  tree.File("gone\\x.pdf");
  auto* list = MakeList("*.pdf");
  list->SetDirectory(gone);
  ASSERT_EQ(LinesOf(list), Lines{"x.pdf"});
  SetCurrentDirectoryA(tree.Root().c_str());
  DeleteFileA((gone + "\\x.pdf").c_str());
  ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));
  EXPECT_THROW(list->RefreshFiles(), EInOutError);
  EXPECT_EQ(LinesOf(list), Lines{"x.pdf"});
  EXPECT_EQ(list->Directory(), gone);
}

TEST_F(FileList, AFileDeletedAfterListingStaysListedUntilTheNextRefresh) {
  auto* list = MakeList("*.pdf");
  ClickLine(list, 0);
  std::string first = list->FileName();
  ASSERT_EQ(first, tree.Path("a.pdf"));
  ASSERT_TRUE(DeleteFileA(first.c_str()));
  EXPECT_EQ(list->FileName(), first);
  // Naming it now selects its line and then finds no file.
  list->SetItemIndex(-1);
  try {
    list->SetFileName(first);
    ADD_FAILURE();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "File not found");
  }
  list->SetMask("*.pdf");  // unchanged: no refresh
  EXPECT_EQ(list->Items().IndexOf("a.pdf"), 0);
  list->RefreshFiles();
  EXPECT_EQ(list->Items().IndexOf("a.pdf"), -1);
}

TEST_F(FileList, FileNameWriteCases) {
  tree.File("a;b.pdf");
  auto* list = MakeList("*.pdf");
  ChangeDirectory(tree.Root());
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };

  // A listed file: selected.
  list->SetFileName("archive.pdf");
  EXPECT_EQ(list->SelectedItemText(), "archive.pdf");
  EXPECT_EQ(list->FileName(), tree.Path("archive.pdf"));
  EXPECT_GE(changes, 1);

  // A wildcard: the mask changes, the directory stays.
  list->SetFileName("*.txt");
  EXPECT_EQ(list->Mask(), "*.txt");
  EXPECT_EQ(list->Directory(), tree.Root());
  EXPECT_EQ(LinesOf(list), Lines{"notes.txt"});

  // A file hidden by the mask: the mask becomes its name and it is selected.
  list->SetFileName("tool.exe");
  EXPECT_EQ(list->Mask(), "tool.exe");
  EXPECT_EQ(list->SelectedItemText(), "tool.exe");
  // Its name holding the mask's separator: a pattern that still matches it.
  list->SetFileName("a;b.pdf");
  EXPECT_EQ(list->Mask(), "a?b.pdf");
  EXPECT_EQ(list->SelectedItemText(), "a;b.pdf");

  // A misspelt name: neither file nor directory.
  try {
    list->SetFileName("toll.exe");
    ADD_FAILURE();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "File not found");
  }
  EXPECT_EQ(list->Directory(), tree.Root());
  EXPECT_EQ(CurrentDirectory(), tree.Root());

  // A subdirectory: the list moves there.
  list->SetMask("*.pdf");
  list->SetFileName("old");
  EXPECT_EQ(list->Directory(), tree.Path("old"));
  EXPECT_EQ(LinesOf(list), Lines{"inner.pdf"});

  // A full path into another directory with a file: moves and selects.
  list->SetFileName(tree.Path("readonly.pdf"));
  EXPECT_EQ(list->Directory(), tree.Root());
  EXPECT_EQ(list->SelectedItemText(), "readonly.pdf");

  // Empty, or the same file by the file-name comparison: nothing.
  changes = 0;
  list->SetFileName("");
  list->SetFileName(FileNameUpperCase(tree.Path("readonly.pdf")));
  EXPECT_EQ(changes, 0);
}

TEST_F(FileList, FileNameWriteOfABracketedDirectoryLineMovesIntoIt) {
  auto* list = MakeList("*.pdf");
  ChangeDirectory(tree.Root());
  // A directory whose name looks like a file: not listed as a file, not a file.
  tree.Directory("folder.pdf");
  try {
    list->SetFileName("[folder.pdf]");
  } catch (const Exception& e) {
    ADD_FAILURE() << e.Message();
  }
  EXPECT_EQ(list->Directory(), tree.Path("folder.pdf"));
}

TEST_F(FileList, LinkedEditMirrorsTheSelectionOrTheMask) {
  auto* list = MakeList("*.pdf");
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  list->SetFileEdit(edit);
  EXPECT_EQ(edit->Text(), "*.pdf");
  ClickLine(list, 2);
  EXPECT_EQ(edit->Text(), list->Items().Get(2));
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_EQ(edit->SelLength(), static_cast<int>(edit->Text().size()));
  list->SetMask("*.txt");
  EXPECT_EQ(edit->Text(), "*.txt");
  TObject::Free(edit);
  EXPECT_EQ(list->FileEdit(), nullptr);
  list->SetMask("*.pdf");  // no edit to write to any more
}

TEST_F(FileList, GlyphsAreChosenByExtensionAndDirectoriesGetThemOnlyWhenShown) {
  tree.File("run.BAT");
  auto* list = MakeList();
  list->SetFileType(FileTypeOf({ftNormal, ftDirectory}));
  auto object = [&](const char* line) { return list->Items().Object(list->Items().IndexOf(line)); };
  TObject* program = object("tool.exe");
  TObject* other = object("a.pdf");
  EXPECT_NE(program, nullptr);
  EXPECT_NE(other, nullptr);
  EXPECT_NE(program, other);
  EXPECT_EQ(object("run.BAT"), program);
  EXPECT_EQ(object("notes.txt"), other);
  EXPECT_EQ(object("[old]"), nullptr);
  list->SetShowGlyphs(true);
  EXPECT_EQ(list->ItemHeight(), 16);
  // Recreated for the new height: the lines are read again, now with directory glyphs.
  EXPECT_NE(object("[old]"), nullptr);
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETITEMHEIGHT, 0, 0), 16);
}

TEST_F(FileList, ShowGlyphsAfterARefreshLeavesDirectoryLinesWithoutUntilTheNext) {
  auto* list = MakeList();
  list->SetFileType(FileTypeOf({ftNormal, ftDirectory}));
  list->SetItemHeight(20);  // tall enough: no recreation
  list->SetShowGlyphs(true);
  EXPECT_EQ(list->ItemHeight(), 20);
  EXPECT_EQ(list->Items().Object(list->Items().IndexOf("[old]")), nullptr);
  list->RefreshFiles();
  EXPECT_NE(list->Items().Object(list->Items().IndexOf("[old]")), nullptr);
}

TEST_F(FileList, ItemHeightFollowsTheFont) {
  auto* list = MakeList();
  list->Font().SetHeight(-24);
  EXPECT_EQ(list->ItemHeight(), FontLineHeight(list->Font()));
  EXPECT_GT(list->ItemHeight(), 13);
  EXPECT_EQ(list->Items().Count(), 5);
}

// Draws one line into a bitmap the way the platform asks for it.
struct DrawnLine {
  explicit DrawnLine(TFileListBox* list, int index, bool selected) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, 200, list->ItemHeight());
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT info{};
    info.CtlType = ODT_LISTBOX;
    info.itemID = static_cast<UINT>(index);
    info.itemAction = ODA_DRAWENTIRE;
    info.itemState = selected ? ODS_SELECTED : 0;
    info.hwndItem = list->Handle();
    info.hDC = dc;
    info.rcItem = RECT{0, 0, 200, list->ItemHeight()};
    list->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&info));
  }
  ~DrawnLine() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  bool Has(COLORREF colour, int left, int right, int height) const {
    for (int x = left; x < right; ++x)
      for (int y = 0; y < height; ++y)
        if (GetPixel(dc, x, y) == colour) return true;
    return false;
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

TEST_F(FileList, DrawsGlyphAtTwoAndTextAfterItOnTheHighlight) {
  auto* list = MakeList("*.pdf");
  list->SetShowGlyphs(true);
  int h = list->ItemHeight();
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  {
    DrawnLine line(list, 0, true);
    EXPECT_EQ(GetPixel(line.dc, 0, 0), highlight);
    EXPECT_EQ(GetPixel(line.dc, 2, (h - 15) / 2), highlight);     // glyph background takes the brush
    EXPECT_EQ(GetPixel(line.dc, 5, (h - 15) / 2), RGB(0, 0, 0));  // the page's outline
    EXPECT_FALSE(line.Has(highlightText, 18, 22, h));
    EXPECT_TRUE(line.Has(highlightText, 22, 40, h));
  }
  list->SetShowGlyphs(false);
  {
    DrawnLine line(list, 0, false);
    COLORREF window = ColorToRGB(list->Color());
    EXPECT_EQ(GetPixel(line.dc, 5, 0), window);
    EXPECT_TRUE(line.Has(ColorToRGB(clWindowText), 2, 10, h));
  }
}

// Watches the lines that the list puts into its own window.
class TWatchedFileList : public TFileListBox {
 public:
  using TFileListBox::TFileListBox;
  std::vector<TCursor> cursorAtInsert;
  int refuseAt = -1;

 protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == LB_ADDSTRING || m.Msg == LB_INSERTSTRING) {
      int n = static_cast<int>(cursorAtInsert.size());
      cursorAtInsert.push_back(Screen->Cursor());
      if (n == refuseAt) {
        m.Result = LB_ERRSPACE;
        return;
      }
    }
    TFileListBox::WndProc(m);
  }
};

TEST_F(FileList, HourglassFromPosition100AndTheCursorAlwaysComesBack) {
  tree.Directory("many");
  for (int i = 0; i < 101; ++i) tree.File("many\\" + Format("f%03d.dat", i));
  auto* list = MakeList<TWatchedFileList>("f0*.dat;f1*.dat");
  Screen->SetCursor(crCross);
  list->SetDirectory("many");
  // 100 lines (positions 0 to 99) are no large directory; a line at position 100 makes one.
  for (auto [mask, lines, cursor] :
       {std::tuple{"f0*.dat", 100, crCross}, std::tuple{"f0*.dat;f1*.dat", 101, crHourGlass}}) {
    list->cursorAtInsert.clear();
    list->SetMask(mask);
    ASSERT_EQ(list->cursorAtInsert.size(), static_cast<std::size_t>(lines)) << mask;
    EXPECT_EQ(list->cursorAtInsert.back(), cursor) << mask;
    EXPECT_EQ(Screen->Cursor(), crCross) << mask;
  }

  // A line that the platform refuses ends the refresh; the cursor still comes back.
  list->cursorAtInsert.clear();
  list->refuseAt = 100;
  try {
    list->RefreshFiles();
    ADD_FAILURE();
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Unable to insert a line");
  }
  EXPECT_EQ(Screen->Cursor(), crCross);
  Screen->SetCursor(crDefault);
}

// Makes a file through the wide interface, for names that the ANSI code page cannot hold.
void WideFile(const std::wstring& path, const std::string& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ShortNameOf(const std::wstring& path) {
  wchar_t shortPath[MAX_PATH] = {};
  GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  return ExtractFileName(WideToAnsi(shortPath));
}

TEST_F(FileList, EveryLineReachesItsOwnFileAlsoWhenTheCodePageLacksItsName) {
  std::string longName = std::string(200, 'n') + ".pdf";
  tree.File(longName);
  tree.File("ab.pdf", FILE_ATTRIBUTE_ARCHIVE, "ab");
  // Chinese, which the code page lacks, and a name that it would turn into "ab.pdf".
  std::wstring root = AnsiToWide(tree.Root());
  WideFile(root + L"\\\x4E2D\x6587.pdf", "chinese");
  WideFile(root +
               L"\\\x0105"
               L"b.pdf",
           "ogonek");
  auto* list = MakeList("*.pdf");
  Lines lines = LinesOf(list);
  EXPECT_EQ(lines.size(), 7u);
  EXPECT_NE(list->Items().IndexOf(longName), -1);
  std::string chinese = ShortNameOf(root + L"\\\x4E2D\x6587.pdf");
  EXPECT_NE(list->Items().IndexOf(chinese), -1) << "listed by its short name " << chinese;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ab.pdf"), 1);
  // Each line's FileName finds that very file: distinct files, each with its own size.
  std::vector<unsigned> sizes;
  for (int i = 0; i < list->Items().Count(); ++i) {
    list->SetItemIndex(i);
    TSearchRec found;
    int matches = 0;
    SearchDirectory(list->FileName(), faAnyFile, [&](const TSearchRec& r) {
      found = r;
      ++matches;
    });
    ASSERT_EQ(matches, 1) << list->FileName();
    EXPECT_EQ(found.Name, list->Items().Get(i));
    if (found.Size > 1) sizes.push_back(found.Size);
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<unsigned>{2, 6, 7}));
}

// The longest directory that can be current (257 characters): its file's full path is longer
// than MAX_PATH, which the ANSI functions, and so the viewer and the search, cannot take.
TEST_F(FileList, FilesAndDirectoriesBeyondMaxPathAreReachedByTheirShortPaths) {
  std::string relative = std::string(20, 'd');
  tree.Directory(relative);
  while (tree.Path(relative).size() + 42 < 257) tree.Directory(relative += "\\" + std::string(20, 'd'));
  relative += "\\" + std::string(257 - tree.Path(relative).size() - 1, 'e');
  tree.Directory(relative);
  const std::string directory = tree.Path(relative);
  ASSERT_EQ(directory.size(), 257u);
  std::wstring wide = L"\\\\?\\" + AnsiToWide(directory);
  WideFile(wide + L"\\report.pdf", "12345");
  ASSERT_TRUE(CreateDirectoryW((wide + L"\\sub").c_str(), nullptr));
  auto* list = MakeList("*.pdf");
  list->SetDirectory(directory);
  ASSERT_EQ(LinesOf(list), Lines{"report.pdf"});
  list->SetItemIndex(0);
  std::string name = list->FileName();
  EXPECT_LT(name.size(), static_cast<std::size_t>(MAX_PATH));
  EXPECT_NE(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES) << name;
  unsigned size = 0;
  SearchDirectory(name, faAnyFile, [&](const TSearchRec& r) { size = r.Size; });
  EXPECT_EQ(size, 5u);
  // A directory below it: entered by its short form.
  list->SetMask("*.*");
  list->SetFileType(FileTypeOf({ftNormal, ftDirectory}));
  EXPECT_NO_THROW(list->SetDirectory(directory + "\\sub"));
  EXPECT_TRUE(IsExistingDirectory(list->Directory()));
  EXPECT_NE(list->Directory(), directory);
}

// A directory list that makes a file right after its own read of a folder, before the file
// list hears of the move: a file list that lists it read the folder a second time.
class TLateFileDirList : public TDirectoryListBox {
 public:
  using TDirectoryListBox::TDirectoryListBox;
  std::string lateFile;
  void RebuildItems() override {
    TDirectoryListBox::RebuildItems();
    if (!lateFile.empty())
      CloseHandle(CreateFileA(lateFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
};

TEST_F(FileList, AMoveOfTheDirectoryListReadsTheFolderOnceForBothLists) {
  for (const char* name : {"report.pdfx", "UPPER.PDF", "two.dots.pdf", "pdf", ".pdf"}) tree.File(name);
  tree.Directory("sub.pdf");
  for (int i = 0; i < 101; ++i) tree.File(Format("h%03d.pdf", i));
  std::wstring root = AnsiToWide(tree.Root());
  WideFile(root + L"\\caf\x00E9.pdf", "e acute");
  const std::wstring oddName = root + L"\\odd.pd\x0131";  // decided by the system's case rules
  const std::string late = tree.Path("late.pdf");
  auto* files = MakeList<TWatchedFileList>("*.pdf");
  auto* dirs = new TLateFileDirList(form);
  dirs->SetBounds(0, 0, 100, 100);
  dirs->SetParent(form);
  dirs->SetFileList(files);
  struct Case {
    const char* mask;
    TFileType type;
    bool oddFile;
    bool shared;
  };
  for (Case c :
       {Case{"*.pdf", FileTypeOf({ftNormal}), false, true},
        Case{"*.PDF;*.txt", FileTypeOf({ftNormal, ftHidden, ftDirectory}), false, true},
        Case{"*.*;*.pdf", FileTypeOf({ftDirectory, ftReadOnly}), false, true},
        Case{"*", FileTypeOf({ftNormal, ftSystem}), false, true}, Case{"*.pd?", FileTypeOf({ftNormal}), false, false},
        Case{"*.pdf", FileTypeOf({ftNormal}), true, false}}) {
    files->SetMask(c.mask);
    files->SetFileType(c.type);
    dirs->SetDirectory(tree.Path("old"));
    if (c.oddFile) WideFile(oddName, "odd");
    Screen->SetCursor(crCross);
    files->cursorAtInsert.clear();
    dirs->lateFile = late;
    dirs->SetDirectory(tree.Root());
    dirs->lateFile.clear();
    Lines moved = LinesOf(files);
    ASSERT_FALSE(files->cursorAtInsert.empty()) << c.mask;
    EXPECT_EQ(files->cursorAtInsert.back(), moved.size() > 100 ? crHourGlass : crCross) << c.mask;
    EXPECT_EQ(Screen->Cursor(), crCross) << c.mask;
    files->RefreshFiles();
    Lines expected = LinesOf(files);
    if (c.shared) expected.erase(std::remove(expected.begin(), expected.end(), "late.pdf"), expected.end());
    EXPECT_EQ(moved, expected) << c.mask << (c.oddFile ? " with an odd name" : "");
    DeleteFileA(late.c_str());
    DeleteFileW(oddName.c_str());
  }
  Screen->SetCursor(crDefault);
}

}  // namespace
