// The pointer on the pages: what text or link lies under it, selecting, copying, the context
// menu, following links and the tooltip.
#include "pdfcontrol/ReaderTools.h"

#include "pdfcontrol/AddressBox.h"
#include "pdfcontrol/LinkPolicy.h"
#include "pdfcontrol/ReaderToolsShared.h"

#include <cwchar>
#include <tuple>

namespace pdfview {

ReaderTools::Hit ReaderTools::HitAt(POINT client, int page) const {
  Hit hit;
  if (!viewer_.HasDocument()) return hit;
  const PageLayout& layout = viewer_.Layout();
  const RECT area = viewer_.PagesArea();
  const int x = client.x - area.left + viewer_.ScrollX(), y = client.y - area.top + viewer_.ScrollY();
  hit.page = page >= 0 ? page : layout.PageAt(y);
  if (hit.page < 0 || hit.page >= layout.PageCount()) return Hit{};
  const PageBox& box = layout.Box(hit.page);
  const double ppp = layout.PixelsPerPoint();
  const int turns = viewer_.QuarterTurns();
  const double w = (turns % 2 ? box.height : box.width) / ppp, h = (turns % 2 ? box.width : box.height) / ppp;
  std::tie(hit.x, hit.y) = Unturned(turns, w, h, (x - box.x) / ppp, (y - box.y) / ppp);
  return hit;
}

const PageLink* ReaderTools::LinkAt(POINT client) const {
  if (client.y < TopReserve() || client.x < LeftReserve()) return nullptr;
  const Hit hit = HitAt(client);
  const CachedText* held = texts_.Peek(hit.page);
  return held ? held->text.LinkAt(hit.x, hit.y) : nullptr;
}

void ReaderTools::Follow(const PageLink& link) {
  switch (DecideLink(link)) {
    case LinkAction::kJump:
      GoToPlace(link.targetPage, link.targetY);
      break;
    case LinkAction::kAskToOpen:
      ShowTip(L"", POINT{0, 0});
      AskAndOpenAddress(window_, link.address);
      break;
    case LinkAction::kRefuse:
      break;
  }
}

void ReaderTools::SelectOnPage(int page, TextRange range) {
  selectionPage_ = range.Empty() ? -1 : page;
  selection_ = range;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

std::wstring ReaderTools::SelectedText() const {
  const CachedText* held = texts_.Peek(selectionPage_);
  return held ? held->text.Slice(selection_) : std::wstring();
}

void ReaderTools::Copy() const {
  const std::wstring text = SelectedText();
  if (text.empty() || !OpenClipboard(window_)) return;
  std::wstring lines;
  for (wchar_t c : text) {
    if (c == L'\n') lines += L'\r';
    lines += c;
  }
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (lines.size() + 1) * sizeof(wchar_t));
  if (block) {
    std::wmemcpy(static_cast<wchar_t*>(GlobalLock(block)), lines.c_str(), lines.size() + 1);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
  }
  CloseClipboard();
}

void ReaderTools::ShowMenu(POINT screen) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | (SelectedText().empty() ? MF_GRAYED : 0), kCopy, L"Copy");
  AppendMenuW(menu, MF_STRING | (texts_.Holds(CurrentPage()) ? 0 : MF_GRAYED), kSelectAll, L"Select all on page");
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
  DestroyMenu(menu);
  if (chosen) OnCommand(chosen, 0);
}

void ReaderTools::ShowTip(const std::wstring& text, POINT client) {
  if (text == tipText_) return;
  MakeTip();
  if (!tip_) return;
  tipText_ = text;
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = UINT_PTR(window_);
  tool.lpszText = const_cast<wchar_t*>(tipText_.c_str());
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, LPARAM(&tool));
  if (text.empty()) {
    SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, LPARAM(&tool));
    return;
  }
  ClientToScreen(window_, &client);
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(client.x + 12, client.y + 20));
  SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, LPARAM(&tool));
}

}  // namespace pdfview
