// The tests' pointer and tooltip helpers (see TestHost.h): they move the real pointer, so they
// live apart from the container, which the benchmarks share.
#include "tests/pdfcontrol/TestHost.h"
#include "tests/support/WindowTesting.h"

#include <commctrl.h>

namespace testhost {

bool PointAt(POINT target) {
  auto there = [&] {
    POINT now{};
    GetCursorPos(&now);
    return now.x == target.x && now.y == target.y;
  };
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (MoveMouseTo(target) || PumpUntil(there, 1000)) return true;
  }
  return false;
}

POINT OnScreen(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return p;
}

namespace {

BOOL CALLBACK ReadShownTip(HWND w, LPARAM out) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0 || !IsWindowVisible(w)) return TRUE;
  // A button's hint is the tool under the pointer.
  TTTOOLINFOW current{};
  current.cbSize = sizeof current;
  wchar_t hint[2048] = {};
  current.lpszText = hint;
  if (SendMessageW(w, TTM_GETCURRENTTOOLW, 0, LPARAM(&current)) && !(current.uFlags & TTF_TRACK)) {
    *reinterpret_cast<std::wstring*>(out) = hint;
    return TRUE;
  }
  // The tracked tool is the one that follows the pointer.
  for (int i = 0;; ++i) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    if (!SendMessageW(w, TTM_ENUMTOOLSW, i, LPARAM(&tool))) break;
    if (!(tool.uFlags & TTF_TRACK)) continue;
    wchar_t text[2048] = {};
    tool.lpszText = text;
    SendMessageW(w, TTM_GETTEXTW, 2048, LPARAM(&tool));
    *reinterpret_cast<std::wstring*>(out) = text;
  }
  return TRUE;
}

}  // namespace

std::wstring ShownTip() {
  std::wstring shown;
  EnumThreadWindows(GetCurrentThreadId(), ReadShownTip, LPARAM(&shown));
  return shown;
}

}  // namespace testhost
