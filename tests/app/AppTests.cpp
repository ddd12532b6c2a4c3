// The two windows as the program makes them, and the program as a user starts and ends it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Folvane1.h"
#include "framework/Forms.h"
#include "app/ProgramClasses.h"
#include "tests/support/RunningProgram.h"
#include "app/Unit2.h"
#include "tests/support/WindowTesting.h"

#include <utility>

namespace {

RECT WindowRect(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  return r;
}

TEST(Windows, ViewerAndExplorerWindowsAsDescribed) {
  RegisterProgramClasses();
  Application->Initialize();
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  ASSERT_NE(Form1, nullptr);
  ASSERT_NE(Form2, nullptr);
  EXPECT_EQ(Application->MainForm(), Form1);
  EXPECT_TRUE(Form1->HandleAllocated());
  EXPECT_FALSE(Form1->Visible());
  EXPECT_TRUE(Form2->Visible()) << "the explorer window shows itself at the end of its construction";
  EXPECT_TRUE(IsWindowVisible(Form2->Handle()));

  char text[64] = {};
  GetWindowTextA(Form1->Handle(), text, sizeof text);
  EXPECT_EQ(std::string(text), "Quillmere___ Tandrel");
  GetWindowTextA(Form2->Handle(), text, sizeof text);
  EXPECT_EQ(std::string(text), "File explorer");
  GetClassNameA(Form1->Handle(), text, sizeof text);
  EXPECT_EQ(std::string(text), "TForm1");
  GetClassNameA(Form2->Handle(), text, sizeof text);
  EXPECT_EQ(std::string(text), "TForm2");

  // Stored for a "0" 13 pixels high; where the design font measures otherwise, the client
  // size scales by that ratio while positions and the explorer's outer size stay.
  int m = 0;
  {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Form1->Font().Handle());
    SIZE size{};
    GetTextExtentPoint32A(dc, "0", 1, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    m = size.cy;
  }
  RECT client;
  GetClientRect(Form1->Handle(), &client);
  EXPECT_EQ(client.right, MulDiv(619, m, 13));
  EXPECT_EQ(client.bottom, MulDiv(573, m, 13));
  RECT outer1 = WindowRect(Form1->Handle());
  EXPECT_EQ(outer1.left, 12);
  EXPECT_EQ(outer1.top, 0);
  RECT outer2 = WindowRect(Form2->Handle());
  EXPECT_EQ(outer2.left, 639);
  EXPECT_EQ(outer2.top, 0);
  EXPECT_EQ(outer2.right - outer2.left, 194);
  EXPECT_EQ(outer2.bottom - outer2.top, 600);
  if (m == 13) {
    EXPECT_EQ(outer1.right, outer2.left) << "the windows adjoin";
    EXPECT_EQ(outer1.bottom - outer1.top, 600) << "the windows are equally tall";
  }

  for (HWND w : {Form1->Handle(), Form2->Handle()}) {
    EXPECT_EQ(GetWindow(w, GW_OWNER), Application->Handle());
    LONG style = GetWindowLongA(w, GWL_STYLE);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_CLIPCHILDREN);
    EXPECT_NE(SendMessageA(w, WM_GETICON, ICON_BIG, 0), 0);
  }
  EXPECT_TRUE(GetWindowLongA(Form2->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindowLongA(Form1->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(Form1->Font().Height(), -11);
  EXPECT_EQ(Form1->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(Form1->Color(), clBtnFace);
  EXPECT_FALSE(Form1->AutoScroll());
  EXPECT_TRUE(Form2->AutoScroll());

  TObject::Free(Form2);
  TObject::Free(Form1);
  Form1 = nullptr;
  Form2 = nullptr;
}

// The windows made in this process, in a folder of their own, freed at the end.
class ProgramWindows {
 public:
  ProgramWindows() {
    RegisterProgramClasses();
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "folvane-windows-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    GetCurrentDirectoryA(sizeof previous_, previous_);
  }
  // Writes a file dated 7 March 2004, 14:05:09 local time.
  void AddFile(const std::string& name) {
    std::string path = folder_ + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    SYSTEMTIME local{2004, 3, 0, 7, 14, 5, 9, 0};
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    SetFileTime(file, nullptr, nullptr, &utc);
    CloseHandle(file);
    files_.push_back(path);
  }
  void Create() {
    SetCurrentDirectoryA(folder_.c_str());
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
  }
  ~ProgramWindows() {
    TObject::Free(Form2);
    TObject::Free(Form1);
    Form1 = nullptr;
    Form2 = nullptr;
    SetCurrentDirectoryA(previous_);
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  // Clicks a line of the file list with the mouse.
  void ClickFile(const std::string& name) {
    HWND list = Form2->FileListBox1->Handle();
    int line = FindLine(list, name);
    ASSERT_GE(line, 0) << name;
    ClickAt(LineCentre(list, line));
    PumpUntil([&] { return Form1->StatusBar1->Panels().Items(0)->Text() == name; });
  }
  std::string Panel(int i) { return Form1->StatusBar1->Panels().Items(i)->Text(); }

 private:
  std::string folder_;
  char previous_[MAX_PATH] = {};
  std::vector<std::string> files_;
};

// Sets regional settings of this process for a while; the old ones come back afterwards.
class RegionalSettings {
 public:
  void Set(LCTYPE item, const char* value) {
    char old[128] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, item, old, sizeof old);
    saved_.push_back({item, old});
    EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, item, value)) << item;
  }
  ~RegionalSettings() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      SetLocaleInfoA(LOCALE_USER_DEFAULT, it->first, it->second.c_str());
    Announce();
  }
  static void Announce() { SendMessageA(Application->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("intl")); }

 private:
  std::vector<std::pair<LCTYPE, std::string>> saved_;
};

TEST(Windows, ChangedRegionalSettingsChangeTheNextClicksTexts) {
  ProgramWindows windows;
  windows.AddFile("first.pdf");
  windows.AddFile("second.pdf");
  windows.Create();
  windows.ClickFile("first.pdf");
  EXPECT_EQ(windows.Panel(2), "3/7/2004");
  EXPECT_EQ(windows.Panel(3), "2:05:08 PM");
  {
    RegionalSettings settings;
    settings.Set(LOCALE_SSHORTDATE, "dd.MM.yyyy");
    settings.Set(LOCALE_SDATE, ".");
    settings.Set(LOCALE_ITIME, "1");
    RegionalSettings::Announce();
    EXPECT_EQ(windows.Panel(2), "3/7/2004") << "the texts of the last click stay";
    windows.ClickFile("second.pdf");
    EXPECT_EQ(windows.Panel(2), "07.03.2004");
    EXPECT_EQ(windows.Panel(3), "14:05:08");
  }
  windows.ClickFile("first.pdf");
  EXPECT_EQ(windows.Panel(2), "3/7/2004") << "the old settings are back";
}

TEST(Windows, ExplorerLayoutFollowsTheWindowWidthAndScrollsOnlyBelowTheTopPanel) {
  ProgramWindows windows;
  windows.Create();
  TForm2* explorer = Form2;
  // 19 in the design; the platform decides how tall a combo box with 13-pixel lines is.
  EXPECT_EQ(explorer->Panel1->Height(), explorer->DriveComboBox1->Height()) << "as tall as the drive selector";
  EXPECT_EQ(explorer->DriveComboBox1->Width(), 186);
  explorer->SetBounds(explorer->Left(), explorer->Top(), 400, explorer->Height());
  PumpMessages();
  int client = explorer->ClientWidth();
  EXPECT_EQ(explorer->Panel1->Width(), client);
  EXPECT_EQ(explorer->LMDSplitterPanel1->Width(), client);
  EXPECT_EQ(explorer->DriveComboBox1->Width(), 186) << "the drive selector is not aligned";
  RECT dirs, files;
  GetWindowRect(explorer->DirectoryListBox1->Handle(), &dirs);
  GetWindowRect(explorer->FileListBox1->Handle(), &files);
  EXPECT_LE(dirs.bottom, files.top) << "the directory list lies above the file list";
  EXPECT_EQ(files.right - files.left, dirs.right - dirs.left);

  auto scrolls = [&] { return (GetWindowLongA(explorer->Handle(), GWL_STYLE) & WS_VSCROLL) != 0; };
  EXPECT_FALSE(scrolls());
  RECT frame, inner;
  GetWindowRect(explorer->Handle(), &frame);
  GetClientRect(explorer->Handle(), &inner);
  int chrome = (frame.bottom - frame.top) - inner.bottom;
  explorer->SetBounds(explorer->Left(), explorer->Top(), 400, chrome + 25);
  PumpMessages();
  EXPECT_FALSE(scrolls()) << "25 pixels hold the top panel";
  explorer->SetBounds(explorer->Left(), explorer->Top(), 400, chrome + 12);
  PumpMessages();
  EXPECT_TRUE(scrolls()) << "12 pixels do not";
}

bool Visible(HWND w) { return IsWindowVisible(w) != 0; }

TEST(Program, ShowsBothWindowsHidesTheExplorerOnCloseAndEndsWithTheViewer) {
  RunningProgram program;
  ASSERT_TRUE(program.Started());
  HWND viewer = program.Window("TForm1");
  HWND explorer = program.Window("TForm2");
  HWND app = program.Window("TApplication");
  ASSERT_NE(viewer, nullptr);
  ASSERT_NE(explorer, nullptr);
  ASSERT_NE(app, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Visible(viewer); }));
  EXPECT_TRUE(Visible(explorer));
  char title[64] = {};
  GetWindowTextA(app, title, sizeof title);
  EXPECT_EQ(std::string(title), "Folvane");
  EXPECT_TRUE(Visible(app)) << "the taskbar button is shown";
  // The explorer window lies above the viewer window.
  bool explorerFirst = false;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == explorer) {
      explorerFirst = true;
      break;
    }
    if (w == viewer) break;
  }
  EXPECT_TRUE(explorerFirst);

  PostMessageA(explorer, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !Visible(explorer); }));
  EXPECT_TRUE(IsWindow(explorer)) << "closing the explorer window only hides it";
  EXPECT_EQ(program.ExitCode(500), -1) << "the program goes on without the explorer window";

  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

TEST(Program, StartedMaximizedShowsTheViewerMaximized) {
  RunningProgram program(SW_SHOWMAXIMIZED);
  HWND viewer = program.Window("TForm1");
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Visible(viewer); }));
  EXPECT_TRUE(IsZoomed(viewer));
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

TEST(Program, StartedMinimizedIsATaskbarButtonUntilRestored) {
  RunningProgram program(SW_SHOWMINNOACTIVE);
  HWND app = program.Window("TApplication");
  HWND viewer = program.Window("TForm1");
  HWND explorer = program.Window("TForm2");
  ASSERT_NE(app, nullptr);
  ASSERT_NE(viewer, nullptr);
  ASSERT_NE(explorer, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(app) != 0; }));
  PumpUntil([] { return false; }, 300);
  EXPECT_FALSE(Visible(viewer));
  EXPECT_FALSE(Visible(explorer));
  PostMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(PumpUntil([&] { return Visible(viewer) && Visible(explorer); }));
  EXPECT_FALSE(IsIconic(viewer));
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

// The top-level windows from the top of the z-order down, so that a failure about the topmost band
// shows what stood where.
std::string ZOrder() {
  std::string out;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char line[160];
    snprintf(line, sizeof line, "%p %s pid %lu owner %p%s%s%s\n", static_cast<void*>(w), cls, pid,
             static_cast<void*>(GetWindow(w, GW_OWNER)),
             (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) ? " topmost" : "", IsWindowVisible(w) ? " visible" : "",
             w == GetForegroundWindow() ? " foreground" : "");
    out += line;
  }
  return out;
}

// Brings `w` to the front; returns once the program (`program` is a window of it) has handled the
// activation messages that the switch sent it. The program takes them when it next looks at its
// queue: judged before then, the band still shows the state before the switch, and a later
// switch can be overtaken by them.
bool SwitchTo(HWND w, HWND program) {
  if (!SetForegroundWindow(w) || GetForegroundWindow() != w) {
    // The platform may refuse a process that the user is not working in; a click on the caption
    // is how the user brings a window to the front then.
    RECT r = WindowRect(w);
    POINT caption{(r.left + r.right) / 2, r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    ClickUntil(caption, [&] { return GetForegroundWindow() == w; });
  }
  // Sent messages are taken in the order they were sent: when this one is answered, those that
  // the switch sent before it have been handled.
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(program, WM_NULL, 0, 0, SMTO_NORMAL, kInputWaitMs, &answer);
  return GetForegroundWindow() == w;
}

TEST(Program, MinimizingTheViewerMinimizesTheWholeProgram) {
  // The program is another process: on a loaded machine it may answer seconds later.
  RunningProgram program;
  HWND app = program.Window("TApplication");
  HWND viewer = program.Window("TForm1");
  HWND explorer = program.Window("TForm2");
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Visible(viewer); }, kInputWaitMs));
  PostMessageA(viewer, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(app) && !Visible(viewer) && !Visible(explorer); }, kInputWaitMs));
  PostMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(PumpUntil([&] { return Visible(viewer) && Visible(explorer) && !IsIconic(app); }, kInputWaitMs));
  auto topMost = [&] { return (GetWindowLongA(explorer, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  ASSERT_TRUE(SwitchTo(viewer, viewer));
  EXPECT_TRUE(PumpUntil(topMost, kInputWaitMs)) << "restored and working in the program: in the topmost band";
  // Working in another application (this one) takes the explorer window out of the band, and
  // working in the program again brings it back on top.
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
  EXPECT_TRUE(SwitchTo(other, viewer));
  EXPECT_TRUE(PumpUntil([&] { return !topMost(); }, kInputWaitMs))
      << "out of the band while another application works\n"
      << ZOrder();
  EXPECT_TRUE(SwitchTo(viewer, viewer));
  EXPECT_TRUE(PumpUntil(topMost, kInputWaitMs)) << "back in the topmost band\n" << ZOrder();
  DestroyWindow(other);
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

}  // namespace
