// The status bar and its panels.
#include "statusbar/ComCtrls.h"

#include <commctrl.h>

#include <vector>

#include "framework/MessageTexts.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr WPARAM kSimplePart = 255;

bool SystemMiddleEastSupport() { return GetSystemMetrics(SM_MIDEASTENABLED) != 0; }

bool MiddleEastEnabled() {
#ifdef FOLVANE_TEST_SEAMS
  return MiddleEastSupportSeam();
#else
  return SystemMiddleEastSupport();
#endif
}

constexpr TIdentMapEntry kBiDiModes[] = {{"bdLeftToRight", bdLeftToRight},
                                         {"bdRightToLeft", bdRightToLeft},
                                         {"bdRightToLeftNoAlign", bdRightToLeftNoAlign},
                                         {"bdRightToLeftReadingOnly", bdRightToLeftReadingOnly}};
constexpr TIdentMapEntry kPanelBevels[] = {{"pbNone", pbNone}, {"pbLowered", pbLowered}, {"pbRaised", pbRaised}};
constexpr TIdentMapEntry kPanelStyles[] = {{"psText", psText}, {"psOwnerDraw", psOwnerDraw}};

TBiDiMode ReadBiDiMode(TReader& reader) { return static_cast<TBiDiMode>(ReadIdent(reader, kBiDiModes)); }

// The text as the control reads it: one tab centres what follows, two right-align it.
std::string AlignedText(const std::string& text, TAlignment alignment) {
  switch (alignment) {
    case taCenter:
      return "\t" + text;
    case taRightJustify:
      return "\t\t" + text;
    default:
      return text;
  }
}

TAlignment Mirrored(TAlignment alignment) {
  if (alignment == taLeftJustify) return taRightJustify;
  if (alignment == taRightJustify) return taLeftJustify;
  return alignment;
}

}  // namespace

#ifdef FOLVANE_TEST_SEAMS
bool (*MiddleEastSupportSeam)() = SystemMiddleEastSupport;
#endif

// ---- TStatusPanel

TStatusPanel::TStatusPanel() : TCollectionItem(nullptr) {}

TStatusBar* TStatusPanel::StatusBar() const {
  auto* panels = dynamic_cast<TStatusPanels*>(Collection());
  return panels ? panels->StatusBar() : nullptr;
}

void TStatusPanel::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TStatusPanel*>(&source);
  if (!other) return TCollectionItem::Assign(source);
  SetText(other->text_);
  SetWidth(other->width_);
  SetAlignment(other->alignment_);
  SetBevel(other->bevel_);
  SetStyle(other->style_);
}

std::string TStatusPanel::DisplayName() const { return text_.empty() ? TCollectionItem::DisplayName() : text_; }

void TStatusPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  if (value == bevel_) return;
  bevel_ = value;
  Changed(false);
}

void TStatusPanel::SetBiDiMode(TBiDiMode value) {
  // A reading order of its own: the bar's no longer applies.
  parentBiDiMode_ = false;
  if (value == biDiMode_) return;
  biDiMode_ = value;
  Changed(false);
}

void TStatusPanel::SetParentBiDiMode(bool value) {
  if (value == parentBiDiMode_) return;
  parentBiDiMode_ = value;
  if (value) ParentBiDiModeChanged();
}

void TStatusPanel::ParentBiDiModeChanged() {
  TStatusBar* bar = StatusBar();
  if (!parentBiDiMode_ || !bar || bar->BiDiMode() == biDiMode_) return;
  biDiMode_ = bar->BiDiMode();
  Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed(false);
}

void TStatusPanel::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  Changed(false);
}

void TStatusPanel::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  Changed(true);
}

bool TStatusPanel::UseRightToLeftReading() const { return MiddleEastEnabled() && biDiMode_ != bdLeftToRight; }

bool TStatusPanel::UseRightToLeftAlignment() const { return MiddleEastEnabled() && biDiMode_ == bdRightToLeft; }

bool TStatusPanel::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Alignment") {
    SetAlignment(ReadAlignment(reader));
  } else if (name == "Bevel") {
    SetBevel(static_cast<TStatusPanelBevel>(ReadIdent(reader, kPanelBevels)));
  } else if (name == "BiDiMode") {
    SetBiDiMode(ReadBiDiMode(reader));
  } else if (name == "ParentBiDiMode") {
    SetParentBiDiMode(reader.ReadBoolean());
  } else if (name == "Style") {
    SetStyle(static_cast<TStatusPanelStyle>(ReadIdent(reader, kPanelStyles)));
  } else if (name == "Text") {
    SetText(reader.ReadString());
  } else if (name == "Width") {
    SetWidth(reader.ReadInteger());
  } else {
    return TCollectionItem::ReadProperty(reader, name);
  }
  return true;
}

// ---- TStatusPanels

TStatusPanels::TStatusPanels(TStatusBar* statusBar)
    : TCollection(statusBar,
                  [statusBar](TCollection*) -> TCollectionItem* {
                    auto* panel = new TStatusPanel();
                    panel->biDiMode_ = statusBar->BiDiMode();
                    return panel;
                  }),
      statusBar_(statusBar) {}

void TStatusPanels::Update(TCollectionItem* item) {
  if (item) statusBar_->PanelChanged(static_cast<TStatusPanel*>(item));
  else statusBar_->PanelsChanged();
}

void TStatusPanels::ValidateItem(TCollectionItem* item) {
  if (!dynamic_cast<TStatusPanel*>(item)) throw EPropertyError(LoadResString(SInvalidPropertyValue));
}

// ---- TStatusBar

TStatusBar::TStatusBar(TComponent* owner)
    : TWinControl(owner), panels_(std::make_unique<TStatusPanels>(this)), canvas_(std::make_unique<TCanvas>()) {
  SetColor(clBtnFace);
  SetBounds(0, 0, 0, 19);
  SetAlign(alBottom);
  TControl::SetParentFont(false);
  SyncToSystemFont();
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::CreateParams(TCreateParams& params) {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&init)) InitCommonControls();
  TWinControl::CreateParams(params);
  params.SubClassOf = STATUSCLASSNAMEA;
  params.WinClassName = "TStatusBar";
  params.Style |= SizeGripWanted() ? SBARS_SIZEGRIP : CCS_TOP;

  // The framework copies the system class's style; the bar's class wants its own, so it is
  // registered here first (the framework keeps a class that already leads to its procedure).
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (GetClassInfoA(instance, params.WinClassName.c_str(), &existing) &&
      existing.lpfnWndProc == &TWinControl::InitWndProc)
    return;
  WNDCLASSA system{};
  if (!GetClassInfoA(nullptr, STATUSCLASSNAMEA, &system)) throw EOutOfResources(LoadResString(SWindowClass));
  if (existing.lpszClassName || existing.lpfnWndProc) UnregisterClassA(params.WinClassName.c_str(), instance);
  WNDCLASSA own = system;
  own.style = (system.style & ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS | CS_HREDRAW)) | CS_VREDRAW;
  own.lpfnWndProc = &TWinControl::InitWndProc;
  own.hInstance = instance;
  own.lpszClassName = params.WinClassName.c_str();
  if (!RegisterClassA(&own)) throw EOutOfResources(LoadResString(SWindowClass));
}

bool TStatusBar::SizeGripWanted() const {
  if (!sizeGrip_) return false;
  auto* form = dynamic_cast<TCustomForm*>(Parent());
  return form && (form->BorderStyle() == bsSizeable || form->BorderStyle() == bsSizeToolWin);
}

void TStatusBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(Handle(), SB_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
  PanelsChanged();
  if (!simpleText_.empty()) SendSimpleText();
  if (simplePanel_) SendMessageA(Handle(), SB_SIMPLE, 1, 0);
}

void TStatusBar::SendParts() {
  int count = std::min(panels_->Count(), MaxPanels);
  if (count == 0) {
    int edge = -1;
    SendMessageA(Handle(), SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&edge));
    SendMessageA(Handle(), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(""));
    return;
  }
  std::vector<int> edges(static_cast<std::size_t>(count));
  int right = 0;
  for (int i = 0; i < count - 1; ++i) {
    right += panels_->Items(i)->Width();
    edges[static_cast<std::size_t>(i)] = right;
  }
  edges.back() = -1;
  SendMessageA(Handle(), SB_SETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(edges.data()));
}

void TStatusBar::PanelChanged(TStatusPanel* panel) {
  if (!HandleAllocated()) return;
  int index = panel->Index();
  if (index < 0 || index >= MaxPanels) return;
  panel->updateNeeded_ = true;
  RECT rect{};
  SendMessageA(Handle(), SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
  InvalidateRect(Handle(), &rect, TRUE);
}

void TStatusBar::PanelsChanged() {
  if (!HandleAllocated()) return;
  SendParts();
  int count = std::min(panels_->Count(), MaxPanels);
  for (int i = 0; i < count; ++i) PanelChanged(panels_->Items(i));
}

void TStatusBar::SendMarkedPanels() {
  int count = std::min(panels_->Count(), MaxPanels);
  for (int i = 0; i < count; ++i) {
    TStatusPanel* panel = panels_->Items(i);
    if (!panel->updateNeeded_) continue;
    panel->updateNeeded_ = false;
    SendPanel(i);
  }
}

void TStatusBar::SendPanel(int index) {
  TStatusPanel* panel = panels_->Items(index);
  WPARAM flags = static_cast<WPARAM>(index);
  if (panel->Bevel() == pbNone) flags |= SBT_NOBORDERS;
  else if (panel->Bevel() == pbRaised) flags |= SBT_POPOUT;
  if (panel->UseRightToLeftReading()) flags |= SBT_RTLREADING;
  if (panel->Style() == psOwnerDraw) flags |= SBT_OWNERDRAW;
  TAlignment alignment = panel->Alignment();
  if (panel->UseRightToLeftAlignment()) alignment = Mirrored(alignment);
  std::string text = AlignedText(panel->Text(), alignment);
  SendMessageA(Handle(), SB_SETTEXTA, flags, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::SendSimpleText() {
  WPARAM flags = kSimplePart;
  if (UseRightToLeftReading()) flags |= SBT_RTLREADING;
  std::string text = UseRightToLeftAlignment() ? "\t\t" + simpleText_ : simpleText_;
  SendMessageA(Handle(), SB_SETTEXTA, flags, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::SetSimpleText(const std::string& value) {
  if (value == simpleText_) return;
  simpleText_ = value;
  if (HandleAllocated()) SendSimpleText();
}

void TStatusBar::SetSimplePanel(bool value) {
  if (value == simplePanel_) return;
  simplePanel_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), SB_SIMPLE, value ? 1 : 0, 0);
}

void TStatusBar::SetSizeGrip(bool value) {
  if (value == sizeGrip_) return;
  sizeGrip_ = value;
  RecreateWnd();
}

void TStatusBar::SetUseSystemFont(bool value) {
  if (value == useSystemFont_) return;
  useSystemFont_ = value;
  if (value) {
    if (ParentFont()) TControl::SetParentFont(false);
    SyncToSystemFont();
  }
}

void TStatusBar::SetParentFont(bool value) {
  if (value) useSystemFont_ = false;
  TControl::SetParentFont(value);
}

void TStatusBar::SyncToSystemFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    Font().SetFromLogFont(metrics.lfStatusFont);
  } else {
    Font().Assign(TFont());
    Font().SetSize(8);
  }
}

bool TStatusBar::UseRightToLeftReading() const { return MiddleEastEnabled() && biDiMode_ != bdLeftToRight; }

bool TStatusBar::UseRightToLeftAlignment() const { return MiddleEastEnabled() && biDiMode_ == bdRightToLeft; }

void TStatusBar::SetBiDiMode(TBiDiMode value) {
  if (value == biDiMode_) return;
  biDiMode_ = value;
  for (int i = 0; i < panels_->Count(); ++i) panels_->Items(i)->ParentBiDiModeChanged();
  if (!HandleAllocated()) return;
  if (simplePanel_) {
    SendSimpleText();
    return;
  }
  PanelsChanged();
  SendMarkedPanels();
}

bool TStatusBar::DoHint() {
  if (!OnHint) return false;
  OnHint(this);
  return true;
}

bool TStatusBar::ExecuteHint(const std::string& hint) {
  if (!autoHint_ || DoHint()) return false;
  if (simplePanel_ || panels_->Count() == 0) SetSimpleText(hint);
  else panels_->Items(0)->SetText(hint);
  return true;
}

void TStatusBar::FlipChildren(bool) {
  if (!HandleAllocated() || simplePanel_ || panels_->Count() == 0) return;
  int count = panels_->Count();
  int lastWidth = ClientWidth();
  for (int i = 0; i < count - 1; ++i) lastWidth -= panels_->Items(i)->Width();
  int firstWidth = panels_->Items(0)->Width();
  TStatusPanels reversed(this);
  reversed.BeginUpdate();  // a scratch copy: its changes concern no window
  panels_->BeginUpdate();
  TUpdateScope update([this] { panels_->EndUpdate(); });
  for (int i = count - 1; i >= 0; --i) reversed.Add()->Assign(*panels_->Items(i));
  for (int i = 0; i < count; ++i) panels_->Items(i)->Assign(*reversed.Items(i));
  if (count > 1) {
    panels_->Items(count - 1)->SetWidth(firstWidth);
    panels_->Items(0)->SetWidth(lastWidth);
  }
  update.Close();
  SendMarkedPanels();
}

void TStatusBar::ChangeScale(int multiplier, int divider) {
  // The system font already suits the screen: only the place moves.
  if (useSystemFont_) {
    if (multiplier != divider) SetTop(MulDiv(Top(), multiplier, divider));
    return;
  }
  TWinControl::ChangeScale(multiplier, divider);
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const RECT& rect) {
  if (OnDrawPanel) OnDrawPanel(this, panel, rect);
  else canvas_->FillRect(rect);
}

void TStatusBar::DrawItem(const DRAWITEMSTRUCT& item) {
  int saved = SaveDC(item.hDC);
  canvas_->SetHandle(item.hDC);
  TScopeExit release([&] {
    canvas_->SetHandle(nullptr);
    RestoreDC(item.hDC, saved);
  });
  canvas_->Font().Assign(Font());
  canvas_->Brush().SetColor(clBtnFace);
  canvas_->Brush().SetStyle(bsSolid);
  DrawPanel(panels_->Items(static_cast<int>(item.itemID)), item.rcItem);
}

void TStatusBar::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      SendMarkedPanels();
      break;
    case WM_SIZE:
      // The control would place itself; the bar's alignment places it. Its parts still need
      // the new width so that the last one reaches the right end.
      if (HandleAllocated()) {
        SendParts();
        Invalidate();
      }
      return;
    case WM_GETTEXTLENGTH:
      m.Result = static_cast<LRESULT>(simpleText_.size());
      return;
    case CN_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
      m.Result = TRUE;
      return;
    case CM_COLORCHANGED:
    case CM_SYSCOLORCHANGE:
    case WM_SYSCOLORCHANGE:
      // The background colour is sent when the window is made.
      Brush().SetColor(Color());
      RecreateWnd();
      return;
    case CM_SYSFONTCHANGED:
      if (useSystemFont_) SyncToSystemFont();
      return;
    case CM_WININICHANGE:
    case WM_SETTINGCHANGE:
      if (useSystemFont_ && (m.WParam == 0 || m.WParam == SPI_SETNONCLIENTMETRICS)) SyncToSystemFont();
      if (m.Msg == CM_WININICHANGE) return;
      break;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

bool TStatusBar::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Panels") {
    panels_->ReadItems(reader);
  } else if (name == "SimpleText") {
    SetSimpleText(reader.ReadString());
  } else if (name == "SimplePanel") {
    SetSimplePanel(reader.ReadBoolean());
  } else if (name == "SizeGrip") {
    SetSizeGrip(reader.ReadBoolean());
  } else if (name == "UseSystemFont") {
    SetUseSystemFont(reader.ReadBoolean());
  } else if (name == "AutoHint") {
    SetAutoHint(reader.ReadBoolean());
  } else if (name == "ParentFont") {
    SetParentFont(reader.ReadBoolean());
  } else if (name == "BiDiMode") {
    SetBiDiMode(ReadBiDiMode(reader));
  } else if (name == "ParentBiDiMode" || name == "BorderWidth") {
    reader.SkipValue();
  } else if (name == "OnHint") {
    reader.ReadEvent([this](TNotifyEvent e) { OnHint = std::move(e); });
  } else {
    return TWinControl::ReadProperty(reader, name);
  }
  return true;
}

void RegisterComCtrlsClasses() {
  RegisterComponentClass("TStatusBar", [](TComponent* owner) { return new TStatusBar(owner); });
}
