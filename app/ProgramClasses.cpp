#include "app/ProgramClasses.h"

#include "statusbar/ComCtrls.h"
#include "viewerhost/ComObj.h"
#include "browse/FileCtrl.h"
#include "effects/LMDIniCtrl.h"
#include "viewerhost/PdfLib_TLB.h"
#include "framework/StandardControls.h"
#include "splitter/lmdsplt.h"

void RegisterProgramClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterStandardControlClasses();
  RegisterEffectsClasses();
  RegisterFileCtrlClasses();
  RegisterComCtrlsClasses();
  RegisterSplitterClasses();
  RegisterPdfLibClasses();
  RegisterComStartup();
}
