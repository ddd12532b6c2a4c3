// The embedded control site as the program sees it: construction, completion, in-place
// activation, sizing, property access and the ordered teardown. The interfaces that the control
// calls back into are answered in ControlSite.cpp.
#include "viewerhost/OleCtrls.h"

#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "viewerhost/FontAdapter.h"
#include "viewerhost/Himetric.h"
#include "framework/Forms.h"
#include "viewerhost/OleMessageTexts.h"
#include "framework/Streaming.h"

namespace {

constexpr UINT kReflectionShift = 0x9C00;
// Messages that the framework hands to a control before dispatching a key message.
constexpr UINT kFirstAcceleratorMsg = CN_BASE + WM_KEYDOWN;
constexpr UINT kLastAcceleratorMsg = CN_BASE + 0x108;

}  // namespace

// ---- The sinks

template <class Interface>
STDMETHODIMP_(ULONG)
TDetachableSink<Interface>::AddRef() {
  ++refs_;
  return control_ ? control_->AddRef() : refs_;
}

template <class Interface>
STDMETHODIMP_(ULONG)
TDetachableSink<Interface>::Release() {
  const ULONG hostCount = control_ ? control_->Release() : 0;
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return hostCount ? hostCount : left;
}

template <class Interface>
void TDetachableSink<Interface>::Detach() {
  control_ = nullptr;
  Release();
}

template class TDetachableSink<IDispatch>;
template class TDetachableSink<IPropertyNotifySink>;

STDMETHODIMP TPropertySink::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
    *out = static_cast<IPropertyNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TPropertySink::OnChanged(DISPID id) {
  TControlCall call;
  return control_ ? control_->OnChanged(id) : S_OK;
}

STDMETHODIMP TPropertySink::OnRequestEdit(DISPID id) { return control_ ? control_->OnRequestEdit(id) : S_OK; }

// ---- TOleControl: construction and teardown

TOleControl::TOleControl(TComponent* owner, TControlDescriptor& descriptor) : TWinControl(owner) {
  descriptor_ = &descriptor;
  ++descriptor_->InstanceCount;
  counted_ = true;
  bool siteSet = false;
  try {
    for (int i = 0; i < descriptor_->FontCount; ++i) fonts_.push_back(std::make_unique<TFont>());
    for (int i = 0; i < descriptor_->PictureCount; ++i) {
      pictures_.push_back(std::make_unique<TPicture>());
      TPicture* picture = pictures_.back().get();
      picture->OnChange = [this, picture](TObject*) { PictureChanged(*picture); };
    }
    eventHandlers_.resize(static_cast<std::size_t>(std::max(descriptor_->EventCount, 0)));
    eventSink_.reset(new TEventDispatch(this));
    propertySink_.reset(new TPropertySink(this));
    CreateControlObject();
    ControlObjectCreated(controlObject_.Get());
    OleCheck(controlObject_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_));
    if (!(descriptor_->SiteOptions & soClientSiteNever) &&
        ((miscStatus_ & OLEMISC_SETCLIENTSITEFIRST) || (descriptor_->SiteOptions & soClientSiteAlways))) {
      siteSet = true;
      OleCheck(controlObject_->SetClientSite(static_cast<IOleClientSite*>(this)));
    }
    OleCheck(controlObject_->QueryInterface(IID_IPersistStreamInit, persistence_.PutVoid()));
    if (InvisibleAtRunTime()) SetVisible(false);
    SetTabStop((miscStatus_ & (OLEMISC_ACTSLIKELABEL | OLEMISC_NOUIACTIVATE)) == 0);
    OleCheck(LayOutToExtent());
  } catch (...) {
    // The control must not keep a site that is about to disappear.
    if (siteSet && controlObject_) controlObject_->SetClientSite(nullptr);
    persistence_.Release();
    controlObject_.Release();
    --descriptor_->InstanceCount;
    counted_ = false;
    throw;
  }
}

void TOleControl::CreateControlObject() {
  OleCheck(CoCreateInstance(descriptor_->ClassId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                            controlObject_.PutVoid()));
}

void TOleControl::BeforeDestruction() {
  if (!tornDown_) {
    tornDown_ = true;
    MarkUIActive(false);
    // Giving the window back closes the control; without a window it is closed here.
    if (HandleAllocated() && !InvisibleAtRunTime()) DestroyHandle();
    else if (controlObject_) controlObject_->Close(OLECLOSE_NOSAVE);
    ReleaseControlLinks();
    FreeStoredState();
    persistence_.Release();
    if (controlObject_) controlObject_->SetClientSite(nullptr);
    controlObject_.Release();
    inPlaceActiveObject_.Release();
    inPlaceObject_.Release();
    // A control that refused to let go of a sink, or outlives the host, finds it detached.
    eventSink_.reset();
    propertySink_.reset();
    // Nothing outside reaches the host through COM any more.
    CoDisconnectObject(static_cast<ISimpleFrameSite*>(this), 0);
    fonts_.clear();
    pictures_.clear();
    // The control has let go of the OLE fonts by now; their connections end here.
    parentFontAdapter_.reset();
    fontAdapter_.reset();
    if (counted_) {
      counted_ = false;
      if (--descriptor_->InstanceCount == 0 && descriptor_->PropertyDescriptions)
        descriptor_->PropertyDescriptions->clear();
    }
  }
  TWinControl::BeforeDestruction();
}

TOleControl::~TOleControl() {
  if (counted_) --descriptor_->InstanceCount;
  FreeStoredState();
}

// ---- Client site, stored state, completion

void TOleControl::SetParent(TWinControl* parent) {
  if (parent != Parent()) parentFontAdapter_.reset();
  TWinControl::SetParent(parent);
  if (!parent) return;
  EnsureClientSite();
  AmbientChanged(DISPID_UNKNOWN);
}

void TOleControl::EnsureClientSite() {
  if (!controlObject_) return;
  IOleClientSite* site = nullptr;
  HRESULT hr = controlObject_->GetClientSite(&site);
  if (SUCCEEDED(hr) && site) {
    site->Release();
    return;
  }
  OleCheck(controlObject_->SetClientSite(static_cast<IOleClientSite*>(this)));
}

void TOleControl::AmbientChanged(DISPID id) {
  if (controlIntf_) controlIntf_->OnAmbientPropertyChange(id);
}

TFontAdapter& TOleControl::OwnFontAdapter() {
  if (!fontAdapter_) fontAdapter_ = std::make_unique<TFontAdapter>(Font());
  return *fontAdapter_;
}

TFontAdapter& TOleControl::ParentFontAdapter() {
  if (!parentFontAdapter_) parentFontAdapter_ = std::make_unique<TFontAdapter>(Parent()->Font());
  return *parentFontAdapter_;
}

IFontDisp* TOleControl::OleFont() { return OwnFontAdapter().OleFont(); }

bool TOleControl::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "ControlData") {
    SetStoredState(reader.ReadBinary());
    return true;
  }
  return TWinControl::ReadProperty(reader, name);
}

void TOleControl::SetStoredState(const std::vector<std::uint8_t>& bytes) {
  FreeStoredState();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return;
  if (!bytes.empty()) {
    void* p = GlobalLock(block);
    if (!p) {
      GlobalFree(block);
      return;
    }
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  storedState_ = block;
}

void TOleControl::FreeStoredState() {
  if (storedState_) GlobalFree(storedState_);
  storedState_ = nullptr;
}

HGLOBAL TOleControl::SaveStoredState() {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 0);
  if (!block) OleError(E_OUTOFMEMORY);
  TScopeExit freeBlock([&] { GlobalFree(block); });
  {
    TInterfacePtr<IStream> stream;
    OleCheck(CreateStreamOnHGlobal(block, FALSE, stream.Put()));
    OleCheck(persistence_->Save(stream.Get(), TRUE));
    HGLOBAL current = nullptr;
    if (SUCCEEDED(GetHGlobalFromStream(stream.Get(), &current)) && current) block = current;
  }
  freeBlock.Dismiss();
  return block;
}

std::vector<std::uint8_t> TOleControl::ControlData() {
  HGLOBAL made = nullptr;
  HGLOBAL block = storedState_;
  if (!block) block = made = SaveStoredState();
  std::vector<std::uint8_t> bytes(GlobalSize(block));
  if (!bytes.empty()) {
    if (void* p = GlobalLock(block)) {
      std::memcpy(bytes.data(), p, bytes.size());
      GlobalUnlock(block);
    }
  }
  if (made) GlobalFree(made);
  return bytes;
}

void TOleControl::EnsureControl() {
  if (controlIntf_) return;
  // Torn down: there is no control left to complete.
  if (!controlObject_ || !persistence_) OleError(E_UNEXPECTED);
  // A control that failed half way keeps no links: the next call starts over.
  TScopeExit releaseLinks([this] { ReleaseControlLinks(); });
  EnsureClientSite();
  // A control that took its state in a failed attempt is not initialised a second time.
  if (!stateInitialised_) {
    if (storedState_) {
      TInterfacePtr<IStream> stream;
      OleCheck(CreateStreamOnHGlobal(storedState_, FALSE, stream.Put()));
      OleCheck(persistence_->Load(stream.Get()));
      stream.Release();
      FreeStoredState();
    } else {
      OleCheck(persistence_->InitNew());
    }
    stateInitialised_ = true;
  }
  OleCheck(controlObject_->QueryInterface(IID_IOleControl, controlIntf_.PutVoid()));
  OleCheck(controlObject_->QueryInterface(IID_IDispatch, controlDispatch_.PutVoid()));
  controlObject_->QueryInterface(IID_IPerPropertyBrowsing, propertyBrowsing_.PutVoid());
  ConnectSink(IID_IPropertyNotifySink, propertySink_.get(), propertySinkCookie_);
  ConnectSink(descriptor_->EventIid, eventSink_.get(), eventSinkCookie_);
  if (descriptor_->Flags & cfBackColor) PropertyChanged(DISPID_BACKCOLOR);
  if (descriptor_->Flags & cfEnabled) PropertyChanged(DISPID_ENABLED);
  if (descriptor_->Flags & cfFont) PropertyChanged(DISPID_FONT);
  if (descriptor_->Flags & cfForeColor) PropertyChanged(DISPID_FORECOLOR);
  controlIntf_->OnAmbientPropertyChange(DISPID_UNKNOWN);
  RequestNewObjectLayout();
  releaseLinks.Dismiss();
}

void TOleControl::ConnectSink(REFIID iid, IUnknown* sink, DWORD& cookie) {
  cookie = 0;
  TInterfacePtr<IConnectionPointContainer> container;
  if (FAILED(controlObject_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) || !container) return;
  TInterfacePtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(iid, point.Put())) || !point) return;
  DWORD value = 0;
  if (SUCCEEDED(point->Advise(sink, &value))) cookie = value;
}

void TOleControl::DisconnectSink(REFIID iid, DWORD& cookie) {
  if (!cookie || !controlObject_) return;
  TInterfacePtr<IConnectionPointContainer> container;
  if (FAILED(controlObject_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) || !container) return;
  TInterfacePtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(iid, point.Put())) || !point) return;
  if (SUCCEEDED(point->Unadvise(cookie))) cookie = 0;
}

void TOleControl::ReleaseControlLinks() {
  DisconnectSink(descriptor_->EventIid, eventSinkCookie_);
  DisconnectSink(IID_IPropertyNotifySink, propertySinkCookie_);
  propertyBrowsing_.Release();
  controlDispatch_.Release();
  controlIntf_.Release();
}

VARIANT TOleControl::OleObject() {
  EnsureControl();
  VARIANT v;
  VariantInit(&v);
  IDispatch* dispatch = nullptr;
  if (FAILED(controlObject_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch)
    IntfNotSupported();
  v.vt = VT_DISPATCH;
  v.pdispVal = dispatch;
  return v;
}

// ---- Mirrored state

namespace {
// Holds a re-entrancy guard for the length of one update.
class GuardFlag {
 public:
  explicit GuardFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~GuardFlag() { flag_ = false; }
  GuardFlag(const GuardFlag&) = delete;
  GuardFlag& operator=(const GuardFlag&) = delete;

 private:
  bool& flag_;
};
}  // namespace

void TOleControl::ColorChanged() {
  TWinControl::ColorChanged();
  if (!(descriptor_->Flags & cfBackColor) || !HandleAllocated() || updatingColor_) return;
  GuardFlag guard(updatingColor_);
  SetIntegerProp(DISPID_BACKCOLOR, static_cast<int>(Color()));
}

void TOleControl::FontChanged() {
  TWinControl::FontChanged();
  // A change that came from the OLE font is already at the control.
  if (fontAdapter_) {
    if (fontAdapter_->Updating()) return;
    fontAdapter_->FontChanged();
  }
  if (!(descriptor_->Flags & (cfForeColor | cfFont)) || !HandleAllocated() || updatingFont_) return;
  GuardFlag guard(updatingFont_);
  if (descriptor_->Flags & cfForeColor) SetIntegerProp(DISPID_FORECOLOR, static_cast<int>(Font().Color()));
  if (descriptor_->Flags & cfFont) SetInterfaceProp(DISPID_FONT, OleFont());
}

void TOleControl::PictureChanged(TPicture& changed) {
  if (updatingPictures_ || !changed.OlePicture()) return;
  GuardFlag guard(updatingPictures_);
  DISPID id = DISPID_UNKNOWN;
  for (std::size_t i = 0; i < pictures_.size(); ++i)
    if (pictures_[i].get() == &changed) id = descriptor_->PictureDispIds[i];
  if (id == DISPID_UNKNOWN) return;
  for (std::size_t i = 0; i < pictures_.size(); ++i)
    if (descriptor_->PictureDispIds[i] == id && pictures_[i].get() != &changed) pictures_[i]->Assign(changed);
  SetInterfaceProp(id, changed.OlePicture());
}

void TOleControl::SetEnabled(bool enabled) {
  bool changed = enabled != Enabled();
  TWinControl::SetEnabled(enabled);
  if (!changed || !(descriptor_->Flags & cfEnabled) || !HandleAllocated() || updatingEnabled_) return;
  GuardFlag guard(updatingEnabled_);
  SetWordBoolProp(DISPID_ENABLED, enabled);
}

void TOleControl::SetName(const std::string& name) {
  std::string old = Name();
  TWinControl::SetName(name);
  if (!controlIntf_ || old == Name()) return;
  controlIntf_->OnAmbientPropertyChange(DISPID_AMBIENT_DISPLAYNAME);
  if (!(descriptor_->Flags & (cfCaption | cfText))) return;
  // A caption or text that still shows the old name follows the rename.
  DISPID id = (descriptor_->Flags & cfCaption) ? DISPID_CAPTION : DISPID_TEXT;
  if (GetStringProp(id) == old) SetStringProp(id, Name());
}

void TOleControl::PropertyChanged(DISPID id) {
  try {
    switch (id) {
      case DISPID_BACKCOLOR:
        if (!updatingColor_) {
          GuardFlag guard(updatingColor_);
          SetColor(static_cast<TColor>(GetIntegerProp(id)));
        }
        break;
      case DISPID_FORECOLOR:
        if (!updatingFont_) {
          GuardFlag guard(updatingFont_);
          Font().SetColor(static_cast<TColor>(GetIntegerProp(id)));
        }
        break;
      case DISPID_FONT:
        if (!updatingFont_) {
          GuardFlag guard(updatingFont_);
          VARIANT v;
          ReadDispProperty(id, v);
          IUnknown* object = v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
          TScopeExit clearValue([&] { VariantClear(&v); });
          // Our own OLE font is in step already; reading it back would only bring the
          // system's substitute font.
          if (!fontAdapter_ || !fontAdapter_->IsOleFont(object)) TFontAdapter::ApplyOleFont(object, Font());
        }
        break;
      case DISPID_ENABLED:
        if (!updatingEnabled_) {
          GuardFlag guard(updatingEnabled_);
          SetEnabled(GetWordBoolProp(id));
        }
        break;
      default:
        break;
    }
  } catch (const EOleError&) {
  }
}

// ---- Windows

HWND TOleControl::ParentHandle() { return Parent() ? Parent()->Handle() : parentWindow_; }

HWND TOleControl::TopLevelWindow() {
  TWinControl* outer = this;
  while (outer->Parent()) outer = outer->Parent();
  if (outer == this) return parentWindow_ ? parentWindow_ : (HandleAllocated() ? Handle() : nullptr);
  return outer->Handle();
}

void TOleControl::CreateWnd() {
  EnsureControl();
  if (InvisibleAtRunTime()) {
    TWinControl::CreateWnd();
    return;
  }
  RECT bounds = BoundsRect();
  {
    TControlCall call;
    controlObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, ParentHandle(),
                           &bounds);
  }
  if (!inPlaceObject_) throw EOleError(LoadResString(SOleCtrlActivation));
  AdoptControlWindow();
  // The window's own style: its parent form may still be hidden.
  if (!Visible() && (GetWindowLongA(Handle(), GWL_STYLE) & WS_VISIBLE)) ShowWindow(Handle(), SW_HIDE);
}

void TOleControl::AdoptControlWindow() {
  if (!inPlaceObject_ || HandleAllocated()) return;
  HWND window = nullptr;
  inPlaceObject_->GetWindow(&window);
  if (!window) throw EOleError(LoadResString(SNoWindowHandle));
  // The control's own procedure stays for default handling; the binding completes on the
  // first message that reaches ours.
  AdoptWindow(window);
  SendMessageA(window, WM_NULL, 0, 0);
}

void TOleControl::DestroyWindowHandle() {
  if (InvisibleAtRunTime()) {
    TWinControl::DestroyWindowHandle();
    return;
  }
  // The window stays the control's: its procedure goes back and we forget it.
  ReleaseAdoptedWindow();
  if (controlObject_) controlObject_->Close(OLECLOSE_NOSAVE);
}

bool TOleControl::PaletteChanged(bool foreground) {
  if (foreground && ControlWindowProc() &&
      CallWindowProcA(ControlWindowProc(), Handle(), WM_QUERYNEWPALETTE, 0, 0) != 0)
    return true;
  return TWinControl::PaletteChanged(foreground);
}

void TOleControl::SetBounds(int left, int top, int width, int height) {
  if ((width != Width() && Width() > 0) || (height != Height() && Height() > 0)) {
    if (InvisibleAtRunTime()) {
      width = Width();
      height = Height();
    } else if (controlObject_) {
      SIZEL extent{MulDiv(width, kHimetricPerInch, PixelsPerInch()), MulDiv(height, kHimetricPerInch, PixelsPerInch())};
      if (controlObject_->SetExtent(DVASPECT_CONTENT, &extent) != S_OK) {
        width = Width();
        height = Height();
      }
    }
  }
  TWinControl::SetBounds(left, top, width, height);
}

void TOleControl::WndProc(TMessage& m) {
  if (m.Msg >= kFirstAcceleratorMsg && m.Msg <= kLastAcceleratorMsg && inPlaceActiveObject_) {
    MSG msg{Handle(),
            m.Msg - CN_BASE,
            m.WParam,
            m.LParam,
            static_cast<DWORD>(GetMessageTime()),
            POINT{0x115DE1F1, 0x115DE1F1}};
    if (inPlaceActiveObject_->TranslateAccelerator(&msg) == S_OK) {
      m.Result = 1;
      return;
    }
  }
  switch (m.Msg) {
    // Click, mouse and key events arrive as control events, never from the window's messages.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
      DefaultHandler(m);
      return;
    case CM_PARENTFONTCHANGED:
      if (parentFontAdapter_) parentFontAdapter_->FontChanged();
      if (ParentFont()) {
        AmbientChanged(DISPID_AMBIENT_FONT);
        AmbientChanged(DISPID_AMBIENT_FORECOLOR);
      }
      return;
    case CM_PARENTCOLORCHANGED:
      if (ParentColor()) AmbientChanged(DISPID_AMBIENT_BACKCOLOR);
      return;
    case CM_UIACTIVATE:
      UIActivate();
      return;
    case CM_UIDEACTIVATE:
      UIDeactivate();
      return;
    case CM_DIALOGKEY:
      if (controlIntf_ && CanFocus()) {
        CONTROLINFO info{};
        info.cb = 16;
        if (controlIntf_->GetControlInfo(&info) == S_OK && info.cAccel != 0) {
          MSG msg{};
          msg.hwnd = HandleAllocated() ? Handle() : nullptr;
          msg.message = WM_KEYDOWN;
          msg.wParam = m.WParam;
          msg.lParam = m.LParam;
          if (IsAccelerator(info.hAccel, info.cAccel, &msg, nullptr)) {
            controlIntf_->OnMnemonic(&msg);
            m.Result = 1;
            return;
          }
        }
      }
      break;
    case WM_PAINT:
      if (InvisibleAtRunTime() && HandleAllocated()) {
        PAINTSTRUCT ps;
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        bool began = !dc;
        if (began) dc = BeginPaint(Handle(), &ps);
        RECT r;
        GetClientRect(Handle(), &r);
        OleDraw(controlObject_.Get(), DVASPECT_CONTENT, dc, &r);
        if (began) EndPaint(Handle(), &ps);
        return;
      }
      break;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

void TOleControl::DefaultHandler(TMessage& m) {
  if (HandleAllocated() && !InvisibleAtRunTime()) {
    UINT msg = m.Msg;
    if (msg >= CN_BASE && msg < 0xC000) msg -= kReflectionShift;
    if (!SimpleFrame()) {
      m.Result = CallWindowProcA(DefWndProc(), Handle(), msg, m.WParam, m.LParam);
      return;
    }
  }
  TWinControl::DefaultHandler(m);
}

// ---- UI activation

void TOleControl::MarkUIActive(bool active) {
  TCustomForm* form = ParentForm();
  if (!form) return;
  if (active) {
    TWinControl* other = form->ActiveEmbeddedControl();
    if (other && other != this) other->Perform(CM_UIDEACTIVATE);
    form->SetActiveEmbeddedControl(this);
  } else if (form->ActiveEmbeddedControl() == this) {
    form->SetActiveEmbeddedControl(nullptr);
  }
}

void TOleControl::UIActivate() {
  TCustomForm* form = ParentForm();
  // A control that takes the focus while it activates must not be asked again.
  if ((form && form->ActiveEmbeddedControl() == this) || uiActivating_ || !controlObject_) return;
  GuardFlag guard(uiActivating_);
  RECT bounds = BoundsRect();
  TControlCall call;
  controlObject_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, ParentHandle(), &bounds);
}

void TOleControl::UIDeactivate() {
  TCustomForm* form = ParentForm();
  if (form && form->ActiveEmbeddedControl() != this) return;
  if (inPlaceObject_) inPlaceObject_->UIDeactivate();
  // Still the focused control while the focus moves on (the form has already made the new
  // control its active one when it moves the focus itself).
  if (form && (form->ActiveControl() == this || form->FocusedControl() == this)) OnUIDeactivate(FALSE);
}

void TOleControl::RemoveSharedMenu() { SetMenu(nullptr, nullptr, nullptr); }

// ---- Property access

void TOleControl::ReadDispProperty(DISPID id, VARIANT& value) {
  EnsureControl();
  std::memset(&value, 0, sizeof value);
  value.vt = VT_EMPTY;
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  EXCEPINFO info{};
  HRESULT hr;
  {
    TControlCall call;
    hr = controlDispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &value, &info, nullptr);
  }
  if (FAILED(hr)) DispatchInvokeError(hr, info);
  FreeExcepInfo(info);
}

void TOleControl::WriteDispProperty(DISPID id, const VARIANT& value) {
  EnsureControl();
  VARIANTARG arg = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  EXCEPINFO info{};
  WORD flags = value.vt == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  HRESULT hr;
  {
    TControlCall call;
    hr = controlDispatch_->Invoke(id, IID_NULL, 0, flags, &params, nullptr, &info, nullptr);
  }
  if (FAILED(hr)) DispatchInvokeError(hr, info);
  FreeExcepInfo(info);
}

int TOleControl::GetIntegerProp(DISPID id) {
  VARIANT v;
  ReadDispProperty(id, v);
  int value = v.lVal;
  VariantClear(&v);
  return value;
}

bool TOleControl::GetWordBoolProp(DISPID id) {
  VARIANT v;
  ReadDispProperty(id, v);
  bool value = v.boolVal != 0;
  VariantClear(&v);
  return value;
}

VARIANT TOleControl::GetVariantProp(DISPID id) {
  VARIANT v;
  ReadDispProperty(id, v);
  return v;
}

std::string TOleControl::GetStringProp(DISPID id) {
  VARIANT v;
  ReadDispProperty(id, v);
  std::string text;
  if (v.vt == VT_BSTR || SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR))) text = BstrToAnsi(v.bstrVal);
  VariantClear(&v);
  return text;
}

void TOleControl::GetFontProp(DISPID id, TFont& font) {
  VARIANT v;
  ReadDispProperty(id, v);
  TScopeExit clearValue([&] { VariantClear(&v); });
  TFontAdapter::ApplyOleFont(v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN ? v.punkVal : nullptr, font);
}

BSTR TOleControl::GetWideStringProp(DISPID id) {
  VARIANT v;
  ReadDispProperty(id, v);
  if (v.vt == VT_BSTR) return v.bstrVal;
  // Any other answer is released, never handed out.
  VariantClear(&v);
  return nullptr;
}

void TOleControl::SetIntegerProp(DISPID id, int value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  WriteDispProperty(id, v);
}

void TOleControl::SetWordBoolProp(DISPID id, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  WriteDispProperty(id, v);
}

void TOleControl::SetInterfaceProp(DISPID id, IDispatch* value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = value;
  WriteDispProperty(id, v);
}

void TOleControl::SetStringProp(DISPID id, const std::string& value) {
  BSTR text = AnsiToBstr(value);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text;
  TScopeExit freeText([&] { SysFreeString(v.bstrVal); });
  WriteDispProperty(id, v);
}

void TOleControl::SetWideStringProp(DISPID id, BSTR value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysStringLen(value) ? value : nullptr;
  WriteDispProperty(id, v);
}

void TOleControl::SetVariantProp(DISPID id, const VARIANT& value) { WriteDispProperty(id, value); }
