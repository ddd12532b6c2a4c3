// Functions of the system libraries that only rare actions need (printing, opening a link's
// address, registering the control), looked up on first use. Imported, these libraries would
// be loaded with the control, and so during the host program's start-up, for every session.
#pragma once

#include <windows.h>

#include <string>

namespace pdfview {

// The function `name` of the system library `library` (for example L"shell32.dll"), loaded
// from the system folder only, never from the host's folder or the current one; null when the
// library or the function is missing. The library stays loaded, as an imported one would.
template <typename Function>
Function* SystemFunction(const wchar_t* library, const char* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + library;
  HMODULE module = GetModuleHandleW(path.c_str());
  if (!module) module = LoadLibraryW(path.c_str());
  if (!module) return nullptr;
  // Through the generic function type, which converts to any other without a warning.
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace pdfview
