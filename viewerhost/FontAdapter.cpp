// The font adapter: one OLE font per framework font, connected to it so that a change on either
// side is copied to the other.
#include "viewerhost/FontAdapter.h"

#include <cmath>

#include "viewerhost/ComObj.h"
#include "viewerhost/OleCtrls.h"

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

constexpr short kBoldWeight = 700;
constexpr short kNormalWeight = 400;

int SizeFromCy(const CY& size) { return static_cast<int>(std::lround(static_cast<double>(size.int64) / 10000.0)); }

unsigned StyleBit(IFont* font, DISPID id) {
  BOOL on = FALSE;
  switch (id) {
    case DISPID_FONT_BOLD:
      font->get_Bold(&on);
      return on ? unsigned{fsBold} : 0u;
    case DISPID_FONT_ITALIC:
      font->get_Italic(&on);
      return on ? unsigned{fsItalic} : 0u;
    case DISPID_FONT_UNDER:
      font->get_Underline(&on);
      return on ? unsigned{fsUnderline} : 0u;
    case DISPID_FONT_STRIKE:
      font->get_Strikethrough(&on);
      return on ? unsigned{fsStrikeOut} : 0u;
    default:
      return 0;
  }
}

// Sets a flag for the length of one copy.
class Holding {
 public:
  explicit Holding(bool& flag) : flag_(flag) { flag_ = true; }
  ~Holding() { flag_ = false; }
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TFontAdapter::TFontAdapter(TFont& font) : font_(font) {}

TFontAdapter::~TFontAdapter() {
  Disconnect();
  if (fontDisp_) fontDisp_->Release();
  if (oleFont_) oleFont_->Release();
}

IFontDisp* TFontAdapter::OleFont() {
  if (fontDisp_) return fontDisp_;
  IFontDisp* made = CreateOleFont(font_);
  IFont* font = nullptr;
  if (FAILED(made->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font))) || !font) {
    made->Release();
    OleError(E_NOINTERFACE);
  }
  fontDisp_ = made;
  oleFont_ = font;
  // Without a connection the OLE font still works; only the control's changes stay there.
  IConnectionPointContainer* container = nullptr;
  if (SUCCEEDED(oleFont_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
      container) {
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point)) && point) {
      DWORD cookie = 0;
      if (SUCCEEDED(point->Advise(static_cast<IPropertyNotifySink*>(this), &cookie))) cookie_ = cookie;
      point->Release();
    }
    container->Release();
  }
  return fontDisp_;
}

void TFontAdapter::Disconnect() {
  if (!cookie_ || !oleFont_) return;
  IConnectionPointContainer* container = nullptr;
  if (SUCCEEDED(oleFont_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
      container) {
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point)) && point) {
      point->Unadvise(cookie_);
      point->Release();
    }
    container->Release();
  }
  cookie_ = 0;
}

bool TFontAdapter::IsOleFont(IUnknown* object) const {
  if (!object || !oleFont_) return false;
  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  oleFont_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  bool same = a && a == b;
  if (a) a->Release();
  if (b) b->Release();
  return same;
}

void TFontAdapter::FontChanged() {
  if (!oleFont_ || updating_) return;
  Holding hold(updating_);
  CopyToOleFont();
}

void TFontAdapter::CopyToOleFont() {
  BSTR name = AnsiToBstr(font_.Name());
  oleFont_->put_Name(name);
  SysFreeString(name);
  CY size{};
  size.int64 = static_cast<LONGLONG>(font_.Size()) * 10000;
  oleFont_->put_Size(size);
  const unsigned style = font_.Style();
  oleFont_->put_Weight((style & fsBold) ? kBoldWeight : kNormalWeight);
  oleFont_->put_Italic((style & fsItalic) != 0);
  oleFont_->put_Underline((style & fsUnderline) != 0);
  oleFont_->put_Strikethrough((style & fsStrikeOut) != 0);
  oleFont_->put_Charset(static_cast<SHORT>(font_.Charset()));
}

// Only the property that changed comes back: the OLE font reads back the font the system chose,
// which must not replace the framework font's own name and size.
void TFontAdapter::CopyFromOleFont(DISPID id) {
  switch (id) {
    case DISPID_FONT_NAME: {
      BSTR name = nullptr;
      if (SUCCEEDED(oleFont_->get_Name(&name))) font_.SetName(BstrToAnsi(name));
      SysFreeString(name);
      break;
    }
    case DISPID_FONT_SIZE: {
      CY size{};
      if (SUCCEEDED(oleFont_->get_Size(&size))) font_.SetSize(SizeFromCy(size));
      break;
    }
    case DISPID_FONT_WEIGHT:
    case DISPID_FONT_BOLD:
    case DISPID_FONT_ITALIC:
    case DISPID_FONT_UNDER:
    case DISPID_FONT_STRIKE: {
      const DISPID bitId = id == DISPID_FONT_WEIGHT ? DISPID_FONT_BOLD : id;
      const unsigned bit = bitId == DISPID_FONT_BOLD     ? fsBold
                           : bitId == DISPID_FONT_ITALIC ? fsItalic
                           : bitId == DISPID_FONT_UNDER  ? fsUnderline
                                                         : fsStrikeOut;
      font_.SetStyle((font_.Style() & ~bit) | StyleBit(oleFont_, bitId));
      break;
    }
    case DISPID_FONT_CHARSET: {
      SHORT charset = 0;
      if (SUCCEEDED(oleFont_->get_Charset(&charset))) font_.SetCharset(charset);
      break;
    }
    default:
      ApplyOleFont(oleFont_, font_);
      break;
  }
}

STDMETHODIMP TFontAdapter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
    *out = static_cast<IPropertyNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TFontAdapter::AddRef() { return ++refCount_; }
STDMETHODIMP_(ULONG) TFontAdapter::Release() { return --refCount_; }

STDMETHODIMP TFontAdapter::OnChanged(DISPID id) {
  if (!oleFont_ || updating_) return S_OK;
  Holding hold(updating_);
  // The OLE font's caller never sees our failures; those other than OLE errors are shown.
  try {
    CopyFromOleFont(id);
  } catch (const EOleError&) {
  } catch (...) {
    HandleWindowException();
  }
  return S_OK;
}

STDMETHODIMP TFontAdapter::OnRequestEdit(DISPID) { return S_OK; }

IFontDisp* TFontAdapter::CreateOleFont(TFont& font) {
  CreateFontIndirectProc create = FindCreateFontIndirect();
  if (!create) OleError(E_NOTIMPL);
  std::wstring name = AnsiToWide(font.Name());
  FONTDESC desc{};
  desc.cbSizeofstruct = 32;
  desc.lpstrName = name.data();
  desc.cySize.int64 = static_cast<LONGLONG>(font.Size()) * 10000;
  desc.sWeight = (font.Style() & fsBold) ? kBoldWeight : kNormalWeight;
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
  font.SetSize(SizeFromCy(size));
  font.SetStyle(style);
  font.SetCharset(charset);
}
