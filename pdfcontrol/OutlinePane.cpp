// The outline pane (see OutlinePane.h).
#include "pdfcontrol/OutlinePane.h"

#include "pdfcontrol/ViewerWindow.h"

#include <commctrl.h>

#include <algorithm>

namespace pdfview {

void OutlinePane::Create(HWND parent, int id) {
  parent_ = parent;
  id_ = id;
  tree_ = nullptr;  // a tree of an earlier window went with it
  items_.clear();
  if (HasEntries()) SetOutline(DocumentOutline(outline_));
}

void OutlinePane::MakeTree() {
  if (tree_ || !parent_) return;
  tree_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
      WS_CHILD | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_INFOTIP, 0, 0,
      10, 10, parent_, reinterpret_cast<HMENU>(INT_PTR(id_)), ThisModule(), nullptr);
  SendMessageW(tree_, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void OutlinePane::SetOutline(DocumentOutline outline) {
  outline_ = std::move(outline);
  items_.clear();
  if (HasEntries()) MakeTree();
  if (!tree_) return;
  selecting_ = true;
  SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(tree_, TVM_DELETEITEM, 0, LPARAM(TVI_ROOT));
  // The entries come each after its parent: the last item of each depth is the parent of the
  // next deeper one.
  std::vector<HTREEITEM> parents;
  for (size_t i = 0; i < outline_.entries.size(); ++i) {
    const OutlineEntry& entry = outline_.entries[i];
    parents.resize(size_t(entry.depth));
    TVINSERTSTRUCTW insert{};
    insert.hParent = parents.empty() ? TVI_ROOT : parents.back();
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(entry.title.c_str());
    insert.item.lParam = LPARAM(i);
    const HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, LPARAM(&insert)));
    items_.push_back(item);
    parents.push_back(item);
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    if (outline_.entries[i].open) SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, LPARAM(items_[i]));
  }
  SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  selecting_ = false;
  InvalidateRect(tree_, nullptr, TRUE);
}

void OutlinePane::Place(int top) {
  if (!tree_) return;
  if (!Visible()) {
    if (IsWindowVisible(tree_)) {
      if (GetFocus() == tree_) SetFocus(GetParent(tree_));
      ShowWindow(tree_, SW_HIDE);
    }
    return;
  }
  RECT client;
  GetClientRect(GetParent(tree_), &client);
  width_ = std::clamp(width_, kMinWidth, std::max<int>(kMinWidth, client.right - kSplitter - kMinPagesWidth));
  MoveWindow(tree_, 0, top, width_, std::max<int>(0, client.bottom - top), TRUE);
  if (!IsWindowVisible(tree_)) ShowWindow(tree_, SW_SHOWNA);
}

int OutlinePane::EntryAtPointer() const {
  if (!tree_) return -1;
  TVHITTESTINFO hit{};
  // Where the pointer was for the message in hand, not where it has gone since.
  const DWORD pos = GetMessagePos();
  hit.pt = POINT{short(LOWORD(pos)), short(HIWORD(pos))};
  ScreenToClient(tree_, &hit.pt);
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_HITTEST, 0, LPARAM(&hit)));
  if (!item || !(hit.flags & TVHT_ONITEM)) return -1;
  const auto at = std::find(items_.begin(), items_.end(), item);
  return at == items_.end() ? -1 : int(at - items_.begin());
}

int OutlinePane::SelectedEntry() const {
  if (!tree_) return -1;
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
  const auto at = std::find(items_.begin(), items_.end(), item);
  return !item || at == items_.end() ? -1 : int(at - items_.begin());
}

void OutlinePane::SelectSection(int page, double y) {
  if (!tree_ || !Visible()) return;
  const int entry = outline_.SectionAt(page, y);
  if (entry == SelectedEntry()) return;
  selecting_ = true;
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, LPARAM(entry < 0 ? nullptr : items_[size_t(entry)]));
  if (entry >= 0) SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, LPARAM(items_[size_t(entry)]));
  selecting_ = false;
}

bool OutlinePane::OnBar(POINT client, int top) const {
  return Visible() && client.y >= top && client.x >= width_ && client.x < width_ + kSplitter;
}

int OutlinePane::WidthAt(int x) const {
  RECT client{};
  if (tree_) GetClientRect(GetParent(tree_), &client);
  return std::clamp(x, kMinWidth, std::max<int>(kMinWidth, client.right - kSplitter - kMinPagesWidth));
}

}  // namespace pdfview
