// Where the control's own failures stop. An allocation that a 32-bit address space cannot
// satisfy, or a thread that cannot start, must not end the host: each module links its own
// runtime, so an exception leaving this DLL cannot be caught by the program and ends it. Every
// COM method that runs the control's code, every window and dialog procedure and every thread
// entry of the DLL goes through one of these.
#pragma once

#include <windows.h>

#include <new>

namespace pdfview {

template <typename Body>
HRESULT GuardCom(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// A message whose handling failed gets the default handling (WM_PAINT is validated).
template <typename Body>
LRESULT GuardWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
}

// True when the body ran through.
template <typename Body>
bool GuardThread(Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace pdfview
