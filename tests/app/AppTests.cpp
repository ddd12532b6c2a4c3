// The two windows as the program makes them, and the program as a user starts and ends it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Folvane1.h"
#include "Forms.h"
#include "ProgramClasses.h"
#include "RunningProgram.h"
#include "Unit2.h"
#include "WindowTesting.h"

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

TEST(Program, MinimizingTheViewerMinimizesTheWholeProgram) {
  RunningProgram program;
  HWND app = program.Window("TApplication");
  HWND viewer = program.Window("TForm1");
  HWND explorer = program.Window("TForm2");
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Visible(viewer); }));
  PostMessageA(viewer, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(app) && !Visible(viewer) && !Visible(explorer); }));
  PostMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(PumpUntil([&] { return Visible(viewer) && Visible(explorer) && !IsIconic(app); }));
  // Restoring and then working in the program again brings the explorer window back on top.
  SetForegroundWindow(viewer);
  EXPECT_TRUE(PumpUntil([&] { return (GetWindowLongA(explorer, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }))
      << "back in the topmost band";
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

}  // namespace
