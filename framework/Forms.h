// Forms, the application object and the screen.
//
//   TScrollingWinControl  a windowed control that scrolls when its children do not fit
//   TCustomForm / TForm   a top-level window read from its description, with its active control
//   TApplication          the hidden "TApplication" window, the title, the message loop, the
//                         error box, the topmost band and minimizing the whole program
//   TScreen               cursors, pixels per inch, monitors, the forms
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConstIds.h"
#include "Controls.h"
#include "SysUtils.h"

class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* owner);
  std::string ClassName() const override { return "TScrollingWinControl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool value);
  // The extent of the children that do not follow the client size.
  int VertRange() const { return vertRange_; }
  int HorzRange() const { return horzRange_; }
  // Shows or hides the scroll bars for the current children and client size.
  void UpdateScrollBars();
  void WndProc(TMessage& message) override;

 protected:
  void AlignControls(TControl* control, RECT& rect) override;

 private:
  void CalcAutoRange();
  bool autoScroll_ = true;
  int vertRange_ = 0;
  int horzRange_ = 0;
  bool updatingBars_ = false;
};

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCustomForm : public TScrollingWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TCustomForm"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  TPersistent* NestedProperty(std::string_view name) override;
  void Loaded() override;

  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  unsigned BorderIcons() const { return borderIcons_; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  TPosition Position() const { return position_; }
  TIcon& Icon() { return icon_; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  int TextHeight() const { return textHeight_; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  // The size of the client area that the description stored (0 when it stored the outer size).
  void SetClientWidth(int width);
  void SetClientHeight(int height);

  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // The control that last got the keyboard focus in this form.
  TWinControl* FocusedControl() const { return focusedControl_; }
  // The embedded control that is UI-active in this form, if any.
  TWinControl* ActiveEmbeddedControl() const { return activeEmbeddedControl_; }
  void SetActiveEmbeddedControl(TWinControl* control) { activeEmbeddedControl_ = control; }
  void FocusControl(TWinControl* control);
  // Called when a control of this form gets the keyboard focus.
  void SetFocusedControl(TWinControl* control);
  void ControlRemoved(TControl* control);

  void Show();
  void Close();
  virtual bool CloseQuery();
  bool Active() const { return active_; }

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void SetVisible(bool visible) override;
  bool Showing() const override;
  void SetBounds(int left, int top, int width, int height) override;
  RECT ClientRect() override;

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

 protected:
  // Reads the form's description from the program's resources (named by the class name in
  // capitals); then `bindFields` fills the form's component fields, OnCreate runs, and the
  // form shows itself when the description says Visible. Derived forms call it from their
  // constructor. Nothing is shown, and no message reaches the form, before its fields are
  // bound: a failure on the way leaves no window on screen.
  void LoadDescription(const std::function<void()>& bindFields, const std::string& resourceName = std::string());
  void LoadDescription(const std::string& resourceName = std::string()) { LoadDescription(nullptr, resourceName); }
  // Fills a field of the form with the component of that name read from the description.
  template <class T>
  void BindField(T*& field, const char* name) {
    field = dynamic_cast<T*>(FindComponent(name));
    if (!field) throw EReadError(ResFmt(SUnresolvedReference, name));
  }
  virtual void DoClose(TCloseAction& action);

 public:
  void ChangeScale(int multiplier, int divider) override;

 protected:

 private:
  void ApplyStayOnTop();
  void ScaleOnLoad();
  void ShowingChanged();
  void Activated(bool active);
  TFormStyle formStyle_ = fsNormal;
  TFormBorderStyle borderStyle_ = bsSizeable;
  unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TWindowState windowState_ = wsNormal;
  TPosition position_ = poDesigned;
  TIcon icon_;
  int pixelsPerInch_ = 96;
  int textHeight_ = 13;
  bool oldCreateOrder_ = false;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  bool active_ = false;
  bool shownOnce_ = false;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  TWinControl* activeEmbeddedControl_ = nullptr;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
  std::string ClassName() const override { return "TForm"; }
};

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
    try {
      new (reference) T(this);
    } catch (...) {
      ::operator delete(reference);
      reference = nullptr;
      throw;
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
// Destroys the application (its forms with it) and the screen, and runs the exit hooks.
void FinalizeFramework();
