// The program's entry: the application object, the viewer window (the main window), then the
// explorer window, and the message loop until the viewer window is closed.
#include <windows.h>

#include "Folvane1.h"
#include "Forms.h"
#include "ProgramClasses.h"
#include "Unit2.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitializeFramework();
  RegisterProgramClasses();
  int exitCode = 0;
  try {
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
    Application->Run();
  } catch (const Exception& error) {
    // A start-up failure ends the program; it is shown, and not reported as success.
    Application->ShowException(error);
    exitCode = 1;
  }
  FinalizeFramework();
  return exitCode;
}
