// The windowed control: its platform window made lazily, destroyed and remade with its state,
// its children and their alignment, tab order and focus, its message handling, and the control
// that paints itself on a canvas.
#include "framework/Controls.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

int nextChildId = 100;

}  // namespace

// Asked of the system once: under Wine each ask costs trips to the window server, and every
// control's window class wants it.
HCURSOR ArrowCursor() {
  static const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  return arrow;
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { brush_.SetColor(Color()); }

TWinControl::~TWinControl() {
  // Owned or not, children cannot outlive their parent's window.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  if (handle_) {
    HWND window = handle_;
    if (adopted_) {
      ReleaseAdoptedWindow();
    } else {
      Unbind();
      DestroyWindow(window);
    }
  }
}

void TWinControl::BeforeDestruction() {
  if (HasState(csDestroying)) return;
  Destroying();
  if (handle_) DestroyHandle();
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    if (child->Owner() == nullptr || child->Owner() == this || child->Owner() == Owner()) {
      TObject::Free(child);
    } else {
      child->SetParent(nullptr);
    }
  }
  TControl::BeforeDestruction();
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_) return;
  if (Parent()) Parent()->HandleNeeded();
  if (!handle_) CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Caption = Text();
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (Visible()) params.Style |= WS_VISIBLE;
  if (!Enabled()) params.Style |= WS_DISABLED;
  if (tabStop_) params.Style |= WS_TABSTOP;
  params.X = Left();
  params.Y = Top();
  params.Width = Width();
  params.Height = Height();
  if (Parent()) params.WndParent = Parent()->Handle();
  params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  params.WindowClass.lpfnWndProc = DefWindowProcA;
  params.WindowClass.hCursor = ArrowCursor();
  params.WindowClass.hbrBackground = nullptr;
  params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if ((params.Style & WS_CHILD) && !params.WndParent) throw EInvalidOperation(ResFmt(SParentRequired, Name().c_str()));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!params.SubClassOf.empty()) {
    WNDCLASSA system{};
    if (!GetClassInfoA(nullptr, params.SubClassOf.c_str(), &system) &&
        !GetClassInfoA(instance, params.SubClassOf.c_str(), &system))
      throw EOutOfResources(LoadResString(SWindowClass));
    params.WindowClass.style = system.style;
    params.WindowClass.cbClsExtra = system.cbClsExtra;
    params.WindowClass.cbWndExtra = system.cbWndExtra;
    if (system.hCursor) params.WindowClass.hCursor = system.hCursor;
    params.WindowClass.hbrBackground = system.hbrBackground;
    params.WindowClass.lpfnWndProc = system.lpfnWndProc;
  }
  defWndProc_ = params.WindowClass.lpfnWndProc;
  params.WindowClass.lpfnWndProc = InitWndProc;
  params.WindowClass.hInstance = instance;
  params.WindowClass.lpszClassName = params.WinClassName.c_str();
  WNDCLASSA existing{};
  bool registered = GetClassInfoA(instance, params.WinClassName.c_str(), &existing) != 0;
  if (!registered || existing.lpfnWndProc != InitWndProc) {
    if (registered) UnregisterClassA(params.WinClassName.c_str(), instance);
    if (!RegisterClassA(&params.WindowClass)) throw EOutOfResources(LoadResString(SWindowClass));
  }
  CreateBoundWindow(params);
  if (!handle_) RaiseLastOSError();
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
  HMENU id = (params.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextChildId++)) : nullptr;
  HWND window = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                                params.X, params.Y, params.Width, params.Height, params.WndParent, id,
                                GetModuleHandleA(nullptr), params.Param);
  if (window && !handle_) Bind(window);
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  if (defWndProc_ != DefWindowProcA || dynamic_cast<TCustomForm*>(this) == nullptr)
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), 0);
  // A new child window comes at the bottom of its siblings, which is its place unless a later
  // sibling has its window already; an adopted window was made by someone else.
  if (adopted_ || LaterSiblingHasWindow()) UpdateWindowPlacement();
  for (TControl* child : std::vector<TControl*>(controls_)) {
    if (auto* win = dynamic_cast<TWinControl*>(child)) win->HandleNeeded();
  }
  Realign();
}

bool TWinControl::LaterSiblingHasWindow() const {
  if (!Parent()) return false;
  const auto& siblings = Parent()->controls_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  return std::any_of(it == siblings.end() ? it : it + 1, siblings.end(), [](TControl* c) {
    auto* win = dynamic_cast<TWinControl*>(c);
    return win && win->handle_;
  });
}

void TWinControl::UpdateWindowPlacement() {
  if (!handle_ || !Parent()) return;
  // Keep the platform's z-order the same as our list of children.
  HWND after = HWND_TOP;
  for (TControl* child : Parent()->controls_) {
    auto* win = dynamic_cast<TWinControl*>(child);
    if (!win || !win->handle_) continue;
    if (win == this) break;
    after = win->handle_;
  }
  SetWindowPos(handle_, after == HWND_TOP ? HWND_BOTTOM : after, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TControl* child : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(child)) win->DestroyHandle();
  }
  DestroyWnd();
}

void TWinControl::DestroyWnd() { DestroyWindowHandle(); }

void TWinControl::DestroyWindowHandle() {
  HWND window = handle_;
  if (!window) return;
  if (adopted_) {
    ReleaseAdoptedWindow();
    return;
  }
  DestroyWindow(window);
  if (handle_ == window) Unbind();
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  DestroyHandle();
  HandleNeeded();
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    tabList_.push_back(win);
    if (handle_ && !control->HasState(csReading)) win->HandleNeeded();
  }
  if (control->Align() != alNone) Realign();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  control->Invalidate();
  if (auto* form = ParentForm(); form && !form->HasState(csDestroying)) form->ControlRemoved(control);
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    if (win->handle_ && !HasState(csDestroying)) win->DestroyHandle();
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), win), tabList_.end());
  }
  controls_.erase(std::find(controls_.begin(), controls_.end(), control));
  control->parent_ = nullptr;
  if (control->Align() != alNone && !HasState(csDestroying)) Realign();
}

bool TWinControl::ContainsControl(const TControl* control) const {
  while (control && control != this) control = control->Parent();
  return control == this;
}

bool TWinControl::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "TabOrder") {
    SetTabOrder(reader.ReadInteger());
  } else if (name == "TabStop") {
    SetTabStop(reader.ReadBoolean());
  } else if (name == "Ctl3D") {
    SetCtl3D(reader.ReadBoolean());
  } else if (name == "ParentCtl3D") {
    parentCtl3D_ = reader.ReadBoolean();
  } else if (name == "OnEnter") {
    reader.ReadEvent([this](TNotifyEvent e) { OnEnter = std::move(e); });
  } else if (name == "OnExit") {
    reader.ReadEvent([this](TNotifyEvent e) { OnExit = std::move(e); });
  } else {
    return TControl::ReadProperty(reader, name);
  }
  return true;
}

void TWinControl::ReadChild(TComponent* child) {
  if (auto* control = dynamic_cast<TControl*>(child)) control->SetParent(this);
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (HasState(csReading)) {
    // Siblings read later may still take a lower place: apply once all are read.
    pendingTabOrder_ = order;
    return;
  }
  if (!Parent()) return;
  auto& list = Parent()->tabList_;
  int current = TabOrder();
  if (current < 0) return;
  int count = static_cast<int>(list.size());
  if (order < 0 || order >= count) order = count - 1;
  if (order == current) return;
  list.erase(list.begin() + current);
  list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool value) {
  if (value == tabStop_) return;
  tabStop_ = value;
  if (handle_) {
    LONG style = GetWindowLongA(handle_, GWL_STYLE);
    SetWindowLongA(handle_, GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
}

std::vector<TWinControl*> TWinControl::TabList() const { return tabList_; }

void TWinControl::Loaded() {
  TControl::Loaded();
  if (pendingTabOrder_ >= 0) {
    int order = pendingTabOrder_;
    pendingTabOrder_ = -1;
    SetTabOrder(order);
  }
  if (handle_) {
    for (TControl* child : std::vector<TControl*>(controls_))
      if (auto* win = dynamic_cast<TWinControl*>(child)) win->HandleNeeded();
  }
  Realign();
}

bool TWinControl::CanFocus() const {
  // A control on its way out must not take the focus: that would give it a new window.
  const TWinControl* c = this;
  while (c) {
    if (!c->Visible() || !c->Enabled() || c->HasState(csDestroying)) return false;
    c = c->Parent();
  }
  return true;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
  if (TCustomForm* form = ParentForm()) {
    form->FocusControl(this);
  } else if (CanFocus()) {
    ::SetFocus(Handle());
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop,
                                          bool checkParent) const {
  // All windowed descendants in tab order, depth first.
  std::vector<TWinControl*> order;
  std::function<void(const TWinControl*)> collect = [&](const TWinControl* parent) {
    for (TWinControl* child : parent->tabList_) {
      order.push_back(child);
      collect(child);
    }
  };
  collect(this);
  if (order.empty()) return nullptr;
  int count = static_cast<int>(order.size());
  auto it = std::find(order.begin(), order.end(), current);
  int start = it == order.end() ? (forward ? count - 1 : 0) : static_cast<int>(it - order.begin());
  int i = start;
  for (int n = 0; n < count; ++n) {
    i = forward ? (i + 1) % count : (i - 1 + count) % count;
    TWinControl* candidate = order[static_cast<std::size_t>(i)];
    if (candidate == current) break;
    if ((!checkTabStop || candidate->TabStop()) && (!checkParent || candidate->Parent() == this) &&
        candidate->CanFocus())
      return candidate;
  }
  return nullptr;
}

void TWinControl::SelectFirst() {
  TWinControl* first = FindNextControl(nullptr, true, true, false);
  if (!first) first = FindNextControl(nullptr, true, false, false);
  if (first) first->SetFocus();
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
  TWinControl* next = FindNextControl(current, forward, checkTabStop, false);
  if (next) next->SetFocus();
}

void TWinControl::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  parentCtl3D_ = false;
  Perform(CM_CTL3DCHANGED);
}

void TWinControl::ChildBoundsChanged(TControl* child) {
  if (child->Align() != alNone) Realign();
}

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0 && --alignLevel_ == 0 && alignPending_) Realign();
}

void TWinControl::Realign() {
  if (alignLevel_ > 0 || HasState(csLoading) || HasState(csDestroying)) {
    alignPending_ = true;
    return;
  }
  alignPending_ = false;
  RECT rect = ClientRect();
  {
    ++alignLevel_;
    TScopeExit endAlign([this] { --alignLevel_; });
    AlignControls(nullptr, rect);
  }
  if (alignPending_) {
    alignPending_ = false;
    Realign();
  }
}

void TWinControl::AlignControls(TControl*, RECT& rect) {
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->Align() == align && c->Visible()) list.push_back(c);
    std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
      switch (align) {
        case alTop:
          return a->Top() < b->Top();
        case alBottom:
          return a->Top() + a->Height() > b->Top() + b->Height();
        case alLeft:
          return a->Left() < b->Left();
        case alRight:
          return a->Left() + a->Width() > b->Left() + b->Width();
        default:
          return false;
      }
    });
    for (TControl* c : list) {
      int w = rect.right - rect.left, h = rect.bottom - rect.top;
      switch (align) {
        case alTop:
          c->SetBounds(rect.left, rect.top, w, c->Height());
          rect.top += c->Height();
          break;
        case alBottom:
          c->SetBounds(rect.left, rect.bottom - c->Height(), w, c->Height());
          rect.bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(rect.left, rect.top, c->Width(), h);
          rect.left += c->Width();
          break;
        case alRight:
          c->SetBounds(rect.right - c->Width(), rect.top, c->Width(), h);
          rect.right -= c->Width();
          break;
        default:
          c->SetBounds(rect.left, rect.top, std::max(w, 0), std::max(h, 0));
      }
    }
  }
}

bool TWinControl::Showing() const {
  if (!Visible() || !handle_) return false;
  return Parent() ? Parent()->Showing() : IsWindowVisible(handle_) != 0;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == Left() && top == Top() && width == Width() && height == Height()) return;
  bool sized = width != Width() || height != Height();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_) {
    // The window reports the new bounds back; the layout follows them here, once.
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();
  }
  if (sized) Realign();
  if (Parent()) Parent()->ChildBoundsChanged(this);
  if (sized) Resize();
}

RECT TWinControl::ClientRect() {
  if (!handle_) return RECT{0, 0, Width(), Height()};
  RECT r;
  GetClientRect(handle_, &r);
  return r;
}

void TWinControl::UpdateBounds() {
  if (!handle_) return;
  RECT r;
  GetWindowRect(handle_, &r);
  if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) {
    HWND parent = GetParent(handle_);
    if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  } else if (IsIconic(handle_)) {
    return;  // a minimized window keeps its restored bounds
  }
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
}

void TWinControl::UpdateShowing() {
  if (!handle_) {
    if (Visible() && (!Parent() || Parent()->HandleAllocated())) HandleNeeded();
    return;
  }
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::SetVisible(bool visible) { TControl::SetVisible(visible); }

void TWinControl::SetEnabled(bool enabled) {
  TControl::SetEnabled(enabled);
  if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  if (handle_ && !parent) DestroyHandle();
  TControl::SetParent(parent);
  if (handle_ && parent) {
    ::SetParent(handle_, parent->Handle());
    UpdateWindowPlacement();
  }
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::ChangeScale(int multiplier, int divider) {
  DisableAlign();
  TUpdateScope align([this] { EnableAlign(); });
  for (TControl* child : controls_) child->ChangeScale(multiplier, divider);
  TControl::ChangeScale(multiplier, divider);
  align.Close();
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* child : controls_) {
    auto* graphic = dynamic_cast<TGraphicControl*>(child);
    if (!graphic || !graphic->Visible()) continue;
    RECT r = graphic->BoundsRect();
    if (!RectVisible(dc, &r)) continue;
    int saved = SaveDC(dc);
    SetViewportOrgEx(dc, r.left, r.top, nullptr);
    IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    graphic->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
  }
}

void TWinControl::PaintWindow(HDC dc) {
  TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
  DefaultHandler(m);
}

bool TWinControl::PaletteChanged(bool foreground) {
  // In the foreground the first control that realises a palette wins; otherwise all hear of it.
  bool realised = false;
  for (TControl* control : std::vector<TControl*>(controls_)) {
    if (control->PaletteChanged(foreground)) {
      realised = true;
      if (foreground) break;
    }
  }
  return realised;
}

bool TWinControl::DoKeyDown(WORD& key, unsigned shift) {
  if (TKeyEvent handler = OnKeyDown) handler(this, key, shift);
  return key == 0;
}

void TWinControl::WndProc(TMessage& m) {
  if (Reflect(m)) return;
  switch (m.Msg) {
    case WM_PAINT:
      if (defWndProc_ == DefWindowProcA) {
        if (m.WParam) {
          PaintWindow(reinterpret_cast<HDC>(m.WParam));
          PaintControls(reinterpret_cast<HDC>(m.WParam));
        } else {
          PAINTSTRUCT ps;
          HDC dc = BeginPaint(handle_, &ps);
          TScopeExit endPaint([&] { EndPaint(handle_, &ps); });
          PaintWindow(dc);
          PaintControls(dc);
        }
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (defWndProc_ == DefWindowProcA) {
        RECT r;
        GetClientRect(handle_, &r);
        brush_.SetColor(Color());
        ::FillRect(reinterpret_cast<HDC>(m.WParam), &r, brush_.Handle());
        m.Result = 1;
        return;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      int oldWidth = Width(), oldHeight = Height();
      DefaultHandler(m);
      UpdateBounds();
      if (Width() != oldWidth || Height() != oldHeight) {
        Realign();
        Resize();
      }
      return;
    }
    case WM_SETFOCUS:
      if (TCustomForm* form = ParentForm()) form->SetFocusedControl(this);
      break;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && Screen && Screen->Cursor() != crDefault) {
        ::SetCursor(Screen->Cursors(Screen->Cursor()));
        m.Result = 1;
        return;
      }
      if (LOWORD(m.LParam) == HTCLIENT && Cursor() != crDefault && reinterpret_cast<HWND>(m.WParam) == handle_) {
        ::SetCursor(CursorHandle(Cursor()));
        m.Result = 1;
        return;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD key = static_cast<WORD>(m.WParam);
      // A handler's change, clearing included, is what a derived control sees afterwards; a
      // handler that freed the control ends the message.
      auto alive = AliveToken();
      bool cleared = DoKeyDown(key, KeyDataToShiftState(m.LParam));
      m.WParam = key;
      if (cleared || alive.expired()) return;
      break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (TKeyEvent handler = OnKeyUp) {
        WORD key = static_cast<WORD>(m.WParam);
        auto alive = AliveToken();
        handler(this, key, KeyDataToShiftState(m.LParam));
        m.WParam = key;
        if (key == 0 || alive.expired()) return;
      }
      break;
    case WM_CHAR:
      if (TKeyPressEvent handler = OnKeyPress) {
        char key = static_cast<char>(m.WParam);
        auto alive = AliveToken();
        handler(this, key);
        m.WParam = static_cast<unsigned char>(key);
        if (key == 0 || alive.expired()) return;
      }
      break;
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORMSGBOX:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font().Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      brush_.SetColor(Color());
      m.Result = reinterpret_cast<LRESULT>(brush_.Handle());
      return;
    }
    case CM_COLORCHANGED:
      brush_.SetColor(Color());
      Invalidate();
      return;
    case CM_FONTCHANGED:
      if (handle_ && defWndProc_ != DefWindowProcA)
        SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
      Invalidate();
      return;
    case CM_VISIBLECHANGED:
      UpdateShowing();
      return;
    case CM_TEXTCHANGED:
      if (handle_) SetWindowTextA(handle_, Text().c_str());
      return;
    case CM_RECREATEWND:
      RecreateWnd();
      return;
    case WM_NCDESTROY:
      DefaultHandler(m);
      WindowGone();
      return;
    default:
      break;
  }
  TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) return;
  // Our own notifications mean nothing to the platform's window procedures.
  if (m.Msg >= CM_BASE && m.Msg < 0xC000) {
    if (m.Msg >= CN_BASE && m.Msg - CN_BASE == WM_KEYDOWN) m.Result = 0;
    return;
  }
  m.Result = CallWindowProcA(defWndProc_, handle_, m.Msg, m.WParam, m.LParam);
}

// ---- TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {}

void TCustomControl::WndProc(TMessage& m) { TWinControl::WndProc(m); }

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->SetHandle(dc);
  TScopeExit releaseCanvas([&] { canvas_->SetHandle(nullptr); });
  canvas_->Font().Assign(Font());
  canvas_->Brush().SetColor(Color());
  Paint();
}

void TCustomControl::Paint() {}
