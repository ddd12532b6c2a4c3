#include "framework/Forms.h"

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

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

// The framework has no MDI windows: their styles are invalid values.
constexpr TIdentMapEntry kFormStyles[] = {{"fsNormal", fsNormal}, {"fsStayOnTop", fsStayOnTop}};
constexpr TIdentMapEntry kBorderStyles[] = {
    {"bsNone", bsNone},     {"bsSingle", bsSingle},         {"bsSizeable", bsSizeable},
    {"bsDialog", bsDialog}, {"bsToolWindow", bsToolWindow}, {"bsSizeToolWin", bsSizeToolWin}};
constexpr TIdentMapEntry kBorderIcons[] = {
    {"biSystemMenu", biSystemMenu}, {"biMinimize", biMinimize}, {"biMaximize", biMaximize}, {"biHelp", biHelp}};
constexpr TIdentMapEntry kWindowStates[] = {
    {"wsNormal", wsNormal}, {"wsMinimized", wsMinimized}, {"wsMaximized", wsMaximized}};
constexpr TIdentMapEntry kPositions[] = {{"poDesigned", poDesigned},
                                         {"poDefault", poDefault},
                                         {"poDefaultPosOnly", poDefaultPosOnly},
                                         {"poDefaultSizeOnly", poDefaultSizeOnly},
                                         {"poScreenCenter", poScreenCenter},
                                         {"poDesktopCenter", poDesktopCenter}};

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
      case SB_LINEUP:
        pos -= 8;
        break;
      case SB_LINEDOWN:
        pos += 8;
        break;
      case SB_PAGEUP:
        pos -= static_cast<int>(info.nPage);
        break;
      case SB_PAGEDOWN:
        pos += static_cast<int>(info.nPage);
        break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION:
        pos = info.nTrackPos;
        break;
      default:
        break;
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
  TUpdateScope align([this] { EnableAlign(); });
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->ChangeScale(multiplier, divider);
  if (clientWidth_ > 0) SetClientWidth(MulDiv(clientWidth_, multiplier, divider));
  if (clientHeight_ > 0) SetClientHeight(MulDiv(clientHeight_, multiplier, divider));
  align.Close();
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
  params.WindowClass.hCursor = ArrowCursor();
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
    return c && (c == control ||
                 (dynamic_cast<TWinControl*>(control) && static_cast<TWinControl*>(control)->ContainsControl(c)));
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
    SetFormStyle(static_cast<TFormStyle>(ReadIdent(reader, kFormStyles)));
  } else if (name == "BorderStyle") {
    borderStyle_ = static_cast<TFormBorderStyle>(ReadIdent(reader, kBorderStyles));
  } else if (name == "BorderIcons") {
    borderIcons_ = ReadIdentSet(reader, kBorderIcons);
  } else if (name == "WindowState") {
    windowState_ = static_cast<TWindowState>(ReadIdent(reader, kWindowStates));
  } else if (name == "Position") {
    position_ = static_cast<TPosition>(ReadIdent(reader, kPositions));
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
