// The viewer window: the PDF viewer control above a five-panel status bar.
#pragma once

#include "statusbar/ComCtrls.h"
#include "framework/Forms.h"
#include "viewerhost/PdfLib_TLB.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  std::string ClassName() const override { return "TForm1"; }

  TPdf* Pdf1 = nullptr;
  TStatusBar* StatusBar1 = nullptr;
};

extern TForm1* Form1;
