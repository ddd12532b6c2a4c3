// COM automation under the embedded-control host: COM start-up, the exceptions that failed
// COM calls become, and calls on dispatch interfaces (early-bound by a compiled descriptor,
// late-bound by member name).
//
//   EOleError, EOleSysError, EOleException, EIntfCastError   failures of COM calls
//   TDispCallDescriptor   the compiled form of one member of a dispatch interface
//   TDispArg              one argument of an early-bound call
//   TLateArg              one argument of a late-bound call
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/SysUtils.h"

class EOleError : public Exception {
 public:
  explicit EOleError(std::string message, unsigned long helpContext = 0)
      : Exception(std::move(message)), helpContext_(helpContext) {}
  unsigned long HelpContext() const { return helpContext_; }

 private:
  unsigned long helpContext_;
};

class EOleSysError : public EOleError {
 public:
  EOleSysError(std::string message, HRESULT resultCode, unsigned long helpContext = 0)
      : EOleError(std::move(message), helpContext), resultCode_(resultCode) {}
  HRESULT ResultCode() const { return resultCode_; }

 private:
  HRESULT resultCode_;
};

class EOleException : public EOleSysError {
 public:
  EOleException(std::string message, HRESULT resultCode, std::string source, std::string helpFile,
                unsigned long helpContext)
      : EOleSysError(std::move(message), resultCode, helpContext),
        source_(std::move(source)),
        helpFile_(std::move(helpFile)) {}
  const std::string& Source() const { return source_; }
  const std::string& HelpFile() const { return helpFile_; }

 private:
  std::string source_;
  std::string helpFile_;
};

class EIntfCastError : public Exception {
 public:
  using Exception::Exception;
};

// Registers COM start-up (single-threaded apartment) as a start-up hook of the application
// object, and its end at exit when it started. Registering twice does nothing more.
void RegisterComStartup();
// Whether the start-up hook started COM on this thread.
bool ComStarted();

// The message of a failed HRESULT: the system's text, or "OLE error %.8x".
std::string OleErrorMessage(HRESULT code);
[[noreturn]] void OleError(HRESULT code);
// A checked call: failure codes raise EOleSysError, success codes (S_FALSE too) pass.
void OleCheck(HRESULT code);
// The error mapping of a failed dispatch call; frees the EXCEPINFO's strings.
[[noreturn]] void DispatchInvokeError(HRESULT code, EXCEPINFO& info);
// Frees the strings that a callee left in an EXCEPINFO, whatever the call's outcome.
void FreeExcepInfo(EXCEPINFO& info);

// A call into an embedded control, or from one into the host, in progress: references whose
// release waits for the control's calls to return are released only once none is.
class TControlCall {
 public:
  TControlCall();
  ~TControlCall();
  TControlCall(const TControlCall&) = delete;
  TControlCall& operator=(const TControlCall&) = delete;
};
// Releases `object` from the message loop once no control call is in progress (a handler
// freed the host while the control was still inside its call).
void ReleaseAfterCall(IUnknown* object);
// Releases everything still waiting; at the end, before COM stops.
void ReleaseDelayedObjects();
// "Interface not supported".
[[noreturn]] void IntfNotSupported();

// Text conversions between 8-bit strings in the system code page and BSTRs.
BSTR AnsiToBstr(const std::string& text);
std::string BstrToAnsi(BSTR text);

// Variant types of descriptors; bit 7 of an argument type marks an argument by reference.
constexpr std::uint8_t kDispByRef = 0x80;
enum TDispCallType : std::uint8_t { dcMethod = 1, dcPropertyGet = 2, dcPropertyPut = 4 };

struct TDispCallDescriptor {
  DISPID DispId;
  std::uint8_t ResultType;
  std::uint8_t CallType;
  std::uint8_t ArgCount;
  std::uint8_t NamedArgCount;
  std::vector<std::uint8_t> ArgTypes;
};

// One argument as the caller hands it over: a pointer for by-reference types, the variant for
// VT_VARIANT, eight bytes for VT_R8, VT_CY and VT_DATE, and 32 bits for everything else.
struct TDispArg {
  void* Ref = nullptr;
  std::uint32_t Value32 = 0;
  std::uint64_t Value64 = 0;
  VARIANT Variant{};

  static TDispArg ByRef(void* pointer);
  static TDispArg Of32(std::uint32_t value);
  static TDispArg Of64(std::uint64_t value);
  static TDispArg OfDouble(double value);
  static TDispArg OfVariant(const VARIANT& value);
  static TDispArg OfBstr(BSTR value) {
    return Of32(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value)));
  }
};

// The early-bound call. `result` points at the caller's storage for the descriptor's result
// type: LONG for VT_I2, VT_I4, VT_BOOL and VT_I1 (the caller keeps the low bits it needs),
// float for VT_R4, double for VT_R8 and VT_DATE, CY for VT_CY, BSTR, IUnknown* (or
// IDispatch*) or VARIANT; it may be null for results without value.
void InvokeByDescriptor(IDispatch* dispatch, const TDispCallDescriptor& descriptor, const DISPID* namedDispIds,
                        const TDispArg* args, void* result);

// One argument of a late-bound call: a variant, an 8-bit string, or a reference to one.
struct TLateArg {
  VARIANT Value{};
  bool IsAnsi = false;
  std::string Ansi;
  std::string* AnsiRef = nullptr;

  static TLateArg Of(const VARIANT& value);
  static TLateArg OfString(std::string text);
  static TLateArg OfStringRef(std::string* text);
};

// The late-bound call on the dispatch interface that `object` holds (or references).
// Arguments go in declaration order; `argNames` names the trailing arguments, last argument
// first, as IDispatch pairs them. `result` may be null when no result is wanted.
void DispatchInvoke(const VARIANT& object, const std::string& member, const std::vector<std::string>& argNames,
                    std::vector<TLateArg>& args, TDispCallType callType, VARIANT* result);
