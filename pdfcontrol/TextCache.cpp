// Pages' text within a budget (see TextCache.h).
#include "pdfcontrol/TextCache.h"

namespace pdfview {

size_t CachedText::Bytes() const {
  return sizeof *this + text.Bytes() + encoded.capacity() + folded.capacity() * sizeof(wchar_t);
}

CachedText* TextCache::Use(int page) {
  auto it = entries_.find(page);
  if (it == entries_.end()) return nullptr;
  recent_.splice(recent_.begin(), recent_, it->second.place);
  return &it->second.entry;
}

const CachedText* TextCache::Peek(int page) const {
  auto it = entries_.find(page);
  return it == entries_.end() ? nullptr : &it->second.entry;
}

std::vector<int> TextCache::Put(int page, CachedText entry) {
  auto it = entries_.find(page);
  if (it != entries_.end()) {
    bytes_ -= it->second.bytes;
    recent_.erase(it->second.place);
    entries_.erase(it);
  }
  // Map and list nodes counted too: a page of no text still costs something to hold.
  const size_t bytes = entry.Bytes() + 64;
  recent_.push_front(page);
  entries_[page] = Held{std::move(entry), bytes, recent_.begin()};
  bytes_ += bytes;
  std::vector<int> dropped;
  while (bytes_ > budget_ && recent_.size() > 1) {
    const int oldest = recent_.back();
    recent_.pop_back();
    auto gone = entries_.find(oldest);
    bytes_ -= gone->second.bytes;
    entries_.erase(gone);
    dropped.push_back(oldest);
  }
  return dropped;
}

void TextCache::Clear() {
  entries_.clear();
  recent_.clear();
  bytes_ = 0;
}

}  // namespace pdfview
