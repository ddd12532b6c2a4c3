// Pages' text held within a fixed budget of bytes, the least recently used dropped first: the
// worker's (the text it searches and the encoded answer it sends) and the control's (the text
// it highlights and selects), so that neither grows with the document. Platform-free.
#pragma once

#include "pdfcontrol/PageText.h"

#include <cstddef>
#include <list>
#include <map>
#include <vector>

namespace pdfview {

struct CachedText {
  PageText text;
  std::vector<char> encoded;  // the answer as sent, where one is kept
  std::wstring folded;        // the text folded, as a search matches it, where one is kept
  bool tooLarge = false;      // over the protocol's bounds: nothing of it is kept
  size_t Bytes() const;
};

class TextCache {
 public:
  explicit TextCache(size_t budget) : budget_(budget) {}

  // The page's entry, counted as used now; nullptr when it is not held.
  CachedText* Use(int page);
  // Without counting it as used.
  const CachedText* Peek(int page) const;
  bool Holds(int page) const { return entries_.count(page) != 0; }
  // Keeps the entry, then drops the least recently used others until within the budget; the
  // pages dropped are returned. An entry alone over the budget is still kept, alone.
  std::vector<int> Put(int page, CachedText entry);
  void Clear();

  size_t Bytes() const { return bytes_; }
  size_t Budget() const { return budget_; }
  // Takes effect at the next Put.
  void SetBudget(size_t budget) { budget_ = budget; }
  size_t Count() const { return entries_.size(); }

 private:
  struct Held {
    CachedText entry;
    size_t bytes = 0;
    std::list<int>::iterator place;
  };
  size_t budget_;
  size_t bytes_ = 0;
  std::list<int> recent_;  // most recently used first
  std::map<int, Held> entries_;
};

}  // namespace pdfview
