// The viewer control's COM object: one object answering the interfaces an ActiveX container
// uses (IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IPersistStreamInit,
// IOleControl, IViewObject2, ISupportErrorInfo) and the dispatch interface _DPdf with `src` (1), `OpenDocument`
// (2), and for callers that want to wait for the screen, `pageCount` (3) and `busy` (4).
// For hosts that drive the reader's tools: `currentPage` (5, get/put, from 1), `zoom` (6,
// get/put, percent; 0 fits the width), `find(text, forward)` (7, true when a match was found
// and shown), `selectedText` (8, get) and `print(from, to)` (9: pages from 1, to the default
// printer without a dialog; true when printed, an exception with the reason when not).
// The window and the rendering worker are made on first need and released by Close.
#pragma once

#include "pdfcontrol/ReaderTools.h"
#include "pdfcontrol/RendererClient.h"
#include "pdfcontrol/ViewerWindow.h"

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>

namespace pdfview {

// {CA8A9780-280D-11CF-A24D-444553540000}
inline constexpr CLSID kControlClassId = {0xCA8A9780, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {CA8A9781-280D-11CF-A24D-444553540000}
inline constexpr IID kDPdfId = {0xCA8A9781, 0x280D, 0x11CF, {0xA2, 0x4D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

enum DispatchId : DISPID {
  kDispSrc = 1,
  kDispOpenDocument = 2,
  kDispPageCount = 3,
  kDispBusy = 4,
  kDispCurrentPage = 5,
  kDispZoom = 6,
  kDispFind = 7,
  kDispSelectedText = 8,
  kDispPrint = 9,
#ifdef FOLVANE_TEST_SEAMS
  // Test builds only: what both sides hold of pages' text, as "<control bytes> <budget>
  // <worker bytes> <budget>" (get); the control's budget in bytes (put).
  kDispTextHeld = 100,
#endif
};

// The persisted state: a format word, the extent in HIMETRIC, five reserved bytes.
constexpr ULONG kStateSize = 17;
constexpr DWORD kStateFormat = 0x00050000;

// Live objects and server locks, for DllCanUnloadNow.
extern LONG serverLocks;

class PdfControl final : public IDispatch,
                         public IOleObject,
                         public IOleInPlaceObject,
                         public IOleInPlaceActiveObject,
                         public IPersistStreamInit,
                         public IOleControl,
                         public IViewObject2,
                         public ISupportErrorInfo {
 public:
  PdfControl();
  PdfControl(const PdfControl&) = delete;
  PdfControl& operator=(const PdfControl&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch (_DPdf)
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT bounds) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow (for both in-place interfaces)
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceObject
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IPersistStreamInit
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc, HDC dc,
                    LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                    ULONG_PTR argument) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                           LOGPALETTE** colours) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* cookie) override;
  STDMETHODIMP Unfreeze(DWORD cookie) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // Opens a document, or shows why it cannot be shown; true when it opened.
  bool OpenDocument(const std::wstring& path);

 private:
  ~PdfControl();
  void EnsureViewer();
  bool OpenAndShow(const std::wstring& path);
  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT bounds, bool uiActivate);
  void UIActivate();
  // A failure that the caller is told the reason of.
  struct Failure {
    HRESULT code = S_OK;
    std::wstring reason;
  };
  HRESULT Dispatch(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError, Failure& failure);
  HRESULT InvokeSrc(WORD flags, DISPPARAMS* params, VARIANT* result, Failure& failure);
  HRESULT InvokeOpen(WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError);
  HRESULT InvokeReader(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError);
  HRESULT InvokePrint(WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError, Failure& failure);
#ifdef FOLVANE_TEST_SEAMS
  HRESULT InvokeTextHeld(WORD flags, DISPPARAMS* params, VARIANT* result);
#endif

  LONG refs_ = 1;
  IOleClientSite* clientSite_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  IOleInPlaceFrame* frame_ = nullptr;
  IOleInPlaceUIWindow* uiWindow_ = nullptr;
  IOleAdviseHolder* adviseHolder_ = nullptr;
  IAdviseSink* viewSink_ = nullptr;
  DWORD viewAspects_ = 0, viewFlags_ = 0;
  SIZEL extent_ = {16378, 14658};
  bool initialized_ = false;
  bool dirty_ = false;
  bool uiActive_ = false;
  std::unique_ptr<RendererClient> renderer_;
  std::unique_ptr<ViewerWindow> viewer_;
  std::unique_ptr<ReaderTools> tools_;  // after the window it extends, so gone before it
  // Where each document was left, for the life of the control; keys are folded paths.
  std::map<std::wstring, SavedView> views_;
  std::wstring src_;
};

// The rendering worker, beside the DLL.
std::wstring WorkerPath();

}  // namespace pdfview
