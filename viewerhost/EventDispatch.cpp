// The control's events: the sink that receives them, the reading of their arguments, and the
// keys that handlers change written back into the control's own arguments.
#include "viewerhost/OleCtrls.h"

#include <olectl.h>

#include <cstring>

#include "framework/Forms.h"

STDMETHODIMP TEventDispatch::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      (control_ && IsEqualIID(iid, control_->Descriptor()->EventIid))) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TEventDispatch::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

STDMETHODIMP TEventDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TEventDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP TEventDispatch::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  TOleControl* control = control_;
  if (!control) return S_OK;
  TControlCall call;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (!params || (params->cArgs > 0 && !params->rgvarg)) params = &none;
  // A handler may free the form and the host with it: the control, whose call this is, is
  // held until its calls have returned, and this sink until this call has.
  AddRef();
  IOleObject* object = control->controlObject_.Get();
  if (object) object->AddRef();
  std::weak_ptr<char> hostAlive = control->AliveToken();
  try {
    if (id >= DISPID_MOUSEUP && id <= DISPID_CLICK) control->DispatchStandardEvent(id, params);
    else control->DispatchControlEvent(id, params);
  } catch (...) {
    HandleWindowException();
  }
  if (object) {
    if (hostAlive.expired()) ReleaseAfterCall(object);
    else object->Release();
  }
  Release();
  return S_OK;
}

namespace {

// Argument `n` (1-based) in declaration order: IDispatch hands them over last first.
VARIANTARG& Arg(DISPPARAMS* params, unsigned n) { return params->rgvarg[params->cArgs - n]; }

int ArgInt(const VARIANTARG& v) {
  // An array is no number, whatever its element type.
  if (v.vt & VT_ARRAY) return 0;
  if (v.vt & VT_BYREF) {
    if (!v.byref) return 0;
    switch (v.vt & VT_TYPEMASK) {
      case VT_I2:
      case VT_BOOL:
        return *v.piVal;
      case VT_UI2:
        return *v.puiVal;
      case VT_UI1:
      case VT_I1:
        return *v.pbVal;
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
        return *v.plVal;
      case VT_VARIANT:
        return ArgInt(*v.pvarVal);
      default:
        return 0;
    }
  }
  VARIANT copy;
  VariantInit(&copy);
  if (FAILED(VariantChangeType(&copy, const_cast<VARIANTARG*>(&v), 0, VT_I4))) return 0;
  return copy.lVal;
}

// Writes a handler's key back into an integer argument passed by reference, also through a
// variant passed by reference; arguments of other types are never written. `oneByte` writes
// only the low byte (a character).
void WriteBackKey(VARIANTARG& v, WORD key, bool oneByte, bool byValue = false) {
  const bool byRef = (v.vt & VT_BYREF) != 0;
  if ((byRef && !v.byref) || (v.vt & VT_ARRAY)) return;
  if (!byRef && !byValue) return;
  const VARTYPE type = v.vt & VT_TYPEMASK;
  if (byRef && type == VT_VARIANT) {
    WriteBackKey(*v.pvarVal, key, oneByte, true);
    return;
  }
  void* target = byRef ? v.byref : static_cast<void*>(&v.lVal);
  std::size_t width = 0;
  switch (type) {
    case VT_I1:
    case VT_UI1:
      width = 1;
      break;
    case VT_I2:
    case VT_UI2:
      width = 2;
      break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      width = 4;
      break;
    default:
      return;
  }
  if (oneByte) width = 1;
  const std::uint32_t value = key;
  std::memcpy(target, &value, width);  // little-endian: the low bytes
}

unsigned ShiftFromControl(int bits) {
  unsigned shift = 0;
  if (bits & 1) shift |= ssShift;
  if (bits & 2) shift |= ssCtrl;
  if (bits & 4) shift |= ssAlt;
  return shift;
}

unsigned ButtonsToShift(int bits) {
  unsigned shift = 0;
  if (bits & 1) shift |= ssLeft;
  if (bits & 2) shift |= ssRight;
  if (bits & 4) shift |= ssMiddle;
  return shift;
}

TMouseButton ButtonFromControl(int bits) {
  if (bits & 1) return mbLeft;
  if (bits & 2) return mbRight;
  if (bits & 4) return mbMiddle;
  return mbLeft;
}

}  // namespace

void TOleControl::DispatchStandardEvent(DISPID id, DISPPARAMS* params) {
  const unsigned count = params->cArgs;
  switch (id) {
    case DISPID_CLICK:
      Click();
      break;
    case DISPID_DBLCLICK:
      DblClick();
      break;
    case DISPID_KEYDOWN:
    case DISPID_KEYUP: {
      if (count < 2) return;
      WORD key = static_cast<WORD>(ArgInt(Arg(params, 1)));
      unsigned shift = ShiftFromControl(ArgInt(Arg(params, 2)));
      // A copy: the handler may free the host that holds it.
      TKeyEvent handler = id == DISPID_KEYDOWN ? OnKeyDown : OnKeyUp;
      if (handler) handler(this, key, shift);
      WriteBackKey(Arg(params, 1), key, false);
      break;
    }
    case DISPID_KEYPRESS: {
      if (count < 1) return;
      char ch = static_cast<char>(ArgInt(Arg(params, 1)) & 0xFF);
      if (TKeyPressEvent handler = OnKeyPress) handler(this, ch);
      WriteBackKey(Arg(params, 1), static_cast<BYTE>(ch), true);
      break;
    }
    case DISPID_MOUSEDOWN:
    case DISPID_MOUSEUP:
    case DISPID_MOUSEMOVE: {
      if (count < 4) return;
      int buttons = ArgInt(Arg(params, 1)) & 7;
      unsigned shift = ShiftFromControl(ArgInt(Arg(params, 2)) & 7) | ButtonsToShift(buttons);
      int x = ArgInt(Arg(params, 3));
      int y = ArgInt(Arg(params, 4));
      if (id == DISPID_MOUSEMOVE) MouseMove(shift, x, y);
      else if (id == DISPID_MOUSEDOWN) MouseDown(ButtonFromControl(buttons), shift, x, y);
      else MouseUp(ButtonFromControl(buttons), shift, x, y);
      break;
    }
    default:
      break;
  }
}

int TOleControl::FindEventHandler(DISPID id) const {
  for (int i = 0; i < descriptor_->EventCount; ++i)
    if (descriptor_->EventDispIds[i] == id) return i;
  return -1;
}

void TOleControl::DispatchControlEvent(DISPID id, DISPPARAMS* params) {
  int index = FindEventHandler(id);
  if (index < 0 || static_cast<std::size_t>(index) >= eventHandlers_.size() || !eventHandlers_[index]) return;
  const bool older = descriptor_->Version < 300;
  std::vector<TOleEventArg> args(params->cArgs);
  for (unsigned n = 1; n <= params->cArgs; ++n) {
    VARIANTARG& v = Arg(params, n);
    TOleEventArg& a = args[n - 1];
    a.Type = v.vt;
    const VARTYPE base = v.vt & VT_TYPEMASK;
    if (older && base == VT_BSTR && !(v.vt & VT_ARRAY)) {
      a.Ansi = BstrToAnsi((v.vt & VT_BYREF) ? (v.pbstrVal ? *v.pbstrVal : nullptr) : v.bstrVal);
    } else if (v.vt & VT_ARRAY) {
      a.Ref = &v;
    } else if (older && v.vt == VT_DISPATCH) {
      a.Ref = &v;
    } else if (v.vt & VT_BYREF) {
      a.Ref = v.byref;
    } else if (v.vt == VT_R8 || v.vt == VT_CY || v.vt == VT_DATE) {
      std::memcpy(&a.Value64, &v.llVal, 8);
    } else {
      a.Value32 = static_cast<std::uint32_t>(v.lVal);
    }
  }
  TOleEventHandler handler = eventHandlers_[index];
  handler(this, args);
  if (!older) return;
  // The older delivery hands strings over as copies; by-reference ones come back here.
  for (unsigned n = 1; n <= params->cArgs; ++n) {
    VARIANTARG& v = Arg(params, n);
    if (v.vt == (VT_BSTR | VT_BYREF) && v.pbstrVal) {
      SysFreeString(*v.pbstrVal);
      *v.pbstrVal = AnsiToBstr(args[n - 1].Ansi);
    }
  }
}
