// The application object and the screen.
//
//   TApplication          the hidden "TApplication" window, the title, the message loop, the
//                         error box, the topmost band and minimizing the whole program
//   TScreen               cursors, pixels per inch, monitors, the forms
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/MessageTexts.h"
#include "framework/Controls.h"
#include "framework/SysUtils.h"

class TCustomForm;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TApplication"; }

  HWND Handle() const { return handle_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);
  TIcon& Icon() { return icon_; }
  TCustomForm* MainForm() const { return mainForm_; }
  bool Terminated() const { return terminated_; }
  bool ShowMainForm() const { return showMainForm_; }

  // Runs the start-up hooks (COM is started by one of them).
  void Initialize();
  // Makes a form: the reference is set before its constructor runs and cleared if it fails;
  // the first form made becomes the main form and gets its window at once.
  template <class T>
  void CreateForm(T*& reference) {
    reference = static_cast<T*>(::operator new(sizeof(T)));
    {
      TScopeExit freeMemory([&reference] {
        ::operator delete(reference);
        reference = nullptr;
      });
      new (reference) T(this);
      freeMemory.Dismiss();
    }
    FormCreated(reference);
  }
  // Shows the main form by the start-up show command and runs the message loop until quit.
  void Run();
  void Terminate();
  void ProcessMessages();
  bool ProcessMessage(MSG& msg);
  void HandleMessage();

  // The error box: the message with "." appended when its last character sorts after ".".
  void ShowException(const Exception& error);
  static std::string ErrorBoxText(const std::string& message);
  void HandleException(const std::exception& error);
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  void Minimize();
  void Restore();
  // Leaving and returning to the topmost band, with its nesting count.
  void NormalizeTopMosts() { DoNormalizeTopMosts(false); }
  void NormalizeAllTopMosts() { DoNormalizeTopMosts(true); }
  void RestoreTopMosts();
  int TopMostLevel() const { return topMostLevel_; }
  // Shows the hidden window (and its taskbar button) while any form is visible.
  void UpdateVisible();

  // The show command the process was started with (STARTUPINFO, or SW_SHOWDEFAULT).
  static int StartupShowCommand();
  // The title made from a module file name: "C:\X\MY.PROGRAM.EXE" gives "My".
  static std::string TitleFromModuleName(const std::string& moduleName);

  // Hooks run by Initialize and at the end of the program, in registration order.
  static void AddInitProc(std::function<void()> proc);
  static void AddExitProc(std::function<void()> proc);
  static void RunExitProcs();
  // Called when the system announces a change of settings.
  std::vector<std::function<void(const char* section)>> OnSettingChange;
  std::function<void(const Exception&)> OnException;
  TNotifyEvent OnIdle;

  void Notification(TComponent* component, TOperation operation) override;
  void WndProc(TMessage& message);

 private:
  void DoNormalizeTopMosts(bool includeMain);
  struct TopMostWalk {
    TApplication* app;
    bool includeMain;
    HWND stop;
  };
  static BOOL CALLBACK CollectTopMost(HWND window, LPARAM data);
  friend class TCustomForm;
  void ActivateApp(bool active);
  bool appActive_ = false;
  void FormCreated(TCustomForm* form);
  void CreateHandle();
  void Idle();
  bool IsKeyMsg(MSG& msg);
  bool IsDialogKey(MSG& msg);
  bool IsMnemonic(MSG& msg);
  static LRESULT CALLBACK ApplicationWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND handle_ = nullptr;
  std::string title_;
  TIcon icon_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool showMainForm_ = true;
  int topMostLevel_ = 0;
  std::vector<HWND> topMostList_;
  bool lastVisible_ = false;
  bool handleException_ = true;
};

class TMonitor {
 public:
  HMONITOR Handle;
  RECT BoundsRect;
  RECT WorkareaRect;
  bool Primary;
};

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* owner);
  std::string ClassName() const override { return "TScreen"; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
  HCURSOR Cursors(TCursor cursor);
  void SetCursorHandle(TCursor cursor, HCURSOR handle);
  TCursor Cursor() const { return cursor_; }
  // The program-wide cursor (crDefault gives every control its own again).
  void SetCursor(TCursor cursor);
  int MonitorCount();
  TMonitor Monitors(int index);
  TMonitor MonitorFromWindow(HWND window);
  const std::vector<TCustomForm*>& Forms() const { return forms_; }
  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const { return activeControl_; }

 private:
  friend class TCustomForm;
  int pixelsPerInch_;
  TCursor cursor_ = crDefault;
  std::vector<std::pair<TCursor, HCURSOR>> cursors_;
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* activeControl_ = nullptr;
};

// The program's application and screen objects, made before any form.
extern TApplication* Application;
extern TScreen* Screen;
// Makes Application and Screen (once); the program's entry and every test program call it.
void InitializeFramework();
// Runs the program's start-up and message loop: a failure of any kind is shown in the error
// box (a plain one while there is no application window yet) and gives exit code 1.
int RunProgram(const std::function<void()>& body) noexcept;
// Where a window goes to appear on another monitor: at the same offset from that monitor's
// top-left corner as from its own, pulled back inside the new monitor's right and bottom edges.
RECT MoveToMonitor(const RECT& window, const RECT& fromMonitor, const RECT& toMonitor);
// The monitor of `window` and of `active` when they differ and there is more than one.
bool OnOtherMonitor(HWND window, HWND active, RECT& windowMonitor, RECT& activeMonitor);
// Destroys the application (its forms with it) and the screen, and runs the exit hooks.
void FinalizeFramework();
