// The splitter panel, its panes and bars: model and layout. Painting is in SplitterPaint.cpp.
#include "splitter/lmdsplt.h"

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr TIdentMapEntry kOrientations[] = {{"spHorzDown", spHorzDown},
                                            {"spHorzUp", spHorzUp},
                                            {"spVertRight", spVertRight},
                                            {"spVertLeft", spVertLeft},
                                            {"spCross", spCross}};
constexpr TIdentMapEntry kBorderStyles[] = {{"lsNone", lsNone},
                                            {"lsSingle", lsSingle},
                                            {"lsLowered", lsLowered},
                                            {"lsRaised", lsRaised},
                                            {"lsRaisedspb", lsRaisedspb},
                                            {"lsLoweredspb", lsLoweredspb},
                                            {"lsRaisedExt", lsRaisedExt},
                                            {"lsLoweredExt", lsLoweredExt},
                                            {"lsFrameInset", lsFrameInset},
                                            {"lsFrameOffset", lsFrameOffset},
                                            {"lsWindowBorder", lsWindowBorder},
                                            {"lsSingleRaised", lsSingleRaised},
                                            {"lsSingleLowered", lsSingleLowered},
                                            {"lsDoubleRaised", lsDoubleRaised},
                                            {"lsDoubleLowered", lsDoubleLowered}};
constexpr TIdentMapEntry kJumps[] = {{"sjUpLeft", sjUpLeft}, {"sjDnRight", sjDnRight}};
constexpr TIdentMapEntry kIniUses[] = {{"ioUseLink", ioUseLink}, {"ioUseGlobal", ioUseGlobal}, {"ioNone", ioNone}};

constexpr TIdentMapEntry kIniSaveOptions[] = {
    {"ssOrderVisible", ssOrderVisible}, {"ssPosition", ssPosition}, {"soColor", soColor}, {"soFont", soFont}};

RECT ToRect(const SplitRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

// ---- TLMDSplitterBarItem

TLMDSplitterBarItem::TLMDSplitterBarItem(TCollection* collection) : TCollectionItem(collection) {}

TLMDSplitterPanel* TLMDSplitterBarItem::Panel() const {
  auto* items = dynamic_cast<TLMDSplitterBarItems*>(Collection());
  return items ? items->Panel() : nullptr;
}

void TLMDSplitterBarItem::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TLMDSplitterBarItem*>(&source);
  if (!other) return TCollectionItem::Assign(source);
  position_ = other->position_;
  min_ = other->min_;
  max_ = other->max_;
  posPercent_ = other->posPercent_;
  color_ = other->color_;
  width_ = other->width_;
  extent_ = other->extent_;
  isHorizontal_ = other->isHorizontal_;
  locked_ = other->locked_;
  transparent_ = other->transparent_;
}

bool TLMDSplitterBarItem::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "OldPosition") SetOldPosition(reader.ReadInteger());
  else if (name == "BorderStyle") SetBorderStyle(static_cast<TLMDBorderStyle>(ReadIdent(reader, kBorderStyles)));
  else if (name == "Position") SetPosition(reader.ReadInteger());
  else if (name == "PosPercent") SetPosPercent(reader.ReadInteger());
  else if (name == "Min") SetMin(reader.ReadInteger());
  else if (name == "Max") SetMax(reader.ReadInteger());
  else if (name == "Locked") SetLocked(reader.ReadBoolean());
  else if (name == "Color") SetColor(ReadColor(reader));
  else if (name == "ResizeButton") SetResizeButton(reader.ReadBoolean());
  else if (name == "ResizeDirection") SetResizeDirection(static_cast<TLMDSplitterJump>(ReadIdent(reader, kJumps)));
  else if (name == "ResizeColor") SetResizeColor(ReadColor(reader));
  else if (name == "Transparent") SetTransparent(reader.ReadBoolean());
  else if (name == "Width") SetWidth(reader.ReadInteger());
  else if (name == "OnChange") reader.ReadEvent([this](TNotifyEvent e) { OnChange = std::move(e); });
  else return TCollectionItem::ReadProperty(reader, name);
  return true;
}

void TLMDSplitterBarItem::DoChange() {
  if (OnChange) OnChange(this);
}

void TLMDSplitterBarItem::SetPosition(int value) {
  // Even the same value re-synchronises and re-lays out: the percentage is the master value.
  bool changed = value != position_;
  position_ = value;
  SyncBar(false, changed);
  if (changed) DoChange();
  Changed(true);
}

void TLMDSplitterBarItem::SetPosPercent(int value) {
  auto percent = static_cast<TLMDPercent>(std::clamp(value, 0, 100));
  if (percent == posPercent_) return;
  posPercent_ = percent;
  SyncBar(true);
  DoChange();
  Changed(true);
}

void TLMDSplitterBarItem::SetMin(int value) {
  if (value == min_) return;
  min_ = value;
  SyncBar(false);
  Changed(true);
}

void TLMDSplitterBarItem::SetMax(int value) {
  if (value == max_) return;
  max_ = value;
  SyncBar(false);
  Changed(true);
}

void TLMDSplitterBarItem::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  SyncBar(false);
  Changed(true);
}

void TLMDSplitterBarItem::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  DoChange();
  Changed(true);
}

void TLMDSplitterBarItem::SetResizeButton(bool value) {
  if (value == resizeButton_) return;
  resizeButton_ = value;
  // Where a button was drawn is no button any more.
  if (!value) {
    buttonRect_ = RECT{};
    buttonHot_ = false;
  }
  Changed(true);
}

void TLMDSplitterBarItem::SetBorderStyle(TLMDBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Changed(true);
}

void TLMDSplitterBarItem::SetResizeDirection(TLMDSplitterJump value) {
  if (value == resizeDirection_) return;
  resizeDirection_ = value;
  Changed(true);
}

void TLMDSplitterBarItem::SetResizeColor(TColor value) {
  if (value == resizeColor_) return;
  resizeColor_ = value;
  Changed(true);
}

void TLMDSplitterBarItem::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed(false);
}

void TLMDSplitterBarItem::SetLocked(bool value) {
  if (value == locked_) return;
  locked_ = value;
  Changed(false);
}

void TLMDSplitterBarItem::SetButtonHot(bool value) {
  if (value == buttonHot_) return;
  buttonHot_ = value;
  Changed(true);
}

void TLMDSplitterBarItem::SyncBar(bool recalc, bool moved) {
  if (extent_ == 0) return;
  if (tracking_) {
    // A bar released where it was pressed keeps its percentage and its collapsed state: one
    // held at Min or Max sits off its stored percentage, and its button must still restore it.
    if (!moved) return;
    TLMDPercent percent = PercentOf(position_, extent_);
    if (oldPosition_ != -1 && percent != posPercent_) oldPosition_ = -1;
    posPercent_ = percent;
  } else if (recalc || position_ == -1) {
    position_ = PositionFromPercent(posPercent_, extent_, min_, max_);
  } else {
    posPercent_ = PercentOf(position_, extent_);
  }
}

void TLMDSplitterBarItem::ToggleCollapse() {
  if (oldPosition_ == -1) {
    int remembered = position_;
    SetPosPercent(resizeDirection_ == sjUpLeft ? 0 : 100);
    oldPosition_ = remembered;
  } else {
    SetPosition(oldPosition_);
    oldPosition_ = -1;
  }
  // The refresh above drew the arrows before the collapsed state changed: turn them now.
  if (TLMDSplitterPanel* panel = Panel()) panel->PaintBar(Index());
}

// ---- TLMDSplitterBarItems

TLMDSplitterBarItems::TLMDSplitterBarItems(TLMDSplitterPanel* panel)
    : TCollection(panel, [](TCollection*) { return new TLMDSplitterBarItem(nullptr); }), panel_(panel) {}

void TLMDSplitterBarItems::Update(TCollectionItem* item) {
  if (!panel_) return;
  if (item) panel_->PaintBar(item->Index());
  else panel_->RefreshLayout();
}

// ---- TLMDSplitterPane

TLMDSplitterPane::TLMDSplitterPane(TComponent* owner) : TLMDScrollBox(owner) { SetParentColor(true); }

bool TLMDSplitterPane::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Align") {
    reader.SkipValue();  // the panel places its panes itself
    return true;
  }
  return TLMDScrollBox::ReadProperty(reader, name);
}

void TLMDSplitterPane::BeforeDestruction() {
  if (splitter_ && !splitter_->HasState(csDestroying)) splitter_->RemovePane(this);
  TLMDScrollBox::BeforeDestruction();
}

void TLMDSplitterPane::SetSplitter(TLMDSplitterPanel* panel) {
  if (panel == splitter_ && panel) return;
  if (splitter_) splitter_->RemovePane(this);
  SetParent(panel);
  if (panel) panel->AddPane(this);
}

void TLMDSplitterPane::WndProc(TMessage& m) {
  TLMDScrollBox::WndProc(m);
  if (m.Msg == CM_VISIBLECHANGED && !HasState(csLoading) && splitter_) {
    if (splitter_->orientation_ == spCross) splitter_->orientation_ = spVertRight;
    splitter_->RefreshLayout();
  }
}

// ---- TLMDSplitterPanel

TLMDSplitterPanel::TLMDSplitterPanel(TComponent* owner) : TLMDCustomBevelPanel(owner) {
  static const bool paneRegistered = [] {
    RegisterComponentClass("TLMDSplitterPane", [](TComponent* o) { return new TLMDSplitterPane(o); });
    return true;
  }();
  (void)paneRegistered;
  updating_ = true;
  bars_ = std::make_unique<TLMDSplitterBarItems>(this);
  orientation_ = spVertRight;
  instantUpdate_ = false;
  SetBounds(Left(), Top(), 200, 100);
  SetTabStop(false);
  updating_ = false;
}

TLMDSplitterPanel::~TLMDSplitterPanel() {
  // Panes outlive a panel that was deleted without Free; they must not call back into it.
  for (TLMDSplitterPane* pane : panes_) {
    pane->splitter_ = nullptr;
    pane->paneIndex_ = -1;
  }
}

void TLMDSplitterPanel::Destroying() {
  TLMDCustomBevelPanel::Destroying();
  updating_ = true;
  if (!HasState(csDesigning)) WriteIniData();
  for (TLMDSplitterPane* pane : panes_) {
    pane->splitter_ = nullptr;
    pane->paneIndex_ = -1;
  }
  panes_.clear();
}

bool TLMDSplitterPanel::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Bars") {
    bars_->ReadItems(reader);
  } else if (name == "Orientation") {
    SetOrientation(static_cast<TLMDSplitterOrientation>(ReadIdent(reader, kOrientations)));
  } else if (name == "InstantUpdate") {
    SetInstantUpdate(reader.ReadBoolean());
  } else if (name == "IniLink") {
    reader.ReadReference<TLMDIniCtrl>([this](TLMDIniCtrl* link) { SetIniLink(link); });
  } else if (name == "IniUse") {
    SetIniUse(static_cast<TLMDIniUse>(ReadIdent(reader, kIniUses)));
  } else if (name == "IniSaveOptions") {
    SetIniSaveOptions(ReadIdentSet(reader, kIniSaveOptions));
  } else if (name == "Section") {
    SetSection(reader.ReadString());
  } else if (name == "IniKey") {
    SetIniKey(reader.ReadString());
  } else {
    return TLMDCustomBevelPanel::ReadProperty(reader, name);
  }
  return true;
}

void TLMDSplitterPanel::ReadChild(TComponent* child) {
  if (auto* pane = dynamic_cast<TLMDSplitterPane*>(child)) {
    pane->SetSplitter(this);
    return;
  }
  TLMDCustomBevelPanel::ReadChild(child);
}

void TLMDSplitterPanel::Loaded() {
  TLMDCustomBevelPanel::Loaded();
  inset_ = Bevel().Inset();
  if (!HasState(csDesigning)) {
    updating_ = true;
    TScopeExit endUpdating([this] { updating_ = false; });
    ReadIniData();
  }
  UpdateBarDirections();
  UpdateBarExtents();
  Realign();
}

void TLMDSplitterPanel::SetOrientation(TLMDSplitterOrientation value) {
  if (value == orientation_) return;
  if (value == spCross && PaneCount() < MaxPanes && !HasState(csLoading)) return;
  orientation_ = value;
  UpdateBarDirections();
  UpdateBarExtents();
  Realign();
}

int TLMDSplitterPanel::VisiblePaneCount() const {
  if (HasState(csDesigning)) return PaneCount();
  return static_cast<int>(
      std::count_if(panes_.begin(), panes_.end(), [](TLMDSplitterPane* p) { return p->Visible(); }));
}

int TLMDSplitterPanel::BarCount() const { return std::max(VisiblePaneCount() - 1, 0); }

TLMDSplitterPane* TLMDSplitterPanel::VisiblePane(int n) const {
  if (n < 0) return nullptr;
  for (TLMDSplitterPane* pane : panes_) {
    if (!pane->Visible() && !HasState(csDesigning)) continue;
    if (n-- == 0) return pane;
  }
  return nullptr;
}

TLMDSplitterPane* TLMDSplitterPanel::PaneAt(int i) const {
  if (i < 0 || i >= PaneCount()) return nullptr;
  return panes_[static_cast<std::size_t>(i)];
}

BarMetrics TLMDSplitterPanel::Metrics() const {
  BarMetrics m;
  for (int k = 0; k < 3 && k < bars_->Count(); ++k) {
    m.position[static_cast<std::size_t>(k)] = bars_->Items(k)->Position();
    m.width[static_cast<std::size_t>(k)] = bars_->Items(k)->Width();
  }
  return m;
}

RECT TLMDSplitterPanel::BarRect(int i) {
  if (i < 0 || i >= BarCount() || i >= bars_->Count()) return RECT{};
  RECT client = ClientRect();
  return ToRect(BarRectangle(orientation_, VisiblePaneCount(), i, inset_, client.right, client.bottom, Metrics()));
}

void TLMDSplitterPanel::UpdateBarDirections() {
  if (HasState(csLoading) || HasState(csDestroying)) return;
  int visible = VisiblePaneCount();
  if (visible < 2) return;
  for (int i = 0; i < 3 && i < bars_->Count(); ++i) {
    TLMDSplitterBarItem* bar = bars_->Items(i);
    bar->isHorizontal_ = BarIsHorizontal(orientation_, visible, i, bar->isHorizontal_);
  }
}

void TLMDSplitterPanel::UpdateBarExtents() {
  if (HasState(csLoading) || updating_) return;
  RECT client = ClientRect();
  extentsFor_ = SIZE{client.right, client.bottom};
  int w = client.right - 2 * inset_, h = client.bottom - 2 * inset_;
  int visible = VisiblePaneCount();
  int active = std::min(BarCount(), bars_->Count());
  for (int i = 0; i < active; ++i) {
    TLMDSplitterBarItem* bar = bars_->Items(i);
    char size = BarExtentSize(orientation_, visible, i);
    // A panel smaller than the bar leaves no room: the bar keeps its place until there is.
    if (size) bar->extent_ = std::max((size == 'H' ? h : w) - bar->width_, 0);
  }
  for (int i = 0; i < active; ++i) bars_->Items(i)->SyncBar(true);
}

void TLMDSplitterPanel::AlignControls(TControl* control, RECT& rect) {
  // An alignment given to a pane through its base class would have the base place it first
  // and narrow the room of the others.
  for (TLMDSplitterPane* pane : panes_)
    if (pane->Align() != alNone) pane->TControl::SetAlign(alNone);
  TLMDCustomBevelPanel::AlignControls(control, rect);
  // After a resize the travel room follows the new client area before the panes are placed,
  // so each pane is placed once, where it ends up. Otherwise a bar keeps its pixel position.
  RECT client = ClientRect();
  if (client.right != extentsFor_.cx || client.bottom != extentsFor_.cy) UpdateBarExtents();
  int visible = std::min(VisiblePaneCount(), MaxPanes);
  if (visible == 0) return;
  auto places =
      PanePlacement(orientation_, visible, SplitRect{rect.left, rect.top, rect.right, rect.bottom}, Metrics());
  DisableAlign();
  TUpdateScope align([this] { EnableAlign(); });
  for (int n = 0; n < visible; ++n) {
    const SplitRect& r = places[static_cast<std::size_t>(n)];
    VisiblePane(n)->SetBounds(r.left, r.top, r.width(), r.height());
  }
  align.Close();
}

void TLMDSplitterPanel::RefreshLayout() {
  if (HasState(csLoading) || HasState(csDestroying) || updating_) return;
  UpdateBarDirections();
  UpdateBarExtents();
  Realign();
  if (HandleAllocated()) PaintNow([this] { Paint(); });
}

void TLMDSplitterPanel::Resize() {
  TLMDCustomBevelPanel::Resize();
  if (HasState(csLoading) || updating_) return;
  // The size change has already laid the panes out (AlignControls).
  if (DrawsTransparent() && HandleAllocated()) PaintNow([this] { Paint(); });
}

void TLMDSplitterPanel::CreateParams(TCreateParams& params) {
  TLMDCustomBevelPanel::CreateParams(params);
  // Erasing the panel must not wipe the panes' lists before they repaint.
  params.Style |= WS_CLIPCHILDREN;
}

void TLMDSplitterPanel::BevelChanged() {
  TLMDCustomBevelPanel::BevelChanged();
  inset_ = Bevel().Inset();
  // The bars' travel room follows the new frame at once, not at the next resize.
  RefreshLayout();
}

int TLMDSplitterPanel::AddPane(TLMDSplitterPane* pane) {
  if (!pane || PaneCount() >= MaxPanes) return -1;
  int index = PaneCount();
  panes_.push_back(pane);
  pane->splitter_ = this;
  pane->paneIndex_ = index;
  if (bars_->Count() < PaneCount() - 1) bars_->Add();
  if (!updating_) {
    // Bars that existed before the pane came lie as the new pane count has them.
    UpdateBarDirections();
    UpdateBarExtents();
    Realign();
  }
  return index;
}

void TLMDSplitterPanel::RemovePane(TLMDSplitterPane* pane) {
  auto it = std::find(panes_.begin(), panes_.end(), pane);
  if (it == panes_.end()) return;
  pane->splitter_ = nullptr;
  pane->paneIndex_ = -1;
  panes_.erase(it);
  for (int i = 0; i < PaneCount(); ++i) panes_[static_cast<std::size_t>(i)]->paneIndex_ = i;
  if (orientation_ == spCross) orientation_ = spVertRight;
  if (updating_) return;
  if (bars_->Count() > 0 && bars_->Count() > PaneCount() - 1)
    delete bars_->Items(bars_->Count() - 1);  // the collection's report re-lays out
  else RefreshLayout();
}

void RegisterSplitterClasses() {
  RegisterComponentClass("TLMDSplitterPanel", [](TComponent* o) { return new TLMDSplitterPanel(o); });
  RegisterComponentClass("TLMDSplitterPane", [](TComponent* o) { return new TLMDSplitterPane(o); });
}
