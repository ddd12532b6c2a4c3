// The embedded control site as the control sees it: the answers of the site interfaces that
// the control calls back into (IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame,
// IOleControlSite, ISimpleFrameSite, IPropertyNotifySink and the ambient properties).
#include "viewerhost/OleCtrls.h"

#include <olectl.h>

#include <algorithm>
#include <cmath>

#include "viewerhost/FontAdapter.h"
#include "viewerhost/Himetric.h"

namespace {

constexpr RECT kClipRect{0, 0, 32767, 32767};

// COM methods never let an exception out: it becomes a failure code.
template <class F>
HRESULT Guarded(F&& body) {
  try {
    return body();
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace

// ---- IUnknown

STDMETHODIMP TOleControl::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISimpleFrameSite))
    *out = static_cast<ISimpleFrameSite*>(this);
  else if (IsEqualIID(iid, IID_IPropertyNotifySink)) *out = static_cast<IPropertyNotifySink*>(this);
  else if (IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow))
    *out = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
    *out = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(iid, IID_IOleControlSite)) *out = static_cast<IOleControlSite*>(this);
  else if (IsEqualIID(iid, IID_IOleClientSite)) *out = static_cast<IOleClientSite*>(this);
  else return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

// The host's lifetime belongs to its owner, never to COM references.
STDMETHODIMP_(ULONG) TOleControl::AddRef() { return ++refCount_; }
STDMETHODIMP_(ULONG) TOleControl::Release() { return --refCount_; }

// ---- ISimpleFrameSite, IPropertyNotifySink

STDMETHODIMP TOleControl::PreMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD*) { return S_OK; }
STDMETHODIMP TOleControl::PostMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD) { return S_OK; }

STDMETHODIMP TOleControl::OnChanged(DISPID id) {
  // A failure other than the control's own errors goes to the application, not to the control.
  try {
    PropertyChanged(id);
  } catch (...) {
    HandleWindowException();
  }
  return S_OK;
}

STDMETHODIMP TOleControl::OnRequestEdit(DISPID) { return S_OK; }

// ---- IDispatch: ambient properties

STDMETHODIMP TOleControl::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

STDMETHODIMP TOleControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TOleControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP TOleControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  auto setBool = [result](bool value) {
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  };
  auto setInt = [result](LONG value) {
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = value;
  };
  return Guarded([&]() -> HRESULT {
    switch (id) {
      case DISPID_AMBIENT_BACKCOLOR:
        setInt(static_cast<LONG>(Color()));
        return S_OK;
      case DISPID_AMBIENT_DISPLAYNAME: {
        // Converted first: a variant never says VT_BSTR without its string.
        BSTR name = AnsiToBstr(Name());
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = name;
        return S_OK;
      }
      case DISPID_AMBIENT_FONT: {
        IFontDisp* oleFont = (Parent() && ParentFont()) ? ParentFontAdapter().OleFont() : OleFont();
        oleFont->AddRef();
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = oleFont;
        return S_OK;
      }
      case DISPID_AMBIENT_FORECOLOR:
        setInt(static_cast<LONG>(Font().Color()));
        return S_OK;
      case DISPID_AMBIENT_LOCALEID:
        setInt(static_cast<LONG>(GetUserDefaultLCID()));
        return S_OK;
      case DISPID_AMBIENT_MESSAGEREFLECT:
      case DISPID_AMBIENT_USERMODE:
      case DISPID_AMBIENT_AUTOCLIP:
      case DISPID_AMBIENT_SUPPORTSMNEMONICS:
        setBool(true);
        return S_OK;
      case DISPID_AMBIENT_UIDEAD:
      case DISPID_AMBIENT_SHOWGRABHANDLES:
      case DISPID_AMBIENT_SHOWHATCHING:
        setBool(false);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  });
}

// ---- IOleInPlaceFrame

HRESULT TOleControl::FrameGetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  return Guarded([&]() -> HRESULT {
    *window = TopLevelWindow();
    return S_OK;
  });
}

STDMETHODIMP TOleControl::ContextSensitiveHelp(BOOL) { return S_OK; }
STDMETHODIMP TOleControl::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP TOleControl::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP TOleControl::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP TOleControl::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }

// The framework's forms carry no main menu, so there is never a menu to share.
STDMETHODIMP TOleControl::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return S_OK; }
STDMETHODIMP TOleControl::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

STDMETHODIMP TOleControl::RemoveMenus(HMENU shared) {
  while (shared && GetMenuItemCount(shared) > 0) {
    if (!RemoveMenu(shared, 0, MF_BYPOSITION)) break;
  }
  return S_OK;
}

STDMETHODIMP TOleControl::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP TOleControl::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP TOleControl::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// ---- IOleInPlaceSite

HRESULT TOleControl::SiteGetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  return Guarded([&]() -> HRESULT {
    *window = ParentHandle();
    return *window ? S_OK : E_FAIL;
  });
}

STDMETHODIMP TOleControl::CanInPlaceActivate() { return S_OK; }

STDMETHODIMP TOleControl::OnInPlaceActivate() {
  if (!controlObject_) return E_UNEXPECTED;
  controlObject_->QueryInterface(IID_IOleInPlaceObject, inPlaceObject_.PutVoid());
  controlObject_->QueryInterface(IID_IOleInPlaceActiveObject, inPlaceActiveObject_.PutVoid());
  return S_OK;
}

STDMETHODIMP TOleControl::OnUIActivate() {
  // Deactivating another host runs its handlers.
  return Guarded([&]() -> HRESULT {
    MarkUIActive(true);
    return S_OK;
  });
}

STDMETHODIMP TOleControl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                           LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
  if (frame) {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
  }
  if (document) *document = nullptr;
  if (position) *position = BoundsRect();
  if (clip) *clip = kClipRect;
  if (frameInfo) {
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = nullptr;
    FrameGetWindow(&frameInfo->hwndFrame);
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
  }
  return S_OK;
}

STDMETHODIMP TOleControl::Scroll(SIZE) { return E_NOTIMPL; }

STDMETHODIMP TOleControl::OnUIDeactivate(BOOL) {
  return Guarded([&]() -> HRESULT {
    RemoveSharedMenu();
    MarkUIActive(false);
    return S_OK;
  });
}

STDMETHODIMP TOleControl::OnInPlaceDeactivate() {
  inPlaceActiveObject_.Release();
  inPlaceObject_.Release();
  return S_OK;
}

STDMETHODIMP TOleControl::DiscardUndoState() { return E_NOTIMPL; }

STDMETHODIMP TOleControl::DeactivateAndUndo() {
  if (inPlaceObject_) inPlaceObject_->UIDeactivate();
  return S_OK;
}

STDMETHODIMP TOleControl::OnPosRectChange(LPCRECT position) {
  if (inPlaceObject_ && position) inPlaceObject_->SetObjectRects(position, &kClipRect);
  return S_OK;
}

// ---- IOleControlSite

STDMETHODIMP TOleControl::OnControlInfoChanged() { return E_NOTIMPL; }
STDMETHODIMP TOleControl::LockInPlaceActive(BOOL) { return E_NOTIMPL; }

STDMETHODIMP TOleControl::GetExtendedControl(IDispatch** control) {
  if (control) *control = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TOleControl::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
  if (!himetric || !container) return E_POINTER;
  const int ppi = PixelsPerInch();
  if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
    container->x = static_cast<float>(MulDiv(himetric->x, ppi, kHimetricPerInch));
    container->y = static_cast<float>(MulDiv(himetric->y, ppi, kHimetricPerInch));
  } else {
    // Ties go to the even neighbour.
    himetric->x = static_cast<LONG>(std::nearbyint(static_cast<double>(container->x) * kHimetricPerInch / ppi));
    himetric->y = static_cast<LONG>(std::nearbyint(static_cast<double>(container->y) * kHimetricPerInch / ppi));
  }
  return S_OK;
}

STDMETHODIMP TOleControl::TranslateAccelerator(MSG*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP TOleControl::OnFocus(BOOL) { return E_NOTIMPL; }
STDMETHODIMP TOleControl::ShowPropertyFrame() { return E_NOTIMPL; }

// ---- IOleClientSite

STDMETHODIMP TOleControl::SaveObject() { return S_OK; }

STDMETHODIMP TOleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TOleControl::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TOleControl::ShowObject() {
  return Guarded([&]() -> HRESULT {
    AdoptControlWindow();
    return S_OK;
  });
}

STDMETHODIMP TOleControl::OnShowWindow(BOOL) { return S_OK; }

STDMETHODIMP TOleControl::RequestNewObjectLayout() {
  return Guarded([&] { return LayOutToExtent(); });
}

HRESULT TOleControl::LayOutToExtent() {
  if (!controlObject_) return E_UNEXPECTED;
  SIZEL extent{0, 0};
  HRESULT hr = controlObject_->GetExtent(DVASPECT_CONTENT, &extent);
  if (FAILED(hr)) return hr;
  const int ppi = PixelsPerInch();
  int width = MulDiv(extent.cx, ppi, kHimetricPerInch);
  int height = MulDiv(extent.cy, ppi, kHimetricPerInch);
  if (InvisibleAtRunTime() && !controlIntf_) {
    width = std::min(width, 32);
    height = std::min(height, 32);
  }
  SetBounds(Left(), Top(), width, height);
  return hr;
}
