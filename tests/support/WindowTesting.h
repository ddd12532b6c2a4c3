// Helpers for tests that drive real windows: pumping messages, waiting for a condition,
// answering a message box while it is shown, real input, and reading the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// How long a test waits for its own input or the platform's answer to arrive. A state that is
// reached comes back at once; this bounds only a failure, on a machine loaded many times over.
constexpr int kInputWaitMs = 20000;

// Dispatches pending messages until `done` holds or `milliseconds` pass; true when it held.
bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000);
void PumpMessages();

// What a message box showed before it was answered with OK.
struct ShownMessageBox {
  bool shown = false;
  std::string caption;
  std::string text;
  bool ownerEnabled = true;
};
// Runs `action`; while a message box of this thread is shown, reads it, runs `whileShown`
// and presses OK.
ShownMessageBox CaptureMessageBox(const std::function<void()>& action, const std::function<void()>& whileShown = {});

// Real input, as the user makes it: it goes to whichever window is under the pointer or has
// the focus, in this process or another.
// Moves the pointer onto a screen pixel; true when it got there.
bool MoveMouseTo(POINT screen);
// Moves the pointer onto a screen pixel and sends button flags (MOUSEEVENTF_LEFTDOWN, ...) there,
// stamped with `time` when it is not 0.
void SendMouseAt(POINT screen, DWORD buttons, DWORD time = 0);
// Clicks the left button at a screen pixel, twice for a double click.
void ClickAt(POINT screen, int clicks = 1);
// Clicks at a screen pixel until `done` holds, clicking once more after a quarter of the wait:
// under load Wine has lost a click outright (the pointer there, the window under it in front,
// nothing holding the mouse). A user clicks again, long after a double click could form.
bool ClickUntil(POINT screen, const std::function<bool()>& done);
// Presses and releases a key.
void PressKey(WORD virtualKey);

// Pixels as they are on the screen, 0x00RRGGBB row by row; empty when there is no area.
struct ScreenPixels {
  int width = 0, height = 0;
  std::vector<DWORD> pixels;
  DWORD At(int x, int y) const { return pixels[size_t(y) * width + x]; }
  // Pixels in [x0, x1) x [y0, y1) that satisfy the test.
  template <typename Test>
  int Count(int x0, int y0, int x1, int y1, Test test) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
  }
};
// A rectangle of the screen.
ScreenPixels ReadScreenPixels(const RECT& onScreen);
// A window with its frame.
ScreenPixels ReadScreenPixels(HWND window);
// A window's client area.
ScreenPixels ReadClientPixels(HWND window);
