// The embedded control site: a windowed component that creates one COM control, feeds it its
// stored state, acts as its container, activates it in place and takes its window as its own.
//
//   TControlDescriptor   what a wrapper class tells the host about its control
//   TInterfacePtr<T>     an owned COM interface reference, released once
//   TEventDispatch       the sink that receives the control's events
//   TOleControl          the host; wrappers derive from it and describe their control
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <memory>
#include <vector>

#include "viewerhost/ComObj.h"
#include "framework/Controls.h"
#include "framework/Pictures.h"

struct TControlDescriptor {
  GUID ClassId;
  GUID EventIid;
  std::int32_t EventCount;
  const DISPID* EventDispIds;
  std::uint32_t Flags;
  std::int32_t Version;
  std::int32_t FontCount;
  const DISPID* FontDispIds;
  std::int32_t PictureCount;
  const DISPID* PictureDispIds;
  std::int32_t SiteOptions;
  std::int32_t InstanceCount;
  std::vector<std::unique_ptr<TObject>>* PropertyDescriptions;
  std::uint32_t FirstEventOffset;
};

// Mirrored host state (TControlDescriptor.Flags).
constexpr std::uint32_t cfBackColor = 1;
constexpr std::uint32_t cfForeColor = 2;
constexpr std::uint32_t cfFont = 4;
constexpr std::uint32_t cfEnabled = 8;
constexpr std::uint32_t cfCaption = 16;
constexpr std::uint32_t cfText = 32;
// TControlDescriptor.SiteOptions.
constexpr std::int32_t soClientSiteAlways = 1;
constexpr std::int32_t soClientSiteNever = 2;

template <class T>
class TInterfacePtr {
 public:
  TInterfacePtr() = default;
  TInterfacePtr(const TInterfacePtr&) = delete;
  TInterfacePtr& operator=(const TInterfacePtr&) = delete;
  ~TInterfacePtr() { Release(); }
  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For out parameters: releases what is held first.
  T** Put() {
    Release();
    return &ptr_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Release() {
    if (ptr_) {
      T* p = ptr_;
      ptr_ = nullptr;
      p->Release();
    }
  }

 private:
  T* ptr_ = nullptr;
};

class TOleControl;
class TFontAdapter;

// A sink object that the host hands to its control: it counts its own references (and, while
// attached, the host's), because the control may hold it, and be inside a call on it, after
// the host is gone. The host owns one reference and detaches at teardown; later calls are
// answered harmlessly and the sink goes with the control's last reference.
template <class Interface>
class TDetachableSink : public Interface {
 public:
  explicit TDetachableSink(TOleControl* control) : control_(control) {}
  TDetachableSink(const TDetachableSink&) = delete;
  TDetachableSink& operator=(const TDetachableSink&) = delete;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  void Detach();
  // For the host's owning pointer.
  struct Detacher {
    void operator()(TDetachableSink* sink) const { sink->Detach(); }
  };

 protected:
  virtual ~TDetachableSink() = default;
  TOleControl* control_;  // none once the host is gone

 private:
  ULONG refs_ = 1;  // the host's own
};

// One argument of a control event as a handler receives it, in declaration order: the
// variant type, and the 32-bit value, the 8-byte value (VT_R8, VT_CY, VT_DATE), the pointer
// (by-reference arguments, and the VARIANTARG itself for arrays) or, in the older delivery,
// an 8-bit copy of a string that the handler may change.
struct TOleEventArg {
  VARTYPE Type = VT_EMPTY;
  std::uint32_t Value32 = 0;
  std::uint64_t Value64 = 0;
  void* Ref = nullptr;
  std::string Ansi;
};
using TOleEventHandler = std::function<void(TObject* sender, std::vector<TOleEventArg>& args)>;

// The control's events arrive here.
class TEventDispatch final : public TDetachableSink<IDispatch> {
 public:
  using TDetachableSink::TDetachableSink;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* argError) override;
};

// The control's property changes arrive here and go on to the host's IPropertyNotifySink.
class TPropertySink final : public TDetachableSink<IPropertyNotifySink> {
 public:
  using TDetachableSink::TDetachableSink;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID id) override;
};

// IOleInPlaceFrame and IOleInPlaceSite both inherit IOleWindow::GetWindow and answer it
// differently; these give each its own slot.
class TInPlaceFrameSlot : public IOleInPlaceFrame {
 public:
  STDMETHODIMP GetWindow(HWND* window) final { return FrameGetWindow(window); }

 protected:
  virtual HRESULT FrameGetWindow(HWND* window) = 0;
};

class TInPlaceSiteSlot : public IOleInPlaceSite {
 public:
  STDMETHODIMP GetWindow(HWND* window) final { return SiteGetWindow(window); }

 protected:
  virtual HRESULT SiteGetWindow(HWND* window) = 0;
};

class TOleControl : public TWinControl,
                    public ISimpleFrameSite,
                    public IPropertyNotifySink,
                    public IDispatch,
                    public TInPlaceFrameSlot,
                    public TInPlaceSiteSlot,
                    public IOleControlSite,
                    public IOleClientSite {
 public:
  ~TOleControl() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TOleControl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  // Completes the control: loads its state, takes its interfaces, connects the sinks.
  void EnsureControl();
  // The control's IDispatch in a VT_DISPATCH variant (the caller clears it).
  VARIANT OleObject();

  // Property access by dispatch ID; failures raise the mapped exception.
  void ReadDispProperty(DISPID id, VARIANT& value);
  void WriteDispProperty(DISPID id, const VARIANT& value);
  int GetIntegerProp(DISPID id);
  bool GetWordBoolProp(DISPID id);
  // The caller clears the variant.
  VARIANT GetVariantProp(DISPID id);
  std::string GetStringProp(DISPID id);
  // Reads a font-typed property into `font` through the font adapter.
  void GetFontProp(DISPID id, TFont& font);
  // The caller owns the returned BSTR.
  BSTR GetWideStringProp(DISPID id);
  void SetIntegerProp(DISPID id, int value);
  void SetWordBoolProp(DISPID id, bool value);
  void SetInterfaceProp(DISPID id, IDispatch* value);
  void SetStringProp(DISPID id, const std::string& value);
  void SetWideStringProp(DISPID id, BSTR value);
  void SetVariantProp(DISPID id, const VARIANT& value);

  // The stored binary property: the control's persisted bytes, when it has a control object.
  bool ControlDataStored() const { return static_cast<bool>(controlObject_); }
  std::vector<std::uint8_t> ControlData();
  // What reading ControlData does with the bytes: a failure leaves no stored state.
  void SetStoredState(const std::vector<std::uint8_t>& bytes);
  HGLOBAL StoredState() const { return storedState_; }

  // The window used as parent when the host has no parent component.
  HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND window) { parentWindow_ = window; }

  ULONG RefCount() const { return refCount_; }
  // The pictures of the descriptor's picture-typed properties, one per PictureDispIds entry.
  TPicture& Pictures(int index) { return *pictures_.at(static_cast<std::size_t>(index)); }
  // The OLE font kept in step with the host's own font; made on first use.
  IFontDisp* OleFont();
  DWORD MiscStatus() const { return miscStatus_; }
  IOleObject* ControlObject() const { return controlObject_.Get(); }
  IOleControl* ControlIntf() const { return controlIntf_.Get(); }
  IDispatch* ControlDispatch() const { return controlDispatch_.Get(); }
  IOleInPlaceObject* InPlaceObject() const { return inPlaceObject_.Get(); }
  IOleInPlaceActiveObject* InPlaceActiveObject() const { return inPlaceActiveObject_.Get(); }
  DWORD PropertySinkCookie() const { return propertySinkCookie_; }
  DWORD EventSinkCookie() const { return eventSinkCookie_; }
  WNDPROC ControlWindowProc() const { return HandleAllocated() ? DefWndProc() : nullptr; }
  const TControlDescriptor* Descriptor() const { return descriptor_; }
  TEventDispatch* EventSink() const { return eventSink_.get(); }
  // The wrapper's handler slots, one per entry of the descriptor's EventDispIds.
  std::vector<TOleEventHandler>& EventHandlers() { return eventHandlers_; }

  void SetBounds(int left, int top, int width, int height) override;
  // With a window, the control realises its own palette first.
  bool PaletteChanged(bool foreground) override;
  void SetParent(TWinControl* parent) override;
  void SetName(const std::string& name) override;
  void SetEnabled(bool enabled) override;
  void CreateWnd() override;
  void DestroyWindowHandle() override;
  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

  // IUnknown (one reference count for every site interface)
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // ISimpleFrameSite
  STDMETHODIMP PreMessageFilter(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD* cookie) override;
  STDMETHODIMP PostMessageFilter(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD cookie) override;
  // IPropertyNotifySink: the entries call these slots.
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID id) override;
  // IDispatch: ambient properties
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* argError) override;
  // IOleInPlaceFrame (GetWindow through FrameGetWindow)
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  STDMETHODIMP GetBorder(LPRECT border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
  STDMETHODIMP InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
  STDMETHODIMP RemoveMenus(HMENU shared) override;
  STDMETHODIMP SetStatusText(LPCOLESTR text) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP TranslateAccelerator(LPMSG msg, WORD id) override;
  // IOleInPlaceSite (GetWindow through SiteGetWindow)
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO frameInfo) override;
  STDMETHODIMP Scroll(SIZE extent) override;
  STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT position) override;
  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override;
  STDMETHODIMP LockInPlaceActive(BOOL lock) override;
  STDMETHODIMP GetExtendedControl(IDispatch** control) override;
  STDMETHODIMP TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
  STDMETHODIMP TranslateAccelerator(MSG* msg, DWORD modifiers) override;
  STDMETHODIMP OnFocus(BOOL gotFocus) override;
  STDMETHODIMP ShowPropertyFrame() override;
  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL show) override;
  STDMETHODIMP RequestNewObjectLayout() override;

 protected:
  // A wrapper hands over its class's descriptor (from its DescribeControl): a base
  // constructor cannot reach the wrapper's overrides, so it comes as an argument.
  TOleControl(TComponent* owner, TControlDescriptor& descriptor);
  // Called with the new control object. Runs during the host's construction, so only the
  // host's own (empty) version is reached from there.
  virtual void ControlObjectCreated(IUnknown* object) { (void)object; }
  // Standard control events become the framework's input notifications.
  void DispatchStandardEvent(DISPID id, DISPPARAMS* params);
  // Other events go to the handler slot of their dispatch ID, if any.
  void DispatchControlEvent(DISPID id, DISPPARAMS* params);
  int FindEventHandler(DISPID id) const;

  // Host state mirrored into the control, as the descriptor's flags ask.
  void ColorChanged() override;
  void FontChanged() override;

  HRESULT FrameGetWindow(HWND* window) override;
  HRESULT SiteGetWindow(HWND* window) override;

 private:
  friend class TEventDispatch;
  void CreateControlObject();
  // Sizes the host to the control's extent; failures of the layout itself are raised.
  HRESULT LayOutToExtent();
  void EnsureClientSite();
  // A property change reported by the control: the control's own errors are swallowed, others
  // go on to the caller.
  void PropertyChanged(DISPID id);
  void ReleaseControlLinks();
  void ConnectSink(REFIID iid, IUnknown* sink, DWORD& cookie);
  void DisconnectSink(REFIID iid, DWORD& cookie);
  void AdoptControlWindow();
  void FreeStoredState();
  HGLOBAL SaveStoredState();
  void MarkUIActive(bool active);
  void UIActivate();
  void UIDeactivate();
  void RemoveSharedMenu();
  HWND ParentHandle();
  HWND TopLevelWindow();
  bool InvisibleAtRunTime() const { return (miscStatus_ & OLEMISC_INVISIBLEATRUNTIME) != 0; }
  bool SimpleFrame() const { return (miscStatus_ & OLEMISC_SIMPLEFRAME) != 0; }
  void AmbientChanged(DISPID id);
  TFontAdapter& OwnFontAdapter();
  void PictureChanged(TPicture& picture);
  TFontAdapter& ParentFontAdapter();

  TControlDescriptor* descriptor_ = nullptr;
  ULONG refCount_ = 0;
  std::unique_ptr<TEventDispatch, TEventDispatch::Detacher> eventSink_;
  std::unique_ptr<TPropertySink, TPropertySink::Detacher> propertySink_;
  HGLOBAL storedState_ = nullptr;
  TInterfacePtr<IOleObject> controlObject_;
  TInterfacePtr<IPersistStreamInit> persistence_;
  TInterfacePtr<IOleControl> controlIntf_;
  TInterfacePtr<IDispatch> controlDispatch_;
  TInterfacePtr<IPerPropertyBrowsing> propertyBrowsing_;
  TInterfacePtr<IOleInPlaceObject> inPlaceObject_;
  TInterfacePtr<IOleInPlaceActiveObject> inPlaceActiveObject_;
  DWORD propertySinkCookie_ = 0;
  DWORD eventSinkCookie_ = 0;
  DWORD miscStatus_ = 0;
  std::vector<std::unique_ptr<TFont>> fonts_;
  std::unique_ptr<TFontAdapter> fontAdapter_;
  std::vector<std::unique_ptr<TPicture>> pictures_;
  std::unique_ptr<TFontAdapter> parentFontAdapter_;
  std::vector<TOleEventHandler> eventHandlers_;
  bool updatingPictures_ = false;
  bool updatingColor_ = false;
  bool updatingFont_ = false;
  bool updatingEnabled_ = false;
  bool uiActivating_ = false;
  bool counted_ = false;
  bool tornDown_ = false;
  bool stateInitialised_ = false;
  HWND parentWindow_ = nullptr;
};
