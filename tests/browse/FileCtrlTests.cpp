// The path and volume helpers: the tables of joining, dropping, shortening, depth and
// splitting, the name rules, the directory search, changing directory and glyph drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "browse/FileCtrl.h"
#include "browse/FileListBox.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "tests/browse/TempTree.h"

namespace {

struct TextCase {
  const char* before;
  const char* after;
};

// Dates a file's last change in the given year (UTC).
void SetYearOfLastChange(const std::string& path, WORD year) {
  SYSTEMTIME time{year, 6, 0, 1, 10, 20, 30, 0};
  FILETIME written;
  ASSERT_TRUE(SystemTimeToFileTime(&time, &written));
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  CloseHandle(file);
}

TEST(PathText, JoinPathNeverDoublesTheSeparator) {
  struct Case {
    const char* directory;
    const char* name;
    const char* joined;
  };
  for (const Case& c :
       {Case{"C:\\", "a.pdf", "C:\\a.pdf"}, Case{"C:\\docs", "a.pdf", "C:\\docs\\a.pdf"},
        Case{"\\\\srv\\share", "a.pdf", "\\\\srv\\share\\a.pdf"}, Case{"C:\\docs\\", "[old]", "C:\\docs\\[old]"}})
    EXPECT_EQ(JoinPath(c.directory, c.name), c.joined) << c.directory;
}

TEST(PathText, DropFirstDirectoryStepByStep) {
  for (const TextCase& c : {TextCase{"\\a\\b\\c\\", "\\...\\b\\c\\"}, TextCase{"\\...\\b\\c\\", "\\...\\c\\"},
                            TextCase{"\\...\\c\\", "\\...\\"}, TextCase{"a\\b\\", "...\\b\\"}, TextCase{"...\\", ""},
                            TextCase{"\\", ""}, TextCase{"\\.ab\\x\\", "\\...\\"}}) {
    std::string text = c.before;
    DropFirstDirectory(text);
    EXPECT_EQ(text, c.after) << c.before;
  }
}

TEST(PathText, ShortenPathPassesThroughEachStepAsTheRoomNarrows) {
  const std::string path = "C:\\Tools\\Data\\Sub\\report.pdf";
  auto width = [](const std::string& text) { return static_cast<int>(text.size()); };
  std::vector<std::string> steps;
  for (int room = static_cast<int>(path.size()); room >= 0; --room) {
    std::string shortened = ShortenPath(path, width, room);
    if (steps.empty() || steps.back() != shortened) steps.push_back(shortened);
  }
  std::vector<std::string> expected = {path,
                                       "C:\\...\\Data\\Sub\\report.pdf",
                                       "C:\\...\\Sub\\report.pdf",
                                       "C:\\...\\report.pdf",
                                       "...\\report.pdf",
                                       "report.pdf"};
  EXPECT_EQ(steps, expected);
  // Too narrow even for the name: the name alone is what remains.
  EXPECT_EQ(ShortenPath(path, width, 1), "report.pdf");
}

TEST(PathText, ShortenPathMeasuresWithTheCanvasFont) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  TCanvas canvas;
  canvas.SetHandle(dc);
  const std::string path = "C:\\Tools\\Data\\report.pdf";
  int full = canvas.TextWidth(path);
  EXPECT_EQ(ShortenPath(path, canvas, full), path);
  std::string shorter = ShortenPath(path, canvas, full - 1);
  EXPECT_EQ(shorter, "C:\\...\\Data\\report.pdf");
  EXPECT_LE(canvas.TextWidth(shorter), full - 1);
  canvas.SetHandle(nullptr);
  DeleteDC(dc);
}

TEST(PathText, PathDepthCountsBackslashes) {
  struct Case {
    const char* path;
    int depth;
  };
  for (const Case& c :
       {Case{"C:\\", 1}, Case{"C:\\a", 1}, Case{"C:\\a\\b", 2}, Case{"\\\\srv\\share\\a", 4}, Case{"", 0}})
    EXPECT_EQ(PathDepth(c.path), c.depth) << c.path;
}

TEST(PathText, PartsOfAPath) {
  EXPECT_EQ(ExtractFileDrive("C:\\docs\\a.pdf"), "C:");
  EXPECT_EQ(ExtractFileDrive("\\\\srv\\share\\x"), "\\\\srv\\share");
  EXPECT_EQ(ExtractFileDrive("\\\\srv\\share"), "\\\\srv\\share");
  EXPECT_EQ(ExtractFileDrive("docs\\a.pdf"), "");
  EXPECT_EQ(ExtractFilePath("C:\\docs\\a.pdf"), "C:\\docs\\");
  EXPECT_EQ(ExtractFilePath("D:a.pdf"), "D:");
  EXPECT_EQ(ExtractFileName("C:\\docs\\a.pdf"), "a.pdf");
  EXPECT_EQ(ExtractFileExt("C:\\docs\\a.pdf"), ".pdf");
  EXPECT_EQ(ExtractFileExt("C:\\v1.2\\readme"), "");
}

TEST(PathText, NameComparisons) {
  EXPECT_TRUE(SameFileName("C:\\Docs\\A.PDF", "c:\\docs\\a.pdf"));
  EXPECT_FALSE(SameFileName("a.pdf", "b.pdf"));
  EXPECT_NE(CompareCaseSensitive("abc", "ABC"), 0);
  EXPECT_EQ(CompareCaseInsensitive("abc", "ABC"), 0);
  EXPECT_EQ(FileNameLowerCase("ABC\\D.PDF"), "abc\\d.pdf");
  EXPECT_EQ(FileNameUpperCase("abc"), "ABC");
  EXPECT_EQ(DisplayLowerCase("Report.PDF"), "report.pdf");
}

TEST(Directories, EachSystemCodeHasItsMessage) {
  struct Case {
    int code;
    const char* message;
  };
  for (const Case& c : {Case{2, "File not found"}, Case{3, "Invalid filename"}, Case{4, "Too many open files"},
                        Case{5, "File access denied"}, Case{100, "Read beyond end of file"}, Case{101, "Disk full"},
                        Case{106, "Invalid numeric input"}, Case{21, "I/O error 21"}, Case{267, "I/O error 267"}}) {
    try {
      RaiseInOutError(c.code);
      ADD_FAILURE() << c.code;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.ErrorCode(), c.code);
    }
  }
}

TEST(Directories, ChangingToWhatIsNoDirectoryRaisesAndStays) {
  TempTree tree;
  std::string file = tree.File("a.pdf");
  ChangeDirectory(tree.Root());
  EXPECT_EQ(CurrentDirectory(), tree.Root());
  EXPECT_THROW(ChangeDirectory(tree.Path("missing")), EInOutError);
  EXPECT_THROW(ChangeDirectory(file), EInOutError);
  // Far beyond MAX_PATH: a clear error, no overflow.
  EXPECT_THROW(ChangeDirectory(tree.Path(std::string(400, 'x'))), EInOutError);
  EXPECT_EQ(CurrentDirectory(), tree.Root());
}

TEST(Directories, ExistingDirectoriesAndFiles) {
  TempTree tree;
  std::string dir = tree.Directory("sub");
  std::string file = tree.File("a.pdf");
  std::string hidden = tree.File("h.pdf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(IsExistingDirectory(dir));
  EXPECT_FALSE(IsExistingDirectory(file));
  EXPECT_FALSE(IsExistingDirectory(""));
  EXPECT_FALSE(IsExistingDirectory(tree.Path("missing")));
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_TRUE(IsExistingFile(hidden));
  // Dates that the packed form cannot hold do not make a file missing.
  for (WORD year : {1975, 2150}) {
    std::string dated = tree.File(std::to_string(year) + ".pdf");
    SetYearOfLastChange(dated, year);
    EXPECT_TRUE(IsExistingFile(dated)) << year;
  }
  EXPECT_FALSE(IsExistingFile(dir));
  EXPECT_FALSE(IsExistingFile(tree.Path("missing.pdf")));
}

TEST(Directories, SearchLeavesOutUnrequestedHiddenSystemAndDirectoryEntries) {
  TempTree tree;
  tree.File("normal.pdf", FILE_ATTRIBUTE_NORMAL);
  tree.File("archive.pdf", FILE_ATTRIBUTE_ARCHIVE);
  tree.File("readonly.pdf", FILE_ATTRIBUTE_READONLY);
  tree.File("hidden.pdf", FILE_ATTRIBUTE_HIDDEN);
  tree.File("system.pdf", FILE_ATTRIBUTE_SYSTEM);
  tree.File("other.txt", FILE_ATTRIBUTE_ARCHIVE, "twelve bytes");
  tree.Directory("dir.pdf");
  auto names = [&](const std::string& pattern, unsigned attributes) {
    std::vector<std::string> found;
    SearchDirectory(tree.Path(pattern), attributes, [&](const TSearchRec& r) { found.push_back(r.Name); });
    return found;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names("*.pdf", 0), (Names{"archive.pdf", "normal.pdf", "readonly.pdf"}));
  EXPECT_EQ(names("*.pdf", faHidden), (Names{"archive.pdf", "hidden.pdf", "normal.pdf", "readonly.pdf"}));
  EXPECT_EQ(names("*.pdf", faDirectory), (Names{"archive.pdf", "dir.pdf", "normal.pdf", "readonly.pdf"}));
  EXPECT_EQ(names("*.pdf", faAnyFile).size(), 6u);
  EXPECT_TRUE(names("*.none", faAnyFile).empty());
  EXPECT_TRUE(names("", faAnyFile).empty());

  TSearchRec other;
  SearchDirectory(tree.Path("other.txt"), 0, [&](const TSearchRec& r) { other = r; });
  EXPECT_EQ(other.Size, 12u);
  EXPECT_NE(other.Time, 0);
  EXPECT_TRUE(other.Attr & faArchive);
}

// A whole directory is read in large batches rather than searched: each entry must come as the
// system's search gives it, a drive's root included.
TEST(Directories, AWholeDirectoryReadsAsTheSearchGivesIt) {
  TempTree tree;
  tree.Directory("sub");
  tree.File("hidden.pdf", FILE_ATTRIBUTE_HIDDEN);
  tree.File("a long name with spaces.pdf", FILE_ATTRIBUTE_READONLY, "twelve bytes");
  SetYearOfLastChange(tree.File("old.txt"), 1985);
  CloseHandle(CreateFileW((AnsiToWide(tree.Root()) + L"\\\x4E2D\x6587.pdf").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr));
  for (const std::string& dir : {tree.Root(), ExtractFileDrive(tree.Root()) + "\\"}) {
    std::vector<WIN32_FIND_DATAW> searched;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(AnsiToWide(JoinPath(dir, "*")).c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << dir;
    do searched.push_back(data);
    while (FindNextFileW(search, &data));
    FindClose(search);
    std::size_t seen = 0;
    ReadDirectory(JoinPath(dir, "*.*"), faAnyFile, [&](const char* name, const WIN32_FIND_DATAW& read) {
      auto same = std::find_if(searched.begin(), searched.end(),
                               [&](const WIN32_FIND_DATAW& s) { return wcscmp(s.cFileName, read.cFileName) == 0; });
      ASSERT_NE(same, searched.end()) << name;
      ++seen;
      EXPECT_EQ(read.dwFileAttributes, same->dwFileAttributes) << name;
      EXPECT_EQ(CompareFileTime(&read.ftLastWriteTime, &same->ftLastWriteTime), 0) << name;
      EXPECT_EQ(CompareFileTime(&read.ftCreationTime, &same->ftCreationTime), 0) << name;
      EXPECT_EQ(read.nFileSizeLow, same->nFileSizeLow) << name;
      EXPECT_EQ(read.nFileSizeHigh, same->nFileSizeHigh) << name;
      EXPECT_STREQ(read.cAlternateFileName, same->cAlternateFileName) << name;
    });
    // Every entry but the one whose name the code page cannot hold and has no short name for.
    EXPECT_GE(seen + 1, searched.size()) << dir;
    EXPECT_GE(seen, dir == tree.Root() ? 6u : 1u) << dir;
  }
}

TEST(Directories, SearchIsClosedWhenTheCallerStopsWithAnError) {
  // A mask is searched by the system, a whole directory read in batches (a large one with the
  // next batch being read when the caller stops): each is closed.
  for (const auto& [pattern, files] : {std::pair{"*.pdf", 2}, {"*.*", 2}, {"*.*", 600}}) {
    TempTree tree;
    // Long names: fewer files fill the read's batches.
    auto name = [](int i) { return std::to_string(i) + std::string(150, 'x') + ".pdf"; };
    for (int i = 0; i < files; ++i) tree.File(name(i));
    int seen = 0;
    EXPECT_THROW(SearchDirectory(tree.Path(pattern), faAnyFile,
                                 [&](const TSearchRec&) {
                                   ++seen;
                                   throw EAbort();
                                 }),
                 EAbort);
    EXPECT_EQ(seen, 1);
    // The next read is whole, as if none had stopped.
    int entries = 0;
    ListDirectory(tree.Path(pattern), faAnyFile, [&](const char* name, unsigned) { entries += name[0] != '.'; });
    EXPECT_EQ(entries, files) << pattern;
    // An open search would keep the directory from being removed.
    for (int i = 0; i < files; ++i) EXPECT_TRUE(DeleteFileA(tree.Path(name(i)).c_str())) << name(i);
    EXPECT_TRUE(RemoveDirectoryA(tree.Root().c_str())) << pattern << " " << files;
    EXPECT_TRUE(CreateDirectoryA(tree.Root().c_str(), nullptr));
  }
}

// Wine gives every long name a short one and runs no system in UTF-8: the decisions are
// checked on entries and texts made here.
TEST(CodePages, ANameIsExactOnlyWhenTheCodePageHoldsEveryCharacter) {
  struct Case {
    unsigned codePage;
    const wchar_t* name;
    const char* exact;  // null: not exact
  } cases[] = {
      {1252, L"a.pdf", "a.pdf"},
      {1252,
       L"\x0105"
       L"b.pdf",
       nullptr},  // would become "ab.pdf"
      {1252, L"\x4E2D.pdf", nullptr},
      {CP_UTF8,
       L"\x0105"
       L"b.pdf",
       "\xC4\x85"
       "b.pdf"},
      {CP_UTF8, L"\xD83D\xDCC4.pdf", "\xF0\x9F\x93\x84.pdf"},
      {CP_UTF8, L"\xD83D.pdf", nullptr},  // a lone surrogate
      {CP_UTF8, L"x\xDCC4", nullptr},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(ExactInCodePage(c.codePage, c.name, out), c.exact != nullptr) << c.codePage << " case " << (&c - cases);
    if (c.exact) {
      EXPECT_EQ(out, c.exact) << c.codePage;
    }
  }
  auto entry = [](const wchar_t* name, const wchar_t* shortName) {
    WIN32_FIND_DATAW data{};
    wcscpy(data.cFileName, name);
    wcscpy(data.cAlternateFileName, shortName);
    return data;
  };
  EXPECT_EQ(ReachableName(entry(L"a.pdf", L"")), "a.pdf");
  EXPECT_EQ(ReachableName(entry(L"\x4E2D\x6587.pdf", L"4E2D~1.PDF")), "4E2D~1.PDF");
  // 8.3 names turned off: left out, never listed as the wildcard "??.pdf".
  EXPECT_EQ(ReachableName(entry(L"\x4E2D\x6587.pdf", L"")), "");
}

// Wine takes paths beyond MAX_PATH in the wide functions without the prefix, Windows does not.
TEST(LongPaths, TheExtendedFormIsUsedForFullPathsOfMaxPathOrMore) {
  const std::wstring longDir = L"C:\\" + std::wstring(300, L'x');
  const std::wstring longShare = L"\\\\srv\\share\\" + std::wstring(300, L'x');
  struct Case {
    std::wstring path, form;
  } cases[] = {
      {L"C:\\a.pdf", L"C:\\a.pdf"},
      {longDir, L"\\\\?\\" + longDir},
      {longDir + L"\\y\\..\\z", L"\\\\?\\" + longDir + L"\\z"},  // cleaned up before the prefix
      {longShare, L"\\\\?\\UNC\\srv\\share\\" + std::wstring(300, L'x')},
      {L"\\\\?\\" + longDir, L"\\\\?\\" + longDir},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.form) << WideToAnsi(c.path).substr(0, 20);
}

class SplitPath : public testing::Test {
 protected:
  void SetUp() override {
    docs = tree.Directory("docs");
    tree.File("docs\\a.pdf");
    work = tree.Directory("work");
    tree.Directory("work\\sub");
    tree.File("work\\b.pdf");
    SetYearOfLastChange(tree.File("work\\1975.pdf"), 1975);
    ChangeDirectory(work);
  }
  static std::string WithoutDrive(const std::string& path) { return path.substr(2); }
  TempTree tree;
  std::string docs, work;
};

TEST_F(SplitPath, ExamplesOfTheTable) {
  struct Case {
    std::string text;
    char drive;
    std::string directory;
    std::string file;
  };
  char drive = work[0];
  for (const Case& c :
       {Case{docs + "\\a.pdf", drive, WithoutDrive(docs), "a.pdf"}, Case{"*.txt", drive, WithoutDrive(work), "*.txt"},
        Case{"[sub]", drive, WithoutDrive(work) + "\\sub", ""}, Case{"sub", drive, WithoutDrive(work) + "\\sub", ""},
        Case{"b.pdf", drive, WithoutDrive(work), "b.pdf"}, Case{"1975.pdf", drive, WithoutDrive(work), "1975.pdf"},
        Case{"..\\docs\\a.pdf", drive, "..\\docs", "a.pdf"}, Case{std::string(1, drive) + ":\\", drive, "\\", ""}}) {
    SplitPathResult parts = SplitPathText(c.text);
    EXPECT_EQ(parts.drive, c.drive) << c.text;
    EXPECT_EQ(parts.directory, c.directory) << c.text;
    EXPECT_EQ(parts.file, c.file) << c.text;
    EXPECT_EQ(CurrentDirectory(), work) << c.text;
  }
}

TEST_F(SplitPath, RaisesForWhatIsNeitherFileNorDirectoryAndGoesBack) {
  struct Case {
    std::string text;
    const char* message;
  };
  for (const Case& c : {Case{"misspelt.pdf", "File not found"}, Case{docs + "\\nosuch\\a.pdf", "File not found"},
                        Case{std::string(300, 'y') + "\\a.pdf", nullptr}, Case{std::string(400, 'z'), nullptr}}) {
    try {
      SplitPathText(c.text);
      ADD_FAILURE() << c.text;
    } catch (const EInOutError& e) {
      if (c.message) EXPECT_EQ(e.Message(), c.message) << c.text;
      else EXPECT_FALSE(e.Message().empty());
    }
    EXPECT_EQ(CurrentDirectory(), work) << c.text;
  }
}

// On a share the drive text is the share itself: changing to it would go to the share's root.
TEST(SplitPathOnAShare, RelativeNamesStayInTheCurrentDirectory) {
  const std::string docs = "\\\\server\\share\\docs";
  const std::string sub = docs + "\\sub";
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  // The share is shared with other tests: it is left as it was, also after a failure.
  struct Removed {
    const std::string& path;
    ~Removed() {
      SetCurrentDirectoryA("C:\\");
      RemoveDirectoryA(path.c_str());
    }
  } removed{sub};
  struct Case {
    const char* text;
    std::string directory;
    const char* file;
  };
  for (const Case& c :
       {Case{"*.txt", docs, "*.txt"}, Case{"sub", sub, ""}, Case{"[sub]", sub, ""}, Case{"\\docs\\sub", sub, ""}}) {
    ChangeDirectory(docs);
    SplitPathResult parts = SplitPathText(c.text);
    EXPECT_EQ(parts.drive, '\0') << c.text;
    EXPECT_EQ(parts.directory, c.directory) << c.text;
    EXPECT_EQ(parts.file, c.file) << c.text;
    EXPECT_EQ(CurrentDirectory(), docs) << c.text;
  }
  // So a file list there takes a wildcard as its mask and keeps its directory.
  auto* list = new TFileListBox(Application);
  list->SetDirectory(docs);
  list->SetFileName("*.txt");
  EXPECT_EQ(list->Directory(), docs);
  EXPECT_EQ(list->Mask(), "*.txt");
  TObject::Free(list);
}

TEST(Volumes, LabelTextFollowsTheCaseOfTheLetterAndRestoresTheErrorMode) {
  UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
  std::string upper = VolumeLabelText('C');
  std::string lower = VolumeLabelText('c');
  EXPECT_EQ(SetErrorMode(before), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  char label[261] = {};
  GetVolumeInformationA("C:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(upper, "[" + FileNameUpperCase(label) + "]");
  EXPECT_EQ(lower, "[" + FileNameLowerCase(label) + "]");
}

TEST(Volumes, AnAbsentDriveGivesEmptyBracketsAndAnUnmappedDriveItsVolumeText) {
  char absent = 0;
  DWORD drives = GetLogicalDrives();
  for (int bit = 25; bit >= 3 && !absent; --bit)
    if (!(drives & (1u << bit))) absent = static_cast<char>('A' + bit);
  ASSERT_NE(absent, 0);
  EXPECT_EQ(VolumeLabelText(absent), "[]");
  EXPECT_EQ(NetworkDriveText(absent), "[]");
  EXPECT_EQ(NetworkDriveText('c'), VolumeLabelText('c'));
}

TEST(Fonts, LineHeightOfTheExplorerFont) {
  TFont font;
  font.SetName("MS Sans Serif");
  font.SetHeight(-11);
  EXPECT_EQ(FontLineHeight(font), 13);
}

TEST(Glyphs, AllTenAreFourBitBitmapsOfTheirSizes) {
  struct Case {
    const char* name;
    int width, height;
  };
  for (const Case& c : {Case{"FLOPPY", 16, 11}, Case{"HARD", 16, 11}, Case{"NETWORK", 16, 11}, Case{"CDROM", 16, 11},
                        Case{"RAM", 16, 11}, Case{"OPENFOLDER", 16, 15}, Case{"CLOSEDFOLDER", 16, 15},
                        Case{"CURRENTFOLDER", 16, 15}, Case{"EXECUTABLE", 16, 15}, Case{"UNKNOWNFILE", 16, 15}}) {
    HRSRC info = FindResourceA(GetModuleHandleA(nullptr), c.name, reinterpret_cast<LPCSTR>(RT_BITMAP));
    ASSERT_NE(info, nullptr) << c.name;
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(GetModuleHandleA(nullptr), info)));
    EXPECT_EQ(header->biBitCount, 4) << c.name;
    EXPECT_EQ(header->biWidth, c.width) << c.name;
    EXPECT_EQ(header->biHeight, c.height) << c.name;
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), c.name);
    EXPECT_EQ(BitmapSize(bitmap).cx, c.width) << c.name;
    DeleteObject(bitmap);
  }
}

TEST(Glyphs, DrawnCentredWithTheBackgroundInTheBrushColour) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP surface = CreateCompatibleBitmap(screen, 40, 20);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, surface);
  PatBlt(dc, 0, 0, 40, 20, BLACKNESS);
  HBITMAP glyph = LoadBitmapA(GetModuleHandleA(nullptr), "CLOSEDFOLDER");
  TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.Brush().SetColor(clRed);
  DrawGlyph(canvas, glyph, RECT{0, 0, 40, 20}, 2);
  // (0 + 20 - 15) / 2 = 2: rows 2..16, columns 2..17.
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 0, 0));    // background of the glyph
  EXPECT_EQ(GetPixel(dc, 3, 7), RGB(0, 0, 0));      // its outline
  EXPECT_EQ(GetPixel(dc, 5, 9), RGB(255, 255, 0));  // its yellow body
  EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0, 0, 0));      // above it: untouched
  EXPECT_EQ(GetPixel(dc, 18, 9), RGB(0, 0, 0));     // right of it: untouched
  canvas.SetHandle(nullptr);
  DeleteObject(glyph);
  SelectObject(dc, old);
  DeleteObject(surface);
  DeleteDC(dc);
}

}  // namespace
