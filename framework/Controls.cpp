// Controls: what every visual component shares (bounds, alignment, visibility, colour and font
// that follow the parent, mouse input, the description's properties) and the control without a
// window. The windowed control is in WinControl.cpp.
#include "framework/Controls.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr TIdentMapEntry kAligns[] = {{"alNone", alNone},    {"alTop", alTop},     {"alBottom", alBottom},
                                      {"alLeft", alLeft},    {"alRight", alRight}, {"alClient", alClient},
                                      {"alCustom", alCustom}};

constexpr TIdentMapEntry kCursors[] = {
    {"crDefault", crDefault},     {"crNone", crNone},           {"crArrow", crArrow},
    {"crCross", crCross},         {"crIBeam", crIBeam},         {"crSizeNESW", crSizeNESW},
    {"crSizeNS", crSizeNS},       {"crSizeNWSE", crSizeNWSE},   {"crSizeWE", crSizeWE},
    {"crUpArrow", crUpArrow},     {"crHourGlass", crHourGlass}, {"crDrag", crDrag},
    {"crNoDrop", crNoDrop},       {"crHSplit", crHSplit},       {"crVSplit", crVSplit},
    {"crMultiDrag", crMultiDrag}, {"crSQLWait", crSQLWait},     {"crNo", crNo},
    {"crAppStart", crAppStart},   {"crHelp", crHelp},           {"crHandPoint", crHandPoint},
    {"crSizeAll", crSizeAll}};

constexpr TIdentMapEntry kAnchors[] = {
    {"akLeft", akLeft}, {"akTop", akTop}, {"akRight", akRight}, {"akBottom", akBottom}};

constexpr TIdentMapEntry kAlignments[] = {
    {"taLeftJustify", taLeftJustify}, {"taRightJustify", taRightJustify}, {"taCenter", taCenter}};

constexpr TIdentMapEntry kBevelCuts[] = {
    {"bvNone", bvNone}, {"bvLowered", bvLowered}, {"bvRaised", bvRaised}, {"bvSpace", bvSpace}};

}  // namespace

TAlignment ReadAlignment(TReader& reader) { return static_cast<TAlignment>(ReadIdent(reader, kAlignments)); }

TBevelCut ReadBevelCut(TReader& reader) { return static_cast<TBevelCut>(ReadIdent(reader, kBevelCuts)); }

unsigned KeysToShiftState(WPARAM keys) {
  unsigned shift = 0;
  if (keys & MK_SHIFT) shift |= ssShift;
  if (keys & MK_CONTROL) shift |= ssCtrl;
  if (keys & MK_LBUTTON) shift |= ssLeft;
  if (keys & MK_RBUTTON) shift |= ssRight;
  if (keys & MK_MBUTTON) shift |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

unsigned KeyDataToShiftState(LPARAM keyData) {
  unsigned shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  if (keyData & 0x20000000) shift |= ssAlt;
  return shift;
}

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::BeforeDestruction() {
  TComponent::BeforeDestruction();
  if (parent_) parent_->RemoveControl(this);
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation(LoadResString(SInvalidPropertyValue));
  if (parent_) parent_->RemoveControl(this);
  if (parent) {
    parent->InsertControl(this);
    ParentFontChanged();
    ParentColorChanged();
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool sized = width != width_ || height != height_;
  if (parent_ && !HasState(csLoading)) {
    RECT old = BoundsRect();
    InvalidateRect(parent_->HandleAllocated() ? parent_->Handle() : nullptr, &old, TRUE);
  }
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (parent_ && parent_->HandleAllocated()) Invalidate();
  if (parent_) parent_->ChildBoundsChanged(this);
  if (sized) Resize();
}

RECT TControl::ClientRect() { return RECT{0, 0, width_, height_}; }

void TControl::SetClientSize(int width, int height) {
  RECT client = ClientRect();
  SetBounds(left_, top_, width_ - client.right + width, height_ - client.bottom + height);
}

POINT TControl::ClientToScreen(POINT p) {
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    ::ClientToScreen(win->Handle(), &p);
    return p;
  }
  POINT origin = parent_ ? parent_->ClientToScreen(POINT{left_, top_}) : POINT{left_, top_};
  return POINT{p.x + origin.x, p.y + origin.y};
}

POINT TControl::ScreenToClient(POINT p) {
  POINT origin = ClientToScreen(POINT{0, 0});
  return POINT{p.x - origin.x, p.y - origin.y};
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  TAlign old = align_;
  align_ = align;
  if (old != alNone || align != alNone) {
    if (parent_) parent_->Realign();
  }
}

void TControl::RequestAlign() {
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  VisibleChanging();
  visible_ = visible;
  Perform(CM_VISIBLECHANGED, visible);
  if (parent_) parent_->Realign();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  parentColor_ = false;
  ColorChanged();
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  color_ = parent_->Color();
  ColorChanged();
}

void TControl::ColorChanged() {
  Perform(CM_COLORCHANGED);
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    for (int i = 0; i < win->ControlCount(); ++i) {
      win->Controls(i)->ParentColorChanged();
      // Told after taking the colour, so a child can pass the change on (an embedded control).
      win->Controls(i)->Perform(CM_PARENTCOLORCHANGED);
    }
  }
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  // Taking the parent's font is no change of our own: keep ParentFont set.
  font_->Assign(parent_->Font());
  parentFont_ = true;
}

void TControl::FontChanged() {
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    for (int i = 0; i < win->ControlCount(); ++i) {
      win->Controls(i)->ParentFontChanged();
      win->Controls(i)->Perform(CM_PARENTFONTCHANGED);
    }
  }
}

void TControl::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  TextChanged();
}

void TControl::TextChanged() {
  Perform(CM_TEXTCHANGED);
  Invalidate();
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  Perform(CM_CURSORCHANGED);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage message{msg, wParam, lParam, 0};
  WndProc(message);
  return message.Result;
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      TMouseButton button = (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK)   ? mbLeft
                            : (m.Msg == WM_RBUTTONDOWN || m.Msg == WM_RBUTTONDBLCLK) ? mbRight
                                                                                     : mbMiddle;
      bool dbl = m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK;
      // Default handling may run a click handler (a list box's selection change) that frees
      // this control; so may each event here.
      auto alive = AliveToken();
      DefaultHandler(m);
      if (alive.expired()) return;
      if (dbl && button == mbLeft) DblClick();
      if (alive.expired()) return;
      MouseDown(button, KeysToShiftState(m.WParam) | (dbl ? unsigned{ssDouble} : 0u), GET_X_LPARAM(m.LParam),
                GET_Y_LPARAM(m.LParam));
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      TMouseButton button = m.Msg == WM_LBUTTONUP ? mbLeft : m.Msg == WM_RBUTTONUP ? mbRight : mbMiddle;
      auto alive = AliveToken();
      DefaultHandler(m);
      if (!alive.expired()) MouseUp(button, KeysToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    }
    case WM_MOUSEMOVE: {
      auto alive = AliveToken();
      DefaultHandler(m);
      if (!alive.expired()) MouseMove(KeysToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    }
    default:
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Invalidate() {
  if (parent_ && parent_->HandleAllocated()) {
    RECT r = BoundsRect();
    InvalidateRect(parent_->Handle(), &r, TRUE);
  }
}

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (auto* win = dynamic_cast<TWinControl*>(this); win && win->HandleAllocated())
    SetWindowPos(win->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The handlers run from copies: a handler may free the control that holds it.
void TControl::Click() {
  if (TNotifyEvent handler = OnClick) handler(this);
}

void TControl::DblClick() {
  if (TNotifyEvent handler = OnDblClick) handler(this);
}

void TControl::Resize() {
  if (TNotifyEvent handler = OnResize) handler(this);
}

void TControl::MouseDown(TMouseButton button, unsigned shift, int x, int y) {
  if (TMouseEvent handler = OnMouseDown) handler(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, unsigned shift, int x, int y) {
  if (TMouseEvent handler = OnMouseUp) handler(this, button, shift, x, y);
}

void TControl::MouseMove(unsigned shift, int x, int y) {
  if (TMouseMoveEvent handler = OnMouseMove) handler(this, shift, x, y);
}

void TControl::ChangeScale(int multiplier, int divider) {
  if (!scaled_ || multiplier == divider) return;
  int left = MulDiv(left_, multiplier, divider);
  int top = MulDiv(top_, multiplier, divider);
  int width = MulDiv(left_ + width_, multiplier, divider) - left;
  int height = MulDiv(top_ + height_, multiplier, divider) - top;
  SetBounds(left, top, width, height);
  if (!parentFont_) {
    bool keep = parentFont_;
    font_->SetHeight(MulDiv(font_->Height(), multiplier, divider));
    parentFont_ = keep;
  }
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_) {
    if (parentColor_) ParentColorChanged();
    if (parentFont_) ParentFontChanged();
  }
}

TPersistent* TControl::NestedProperty(std::string_view name) {
  if (name == "Font") return font_.get();
  return TComponent::NestedProperty(name);
}

bool TControl::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Left") {
    SetLeft(reader.ReadInteger(-kMaxExtent, kMaxExtent));
  } else if (name == "Top") {
    SetTop(reader.ReadInteger(-kMaxExtent, kMaxExtent));
  } else if (name == "Width") {
    SetWidth(reader.ReadInteger(0, kMaxExtent));
  } else if (name == "Height") {
    SetHeight(reader.ReadInteger(0, kMaxExtent));
  } else if (name == "Align") {
    SetAlign(static_cast<TAlign>(ReadIdent(reader, kAligns)));
  } else if (name == "Anchors") {
    SetAnchors(ReadIdentSet(reader, kAnchors));
  } else if (name == "Visible") {
    SetVisible(reader.ReadBoolean());
  } else if (name == "Enabled") {
    SetEnabled(reader.ReadBoolean());
  } else if (name == "Color") {
    SetColor(ReadColor(reader));
  } else if (name == "ParentColor") {
    SetParentColor(reader.ReadBoolean());
  } else if (name == "ParentFont") {
    SetParentFont(reader.ReadBoolean());
  } else if (name == "Caption" || name == "Text") {
    SetText(reader.ReadString());
  } else if (name == "Hint") {
    SetHint(reader.ReadString());
  } else if (name == "ShowHint") {
    showHint_ = reader.ReadBoolean();
  } else if (name == "ParentShowHint") {
    reader.ReadBoolean();
  } else if (name == "Cursor") {
    SetCursor(ReadIdentOrInteger(reader, kCursors));
  } else if (name == "Tag") {
    SetTag(reader.ReadInteger());
  } else if (name == "OnClick") {
    reader.ReadEvent([this](TNotifyEvent e) { OnClick = std::move(e); });
  } else if (name == "OnDblClick") {
    reader.ReadEvent([this](TNotifyEvent e) { OnDblClick = std::move(e); });
  } else if (name == "OnResize") {
    reader.ReadEvent([this](TNotifyEvent e) { OnResize = std::move(e); });
  } else {
    return TComponent::ReadProperty(reader, name);
  }
  return true;
}

bool TControl::PaletteChanged(bool) { return false; }

// ---- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), canvas_(std::make_unique<TCanvas>()) {}

void TGraphicControl::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    canvas_->SetHandle(reinterpret_cast<HDC>(m.WParam));
    TScopeExit releaseCanvas([&] { canvas_->SetHandle(nullptr); });
    canvas_->Font().Assign(Font());
    Paint();
    return;
  }
  TControl::WndProc(m);
}
