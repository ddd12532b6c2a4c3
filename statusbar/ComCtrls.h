// The status bar over the system's status-bar control: a row of fixed-width text panels or one
// full-width simple text. The bar keeps its own copy of every panel and sends a changed panel
// to the control just before the bar paints, so several changes cost one message each.
//
//   TStatusPanel    one panel: text, width, alignment, bevel, reading order, style
//   TStatusPanels   the bar's collection of panels
//   TStatusBar      the windowed control, a superclass of "msctls_statusbar32"
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/Components.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };
enum TStatusPanelStyle { psText, psOwnerDraw };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

class TStatusBar;
class TStatusPanels;

class TStatusPanel : public TCollectionItem {
 public:
  // Panels are made by their collection (TStatusPanels::Add).
  TStatusPanel();
  std::string ClassName() const override { return "TStatusPanel"; }
  // Copies text, width, alignment, bevel and style through their setters.
  void Assign(const TPersistent& source) override;
  bool ReadProperty(TReader& reader, std::string_view name) override;
  std::string DisplayName() const override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode value);
  bool ParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool value);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle value);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);

  // Right-to-left reading and alignment in force for this panel.
  bool UseRightToLeftReading() const;
  bool UseRightToLeftAlignment() const;

 private:
  friend class TStatusBar;
  friend class TStatusPanels;
  TStatusBar* StatusBar() const;
  // Takes the bar's reading order while ParentBiDiMode holds.
  void ParentBiDiModeChanged();

  std::string text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelBevel bevel_ = pbLowered;
  TBiDiMode biDiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
  TStatusPanelStyle style_ = psText;
  bool updateNeeded_ = false;
};

class TStatusPanels : public TCollection {
 public:
  explicit TStatusPanels(TStatusBar* statusBar);
  std::string ClassName() const override { return "TStatusPanels"; }
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  // Fails with "List index out of bounds (%d)" outside 0 to Count() - 1.
  TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(Item(index)); }
  TStatusBar* StatusBar() const { return statusBar_; }

 protected:
  void Update(TCollectionItem* item) override;
  // Only status panels may join: anything else fails with "Invalid property value".
  void ValidateItem(TCollectionItem* item) override;

 private:
  TStatusBar* statusBar_;
};

using TDrawPanelEvent = std::function<void(TStatusBar* statusBar, TStatusPanel* panel, const RECT& rect)>;

class TStatusBar : public TWinControl {
 public:
  // The control lays out no more panels than this.
  static constexpr int MaxPanels = 128;

  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;
  std::string ClassName() const override { return "TStatusBar"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  TStatusPanels& Panels() { return *panels_; }
  TCanvas& Canvas() { return *canvas_; }
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& value);
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  bool UseSystemFont() const { return useSystemFont_; }
  void SetUseSystemFont(bool value);
  bool AutoHint() const { return autoHint_; }
  void SetAutoHint(bool value) { autoHint_ = value; }
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode value);
  // Taking the parent's font ends the use of the system font.
  void SetParentFont(bool value);
  // The font is written to a description only when it is the bar's own.
  bool FontStored() const { return !useSystemFont_ && !ParentFont(); }

  // Right-to-left reading and alignment in force for the simple text.
  bool UseRightToLeftReading() const;
  bool UseRightToLeftAlignment() const;

  // The application's hint display reaching the bar: true when the bar showed the hint itself.
  bool ExecuteHint(const std::string& hint);
  // Mirrors the panels for a right-to-left layout.
  void FlipChildren(bool allLevels);
  void ChangeScale(int multiplier, int divider) override;

  TDrawPanelEvent OnDrawPanel;
  TNotifyEvent OnHint;

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

 protected:
  // The hint hook: fires OnHint and tells whether it was assigned.
  virtual bool DoHint();
  // Draws an owner-drawn panel on the canvas: OnDrawPanel, or a plain fill.
  virtual void DrawPanel(TStatusPanel* panel, const RECT& rect);

 private:
  friend class TStatusPanels;
  friend class TStatusPanel;
  // One panel changed: mark it and invalidate its part of the bar.
  void PanelChanged(TStatusPanel* panel);
  // All panels changed: new part edges, every panel marked.
  void PanelsChanged();
  void SendParts();
  void SendMarkedPanels();
  void SendPanel(int index);
  void SendSimpleText();
  void SyncToSystemFont();
  void DrawItem(const DRAWITEMSTRUCT& item);
  bool SizeGripWanted() const;

  std::unique_ptr<TStatusPanels> panels_;
  std::unique_ptr<TCanvas> canvas_;
  std::string simpleText_;
  bool simplePanel_ = false;
  bool sizeGrip_ = true;
  bool useSystemFont_ = true;
  bool autoHint_ = false;
  TBiDiMode biDiMode_ = bdLeftToRight;
};

#ifdef FOLVANE_TEST_SEAMS
// Test builds only: whether the system runs with right-to-left (Middle-East) support. Wine never
// enables it, so tests put their own answer here.
extern bool (*MiddleEastSupportSeam)();
#endif

// Makes the unit's components creatable from window descriptions.
void RegisterComCtrlsClasses();
