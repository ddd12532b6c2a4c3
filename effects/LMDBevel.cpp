// The bevel: settings read from descriptions, the frame width and the frame drawing.
#include "effects/LMDBevel.h"

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr TIdentMapEntry kModes[] = {{"bmWindows", bmWindows}, {"bmCustom", bmCustom}};

// One ring of `width` pixels: top and left in one colour, bottom and right in the other.
void Frame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width) {
  for (int i = 0; i < width && r.right > r.left && r.bottom > r.top; ++i) {
    GdiObject light(CreateSolidBrush(topLeft));
    GdiObject dark(CreateSolidBrush(bottomRight));
    RECT top{r.left, r.top, r.right - 1, r.top + 1};
    RECT left{r.left, r.top, r.left + 1, r.bottom - 1};
    RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
    RECT right{r.right - 1, r.top, r.right, r.bottom};
    FillRect(dc, &top, static_cast<HBRUSH>(light.Get()));
    FillRect(dc, &left, static_cast<HBRUSH>(light.Get()));
    FillRect(dc, &bottom, static_cast<HBRUSH>(dark.Get()));
    FillRect(dc, &right, static_cast<HBRUSH>(dark.Get()));
    InflateRect(&r, -1, -1);
  }
}

void PaintCut(HDC dc, RECT& r, TBevelCut cut, int width, TColor face) {
  COLORREF light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  switch (cut) {
    case bvLowered:
      Frame3D(dc, r, dark, light, width);
      break;
    case bvRaised:
      Frame3D(dc, r, light, dark, width);
      break;
    case bvSpace:
      Frame3D(dc, r, ColorToRGB(face), ColorToRGB(face), width);
      break;
    case bvNone:
      break;
  }
}

}  // namespace

void TLMDBevel::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TLMDBevel*>(&source);
  if (!other) return TPersistent::Assign(source);
  mode_ = other->mode_;
  styleOuter_ = other->styleOuter_;
  styleInner_ = other->styleInner_;
  widthOuter_ = other->widthOuter_;
  widthInner_ = other->widthInner_;
  borderWidth_ = other->borderWidth_;
  borderColor_ = other->borderColor_;
  Changed();
}

bool TLMDBevel::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Mode") {
    SetMode(static_cast<TLMDBevelMode>(ReadIdent(reader, kModes)));
  } else if (name == "StyleOuter") {
    SetStyleOuter(ReadBevelCut(reader));
  } else if (name == "StyleInner") {
    SetStyleInner(ReadBevelCut(reader));
  } else if (name == "WidthOuter") {
    SetWidthOuter(reader.ReadInteger());
  } else if (name == "WidthInner") {
    SetWidthInner(reader.ReadInteger());
  } else if (name == "BorderWidth") {
    SetBorderWidth(reader.ReadInteger());
  } else if (name == "BorderColor") {
    SetBorderColor(ReadColor(reader));
  } else {
    return TPersistent::ReadProperty(reader, name);
  }
  return true;
}

void TLMDBevel::Changed() {
  if (OnChange) OnChange(this);
}

void TLMDBevel::SetMode(TLMDBevelMode value) {
  if (value == mode_) return;
  mode_ = value;
  Changed();
}

void TLMDBevel::SetStyleOuter(TBevelCut value) {
  if (value == styleOuter_) return;
  styleOuter_ = value;
  Changed();
}

void TLMDBevel::SetStyleInner(TBevelCut value) {
  if (value == styleInner_) return;
  styleInner_ = value;
  Changed();
}

void TLMDBevel::SetWidthOuter(int value) {
  if (value < 0 || value == widthOuter_) return;
  widthOuter_ = value;
  Changed();
}

void TLMDBevel::SetWidthInner(int value) {
  if (value < 0 || value == widthInner_) return;
  widthInner_ = value;
  Changed();
}

void TLMDBevel::SetBorderWidth(int value) {
  if (value < 0 || value == borderWidth_) return;
  borderWidth_ = value;
  Changed();
}

void TLMDBevel::SetBorderColor(TColor value) {
  if (value == borderColor_) return;
  borderColor_ = value;
  Changed();
}

int TLMDBevel::Inset() const {
  if (mode_ == bmWindows) return 0;
  return borderWidth_ + (styleOuter_ != bvNone ? widthOuter_ : 0) + (styleInner_ != bvNone ? widthInner_ : 0);
}

RECT TLMDBevel::PaintBevel(HDC dc, const RECT& rect) const {
  RECT r = rect;
  if (mode_ == bmWindows) return r;
  PaintCut(dc, r, styleOuter_, widthOuter_, borderColor_);
  Frame3D(dc, r, ColorToRGB(borderColor_), ColorToRGB(borderColor_), borderWidth_);
  PaintCut(dc, r, styleInner_, widthInner_, borderColor_);
  return r;
}
