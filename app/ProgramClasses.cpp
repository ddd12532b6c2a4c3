#include "ProgramClasses.h"

#include "ComCtrls.h"
#include "ComObj.h"
#include "FileCtrl.h"
#include "LMDIniCtrl.h"
#include "PdfLib_TLB.h"
#include "StdCtrls.h"
#include "lmdsplt.h"

void RegisterProgramClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterStdCtrlsClasses();
  RegisterEffectsClasses();
  RegisterFileCtrlClasses();
  RegisterComCtrlsClasses();
  RegisterSplitterClasses();
  RegisterPdfLibClasses();
  RegisterComStartup();
}
