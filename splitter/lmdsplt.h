// The splitter panel: a container divided into up to four panes by movable bars whose
// positions are kept as whole percentages of their travel room.
//
//   TLMDSplitterBarItem   one bar: position, percentage, limits, look, collapse button
//   TLMDSplitterBarItems  the panel's bars; a change of one bar repaints it, of all re-lays out
//   TLMDSplitterPane      a scrolling container that attaches itself to its panel
//   TLMDSplitterPanel     the panel: panes, bars, layout and painting
#pragma once

#include <functional>
#include <vector>

#include "effects/LMDCustomControl.h"
#include "effects/LMDIniCtrl.h"
#include "effects/LMDScrollBox.h"
#include "splitter/SplitterGeometry.h"

class TLMDSplitterPanel;
class TLMDSplitterPane;

using TLMDSplitterPanelEvent = std::function<void(TObject* sender, int barIndex)>;
using TLMDIniCtrlEvent = std::function<void(TObject* sender, TLMDIniCtrl* iniCtrl, const std::string& section)>;

enum TLMDIniUse { ioUseLink, ioUseGlobal, ioNone };
enum TLMDSplitterIniSaveOption : unsigned { ssOrderVisible = 1, ssPosition = 2, soColor = 4, soFont = 8 };

class TLMDSplitterBarItem : public TCollectionItem {
 public:
  explicit TLMDSplitterBarItem(TCollection* collection);
  std::string ClassName() const override { return "TLMDSplitterBarItem"; }
  void Assign(const TPersistent& source) override;
  bool ReadProperty(TReader& reader, std::string_view name) override;

  int OldPosition() const { return oldPosition_; }
  void SetOldPosition(int value) { oldPosition_ = value; }
  TLMDBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TLMDBorderStyle value);
  int Position() const { return position_; }
  void SetPosition(int value);
  TLMDPercent PosPercent() const { return posPercent_; }
  // Values above 100 are taken as 100.
  void SetPosPercent(int value);
  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  bool Locked() const { return locked_; }
  void SetLocked(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ResizeButton() const { return resizeButton_; }
  void SetResizeButton(bool value);
  TLMDSplitterJump ResizeDirection() const { return resizeDirection_; }
  void SetResizeDirection(TLMDSplitterJump value);
  TColor ResizeColor() const { return resizeColor_; }
  void SetResizeColor(TColor value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TNotifyEvent OnChange;

  int Extent() const { return extent_; }
  bool IsHorizontal() const { return isHorizontal_; }
  bool Tracking() const { return tracking_; }
  int TrackPosition() const { return trackPosition_; }
  bool MovedInDrag() const { return movedInDrag_; }
  RECT ButtonRect() const { return buttonRect_; }
  bool ButtonHot() const { return buttonHot_; }
  void SetButtonHot(bool value);
  TLMDSplitterPanel* Panel() const;

  // Derives the percentage from the position or the position from the percentage. `moved`
  // tells a dragged bar whether its position has just changed.
  void SyncBar(bool recalc, bool moved = false);
  // Collapses the bar to the end its button points at, or restores it.
  void ToggleCollapse();

 private:
  friend class TLMDSplitterPanel;
  void DoChange();
  int oldPosition_ = -1;
  TLMDBorderStyle borderStyle_ = lsNone;
  int position_ = -1;
  TLMDPercent posPercent_ = 50;
  int min_ = 0;
  int max_ = 0;
  bool locked_ = false;
  TColor color_ = clBtnFace;
  bool resizeButton_ = false;
  TLMDSplitterJump resizeDirection_ = sjUpLeft;
  TColor resizeColor_ = clBtnFace;
  bool transparent_ = false;
  int width_ = 3;
  int extent_ = 0;
  bool isHorizontal_ = false;
  bool tracking_ = false;
  int trackPosition_ = 0;
  bool movedInDrag_ = false;
  RECT buttonRect_{};
  bool buttonHot_ = false;
};

class TLMDSplitterBarItems : public TCollection {
 public:
  explicit TLMDSplitterBarItems(TLMDSplitterPanel* panel);
  std::string ClassName() const override { return "TLMDSplitterBarItems"; }
  TLMDSplitterBarItem* Items(int index) const { return static_cast<TLMDSplitterBarItem*>(Item(index)); }
  TLMDSplitterBarItem* Add() { return static_cast<TLMDSplitterBarItem*>(TCollection::Add()); }
  TLMDSplitterPanel* Panel() const { return panel_; }

 protected:
  void Update(TCollectionItem* item) override;

 private:
  TLMDSplitterPanel* panel_;
};

class TLMDSplitterPane : public TLMDScrollBox {
 public:
  explicit TLMDSplitterPane(TComponent* owner);
  std::string ClassName() const override { return "TLMDSplitterPane"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  void BeforeDestruction() override;
  void WndProc(TMessage& message) override;

  TLMDSplitterPanel* Splitter() const { return splitter_; }
  int PaneIndex() const { return paneIndex_; }
  // Always alNone: the panel places its panes itself.
  void SetAlign(TAlign) {}
  void SetSplitter(TLMDSplitterPanel* panel);

 private:
  friend class TLMDSplitterPanel;
  TLMDSplitterPanel* splitter_ = nullptr;
  int paneIndex_ = -1;
};

class TLMDSplitterPanel : public TLMDCustomBevelPanel {
 public:
  static constexpr int MaxPanes = 4;

  explicit TLMDSplitterPanel(TComponent* owner);
  ~TLMDSplitterPanel() override;
  std::string ClassName() const override { return "TLMDSplitterPanel"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  void ReadChild(TComponent* child) override;
  void Loaded() override;

  TLMDSplitterBarItems& Bars() { return *bars_; }
  void SetBars(const TLMDSplitterBarItems& value) { bars_->Assign(value); }
  TLMDSplitterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TLMDSplitterOrientation value);
  bool InstantUpdate() const { return instantUpdate_; }
  void SetInstantUpdate(bool value) { instantUpdate_ = value; }
  TLMDSplitterPanelEvent OnSplitChange;

  int VisiblePaneCount() const;
  int BarCount() const;
  TLMDSplitterPane* VisiblePane(int n) const;
  TLMDSplitterPane* PaneAt(int i) const;
  int PaneCount() const { return static_cast<int>(panes_.size()); }
  RECT BarRect(int i);
  void RefreshLayout();
  void PaintBar(int i);
  void PaintResizeButton(TLMDSplitterBarItem& bar, RECT b);
  int AddPane(TLMDSplitterPane* pane);
  void RemovePane(TLMDSplitterPane* pane);
  int Inset() const { return inset_; }
  bool Updating() const { return updating_; }

  // Saving and restoring the arrangement.
  TLMDIniCtrl* IniLink() const { return iniLink_; }
  void SetIniLink(TLMDIniCtrl* value);
  TLMDIniUse IniUse() const { return iniUse_; }
  void SetIniUse(TLMDIniUse value) { iniUse_ = value; }
  unsigned IniSaveOptions() const { return iniSaveOptions_; }
  void SetIniSaveOptions(unsigned value) { iniSaveOptions_ = value; }
  const std::string& Section() const { return section_; }
  void SetSection(const std::string& value) { section_ = value; }
  const std::string& IniKey() const { return iniKey_; }
  void SetIniKey(const std::string& value) { iniKey_ = value; }
  TLMDIniCtrlEvent OnIniReadData;
  TLMDIniCtrlEvent OnIniWriteData;
  void Notification(TComponent* component, TOperation operation) override;

  // The mouse.
  POINT HitPoint() const { return hitPoint_; }
  POINT DragPoint() const { return dragPoint_; }
  bool Dragging() const { return dragging_; }
  void WndProc(TMessage& message) override;

 protected:
  // The persistence steps: reading at the end of loading, writing at destruction.
  virtual void ReadIniData();
  virtual void WriteIniData();
  void MouseDown(TMouseButton button, unsigned shift, int x, int y) override;
  void MouseMove(unsigned shift, int x, int y) override;
  void MouseUp(TMouseButton button, unsigned shift, int x, int y) override;
  // Keeps every dragged bar between its Min and Extent - Max, and within 0..Extent.
  void ClampDragPoint(POINT old, POINT& point);
  // Inverts the outline of every dragged bar on the screen; a second call erases it.
  void DrawTrackMarks();

  void Destroying() override;
  void AlignControls(TControl* control, RECT& rect) override;
  void Paint() override;
  void BevelChanged() override;
  bool IsEmpty() override { return VisiblePaneCount() == 0; }
  void Resize() override;
  void CreateParams(TCreateParams& params) override;
  void UpdateBarDirections();
  void UpdateBarExtents();

 private:
  friend class TLMDSplitterPane;
  BarMetrics Metrics() const;
  // Runs `paint` on the canvas, borrowing a window device context when none is attached.
  void PaintNow(const std::function<void()>& paint);
  void PaintBarOnCanvas(int i);
  TLMDIniCtrl* ChosenIniCtrl() const;
  void CancelDrag();
  void MouseLeft();
  std::unique_ptr<TLMDSplitterBarItems> bars_;
  std::vector<TLMDSplitterPane*> panes_;
  TLMDSplitterOrientation orientation_ = spVertRight;
  bool instantUpdate_ = false;
  int inset_ = 0;
  bool updating_ = false;
  TLMDIniCtrl* iniLink_ = nullptr;
  TLMDIniUse iniUse_ = ioNone;
  unsigned iniSaveOptions_ = ssOrderVisible | ssPosition;
  std::string section_ = "Common";
  std::string iniKey_ = "SplitPanel";
  POINT hitPoint_{-1, -1};
  POINT dragPoint_{};
  bool dragging_ = false;
  SIZE extentsFor_{-1, -1};  // the client size that the bars' travel room was computed for
};

// Makes the splitter's classes creatable from window descriptions.
void RegisterSplitterClasses();
