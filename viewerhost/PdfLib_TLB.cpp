// The PDF viewer wrapper: one constant descriptor for all instances and the cached _DPdf.
#include "viewerhost/PdfLib_TLB.h"

#include "framework/Streaming.h"

namespace {

const DISPID kNone[1] = {0};
constexpr DISPID kDispSrc = 1;
constexpr DISPID kDispOpenDocument = 2;

TControlDescriptor pdfDescriptor{CLASS_Pdf, GUID{}, 0, kNone, 0, 401, 0, kNone, 0, kNone, 0, 0, nullptr, 0};

const TDispCallDescriptor kOpenDocument{kDispOpenDocument, VT_BOOL, dcMethod, 1, 0, {VT_BSTR}};

}  // namespace

TPdf::TPdf(TComponent* owner) : TOleControl(owner, DescribeControl()) {}

TPdf::~TPdf() = default;

TControlDescriptor& TPdf::DescribeControl() { return pdfDescriptor; }

IDispatch* TPdf::ControlInterface() {
  if (!dpdf_) {
    VARIANT object = OleObject();
    HRESULT hr = object.pdispVal->QueryInterface(DIID__DPdf, dpdf_.PutVoid());
    VariantClear(&object);
    if (FAILED(hr) || !dpdf_) IntfNotSupported();
  }
  return dpdf_.Get();
}

bool TPdf::OpenDocument(BSTR path) {
  IDispatch* dispatch = ControlInterface();
  TDispArg arg = TDispArg::OfBstr(SysStringLen(path) ? path : nullptr);
  LONG result = 0;
  InvokeByDescriptor(dispatch, kOpenDocument, nullptr, &arg, &result);
  return (result & 0xFFFF) != 0;
}

BSTR TPdf::src() { return GetWideStringProp(kDispSrc); }

void TPdf::Setsrc(BSTR value) { SetWideStringProp(kDispSrc, value); }

void RegisterPdfLibClasses() {
  RegisterComponentClass("TPdf", [](TComponent* owner) { return new TPdf(owner); });
}
