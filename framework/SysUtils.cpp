#include "framework/SysUtils.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "framework/MessageTexts.h"

std::string LoadResString(unsigned id) {
  char buffer[1024];
  int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

EAbort::EAbort() : Exception(LoadResString(SAbortError)) {}

void ListIndexError(int index) { throw EListError(ResFmt(SListIndexError, index)); }

void RaiseLastOSError() {
  DWORD code = GetLastError();
  if (code == 0) throw EOSError(LoadResString(SUnkOSError), 0);
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string systemText = text ? text : "";
  if (text) LocalFree(text);
  while (!systemText.empty() && (systemText.back() == '\n' || systemText.back() == '\r')) systemText.pop_back();
  throw EOSError(ResFmt(SOSError, static_cast<int>(code), systemText.c_str()), code);
}

std::string AnsiLowerCase(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::string AnsiUpperCase(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
  return out;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
  return out;
}

std::string IntToStr(long long value) { return std::to_string(value); }

int StrToInt(std::string_view text) {
  std::string s(text);
  char* end = nullptr;
  errno = 0;
  long long value = 0;
  if (!s.empty() && s[0] == '$') value = std::strtoll(s.c_str() + 1, &end, 16);
  else value = std::strtoll(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    throw EConvertError(ResFmt(SInvalidNumber, s.c_str()));
  return static_cast<int>(value);
}

double StrToFloat(std::string_view text) {
  std::string s(text);
  char* end = nullptr;
  double value = std::strtod(s.c_str(), &end);
  if (s.empty() || *end != '\0') throw EConvertError(ResFmt(SInvalidFloat, s.c_str()));
  return value;
}
