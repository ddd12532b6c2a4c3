// The application object, the screen, the error handling around both, and the framework's start
// and end.
#include "framework/Application.h"

#include <algorithm>
#include <new>

#include "framework/MessageTexts.h"
#include "framework/Panel.h"
#include "framework/FormatSettings.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

std::vector<std::function<void()>>& InitProcs() {
  static std::vector<std::function<void()>> procs;
  return procs;
}

std::vector<std::function<void()>>& ExitProcs() {
  static std::vector<std::function<void()>> procs;
  return procs;
}

constexpr char kApplicationClass[] = "TApplication";

// Platform callbacks let no exception through the system's frames: a failure ends the walk.
template <class F>
BOOL GuardedCallback(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return FALSE;
  }
}

BOOL CALLBACK CollectEnabledWindow(HWND w, LPARAM list) {
  return GuardedCallback([&] {
    if (IsWindowVisible(w) && IsWindowEnabled(w) && w != Application->Handle())
      reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
    return TRUE;
  });
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  return GuardedCallback([&] {
    reinterpret_cast<std::vector<HMONITOR>*>(list)->push_back(monitor);
    return TRUE;
  });
}

}  // namespace

bool OnOtherMonitor(HWND window, HWND active, RECT& windowMonitor, RECT& activeMonitor) {
  if (!window || !active || GetSystemMetrics(SM_CMONITORS) < 2) return false;
  HMONITOR own = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  HMONITOR other = MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
  if (own == other) return false;
  MONITORINFO ownInfo{}, otherInfo{};
  ownInfo.cbSize = otherInfo.cbSize = sizeof(MONITORINFO);
  if (!GetMonitorInfoA(own, &ownInfo) || !GetMonitorInfoA(other, &otherInfo)) return false;
  windowMonitor = ownInfo.rcMonitor;
  activeMonitor = otherInfo.rcMonitor;
  return true;
}

namespace {

// Inside a catch block: hands the failure being handled to `show` as the framework's exception,
// so that a failure of any kind has a message.
template <class F>
void ShowCurrentFailure(F&& show) {
  try {
    throw;
  } catch (const Exception& error) {
    show(error);
  } catch (const std::bad_alloc&) {
    show(Exception(LoadResString(SOutOfMemory)));
  } catch (const std::exception& error) {
    show(Exception(error.what()));
  } catch (...) {
    show(Exception(LoadResString(SUnkOSError)));
  }
}

}  // namespace

void HandleWindowException() noexcept {
  try {
    ShowCurrentFailure([](const Exception& error) {
      if (Application) Application->HandleException(error);
    });
  } catch (...) {
    // The error box itself failed: nothing more can be shown.
  }
}

int RunProgram(const std::function<void()>& body) noexcept {
  try {
    body();
    return 0;
  } catch (...) {
    try {
      ShowCurrentFailure([](const Exception& error) {
        if (dynamic_cast<const EAbort*>(&error)) return;
        if (Application && Application->Handle()) {
          Application->ShowException(error);
          return;
        }
        char module[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
        std::string title = TApplication::TitleFromModuleName(std::string(module, length));
        ::MessageBoxA(nullptr, TApplication::ErrorBoxText(error.Message()).c_str(), title.c_str(),
                      MB_OK | MB_ICONSTOP | MB_TASKMODAL);
      });
    } catch (...) {
    }
    return 1;
  }
}

RECT MoveToMonitor(const RECT& window, const RECT& fromMonitor, const RECT& toMonitor) {
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  LONG left = toMonitor.left + (window.left - fromMonitor.left);
  LONG top = toMonitor.top + (window.top - fromMonitor.top);
  if (left + width > toMonitor.right) left = toMonitor.right - width;
  if (top + height > toMonitor.bottom) top = toMonitor.bottom - height;
  return RECT{left, top, left + width, top + height};
}

HCURSOR CursorHandle(TCursor cursor) {
  if (Screen) return Screen->Cursors(cursor);
  return ArrowCursor();
}

// ---- TApplication

std::string TApplication::TitleFromModuleName(const std::string& moduleName) {
  std::string name(moduleName);
  if (!name.empty()) OemToCharBuffA(name.c_str(), name.data(), static_cast<DWORD>(name.size()));
  std::size_t slash = name.find_last_of('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  if (name.size() > 1) name = name.substr(0, 1) + AnsiLowerCase(name.substr(1));
  return name;
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  char module[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
  title_ = TitleFromModuleName(std::string(module, length));
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  if (icon) icon_.SetHandle(icon, false);
  else icon_.SetHandle(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), false);
  CreateHandle();
}

void TApplication::BeforeDestruction() {
  // Every window disappears before the first is destroyed: the viewer must not stay on screen
  // while the explorer and the embedded control shut down.
  if (!HasState(csDestroying))
    for (int i = 0; i < ComponentCount(); ++i)
      if (auto* form = dynamic_cast<TCustomForm*>(Components(i)); form && form->HandleAllocated())
        ShowWindow(form->Handle(), SW_HIDE);
  TComponent::BeforeDestruction();
}

TApplication::~TApplication() {
  DestroyComponents();
  if (handle_) {
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
    handle_ = nullptr;
  }
}

void TApplication::CreateHandle() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (!GetClassInfoA(instance, kApplicationClass, &existing)) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ApplicationWndProc;
    wc.hInstance = instance;
    wc.hIcon = icon_.Handle();
    wc.hCursor = ArrowCursor();
    wc.lpszClassName = kApplicationClass;
    if (!RegisterClassA(&wc)) throw EOutOfResources(LoadResString(SWindowClass));
  }
  handle_ = CreateWindowExA(
      0, kApplicationClass, title_.c_str(), WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
      GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!handle_) RaiseLastOSError();
  SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  HMENU menu = GetSystemMenu(handle_, FALSE);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
  SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Handle()));
  SetClassLongPtrA(handle_, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon_.Handle()));
}

void TApplication::SetTitle(const std::string& title) {
  if (title == title_) return;
  title_ = title;
  if (handle_) SetWindowTextA(handle_, title.c_str());
}

void TApplication::AddInitProc(std::function<void()> proc) { InitProcs().push_back(std::move(proc)); }

void TApplication::AddExitProc(std::function<void()> proc) { ExitProcs().push_back(std::move(proc)); }

void TApplication::RunExitProcs() {
  auto& procs = ExitProcs();
  while (!procs.empty()) {
    auto proc = std::move(procs.back());
    procs.pop_back();
    proc();
  }
}

void TApplication::Initialize() {
  for (auto& proc : InitProcs()) proc();
}

void TApplication::FormCreated(TCustomForm* form) {
  if (!mainForm_) {
    form->HandleNeeded();
    mainForm_ = form;
  }
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component == mainForm_) mainForm_ = nullptr;
  TComponent::Notification(component, operation);
}

int TApplication::StartupShowCommand() {
  STARTUPINFOA info{};
  info.cb = sizeof info;
  GetStartupInfoA(&info);
  return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWDEFAULT;
}

void TApplication::Run() {
  if (mainForm_) {
    int command = StartupShowCommand();
    if (command == SW_SHOWMAXIMIZED) mainForm_->SetWindowState(wsMaximized);
    else if (command == SW_SHOWMINNOACTIVE) mainForm_->SetWindowState(wsMinimized);
    if (showMainForm_) {
      if (mainForm_->WindowState() == wsMinimized) Minimize();
      else mainForm_->SetVisible(true);
    }
  }
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) {
    Idle();
    if (!terminated_) WaitMessage();
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  bool handled;
  try {
    handled = IsKeyMsg(msg) || IsDialogKey(msg);
  } catch (...) {
    // A key handler that failed has had the key: its failure is shown like any other.
    HandleWindowException();
    handled = true;
  }
  if (!handled) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void TApplication::Idle() {
  try {
    if (OnIdle) OnIdle(this);
  } catch (...) {
    HandleWindowException();
  }
}

bool TApplication::IsKeyMsg(MSG& msg) {
  // Keys go first to the control under the capture or holding the focus as a reflected
  // notification, so that an embedded control can take its accelerators.
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND target = GetCapture() ? GetCapture() : msg.hwnd;
  TWinControl* control = nullptr;
  for (HWND w = target; w && !control; w = GetParent(w)) control = TWinControl::FindControl(w);
  if (!control) return false;
  return control->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

bool TApplication::IsDialogKey(MSG& msg) {
  // Keys other than Tab are offered to the form's controls as mnemonics.
  if (msg.message == WM_SYSKEYDOWN || (msg.message == WM_KEYDOWN && msg.wParam != VK_TAB)) return IsMnemonic(msg);
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
  TWinControl* control = TWinControl::FindControl(msg.hwnd);
  if (!control) return false;
  if (control->Perform(CM_WANTSPECIALKEY, msg.wParam, msg.lParam)) return false;
  TCustomForm* form = control->ParentForm();
  if (!form) return false;
  form->SelectNext(control, GetKeyState(VK_SHIFT) >= 0, true);
  return true;
}

bool TApplication::IsMnemonic(MSG& msg) {
  TWinControl* control = nullptr;
  for (HWND w = msg.hwnd; w && !control; w = GetParent(w)) control = TWinControl::FindControl(w);
  if (!control) return false;
  TCustomForm* form = dynamic_cast<TCustomForm*>(control);
  if (!form) form = control->ParentForm();
  return form && form->Perform(CM_DIALOGKEY, msg.wParam, msg.lParam) != 0;
}

std::string TApplication::ErrorBoxText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

void TApplication::ShowException(const Exception& error) {
  MessageBox(ErrorBoxText(error.Message()), title_, MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(const std::exception& error) {
  if (HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
  if (dynamic_cast<const EAbort*>(&error)) return;
  auto* known = dynamic_cast<const Exception*>(&error);
  Exception wrapped(error.what());
  const Exception& shown = known ? *known : wrapped;
  if (OnException) OnException(shown);
  else ShowException(shown);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND active = GetActiveWindow();
  // Every enabled, visible window of the program is disabled while the box is shown.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  for (HWND w : disabled) EnableWindow(w, FALSE);
  // The box appears where the user works: the hidden window visits the active window's monitor.
  RECT home{}, ownMonitor{}, activeMonitor{};
  const bool moved =
      handle_ && GetWindowRect(handle_, &home) && OnOtherMonitor(handle_, active, ownMonitor, activeMonitor);
  if (moved) {
    RECT there = MoveToMonitor(home, ownMonitor, activeMonitor);
    SetWindowPos(handle_, nullptr, there.left, there.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  int result = ::MessageBoxA(handle_, text.c_str(), caption.c_str(), flags);
  if (moved) SetWindowPos(handle_, nullptr, home.left, home.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND w : disabled) EnableWindow(w, TRUE);
  if (active) SetActiveWindow(active);
  return result;
}

// Collects the owned topmost windows from the top of the z-order down to the first owned window
// that is not topmost, where the walk stops.
BOOL CALLBACK TApplication::CollectTopMost(HWND w, LPARAM data) {
  return GuardedCallback([&]() -> BOOL {
    auto* walk = reinterpret_cast<TopMostWalk*>(data);
    if (GetWindow(w, GW_OWNER) != walk->app->handle_) return TRUE;
    bool topmost = (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    TCustomForm* main = walk->app->mainForm_;
    bool isMain = main && main->HandleAllocated() && main->Handle() == w;
    if (topmost && (!isMain || walk->includeMain)) {
      walk->app->topMostList_.push_back(w);
      return TRUE;
    }
    walk->stop = w;
    return FALSE;
  });
}

void TApplication::DoNormalizeTopMosts(bool includeMain) {
  if (!handle_) return;
  if (topMostLevel_ == 0) {
    TopMostWalk walk{this, includeMain, handle_};
    EnumWindows(CollectTopMost, reinterpret_cast<LPARAM>(&walk));
    if (!topMostList_.empty()) {
      HWND after = GetWindow(walk.stop, GW_HWNDPREV);
      if (!after || (GetWindowLongA(after, GWL_EXSTYLE) & WS_EX_TOPMOST)) after = HWND_NOTOPMOST;
      for (auto it = topMostList_.rbegin(); it != topMostList_.rend(); ++it)
        SetWindowPos(*it, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  ++topMostLevel_;
}

void TApplication::RestoreTopMosts() {
  if (!handle_ || topMostLevel_ <= 0) return;
  if (--topMostLevel_ > 0) return;
  for (auto it = topMostList_.rbegin(); it != topMostList_.rend(); ++it)
    SetWindowPos(*it, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  topMostList_.clear();
}

void TApplication::ActivateApp(bool active) {
  // Every top-level window of the program hears of the switch; act once per switch.
  if (active == appActive_) return;
  appActive_ = active;
  if (active) RestoreTopMosts();
  else NormalizeTopMosts();
}

void TApplication::Minimize() {
  if (IsIconic(handle_)) return;
  NormalizeTopMosts();
  SetActiveWindow(handle_);
  if (mainForm_ && mainForm_->HandleAllocated()) {
    RECT r;
    GetWindowRect(mainForm_->Handle(), &r);
    SetWindowPos(handle_, nullptr, r.left, r.top, r.right - r.left, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The system command (not ShowWindow) also hides the windows this one owns.
  DefWindowProcA(handle_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void TApplication::Restore() {
  if (!IsIconic(handle_)) return;
  SetActiveWindow(handle_);
  DefWindowProcA(handle_, WM_SYSCOMMAND, SC_RESTORE, 0);
  SetWindowPos(handle_, nullptr, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (mainForm_ && mainForm_->WindowState() == wsMinimized && !mainForm_->Visible()) {
    mainForm_->SetWindowState(wsNormal);
    mainForm_->Show();
  }
  RestoreTopMosts();
  if (Screen && Screen->ActiveControl() && Screen->ActiveControl()->CanFocus())
    ::SetFocus(Screen->ActiveControl()->Handle());
  else if (mainForm_ && mainForm_->Visible()) SetActiveWindow(mainForm_->Handle());
}

void TApplication::UpdateVisible() {
  if (!handle_) return;
  bool wanted = false;
  if (Screen)
    for (TCustomForm* form : Screen->Forms())
      if (form->Visible() && form->HandleAllocated()) wanted = true;
  bool actual = IsWindowVisible(handle_) != 0;
  if (wanted != lastVisible_ && actual == lastVisible_) {
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (wanted ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    lastVisible_ = wanted;
  }
}

LRESULT CALLBACK TApplication::ApplicationWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* app = reinterpret_cast<TApplication*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!app) return DefWindowProcA(window, msg, wParam, lParam);
  TMessage message{msg, wParam, lParam, 0};
  try {
    app->WndProc(message);
  } catch (...) {
    HandleWindowException();
  }
  return message.Result;
}

void TApplication::WndProc(TMessage& m) {
  auto defaultHandling = [&] { m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam); };
  switch (m.Msg) {
    case WM_ACTIVATEAPP:
      ActivateApp(m.WParam != 0);
      defaultHandling();
      return;
    case WM_ENABLE:
      if (m.WParam) RestoreTopMosts();
      else NormalizeAllTopMosts();
      defaultHandling();
      return;
    case WM_SYSCOMMAND:
      switch (m.WParam & 0xFFF0) {
        case SC_MINIMIZE:
          Minimize();
          return;
        case SC_RESTORE:
          Restore();
          return;
        default:
          defaultHandling();
          return;
      }
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return;
    case WM_SETTINGCHANGE:
      for (auto& hook : OnSettingChange) hook(reinterpret_cast<const char*>(m.LParam));
      defaultHandling();
      return;
    case WM_QUERYENDSESSION: {
      bool canEnd = true;
      if (Screen)
        for (TCustomForm* form : Screen->Forms()) canEnd = canEnd && form->CloseQuery();
      m.Result = canEnd;
      return;
    }
    case WM_ENDSESSION:
      if (m.WParam) Terminate();
      return;
    case WM_SETFOCUS:
      if (Screen && Screen->ActiveForm() && Screen->ActiveForm()->Visible() && !IsIconic(handle_)) {
        SetFocus(Screen->ActiveForm()->Handle());
        return;
      }
      defaultHandling();
      return;
    default:
      defaultHandling();
  }
}

// ---- TScreen

TScreen::TScreen(TComponent* owner) : TComponent(owner), pixelsPerInch_(ScreenPixelsPerInch()) {}

HCURSOR TScreen::Cursors(TCursor cursor) {
  for (auto& [number, handle] : cursors_)
    if (number == cursor) return handle;
  LPCSTR id = IDC_ARROW;
  switch (cursor) {
    case crCross:
      id = IDC_CROSS;
      break;
    case crIBeam:
      id = IDC_IBEAM;
      break;
    case crSizeNESW:
      id = IDC_SIZENESW;
      break;
    case crSizeNS:
      id = IDC_SIZENS;
      break;
    case crSizeNWSE:
      id = IDC_SIZENWSE;
      break;
    case crSizeWE:
      id = IDC_SIZEWE;
      break;
    case crUpArrow:
      id = IDC_UPARROW;
      break;
    case crHourGlass:
      id = IDC_WAIT;
      break;
    case crNo:
    case crNoDrop:
      id = IDC_NO;
      break;
    case crHSplit:
      id = IDC_SIZEWE;
      break;
    case crVSplit:
      id = IDC_SIZENS;
      break;
    case crAppStart:
      id = IDC_APPSTARTING;
      break;
    case crHelp:
      id = IDC_HELP;
      break;
    case crHandPoint:
      id = IDC_HAND;
      break;
    case crSizeAll:
      id = IDC_SIZEALL;
      break;
    default:
      break;
  }
  HCURSOR handle = LoadCursorA(nullptr, id);
  cursors_.emplace_back(cursor, handle);
  return handle;
}

void TScreen::SetCursorHandle(TCursor cursor, HCURSOR handle) {
  for (auto& entry : cursors_) {
    if (entry.first == cursor) {
      entry.second = handle;
      return;
    }
  }
  cursors_.emplace_back(cursor, handle);
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  if (cursor == crDefault) {
    // Let the window under the mouse choose its own cursor again.
    POINT p;
    GetCursorPos(&p);
    SetCursorPos(p.x, p.y);
  } else {
    ::SetCursor(Cursors(cursor));
  }
}

int TScreen::MonitorCount() { return GetSystemMetrics(SM_CMONITORS); }

TMonitor TScreen::MonitorFromWindow(HWND window) {
  HMONITOR handle = ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(handle, &info);
  return TMonitor{handle, info.rcMonitor, info.rcWork, (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
}

TMonitor TScreen::Monitors(int index) {
  std::vector<HMONITOR> handles;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&handles));
  if (index < 0 || index >= static_cast<int>(handles.size())) ListIndexError(index);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(handles[static_cast<std::size_t>(index)], &info);
  return TMonitor{handles[static_cast<std::size_t>(index)], info.rcMonitor, info.rcWork,
                  (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
}

// ---- start and end

namespace {

// Every control of every form hears that the system's fonts may have changed.
void NotifySystemFontChange(TControl* control) {
  control->Perform(CM_SYSFONTCHANGED);
  if (auto* win = dynamic_cast<TWinControl*>(control))
    for (int i = 0; i < win->ControlCount(); ++i) NotifySystemFontChange(win->Controls(i));
}

}  // namespace

void InitializeFramework() {
  // Date and time texts follow the regional settings, read before the first window exists.
  GetFormatSettings();
  RegisterComponentClass("TPanel", [](TComponent* owner) { return new TPanel(owner); });
  if (!Screen) Screen = new TScreen(nullptr);
  if (!Application) {
    Application = new TApplication(nullptr);
    Application->OnSettingChange.push_back([](const char*) { RefreshFormatSettings(); });
    Application->OnSettingChange.push_back([](const char*) {
      if (Screen)
        for (TCustomForm* form : std::vector<TCustomForm*>(Screen->Forms())) NotifySystemFontChange(form);
    });
  }
}

void FinalizeFramework() {
  TObject::Free(Application);
  Application = nullptr;
  TApplication::RunExitProcs();
  TObject::Free(Screen);
  Screen = nullptr;
}
