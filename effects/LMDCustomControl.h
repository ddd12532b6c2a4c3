// The effects library's custom-drawn control and its panels.
//
//   TLMDAlphaBlend, TLMDBackFX  stored background-effect settings (kept, not drawn)
//   TLMDCustomControl           own canvas, Color, Transparent, BackFX, background copy
//   TLMDCustomPanel             a container that paints its background
//   TLMDCustomBevelPanel        a panel with a bevel whose width insets its children
#pragma once

#include <memory>

#include "framework/Controls.h"
#include "effects/LMDBevel.h"

class TLMDAlphaBlend : public TPersistent {
 public:
  std::string ClassName() const override { return "TLMDAlphaBlend"; }
  void Assign(const TPersistent& source) override;
  bool ReadProperty(TReader& reader, std::string_view name) override;
  double Strength() const { return strength_; }
  void SetStrength(double value) { strength_ = value; }

 private:
  double strength_ = 1.0;
};

class TLMDBackFX : public TPersistent {
 public:
  std::string ClassName() const override { return "TLMDBackFX"; }
  void Assign(const TPersistent& source) override;
  TPersistent* NestedProperty(std::string_view name) override;
  TLMDAlphaBlend& AlphaBlend() { return alphaBlend_; }

 private:
  TLMDAlphaBlend alphaBlend_;
};

class TLMDCustomControl : public TCustomControl {
 public:
  explicit TLMDCustomControl(TComponent* owner);
  std::string ClassName() const override { return "TLMDCustomControl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  TPersistent* NestedProperty(std::string_view name) override;

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  TLMDBackFX& BackFX() { return backFX_; }
  // Whether the control shows what lies behind it instead of its own background.
  bool DrawsTransparent() const { return transparent_ && Parent() != nullptr; }
  // Copies what the parent shows behind `rect` (client coordinates) onto `canvas`.
  void BackDrawArea(TCanvas& canvas, const RECT& rect);
  void WndProc(TMessage& message) override;

 private:
  bool transparent_ = false;
  TLMDBackFX backFX_;
};

class TLMDCustomPanel : public TLMDCustomControl {
 public:
  explicit TLMDCustomPanel(TComponent* owner);
  std::string ClassName() const override { return "TLMDCustomPanel"; }

 protected:
  // Whether the panel has nothing of its own to show.
  virtual bool IsEmpty() { return ControlCount() == 0; }
  void Paint() override;
};

class TLMDCustomBevelPanel : public TLMDCustomPanel {
 public:
  explicit TLMDCustomBevelPanel(TComponent* owner);
  std::string ClassName() const override { return "TLMDCustomBevelPanel"; }
  TPersistent* NestedProperty(std::string_view name) override;
  TLMDBevel& Bevel() { return bevel_; }
  void SetBevel(const TLMDBevel& value) { bevel_.Assign(value); }

 protected:
  void AlignControls(TControl* control, RECT& rect) override;
  // The bevel reported a change: children are placed again inside the new frame.
  virtual void BevelChanged();
  void Paint() override;

 private:
  TLMDBevel bevel_;
};
