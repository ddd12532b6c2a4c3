// What the reader tools' files share: the ids of the toolbar's children and the small window
// helpers that the toolbar, find and the pages' own keys use alike.
#pragma once

#include "pdfcontrol/ViewerWindow.h"

#include <windows.h>

#include <string>

namespace pdfview {

constexpr UINT kTextMessage = ViewerWindow::kTextMessage;

enum ControlId : int {
  kPrevPage = 101,
  kNextPage,
  kPageBox,
  kPageCount,
  kZoomBox,
  kFindBox,
  kFindNext,
  kFindPrev,
  kNote,
  kOutlineButton,
  kTurnLeft,
  kTurnRight,
  kPrintButton,
  kOutlineTree,
  kCopy = 201,
  kSelectAll,
};

inline std::wstring TextOf(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(size_t(n) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(window, text.data(), n + 1)));
  return text;
}

inline void SetTextIfChanged(HWND window, const std::wstring& text) {
  if (window && TextOf(window) != text) SetWindowTextW(window, text.c_str());
}

inline bool Ctrl() { return GetKeyState(VK_CONTROL) < 0; }
inline bool Shift() { return GetKeyState(VK_SHIFT) < 0; }
inline bool Alt() { return GetKeyState(VK_MENU) < 0; }

inline bool Inside(HWND parent, HWND window) { return window && (window == parent || IsChild(parent, window)); }

}  // namespace pdfview
