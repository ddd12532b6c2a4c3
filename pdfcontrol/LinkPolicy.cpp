// The link policy (see LinkPolicy.h).
#include "pdfcontrol/LinkPolicy.h"

namespace pdfview {

namespace {

constexpr size_t kMaxTipAddress = 300;

bool Letter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool Digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Characters that hide or disguise what the box shows (controls, bidirectional overrides,
// zero-width marks), and those that a handler's command line could split on.
bool Unsafe(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == L' ' || c == L'"' || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF;
}

// The scheme in lower case, or empty when the address does not start with one: a drive
// ("C:") is not a scheme.
std::wstring SchemeOf(const std::wstring& address) {
  if (address.empty() || !Letter(address[0])) return {};
  size_t end = 1;
  while (end < address.size() && (Letter(address[end]) || Digit(address[end]) || address[end] == L'+' ||
                                  address[end] == L'-' || address[end] == L'.')) {
    ++end;
  }
  if (end >= address.size() || address[end] != L':' || end == 1) return {};
  std::wstring scheme = address.substr(0, end);
  for (wchar_t& c : scheme) {
    if (c >= L'A' && c <= L'Z') c = wchar_t(c + 32);
  }
  return scheme;
}

bool Openable(const std::wstring& address) {
  if (address.empty() || address.size() > kMaxOpenedAddress) return false;
  for (wchar_t c : address) {
    if (Unsafe(c)) return false;
  }
  const std::wstring scheme = SchemeOf(address);
  if (scheme == L"mailto") return address.size() > 7;
  if (scheme != L"http" && scheme != L"https") return false;
  // A host must follow: "http:x.exe" is no web address.
  const size_t rest = scheme.size() + 1;
  return address.compare(rest, 2, L"//") == 0 && address.size() > rest + 2 && address[rest + 2] != L'/' &&
         address[rest + 2] != L'\\';
}

}  // namespace

LinkAction DecideLink(const PageLink& link) {
  if (link.targetPage >= 0) return LinkAction::kJump;
  return Openable(link.address) ? LinkAction::kAskToOpen : LinkAction::kRefuse;
}

std::wstring LinkTip(const PageLink& link) {
  if (link.targetPage >= 0) return {};
  std::wstring shown;
  for (wchar_t c : link.address.substr(0, kMaxTipAddress)) shown += c < 0x20 || c == 0x7F ? wchar_t(0xFFFD) : c;
  if (link.address.size() > kMaxTipAddress) shown += L"\u2026";
  if (DecideLink(link) == LinkAction::kAskToOpen) return shown;
  return shown + L"\nNot opened: this viewer opens only web and mail addresses.";
}

}  // namespace pdfview
