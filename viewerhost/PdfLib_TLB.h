// The outside PDF viewer control as a component: its descriptor and typed access to the two
// members the program knows by dispatch ID.
//
//   TPdf   the wrapper (the viewer window's Pdf1)
#pragma once

#include "viewerhost/OleCtrls.h"

// {CA8A9780-280D-11CF-A24D-444553540000}
inline constexpr CLSID CLASS_Pdf = {0xCA8A9780, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {CA8A9781-280D-11CF-A24D-444553540000}
inline constexpr IID DIID__DPdf = {0xCA8A9781, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

class TPdf : public TOleControl {
 public:
  explicit TPdf(TComponent* owner);
  ~TPdf() override;
  std::string ClassName() const override { return "TPdf"; }
  static TControlDescriptor& DescribeControl();

  // Opens the document at `path` (handed over as it is; an empty one goes as a null BSTR).
  bool OpenDocument(BSTR path);
  // The caller owns the returned BSTR.
  BSTR src();
  void Setsrc(BSTR value);

 private:
  IDispatch* ControlInterface();
  // Released by the destructor, after the host has closed and released the control.
  TInterfacePtr<IDispatch> dpdf_;
};

// Makes TPdf readable from window descriptions.
void RegisterPdfLibClasses();
