// Helpers for tests that drive real windows: pumping messages, waiting for a condition, and
// answering a message box while it is shown.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

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
// Runs `action`; while a message box of this thread is shown, reads it and presses OK.
ShownMessageBox CaptureMessageBox(const std::function<void()>& action);
