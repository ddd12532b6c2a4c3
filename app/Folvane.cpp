// The program's entry: the application object, the viewer window (the main window), then the
// explorer window, and the message loop until the viewer window is closed.
#include <windows.h>

#include "app/Folvane1.h"
#include "framework/Forms.h"
#include "app/ProgramClasses.h"
#include "app/Unit2.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A failure anywhere from the first window on is shown and ends the program with code 1.
  int exitCode = RunProgram([] {
    InitializeFramework();
    RegisterProgramClasses();
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
    Application->Run();
  });
  if (RunProgram(FinalizeFramework) != 0) exitCode = 1;
  return exitCode;
}
