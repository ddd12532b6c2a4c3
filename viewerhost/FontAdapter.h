// Fonts crossing between the framework and a COM control.
//
//   TFontAdapter   makes OLE font objects from framework fonts and copies OLE fonts back
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "Graphics.h"

class TFontAdapter {
 public:
  // A new OLE font (IFontDisp) describing `font`, through OleCreateFontIndirect looked up at
  // run time; the caller releases it. Fails with EOleSysError.
  static IFontDisp* CreateOleFont(TFont& font);
  // Copies name, size (cySize / 10000, rounded), weight, character set and styles of an OLE
  // font into `font`. Fails with EOleSysError when `oleFont` is not a font.
  static void ApplyOleFont(IUnknown* oleFont, TFont& font);
};
