// The fixture that hosts the viewer control for each test (see TestHost.h).
#include "tests/pdfcontrol/TestHost.h"

namespace testhost {

void ControlTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  BeforeHost();
  if (HasFatalFailure() || shape_.width == 0) return;
  MakeHost(shape_.width, shape_.height, shape_.control, shape_.foreground);
}

void ControlTest::TearDown() {
  control_.reset();
  site_.reset();
  if (host_) DestroyWindow(host_);
  OleUninitialize();
}

void ControlTest::MakeHost(int width, int height, bool control, bool foreground) {
  host_ = CreateHostWindow(width, height);
  ASSERT_NE(host_, nullptr);
  bounds_ = RECT{10, 10, width - 10, height - 10};
  if (foreground) SetForegroundWindow(host_);
  if (!control) return;
  site_ = std::make_unique<Site>(host_);
  ASSERT_EQ(CreateControl(*site_, host_, bounds_, *control_), S_OK);
  d_ = control_->dispatch;
}

void ControlTest::Create(Control& control, Site& site) {
  ASSERT_EQ(CreateControl(site, host_, bounds_, control), S_OK);
  ASSERT_NE(control.window, nullptr);
}

void ControlTest::Open(const std::wstring& path) {
  ASSERT_TRUE(OpenDocument(d_, path));
  ASSERT_TRUE(WaitUntilShown(d_));
}

bool Find(IDispatch* control, const std::wstring& text, bool forward) {
  constexpr DISPID kFind = 7;
  VARIANT arguments[2];  // last argument first
  arguments[0].vt = VT_BOOL;
  arguments[0].boolVal = forward ? VARIANT_TRUE : VARIANT_FALSE;
  arguments[1].vt = VT_BSTR;
  arguments[1].bstrVal = SysAllocString(text.c_str());
  DISPPARAMS params{arguments, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = control->Invoke(kFind, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  SysFreeString(arguments[1].bstrVal);
  return SUCCEEDED(hr) && result.vt == VT_BOOL && result.boolVal != VARIANT_FALSE;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

}  // namespace testhost
