#include "framework/Panel.h"

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

// A frame is drawn line by line; one wider than any window is no frame but a loop.
constexpr int kMaxFrameWidth = 255;

}  // namespace

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentColor(true);
}

bool TCustomPanel::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Alignment") {
    SetAlignment(ReadAlignment(reader));
  } else if (name == "BevelOuter" || name == "BevelInner") {
    TBevelCut cut = ReadBevelCut(reader);
    if (name == "BevelOuter") SetBevelOuter(cut);
    else SetBevelInner(cut);
  } else if (name == "BevelWidth") {
    SetBevelWidth(reader.ReadInteger(0, kMaxFrameWidth));
  } else if (name == "BorderWidth") {
    SetBorderWidth(reader.ReadInteger(0, kMaxFrameWidth));
  } else if (name == "AutoSize") {
    SetAutoSize(reader.ReadBoolean());
  } else {
    return TCustomControl::ReadProperty(reader, name);
  }
  return true;
}

void TCustomPanel::Loaded() {
  TCustomControl::Loaded();
  AdjustSize();
}

void TCustomPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
  if (value == bevelInner_) return;
  bevelInner_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int value) {
  if (value == bevelWidth_) return;
  bevelWidth_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int value) {
  if (value == borderWidth_) return;
  borderWidth_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustSize();
}

int TCustomPanel::FrameWidth() const {
  return borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

RECT TCustomPanel::ClientRect() {
  RECT r = TCustomControl::ClientRect();
  int frame = FrameWidth();
  InflateRect(&r, -frame, -frame);
  return r;
}

void TCustomPanel::ChildBoundsChanged(TControl* child) {
  TCustomControl::ChildBoundsChanged(child);
  if (autoSize_ && child->Align() == alNone) AdjustSize();
}

void TCustomPanel::AlignControls(TControl* control, RECT& rect) {
  TCustomControl::AlignControls(control, rect);
  AdjustSize();
}

void TCustomPanel::AdjustSize() {
  // The panel's size follows its content; a side that its own alignment fixes stays.
  if (!autoSize_ || adjusting_ || HasState(csLoading) || ControlCount() == 0) return;
  int right = 0, bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    right = std::max(right, c->Left() + c->Width());
    bottom = std::max(bottom, c->Top() + c->Height());
  }
  int frame = FrameWidth();
  int width = right + 2 * frame, height = bottom + 2 * frame;
  bool fixedWidth = Align() == alTop || Align() == alBottom || Align() == alClient;
  bool fixedHeight = Align() == alLeft || Align() == alRight || Align() == alClient;
  adjusting_ = true;
  SetBounds(Left(), Top(), fixedWidth ? Width() : width, fixedHeight ? Height() : height);
  adjusting_ = false;
}

void TCustomPanel::Paint() {
  RECT r{0, 0, Width(), Height()};
  HDC dc = Canvas().Handle();
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    UINT edge = cut == bvLowered ? BDR_SUNKENOUTER : cut == bvRaised ? BDR_RAISEDINNER : 0;
    for (int i = 0; i < bevelWidth_; ++i) {
      if (edge) DrawEdge(dc, &r, edge, BF_RECT);
      InflateRect(&r, -1, -1);
    }
  };
  bevel(bevelOuter_);
  InflateRect(&r, -borderWidth_, -borderWidth_);
  bevel(bevelInner_);
  Canvas().Brush().SetColor(Color());
  Canvas().FillRect(r);
  if (!Caption().empty()) {
    Canvas().Brush().SetStyle(bsClear);
    Canvas().Font().Assign(Font());
    UINT format = DT_SINGLELINE | DT_VCENTER |
                  (alignment_ == taLeftJustify    ? DT_LEFT
                   : alignment_ == taRightJustify ? DT_RIGHT
                                                  : DT_CENTER);
    SetBkMode(dc, TRANSPARENT);
    SelectedObject font(dc, Font().Handle());
    SetTextColor(dc, ColorToRGB(Font().Color()));
    DrawTextA(dc, Caption().c_str(), static_cast<int>(Caption().size()), &r, format);
  }
}
