#include "Forms.h"

#include <algorithm>
#include <new>

#include "ConstIds.h"
#include "ExtCtrls.h"
#include "FormatSettings.h"
#include "Streaming.h"
#include "SysUtils.h"

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

// Offers a dialog key to every windowed control inside `parent`, depth first, until one takes it.
bool BroadcastDialogKey(TWinControl& parent, WPARAM key, LPARAM keyData) {
  for (int i = 0; i < parent.ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(parent.Controls(i));
    if (!child) continue;
    if (child->Perform(CM_DIALOGKEY, key, keyData) != 0) return true;
    if (BroadcastDialogKey(*child, key, keyData)) return true;
  }
  return false;
}

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

// The monitor of `window` and of `active` when they differ and there is more than one.
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

// The position of an identifier among an enumeration's names; any other is an invalid value.
template <std::size_t N>
int ReadEnumName(TReader& reader, const std::string& identifier, const char* (&names)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (identifier == names[i]) return static_cast<int>(i);
  reader.Error(LoadResString(SInvalidPropertyValue));
}

// Height of the digit "0" in a font, as the screen draws it.
int MeasureTextHeight(TFont& font) {
  HDC dc = GetDC(nullptr);
  SIZE size{};
  {
    SelectedObject selected(dc, font.Handle());
    GetTextExtentPoint32A(dc, "0", 1, &size);
  }
  ReleaseDC(nullptr, dc);
  return size.cy;
}

}  // namespace

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
  return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
}

// ---- TScrollingWinControl

TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {}

bool TScrollingWinControl::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "AutoScroll") {
    SetAutoScroll(reader.ReadBoolean());
    return true;
  }
  return TWinControl::ReadProperty(reader, name);
}

void TScrollingWinControl::SetAutoScroll(bool value) {
  if (value == autoScroll_) return;
  autoScroll_ = value;
  UpdateScrollBars();
}

void TScrollingWinControl::CalcAutoRange() {
  // Only children that keep their own extent can need scrolling; aligned ones follow the client.
  int vert = 0, horz = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    if (c->Align() == alNone || c->Align() == alTop) vert = std::max(vert, c->Top() + c->Height());
    if (c->Align() == alNone || c->Align() == alLeft) horz = std::max(horz, c->Left() + c->Width());
  }
  vertRange_ = vert;
  horzRange_ = horz;
}

void TScrollingWinControl::UpdateScrollBars() {
  if (!HandleAllocated() || updatingBars_) return;
  updatingBars_ = true;
  CalcAutoRange();
  RECT client;
  GetClientRect(Handle(), &client);
  // The client area without any bars decides, so that a bar never keeps itself alive.
  LONG style = GetWindowLongA(Handle(), GWL_STYLE);
  int clientHeight = client.bottom + ((style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0);
  int clientWidth = client.right + ((style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0);
  bool needVert = autoScroll_ && vertRange_ > clientHeight;
  bool needHorz = autoScroll_ && horzRange_ > clientWidth;
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
  info.nMax = needVert ? vertRange_ - 1 : 0;
  info.nPage = needVert ? static_cast<UINT>(std::max<LONG>(client.bottom, 1)) : 0;
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
  ShowScrollBar(Handle(), SB_VERT, needVert);
  info.nMax = needHorz ? horzRange_ - 1 : 0;
  info.nPage = needHorz ? static_cast<UINT>(std::max<LONG>(client.right, 1)) : 0;
  SetScrollInfo(Handle(), SB_HORZ, &info, TRUE);
  ShowScrollBar(Handle(), SB_HORZ, needHorz);
  updatingBars_ = false;
}

void TScrollingWinControl::AlignControls(TControl* control, RECT& rect) {
  TWinControl::AlignControls(control, rect);
  UpdateScrollBars();
}

void TScrollingWinControl::WndProc(TMessage& m) {
  if (m.Msg == WM_VSCROLL && m.LParam == 0) {
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(Handle(), SB_VERT, &info);
    int pos = info.nPos;
    switch (LOWORD(m.WParam)) {
      case SB_LINEUP: pos -= 8; break;
      case SB_LINEDOWN: pos += 8; break;
      case SB_PAGEUP: pos -= static_cast<int>(info.nPage); break;
      case SB_PAGEDOWN: pos += static_cast<int>(info.nPage); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: pos = info.nTrackPos; break;
      default: break;
    }
    pos = std::clamp(pos, info.nMin, std::max(info.nMin, info.nMax - static_cast<int>(info.nPage) + 1));
    if (pos != info.nPos) {
      ScrollWindowEx(Handle(), 0, info.nPos - pos, nullptr, nullptr, nullptr, nullptr,
                     SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
      SetScrollPos(Handle(), SB_VERT, pos, TRUE);
    }
    return;
  }
  TWinControl::WndProc(m);
}

// ---- TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TScrollingWinControl(owner) {
  TControl::SetVisible(false);
  SetColor(clBtnFace);
  SetParentFont(false);
  SetBounds(0, 0, 320, 240);
  if (Screen) Screen->forms_.push_back(this);
  icon_.OnChange = [this](TObject*) {
    if (HandleAllocated()) {
      HICON icon = icon_.Empty() ? Application->Icon().Handle() : icon_.Handle();
      SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
  };
}

TCustomForm::~TCustomForm() {
  if (Screen) {
    auto& forms = Screen->forms_;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (Screen->activeForm_ == this) {
      Screen->activeForm_ = nullptr;
      Screen->activeControl_ = nullptr;
    }
  }
}

void TCustomForm::BeforeDestruction() {
  if (HasState(csDestroying)) return;
  if (Application && Application->mainForm_ == this) Application->mainForm_ = nullptr;
  TScrollingWinControl::BeforeDestruction();
}

void TCustomForm::LoadDescription(const std::function<void()>& bindFields, const std::string& resourceName) {
  std::string resource = resourceName.empty() ? AnsiUpperCase(ClassName()) : resourceName;
  ReadDescriptionResource(this, resource, ClassName());
  if (bindFields) bindFields();
  if (TNotifyEvent handler = OnCreate) handler(this);
  if (Visible()) ShowingChanged();
}

void TCustomForm::Loaded() {
  ScaleOnLoad();
  TScrollingWinControl::Loaded();
}

void TCustomForm::ScaleOnLoad() {
  int screenPpi = Screen ? Screen->PixelsPerInch() : ScreenPixelsPerInch();
  if (pixelsPerInch_ != screenPpi) Font().SetHeight(MulDiv(Font().Height(), screenPpi, 96));
  int measured = MeasureTextHeight(Font());
  if (measured == textHeight_ || textHeight_ <= 0) return;
  ChangeScale(measured, textHeight_);
}

void TCustomForm::ChangeScale(int multiplier, int divider) {
  // The form keeps its position; a stored client size scales, a stored outer size stays.
  DisableAlign();
  try {
    for (int i = 0; i < ControlCount(); ++i) Controls(i)->ChangeScale(multiplier, divider);
  } catch (...) {
    EnableAlign();
    throw;
  }
  if (clientWidth_ > 0) SetClientWidth(MulDiv(clientWidth_, multiplier, divider));
  if (clientHeight_ > 0) SetClientHeight(MulDiv(clientHeight_, multiplier, divider));
  EnableAlign();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  if (HandleAllocated()) {
    SetWindowPos(Handle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState state) {
  if (state == windowState_) return;
  windowState_ = state;
  if (HandleAllocated() && Visible()) {
    static constexpr int kShow[] = {SW_SHOWNORMAL, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};
    ShowWindow(Handle(), kShow[state]);
  }
}

void TCustomForm::SetClientWidth(int width) {
  clientWidth_ = width;
  RECT client = ClientRect();
  SetBounds(Left(), Top(), Width() - client.right + width, Height());
}

void TCustomForm::SetClientHeight(int height) {
  clientHeight_ = height;
  RECT client = ClientRect();
  SetBounds(Left(), Top(), Width(), Height() - client.bottom + height);
}

RECT TCustomForm::ClientRect() {
  if (HandleAllocated()) return TScrollingWinControl::ClientRect();
  // Before the window exists, the frame follows from the window style.
  RECT frame{0, 0, 0, 0};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  if (borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin) style |= WS_THICKFRAME;
  else if (borderStyle_ != bsNone) style |= WS_BORDER;
  if (borderStyle_ == bsNone) style = WS_POPUP;
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  return RECT{0, 0, Width() - (frame.right - frame.left), Height() - (frame.bottom - frame.top)};
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
  TScrollingWinControl::SetBounds(left, top, width, height);
}

void TCustomForm::CreateParams(TCreateParams& params) {
  TScrollingWinControl::CreateParams(params);
  params.Style = WS_CLIPCHILDREN;
  params.ExStyle = 0;
  switch (borderStyle_) {
    case bsNone:
      params.Style |= WS_POPUP;
      break;
    case bsSingle:
    case bsToolWindow:
      params.Style |= WS_CAPTION | WS_BORDER;
      break;
    case bsDialog:
      params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    default:
      params.Style |= WS_CAPTION | WS_THICKFRAME;
  }
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) params.ExStyle |= WS_EX_TOOLWINDOW;
  if (borderIcons_ & biSystemMenu) params.Style |= WS_SYSMENU;
  if ((borderIcons_ & biMinimize) && borderStyle_ != bsDialog) params.Style |= WS_MINIMIZEBOX;
  if ((borderIcons_ & biMaximize) && borderStyle_ != bsDialog) params.Style |= WS_MAXIMIZEBOX;
  if (!Enabled()) params.Style |= WS_DISABLED;
  params.WndParent = Application ? Application->Handle() : nullptr;
  params.X = Left();
  params.Y = Top();
  params.Width = Width();
  params.Height = Height();
  params.WindowClass.style = CS_DBLCLKS;
  params.WindowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
}

void TCustomForm::CreateWnd() {
  const TWindowState state = windowState_;  // the new window reports itself restored
  TScrollingWinControl::CreateWnd();
  ApplyStayOnTop();
  // A window made anew for a form on screen (a new border style) takes its place there.
  if (shownOnce_ && Visible()) {
    windowState_ = state;
    static constexpr int kShow[] = {SW_SHOWNA, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};
    ShowWindow(Handle(), kShow[state]);
  }
  HICON icon = icon_.Empty() ? (Application ? Application->Icon().Handle() : nullptr) : icon_.Handle();
  if (icon) SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void TCustomForm::ApplyStayOnTop() {
  if (formStyle_ == fsStayOnTop)
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TControl::SetVisible(visible);
}

bool TCustomForm::Showing() const { return Visible() && const_cast<TCustomForm*>(this)->HandleAllocated(); }

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated()) BringWindowToTop(Handle());
}

void TCustomForm::ShowingChanged() {
  if (HasState(csLoading)) return;  // shown at the end of construction
  if (Visible()) {
    HandleNeeded();
    // A window at its designed place follows the user to the monitor of the active window.
    RECT ownMonitor{}, activeMonitor{};
    if (position_ == poDesigned && OnOtherMonitor(Handle(), GetActiveWindow(), ownMonitor, activeMonitor)) {
      RECT there = MoveToMonitor(BoundsRect(), ownMonitor, activeMonitor);
      SetBounds(there.left, there.top, Width(), Height());
    }
    static constexpr int kShow[] = {SW_SHOWNORMAL, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};
    ShowWindow(Handle(), kShow[windowState_]);
    shownOnce_ = true;
    if (OnShow) OnShow(this);
  } else if (HandleAllocated()) {
    if (OnHide) OnHide(this);
    ShowWindow(Handle(), SW_HIDE);
  }
  if (Application) Application->UpdateVisible();
}

void TCustomForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else if (action == caFree) {
    PostMessageA(Handle(), CM_RELEASE, 0, 0);
  }
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control && !ContainsControl(control)) throw EInvalidOperation(LoadResString(SCannotFocus));
  activeControl_ = control;
  if (Screen && Screen->activeForm_ == this) Screen->activeControl_ = control;
}

void TCustomForm::FocusControl(TWinControl* control) {
  if (!control->CanFocus()) throw EInvalidOperation(LoadResString(SCannotFocus));
  SetActiveControl(control);
  if (HandleAllocated() && Visible()) ::SetFocus(control->Handle());
}

void TCustomForm::SetFocusedControl(TWinControl* control) {
  const bool ownControl = control != this && ContainsControl(control);
  // A UI-active embedded control gives up its UI while it is still the active control, so that
  // it can clear the form's slot even when the control itself does not report back.
  if (ownControl && activeEmbeddedControl_ && control != activeEmbeddedControl_)
    activeEmbeddedControl_->Perform(CM_UIDEACTIVATE);
  focusedControl_ = control;
  if (ownControl) activeControl_ = control;
  if (Screen) {
    Screen->activeForm_ = this;
    Screen->activeControl_ = control;
  }
  if (ownControl && activeControl_ == control) control->Perform(CM_UIACTIVATE);
}

void TCustomForm::ControlRemoved(TControl* control) {
  auto inside = [control](TWinControl* c) {
    return c && (c == control || (dynamic_cast<TWinControl*>(control) &&
                                  static_cast<TWinControl*>(control)->ContainsControl(c)));
  };
  if (inside(activeControl_)) activeControl_ = nullptr;
  if (inside(focusedControl_)) focusedControl_ = nullptr;
  if (inside(activeEmbeddedControl_)) activeEmbeddedControl_ = nullptr;
  if (Screen && inside(Screen->activeControl_)) Screen->activeControl_ = nullptr;
}

void TCustomForm::Activated(bool active) {
  active_ = active;
  if (!active) {
    if (OnDeactivate) OnDeactivate(this);
    return;
  }
  if (Screen) Screen->activeForm_ = this;
  if (!activeControl_) {
    TWinControl* first = FindNextControl(nullptr, true, true, false);
    if (first) activeControl_ = first;
  }
  if (activeControl_ && activeControl_->CanFocus()) ::SetFocus(activeControl_->Handle());
  if (OnActivate) OnActivate(this);
}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      ShowingChanged();
      return;
    case WM_CLOSE:
      Close();
      return;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
        Application->Minimize();
        return;
      }
      break;
    case WM_ACTIVATE:
      DefaultHandler(m);
      Activated(LOWORD(m.WParam) != WA_INACTIVE);
      return;
    case WM_ACTIVATEAPP:
      if (Application) Application->ActivateApp(m.WParam != 0);
      break;
    case WM_SETFOCUS:
      if (activeControl_ && activeControl_ != this && activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->Handle());
        return;
      }
      break;
    case WM_QUERYENDSESSION:
      m.Result = CloseQuery();
      return;
    case WM_QUERYNEWPALETTE:
      m.Result = PaletteChanged(true) ? 1 : 0;
      return;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(m.WParam) != Handle()) PaletteChanged(false);
      break;
    case WM_SIZE:
      if (m.WParam == SIZE_MINIMIZED) windowState_ = wsMinimized;
      else if (m.WParam == SIZE_MAXIMIZED) windowState_ = wsMaximized;
      else if (m.WParam == SIZE_RESTORED && windowState_ != wsNormal && !IsIconic(Handle())) windowState_ = wsNormal;
      break;
    case CM_RELEASE:
      TObject::Free(this);
      return;
    case CM_DIALOGKEY:
      m.Result = BroadcastDialogKey(*this, m.WParam, m.LParam) ? 1 : 0;
      if (m.Result) return;
      break;
    default:
      break;
  }
  TScrollingWinControl::WndProc(m);
}

TPersistent* TCustomForm::NestedProperty(std::string_view name) { return TScrollingWinControl::NestedProperty(name); }

bool TCustomForm::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "ClientWidth") {
    SetClientWidth(reader.ReadInteger(0, kMaxExtent));
  } else if (name == "ClientHeight") {
    SetClientHeight(reader.ReadInteger(0, kMaxExtent));
  } else if (name == "FormStyle") {
    static const char* kNames[] = {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"};
    const int style = ReadEnumName(reader, reader.ReadIdent(), kNames);
    // The framework has no MDI windows.
    if (style != fsNormal && style != fsStayOnTop) reader.Error(LoadResString(SInvalidPropertyValue));
    SetFormStyle(static_cast<TFormStyle>(style));
  } else if (name == "BorderStyle") {
    static const char* kNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
    borderStyle_ = static_cast<TFormBorderStyle>(ReadEnumName(reader, reader.ReadIdent(), kNames));
  } else if (name == "BorderIcons") {
    static const char* kNames[] = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
    unsigned icons = 0;
    for (const std::string& s : reader.ReadSet()) icons |= 1u << ReadEnumName(reader, s, kNames);
    borderIcons_ = icons;
  } else if (name == "WindowState") {
    static const char* kNames[] = {"wsNormal", "wsMinimized", "wsMaximized"};
    windowState_ = static_cast<TWindowState>(ReadEnumName(reader, reader.ReadIdent(), kNames));
  } else if (name == "Position") {
    static const char* kNames[] = {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                                   "poScreenCenter", "poDesktopCenter"};
    position_ = static_cast<TPosition>(ReadEnumName(reader, reader.ReadIdent(), kNames));
  } else if (name == "PixelsPerInch") {
    pixelsPerInch_ = reader.ReadInteger();
  } else if (name == "TextHeight") {
    textHeight_ = reader.ReadInteger();
  } else if (name == "OldCreateOrder") {
    oldCreateOrder_ = reader.ReadBoolean();
  } else if (name == "IconResource") {
    // The form's own icon, from the program's icon resources.
    icon_.LoadFromResourceName(GetModuleHandleA(nullptr), reader.ReadString());
  } else if (name == "ActiveControl") {
    reader.ReadReference<TWinControl>([this](TWinControl* c) { activeControl_ = c; });
  } else if (name == "OnClose" || name == "OnCreate" || name == "OnShow") {
    reader.ReadEvent([this, n = std::string(name)](TNotifyEvent e) {
      if (n == "OnCreate") OnCreate = e;
      else if (n == "OnShow") OnShow = e;
      // A method of the form's own takes the close notice; the action stays as offered.
      else if (e) OnClose = [e](TObject* sender, TCloseAction&) { e(sender); };
      else OnClose = nullptr;
    });
  } else {
    return TScrollingWinControl::ReadProperty(reader, name);
  }
  return true;
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
  if (icon)
    icon_.SetHandle(icon, false);
  else
    icon_.SetHandle(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), false);
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
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kApplicationClass;
    if (!RegisterClassA(&wc)) throw EOutOfResources(LoadResString(SWindowClass));
  }
  handle_ = CreateWindowExA(0, kApplicationClass, title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                            nullptr, instance, nullptr);
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
    if (command == SW_SHOWMAXIMIZED)
      mainForm_->SetWindowState(wsMaximized);
    else if (command == SW_SHOWMINNOACTIVE)
      mainForm_->SetWindowState(wsMinimized);
    if (showMainForm_) {
      if (mainForm_->WindowState() == wsMinimized)
        Minimize();
      else
        mainForm_->SetVisible(true);
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
  if (OnException)
    OnException(shown);
  else
    ShowException(shown);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND active = GetActiveWindow();
  // Every enabled, visible window of the program is disabled while the box is shown.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  for (HWND w : disabled) EnableWindow(w, FALSE);
  // The box appears where the user works: the hidden window visits the active window's monitor.
  RECT home{}, ownMonitor{}, activeMonitor{};
  const bool moved = handle_ && GetWindowRect(handle_, &home) && OnOtherMonitor(handle_, active, ownMonitor, activeMonitor);
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
  if (active)
    RestoreTopMosts();
  else
    NormalizeTopMosts();
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
  else if (mainForm_ && mainForm_->Visible())
    SetActiveWindow(mainForm_->Handle());
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
      if (m.WParam)
        RestoreTopMosts();
      else
        NormalizeAllTopMosts();
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
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: id = IDC_WAIT; break;
    case crNo:
    case crNoDrop: id = IDC_NO; break;
    case crHSplit: id = IDC_SIZEWE; break;
    case crVSplit: id = IDC_SIZENS; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break;
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
