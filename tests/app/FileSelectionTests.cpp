// The program from end to end: the real Folvane.exe started in a folder of test files, worked
// with real mouse and keyboard input, its status bar and viewer read back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/RunningProgram.h"
#include "tests/support/WindowTesting.h"

namespace {

// A Chinese name, which the program's ANSI code page cannot hold.
std::wstring ChinesePath(const std::string& folder) {
  return std::wstring(folder.begin(), folder.end()) + L"\\\x4E2D\x6587.pdf";
}

std::string TempFolder(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// Sets a file's last change to a local time, converted with the offset in force now.
void SetLastChange(const std::string& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0};
  FILETIME localTime, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
  ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
  CloseHandle(file);
}

class FileSelection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = TempFolder("folvane-e2e");
    CopyFileA(WindowsPath(FOLVANE_SAMPLES "/drawing.pdf").c_str(), (folder_ + "\\Report.PDF").c_str(), FALSE);
    SetLastChange(folder_ + "\\Report.PDF", 2004, 3, 7, 14, 5, 9);
    WriteFile(folder_ + "\\empty.pdf", "");
    WriteFile(folder_ + "\\one.pdf", "%");
    WriteFile(folder_ + "\\gone.pdf", "%PDF");
    WriteFile(folder_ + "\\notes.txt", "not a document");
    WriteFile(folder_ + "\\old.pdf", "%PDF");
    SetLastChange(folder_ + "\\old.pdf", 1975, 6, 1, 10, 20, 31);
    WriteFile(folder_ + "\\late.pdf", "%PDF");
    SetLastChange(folder_ + "\\late.pdf", 2150, 1, 2, 3, 4, 5);
    // Three GiB without writing them: the file system keeps the hole.
    HANDLE big = CreateFileA((folder_ + "\\big.pdf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 3LL << 30;
    SetFilePointerEx(big, end, nullptr, FILE_BEGIN);
    SetEndOfFile(big);
    CloseHandle(big);
    // Beside "ab.pdf", which "??.pdf" would find first.
    WriteFile(folder_ + "\\ab.pdf", "ab");
    std::string drawing = WindowsPath(FOLVANE_SAMPLES "/drawing.pdf");
    CopyFileW(std::wstring(drawing.begin(), drawing.end()).c_str(), ChinesePath(folder_).c_str(), FALSE);
    CreateDirectoryA((folder_ + "\\Sub").c_str(), nullptr);
    WriteFile(folder_ + "\\Sub\\inner.pdf", "%PDF");

    program_ = new RunningProgram(-1, folder_);
    viewer_ = program_->Window("TForm1");
    explorer_ = program_->Window("TForm2");
    if (!viewer_ || !explorer_) return;
    // The viewer window is shown last, when both windows have their controls.
    PumpUntil([] { return IsWindowVisible(viewer_) && IsWindowVisible(explorer_); }, 20000);
    bar_ = FindDescendant(viewer_, "TStatusBar");
    view_ = FindDescendant(viewer_, "FolvanePdfView");
    files_ = FindDescendant(explorer_, "TFileListBox");
    dirs_ = FindDescendant(explorer_, "TDirectoryListBox");
    drives_ = FindDescendant(explorer_, "TDriveComboBox");
    PumpUntil([] { return SendMessageA(files_, LB_GETCOUNT, 0, 0) > 0; }, 20000);
  }
  static void TearDownTestSuite() {
    if (viewer_) PostMessageA(viewer_, WM_CLOSE, 0, 0);
    if (program_) program_->ExitCode();
    delete program_;
    program_ = nullptr;
    for (const char* name : {"Report.PDF", "empty.pdf", "one.pdf", "gone.pdf", "notes.txt", "old.pdf", "late.pdf",
                             "big.pdf", "ab.pdf", "Sub\\inner.pdf"})
      DeleteFileA((folder_ + "\\" + name).c_str());
    DeleteFileW(ChinesePath(folder_).c_str());
    RemoveDirectoryA((folder_ + "\\Sub").c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  void SetUp() override {
    ASSERT_NE(viewer_, nullptr);
    ASSERT_NE(explorer_, nullptr);
    ASSERT_NE(bar_, nullptr);
    ASSERT_NE(files_, nullptr);
  }

  static std::string ClassOf(HWND w) {
    char name[64] = "none";
    if (w) GetClassNameA(w, name, sizeof name);
    return name;
  }
  // The window that holds the mouse in the program's thread, if any: a lost click may have gone there.
  static HWND ProgramCapture() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(files_, nullptr), &info) ? info.hwndCapture : nullptr;
  }
  // Clicks the file list's line showing `name` (the list may show another case).
  void ClickFile(const std::string& name) {
    int line = FindLine(files_, name);
    ASSERT_GE(line, 0) << name << " is listed";
    POINT centre = LineCentre(files_, line);
    ClickUntil(centre, [&] { return SendMessageA(files_, LB_GETCURSEL, 0, 0) == line; });
    POINT at{};
    GetCursorPos(&at);
    int selected = static_cast<int>(SendMessageA(files_, LB_GETCURSEL, 0, 0));
    ASSERT_EQ(selected, line) << "clicked at " << centre.x << "," << centre.y << ", pointer at " << at.x << "," << at.y
                              << ", selected " << ListLine(files_, selected) << ", top line "
                              << SendMessageA(files_, LB_GETTOPINDEX, 0, 0) << ", window there "
                              << ClassOf(WindowFromPoint(centre)) << ", foreground " << ClassOf(GetForegroundWindow())
                              << ", capture " << ClassOf(ProgramCapture());
  }
  // The four written panels once they show `name` (they are redrawn at the next paint).
  std::vector<std::string> PanelsAfter(const std::string& name) {
    PumpUntil([&] { return program_->StatusText(bar_, 0) == name; }, kInputWaitMs);
    return Panels();
  }
  std::vector<std::string> Panels() {
    std::vector<std::string> texts;
    for (int i = 0; i < 5; ++i) texts.push_back(program_->StatusText(bar_, i));
    return texts;
  }
  static std::string Size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return std::to_string((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + " bytes";
  }

  static inline std::string folder_;
  static inline RunningProgram* program_ = nullptr;
  static inline HWND viewer_ = nullptr, explorer_ = nullptr, bar_ = nullptr, view_ = nullptr, files_ = nullptr,
                     dirs_ = nullptr, drives_ = nullptr;
};

TEST_F(FileSelection, ListsOnlyTheFolderDocuments) {
  std::string lines;
  for (int i = 0; i < SendMessageA(files_, LB_GETCOUNT, 0, 0); ++i) lines += ListLine(files_, i) + " ";
  EXPECT_EQ(SendMessageA(files_, LB_GETCOUNT, 0, 0), 9) << lines;
  EXPECT_EQ(FindLine(files_, "notes.txt"), -1);
  EXPECT_GE(FindLine(dirs_, "Sub"), 0) << "the subdirectory is listed";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(program_->StatusText(bar_, i), "") << "panel " << i << " starts empty";
}

TEST_F(FileSelection, ClickingAFileShowsItsPageAndItsFacts) {
  // The prefix's regional settings (English, United States) give the texts below.
  char format[64] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format, sizeof format);
  ASSERT_STREQ(format, "M/d/yyyy");
  ASSERT_NE(view_, nullptr);
  EXPECT_FALSE(PageShown(view_));

  ClickFile("Report.PDF");
  std::vector<std::string> panels = PanelsAfter("Report.PDF");
  EXPECT_EQ(panels[0], "Report.PDF") << "the name as stored on disk";
  EXPECT_EQ(panels[1], Size(folder_ + "\\Report.PDF"));
  EXPECT_EQ(panels[2], "3/7/2004");
  EXPECT_EQ(panels[3], "2:05:08 PM") << "an odd second shows as the even second below";
  EXPECT_EQ(panels[4], "");
  EXPECT_TRUE(PumpUntil([] { return PageShown(view_); }, 30000)) << "the viewer shows the page";
}

TEST_F(FileSelection, AFileNamedOutsideTheCodePageShowsItsOwnFactsAndPage) {
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameW(ChinesePath(folder_).c_str(), shortPath, MAX_PATH), 0u);
  std::wstring wideName = shortPath;
  std::string shortName(wideName.begin() + static_cast<long>(wideName.rfind(L'\\') + 1), wideName.end());
  ClickFile("one.pdf");  // no document: the viewer shows no page
  PanelsAfter("one.pdf");
  ASSERT_TRUE(PumpUntil([] { return !PageShown(view_); }, 30000));

  ClickFile(shortName);
  std::vector<std::string> panels = PanelsAfter(shortName);
  EXPECT_EQ(panels[0], shortName) << "listed and reported by its short name";
  EXPECT_EQ(panels[1], Size(WindowsPath(FOLVANE_SAMPLES "/drawing.pdf"))) << "its own size, not ab.pdf's";
  EXPECT_TRUE(PumpUntil([] { return PageShown(view_); }, 30000)) << "the viewer shows its page";
  EXPECT_EQ(program_->Find("#32770"), nullptr) << "no error box";
}

TEST_F(FileSelection, EmptyAndOneByteFiles) {
  ClickFile("empty.pdf");
  EXPECT_EQ(PanelsAfter("empty.pdf")[1], "0 bytes");
  ClickFile("one.pdf");
  EXPECT_EQ(PanelsAfter("one.pdf")[1], "1 bytes");
  EXPECT_EQ(Panels()[4], "");
}

TEST_F(FileSelection, SizesAndTimesBeyondThePackedFormShowTheirTrueValues) {
  ClickFile("big.pdf");
  EXPECT_EQ(PanelsAfter("big.pdf")[1], "3221225472 bytes");
  ClickFile("old.pdf");
  std::vector<std::string> panels = PanelsAfter("old.pdf");
  EXPECT_EQ(panels[2], "6/1/1975");
  EXPECT_EQ(panels[3], "10:20:31 AM");
  ClickFile("late.pdf");
  panels = PanelsAfter("late.pdf");
  EXPECT_EQ(panels[2], "1/2/2150");
  EXPECT_EQ(panels[3], "3:04:05 AM");
}

TEST_F(FileSelection, AFileDeletedAfterListingLeavesThePreviousFacts) {
  ClickFile("one.pdf");
  std::vector<std::string> before = PanelsAfter("one.pdf");
  ASSERT_TRUE(DeleteFileA((folder_ + "\\gone.pdf").c_str()));
  ClickFile("gone.pdf");
  PumpUntil([] { return false; }, 1500);
  EXPECT_EQ(Panels(), before);
  EXPECT_EQ(program_->Find("#32770"), nullptr) << "no error box";
}

TEST_F(FileSelection, TabMovesTheFocusDriveSelectorDirectoryListFileList) {
  ClickFile("one.pdf");
  ASSERT_TRUE(PumpUntil([] { return FocusOf(files_) == files_; }));
  PressKey(VK_TAB);
  EXPECT_TRUE(PumpUntil([] { return FocusOf(files_) == drives_; })) << "from the last control round to the first";
  PressKey(VK_TAB);
  EXPECT_TRUE(PumpUntil([] { return FocusOf(files_) == dirs_; }));
  PressKey(VK_TAB);
  EXPECT_TRUE(PumpUntil([] { return FocusOf(files_) == files_; }));
}

TEST_F(FileSelection, DoubleClickingADirectoryLineMovesTheFileList) {
  int line = FindLine(dirs_, "Sub");
  ASSERT_GE(line, 0);
  ClickAt(LineCentre(dirs_, line), 2);
  EXPECT_TRUE(PumpUntil([] { return SendMessageA(files_, LB_GETCOUNT, 0, 0) == 1; }, 10000));
  EXPECT_EQ(FindLine(files_, "inner.pdf"), 0);
  ClickFile("inner.pdf");
  EXPECT_EQ(PanelsAfter("inner.pdf")[1], "4 bytes");
}

}  // namespace
