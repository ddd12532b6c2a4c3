#include "tests/support/RunningProgram.h"

#include <vector>

#include "tests/support/WindowTesting.h"

std::string WindowsPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  if (!path.empty() && path[0] == '\\') path = "Z:" + path;
  return path;
}

RunningProgram::RunningProgram(int showCommand, const std::string& folder, const std::string& program) {
  std::string exe = WindowsPath(program.empty() ? FOLVANE_EXE : program);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (showCommand >= 0) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showCommand);
  }
  std::string command = "\"" + exe + "\"";
  started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &si, &info_) != 0;
  if (!started_) return;
  // The program goes when this test process goes, also when it crashes: a program left
  // running would stay on the screen that the next tests share.
  job_ = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job_) {
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job_, info_.hProcess);
  }
  ResumeThread(info_.hThread);
}

RunningProgram::~RunningProgram() {
  if (!started_) return;
  if (hook_) UnhookWindowsHookEx(hook_);
  if (receiver_) DestroyWindow(receiver_);
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
  if (job_) CloseHandle(job_);
}

namespace {

struct Search {
  DWORD pid;
  const char* cls;
  HWND found;
};

std::string ClassOf(HWND w) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  return cls;
}

BOOL CALLBACK MatchTopLevel(HWND w, LPARAM data) {
  auto* s = reinterpret_cast<Search*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == s->pid && ClassOf(w) == s->cls) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchChild(HWND w, LPARAM data) {
  auto* s = reinterpret_cast<Search*>(data);
  if (ClassOf(w) == s->cls) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND RunningProgram::Window(const char* className, int milliseconds) {
  HWND found = nullptr;
  PumpUntil([&] { return (found = Find(className)) != nullptr; }, milliseconds);
  return found;
}

HWND RunningProgram::Find(const char* className) {
  Search search{info_.dwProcessId, className, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int RunningProgram::ExitCode(int milliseconds) {
  if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<int>(code);
}

namespace {

std::string received;
bool hasReceived = false;

LRESULT CALLBACK Receive(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    received.assign(static_cast<const char*>(copy->lpData), copy->cbData ? copy->cbData - 1 : 0);
    hasReceived = true;
    return TRUE;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

std::string RunningProgram::StatusText(HWND bar, int part) {
  if (!hook_) {
    HMODULE reader = LoadLibraryA(WindowsPath(FOLVANE_STATUS_READER).c_str());
    auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(reader ? GetProcAddress(reader, "ReadStatusHook") : nullptr));
    if (!proc) return "<no status reader>";
    hook_ = SetWindowsHookExA(WH_GETMESSAGE, proc, reader, GetWindowThreadProcessId(bar, nullptr));
    if (!hook_) return "<no hook>";
    WNDCLASSA cls{};
    cls.lpfnWndProc = Receive;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "FolvaneTestReceiver";
    RegisterClassA(&cls);
    receiver_ = CreateWindowA(cls.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
  }
  static const UINT ask = RegisterWindowMessageA("Folvane.Test.ReadStatusPart");
  hasReceived = false;
  PostMessageA(bar, ask, part, reinterpret_cast<LPARAM>(receiver_));
  if (!PumpUntil([] { return hasReceived; }, kInputWaitMs)) return "<no answer>";
  return received;
}

HWND FindDescendant(HWND parent, const char* className) {
  Search search{0, className, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ListLine(HWND list, int index) {
  // Between processes the platform hands list texts over as wide strings.
  int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, index, 0));
  if (length < 0) return "<no line>";
  std::vector<wchar_t> text(length + 1);
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text.data(), -1, ansi, sizeof ansi - 1, nullptr, nullptr);
  return ansi;
}

int FindLine(HWND list, const std::string& text) {
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    if (lstrcmpiA(ListLine(list, i).c_str(), text.c_str()) == 0) return i;
  return -1;
}

POINT LineCentre(HWND list, int index) {
  int top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
  RECT client;
  GetClientRect(list, &client);
  int height = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
  if (index < top || (index - top + 1) * height > client.bottom) {
    SendMessageA(list, LB_SETTOPINDEX, index, 0);
    top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
  }
  POINT p{client.right / 2, (index - top) * height + height / 2};
  ClientToScreen(list, &p);
  // A click lands on whatever is on the screen there: wait until the list itself is, its
  // window shown and laid out, and nothing above it.
  PumpUntil([&] { return WindowFromPoint(p) == list; }, kInputWaitMs);
  return p;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool PageShown(HWND view) {
  const ScreenPixels shot = ReadScreenPixels(view);
  int white = 0, ink = 0;
  for (DWORD p : shot.pixels) {
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    if (r > 245 && g > 245 && b > 245) ++white;
    if (r < 40 && g < 40 && b < 40) ++ink;
  }
  return !shot.pixels.empty() && white > int(shot.pixels.size()) / 10 && ink > 50;
}
