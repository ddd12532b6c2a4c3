// The application object: its title, the error box, the topmost band with its nesting count,
// closing windows, and the hidden window's taskbar rule.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "framework/Forms.h"
#include "tests/support/WindowTesting.h"

namespace {

class TPlainForm : public TForm {
 public:
  using TForm::TForm;
  std::string ClassName() const override { return "TPlainForm"; }
};

TEST(ApplicationTitle, IsTheModuleNameCutAtTheFirstDotWithTheRestLowerCased) {
  EXPECT_EQ(TApplication::TitleFromModuleName("C:\\PROGRAMS\\MY.PROGRAM.EXE"), "My");
  EXPECT_EQ(TApplication::TitleFromModuleName("C:\\VIEWER.EXE"), "Viewer");
  EXPECT_EQ(TApplication::TitleFromModuleName("Z:\\a.b\\folvane"), "folvane");
  EXPECT_EQ(TApplication::TitleFromModuleName("\\\\server\\share\\x.exe"), "x");
  EXPECT_EQ(TApplication::TitleFromModuleName("C:\\dir\\.hidden.exe"), "");
}

TEST(ApplicationTitle, NamesTheHiddenWindow) {
  char text[64] = {};
  GetWindowTextA(Application->Handle(), text, sizeof text);
  EXPECT_EQ(std::string(text), "framework_tests");
  EXPECT_EQ(Application->Title(), "framework_tests");
  char cls[32] = {};
  GetClassNameA(Application->Handle(), cls, sizeof cls);
  EXPECT_EQ(std::string(cls), "TApplication");
  RECT r;
  GetWindowRect(Application->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 0);
  EXPECT_EQ(r.bottom - r.top, 0);
  HMENU menu = GetSystemMenu(Application->Handle(), FALSE);
  EXPECT_EQ(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(GetMenuState(menu, SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST(ErrorBox, AppendsAPeriodOnlyAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(TApplication::ErrorBoxText("Invalid argument to date encode"), "Invalid argument to date encode.");
  EXPECT_EQ(TApplication::ErrorBoxText("Already ends."), "Already ends.");
  EXPECT_EQ(TApplication::ErrorBoxText(""), "");
  EXPECT_EQ(TApplication::ErrorBoxText("Ends in a bracket)"), "Ends in a bracket)");
  EXPECT_EQ(TApplication::ErrorBoxText("Ends in a comma,"), "Ends in a comma,");
  EXPECT_EQ(TApplication::ErrorBoxText("Path C:/"), "Path C:/.");
  EXPECT_EQ(TApplication::ErrorBoxText("Fichier \xE9"), "Fichier \xE9.");
}

TEST(ErrorBox, AFailureInAMessageHandlerIsShownAndTheLoopGoesOn) {
  TPlainForm* form = new TPlainForm(Application);
  form->SetBounds(10, 10, 200, 150);
  form->Show();
  form->OnResize = [](TObject*) { throw EInvalidOperation("Resizing refused"); };
  // Resized through the platform: the failure happens inside the window's message handling.
  ShownMessageBox box = CaptureMessageBox(
      [&] { SetWindowPos(form->Handle(), nullptr, 10, 10, 260, 150, SWP_NOZORDER | SWP_NOACTIVATE); });
  EXPECT_TRUE(box.shown);
  EXPECT_EQ(box.text, "Resizing refused.");
  EXPECT_EQ(box.caption, Application->Title());
  // The windows come back enabled and the form still works.
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));
  form->OnResize = nullptr;
  form->SetBounds(10, 10, 300, 150);
  EXPECT_EQ(form->Width(), 300);
  TObject::Free(form);
}

TEST(ErrorBox, AnAbortIsSilent) {
  ShownMessageBox box = CaptureMessageBox([] { Application->HandleException(EAbort()); });
  EXPECT_FALSE(box.shown);
}

bool IsTopMost(HWND w) { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

class TopMostTest : public testing::Test {
 protected:
  void SetUp() override {
    normal_ = new TPlainForm(Application);
    normal_->SetBounds(0, 0, 200, 200);
    normal_->Show();
    onTop_ = new TPlainForm(Application);
    onTop_->SetFormStyle(fsStayOnTop);
    onTop_->SetBounds(220, 0, 200, 200);
    onTop_->Show();
    PumpMessages();
  }
  void TearDown() override {
    while (Application->TopMostLevel() > 0) Application->RestoreTopMosts();
    TObject::Free(onTop_);
    TObject::Free(normal_);
  }
  TPlainForm* normal_ = nullptr;
  TPlainForm* onTop_ = nullptr;
};

TEST_F(TopMostTest, ExplorerStyleWindowIsPlacedInTheTopmostBandWhenMade) {
  EXPECT_TRUE(IsTopMost(onTop_->Handle()));
  EXPECT_FALSE(IsTopMost(normal_->Handle()));
  EXPECT_EQ(GetWindow(onTop_->Handle(), GW_OWNER), Application->Handle());
}

TEST_F(TopMostTest, LeavingAndReturningNestWithTheCount) {
  Application->NormalizeTopMosts();
  EXPECT_EQ(Application->TopMostLevel(), 1);
  EXPECT_FALSE(IsTopMost(onTop_->Handle()));
  Application->NormalizeTopMosts();
  EXPECT_EQ(Application->TopMostLevel(), 2);
  Application->RestoreTopMosts();
  EXPECT_EQ(Application->TopMostLevel(), 1);
  EXPECT_FALSE(IsTopMost(onTop_->Handle())) << "returned before the count reached 0";
  Application->RestoreTopMosts();
  EXPECT_EQ(Application->TopMostLevel(), 0);
  EXPECT_TRUE(IsTopMost(onTop_->Handle()));
  Application->RestoreTopMosts();
  EXPECT_EQ(Application->TopMostLevel(), 0);
}

TEST_F(TopMostTest, ALeftWindowSitsDirectlyAboveTheFirstOrdinaryWindow) {
  SetWindowPos(normal_->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Application->NormalizeTopMosts();
  // Walking down from the former topmost window, the next owned window is the ordinary one.
  HWND below = GetWindow(onTop_->Handle(), GW_HWNDNEXT);
  while (below && GetWindow(below, GW_OWNER) != Application->Handle() && below != normal_->Handle())
    below = GetWindow(below, GW_HWNDNEXT);
  EXPECT_EQ(below, normal_->Handle());
}

TEST_F(TopMostTest, AnErrorBoxTakesEvenTheMainWindowOutOfTheBandAndPutsItBack) {
  bool topMostDuringBox = true;
  int levelDuringBox = -1;
  ShownMessageBox box = CaptureMessageBox([] { Application->ShowException(Exception("Boxed")); },
                                          [&] {
                                            topMostDuringBox = IsTopMost(onTop_->Handle());
                                            levelDuringBox = Application->TopMostLevel();
                                          });
  EXPECT_TRUE(box.shown);
  EXPECT_FALSE(box.ownerEnabled);
  EXPECT_FALSE(topMostDuringBox);
  EXPECT_EQ(levelDuringBox, 1);
  EXPECT_EQ(Application->TopMostLevel(), 0);
  EXPECT_TRUE(IsTopMost(onTop_->Handle()));
}

TEST(Closing, AWindowThatIsNotTheMainWindowIsHiddenNotDestroyed) {
  TPlainForm* form = new TPlainForm(Application);
  form->Show();
  HWND window = form->Handle();
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->Handle(), window);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "closing it ended the program";
  TObject::Free(form);
}

TEST(TaskbarButton, FollowsWhetherAnyWindowIsVisible) {
  TPlainForm* form = new TPlainForm(Application);
  form->Show();
  EXPECT_TRUE(IsWindowVisible(Application->Handle()));
  form->Hide();
  EXPECT_FALSE(IsWindowVisible(Application->Handle()));
  form->Show();
  EXPECT_TRUE(IsWindowVisible(Application->Handle()));
  TObject::Free(form);
}

TEST(Activation, TheFirstTabStopOfAWindowGetsTheFocus) {
  TPlainForm* form = new TPlainForm(Application);
  form->SetBounds(0, 0, 300, 200);
  auto* first = new TPlainForm(Application);  // not a child: only children count
  TObject::Free(first);
  auto* a = new TWinControl(form);
  a->SetParent(form);
  a->SetBounds(0, 0, 50, 20);
  auto* b = new TWinControl(form);
  b->SetParent(form);
  b->SetBounds(0, 30, 50, 20);
  b->SetTabStop(true);
  b->SetTabOrder(0);
  form->Show();
  SetActiveWindow(form->Handle());
  PumpMessages();
  EXPECT_EQ(form->ActiveControl(), b);
  EXPECT_EQ(GetFocus(), b->Handle());
  TObject::Free(form);
}

TEST(StartUp, AFailureOfAnyKindIsShownAndEndsWithCodeOne) {
  struct Case {
    const char* what;
    std::function<void()> body;
    const char* text;  // nullptr: nothing is shown
    int code;
  } cases[] = {
      {"framework", [] { throw EOutOfResources("Error creating window class"); }, "Error creating window class.", 1},
      {"allocation", [] { throw std::bad_alloc(); }, "Out of memory.", 1},
      {"length", [] { throw std::length_error("vector too long"); }, "vector too long.", 1},
      {"not an exception", [] { throw 42; }, "A call to an OS function failed.", 1},
      {"abort", [] { throw EAbort(); }, nullptr, 1},
      {"success", [] {}, nullptr, 0},
  };
  for (bool withApplication : {true, false}) {
    // Before the application window exists the box has no owner, with the same title.
    TApplication* application = Application;
    if (!withApplication) Application = nullptr;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (withApplication ? "" : ", no application"));
      int code = -1;
      ShownMessageBox box = CaptureMessageBox([&] { code = RunProgram(c.body); });
      EXPECT_EQ(code, c.code);
      EXPECT_EQ(box.shown, c.text != nullptr);
      if (c.text) {
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.caption, "framework_tests");
      }
    }
    Application = application;
  }
}

// Throws from the handling of one chosen message.
class TThrowingControl : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string ClassName() const override { return "TThrowingControl"; }
  void WndProc(TMessage& m) override {
    if (m.Msg == throwOn) throw EInvalidOperation("Key refused");
    TWinControl::WndProc(m);
  }
  UINT throwOn = 0;
};

class TThrowingForm : public TPlainForm {
 public:
  using TPlainForm::TPlainForm;
  void WndProc(TMessage& m) override {
    if (m.Msg == throwOn) throw EInvalidOperation("Key refused");
    TPlainForm::WndProc(m);
  }
  UINT throwOn = 0;
};

TEST(MessageLoop, AFailureInTheKeyFiltersOrIdleIsShownAndTheLoopGoesOn) {
  auto* form = new TThrowingForm(Application);
  form->SetBounds(0, 0, 200, 100);
  auto* control = new TThrowingControl(form);
  control->SetParent(form);
  control->SetBounds(0, 0, 50, 20);
  control->SetTabStop(true);
  form->Show();
  struct Case {
    const char* what;
    UINT controlThrowsOn, formThrowsOn;
    WPARAM key;
  } cases[] = {
      {"key notification", CN_KEYDOWN, 0, 'A'},
      {"special key query", CM_WANTSPECIALKEY, 0, VK_TAB},
      {"dialog key", 0, CM_DIALOGKEY, 'A'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    control->throwOn = c.controlThrowsOn;
    form->throwOn = c.formThrowsOn;
    PostMessageA(control->Handle(), WM_KEYDOWN, c.key, 0);
    ShownMessageBox box = CaptureMessageBox([] { Application->ProcessMessages(); });
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.text, "Key refused.");
  }
  control->throwOn = form->throwOn = 0;

  Application->OnIdle = [](TObject*) {
    PostMessageA(Application->Handle(), WM_NULL, 0, 0);  // so that the loop does not wait
    throw 7;
  };
  ShownMessageBox box = CaptureMessageBox([] { Application->HandleMessage(); });
  Application->OnIdle = nullptr;
  EXPECT_TRUE(box.shown);
  EXPECT_EQ(box.text, "A call to an OS function failed.");
  TObject::Free(form);
}

TEST(Monitors, AWindowMovesToTheActiveMonitorAtTheSameOffsetPulledBackInside) {
  const RECT left{0, 0, 1280, 800}, right{1280, -100, 2304, 668};
  struct Case {
    RECT window, from, to, expected;
  } cases[] = {
      {{100, 50, 300, 150}, left, right, {1380, -50, 1580, 50}},
      {{1000, 600, 1200, 780}, left, right, {2104, 488, 2304, 668}},  // pulled back at right and bottom
      {{1380, -50, 1580, 50}, right, left, {100, 50, 300, 150}},
      {{-20, -10, 80, 90}, left, right, {1260, -110, 1360, -10}},  // a left or top overhang stays
  };
  for (const Case& c : cases) {
    RECT r = MoveToMonitor(c.window, c.from, c.to);
    EXPECT_TRUE(EqualRect(&r, &c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  // With one monitor, as here, a shown window stays at its designed place.
  TPlainForm* form = new TPlainForm(Application);
  form->SetBounds(640, 10, 200, 100);
  form->Show();
  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, 640);
  EXPECT_EQ(r.top, 10);
  TObject::Free(form);
}

// Records, just before its window is destroyed, whether any of the watched windows is still
// on screen (at WM_DESTROY a window is hidden anyway).
class TDestroyWatch : public TPlainForm {
 public:
  TDestroyWatch(TComponent* owner, std::vector<HWND>& watched, int& visibleAtDestroy)
      : TPlainForm(owner), watched_(watched), visibleAtDestroy_(visibleAtDestroy) {}

 protected:
  void DestroyWnd() override {
    for (HWND w : watched_) visibleAtDestroy_ += IsWindowVisible(w) ? 1 : 0;
    TPlainForm::DestroyWnd();
  }

 private:
  std::vector<HWND>& watched_;
  int& visibleAtDestroy_;
};

TEST(Closing, TheApplicationHidesEveryWindowBeforeItDestroysTheFirst) {
  std::vector<HWND> watched;
  int visibleAtDestroy = 0;
  auto* application = new TApplication(nullptr);
  for (int i = 0; i < 2; ++i) {
    auto* form = new TDestroyWatch(application, watched, visibleAtDestroy);
    form->Show();
    watched.push_back(form->Handle());
  }
  ASSERT_TRUE(IsWindowVisible(watched[0]) && IsWindowVisible(watched[1]));
  TObject::Free(application);
  EXPECT_FALSE(IsWindow(watched[0]) || IsWindow(watched[1]));
  EXPECT_EQ(visibleAtDestroy, 0);
}

}  // namespace
