#include "app/Folvane1.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  LoadDescription([this] {
    BindField(Pdf1, "Pdf1");
    BindField(StatusBar1, "StatusBar1");
  });
}
