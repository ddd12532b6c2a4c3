// Orders of list lines.
//
//   TListLine              a line to add in bulk: text and object
//   CaseInsensitiveOrder,  orders of texts by the platform's case-insensitive comparison,
//   SortedListOrder        the latter exactly as a sorted platform list places added lines
//   TOrderCheck            whether texts come in the first order, told one text at a time
#pragma once

#include <windows.h>

#include <string>
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

class TAsciiRanks;

// Whether texts come in CaseInsensitiveOrder's order, told one text at a time: for lines taken
// into a list while they are still being read.
class TOrderCheck {
 public:
  explicit TOrderCheck(LCID locale) : locale_(locale) {}
  // Whether the text may follow the last text let follow (an equal one may); if so, it is the
  // last from now on.
  bool Follows(const std::string& text);

 private:
  LCID locale_;
  std::size_t seen_ = 0;
  // The table of character ranks, made for long runs of texts only, as the one-pass order does.
  const TAsciiRanks* table_ = nullptr;
  bool lastPlain_ = false;
  // The texts' ranks when they have them.
  std::string ranks_, lastRanks_;
  std::vector<wchar_t> wide_, lastWide_;
};
