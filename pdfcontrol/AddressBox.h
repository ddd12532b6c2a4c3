// The box that stands between a document's link and the platform's handler for its address:
// it shows the whole address, with "Open" and "Cancel", Cancel the default. The address opened
// is the very string the box showed.
#pragma once

#include <windows.h>

#include <string>

namespace pdfview {

constexpr const wchar_t* kAddressBoxCaption = L"Open link";

// Asks, and on "Open" hands the address to its handler; true when it was handed over.
bool AskAndOpenAddress(HWND owner, const std::wstring& address);

}  // namespace pdfview
