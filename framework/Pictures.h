// Pictures that components hand to embedded controls.
//
//   TPicture   a picture, optionally linked to an OLE picture object, reporting its changes
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "framework/Graphics.h"

class TPicture : public TGraphicsObject {
 public:
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  std::string ClassName() const override { return "TPicture"; }
  // Takes the other picture's OLE picture link.
  void Assign(const TPersistent& source) override;

  // The linked OLE picture (IPictureDisp), or null; the picture keeps its own reference.
  IDispatch* OlePicture() const { return olePicture_; }
  // Links an OLE picture (or none) and reports the change when it differs.
  void SetOlePicture(IDispatch* picture);

 private:
  IDispatch* olePicture_ = nullptr;
};
