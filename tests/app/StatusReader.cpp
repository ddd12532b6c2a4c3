// A message hook that a test sets on the program's thread. The platform loads this library into
// the program for it; there it reads a status bar part's text on request and sends it back with
// WM_COPYDATA. Reading the program's memory directly does not work where Wine runs under an
// emulator, and common-control messages carry no marshalled buffers.
#include <windows.h>

#include <commctrl.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK ReadStatusHook(int code, WPARAM removal, LPARAM data) {
  static const UINT ask = RegisterWindowMessageA("Folvane.Test.ReadStatusPart");
  auto* m = reinterpret_cast<MSG*>(data);
  if (code == HC_ACTION && removal == PM_REMOVE && m->message == ask) {
    char text[1024] = {};
    int length = LOWORD(SendMessageA(m->hwnd, SB_GETTEXTLENGTHA, m->wParam, 0));
    if (length < static_cast<int>(sizeof text))
      SendMessageA(m->hwnd, SB_GETTEXTA, m->wParam, reinterpret_cast<LPARAM>(text));
    COPYDATASTRUCT copy{static_cast<ULONG_PTR>(m->wParam), static_cast<DWORD>(lstrlenA(text) + 1), text};
    SendMessageA(reinterpret_cast<HWND>(m->lParam), WM_COPYDATA, reinterpret_cast<WPARAM>(m->hwnd),
                 reinterpret_cast<LPARAM>(&copy));
    m->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, removal, data);
}
