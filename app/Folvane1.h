// The viewer window.
#pragma once

#include "Forms.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  std::string ClassName() const override { return "TForm1"; }
};

extern TForm1* Form1;
