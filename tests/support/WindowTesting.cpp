#include "WindowTesting.h"

#include "Forms.h"

namespace {

ShownMessageBox* capturing = nullptr;

BOOL CALLBACK ReadAndAnswer(HWND w, LPARAM) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (std::string(cls) != "#32770" || !IsWindowVisible(w)) return TRUE;
  char text[1024] = {}, caption[256] = {};
  GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
  GetWindowTextA(w, caption, sizeof caption);
  capturing->shown = true;
  capturing->text = text;
  capturing->caption = caption;
  capturing->ownerEnabled = IsWindowEnabled(GetWindow(w, GW_OWNER)) != 0;
  PostMessageA(w, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
  if (!capturing || capturing->shown) return;
  EnumThreadWindows(GetCurrentThreadId(), ReadAndAnswer, 0);
}

}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (static_cast<int>(GetTickCount() - start) > milliseconds) return false;
    PumpMessages();
    Sleep(10);
  }
  return true;
}

ShownMessageBox CaptureMessageBox(const std::function<void()>& action) {
  ShownMessageBox result;
  capturing = &result;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
  action();
  KillTimer(nullptr, timer);
  capturing = nullptr;
  return result;
}
