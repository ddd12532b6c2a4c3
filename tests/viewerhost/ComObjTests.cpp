// Automation calls and errors: the error mapping, early-bound calls by descriptor and
// late-bound calls by name, against the recording test control's IDispatch.
#include <gtest/gtest.h>

#include "viewerhost/ComObj.h"
#include "framework/Forms.h"
#include "tests/viewerhost/TestControl.h"

namespace {

class ComEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    RegisterComStartup();
    Application->Initialize();
  }
};
const testing::Environment* const comEnvironment = testing::AddGlobalTestEnvironment(new ComEnvironment);

// A fresh test control's IDispatch.
class DispatchTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestControl();
    ASSERT_EQ(CoCreateInstance(kTestControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&dispatch_)),
              S_OK);
  }
  void TearDown() override {
    if (dispatch_) dispatch_->Release();
  }
  void SetProperty(DISPID id, const VARIANT& value) {
    VARIANT& slot = TestProperties()[id];
    VariantClear(&slot);
    VariantCopy(&slot, const_cast<VARIANT*>(&value));
  }
  IDispatch* dispatch_ = nullptr;
};

TEST(ComStartup, StartsComOnceForTheMainThread) {
  EXPECT_TRUE(ComStarted());
  // A second initialisation of the apartment reports that it was already there.
  HRESULT again = CoInitialize(nullptr);
  EXPECT_EQ(again, S_FALSE);
  CoUninitialize();
}

TEST(ErrorMapping, ACodeWithoutSystemTextShowsTheCodeInUpperCaseHex) {
  for (HRESULT code :
       {static_cast<HRESULT>(0x80040154), static_cast<HRESULT>(0x80020009), static_cast<HRESULT>(0x8004ABCD)}) {
    try {
      OleCheck(code);
      FAIL() << "no exception";
    } catch (const EOleSysError& e) {
      char expected[32];
      std::snprintf(expected, sizeof expected, "OLE error %08lX", static_cast<unsigned long>(code));
      EXPECT_EQ(e.Message(), expected);
      EXPECT_EQ(e.ResultCode(), code);
      EXPECT_EQ(e.HelpContext(), 0u);
    }
  }
}

TEST(ErrorMapping, ACodeWithSystemTextUsesItWithoutTrailingLineBreak) {
  std::string text = OleErrorMessage(E_FAIL);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find("OLE error"), std::string::npos);
  EXPECT_NE(text.back(), '\n');
}

TEST(ErrorMapping, SuccessCodesPass) {
  EXPECT_NO_THROW(OleCheck(S_OK));
  EXPECT_NO_THROW(OleCheck(S_FALSE));
  EXPECT_NO_THROW(OleCheck(0x00040001));
}

TEST(ErrorMapping, DispatchExceptionsKeepTheirDetailsAndFreeTheirStrings) {
  // A control's error number (wCode) with scode 0 is a control error; no description gives
  // the code's own text, never an empty message.
  const HRESULT controlError = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1001);
  struct Case {
    const wchar_t* description;
    std::string message;
    HRESULT scode;
    WORD wCode;
    HRESULT code;
  };
  const Case cases[] = {{L"Page not found. ", "Page not found", E_ABORT, 0, E_ABORT},
                        {L"Bad file...\r\n", "Bad file", E_ABORT, 0, E_ABORT},
                        {L"Plain", "Plain", E_ABORT, 0, E_ABORT},
                        {L" . ", OleErrorMessage(E_ABORT), E_ABORT, 0, E_ABORT},
                        {nullptr, OleErrorMessage(E_ABORT), E_ABORT, 0, E_ABORT},
                        {L"Disk full", "Disk full", 0, 1001, controlError},
                        {nullptr, OleErrorMessage(controlError), 0, 1001, controlError},
                        {nullptr, OleErrorMessage(DISP_E_EXCEPTION), 0, 0, DISP_E_EXCEPTION}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXCEPINFO info{};
    info.scode = c.scode;
    info.wCode = c.wCode;
    info.bstrDescription = c.description ? SysAllocString(c.description) : nullptr;
    info.bstrSource = SysAllocString(L"Viewer");
    info.bstrHelpFile = SysAllocString(L"viewer.hlp");
    info.dwHelpContext = 17;
    try {
      DispatchInvokeError(DISP_E_EXCEPTION, info);
      FAIL();
    } catch (const EOleException& e) {
      EXPECT_FALSE(e.Message().empty());
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.ResultCode(), c.code);
      EXPECT_EQ(e.Source(), "Viewer");
      EXPECT_EQ(e.HelpFile(), "viewer.hlp");
      EXPECT_EQ(e.HelpContext(), 17u);
    }
    EXPECT_EQ(info.bstrDescription, nullptr);
    EXPECT_EQ(info.bstrSource, nullptr);
    EXPECT_EQ(info.bstrHelpFile, nullptr);
  }
}

TEST(ErrorMapping, OtherDispatchFailuresAreSystemErrors) {
  EXCEPINFO info{};
  try {
    DispatchInvokeError(DISP_E_TYPEMISMATCH, info);
  } catch (const EOleException&) {
    FAIL() << "not a dispatch exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ResultCode(), DISP_E_TYPEMISMATCH);
  }
}

TEST_F(DispatchTest, MethodCallPassesArgumentsLastFirstWithTheirTypes) {
  TDispCallDescriptor d{20, VT_EMPTY, dcMethod, 4, 0, {VT_I4, VT_BSTR, VT_R8, VT_I2 | kDispByRef}};
  BSTR text = SysAllocString(L"abc");
  SHORT shortValue = 9;
  TDispArg args[] = {TDispArg::Of32(7), TDispArg::OfBstr(text), TDispArg::OfDouble(2.5), TDispArg::ByRef(&shortValue)};
  InvokeByDescriptor(dispatch_, d, nullptr, args, nullptr);
  SysFreeString(text);
  const InvokeRecord& r = LastInvoke();
  EXPECT_EQ(r.id, 20);
  EXPECT_EQ(r.flags, DISPATCH_METHOD);
  ASSERT_EQ(r.args.size(), 4u);
  EXPECT_EQ(r.args[3].vt, VT_I4);
  EXPECT_EQ(r.args[3].lVal, 7);
  EXPECT_EQ(r.args[2].vt, VT_BSTR);
  EXPECT_STREQ(r.args[2].bstrVal, L"abc");
  EXPECT_EQ(r.args[1].vt, VT_R8);
  EXPECT_DOUBLE_EQ(r.args[1].dblVal, 2.5);
  EXPECT_EQ(r.args[0].vt, VT_I2 | VT_BYREF);
  EXPECT_EQ(r.args[0].piVal, &shortValue);
  EXPECT_TRUE(r.named.empty());
  EXPECT_TRUE(r.hadResult);
  EXPECT_TRUE(r.hadExcepInfo);
}

TEST_F(DispatchTest, PropertyPutAddsTheNamedPutIdAndGoesByReferenceForInterfaces) {
  struct Case {
    std::uint8_t type;
    WORD flags;
  };
  for (Case c : {Case{VT_I4, DISPATCH_PROPERTYPUT}, Case{VT_DISPATCH, DISPATCH_PROPERTYPUTREF},
                 Case{VT_UNKNOWN, DISPATCH_PROPERTYPUTREF}, Case{VT_BSTR, DISPATCH_PROPERTYPUT}}) {
    TDispCallDescriptor d{30, VT_EMPTY, dcPropertyPut, 1, 0, {c.type}};
    TDispArg arg = TDispArg::Of32(c.type == VT_DISPATCH || c.type == VT_UNKNOWN
                                      ? static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(dispatch_))
                                      : 0);
    InvokeByDescriptor(dispatch_, d, nullptr, &arg, nullptr);
    EXPECT_EQ(LastInvoke().flags, c.flags) << "type " << int(c.type);
    ASSERT_EQ(LastInvoke().named.size(), 1u);
    EXPECT_EQ(LastInvoke().named[0], DISPID_PROPERTYPUT);
  }
}

TEST_F(DispatchTest, ResultsAreDeliveredByTheirType) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 0x12345678;
  SetProperty(40, v);
  LONG number = 0;
  InvokeByDescriptor(dispatch_, TDispCallDescriptor{40, VT_I4, dcPropertyGet, 0, 0, {}}, nullptr, nullptr, &number);
  EXPECT_EQ(number, 0x12345678);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYGET);

  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(L"new");
  SetProperty(41, v);
  VariantClear(&v);
  BSTR text = SysAllocString(L"old");
  InvokeByDescriptor(dispatch_, TDispCallDescriptor{41, VT_BSTR, dcPropertyGet, 0, 0, {}}, nullptr, nullptr, &text);
  EXPECT_STREQ(text, L"new");
  SysFreeString(text);

  v.vt = VT_R8;
  v.dblVal = 1.25;
  SetProperty(42, v);
  double real = 0;
  InvokeByDescriptor(dispatch_, TDispCallDescriptor{42, VT_R8, dcPropertyGet, 0, 0, {}}, nullptr, nullptr, &real);
  EXPECT_DOUBLE_EQ(real, 1.25);

  VARIANT whole;
  VariantInit(&whole);
  InvokeByDescriptor(dispatch_, TDispCallDescriptor{40, VT_VARIANT, dcPropertyGet, 0, 0, {}}, nullptr, nullptr, &whole);
  EXPECT_EQ(whole.vt, VT_I4);
  EXPECT_EQ(whole.lVal, 0x12345678);
}

TEST_F(DispatchTest, AResultIsMadeTheDescribedTypeOrRaisesAndNeverLeaks) {
  auto answer = [&](DISPID id, VARTYPE type, const wchar_t* text, LONG number) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_BSTR) v.bstrVal = SysAllocString(text);
    else if (type == VT_DISPATCH) v.pdispVal = dispatch_;
    else v.lVal = number;
    SetProperty(id, v);
    if (type == VT_BSTR) VariantClear(&v);
  };
  auto get = [&](DISPID id, VARTYPE type, void* result) {
    InvokeByDescriptor(dispatch_, TDispCallDescriptor{id, static_cast<std::uint8_t>(type), dcPropertyGet, 0, 0, {}},
                       nullptr, nullptr, result);
  };
  answer(60, VT_I4, nullptr, 5);
  LONG flag = 0;
  get(60, VT_BOOL, &flag);
  EXPECT_EQ(flag & 0xFFFF, 0xFFFF);
  BSTR text = nullptr;
  get(60, VT_BSTR, &text);
  EXPECT_STREQ(text, L"5") << "a number is no string pointer";
  SysFreeString(text);
  answer(61, VT_BSTR, L"17", 0);
  LONG number = 0;
  get(61, VT_I4, &number);
  EXPECT_EQ(number, 17);
  answer(62, VT_BSTR, L"seventeen", 0);
  EXPECT_THROW(get(62, VT_BOOL, &flag), EOleSysError);

  answer(63, VT_DISPATCH, nullptr, 0);
  dispatch_->AddRef();
  const ULONG before = dispatch_->Release();
  EXPECT_THROW(get(63, VT_BOOL, &flag), EOleSysError);
  dispatch_->AddRef();
  EXPECT_EQ(dispatch_->Release(), before) << "the answered interface leaked";
  VariantClear(&TestProperties()[63]);
}

TEST_F(DispatchTest, APutNamesItsValueFirstAndGoesByReferenceByTheValuesType) {
  const DISPID named[1] = {7};
  TDispArg early[] = {TDispArg::Of32(1),
                      TDispArg::Of32(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(dispatch_)))};
  InvokeByDescriptor(dispatch_, TDispCallDescriptor{30, VT_EMPTY, dcPropertyPut, 2, 1, {VT_I4, VT_DISPATCH}}, named,
                     early, nullptr);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(LastInvoke().named, (std::vector<DISPID>{DISPID_PROPERTYPUT, 7}));

  VARIANT object;
  VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = dispatch_;
  VARIANT index;
  VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = 1;
  std::vector<TLateArg> late{TLateArg::Of(index), TLateArg::Of(object)};
  DispatchInvoke(object, "Value", {"Caption"}, late, dcPropertyPut, nullptr);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(LastInvoke().named, (std::vector<DISPID>{DISPID_PROPERTYPUT, 5}));
  std::vector<TLateArg> plain{TLateArg::Of(object), TLateArg::Of(index)};
  DispatchInvoke(object, "Value", {}, plain, dcPropertyPut, nullptr);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUT) << "the value is the last argument";
}

TEST_F(DispatchTest, ABoolResultLeftEmptyReadsFalse) {
  LONG value = -1;
  InvokeByDescriptor(dispatch_, TDispCallDescriptor{kDispLeaveEmpty, VT_BOOL, dcMethod, 0, 0, {}}, nullptr, nullptr,
                     &value);
  EXPECT_EQ(static_cast<SHORT>(value & 0xFFFF), 0);
}

TEST_F(DispatchTest, FailuresReachTheCallerThroughTheErrorMapping) {
  try {
    InvokeByDescriptor(dispatch_, TDispCallDescriptor{kDispRaise, VT_EMPTY, dcMethod, 0, 0, {}}, nullptr, nullptr,
                       nullptr);
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), "Page not found");
    EXPECT_EQ(e.Source(), "TestControl");
    EXPECT_EQ(e.HelpContext(), 42u);
  }
  try {
    InvokeByDescriptor(dispatch_, TDispCallDescriptor{kDispNoText, VT_EMPTY, dcMethod, 0, 0, {}}, nullptr, nullptr,
                       nullptr);
    FAIL();
  } catch (const EOleException&) {
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Message(), "OLE error 80040154");
  }
}

TEST_F(DispatchTest, LateBoundCallResolvesTheNameAndConvertsStrings) {
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = dispatch_;
  std::vector<TLateArg> args{TLateArg::OfString("Hello")};
  DispatchInvoke(object, "Caption", {}, args, dcPropertyPut, nullptr);
  EXPECT_EQ(LastInvoke().id, 5);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUT);
  ASSERT_EQ(LastInvoke().args.size(), 1u);
  EXPECT_STREQ(LastInvoke().args[0].bstrVal, L"Hello");

  VARIANT result;
  VariantInit(&result);
  std::vector<TLateArg> none;
  DispatchInvoke(object, "Caption", {}, none, dcPropertyGet, &result);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_STREQ(result.bstrVal, L"Hello");
  VariantClear(&result);

  std::string text = "abc";
  std::vector<TLateArg> byRef{TLateArg::OfStringRef(&text)};
  DispatchInvoke(object, "Append", {}, byRef, dcMethod, nullptr);
  EXPECT_EQ(text, "abc!");
}

TEST_F(DispatchTest, LateBoundMethodWithoutArgumentsAskingAResultAlsoAllowsAPropertyGet) {
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = dispatch_;
  VARIANT result;
  VariantInit(&result);
  std::vector<TLateArg> none;
  EXPECT_THROW(DispatchInvoke(object, "Value", {}, none, dcMethod, &result), EOleSysError);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  VARIANT picture;
  VariantInit(&picture);
  picture.vt = VT_DISPATCH;
  picture.pdispVal = dispatch_;
  std::vector<TLateArg> put{TLateArg::Of(picture)};
  DispatchInvoke(object, "Value", {}, put, dcPropertyPut, nullptr);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUTREF);
}

TEST_F(DispatchTest, LateBoundCallRefusesVariantsWithoutObjectAndUnknownNames) {
  VARIANT notObject;
  VariantInit(&notObject);
  notObject.vt = VT_I4;
  std::vector<TLateArg> none;
  try {
    DispatchInvoke(notObject, "Caption", {}, none, dcPropertyGet, nullptr);
    FAIL();
  } catch (const EOleSysError&) {
    FAIL() << "plain EOleError expected";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Message(), "Variant does not reference an automation object");
  }
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_DISPATCH | VT_BYREF;
  object.ppdispVal = &dispatch_;
  try {
    DispatchInvoke(object, "Frobnicate", {}, none, dcMethod, nullptr);
    FAIL();
  } catch (const EOleSysError&) {
    FAIL() << "plain EOleError expected";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Message(), "Method 'Frobnicate' not supported by automation object");
  }
}

}  // namespace
