// The effects library's base control, its background copy and its bevel panel.
#include "effects/LMDCustomControl.h"

#include "framework/Streaming.h"

void TLMDAlphaBlend::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TLMDAlphaBlend*>(&source);
  if (!other) return TPersistent::Assign(source);
  strength_ = other->strength_;
}

bool TLMDAlphaBlend::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Strength") {
    strength_ = reader.ReadFloat();
    return true;
  }
  return TPersistent::ReadProperty(reader, name);
}

void TLMDBackFX::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TLMDBackFX*>(&source);
  if (!other) return TPersistent::Assign(source);
  alphaBlend_.Assign(other->alphaBlend_);
}

TPersistent* TLMDBackFX::NestedProperty(std::string_view name) {
  if (name == "AlphaBlend") return &alphaBlend_;
  return TPersistent::NestedProperty(name);
}

// ---- TLMDCustomControl

TLMDCustomControl::TLMDCustomControl(TComponent* owner) : TCustomControl(owner) {}

bool TLMDCustomControl::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Transparent") {
    SetTransparent(reader.ReadBoolean());
    return true;
  }
  return TCustomControl::ReadProperty(reader, name);
}

TPersistent* TLMDCustomControl::NestedProperty(std::string_view name) {
  if (name == "BackFX") return &backFX_;
  return TCustomControl::NestedProperty(name);
}

void TLMDCustomControl::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TLMDCustomControl::BackDrawArea(TCanvas& canvas, const RECT& rect) {
  TWinControl* parent = Parent();
  if (!parent || !parent->HandleAllocated()) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(rect);
    return;
  }
  // The parent paints itself into our device context, shifted so that its pixels behind us
  // land where they are seen, and clipped to the rectangle.
  HDC dc = canvas.Handle();
  int saved = SaveDC(dc);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  POINT origin{};
  OffsetViewportOrgEx(dc, -Left(), -Top(), &origin);
  // A parent without painting of its own hands WM_PAINT to the system, which validates the
  // parent's pending update region without painting it: keep that region pending.
  GdiObject pending(CreateRectRgn(0, 0, 0, 0));
  auto region = static_cast<HRGN>(pending.Get());
  bool hadPending = region && GetUpdateRgn(parent->Handle(), region, FALSE) > NULLREGION;
  parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  if (hadPending) InvalidateRgn(parent->Handle(), region, TRUE);
  RestoreDC(dc, saved);
}

void TLMDCustomControl::WndProc(TMessage& m) {
  if (m.Msg == WM_ERASEBKGND && transparent_) {
    m.Result = 1;  // painting copies the background; erasing first would only flicker
    return;
  }
  TCustomControl::WndProc(m);
}

// ---- TLMDCustomPanel

TLMDCustomPanel::TLMDCustomPanel(TComponent* owner) : TLMDCustomControl(owner) {
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 41);
}

void TLMDCustomPanel::Paint() {
  RECT r = ClientRect();
  if (DrawsTransparent()) {
    BackDrawArea(Canvas(), r);
  } else {
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(r);
  }
  if (HasState(csDesigning)) {
    // Shows the designer where an otherwise invisible panel lies.
    Canvas().Pen().SetStyle(psDash);
    Canvas().Pen().SetWidth(1);
    Canvas().Pen().SetColor(clBlack);
    Canvas().Brush().SetStyle(bsClear);
    Canvas().Rectangle(r.left, r.top, r.right, r.bottom);
    Canvas().Brush().SetStyle(bsSolid);
  }
}

// ---- TLMDCustomBevelPanel

TLMDCustomBevelPanel::TLMDCustomBevelPanel(TComponent* owner) : TLMDCustomPanel(owner), bevel_(bmCustom) {
  bevel_.OnChange = [this](TObject*) { BevelChanged(); };
}

TPersistent* TLMDCustomBevelPanel::NestedProperty(std::string_view name) {
  if (name == "Bevel") return &bevel_;
  return TLMDCustomPanel::NestedProperty(name);
}

void TLMDCustomBevelPanel::AlignControls(TControl* control, RECT& rect) {
  int inset = bevel_.Inset();
  InflateRect(&rect, -inset, -inset);
  TLMDCustomPanel::AlignControls(control, rect);
}

void TLMDCustomBevelPanel::BevelChanged() {
  Realign();
  Invalidate();
}

void TLMDCustomBevelPanel::Paint() {
  TLMDCustomPanel::Paint();
  if (bevel_.DrawsFrame()) bevel_.PaintBevel(Canvas().Handle(), ClientRect());
}
