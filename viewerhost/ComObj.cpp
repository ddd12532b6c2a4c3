// COM start-up, the error mapping of failed COM calls, and early- and late-bound dispatch calls.
#include "viewerhost/ComObj.h"

#include <cstring>
#include <utility>
#include <memory>

#include "framework/Forms.h"
#include "viewerhost/OleMessageTexts.h"

namespace {

bool comStarted = false;
bool startupRegistered = false;

// References waiting for their release, and the calls that make them wait.
std::vector<IUnknown*>& PendingReleases() {
  static std::vector<IUnknown*> pending;
  return pending;
}
int controlCalls = 0;
UINT_PTR releaseTimer = 0;

void CALLBACK ReleasePending(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(nullptr, releaseTimer);
  releaseTimer = 0;
  // A modal loop inside a control's call (an error box of a handler) runs this too: wait.
  if (controlCalls == 0) ReleaseDelayedObjects();
}

// A thread timer releases from the next message loop. One that could not be made is tried
// again by the next wait or the end of the next control call.
void ArmReleaseTimer() {
  if (releaseTimer || controlCalls > 0 || PendingReleases().empty()) return;
  releaseTimer = SetTimer(nullptr, 0, 0, ReleasePending);
}

// Trailing blanks, control characters and periods go: the error box adds its own period.
std::string TrimDescription(std::string text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) text.pop_back();
  return text;
}

std::string TrimTrailingBlanks(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
  return text;
}

// Holds the argument array of one call; BSTRs made for the call are freed with it.
struct CallArgs {
  std::vector<VARIANTARG> vars;
  std::vector<BSTR> madeStrings;
  ~CallArgs() {
    for (BSTR s : madeStrings) SysFreeString(s);
  }
};

// Strings a callee left in the EXCEPINFO are freed whatever the outcome.
void CheckDispatchResult(HRESULT hr, EXCEPINFO& info) {
  if (FAILED(hr)) DispatchInvokeError(hr, info);
  FreeExcepInfo(info);
}

// The named dispatch IDs of a call. A property put names its value DISPID_PROPERTYPUT; the
// value is the last argument, which goes first in the argument array, so its name goes first.
std::vector<DISPID> NamedDispIds(const DISPID* ids, std::size_t count, bool propertyPut) {
  std::vector<DISPID> named;
  if (propertyPut) named.push_back(DISPID_PROPERTYPUT);
  if (ids) named.insert(named.end(), ids, ids + count);
  return named;
}

// Holds a result variant and clears it whatever happens.
struct ResultVariant {
  VARIANT value;
  ResultVariant() { std::memset(&value, 0, sizeof value); }
  ~ResultVariant() { VariantClear(&value); }
  ResultVariant(const ResultVariant&) = delete;
  ResultVariant& operator=(const ResultVariant&) = delete;
};

}  // namespace

void RegisterComStartup() {
  if (startupRegistered) return;
  startupRegistered = true;
  TApplication::AddInitProc([] {
    if (comStarted) return;
    comStarted = SUCCEEDED(CoInitialize(nullptr));
  });
  TApplication::AddExitProc([] {
    ReleaseDelayedObjects();
    if (comStarted) CoUninitialize();
    comStarted = false;
  });
}

TControlCall::TControlCall() { ++controlCalls; }

TControlCall::~TControlCall() {
  if (--controlCalls == 0) ArmReleaseTimer();
}

void ReleaseAfterCall(IUnknown* object) {
  try {
    PendingReleases().push_back(object);
  } catch (...) {
    return;  // kept for good rather than freed under the control's feet
  }
  ArmReleaseTimer();
}

void ReleaseDelayedObjects() {
  // A release may free a host whose control waits in turn.
  while (!PendingReleases().empty()) {
    std::vector<IUnknown*> pending;
    pending.swap(PendingReleases());
    for (IUnknown* object : pending) object->Release();
  }
}

bool ComStarted() { return comStarted; }

std::string OleErrorMessage(HRESULT code) {
  char* buffer = nullptr;
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length && buffer) text = TrimTrailingBlanks(std::string(buffer, length));
  if (buffer) LocalFree(buffer);
  if (!text.empty()) return text;
  // The code is shown in upper-case hexadecimal digits.
  std::string format = LoadResString(SOleError);
  if (auto at = format.find("%.8x"); at != std::string::npos) format[at + 3] = 'X';
  return Format(format, static_cast<unsigned long>(code));
}

void OleError(HRESULT code) { throw EOleSysError(OleErrorMessage(code), code, 0); }

void OleCheck(HRESULT code) {
  if (FAILED(code)) OleError(code);
}

void FreeExcepInfo(EXCEPINFO& info) {
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  info.bstrDescription = info.bstrSource = info.bstrHelpFile = nullptr;
}

namespace {
// Frees the EXCEPINFO's strings on every way out.
struct ExcepInfoStrings {
  EXCEPINFO& info;
  ~ExcepInfoStrings() { FreeExcepInfo(info); }
};
}  // namespace

void DispatchInvokeError(HRESULT code, EXCEPINFO& info) {
  ExcepInfoStrings strings{info};
  if (code != DISP_E_EXCEPTION) OleError(code);
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  // A callee may give its error as a control's error number (wCode) and leave scode 0.
  HRESULT scode = info.scode;
  if (scode == 0) scode = info.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode) : DISP_E_EXCEPTION;
  std::string description = TrimDescription(BstrToAnsi(info.bstrDescription));
  // A failure is never shown without a reason: no description gives the code's text.
  if (description.empty()) description = OleErrorMessage(scode);
  throw EOleException(description, scode, BstrToAnsi(info.bstrSource), BstrToAnsi(info.bstrHelpFile),
                      info.dwHelpContext);
}

void IntfNotSupported() { throw EIntfCastError(LoadResString(SIntfNotSupported)); }

BSTR AnsiToBstr(const std::string& text) {
  if (text.empty()) return nullptr;
  std::wstring wide = AnsiToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string BstrToAnsi(BSTR text) {
  if (!text) return std::string();
  return WideToAnsi(std::wstring_view(text, SysStringLen(text)));
}

TDispArg TDispArg::ByRef(void* pointer) {
  TDispArg a;
  a.Ref = pointer;
  return a;
}

TDispArg TDispArg::Of32(std::uint32_t value) {
  TDispArg a;
  a.Value32 = value;
  return a;
}

TDispArg TDispArg::Of64(std::uint64_t value) {
  TDispArg a;
  a.Value64 = value;
  return a;
}

TDispArg TDispArg::OfDouble(double value) {
  TDispArg a;
  std::memcpy(&a.Value64, &value, sizeof value);
  return a;
}

TDispArg TDispArg::OfVariant(const VARIANT& value) {
  TDispArg a;
  a.Variant = value;
  return a;
}

void InvokeByDescriptor(IDispatch* dispatch, const TDispCallDescriptor& descriptor, const DISPID* namedDispIds,
                        const TDispArg* args, void* result) {
  const unsigned count = descriptor.ArgCount;
  std::vector<VARIANTARG> vars(count);
  for (unsigned i = 0; i < count; ++i) {
    // IDispatch wants the last argument first.
    VARIANTARG& v = vars[count - 1 - i];
    std::memset(&v, 0, sizeof v);
    const std::uint8_t type =
        i < descriptor.ArgTypes.size() ? descriptor.ArgTypes[i] : static_cast<std::uint8_t>(VT_EMPTY);
    if (type & kDispByRef) {
      v.vt = static_cast<VARTYPE>((type & ~kDispByRef) | VT_BYREF);
      v.byref = args[i].Ref;
    } else if (type == VT_VARIANT) {
      v = args[i].Variant;
    } else if (type >= VT_R8 && type <= VT_DATE) {
      v.vt = type;
      std::memcpy(&v.llVal, &args[i].Value64, 8);
    } else {
      v.vt = type;
      v.lVal = static_cast<LONG>(args[i].Value32);
    }
  }
  const bool put = descriptor.CallType == dcPropertyPut;
  std::vector<DISPID> named = NamedDispIds(namedDispIds, descriptor.NamedArgCount, put);
  WORD flags = descriptor.CallType;
  if (put && count > 0 && count <= descriptor.ArgTypes.size()) {
    const std::uint8_t valueType = descriptor.ArgTypes[count - 1];
    if (valueType == VT_DISPATCH || valueType == VT_UNKNOWN) flags = DISPATCH_PROPERTYPUTREF;
  }
  DISPPARAMS params{vars.empty() ? nullptr : vars.data(), named.empty() ? nullptr : named.data(), count,
                    static_cast<UINT>(named.size())};
  EXCEPINFO info{};
  ResultVariant answer;
  HRESULT hr;
  {
    TControlCall call;
    hr = dispatch->Invoke(descriptor.DispId, IID_NULL, 0, flags, &params, &answer.value, &info, nullptr);
  }
  CheckDispatchResult(hr, info);
  if (!result) return;
  const VARTYPE type = descriptor.ResultType;
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_ERROR:
    case 14:
    case 15:
      return;
    default:
      break;
  }
  // The answer is made the described type (an empty answer reads as that type's zero), so
  // that nothing else is taken for it and nothing it holds leaks.
  ResultVariant typed;
  if (type != VT_VARIANT && answer.value.vt != VT_EMPTY) {
    if (answer.value.vt == type) std::swap(typed.value, answer.value);
    else OleCheck(VariantChangeType(&typed.value, &answer.value, 0, type));
  } else {
    std::swap(typed.value, answer.value);
  }
  VARIANT& out = typed.value;
  switch (type) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
    case VT_I1:
      *static_cast<LONG*>(result) = out.vt == VT_EMPTY ? 0 : out.lVal;
      break;
    case VT_R4:
      *static_cast<float*>(result) = out.vt == VT_EMPTY ? 0.0f : out.fltVal;
      break;
    case VT_R8:
    case VT_DATE:
      *static_cast<double*>(result) = out.vt == VT_EMPTY ? 0.0 : out.dblVal;
      break;
    case VT_CY:
      *static_cast<CY*>(result) = out.vt == VT_EMPTY ? CY{} : out.cyVal;
      break;
    case VT_BSTR: {
      BSTR& target = *static_cast<BSTR*>(result);
      SysFreeString(target);
      target = out.vt == VT_BSTR ? out.bstrVal : nullptr;
      out.vt = VT_EMPTY;
      break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown*& target = *static_cast<IUnknown**>(result);
      if (target) target->Release();
      target = out.vt == type ? out.punkVal : nullptr;
      out.vt = VT_EMPTY;
      break;
    }
    case VT_VARIANT: {
      VARIANT& target = *static_cast<VARIANT*>(result);
      VariantClear(&target);
      target = out;
      out.vt = VT_EMPTY;
      break;
    }
    default:
      break;
  }
}

TLateArg TLateArg::Of(const VARIANT& value) {
  TLateArg a;
  a.Value = value;
  return a;
}

TLateArg TLateArg::OfString(std::string text) {
  TLateArg a;
  a.IsAnsi = true;
  a.Ansi = std::move(text);
  return a;
}

TLateArg TLateArg::OfStringRef(std::string* text) {
  TLateArg a;
  a.IsAnsi = true;
  a.AnsiRef = text;
  return a;
}

void DispatchInvoke(const VARIANT& object, const std::string& member, const std::vector<std::string>& argNames,
                    std::vector<TLateArg>& args, TDispCallType callType, VARIANT* result) {
  IDispatch* dispatch = nullptr;
  if (object.vt == VT_DISPATCH) dispatch = object.pdispVal;
  else if (object.vt == (VT_DISPATCH | VT_BYREF) && object.ppdispVal) dispatch = *object.ppdispVal;
  else throw EOleError(LoadResString(SVarNotObject));
  if (!dispatch) throw EOleError(LoadResString(SVarNotObject));

  std::vector<std::wstring> wideNames;
  wideNames.push_back(AnsiToWide(member));
  for (const auto& n : argNames) wideNames.push_back(AnsiToWide(n));
  std::vector<LPOLESTR> namePtrs;
  for (auto& w : wideNames) namePtrs.push_back(w.data());
  std::vector<DISPID> ids(namePtrs.size(), DISPID_UNKNOWN);
  HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, namePtrs.data(), static_cast<UINT>(namePtrs.size()), GetThreadLocale(),
                                       ids.data());
  if (hr == DISP_E_UNKNOWNNAME) throw EOleError(ResFmt(SNoMethod, member.c_str()));
  OleCheck(hr);

  const unsigned count = static_cast<unsigned>(args.size());
  CallArgs call;
  call.vars.resize(count);
  // By-reference strings travel in BSTRs of their own, converted back after the call.
  std::vector<BSTR> refStrings(count, nullptr);
  for (unsigned i = 0; i < count; ++i) {
    VARIANTARG& v = call.vars[count - 1 - i];
    std::memset(&v, 0, sizeof v);
    TLateArg& a = args[i];
    if (a.IsAnsi && a.AnsiRef) {
      refStrings[i] = AnsiToBstr(*a.AnsiRef);
      v.vt = VT_BSTR | VT_BYREF;
      v.pbstrVal = &refStrings[i];
    } else if (a.IsAnsi) {
      v.vt = VT_BSTR;
      v.bstrVal = AnsiToBstr(a.Ansi);
      call.madeStrings.push_back(v.bstrVal);
    } else {
      v = a.Value;
    }
  }
  const bool put = callType == dcPropertyPut;
  std::vector<DISPID> named = NamedDispIds(ids.data() + 1, ids.size() - 1, put);
  WORD flags = callType;
  if (put) {
    if (count > 0 && !args[count - 1].IsAnsi && args[count - 1].Value.vt == VT_DISPATCH)
      flags = DISPATCH_PROPERTYPUTREF;
  } else if (callType == dcMethod && count == 0 && result) {
    flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  }
  DISPPARAMS params{call.vars.empty() ? nullptr : call.vars.data(), named.empty() ? nullptr : named.data(), count,
                    static_cast<UINT>(named.size())};
  EXCEPINFO info{};
  if (result) VariantClear(result);
  {
    TControlCall inProgress;
    hr = dispatch->Invoke(ids[0], IID_NULL, 0, flags, &params, result, &info, nullptr);
  }
  for (unsigned i = 0; i < count; ++i) {
    if (args[i].AnsiRef) {
      *args[i].AnsiRef = BstrToAnsi(refStrings[i]);
      SysFreeString(refStrings[i]);
    }
  }
  CheckDispatchResult(hr, info);
}
