#include "tests/support/WindowTesting.h"

#include <cstdlib>

namespace {

ShownMessageBox* capturing = nullptr;
const std::function<void()>* probing = nullptr;

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
  if (probing && *probing) (*probing)();
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

ShownMessageBox CaptureMessageBox(const std::function<void()>& action, const std::function<void()>& whileShown) {
  ShownMessageBox result;
  capturing = &result;
  probing = &whileShown;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
  action();
  KillTimer(nullptr, timer);
  capturing = nullptr;
  probing = nullptr;
  return result;
}

namespace {

INPUT AbsoluteMouse(POINT screen) {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // A quarter into the pixel, so that scaling back lands on it however the platform rounds.
  input.mi.dx = static_cast<LONG>((4LL * screen.x + 1) * 65536 / (4LL * width));
  input.mi.dy = static_cast<LONG>((4LL * screen.y + 1) * 65536 / (4LL * height));
  input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  return input;
}

}  // namespace

INPUT PointerInputAt(POINT screen) {
  INPUT input = AbsoluteMouse(screen);
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  for (int attempt = 0; attempt < 3; ++attempt) {
    POINT from{}, p{};
    GetCursorPos(&from);
    SendInput(1, &input, sizeof input);
    // On a loaded machine the move can take seconds to be applied: wait until the pointer has
    // left where it was, not for a fixed time, or the correction below is taken from a stale
    // position and throws the pointer off.
    PumpUntil(
        [&] {
          GetCursorPos(&p);
          return (p.x == screen.x && p.y == screen.y) || p.x != from.x || p.y != from.y;
        },
        kInputWaitMs);
    if (p.x == screen.x && p.y == screen.y) break;
    // Nudge only where the scaling missed by a pixel or two; a pointer put elsewhere by
    // something else gets the same move again.
    if (std::abs(screen.x - p.x) <= 2 && std::abs(screen.y - p.y) <= 2) {
      input.mi.dx += static_cast<LONG>((screen.x - p.x) * 65536LL / width);
      input.mi.dy += static_cast<LONG>((screen.y - p.y) * 65536LL / height);
    }
  }
  return input;
}

bool MoveMouseTo(POINT screen) {
  PointerInputAt(screen);
  POINT p{};
  GetCursorPos(&p);
  return p.x == screen.x && p.y == screen.y;
}

void SendMouseAt(POINT screen, DWORD buttons, DWORD time) {
  INPUT input = PointerInputAt(screen);
  if (!buttons) return;
  // The press carries its position: a bare button event may be placed where the pointer was
  // before the platform caught up with the move.
  input.mi.dwFlags = buttons | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  input.mi.time = time;
  SendInput(1, &input, sizeof input);
}

void ClickAt(POINT screen, int clicks) {
  // The presses of a double click carry times a few milliseconds apart, as a user's do: a
  // test descheduled between them for longer than the double-click time would otherwise make
  // two single clicks.
  DWORD time = clicks > 1 ? GetTickCount() : 0;
  for (int i = 0; i < clicks; ++i) {
    SendMouseAt(screen, MOUSEEVENTF_LEFTDOWN, time ? time + 20 * i : 0);
    SendMouseAt(screen, MOUSEEVENTF_LEFTUP, time ? time + 20 * i + 10 : 0);
  }
  PumpUntil([] { return false; }, 100);
}

bool ClickUntil(POINT screen, const std::function<bool()>& done) {
  ClickAt(screen);
  if (PumpUntil(done, kInputWaitMs / 4)) return true;
  ClickAt(screen);
  return PumpUntil(done, kInputWaitMs);
}

void PressKey(WORD virtualKey) {
  INPUT input[2]{};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = virtualKey;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof input[0]);
  PumpUntil([] { return false; }, 100);
}

ScreenPixels ReadScreenPixels(const RECT& onScreen) {
  ScreenPixels shot;
  if (onScreen.right <= onScreen.left || onScreen.bottom <= onScreen.top) return shot;
  shot.width = onScreen.right - onScreen.left;
  shot.height = onScreen.bottom - onScreen.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, onScreen.left, onScreen.top, SRCCOPY);
  GdiFlush();
  const DWORD* p = static_cast<const DWORD*>(bits);
  if (p) shot.pixels.assign(p, p + size_t(shot.width) * shot.height);
  for (DWORD& pixel : shot.pixels) pixel &= 0xFFFFFF;
  if (!p) shot = {};
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

ScreenPixels ReadScreenPixels(HWND window) {
  RECT r;
  if (!GetWindowRect(window, &r)) return {};
  return ReadScreenPixels(r);
}

ScreenPixels ReadClientPixels(HWND window) {
  RECT client;
  if (!GetClientRect(window, &client)) return {};
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return ReadScreenPixels(RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
}
