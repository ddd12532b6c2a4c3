// Windows bound to their objects: the one window procedure that finds a message's object, the
// binding of new and adopted windows, and child notifications reflected back to the child.
#include "framework/Controls.h"

#include <unordered_map>

#include "framework/SysUtils.h"

namespace {

// Window to object. A window property would do, but under Wine every property lookup is a
// round trip to the server, and every message to every window asks this once or twice.
// Windows belong to the thread that made them, and so does this map.
thread_local std::unordered_map<HWND, TWinControl*> boundControls;

// The control whose window is being made: the window procedure binds the first message of a
// new window to it (some messages arrive before CreateWindowEx returns).
thread_local TWinControl* creationControl = nullptr;

// Windows given back after adoption while someone else's procedure sat in front of ours: ours
// stays in their chain and passes their messages on to the window's own procedure.
thread_local std::unordered_map<HWND, WNDPROC> releasedWindows;

// The messages that only a window being made receives first.
bool IsCreationMessage(UINT msg) { return msg == WM_NCCREATE || msg == WM_GETMINMAXINFO; }

}  // namespace

TWinControl* TWinControl::FindControl(HWND window) {
  auto found = boundControls.find(window);
  return found == boundControls.end() ? nullptr : found->second;
}

void TWinControl::Bind(HWND window) {
  handle_ = window;
  boundControls[window] = this;
}

void TWinControl::Unbind() {
  if (handle_) {
    auto found = boundControls.find(handle_);
    if (found != boundControls.end() && found->second == this) boundControls.erase(found);
  }
  handle_ = nullptr;
}

void TWinControl::CreateBoundWindow(const TCreateParams& params) {
  TWinControl* outer = creationControl;
  creationControl = this;
  TScopeExit restoreOuter([&] { creationControl = outer; });
  CreateWindowHandle(params);
}

LRESULT CALLBACK TWinControl::InitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = FindControl(window);
  // A window being made is new whatever the map says: an entry for its handle was left by a
  // window that died unseen, and the system has given the handle out again.
  if (control && creationControl && control != creationControl && IsCreationMessage(msg)) {
    control->WindowGone();
    control = nullptr;
  }
  if (!control) {
    control = creationControl;
    if (!control) {
      auto released = releasedWindows.find(window);
      if (released == releasedWindows.end()) return DefWindowProcA(window, msg, wParam, lParam);
      WNDPROC own = released->second;
      if (msg == WM_NCDESTROY) releasedWindows.erase(released);
      return CallWindowProcA(own, window, msg, wParam, lParam);
    }
    creationControl = nullptr;
    control->Bind(window);
  }
  TMessage message{msg, wParam, lParam, 0};
  try {
    control->WndProc(message);
  } catch (...) {
    HandleWindowException();
  }
  if (msg == WM_NCDESTROY && FindControl(window) == control) control->WindowGone();
  return message.Result;
}

void TWinControl::WindowGone() {
  Unbind();
  // An adopted window that died on its own leaves nothing to give back.
  if (adopted_) {
    adopted_ = false;
    defWndProc_ = DefWindowProcA;
  }
}

void TWinControl::AdoptWindow(HWND window) {
  Bind(window);
  adopted_ = true;
  // Ours may still sit in the window's chain from an earlier adoption: it serves again there.
  if (auto released = releasedWindows.find(window); released != releasedWindows.end()) {
    defWndProc_ = released->second;
    releasedWindows.erase(released);
    return;
  }
  defWndProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::InitWndProc)));
}

void TWinControl::ReleaseAdoptedWindow() {
  if (!handle_ || !adopted_) return;
  // A procedure put in front of ours since (the control subclassing its own window) stays;
  // ours then passes on what reaches it.
  const auto ours = reinterpret_cast<LONG_PTR>(&TWinControl::InitWndProc);
  if (GetWindowLongPtrA(handle_, GWLP_WNDPROC) == ours)
    SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defWndProc_));
  else if (IsWindow(handle_)) releasedWindows[handle_] = defWndProc_;
  WindowGone();
}

bool TWinControl::Reflect(TMessage& m) {
  HWND child = nullptr;
  switch (m.Msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
      child = reinterpret_cast<HWND>(m.LParam);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
      break;
    case WM_DRAWITEM: {
      auto* info = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (info->CtlType != ODT_MENU) child = info->hwndItem;
      break;
    }
    case WM_DELETEITEM:
      child = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem;
      break;
    case WM_COMPAREITEM:
      child = reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem;
      break;
    case WM_MEASUREITEM: {
      auto* info = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (info->CtlType == ODT_MENU) return false;
      child = GetDlgItem(handle_, static_cast<int>(info->CtlID));
      TWinControl* control = FindControl(child);
      // Measuring happens while the child's window is being made, before it is bound.
      if (!control && creationControl && creationControl->Parent() == this) control = creationControl;
      if (!control) return false;
      m.Result = control->Perform(CN_MEASUREITEM, m.WParam, m.LParam);
      return true;
    }
    default:
      return false;
  }
  TWinControl* control = FindControl(child);
  if (!control || control == this) return false;
  m.Result = control->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
  return true;
}
