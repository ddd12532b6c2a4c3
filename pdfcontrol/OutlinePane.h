// The outline pane at the left of the pages: the document's outline in the platform's tree
// control, the bar beside it that drags its width, and the entry of the section in view
// selected as the reader scrolls. The reader's tools own it and decide when it shows.
#pragma once

#include "pdfcontrol/Outline.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace pdfview {

class OutlinePane {
 public:
  static constexpr int kSplitter = 5;
  static constexpr int kDefaultWidth = 180;
  static constexpr int kMinWidth = 60;
  static constexpr int kMinPagesWidth = 80;  // left to the pages, however far the bar is dragged

  // The tree comes as a hidden child of the window with the first outline that has entries:
  // most documents have none, and a tree view is among the dearest windows to make.
  void Create(HWND parent, int id);
  HWND Tree() const { return tree_; }
  void SetOutline(DocumentOutline outline);
  const DocumentOutline& Outline() const { return outline_; }
  bool HasEntries() const { return !outline_.entries.empty(); }

  // Whether the reader wants it; it shows while there is an outline to show.
  bool Wanted() const { return wanted_; }
  void SetWanted(bool wanted) { wanted_ = wanted; }
  int Width() const { return width_; }
  void SetWidth(int width) { width_ = std::max(kMinWidth, width); }
  bool Visible() const { return wanted_ && HasEntries(); }
  // The strip the pages leave it.
  int Reserve() const { return Visible() ? width_ + kSplitter : 0; }
  // Puts the tree in the window's client area below the toolbar's strip, or hides it.
  void Place(int top);

  // The entry under the pointer of the message in hand, the selected one, and the one an item stands for; -1
  // for none.
  int EntryAtPointer() const;
  int SelectedEntry() const;
  // Selects the entry of the section that the place is in, without a notice taken as a click.
  void SelectSection(int page, double y);
  bool Selecting() const { return selecting_; }

  // Whether a client point is on the bar, and the width a drag to it gives.
  bool OnBar(POINT client, int top) const;
  int WidthAt(int x) const;

 private:
  void MakeTree();

  HWND parent_ = nullptr;
  int id_ = 0;
  HWND tree_ = nullptr;
  DocumentOutline outline_;
  std::vector<HTREEITEM> items_;
  bool wanted_ = false;
  int width_ = kDefaultWidth;
  bool selecting_ = false;
};

}  // namespace pdfview
