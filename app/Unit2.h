// The file-explorer window.
#pragma once

#include "Forms.h"

class TForm2 : public TForm {
 public:
  explicit TForm2(TComponent* owner);
  std::string ClassName() const override { return "TForm2"; }
};

extern TForm2* Form2;
