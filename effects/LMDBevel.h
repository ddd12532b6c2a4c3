// The bevel of the effects library: a frame of a given width drawn around a rectangle.
//
//   TLMDBevelMode  bmWindows: the platform draws the frame (the bevel is 0 wide); bmCustom: ours
//   TLMDBevel      frame settings, their total width (Inset), drawing, change notice
#pragma once

#include <windows.h>

#include "framework/Components.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"

enum TLMDBevelMode { bmWindows, bmCustom };

class TLMDBevel : public TPersistent {
 public:
  explicit TLMDBevel(TLMDBevelMode mode = bmCustom) : mode_(mode) {}
  std::string ClassName() const override { return "TLMDBevel"; }
  void Assign(const TPersistent& source) override;
  bool ReadProperty(TReader& reader, std::string_view name) override;

  TLMDBevelMode Mode() const { return mode_; }
  void SetMode(TLMDBevelMode value);
  TBevelCut StyleOuter() const { return styleOuter_; }
  void SetStyleOuter(TBevelCut value);
  TBevelCut StyleInner() const { return styleInner_; }
  void SetStyleInner(TBevelCut value);
  int WidthOuter() const { return widthOuter_; }
  void SetWidthOuter(int value);
  int WidthInner() const { return widthInner_; }
  void SetWidthInner(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor value);

  // Frame width on each side; 0 in the Windows mode, where the platform draws the frame.
  int Inset() const;
  bool DrawsFrame() const { return Inset() > 0; }
  // Draws the frame on `rect` and returns the rectangle inside it.
  RECT PaintBevel(HDC dc, const RECT& rect) const;

  TNotifyEvent OnChange;

 private:
  void Changed();
  TLMDBevelMode mode_;
  TBevelCut styleOuter_ = bvNone;
  TBevelCut styleInner_ = bvNone;
  int widthOuter_ = 1;
  int widthInner_ = 1;
  int borderWidth_ = 0;
  TColor borderColor_ = clBtnFace;
};
