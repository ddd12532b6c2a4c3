// The real program, started as a user starts it, and what a test reads from its windows. The
// program that uses it names the one started by default (FOLVANE_EXE) and the status reader
// (FOLVANE_STATUS_READER).
#pragma once

#include <windows.h>

#include <string>

// A path of this machine as the program sees it (the Unix root is drive Z:).
std::string WindowsPath(std::string path);

class RunningProgram {
 public:
  // A negative show command leaves the start-up information empty; an empty folder keeps ours;
  // an empty program is the built Folvane.exe.
  explicit RunningProgram(int showCommand = -1, const std::string& folder = "", const std::string& program = "");
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool Started() const { return started_; }
  // The program's top-level window of a class, once it exists.
  HWND Window(const char* className, int milliseconds = 20000);
  HWND Find(const char* className);
  // Waits for the program to end; its exit code, or -1 if it did not end.
  int ExitCode(int milliseconds = 20000);

  // A part's text of a status bar of the program, read inside the program by a message hook.
  std::string StatusText(HWND bar, int part);

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_{};
  HANDLE job_ = nullptr;
  HHOOK hook_ = nullptr;
  HWND receiver_ = nullptr;
};

// The first window of a class below `parent` (any depth).
HWND FindDescendant(HWND parent, const char* className);
// A list box line's text, also of another process's list.
std::string ListLine(HWND list, int index);
// The index of the line with this text in any case, or -1.
int FindLine(HWND list, const std::string& text);
// The centre of a list box line on the screen, scrolling it into view first, once the list is
// what is shown there.
POINT LineCentre(HWND list, int index);
// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusOf(HWND window);
// Whether the viewer shows a rendered page: a white sheet with the drawing's ink on it, on the
// viewer's grey ground.
bool PageShown(HWND view);
