#include "framework/Graphics.h"

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr TIdentMapEntry kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clNone", clNone},
    {"clDefault", clDefault},
};

constexpr TIdentMapEntry kCharsets[] = {{"DEFAULT_CHARSET", DEFAULT_CHARSET},
                                        {"ANSI_CHARSET", ANSI_CHARSET},
                                        {"SYMBOL_CHARSET", SYMBOL_CHARSET},
                                        {"OEM_CHARSET", OEM_CHARSET}};
constexpr TIdentMapEntry kFontStyles[] = {
    {"fsBold", fsBold}, {"fsItalic", fsItalic}, {"fsUnderline", fsUnderline}, {"fsStrikeOut", fsStrikeOut}};
constexpr TIdentMapEntry kPitches[] = {{"fpDefault", fpDefault}, {"fpFixed", fpFixed}, {"fpVariable", fpVariable}};

}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

bool IdentToColor(std::string_view ident, TColor& color) {
  return IdentToInt(ident, color, kColorNames, TIdentCase::Ignore);
}

TColor ReadColor(TReader& reader) { return ReadIdentOrInteger(reader, kColorNames, TIdentCase::Ignore); }

std::string ColorToString(TColor color) {
  for (const auto& entry : kColorNames)
    if (entry.value == color) return std::string(entry.name);
  char text[16];
  std::snprintf(text, sizeof text, "$%.8X", static_cast<unsigned>(color));
  return text;
}

int ScreenPixelsPerInch() {
  HDC dc = GetDC(nullptr);
  int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return ppi;
}

// ---- TGraphicsObject

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

void TGraphicsObject::ReplaceHandle(GdiObject& handle) {
  // The old handle is deleted only after the change notice: a canvas that has it selected lets
  // go of it there, and an object still selected into a device context cannot be deleted.
  GdiObject old(handle.Release());
  TGraphicsObject::Changed();
}

// ---- TFont

TFont::TFont() : pixelsPerInch_(ScreenPixelsPerInch()) {}

void TFont::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TFont*>(&source);
  if (!other) return TPersistent::Assign(source);
  if (*this == *other && pixelsPerInch_ == other->pixelsPerInch_) return;
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  charset_ = other->charset_;
  color_ = other->color_;
  pitch_ = other->pitch_;
  pixelsPerInch_ = other->pixelsPerInch_;
  Changed();
}

bool TFont::operator==(const TFont& other) const {
  return name_ == other.name_ && height_ == other.height_ && style_ == other.style_ && charset_ == other.charset_ &&
         color_ == other.color_ && pitch_ == other.pitch_;
}

void TFont::Changed() { ReplaceHandle(handle_); }

HFONT TFont::Handle() {
  if (!handle_.Get()) {
    LOGFONTA lf{};
    lf.lfHeight = height_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
    lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(charset_);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    lstrcpynA(lf.lfFaceName, name_.c_str(), LF_FACESIZE);
    handle_.Reset(CreateFontIndirectA(&lf));
  }
  return static_cast<HFONT>(handle_.Get());
}

void TFont::SetName(const std::string& name) {
  if (name.empty() || name == name_) return;
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, pixelsPerInch_); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }

void TFont::SetStyle(unsigned style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetCharset(int charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  TGraphicsObject::Changed();  // the handle does not depend on the colour
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

void TFont::SetFromLogFont(const LOGFONTA& lf) {
  name_ = lf.lfFaceName;
  height_ = lf.lfHeight;
  style_ = 0;
  if (lf.lfWeight >= FW_BOLD) style_ |= fsBold;
  if (lf.lfItalic) style_ |= fsItalic;
  if (lf.lfUnderline) style_ |= fsUnderline;
  if (lf.lfStrikeOut) style_ |= fsStrikeOut;
  charset_ = lf.lfCharSet;
  int pitch = lf.lfPitchAndFamily & 3;
  pitch_ = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
  Changed();
}

bool TFont::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Name") {
    SetName(reader.ReadString());
  } else if (name == "Height") {
    SetHeight(reader.ReadInteger());
  } else if (name == "Size") {
    SetSize(reader.ReadInteger());
  } else if (name == "Color") {
    SetColor(ReadColor(reader));
  } else if (name == "Charset") {
    SetCharset(ReadIdentOrInteger(reader, kCharsets));
  } else if (name == "Style") {
    SetStyle(ReadIdentSet(reader, kFontStyles));
  } else if (name == "Pitch") {
    SetPitch(static_cast<TFontPitch>(ReadIdent(reader, kPitches)));
  } else {
    return TGraphicsObject::ReadProperty(reader, name);
  }
  return true;
}

// ---- TBrush

void TBrush::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TBrush*>(&source);
  if (!other) return TPersistent::Assign(source);
  color_ = other->color_;
  style_ = other->style_;
  bitmap_ = other->bitmap_;
  Changed();
}

void TBrush::Changed() { ReplaceHandle(handle_); }

HBRUSH TBrush::Handle() {
  if (!handle_.Get()) {
    if (bitmap_) {
      handle_.Reset(CreatePatternBrush(bitmap_));
    } else if (style_ == bsClear) {
      return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    } else if (style_ == bsSolid) {
      handle_.Reset(CreateSolidBrush(ColorToRGB(color_)));
    } else {
      static constexpr int kHatch[] = {0,        0,           HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL,
                                       HS_CROSS, HS_DIAGCROSS};
      handle_.Reset(CreateHatchBrush(kHatch[style_], ColorToRGB(color_)));
    }
  }
  return static_cast<HBRUSH>(handle_.Get());
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && !bitmap_) return;
  color_ = color;
  bitmap_ = nullptr;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TBrush::SetBitmap(HBITMAP bitmap) {
  bitmap_ = bitmap;
  Changed();
}

// ---- TPen

void TPen::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TPen*>(&source);
  if (!other) return TPersistent::Assign(source);
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
  Changed();
}

void TPen::Changed() { ReplaceHandle(handle_); }

HPEN TPen::Handle() {
  if (!handle_.Get()) {
    static constexpr int kStyle[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_.Reset(CreatePen(kStyle[style_], width_, ColorToRGB(color_)));
  }
  return static_cast<HPEN>(handle_.Get());
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

// ---- TCanvas

TCanvas::TCanvas() {
  // A changed object must not stay selected while its handle is replaced.
  font_.OnChange = [this](TObject*) {
    if (dc_ && selectedFont_) {
      SelectObject(dc_, oldFont_);
      selectedFont_ = nullptr;
    }
  };
  brush_.OnChange = [this](TObject*) {
    if (dc_ && selectedBrush_) {
      SelectObject(dc_, oldBrush_);
      selectedBrush_ = nullptr;
    }
  };
  pen_.OnChange = [this](TObject*) {
    if (dc_ && selectedPen_) {
      SelectObject(dc_, oldPen_);
      selectedPen_ = nullptr;
    }
  };
}

TCanvas::~TCanvas() { DeselectHandles(); }

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  if (!dc_) throw EOutOfResources(LoadResString(SWindowDCError));
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  DeselectHandles();
  dc_ = dc;
}

void TCanvas::DeselectHandles() {
  if (!dc_) return;
  if (selectedFont_) SelectObject(dc_, oldFont_);
  if (selectedBrush_) SelectObject(dc_, oldBrush_);
  if (selectedPen_) SelectObject(dc_, oldPen_);
  selectedFont_ = nullptr;
  selectedBrush_ = nullptr;
  selectedPen_ = nullptr;
}

void TCanvas::RequiredState(bool font, bool brush, bool pen) {
  HDC dc = Handle();
  if (font) {
    HFONT h = font_.Handle();
    if (h != selectedFont_) {
      HGDIOBJ old = SelectObject(dc, h);
      if (!selectedFont_) oldFont_ = old;
      selectedFont_ = h;
    }
    SetTextColor(dc, ColorToRGB(font_.Color()));
  }
  if (brush) {
    HBRUSH h = brush_.Handle();
    if (h != selectedBrush_) {
      HGDIOBJ old = SelectObject(dc, h);
      if (!selectedBrush_) oldBrush_ = old;
      selectedBrush_ = h;
    }
    if (brush_.Style() == bsSolid) {
      SetBkColor(dc, ColorToRGB(brush_.Color()));
      SetBkMode(dc, OPAQUE);
    } else {
      SetBkMode(dc, TRANSPARENT);
    }
  }
  if (pen) {
    HPEN h = pen_.Handle();
    if (h != selectedPen_) {
      HGDIOBJ old = SelectObject(dc, h);
      if (!selectedPen_) oldPen_ = old;
      selectedPen_ = h;
    }
  }
}

void TCanvas::FillRect(const RECT& rect) {
  RequiredState(false, true, false);
  ::FillRect(dc_, &rect, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& rect) {
  RequiredState(false, true, false);
  ::FrameRect(dc_, &rect, brush_.Handle());
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  RequiredState(false, true, true);
  ::Rectangle(dc_, left, top, right, bottom);
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(Handle(), x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
  RequiredState(false, false, true);
  ::LineTo(dc_, x, y);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  RequiredState(true, true, false);
  ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

void TCanvas::TextRect(const RECT& rect, int x, int y, std::string_view text) {
  RequiredState(true, true, false);
  UINT options = ETO_CLIPPED | (brush_.Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOutA(dc_, x, y, options, &rect, text.data(), static_cast<UINT>(text.size()), nullptr);
}

SIZE TCanvas::TextExtent(std::string_view text) {
  RequiredState(true, false, false);
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

void TCanvas::DrawFocusRect(const RECT& rect) {
  RequiredState(false, true, false);
  ::DrawFocusRect(dc_, &rect);
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  HDC source = CreateCompatibleDC(Handle());
  {
    SelectedObject selected(source, bitmap.Handle());
    BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), source, 0, 0, SRCCOPY);
  }
  DeleteDC(source);
}

void TCanvas::DrawTransparent(int x, int y, TBitmap& bitmap, TColor transparent) {
  if (bitmap.Empty()) return;
  HDC source = CreateCompatibleDC(Handle());
  {
    SelectedObject selected(source, bitmap.Handle());
    TransparentBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), source, 0, 0, bitmap.Width(), bitmap.Height(),
                   ColorToRGB(transparent));
  }
  DeleteDC(source);
}

COLORREF TCanvas::Pixel(int x, int y) { return GetPixel(Handle(), x, y); }

// ---- TBitmap

namespace {
// A canvas on a memory device context with the bitmap selected.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(HDC dc) { SetHandle(dc); }
};
}  // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (memoryDC_) {
    SelectObject(memoryDC_, oldBitmap_);
    DeleteDC(memoryDC_);
  }
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  HBITMAP loaded = static_cast<HBITMAP>(LoadImageA(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!loaded) throw EInvalidGraphic(LoadResString(SInvalidBitmap));
  canvas_.reset();
  if (memoryDC_) {
    SelectObject(memoryDC_, oldBitmap_);
    DeleteDC(memoryDC_);
    memoryDC_ = nullptr;
  }
  handle_.Reset(loaded);
  BITMAP info{};
  GetObjectA(loaded, sizeof info, &info);
  width_ = info.bmWidth;
  height_ = info.bmHeight;
}

void TBitmap::SetSize(int width, int height) {
  canvas_.reset();
  if (memoryDC_) {
    SelectObject(memoryDC_, oldBitmap_);
    DeleteDC(memoryDC_);
    memoryDC_ = nullptr;
  }
  HDC screen = GetDC(nullptr);
  handle_.Reset(CreateCompatibleBitmap(screen, width, height));
  ReleaseDC(nullptr, screen);
  width_ = width;
  height_ = height;
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    memoryDC_ = CreateCompatibleDC(nullptr);
    oldBitmap_ = SelectObject(memoryDC_, handle_.Get());
    canvas_ = std::make_unique<TBitmapCanvas>(memoryDC_);
  }
  return *canvas_;
}

TColor TBitmap::TransparentColor() {
  if (Empty()) return clNone;
  return static_cast<TColor>(Canvas().Pixel(0, height_ - 1) & 0xFFFFFF);
}

// ---- TIcon

TIcon::~TIcon() { SetHandle(nullptr, false); }

void TIcon::SetHandle(HICON icon, bool owned) {
  if (handle_ && owned_) DestroyIcon(handle_);
  handle_ = icon;
  owned_ = owned;
  if (OnChange) OnChange(this);
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  HICON icon = static_cast<HICON>(LoadImageA(instance, name.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (!icon) throw EInvalidGraphic(LoadResString(SInvalidIcon));
  SetHandle(icon, true);
}
