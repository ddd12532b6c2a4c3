// What a click on a document's link may do. Documents come from strangers, so a link never
// starts a program: only web and mail addresses leave the viewer, and only after the user has
// seen the whole address and agreed. Everything else (files, paths, shares, scripts, data and
// every other scheme) is shown in the link's tooltip and not opened. Platform-free.
#pragma once

#include "pdfcontrol/PageText.h"

#include <string>

namespace pdfview {

enum class LinkAction {
  kJump,       // a place in this document
  kAskToOpen,  // an http, https or mailto address: opened only if the user agrees
  kRefuse,     // never opened
};

// Longer addresses are not opened: nobody can check them by eye.
constexpr size_t kMaxOpenedAddress = 2048;

LinkAction DecideLink(const PageLink& link);
// The tooltip over an outside link: the address, and for one that is refused, that it was
// not opened.
std::wstring LinkTip(const PageLink& link);

}  // namespace pdfview
