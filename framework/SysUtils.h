// Exceptions with the program's message texts, and small text helpers shared by all units.
//
//   Exception            base: carries a message text
//   EAbort               silent: never shown
//   EInOutError          file system failure with its system code
//   EOSError             other system call failures
//   EListError, EOutOfResources, EInvalidOperation, EResNotFound, EReadError,
//   EConvertError, EComponentError
//   TScopeExit           a cleanup run when its scope ends, also by an exception
//   TUpdateScope         closes a begin/end pair whose closing call may itself throw
#pragma once

#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

// The text of a string-table entry of the running program (empty when there is none).
std::string LoadResString(unsigned id);

// printf-style formatting into a std::string.
template <class... Args>
std::string Format(const std::string& format, Args... args) {
  int size = std::snprintf(nullptr, 0, format.c_str(), args...);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(out.data(), out.size(), format.c_str(), args...);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

// A string-table text formatted with its arguments.
template <class... Args>
std::string ResFmt(unsigned id, Args... args) {
  return Format(LoadResString(id), args...);
}

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

class EAbort : public Exception {
 public:
  EAbort();
};

class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class EOSError : public Exception {
 public:
  EOSError(std::string message, unsigned long errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}
  unsigned long ErrorCode() const { return errorCode_; }

 private:
  unsigned long errorCode_;
};

// Plain families that add nothing but their type.
class EListError : public Exception {
 public:
  using Exception::Exception;
};
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};
class EResNotFound : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public Exception {
 public:
  using Exception::Exception;
};
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
class EPropertyError : public Exception {
 public:
  using Exception::Exception;
};

// "List index out of bounds (%d)".
[[noreturn]] void ListIndexError(int index);
// The last system error as EOSError, with the system's text.
[[noreturn]] void RaiseLastOSError();

// Text rules of the 8-bit system code page.
std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
// Converts between the system ANSI code page and UTF-16.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Decimal text of an integer, and back ("'%s' is not a valid integer value" on failure).
std::string IntToStr(long long value);
int StrToInt(std::string_view text);
double StrToFloat(std::string_view text);

// Runs its cleanup when the scope ends, by return or by exception, unless dismissed first. The
// cleanup must not throw: it may run while an exception is on its way out.
class TScopeExit {
 public:
  explicit TScopeExit(std::function<void()> cleanup) : cleanup_(std::move(cleanup)) {}
  ~TScopeExit() {
    if (cleanup_) cleanup_();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;
  // The work succeeded and keeps what the cleanup would undo.
  void Dismiss() { cleanup_ = nullptr; }

 private:
  std::function<void()> cleanup_;
};

// Closes a begin/end pair (BeginUpdate/EndUpdate, DisableAlign/EnableAlign) whose closing call
// may itself throw, for instance by realigning or reporting a change. The success path calls
// Close(), so a failure of the closing call reaches the caller as any other. A scope left by an
// exception closes the pair in its destructor and drops a failure of the closing call: a
// destructor must not throw, and the first failure is the one the caller needs to see.
class TUpdateScope {
 public:
  explicit TUpdateScope(std::function<void()> close) : close_(std::move(close)) {}
  ~TUpdateScope() {
    try {
      Close();
    } catch (...) {
    }
  }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;
  // Runs the closing call once; later calls and the destructor do nothing.
  void Close() {
    std::function<void()> close = std::move(close_);
    close_ = nullptr;
    if (close) close();
  }

 private:
  std::function<void()> close_;
};
