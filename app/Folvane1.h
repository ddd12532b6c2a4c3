// The viewer window: the PDF viewer control above a five-panel status bar.
#pragma once

#include "ComCtrls.h"
#include "Forms.h"
#include "PdfLib_TLB.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  std::string ClassName() const override { return "TForm1"; }

  TPdf* Pdf1 = nullptr;
  TStatusBar* StatusBar1 = nullptr;
};

extern TForm1* Form1;
