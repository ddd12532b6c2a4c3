// Colours, fonts, brushes, pens, the canvas, bitmaps and icons, with owned platform handles.
//
//   TColor, cl* constants   system colours have the top bit set and are looked up when drawn
//   GdiObject               move-only owner of one GDI object
//   TFont, TBrush, TPen     graphics objects with change reports and lazily made handles
//   TCanvas                 drawing on a device context with the current font, brush and pen
//   TBitmap, TIcon          images loaded from the program's resources
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/Components.h"

using TColor = std::int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000);
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
constexpr TColor clMenu = clSystemColor | COLOR_MENU;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour, system colours looked up now.
COLORREF ColorToRGB(TColor color);
// Colour constant names ("clBtnFace") and back; false when the text is no known name.
bool IdentToColor(std::string_view ident, TColor& color);
std::string ColorToString(TColor color);
// The colour of a description value: a constant name or a number.
TColor ReadColor(TReader& reader);

// Owns one GDI object (font, brush, pen, bitmap, region) and deletes it.
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(HGDIOBJ handle) : handle_(handle) {}
  GdiObject(GdiObject&& other) noexcept : handle_(other.Release()) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { Reset(); }
  HGDIOBJ Get() const { return handle_; }
  HGDIOBJ Release() {
    HGDIOBJ h = handle_;
    handle_ = nullptr;
    return h;
  }
  void Reset(HGDIOBJ handle = nullptr) {
    if (handle_) DeleteObject(handle_);
    handle_ = handle;
  }

 private:
  HGDIOBJ handle_ = nullptr;
};

// Selects an object into a device context for a scope and selects the old one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Base of font, brush and pen: change reports to whoever uses the object.
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  // Drops the object's handle for a new one made on next use, and reports the change.
  void ReplaceHandle(GdiObject& handle);
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TGraphicsObject {
 public:
  TFont();
  std::string ClassName() const override { return "TFont"; }
  void Assign(const TPersistent& source) override;
  bool ReadProperty(TReader& reader, std::string_view name) override;

  HFONT Handle();
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  // Points at the font's pixels per inch (the screen's when it was made).
  int Size() const;
  void SetSize(int points);
  unsigned Style() const { return style_; }
  void SetStyle(unsigned style);
  int Charset() const { return charset_; }
  void SetCharset(int charset);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }
  // Takes the description of an existing font handle (for example the system's status font).
  void SetFromLogFont(const LOGFONTA& logFont);
  bool operator==(const TFont& other) const;

 protected:
  void Changed() override;

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  unsigned style_ = 0;
  int charset_ = DEFAULT_CHARSET;
  TColor color_ = clWindowText;
  TFontPitch pitch_ = fpDefault;
  int pixelsPerInch_ = 96;
  GdiObject handle_;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
 public:
  std::string ClassName() const override { return "TBrush"; }
  void Assign(const TPersistent& source) override;
  HBRUSH Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  // A pattern brush from a bitmap (the brush does not own the bitmap).
  void SetBitmap(HBITMAP bitmap);

 protected:
  void Changed() override;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  HBITMAP bitmap_ = nullptr;
  GdiObject handle_;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGraphicsObject {
 public:
  std::string ClassName() const override { return "TPen"; }
  void Assign(const TPersistent& source) override;
  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);

 protected:
  void Changed() override;

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  GdiObject handle_;
};

// Draws on a device context that someone else owns (a paint, an item drawing) or that a
// derived canvas makes. The font, brush and pen are selected when drawing needs them.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;
  std::string ClassName() const override { return "TCanvas"; }

  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }
  TFont& Font() { return font_; }
  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }

  void FillRect(const RECT& rect);
  void FrameRect(const RECT& rect);
  void Rectangle(int left, int top, int right, int bottom);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void TextOut(int x, int y, std::string_view text);
  void TextRect(const RECT& rect, int x, int y, std::string_view text);
  SIZE TextExtent(std::string_view text);
  int TextWidth(std::string_view text) { return TextExtent(text).cx; }
  int TextHeight(std::string_view text) { return TextExtent(text).cy; }
  void DrawFocusRect(const RECT& rect);
  void Draw(int x, int y, class TBitmap& bitmap);
  // Copies `source` onto the canvas with the colour `transparent` left out.
  void DrawTransparent(int x, int y, class TBitmap& bitmap, TColor transparent);
  COLORREF Pixel(int x, int y);

 protected:
  virtual void CreateHandle() {}
  void RequiredState(bool font, bool brush, bool pen);
  void DeselectHandles();

 private:
  HDC dc_ = nullptr;
  TFont font_;
  TBrush brush_;
  TPen pen_;
  HGDIOBJ oldFont_ = nullptr, oldBrush_ = nullptr, oldPen_ = nullptr;
  HFONT selectedFont_ = nullptr;
  HBRUSH selectedBrush_ = nullptr;
  HPEN selectedPen_ = nullptr;
};

class TBitmap : public TPersistent {
 public:
  TBitmap();
  ~TBitmap() override;
  std::string ClassName() const override { return "TBitmap"; }
  // Loads a bitmap resource of the program by name; fails with "Bitmap image is not valid".
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);
  void SetSize(int width, int height);
  HBITMAP Handle() const { return static_cast<HBITMAP>(handle_.Get()); }
  bool Empty() const { return handle_.Get() == nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The colour that counts as transparent: the bottom-left pixel.
  TColor TransparentColor();
  TCanvas& Canvas();

 private:
  GdiObject handle_;
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<TCanvas> canvas_;
  HDC memoryDC_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

class TIcon : public TPersistent {
 public:
  ~TIcon() override;
  std::string ClassName() const override { return "TIcon"; }
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);
  HICON Handle() const { return handle_; }
  bool Empty() const { return handle_ == nullptr; }
  void SetHandle(HICON icon, bool owned);
  TNotifyEvent OnChange;

 private:
  HICON handle_ = nullptr;
  bool owned_ = false;
};

// The pixels per inch of the screen.
int ScreenPixelsPerInch();
