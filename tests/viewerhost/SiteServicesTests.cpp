// Services of the control site: ambient properties, coordinate transforms, and the control's
// events turned into the component's input events or delivered to its handler slots.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "viewerhost/OleCtrls.h"
#include "tests/viewerhost/TestControl.h"
#include "tests/support/WindowTesting.h"

namespace {

const DISPID kEventIds[2] = {10, 11};
TControlDescriptor currentEvents{
    kTestControlClassId, kTestEventsId, 2, kEventIds, 0, 401, 0, kEventIds, 0, kEventIds, 0, 0, nullptr, 0};
TControlDescriptor olderEvents{
    kTestControlClassId, kTestEventsId, 2, kEventIds, 0, 200, 0, kEventIds, 0, kEventIds, 0, 0, nullptr, 0};

TControlDescriptor mirroring{kTestControlClassId,
                             kTestEventsId,
                             0,
                             kEventIds,
                             cfBackColor | cfForeColor | cfFont | cfEnabled | cfCaption,
                             401,
                             0,
                             kEventIds,
                             0,
                             kEventIds,
                             0,
                             0,
                             nullptr,
                             0};

class TEventOle : public TOleControl {
 public:
  TEventOle(TComponent* owner, TControlDescriptor& descriptor) : TOleControl(owner, descriptor) {}
  std::string ClassName() const override { return "TEventOle"; }
  using TWinControl::OnKeyDown;
  using TWinControl::OnKeyPress;
  using TWinControl::OnKeyUp;
};

class TPlainForm : public TForm {
 public:
  using TForm::TForm;
  std::string ClassName() const override { return "TPlainForm"; }
};

VARIANTARG IntArg(LONG value) {
  VARIANTARG v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANTARG RefArg(VARTYPE type, void* pointer) {
  VARIANTARG v;
  VariantInit(&v);
  v.vt = static_cast<VARTYPE>(type | VT_BYREF);
  v.byref = pointer;
  return v;
}

class SiteServicesTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestControl();
    form_ = new TPlainForm(Application);
    host_ = new TEventOle(form_, currentEvents);
    host_->SetName("Viewer");
    host_->SetParent(form_);
  }
  void TearDown() override {
    Application->OnException = nullptr;
    TObject::Free(form_);
    EXPECT_EQ(LiveTestControls(), 0);
  }
  // Fires an event at the host's sink; arguments in declaration order.
  HRESULT Fire(TOleControl* host, DISPID id, std::vector<VARIANTARG> args) {
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return host->EventSink()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
  TPlainForm* form_ = nullptr;
  TEventOle* host_ = nullptr;
};

TEST_F(SiteServicesTest, AmbientPropertiesAnswerTheirTable) {
  IDispatch* ambient = host_;
  host_->SetColor(static_cast<TColor>(0x123456));
  struct Case {
    DISPID id;
    VARTYPE vt;
    LONG value;
  };
  const Case cases[] = {{DISPID_AMBIENT_BACKCOLOR, VT_I4, 0x123456},
                        {DISPID_AMBIENT_LOCALEID, VT_I4, static_cast<LONG>(GetUserDefaultLCID())},
                        {DISPID_AMBIENT_MESSAGEREFLECT, VT_BOOL, VARIANT_TRUE},
                        {DISPID_AMBIENT_USERMODE, VT_BOOL, VARIANT_TRUE},
                        {DISPID_AMBIENT_UIDEAD, VT_BOOL, VARIANT_FALSE},
                        {DISPID_AMBIENT_SHOWGRABHANDLES, VT_BOOL, VARIANT_FALSE},
                        {DISPID_AMBIENT_SHOWHATCHING, VT_BOOL, VARIANT_FALSE},
                        {DISPID_AMBIENT_AUTOCLIP, VT_BOOL, VARIANT_TRUE},
                        {DISPID_AMBIENT_SUPPORTSMNEMONICS, VT_BOOL, VARIANT_TRUE}};
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  for (const Case& c : cases) {
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(ambient->Invoke(c.id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK) << c.id;
    EXPECT_EQ(result.vt, c.vt) << c.id;
    if (c.vt == VT_BOOL) EXPECT_EQ(result.boolVal, static_cast<VARIANT_BOOL>(c.value)) << c.id;
    else EXPECT_EQ(result.lVal, c.value) << c.id;
  }
  VARIANT name;
  VariantInit(&name);
  EXPECT_EQ(
      ambient->Invoke(DISPID_AMBIENT_DISPLAYNAME, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &name, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(name.vt, VT_BSTR);
  EXPECT_STREQ(name.bstrVal, L"Viewer");
  VariantClear(&name);
  VARIANT fore;
  VariantInit(&fore);
  host_->Font().SetColor(static_cast<TColor>(0x00FF00));
  ambient->Invoke(DISPID_AMBIENT_FORECOLOR, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &fore, nullptr, nullptr);
  EXPECT_EQ(fore.lVal, 0x00FF00);
}

TEST_F(SiteServicesTest, AmbientRequestsThatAreNotPropertyGetsOrLackAResultAreRefused) {
  IDispatch* ambient = host_;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(
      ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
      DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(ambient->Invoke(-713, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(ambient->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  UINT count = 9;
  EXPECT_EQ(ambient->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(ambient->GetTypeInfo(0, 0, &info), E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
}

TEST_F(SiteServicesTest, TransformCoordsRoundsBothWays) {
  IOleControlSite* site = host_;
  struct ToContainer {
    LONG himetric;
    float pixels;
  };
  // 96 pixels per inch: MulDiv rounds to nearest.
  for (ToContainer c :
       {ToContainer{2540, 96}, ToContainer{2646, 100}, ToContainer{13, 0}, ToContainer{14, 1}, ToContainer{-14, -1}}) {
    POINTL h{c.himetric, c.himetric};
    POINTF p{0, 0};
    EXPECT_EQ(site->TransformCoords(&h, &p, XFORMCOORDS_HIMETRICTOCONTAINER), S_OK);
    EXPECT_EQ(p.x, c.pixels) << c.himetric;
    EXPECT_EQ(p.y, c.pixels) << c.himetric;
  }
  struct ToHimetric {
    float pixels;
    LONG himetric;
  };
  // 0.96 pixels is 25.4 HIMETRIC; 1.2 is 31.75, 3.6 is 95.25: ties go to the even value.
  for (ToHimetric c :
       {ToHimetric{96, 2540}, ToHimetric{1, 26}, ToHimetric{1.2f, 32}, ToHimetric{0.96f, 25}, ToHimetric{3.6f, 95}}) {
    POINTL h{0, 0};
    POINTF p{c.pixels, c.pixels};
    EXPECT_EQ(site->TransformCoords(&h, &p, XFORMCOORDS_CONTAINERTOHIMETRIC), S_OK);
    EXPECT_EQ(h.x, c.himetric) << c.pixels;
  }
}

TEST_F(SiteServicesTest, ControlSiteAndFrameSiteAnswers) {
  IOleControlSite* site = host_;
  ISimpleFrameSite* frame = host_;
  IPropertyNotifySink* sink = host_;
  EXPECT_EQ(site->OnControlInfoChanged(), E_NOTIMPL);
  EXPECT_EQ(site->LockInPlaceActive(TRUE), E_NOTIMPL);
  IDispatch* extended = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(site->GetExtendedControl(&extended), E_NOTIMPL);
  EXPECT_EQ(extended, nullptr);
  EXPECT_EQ(site->TranslateAccelerator(nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(site->OnFocus(TRUE), E_NOTIMPL);
  EXPECT_EQ(site->ShowPropertyFrame(), E_NOTIMPL);
  EXPECT_EQ(frame->PreMessageFilter(nullptr, 0, 0, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(frame->PostMessageFilter(nullptr, 0, 0, 0, nullptr, 0), S_OK);
  EXPECT_EQ(sink->OnRequestEdit(5), S_OK);
  EXPECT_EQ(sink->OnChanged(12345), S_OK);
}

TEST_F(SiteServicesTest, StandardEventsBecomeClickKeyAndMouseEvents) {
  int clicks = 0, doubles = 0;
  host_->OnClick = [&](TObject* sender) { clicks += sender == host_; };
  host_->OnDblClick = [&](TObject*) { ++doubles; };
  EXPECT_EQ(Fire(host_, DISPID_CLICK, {}), S_OK);
  EXPECT_EQ(Fire(host_, DISPID_DBLCLICK, {}), S_OK);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubles, 1);
  // A click without parameters, or with a count but no array, is still a click.
  DISPPARAMS broken{nullptr, nullptr, 2, 0};
  EXPECT_EQ(host_->EventSink()->Invoke(DISPID_CLICK, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(host_->EventSink()->Invoke(DISPID_CLICK, IID_NULL, 0, DISPATCH_METHOD, &broken, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(
      host_->EventSink()->Invoke(DISPID_KEYDOWN, IID_NULL, 0, DISPATCH_METHOD, &broken, nullptr, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(clicks, 3);

  WORD seenKey = 0;
  unsigned seenShift = 0;
  host_->OnKeyDown = [&](TObject*, WORD& key, unsigned shift) {
    seenKey = key;
    seenShift = shift;
    key = 'B';
  };
  SHORT key = 'A';
  EXPECT_EQ(Fire(host_, DISPID_KEYDOWN, {RefArg(VT_I2, &key), IntArg(3)}), S_OK);
  EXPECT_EQ(seenKey, 'A');
  EXPECT_EQ(seenShift, static_cast<unsigned>(ssShift | ssCtrl));
  EXPECT_EQ(key, 'B');

  host_->OnKeyPress = [](TObject*, char& ch) { ch = 'z'; };
  SHORT character = 0x1161;  // the high byte is not the handler's to change
  EXPECT_EQ(Fire(host_, DISPID_KEYPRESS, {RefArg(VT_I2, &character)}), S_OK);
  EXPECT_EQ(character, 0x117A);

  struct Mouse {
    TMouseButton button;
    unsigned shift;
    int x, y;
    int count = 0;
  } down, moved;
  host_->OnMouseDown = [&](TObject*, TMouseButton b, unsigned s, int x, int y) { down = {b, s, x, y, down.count + 1}; };
  host_->OnMouseMove = [&](TObject*, unsigned s, int x, int y) { moved = {mbLeft, s, x, y, moved.count + 1}; };
  EXPECT_EQ(Fire(host_, DISPID_MOUSEDOWN, {IntArg(2), IntArg(4), IntArg(10), IntArg(20)}), S_OK);
  EXPECT_EQ(down.count, 1);
  EXPECT_EQ(down.button, mbRight);
  EXPECT_EQ(down.shift, static_cast<unsigned>(ssAlt | ssRight));
  EXPECT_EQ(down.x, 10);
  EXPECT_EQ(down.y, 20);
  EXPECT_EQ(Fire(host_, DISPID_MOUSEDOWN, {IntArg(6), IntArg(0), IntArg(1), IntArg(2)}), S_OK);
  EXPECT_EQ(down.button, mbRight);
  EXPECT_EQ(Fire(host_, DISPID_MOUSEDOWN, {IntArg(0), IntArg(1), IntArg(1), IntArg(2)}), S_OK);
  EXPECT_EQ(down.button, mbLeft);
  EXPECT_EQ(down.shift, static_cast<unsigned>(ssShift));
  EXPECT_EQ(Fire(host_, DISPID_MOUSEMOVE, {IntArg(5), IntArg(2), IntArg(7), IntArg(8)}), S_OK);
  EXPECT_EQ(moved.shift, static_cast<unsigned>(ssLeft | ssMiddle | ssCtrl));
  EXPECT_EQ(moved.x, 7);

  // Too few arguments: dropped.
  int before = down.count;
  EXPECT_EQ(Fire(host_, DISPID_MOUSEDOWN, {IntArg(1), IntArg(0), IntArg(1)}), S_OK);
  EXPECT_EQ(down.count, before);
  seenKey = 0;
  EXPECT_EQ(Fire(host_, DISPID_KEYDOWN, {IntArg('Q')}), S_OK);
  EXPECT_EQ(seenKey, 0);
}

TEST_F(SiteServicesTest, ControlEventsReachTheirHandlerSlotInDeclarationOrder) {
  std::vector<TOleEventArg> got;
  host_->EventHandlers()[1] = [&](TObject* sender, std::vector<TOleEventArg>& args) {
    EXPECT_EQ(sender, host_);
    got = args;
  };
  VARIANTARG real;
  VariantInit(&real);
  real.vt = VT_R8;
  real.dblVal = 2.5;
  LONG counter = 4;
  EXPECT_EQ(Fire(host_, 11, {IntArg(77), real, RefArg(VT_I4, &counter)}), S_OK);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Value32, 77u);
  double value = 0;
  std::memcpy(&value, &got[1].Value64, 8);
  EXPECT_EQ(value, 2.5);
  EXPECT_EQ(got[2].Ref, &counter);
  got.clear();
  EXPECT_EQ(Fire(host_, 10, {IntArg(1)}), S_OK);  // an empty slot
  EXPECT_EQ(Fire(host_, 99, {IntArg(1)}), S_OK);  // no slot at all
  EXPECT_TRUE(got.empty());
}

TEST_F(SiteServicesTest, TheOlderDeliveryPassesStringsAsCopiesAndStoresThemBack) {
  auto* older = new TEventOle(form_, olderEvents);
  older->EventHandlers()[0] = [](TObject*, std::vector<TOleEventArg>& args) {
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0].Ansi, "in");
    EXPECT_EQ(args[1].Ansi, "ref");
    args[1].Ansi = "changed";
  };
  VARIANTARG in;
  VariantInit(&in);
  in.vt = VT_BSTR;
  in.bstrVal = SysAllocString(L"in");
  BSTR ref = SysAllocString(L"ref");
  EXPECT_EQ(Fire(older, 10, {in, RefArg(VT_BSTR, &ref)}), S_OK);
  EXPECT_STREQ(ref, L"changed");
  SysFreeString(ref);
  VariantClear(&in);
  // An array of strings is no string: it goes as its variant.
  VARIANTARG strings;
  VariantInit(&strings);
  strings.vt = VT_ARRAY | VT_BSTR;
  strings.parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
  older->EventHandlers()[0] = [&](TObject*, std::vector<TOleEventArg>& args) {
    ASSERT_EQ(args.size(), 1u);
    ASSERT_NE(args[0].Ref, nullptr);
    EXPECT_EQ(static_cast<VARIANTARG*>(args[0].Ref)->vt, VT_ARRAY | VT_BSTR);
    EXPECT_TRUE(args[0].Ansi.empty());
  };
  EXPECT_EQ(Fire(older, 10, {strings}), S_OK);
  VariantClear(&strings);
  TObject::Free(older);
}

TEST_F(SiteServicesTest, AHandlerThatThrowsGoesToTheApplicationAndTheControlGetsSOk) {
  std::string reported;
  Application->OnException = [&](const Exception& e) { reported = e.Message(); };
  host_->OnClick = [](TObject*) { throw EOleError("handler failed"); };
  host_->EventHandlers()[0] = [](TObject*, std::vector<TOleEventArg>&) { throw Exception("slot failed"); };
  EXPECT_EQ(Fire(host_, DISPID_CLICK, {}), S_OK);
  EXPECT_EQ(reported, "handler failed");
  EXPECT_EQ(Fire(host_, 10, {}), S_OK);
  EXPECT_EQ(reported, "slot failed");
}

void SetControlProperty(DISPID id, VARTYPE type, LONG value);

TEST_F(SiteServicesTest, AKeyIsWrittenBackOnlyIntoIntegerReferencesAlsoThroughVariants) {
  host_->OnKeyDown = [](TObject*, WORD& key, unsigned) { key = 'B'; };
  host_->OnKeyPress = [](TObject*, char& ch) { ch = 'z'; };
  LONG long4 = 'A';
  BYTE byte1 = 'A';
  VARIANT inner;
  VariantInit(&inner);
  inner.vt = VT_I2;
  inner.iVal = 'A';
  SHORT pointed = 'A';
  VARIANT innerRef;
  VariantInit(&innerRef);
  innerRef.vt = VT_I2 | VT_BYREF;
  innerRef.piVal = &pointed;
  BSTR text = SysAllocString(L"A");
  BSTR const original = text;
  double real = 65.0;
  USHORT unsigned2 = 'A';
  UINT unsignedInt = 'A';
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 1);
  SAFEARRAY* const originalArray = array;
  std::vector<WORD> seen;
  host_->OnKeyDown = [&](TObject*, WORD& key, unsigned) {
    seen.push_back(key);
    key = 'B';
  };
  for (VARIANTARG arg : {RefArg(VT_I4, &long4), RefArg(VT_UI1, &byte1), RefArg(VT_VARIANT, &inner),
                         RefArg(VT_VARIANT, &innerRef), RefArg(VT_BSTR, &text), RefArg(VT_R8, &real),
                         RefArg(VT_UI2, &unsigned2), RefArg(VT_UINT, &unsignedInt), RefArg(VT_ARRAY | VT_I4, &array)})
    EXPECT_EQ(Fire(host_, DISPID_KEYDOWN, {arg, IntArg(0)}), S_OK);
  EXPECT_EQ(seen, (std::vector<WORD>{'A', 'A', 'A', 'A', 0, 0, 'A', 'A', 0}));
  EXPECT_EQ(unsigned2, 'B');
  EXPECT_EQ(unsignedInt, static_cast<UINT>('B'));
  EXPECT_EQ(array, originalArray) << "an array is never written";
  SafeArrayDestroy(array);
  EXPECT_EQ(long4, 'B');
  EXPECT_EQ(byte1, 'B');
  EXPECT_EQ(inner.vt, VT_I2);
  EXPECT_EQ(inner.iVal, 'B');
  EXPECT_EQ(pointed, 'B');
  EXPECT_EQ(text, original);
  EXPECT_STREQ(text, L"A");
  EXPECT_EQ(real, 65.0);

  inner.vt = VT_I4;
  inner.lVal = 0x161;
  EXPECT_EQ(Fire(host_, DISPID_KEYPRESS, {RefArg(VT_VARIANT, &inner)}), S_OK);
  EXPECT_EQ(inner.vt, VT_I4);
  EXPECT_EQ(inner.lVal, 0x17A) << "one byte, the character";
  EXPECT_EQ(Fire(host_, DISPID_KEYPRESS, {RefArg(VT_BSTR, &text)}), S_OK);
  EXPECT_EQ(text, original);
  SysFreeString(text);
}

TEST_F(SiteServicesTest, AHandlerMayFreeTheFormWhileTheControlFiresAndTheControlOutlivesItsCall) {
  host_->EnsureControl();
  IOleObject* control = host_->ControlObject();
  int aliveInHandler = -1;
  host_->OnClick = [&](TObject*) {
    TObject::Free(form_);
    form_ = nullptr;
    aliveInHandler = LiveTestControls();
  };
  EXPECT_EQ(FireControlEvent(control, DISPID_CLICK), S_OK);
  EXPECT_EQ(aliveInHandler, 1);
  EXPECT_EQ(LiveTestControls(), 1) << "released only once its call has returned";
  EXPECT_TRUE(PumpUntil([] { return LiveTestControls() == 0; }));
}

TEST_F(SiteServicesTest, SinksTheControlKeepsAfterTeardownStayAliveDetachedAndAnswerHarmlessly) {
  host_->EnsureControl();
  IOleObject* control = host_->ControlObject();
  control->AddRef();
  int clicks = 0;
  host_->OnClick = [&](TObject*) { ++clicks; };
  TestConfig().refuseUnadvise = true;
  TestConfig().refusePropertyUnadvise = true;
  TObject::Free(form_);
  form_ = nullptr;
  EXPECT_EQ(FireControlEvent(control, DISPID_CLICK), S_OK);
  EXPECT_EQ(FireControlPropertyChange(control, DISPID_BACKCOLOR), S_OK);
  EXPECT_EQ(clicks, 0);
  control->Release();
}

TEST_F(SiteServicesTest, AMouseHandlerMayFreeItsHostAndKeepsItsOwnStateMeanwhile) {
  const std::string kept(64, 'k');
  std::string seen;
  host_->OnMouseDown = [this, kept, &seen](TObject*, TMouseButton, unsigned, int, int) {
    TObject::Free(form_);
    form_ = nullptr;
    seen = kept;  // the handler's own state, after its host is gone
  };
  EXPECT_EQ(Fire(host_, DISPID_MOUSEDOWN, {IntArg(1), IntArg(0), IntArg(1), IntArg(2)}), S_OK);
  EXPECT_EQ(seen, kept);
  EXPECT_TRUE(PumpUntil([] { return LiveTestControls() == 0; }));
}

TEST_F(SiteServicesTest, AControlFreedByAHandlerIsReleasedOnlyOnceItsOwnCallsHaveReturned) {
  // The control fires from inside a call of ours and then runs a loop of its own.
  host_->EnsureControl();
  auto freeForm = [this](TObject*) {
    TObject::Free(form_);
    form_ = nullptr;
  };
  host_->OnClick = freeForm;
  const TDispCallDescriptor clickThenWait{kDispClickThenWait, VT_EMPTY, dcMethod, 0, 0, {}};
  InvokeByDescriptor(host_->ControlDispatch(), clickThenWait, nullptr, nullptr, nullptr);
  EXPECT_EQ(LiveAfterOwnLoop(), 1) << "released inside the control's own call";
  EXPECT_TRUE(PumpUntil([] { return LiveTestControls() == 0; }));
  // What still waits when the program ends goes before COM stops.
  form_ = new TPlainForm(Application);
  auto* host = new TEventOle(form_, currentEvents);
  host->SetParent(form_);
  host->EnsureControl();
  host->OnClick = freeForm;
  EXPECT_EQ(FireControlEvent(host->ControlObject(), DISPID_CLICK), S_OK);
  EXPECT_EQ(LiveTestControls(), 1);
  ReleaseDelayedObjects();
  EXPECT_EQ(LiveTestControls(), 0);
}

class TColorRefusingOle : public TEventOle {
 public:
  using TEventOle::TEventOle;
  bool refuse = false;

 protected:
  void ColorChanged() override {
    if (refuse) throw EInvalidOperation("Colour refused");
    TEventOle::ColorChanged();
  }
};

TEST_F(SiteServicesTest, AnotherFailureInAReportedChangeGoesToTheApplicationButEndsTheHostsOwnCompletion) {
  std::string reported;
  Application->OnException = [&](const Exception& e) { reported = e.Message(); };
  SetControlProperty(DISPID_BACKCOLOR, VT_I4, 0x010203);
  auto* host = new TColorRefusingOle(form_, mirroring);
  host->SetParent(form_);
  host->refuse = true;
  EXPECT_THROW(host->EnsureControl(), EInvalidOperation);
  EXPECT_EQ(host->ControlIntf(), nullptr);
  host->refuse = false;
  host->EnsureControl();
  host->refuse = true;
  SetControlProperty(DISPID_BACKCOLOR, VT_I4, 0x040506);
  IPropertyNotifySink* sink = host;
  EXPECT_EQ(sink->OnChanged(DISPID_BACKCOLOR), S_OK);
  EXPECT_EQ(reported, "Colour refused");
  host->refuse = false;
  TObject::Free(host);
}

void SetControlProperty(DISPID id, VARTYPE type, LONG value) {
  VARIANT& slot = TestProperties()[id];
  VariantClear(&slot);
  slot.vt = type;
  slot.lVal = value;
}

TEST_F(SiteServicesTest, MirroredStateIsPulledOnCompletionAndWrittenBackOnChange) {
  SetControlProperty(DISPID_BACKCOLOR, VT_I4, 0x0000FF);
  SetControlProperty(DISPID_FORECOLOR, VT_I4, 0x00FF00);
  SetControlProperty(DISPID_ENABLED, VT_BOOL, VARIANT_FALSE);
  auto* host = new TEventOle(form_, mirroring);
  host->SetParent(form_);
  host->HandleNeeded();
  EXPECT_EQ(host->Color(), static_cast<TColor>(0x0000FF));
  EXPECT_EQ(host->Font().Color(), static_cast<TColor>(0x00FF00));
  EXPECT_FALSE(host->Enabled());
  // Pulling state wrote nothing back.
  EXPECT_TRUE(LoggedCalls("Invoke(-501)").size() == 1 && LoggedCalls("Invoke(-514)").size() == 1);

  // The control reports each write back through OnChanged; the guard keeps it from being
  // read and written again.
  std::size_t reads = LoggedCalls("Invoke(-501)").size();
  host->SetColor(static_cast<TColor>(0x112233));
  EXPECT_EQ(LoggedCalls("Invoke(-501)").size(), reads + 1);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(TestProperties()[DISPID_BACKCOLOR].lVal, 0x112233);
  host->SetEnabled(true);
  EXPECT_EQ(TestProperties()[DISPID_ENABLED].boolVal, VARIANT_TRUE);
  host->Font().SetColor(static_cast<TColor>(0x445566));
  EXPECT_EQ(TestProperties()[DISPID_FORECOLOR].lVal, 0x445566);
  TObject::Free(host);
}

TEST_F(SiteServicesTest, ChangesReportedByTheControlAreReadAndFailuresSwallowed) {
  auto* host = new TEventOle(form_, mirroring);
  host->SetParent(form_);
  host->EnsureControl();
  IPropertyNotifySink* sink = host;
  SetControlProperty(DISPID_BACKCOLOR, VT_I4, 0x010203);
  EXPECT_EQ(sink->OnChanged(DISPID_BACKCOLOR), S_OK);
  EXPECT_EQ(host->Color(), static_cast<TColor>(0x010203));
  // No such property at the control: the read fails and the answer is still S_OK.
  VariantClear(&TestProperties()[DISPID_ENABLED]);
  TestProperties().erase(DISPID_ENABLED);
  EXPECT_EQ(sink->OnChanged(DISPID_ENABLED), S_OK);
  EXPECT_TRUE(host->Enabled());
  TObject::Free(host);
}

TEST_F(SiteServicesTest, ARenameTellsTheControlAndMovesACaptionThatShowedTheOldName) {
  auto* host = new TEventOle(form_, mirroring);
  host->SetName("Viewer2");
  host->SetParent(form_);
  host->EnsureControl();
  VARIANT& caption = TestProperties()[DISPID_CAPTION];
  caption.vt = VT_BSTR;
  caption.bstrVal = SysAllocString(L"Viewer2");
  host->SetName("Viewer3");
  EXPECT_TRUE(Logged("OnAmbientPropertyChange(-702)"));
  EXPECT_STREQ(TestProperties()[DISPID_CAPTION].bstrVal, L"Viewer3");
  VARIANT& other = TestProperties()[DISPID_CAPTION];
  VariantClear(&other);
  other.vt = VT_BSTR;
  other.bstrVal = SysAllocString(L"Title");
  host->SetName("Viewer4");
  EXPECT_STREQ(TestProperties()[DISPID_CAPTION].bstrVal, L"Title");
  TObject::Free(host);
}

BOOL OleFontBold(IUnknown* object) {
  IFont* font = nullptr;
  if (!object || FAILED(object->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)))) return -1;
  BOOL bold = FALSE;
  font->get_Bold(&bold);
  font->Release();
  return bold;
}

TEST_F(SiteServicesTest, TheAmbientFontIsAnOleFontOfTheParentsOrTheHostsOwnFont) {
  IDispatch* ambient = host_;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  form_->Font().SetStyle(fsBold);
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(ambient->Invoke(DISPID_AMBIENT_FONT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(result.vt, VT_DISPATCH);
  EXPECT_TRUE(OleFontBold(result.pdispVal));
  VariantClear(&result);
  host_->SetParentFont(false);
  host_->Font().SetStyle(0);
  ambient->Invoke(DISPID_AMBIENT_FONT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  EXPECT_FALSE(OleFontBold(result.pdispVal));
  VariantClear(&result);
}

TEST_F(SiteServicesTest, TheFontTravelsToTheControlByReferenceAndBack) {
  auto* host = new TEventOle(form_, mirroring);
  host->SetParent(form_);
  host->HandleNeeded();
  host->SetParentFont(false);
  host->Font().SetStyle(fsBold);
  EXPECT_EQ(TestProperties()[DISPID_FONT].vt, VT_DISPATCH);
  EXPECT_TRUE(OleFontBold(TestProperties()[DISPID_FONT].pdispVal));
  EXPECT_EQ(LoggedCalls("Invoke(-512)").size(), LoggedCalls("Invoke(-513)").size());

  // The control's own font comes back into the host's font.
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  wchar_t name[] = L"Arial";
  desc.lpstrName = name;
  desc.cySize.int64 = 120000;
  desc.sWeight = 400;
  desc.fItalic = TRUE;
  VARIANT& slot = TestProperties()[DISPID_FONT];
  VariantClear(&slot);
  ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&slot.pdispVal)), S_OK);
  slot.vt = VT_DISPATCH;
  IPropertyNotifySink* sink = host;
  EXPECT_EQ(sink->OnChanged(DISPID_FONT), S_OK);
  EXPECT_EQ(host->Font().Style(), static_cast<unsigned>(fsItalic));
  TObject::Free(host);
}

TEST_F(SiteServicesTest, AmbientChangesAreAnnouncedWhenTheParentsFontOrColourChanges) {
  host_->EnsureControl();
  const auto ambientCalls = [] { return LoggedCalls("OnAmbientPropertyChange"); };
  using Calls = std::vector<std::string>;
  struct Case {
    const char* what;
    std::function<void()> change;
    Calls expected;
  };
  const Case cases[] = {
      {"parent font, host takes it",
       [&] { form_->Font().SetStyle(fsBold); },
       {"OnAmbientPropertyChange(-703)", "OnAmbientPropertyChange(-704)"}},
      {"parent colour, host keeps its own", [&] { form_->SetColor(static_cast<TColor>(0x102030)); }, {}},
      {"host starts taking the parent's colour", [&] { host_->SetParentColor(true); }, {}},
      {"parent colour, host takes it",
       [&] { form_->SetColor(static_cast<TColor>(0x405060)); },
       {"OnAmbientPropertyChange(-701)"}},
      {"host's own font", [&] { host_->Font().SetStyle(fsItalic); }, {}},
      {"parent font, host keeps its own", [&] { form_->Font().SetStyle(fsUnderline); }, {}},
      {"new parent",
       [&] {
         host_->SetParent(nullptr);
         host_->SetParent(form_);
       },
       {"OnAmbientPropertyChange(-1)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestControlLog().clear();
    c.change();
    EXPECT_EQ(ambientCalls(), c.expected);
  }
  EXPECT_EQ(host_->Color(), static_cast<TColor>(0x405060));
  IDispatch* ambient = host_;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ambient->Invoke(DISPID_AMBIENT_BACKCOLOR, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  EXPECT_EQ(result.lVal, 0x405060) << "announced after the host took the colour";
}

TEST_F(SiteServicesTest, AnIncompleteControlHearsNoAmbientChanges) {
  form_->Font().SetStyle(fsBold);
  form_->SetColor(clRed);
  host_->SetName("Renamed");
  EXPECT_TRUE(LoggedCalls("OnAmbientPropertyChange").empty());
}

IFont* AsFont(IUnknown* object) {
  IFont* font = nullptr;
  if (object) object->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font));
  return font;
}

VARIANT AmbientFont(IDispatch* ambient) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ambient->Invoke(DISPID_AMBIENT_FONT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  return result;
}

TEST_F(SiteServicesTest, TheHostsOleFontIsMadeOnceAndFollowsTheFontBothWays) {
  host_->SetParentFont(false);
  VARIANT first = AmbientFont(host_);
  VARIANT second = AmbientFont(host_);
  ASSERT_EQ(first.vt, VT_DISPATCH);
  EXPECT_EQ(first.pdispVal, second.pdispVal);
  EXPECT_EQ(first.pdispVal, host_->OleFont());
  VariantClear(&second);

  IFont* font = AsFont(first.pdispVal);
  ASSERT_NE(font, nullptr);
  // The framework font's changes reach the OLE font the control holds.
  host_->Font().SetStyle(fsItalic | fsUnderline);
  BOOL on = FALSE;
  font->get_Italic(&on);
  EXPECT_TRUE(on);
  font->get_Underline(&on);
  EXPECT_TRUE(on);
  font->get_Bold(&on);
  EXPECT_FALSE(on);
  host_->Font().SetStyle(fsBold);
  font->get_Bold(&on);
  EXPECT_TRUE(on);
  font->get_Italic(&on);
  EXPECT_FALSE(on);

  // And the control's changes of the OLE font reach the framework font, one property each.
  const std::string name = host_->Font().Name();
  font->put_Strikethrough(TRUE);
  EXPECT_EQ(host_->Font().Style(), static_cast<unsigned>(fsBold | fsStrikeOut));
  font->put_Bold(FALSE);
  EXPECT_EQ(host_->Font().Style(), static_cast<unsigned>(fsStrikeOut));
  CY size{};
  size.int64 = 160000;
  font->put_Size(size);
  // The OLE font reports the size of the font the system chose, which is what comes back.
  CY reported{};
  font->get_Size(&reported);
  EXPECT_NE(host_->Font().Size(), 8);
  EXPECT_EQ(host_->Font().Size(), static_cast<int>(std::lround(static_cast<double>(reported.int64) / 10000.0)));
  EXPECT_EQ(host_->Font().Name(), name) << "other properties are not read back";
  font->put_Charset(SYMBOL_CHARSET);
  EXPECT_EQ(host_->Font().Charset(), SYMBOL_CHARSET);
  font->Release();
  VariantClear(&first);
}

TEST_F(SiteServicesTest, TheAmbientFontOfAHostTakingItsParentsFontIsTheParentsOleFont) {
  VARIANT parentFont = AmbientFont(host_);
  ASSERT_EQ(parentFont.vt, VT_DISPATCH);
  EXPECT_NE(parentFont.pdispVal, host_->OleFont());
  IFont* font = AsFont(parentFont.pdispVal);
  ASSERT_NE(font, nullptr);
  form_->Font().SetStyle(fsUnderline);
  BOOL on = FALSE;
  font->get_Underline(&on);
  EXPECT_TRUE(on);
  font->put_Italic(TRUE);
  EXPECT_EQ(form_->Font().Style(), static_cast<unsigned>(fsUnderline | fsItalic));
  EXPECT_EQ(host_->Font().Style(), static_cast<unsigned>(fsUnderline | fsItalic)) << "the host follows its parent";
  EXPECT_TRUE(host_->ParentFont());
  // After a change of parent the OLE font is no longer connected to the old parent's font.
  host_->SetParent(nullptr);
  font->put_Bold(TRUE);
  EXPECT_EQ(form_->Font().Style(), static_cast<unsigned>(fsUnderline | fsItalic));
  font->Release();
  VariantClear(&parentFont);
}

TEST_F(SiteServicesTest, TheMirroredFontIsAlwaysTheSameOleFont) {
  auto* host = new TEventOle(form_, mirroring);
  host->SetParent(form_);
  host->HandleNeeded();
  host->SetParentFont(false);
  host->Font().SetStyle(fsBold);
  ASSERT_EQ(TestProperties()[DISPID_FONT].vt, VT_DISPATCH);
  EXPECT_EQ(TestProperties()[DISPID_FONT].pdispVal, host->OleFont());
  std::size_t writes = LoggedCalls("Invoke(-512)").size();
  host->Font().SetStyle(fsItalic);
  EXPECT_EQ(LoggedCalls("Invoke(-512)").size(), writes + 1);
  EXPECT_EQ(TestProperties()[DISPID_FONT].pdispVal, host->OleFont());
  // The control changing the font it was given: the host's font follows, nothing is written back.
  IFont* font = AsFont(host->OleFont());
  ASSERT_NE(font, nullptr);
  writes = LoggedCalls("Invoke(").size();
  font->put_Underline(TRUE);
  EXPECT_EQ(host->Font().Style(), static_cast<unsigned>(fsItalic | fsUnderline));
  EXPECT_EQ(LoggedCalls("Invoke(").size(), writes);
  // Reported back as the control's font property: our own font is not read back over the
  // framework font.
  const std::string name = host->Font().Name();
  IPropertyNotifySink* sink = host;
  EXPECT_EQ(sink->OnChanged(DISPID_FONT), S_OK);
  EXPECT_EQ(host->Font().Name(), name);
  font->Release();
  TObject::Free(host);
}

const DISPID kPictureIds[3] = {20, 21, 20};
TControlDescriptor withPictures{
    kTestControlClassId, kTestEventsId, 0, kEventIds, 0, 401, 0, kEventIds, 3, kPictureIds, 0, 0, nullptr, 0};

TEST_F(SiteServicesTest, AChangedPictureIsSharedByItsPropertysPicturesAndWrittenOnceByReference) {
  auto* host = new TEventOle(form_, withPictures);
  host->SetParent(form_);
  host->EnsureControl();
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = CreateBitmap(2, 2, 1, 1, nullptr);
  IDispatch* picture = nullptr;
  ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&picture)), S_OK);

  host->Pictures(0).SetOlePicture(picture);
  EXPECT_EQ(host->Pictures(2).OlePicture(), picture) << "same dispatch ID";
  EXPECT_EQ(host->Pictures(1).OlePicture(), nullptr);
  EXPECT_EQ(LoggedCalls("Invoke(20)").size(), 1u);
  EXPECT_TRUE(LoggedCalls("Invoke(21)").empty());
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUTREF);
  ASSERT_EQ(TestProperties()[20].vt, VT_DISPATCH);
  EXPECT_EQ(TestProperties()[20].pdispVal, picture);
  // A picture without an OLE picture is not written.
  host->Pictures(1).SetOlePicture(nullptr);
  host->Pictures(0).SetOlePicture(nullptr);
  EXPECT_EQ(LoggedCalls("Invoke(20)").size(), 1u);
  TObject::Free(host);
  picture->Release();
}

}  // namespace
