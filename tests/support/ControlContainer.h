// A minimal ActiveX container for the viewer control's tests and benchmarks: a top-level window
// and one site object that answers IOleClientSite and IOleInPlaceSite and counts the control's
// calls back, plus helpers to call the control by dispatch ID, wait for it and take screenshots
// of its window.
#pragma once

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/WindowTesting.h"

namespace testhost {

inline constexpr CLSID kControlClassId = {0xCA8A9780, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID kDPdfId = {0xCA8A9781, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The control's stored state as the program's viewer window holds it.
inline const unsigned char kControlData[17] = {0x00, 0x00, 0x05, 0x00, 0xFA, 0x3F, 0x00, 0x00, 0x42,
                                               0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

class Site final : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit Site(HWND window) : window_(window) {}
  int in_place_activations = 0, in_place_deactivations = 0, ui_activations = 0;
  RECT position{};

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
    *m = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* w) override {
    *w = window_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override {
    ++ui_activations;
    return S_OK;
  }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override {
    ++in_place_deactivations;
    if (on_in_place_deactivate) on_in_place_deactivate();
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  std::function<void()> on_in_place_deactivate;
  // What the control's in-place object was when it called OnInPlaceActivate.
  IOleInPlaceObject* in_place_object = nullptr;

 private:
  HWND window_;
  ULONG refs_ = 1;
};

// A visible top-level window of the given client size, at the top left of the screen.
HWND CreateHostWindow(int width, int height);

// Creates the control as the program does: CoCreateInstance, client site, state, activation.
struct Control {
  IOleObject* object = nullptr;
  IDispatch* dispatch = nullptr;
  HWND window = nullptr;
  ~Control();
};
HRESULT CreateControl(Site& site, HWND host, const RECT& bounds, Control& out);

// One dispatch call with at most one argument; a property put names its argument.
HRESULT Call(IDispatch* control, DISPID id, WORD flags, VARIANT* argument, VARIANT* result);
bool OpenDocument(IDispatch* control, const std::wstring& path);
std::wstring Src(IDispatch* control);
int PageCount(IDispatch* control);
// Pumps messages until the control has painted all pages in view, then a little longer, so
// that a screenshot finds them on the screen.
bool WaitUntilShown(IDispatch* control, DWORD timeoutMs = 120000);
// The same, without the time for a screenshot.
bool WaitUntilPainted(IDispatch* control, DWORD timeoutMs = 120000);
void Pump(DWORD ms);

// The window's client area as it is on the screen, as 0x00RRGGBB pixels.
using Shot = ScreenPixels;
inline Shot Screenshot(HWND window) { return ReadClientPixels(window); }

bool IsRed(unsigned p);
bool IsWhite(unsigned p);
bool IsDark(unsigned p);
bool IsGrey(unsigned p);  // the viewer's background

// The rendering workers that this process started, by process ID.
std::vector<DWORD> WorkerProcesses();

// Kills this process's rendering workers, as a crash in the renderer would; how many.
int KillWorkers();

std::wstring TempFolder();
std::wstring WriteFile(const std::wstring& name, const std::string& data);

}  // namespace testhost
