// The embedded control site driven as a form drives it: construction, completion, activation,
// sizing, property access, the site's answers and the ordered teardown, checked against what
// the recording test control received.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "tests/support/WindowTesting.h"
#include "viewerhost/OleCtrls.h"
#include "tests/viewerhost/TestControl.h"

namespace {

const DISPID kNoDispIds[1] = {0};
TControlDescriptor testDescriptor{
    kTestControlClassId, kTestEventsId, 0, kNoDispIds, 0, 401, 0, kNoDispIds, 0, kNoDispIds, 0, 0, nullptr, 0};

class TTestOle : public TOleControl {
 public:
  explicit TTestOle(TComponent* owner) : TOleControl(owner, DescribeControl()) {}
  static TControlDescriptor& DescribeControl() { return testDescriptor; }
  std::string ClassName() const override { return "TTestOle"; }
};

class TPlainForm : public TForm {
 public:
  using TForm::TForm;
  std::string ClassName() const override { return "TPlainForm"; }
};

class OleControlTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestControl();
    form_ = new TPlainForm(Application);
    // No window yet: a parent with a window makes a new child's window at once.
    form_->SetBounds(10, 10, 400, 300);
  }
  void TearDown() override {
    TObject::Free(form_);
    EXPECT_EQ(LiveTestControls(), 0) << "a control object was not released";
    EXPECT_EQ(testDescriptor.InstanceCount, 0);
  }
  // A host on the form, completed and in-place active.
  TTestOle* ActiveHost() {
    auto* host = new TTestOle(form_);
    host->SetParent(form_);
    host->HandleNeeded();
    return host;
  }
  TPlainForm* form_ = nullptr;
};

std::vector<std::string> CallsAfter(std::size_t start) {
  const auto& log = TestControlLog();
  return std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(start), log.end());
}

using Calls = std::vector<std::string>;

TEST_F(OleControlTest, ConstructionPlacementCompletionAndActivationCallTheControlInOrder) {
  auto* host = new TTestOle(form_);
  EXPECT_EQ(TestControlLog(), (Calls{"GetMiscStatus", "GetExtent"}));
  EXPECT_EQ(host->Width(), 100);
  EXPECT_EQ(host->Height(), 50);
  EXPECT_TRUE(host->TabStop());
  EXPECT_EQ(testDescriptor.InstanceCount, 1);

  std::size_t mark = TestControlLog().size();
  host->SetLeft(8);
  host->SetParent(form_);
  EXPECT_EQ(CallsAfter(mark), (Calls{"GetClientSite", "SetClientSite(site)"}));

  mark = TestControlLog().size();
  HWND window = host->Handle();
  EXPECT_EQ(CallsAfter(mark),
            (Calls{"GetClientSite", "InitNew", "Advise PropertyNotifySink", "Advise Events",
                   "OnAmbientPropertyChange(-1)", "GetExtent", "DoVerb(-5, 8,0,108,50)", "GetWindow"}));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), form_->Handle());
  EXPECT_EQ(TWinControl::FindControl(window), host);
  EXPECT_NE(host->InPlaceObject(), nullptr);
  EXPECT_NE(host->InPlaceActiveObject(), nullptr);
  EXPECT_NE(host->PropertySinkCookie(), 0u);
  EXPECT_NE(host->EventSinkCookie(), 0u);
}

TEST_F(OleControlTest, AControlAskingForItsSiteFirstGetsItOnceInTheConstructor) {
  TestConfig().miscStatus = OLEMISC_SETCLIENTSITEFIRST;
  auto* host = new TTestOle(form_);
  EXPECT_EQ(TestControlLog(), (Calls{"GetMiscStatus", "SetClientSite(site)", "GetExtent"}));
  host->SetParent(form_);
  EXPECT_EQ(LoggedCalls("SetClientSite").size(), 1u);
  host->EnsureControl();
  EXPECT_EQ(LoggedCalls("SetClientSite").size(), 1u);
}

TEST_F(OleControlTest, StoredStateIsLoadedAndFreedElseTheControlStartsNew) {
  auto* host = new TTestOle(form_);
  host->SetParent(form_);
  host->SetStoredState({0x00, 0x00, 0x05, 0x00, 0xFA, 0x3F});
  ASSERT_NE(host->StoredState(), nullptr);
  host->EnsureControl();
  EXPECT_TRUE(Logged("Load(00000500FA3F)"));
  EXPECT_FALSE(Logged("InitNew"));
  EXPECT_EQ(host->StoredState(), nullptr);

  auto* fresh = new TTestOle(form_);
  fresh->SetParent(form_);
  fresh->EnsureControl();
  EXPECT_TRUE(Logged("InitNew"));
}

TEST_F(OleControlTest, ControlDataIsTheStoredBytesOrWhatTheControlSaves) {
  auto* host = new TTestOle(form_);
  host->SetParent(form_);
  EXPECT_TRUE(host->ControlDataStored());
  host->SetStoredState({1, 2, 3});
  EXPECT_EQ(host->ControlData(), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(Logged("Save(clear)"));
  host->EnsureControl();
  std::vector<std::uint8_t> saved = host->ControlData();
  EXPECT_EQ(std::string(saved.begin(), saved.end()), "STATE");
  EXPECT_TRUE(Logged("Save(clear)"));
  EXPECT_EQ(host->StoredState(), nullptr);
}

TEST_F(OleControlTest, SizingGoesThroughTheExtentInHimetric) {
  TTestOle* host = ActiveHost();
  std::size_t mark = TestControlLog().size();
  host->SetBounds(host->Left(), host->Top(), 100, 50);
  host->SetBounds(20, 30, 100, 50);
  EXPECT_TRUE(LoggedCalls("SetExtent").empty());
  RECT r;
  GetWindowRect(host->Handle(), &r);
  MapWindowPoints(HWND_DESKTOP, form_->Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 30);

  host->SetBounds(20, 30, 201, 99);
  EXPECT_EQ(CallsAfter(mark), (Calls{"SetExtent(5318,2619)"}));
  EXPECT_EQ(host->Width(), 201);
  EXPECT_EQ(host->Height(), 99);
}

TEST_F(OleControlTest, ARefusedExtentKeepsTheSizeButMovesTheWindow) {
  TTestOle* host = ActiveHost();
  TestConfig().failSetExtent = true;
  host->SetBounds(40, 45, 300, 200);
  EXPECT_EQ(LoggedCalls("SetExtent").size(), 1u);
  EXPECT_EQ(host->Left(), 40);
  EXPECT_EQ(host->Top(), 45);
  EXPECT_EQ(host->Width(), 100);
  EXPECT_EQ(host->Height(), 50);
  RECT r;
  GetWindowRect(host->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 100);
}

TEST_F(OleControlTest, AnInvisibleAtRunTimeControlIsHiddenCappedAndNeverActivated) {
  TestConfig().miscStatus = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_ACTSLIKELABEL;
  auto* host = new TTestOle(form_);
  EXPECT_FALSE(host->Visible());
  EXPECT_FALSE(host->TabStop());
  EXPECT_EQ(host->Width(), 32);
  EXPECT_EQ(host->Height(), 32);
  host->SetParent(form_);
  host->SetBounds(3, 4, 200, 100);
  EXPECT_EQ(host->Left(), 3);
  EXPECT_EQ(host->Width(), 32);
  EXPECT_EQ(host->Height(), 32);
  EXPECT_TRUE(LoggedCalls("SetExtent").empty());
  host->HandleNeeded();
  EXPECT_TRUE(host->HandleAllocated());
  EXPECT_TRUE(LoggedCalls("DoVerb").empty());
  EXPECT_EQ(host->InPlaceObject(), nullptr);
  char name[32] = {};
  GetClassNameA(host->Handle(), name, sizeof name);
  EXPECT_STREQ(name, "TTestOle");
}

TEST_F(OleControlTest, ActivationFailuresRaiseTheirMessagesAndLeaveNoWindow) {
  struct Case {
    bool noInPlace;
    bool noWindow;
    const char* message;
  };
  for (Case c : {Case{true, false, "OLE control activation failed"},
                 Case{false, true, "Could not obtain OLE control window handle"}}) {
    ResetTestControl();
    TestConfig().noInPlace = c.noInPlace;
    TestConfig().noWindow = c.noWindow;
    auto* host = new TTestOle(form_);
    try {
      host->SetParent(form_);
      host->HandleNeeded();
      FAIL() << c.message;
    } catch (const EOleSysError&) {
      FAIL() << "plain EOleError expected";
    } catch (const EOleError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_FALSE(host->HandleAllocated());
    TObject::Free(host);
  }
}

TEST_F(OleControlTest, AControlWithoutOleControlOrDispatchFailsCompletionAndCanTryAgain) {
  for (int missing = 0; missing < 2; ++missing) {
    ResetTestControl();
    TestConfig().noOleControl = missing == 0;
    TestConfig().noDispatch = missing == 1;
    auto* host = new TTestOle(form_);
    host->SetParent(form_);
    try {
      host->EnsureControl();
      FAIL();
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.ResultCode(), E_NOINTERFACE);
      EXPECT_EQ(e.Message(), "OLE error 80004002");
    }
    EXPECT_EQ(host->ControlIntf(), nullptr);
    EXPECT_EQ(host->ControlDispatch(), nullptr);
    EXPECT_TRUE(LoggedCalls("Advise").empty());
    TestConfig().noOleControl = TestConfig().noDispatch = false;
    host->EnsureControl();
    EXPECT_NE(host->ControlIntf(), nullptr);
    EXPECT_EQ(LoggedCalls("InitNew").size(), 1u) << "initialised again after the failed attempt";
    TObject::Free(host);
  }
}

TEST_F(OleControlTest, AFailedCreationEndsConstructionWithTheComResult) {
  TestConfig().failCreate = true;
  int components = form_->ComponentCount();
  try {
    new TTestOle(form_);
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ResultCode(), E_OUTOFMEMORY);
  }
  EXPECT_EQ(form_->ComponentCount(), components);
  EXPECT_EQ(testDescriptor.InstanceCount, 0);
}

TEST_F(OleControlTest, DestructionClosesDisconnectsAndReleasesInOrder) {
  TTestOle* host = ActiveHost();
  std::size_t mark = TestControlLog().size();
  TObject::Free(host);
  EXPECT_EQ(CallsAfter(mark),
            (Calls{"Close(1)", "Unadvise Events", "Unadvise PropertyNotifySink", "SetClientSite(null)", "Destroyed"}));
  EXPECT_EQ(testDescriptor.InstanceCount, 0);
}

TEST_F(OleControlTest, AControlThatNeverCompletedIsNeverUnadvised) {
  auto* host = new TTestOle(form_);
  host->SetParent(form_);
  std::size_t mark = TestControlLog().size();
  TObject::Free(host);
  EXPECT_EQ(CallsAfter(mark), (Calls{"Close(1)", "SetClientSite(null)", "Destroyed"}));
}

TEST_F(OleControlTest, DestroyingTheWindowHandleClosesTheControlAndKeepsItsWindow) {
  TTestOle* host = ActiveHost();
  HWND window = host->Handle();
  WNDPROC own = host->ControlWindowProc();
  EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)), own);
  std::size_t mark = TestControlLog().size();
  host->DestroyHandle();
  EXPECT_EQ(CallsAfter(mark), (Calls{"Close(1)"}));
  EXPECT_FALSE(host->HandleAllocated());
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)), own);
  EXPECT_EQ(host->InPlaceObject(), nullptr);

  mark = TestControlLog().size();
  EXPECT_EQ(host->Handle(), window);
  EXPECT_EQ(CallsAfter(mark), (Calls{"DoVerb(-5, 0,0,100,50)", "GetWindow"}));
}

TEST_F(OleControlTest, ReferenceCountingNeverFreesTheHost) {
  auto* host = new TTestOle(form_);
  IOleClientSite* site = host;
  ULONG start = host->RefCount();
  EXPECT_EQ(site->AddRef(), start + 1);
  EXPECT_EQ(site->Release(), start);
  for (int i = 0; i < 3; ++i) site->Release();
  EXPECT_EQ(host->Name(), "");
  for (int i = 0; i < 3; ++i) site->AddRef();
  EXPECT_EQ(host->RefCount(), start);
  TObject::Free(host);
}

TEST_F(OleControlTest, QueryInterfaceAnswersTheSiteInterfacesOnly) {
  auto* host = new TTestOle(form_);
  IUnknown* unknown = static_cast<IOleClientSite*>(host);
  for (REFIID iid : {IID_IUnknown, IID_ISimpleFrameSite, IID_IPropertyNotifySink, IID_IDispatch, IID_IOleInPlaceFrame,
                     IID_IOleInPlaceSite, IID_IOleControlSite, IID_IOleClientSite}) {
    void* out = nullptr;
    EXPECT_EQ(unknown->QueryInterface(iid, &out), S_OK);
    EXPECT_NE(out, nullptr);
    if (out) static_cast<IUnknown*>(out)->Release();
  }
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(unknown->QueryInterface(IID_IOleObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  TObject::Free(host);
}

TEST_F(OleControlTest, ClientAndInPlaceSiteAnswers) {
  TTestOle* host = ActiveHost();
  IOleClientSite* client = host;
  IOleInPlaceSite* site = host;
  IOleInPlaceFrame* frame = host;
  IMoniker* moniker = reinterpret_cast<IMoniker*>(1);
  EXPECT_EQ(client->GetMoniker(0, 0, &moniker), E_NOTIMPL);
  EXPECT_EQ(moniker, nullptr);
  IOleContainer* container = reinterpret_cast<IOleContainer*>(1);
  EXPECT_EQ(client->GetContainer(&container), E_NOINTERFACE);
  EXPECT_EQ(container, nullptr);
  EXPECT_EQ(client->SaveObject(), S_OK);
  EXPECT_EQ(client->OnShowWindow(TRUE), S_OK);
  EXPECT_EQ(site->Scroll(SIZE{1, 1}), E_NOTIMPL);
  EXPECT_EQ(site->DiscardUndoState(), E_NOTIMPL);
  EXPECT_EQ(frame->GetBorder(nullptr), INPLACE_E_NOTOOLSPACE);
  EXPECT_EQ(frame->RequestBorderSpace(nullptr), INPLACE_E_NOTOOLSPACE);
  EXPECT_EQ(frame->SetBorderSpace(nullptr), E_NOTIMPL);
  EXPECT_EQ(frame->TranslateAccelerator(nullptr, 0), S_FALSE);

  HWND window = nullptr;
  EXPECT_EQ(site->GetWindow(&window), S_OK);
  EXPECT_EQ(window, form_->Handle());
  window = nullptr;
  EXPECT_EQ(frame->GetWindow(&window), S_OK);
  EXPECT_EQ(window, form_->Handle());

  host->SetBounds(5, 6, 100, 50);
  IOleInPlaceFrame* gotFrame = nullptr;
  IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(1);
  RECT position{}, clip{};
  OLEINPLACEFRAMEINFO info{};
  info.cb = 99;
  EXPECT_EQ(site->GetWindowContext(&gotFrame, &document, &position, &clip, &info), S_OK);
  EXPECT_EQ(gotFrame, frame);
  gotFrame->Release();
  EXPECT_EQ(document, nullptr);
  EXPECT_EQ(position.left, 5);
  EXPECT_EQ(position.top, 6);
  EXPECT_EQ(position.right, 105);
  EXPECT_EQ(position.bottom, 56);
  EXPECT_EQ(clip.right, 32767);
  EXPECT_EQ(clip.bottom, 32767);
  EXPECT_EQ(info.cb, 99u);
  EXPECT_FALSE(info.fMDIApp);
  EXPECT_EQ(info.hwndFrame, form_->Handle());
  EXPECT_EQ(info.haccel, nullptr);
  EXPECT_EQ(info.cAccelEntries, 0u);

  HMENU shared = CreateMenu();
  AppendMenuA(shared, MF_STRING, 1, "A");
  AppendMenuA(shared, MF_STRING, 2, "B");
  EXPECT_EQ(frame->RemoveMenus(shared), S_OK);
  EXPECT_EQ(GetMenuItemCount(shared), 0);
  DestroyMenu(shared);
}

TEST_F(OleControlTest, AHostWithoutParentWindowHasNoSiteWindow) {
  auto* host = new TTestOle(form_);
  IOleInPlaceSite* site = host;
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(site->GetWindow(&window), E_FAIL);
  EXPECT_EQ(window, nullptr);
  host->SetParentWindow(form_->Handle());
  EXPECT_EQ(site->GetWindow(&window), S_OK);
  EXPECT_EQ(window, form_->Handle());
  TObject::Free(host);
}

TEST_F(OleControlTest, AnInvisibleHostOnAHiddenFormKeepsTheControlWindowHidden) {
  auto* host = new TTestOle(form_);
  host->SetVisible(false);
  host->SetParent(form_);
  HWND window = host->Handle();
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE, 0);
  form_->Show();
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(OleControlTest, AWideStringReadReleasesAnAnswerThatIsNoString) {
  TTestOle* host = ActiveHost();
  IDispatch* control = host->ControlDispatch();
  VARIANT& slot = TestProperties()[60];
  VariantClear(&slot);
  slot.vt = VT_DISPATCH;
  slot.pdispVal = control;
  control->AddRef();
  control->AddRef();
  const ULONG before = control->Release();
  EXPECT_EQ(host->GetWideStringProp(60), nullptr);
  control->AddRef();
  EXPECT_EQ(control->Release(), before) << "the answered interface was kept";
  VariantClear(&slot);
}

TEST_F(OleControlTest, PropertyWritesAndReadsByDispatchId) {
  TTestOle* host = ActiveHost();
  host->SetWordBoolProp(50, true);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUT);
  ASSERT_EQ(LastInvoke().named.size(), 1u);
  EXPECT_EQ(LastInvoke().named[0], DISPID_PROPERTYPUT);
  EXPECT_EQ(LastInvoke().args[0].vt, VT_BOOL);
  EXPECT_EQ(LastInvoke().args[0].boolVal, VARIANT_TRUE);
  EXPECT_TRUE(host->GetWordBoolProp(50));
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(LastInvoke().args.empty());

  host->SetIntegerProp(51, -7);
  EXPECT_EQ(host->GetIntegerProp(51), -7);
  host->SetStringProp(52, "Folvane");
  EXPECT_EQ(host->GetStringProp(52), "Folvane");
  host->SetWideStringProp(53, nullptr);
  EXPECT_EQ(LastInvoke().args[0].vt, VT_BSTR);
  EXPECT_EQ(LastInvoke().args[0].bstrVal, nullptr);

  VARIANT object = host->OleObject();
  ASSERT_EQ(object.vt, VT_DISPATCH);
  host->SetInterfaceProp(54, object.pdispVal);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUTREF);
  VariantClear(&object);
  VariantClear(&TestProperties()[54]);  // the control must not keep a reference to itself
}

TEST_F(OleControlTest, FailedPropertyAccessRaisesTheMappedError) {
  TTestOle* host = ActiveHost();
  try {
    host->GetIntegerProp(kDispRaise);
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), "Page not found");
  }
  try {
    host->SetIntegerProp(kDispNoText, 1);
    FAIL();
  } catch (const EOleException&) {
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Message(), "OLE error 80040154");
  }
}

TEST_F(OleControlTest, ReflectedNotificationsAreRenumberedForTheControl) {
  TTestOle* host = ActiveHost();
  LRESULT result = host->Perform(CN_BASE + WM_COMMAND, 1, 0);
  EXPECT_EQ(result, 0x2A);
  ASSERT_EQ(ReflectedMessages().size(), 1u);
  EXPECT_EQ(ReflectedMessages()[0], 0x2000u + WM_COMMAND);
}

TEST_F(OleControlTest, TheFormAsksTheControlWindowToRealiseItsPaletteFirst) {
  TTestOle* host = ActiveHost();
  ASSERT_TRUE(host->HandleAllocated());
  TestControlLog().clear();
  EXPECT_EQ(SendMessageA(form_->Handle(), WM_QUERYNEWPALETTE, 0, 0), 0) << "nobody realised one";
  EXPECT_EQ(LoggedCalls("Window.QueryNewPalette").size(), 1u);
  TestConfig().realisesPalette = true;
  EXPECT_EQ(SendMessageA(form_->Handle(), WM_QUERYNEWPALETTE, 0, 0), 1);
  // In the background the control's window is not asked.
  TestControlLog().clear();
  SendMessageA(form_->Handle(), WM_PALETTECHANGED, 0, 0);
  EXPECT_TRUE(LoggedCalls("Window.QueryNewPalette").empty());
}

TEST_F(OleControlTest, KeyMessagesAreOfferedToTheActiveObjectAsAccelerators) {
  TTestOle* host = ActiveHost();
  EXPECT_EQ(host->Perform(CN_BASE + WM_KEYDOWN, VK_F2, 0), 1);
  EXPECT_TRUE(Logged("TranslateAccelerator(256,113)"));
  EXPECT_TRUE(ReflectedMessages().empty());
  host->Perform(CN_BASE + WM_KEYDOWN, VK_F3, 0);
  EXPECT_TRUE(Logged("TranslateAccelerator(256,114)"));
  ASSERT_EQ(ReflectedMessages().size(), 1u);
  EXPECT_EQ(ReflectedMessages()[0], 0x2000u + WM_KEYDOWN);
}

TEST_F(OleControlTest, MnemonicsOfTheControlAreAnsweredThroughItsAcceleratorTable) {
  TTestOle* host = ActiveHost();
  EXPECT_EQ(host->Perform(CM_DIALOGKEY, 'M', 0), 0) << "a host that cannot take the focus has no mnemonics";
  EXPECT_FALSE(Logged("GetControlInfo(16)"));
  form_->Show();
  ASSERT_TRUE(host->CanFocus());
  EXPECT_EQ(host->Perform(CM_DIALOGKEY, 'M', 0), 1);
  EXPECT_TRUE(Logged("GetControlInfo(16)"));
  EXPECT_TRUE(Logged("OnMnemonic(77)"));
  EXPECT_EQ(host->Perform(CM_DIALOGKEY, 'N', 0), 0);
  EXPECT_EQ(LoggedCalls("OnMnemonic").size(), 1u);
}

TEST_F(OleControlTest, UIActivationHoldsTheFormsSlotForOneHostAtATime) {
  TTestOle* first = ActiveHost();
  TTestOle* second = ActiveHost();
  IOleInPlaceSite* firstSite = first;
  IOleInPlaceSite* secondSite = second;
  EXPECT_EQ(firstSite->OnUIActivate(), S_OK);
  EXPECT_EQ(form_->ActiveEmbeddedControl(), first);
  std::size_t mark = TestControlLog().size();
  EXPECT_EQ(secondSite->OnUIActivate(), S_OK);
  EXPECT_EQ(CallsAfter(mark), (Calls{"UIDeactivate"}));
  EXPECT_EQ(form_->ActiveEmbeddedControl(), second);
  EXPECT_EQ(firstSite->OnUIDeactivate(FALSE), S_OK);
  EXPECT_EQ(form_->ActiveEmbeddedControl(), second);
  EXPECT_EQ(secondSite->OnUIDeactivate(FALSE), S_OK);
  EXPECT_EQ(form_->ActiveEmbeddedControl(), nullptr);
  secondSite->OnUIActivate();
  TObject::Free(second);
  EXPECT_EQ(form_->ActiveEmbeddedControl(), nullptr);
}

// A focusable plain control beside the hosts.
TWinControl* FocusableControl(TWinControl* parent, int top) {
  auto* control = new TWinControl(parent);
  control->SetBounds(200, top, 50, 20);
  control->SetTabStop(true);
  control->SetParent(parent);
  return control;
}

TEST_F(OleControlTest, FocusUIActivatesTheHostAndFocusElsewhereInTheFormDeactivatesIt) {
  for (bool controlReportsBack : {false, true}) {
    SCOPED_TRACE(controlReportsBack ? "the control calls OnUIDeactivate itself" : "the host does the work");
    ResetTestControl();
    TestConfig().reportUIDeactivate = controlReportsBack;
    TWinControl* other = FocusableControl(form_, 200);
    TTestOle* host = ActiveHost();
    form_->Show();
    PumpMessages();
    other->SetFocus();
    PumpMessages();
    ASSERT_EQ(form_->ActiveControl(), other);
    EXPECT_EQ(form_->ActiveEmbeddedControl(), nullptr);

    host->SetFocus();
    PumpMessages();
    EXPECT_EQ(LoggedCalls("DoVerb(-4").size(), 1u);
    EXPECT_EQ(form_->ActiveEmbeddedControl(), host);
    EXPECT_EQ(form_->ActiveControl(), host);

    other->SetFocus();
    PumpMessages();
    EXPECT_EQ(LoggedCalls("UIDeactivate").size(), 1u);
    EXPECT_EQ(form_->ActiveEmbeddedControl(), nullptr);

    // Back again: the control is asked to UI-activate anew.
    host->SetFocus();
    PumpMessages();
    EXPECT_EQ(LoggedCalls("DoVerb(-4").size(), 2u);
    EXPECT_EQ(form_->ActiveEmbeddedControl(), host);
    form_->Hide();
    TObject::Free(host);
    TObject::Free(other);
    EXPECT_EQ(form_->ActiveEmbeddedControl(), nullptr);
  }
}

TEST_F(OleControlTest, AUIActiveHostIsNotAskedAgainWhenItGetsTheFocusBack) {
  TTestOle* host = ActiveHost();
  form_->Show();
  PumpMessages();
  host->SetFocus();
  PumpMessages();
  ASSERT_EQ(form_->ActiveEmbeddedControl(), host);
  std::size_t verbs = LoggedCalls("DoVerb(-4").size();
  EXPECT_EQ(host->Perform(CM_UIACTIVATE), 0);
  EXPECT_EQ(LoggedCalls("DoVerb(-4").size(), verbs);
  // A deactivation notice for a host that does not hold the slot does nothing.
  IOleInPlaceSite* site = host;
  site->OnUIDeactivate(FALSE);
  std::size_t deactivations = LoggedCalls("UIDeactivate").size();
  host->Perform(CM_UIDEACTIVATE);
  EXPECT_EQ(LoggedCalls("UIDeactivate").size(), deactivations);
  form_->Hide();
}

TEST_F(OleControlTest, AMnemonicKeyTypedElsewhereInTheFormReachesTheControl) {
  TWinControl* other = FocusableControl(form_, 200);
  ActiveHost();
  form_->Show();
  PumpMessages();
  other->SetFocus();
  PumpMessages();
  // Typed without the test helpers' pumping: the application's own loop must see the key.
  const auto type = [](WORD key) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
  };
  type('M');
  MSG msg;
  DWORD start = GetTickCount();
  while (!Logged("OnMnemonic(77)") && GetTickCount() - start < 3000) {
    if (!Application->ProcessMessage(msg)) Sleep(10);
  }
  EXPECT_TRUE(Logged("OnMnemonic(77)"));
  // A key without a mnemonic goes on to the focused control.
  type('Q');
  start = GetTickCount();
  while (GetTickCount() - start < 300) {
    if (!Application->ProcessMessage(msg)) Sleep(10);
  }
  EXPECT_EQ(LoggedCalls("OnMnemonic").size(), 1u);
  form_->Hide();
}

TEST_F(OleControlTest, AnInvisibleAtRunTimeControlIsPaintedByTheHostWithOleDraw) {
  TestConfig().miscStatus = OLEMISC_INVISIBLEATRUNTIME;
  auto* host = new TTestOle(form_);
  host->SetParent(form_);
  host->HandleNeeded();

  // Into the device context given with the message.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 48, 48);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, 48, 48};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SendMessageA(host->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(memory), 0);
  EXPECT_TRUE(Logged("Draw(1, 0,0,32,32)"));
  EXPECT_EQ(GetPixel(memory, 1, 1), kDrawColor);
  EXPECT_EQ(GetPixel(memory, 31, 31), kDrawColor);
  EXPECT_EQ(GetPixel(memory, 40, 40), RGB(255, 255, 255)) << "drawn beyond the client rectangle";
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);

  // Through BeginPaint when the window is shown.
  host->SetVisible(true);
  form_->Show();
  PumpMessages();
  std::size_t draws = LoggedCalls("Draw(").size();
  InvalidateRect(host->Handle(), nullptr, TRUE);
  UpdateWindow(host->Handle());
  EXPECT_GT(LoggedCalls("Draw(").size(), draws);
  HDC dc = GetDC(host->Handle());
  EXPECT_EQ(GetPixel(dc, 16, 16), kDrawColor);
  ReleaseDC(host->Handle(), dc);
  RECT update;
  EXPECT_FALSE(GetUpdateRect(host->Handle(), &update, FALSE)) << "the paint did not end";
  form_->Hide();
}

TEST_F(OleControlTest, MouseAndKeyMessagesOfTheControlWindowRaiseNoFrameworkEvents) {
  TTestOle* host = ActiveHost();
  int events = 0;
  host->OnClick = [&](TObject*) { ++events; };
  host->OnMouseDown = [&](TObject*, TMouseButton, unsigned, int, int) { ++events; };
  host->OnMouseUp = [&](TObject*, TMouseButton, unsigned, int, int) { ++events; };
  host->OnMouseMove = [&](TObject*, unsigned, int, int) { ++events; };
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_KEYDOWN, WM_CHAR})
    SendMessageA(host->Handle(), msg, 0, MAKELPARAM(3, 4));
  EXPECT_EQ(events, 0);
  // They arrive as the control's events instead.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  host->EventSink()->Invoke(DISPID_CLICK, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  EXPECT_EQ(events, 1);
}

TEST_F(OleControlTest, WithoutAFormMainMenuTheSharedMenuMethodsChangeNothing) {
  TTestOle* host = ActiveHost();
  IOleInPlaceFrame* frame = host;
  IOleInPlaceSite* site = host;
  HMENU shared = CreateMenu();
  AppendMenuA(shared, MF_STRING, 1, "Control");
  OLEMENUGROUPWIDTHS widths{{1, 2, 3, 4, 5, 6}};
  EXPECT_EQ(frame->InsertMenus(shared, &widths), S_OK);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(widths.width[i], i + 1);
  EXPECT_EQ(GetMenuItemCount(shared), 1);
  HOLEMENU descriptor = OleCreateMenuDescriptor(shared, &widths);
  EXPECT_EQ(frame->SetMenu(shared, descriptor, host->Handle()), S_OK);
  EXPECT_EQ(GetMenu(form_->Handle()), nullptr);
  EXPECT_EQ(frame->SetMenu(nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(site->OnUIDeactivate(FALSE), S_OK);
  EXPECT_EQ(GetMenu(form_->Handle()), nullptr);
  OleDestroyMenuDescriptor(descriptor);
  EXPECT_EQ(frame->RemoveMenus(shared), S_OK);
  EXPECT_EQ(GetMenuItemCount(shared), 0);
  EXPECT_EQ(frame->RemoveMenus(shared), S_OK) << "an empty shared menu";
  DestroyMenu(shared);
}

}  // namespace
