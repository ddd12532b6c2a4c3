// The floor of a click to ink: a bare program with a window like the explorer holding a platform
// list box of the folder's PDF names, and a window like the viewer whose view shows, on a click
// on a line, a picture of that document's first page loaded before the click ("<name>.bmp"
// beside it). What it measures is only the input, the list's message and a paint reaching the
// screen, which any program of this kind pays. Plain Win32: no framework, no control.
// Started in the folder; FOLVANE_FLOOR_PLACES holds twelve numbers, the screen rectangles (left,
// top, width, height) of the explorer window, the viewer window and its view, so that the
// windows stand where the program's stood.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Page {
  std::string name;
  HDC memory = nullptr;
};

std::vector<Page> pages;
const Page* shown = nullptr;
HWND list = nullptr, view = nullptr;
RECT places[3]{};

LRESULT CALLBACK ViewProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const RECT& r = paint.rcPaint;
    if (shown) BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, shown->memory, r.left, r.top, SRCCOPY);
    else FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lparam) == list && HIWORD(wparam) == LBN_SELCHANGE) {
        const LRESULT line = SendMessageA(list, LB_GETCURSEL, 0, 0);
        const LRESULT page = line == LB_ERR ? LB_ERR : SendMessageA(list, LB_GETITEMDATA, line, 0);
        if (page != LB_ERR && page >= 0 && static_cast<size_t>(page) < pages.size()) {
          shown = &pages[page];
          InvalidateRect(view, nullptr, FALSE);
        }
        return 0;
      }
      break;
    case WM_SIZE:
      if (list && GetParent(list) == window) MoveWindow(list, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// The pictures of the folder's documents, each drawn into a memory DC once.
void LoadPages() {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA("*.pdf", &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    Page page{entry.cFileName};
    const std::string picture = page.name + ".bmp";
    auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, picture.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!bitmap) continue;
    page.memory = CreateCompatibleDC(nullptr);
    SelectObject(page.memory, bitmap);
    pages.push_back(page);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

bool ReadPlaces() {
  char text[256] = {};
  if (!GetEnvironmentVariableA("FOLVANE_FLOOR_PLACES", text, sizeof text)) return false;
  long v[12];
  if (std::sscanf(text, "%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                  &v[6], &v[7], &v[8], &v[9], &v[10], &v[11]) != 12)
    return false;
  for (int i = 0; i < 3; ++i) places[i] = {v[4 * i], v[4 * i + 1], v[4 * i + 2], v[4 * i + 3]};
  return true;
}

HWND MakeWindow(const char* name, WNDPROC procedure, DWORD exStyle, DWORD style, const RECT& r, HWND parent) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
  return CreateWindowExA(exStyle, name, name, style, r.left, r.top, r.right, r.bottom, parent, nullptr, wc.hInstance,
                         nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!ReadPlaces()) return 2;
  LoadPages();
  HWND viewer = MakeWindow("FloorViewer", FrameProcedure, 0, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, places[1], nullptr);
  POINT corner{places[2].left, places[2].top};
  ScreenToClient(viewer, &corner);
  view = MakeWindow("FloorView", ViewProcedure, 0, WS_CHILD | WS_VISIBLE,
                    {corner.x, corner.y, places[2].right, places[2].bottom}, viewer);
  HWND explorer = MakeWindow("FloorExplorer", FrameProcedure, WS_EX_TOPMOST, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                             places[0], nullptr);
  RECT client;
  GetClientRect(explorer, &client);
  list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT, 0, 0,
                         client.right, client.bottom, explorer, nullptr, GetModuleHandleA(nullptr), nullptr);
  for (size_t i = 0; i < pages.size(); ++i) {
    const LRESULT line = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pages[i].name.c_str()));
    SendMessageA(list, LB_SETITEMDATA, line, static_cast<LPARAM>(i));
  }
  ShowWindow(viewer, SW_SHOWNORMAL);
  ShowWindow(explorer, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
