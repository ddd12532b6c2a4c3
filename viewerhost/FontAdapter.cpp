// The font adapter: framework fonts to OLE font objects and back.
#include "FontAdapter.h"

#include <cmath>

#include "ComObj.h"
#include "OleCtrls.h"

namespace {

using CreateFontIndirectProc = HRESULT(WINAPI*)(LPFONTDESC, REFIID, void**);

// Looked up at run time: the program starts without the OLE automation library's font support.
CreateFontIndirectProc FindCreateFontIndirect() {
  static CreateFontIndirectProc proc = [] {
    HMODULE module = LoadLibraryA("oleaut32.dll");
    return module ? reinterpret_cast<CreateFontIndirectProc>(
                        reinterpret_cast<void*>(GetProcAddress(module, "OleCreateFontIndirect")))
                  : nullptr;
  }();
  return proc;
}

}  // namespace

IFontDisp* TFontAdapter::CreateOleFont(TFont& font) {
  CreateFontIndirectProc create = FindCreateFontIndirect();
  if (!create) OleError(E_NOTIMPL);
  std::wstring name = AnsiToWide(font.Name());
  FONTDESC desc{};
  desc.cbSizeofstruct = 32;
  desc.lpstrName = name.data();
  desc.cySize.int64 = static_cast<LONGLONG>(font.Size()) * 10000;
  desc.sWeight = (font.Style() & fsBold) ? 700 : 400;
  desc.sCharset = static_cast<SHORT>(font.Charset());
  desc.fItalic = (font.Style() & fsItalic) != 0;
  desc.fUnderline = (font.Style() & fsUnderline) != 0;
  desc.fStrikethrough = (font.Style() & fsStrikeOut) != 0;
  IFontDisp* result = nullptr;
  OleCheck(create(&desc, IID_IFontDisp, reinterpret_cast<void**>(&result)));
  return result;
}

void TFontAdapter::ApplyOleFont(IUnknown* oleFont, TFont& font) {
  if (!oleFont) OleError(E_POINTER);
  TInterfacePtr<IFont> f;
  OleCheck(oleFont->QueryInterface(IID_IFont, f.PutVoid()));
  BSTR name = nullptr;
  CY size{};
  BOOL bold = FALSE, italic = FALSE, underline = FALSE, strike = FALSE;
  SHORT charset = 0;
  OleCheck(f->get_Name(&name));
  std::string ansiName = BstrToAnsi(name);
  SysFreeString(name);
  OleCheck(f->get_Size(&size));
  f->get_Bold(&bold);
  f->get_Italic(&italic);
  f->get_Underline(&underline);
  f->get_Strikethrough(&strike);
  f->get_Charset(&charset);
  unsigned style = 0;
  if (bold) style |= fsBold;
  if (italic) style |= fsItalic;
  if (underline) style |= fsUnderline;
  if (strike) style |= fsStrikeOut;
  font.SetName(ansiName);
  font.SetSize(static_cast<int>(std::lround(static_cast<double>(size.int64) / 10000.0)));
  font.SetStyle(style);
  font.SetCharset(charset);
}
