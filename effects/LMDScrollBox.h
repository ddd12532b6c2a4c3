// The effects library's scrolling container: the framework's one with a bevel frame.
//
//   TLMDScrollBox  in the Windows bevel mode the platform draws the frame (a sunken client
//                  edge under a 3D look, a thin border otherwise); any other mode draws the
//                  bevel in the non-client area
#pragma once

#include "framework/Forms.h"
#include "effects/LMDBevel.h"

class TLMDScrollBox : public TScrollingWinControl {
 public:
  explicit TLMDScrollBox(TComponent* owner);
  std::string ClassName() const override { return "TLMDScrollBox"; }
  TPersistent* NestedProperty(std::string_view name) override;
  TLMDBevel& Bevel() { return bevel_; }
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

 private:
  TLMDBevel bevel_;
};
