// A document's outline as the control holds it: entries in reading order, each after its
// parent, decoded from the worker's answer with every field checked; and which entry names
// the section a place in the document belongs to. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pdfview {

struct OutlineEntry {
  int depth = 0;
  int page = -1;  // from 0; -1 for none
  float y = -1;   // points below the page's top, negative for its top
  bool open = false;
  std::wstring title;
};

struct DocumentOutline {
  std::vector<OutlineEntry> entries;
  bool mayPrint = true;

  // False, and empty, for an answer that breaks the protocol's bounds.
  bool Decode(const char* data, size_t size, uint32_t pageCount);
  // The entry of the section that the place (page from 0, points below its top) is in: the
  // last in reading order of those leading furthest without passing it; -1 for none.
  int SectionAt(int page, double y) const;
};

}  // namespace pdfview
