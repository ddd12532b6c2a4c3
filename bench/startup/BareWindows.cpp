// The references for start-up: a bare program that opens three plain windows (as many top-level
// windows as the program makes: its application window and its two forms) and runs a message
// loop, with nothing else. Built again with one more thing each, to split what start-up costs
// any program of this kind from what ours adds:
//   FOLVANE_BARE_WITH_LIBRARIES  the libraries the program imports loaded, its manifest's
//                                activation context, and the common controls initialised
//   FOLVANE_BARE_WITH_COM        COM started for the thread
//   FOLVANE_BARE_WITH_CONTROL    COM started and the viewer control created and activated in
//                                the first window as the program does (the floor that COM and
//                                the control set under any program that embeds it)
//   FOLVANE_BARE_WITH_FONT       a font made and a text measured before the windows are shown,
//                                as any program that lays out text does (the system's first use
//                                of fonts is paid there, not in the first paint)
#include <windows.h>

#ifdef FOLVANE_BARE_WITH_LIBRARIES
#include <commctrl.h>
#include <oleauto.h>
#include <winnetwk.h>
#endif
#ifdef FOLVANE_BARE_WITH_CONTROL
#include "tests/support/ControlContainer.h"
#endif

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wparam, lparam);
}

#ifdef FOLVANE_BARE_WITH_LIBRARIES
// Referenced so that the linker imports each library, as the program does; never called.
void* volatile imported[] = {reinterpret_cast<void*>(&WNetGetConnectionA), reinterpret_cast<void*>(&TransparentBlt),
                             reinterpret_cast<void*>(&CoCreateInstance), reinterpret_cast<void*>(&SysAllocStringLen)};
#endif

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const char* const classes[] = {"BareWindow1", "BareWindow2", "BareWindow3"};
  const RECT places[] = {{12, 0, 639, 600}, {639, 0, 833, 600}, {300, 300, 500, 400}};
#ifdef FOLVANE_BARE_WITH_LIBRARIES
  // The status bar's and the control's classes, as the program asks for them.
  INITCOMMONCONTROLSEX bar{sizeof bar, ICC_BAR_CLASSES};
  InitCommonControlsEx(&bar);
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
#endif
#if defined(FOLVANE_BARE_WITH_CONTROL) || defined(FOLVANE_BARE_WITH_COM)
  CoInitialize(nullptr);
#endif
#ifdef FOLVANE_BARE_WITH_FONT
  {
    // The program's own form font, measured on the screen as the program measures it.
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, "0", 1, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
  }
#endif
  HWND windows[3] = {};
  for (int i = 0; i < 3; ++i) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = classes[i];
    RegisterClassA(&wc);
    const RECT& r = places[i];
    windows[i] = CreateWindowExA(0, classes[i], classes[i], WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  }
#ifdef FOLVANE_BARE_WITH_CONTROL
  // Lives as long as the process, as the program's control does.
  static testhost::Site site(windows[0]);
  static testhost::Control control;
  RECT client;
  GetClientRect(windows[0], &client);
  client.bottom -= 20;  // the status bar's place
  testhost::CreateControl(site, windows[0], client, control);
#endif
  for (HWND window : windows) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
