// The plain panel: a container with bevels, a caption and an optional size that follows its
// children.
//
//   TCustomPanel, TPanel
#pragma once

#include "framework/Controls.h"

class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* owner);
  std::string ClassName() const override { return "TCustomPanel"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  void Loaded() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  void ChildBoundsChanged(TControl* child) override;
  RECT ClientRect() override;

 protected:
  void Paint() override;
  void AlignControls(TControl* control, RECT& rect) override;
  // The width of bevels and border on each side.
  int FrameWidth() const;

 private:
  void AdjustSize();
  TAlignment alignment_ = taCenter;
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  bool autoSize_ = false;
  bool adjusting_ = false;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
  std::string ClassName() const override { return "TPanel"; }
};
