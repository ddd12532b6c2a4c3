// Pictures: the OLE picture link and its change reports.
#include "framework/Pictures.h"

TPicture::~TPicture() {
  if (olePicture_) olePicture_->Release();
}

void TPicture::Assign(const TPersistent& source) {
  if (auto* other = dynamic_cast<const TPicture*>(&source)) {
    SetOlePicture(other->olePicture_);
    return;
  }
  TGraphicsObject::Assign(source);
}

void TPicture::SetOlePicture(IDispatch* picture) {
  if (picture == olePicture_) return;
  if (picture) picture->AddRef();
  if (olePicture_) olePicture_->Release();
  olePicture_ = picture;
  Changed();
}
