// Orders of list lines.
//
//   TListLine              a line to add in bulk: text and object
//   TCaseInsensitiveRun    whether texts, one by one, come in the first order below already
//   CaseInsensitiveOrder,  orders of texts by the platform's case-insensitive comparison,
//   SortedListOrder        the latter exactly as a sorted platform list places added lines
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "framework/Components.h"

struct TListLine {
  std::string Text;
  TObject* Object = nullptr;
};

// Positions of the texts ordered by CompareString with NORM_IGNORECASE in the locale, equal
// texts in their given order.
std::vector<int> CaseInsensitiveOrder(const std::vector<TListLine>& lines, LCID locale);
// Positions of the texts in the order in which a sorted LISTBOX of the locale holds them after
// they were added one by one in the given order (equal texts where its search puts them).
std::vector<int> SortedListOrder(const std::vector<TListLine>& lines, LCID locale);

// Tells, text by text, whether texts arrive in CaseInsensitiveOrder already (which then keeps
// them as they came): each is compared with the one before as that order compares them.
class TCaseInsensitiveRun {
 public:
  explicit TCaseInsensitiveRun(LCID locale) : locale_(locale) {}
  // Whether the text sorts at or after the one before (the first always does).
  bool Follows(std::string_view text);

 private:
  LCID locale_;
  std::size_t count_ = 0;
  std::wstring previous_, current_;
  std::string previousRanks_, currentRanks_;
  bool previousRanked_ = false;
};
