// A COM control written for the host's tests: registered in the test process only, it records
// every call the host makes and fails on demand.
//
//   TestControlConfig   what the next control created does (failures, status, extent)
//   TestControlLog      the calls made to the controls, in order
//   TestControl         the control object
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <map>
#include <string>
#include <vector>

// {6A3F1C20-5B7E-4E21-9D4B-7F0C2A9E1B01}
inline constexpr CLSID kTestControlClassId = {
    0x6a3f1c20, 0x5b7e, 0x4e21, {0x9d, 0x4b, 0x7f, 0x0c, 0x2a, 0x9e, 0x1b, 0x01}};
// {6A3F1C21-5B7E-4E21-9D4B-7F0C2A9E1B01}: the control's event interface.
inline constexpr IID kTestEventsId = {0x6a3f1c21, 0x5b7e, 0x4e21, {0x9d, 0x4b, 0x7f, 0x0c, 0x2a, 0x9e, 0x1b, 0x01}};

// The viewer control's class and dispatch interface, played by the test control.
// {CA8A9780-280D-11CF-A24D-444553540000}
inline constexpr CLSID kViewerClassId = {0xCA8A9780, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {CA8A9781-280D-11CF-A24D-444553540000}
inline constexpr IID kViewerDispatchId = {0xCA8A9781, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// What IViewObject::Draw paints over the whole rectangle it is given.
constexpr COLORREF kDrawColor = RGB(0x20, 0xC0, 0x60);

// Dispatch IDs the test control answers specially.
constexpr DISPID kDispOpen = 2;  // true for a path, empty result for none, raises for "bad"

constexpr DISPID kDispRaise = 100;          // raises a dispatch exception
constexpr DISPID kDispFail = 101;           // fails with E_INVALIDARG
constexpr DISPID kDispLeaveEmpty = 102;     // succeeds and leaves the result empty
constexpr DISPID kDispNoText = 103;         // fails with 0x80040154 (no system text)
constexpr DISPID kDispClickThenWait = 104;  // fires a click, then runs a message loop of its own

struct TestControlConfig {
  bool noOleControl = false;
  bool noDispatch = false;
  bool noInPlace = false;  // never calls OnInPlaceActivate
  bool noWindow = false;   // IOleInPlaceObject::GetWindow gives no window
  bool failSetExtent = false;
  bool failCreate = false;
  bool noViewerDispatch = false;
  bool reportUIDeactivate = false;      // UIDeactivate calls the site's OnUIDeactivate, as real controls do
  bool realisesPalette = false;         // its window answers WM_QUERYNEWPALETTE with 1
  bool refuseUnadvise = false;          // Unadvise of the event sink fails and the sink stays held
  bool refusePropertyUnadvise = false;  // likewise for the property sink
  DWORD miscStatus = 0;
  SIZEL extent{2646, 1323};  // 100 x 50 pixels at 96 per inch
  std::string exceptionText = "Page not found. ";
};

TestControlConfig& TestConfig();
std::vector<std::string>& TestControlLog();
// Calls whose text starts with `prefix`, in order.
std::vector<std::string> LoggedCalls(const std::string& prefix);
bool Logged(const std::string& call);
// Objects alive and interface references held on them.
int LiveTestControls();

// What the last Invoke received.
struct InvokeRecord {
  DISPID id = 0;
  WORD flags = 0;
  std::vector<VARIANT> args;  // as they came, last argument first
  std::vector<DISPID> named;
  bool hadResult = false;
  bool hadExcepInfo = false;
};
InvokeRecord& LastInvoke();
// The property values the control holds by dispatch ID.
std::map<DISPID, VARIANT>& TestProperties();
// Messages of the reflection range (0x2000..0x2FFF) that reached the control's window.
std::vector<UINT>& ReflectedMessages();

// The control fires an event without arguments at the event sink it holds, as from its own
// code, holding a reference on the sink meanwhile as real controls do; S_FALSE when it holds
// none. The same for a property change reported to the property sink.
HRESULT FireControlEvent(IOleObject* control, DISPID id);
HRESULT FireControlPropertyChange(IOleObject* control, DISPID id);
// How many test controls were alive after the message loop of kDispClickThenWait.
int LiveAfterOwnLoop();

// Registers the class object in this process under both class IDs (once) and resets configuration and log.
void ResetTestControl();
// Withdraws the test control's claim on the viewer class ID, so that COM finds the registered
// stand-in viewer control; ResetTestControl puts the claim back.
void UseRealViewer();
