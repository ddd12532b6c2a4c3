// The outline's answer and sections (see Outline.h).
#include "pdfcontrol/Outline.h"

#include "pdfcontrol/RenderProtocol.h"

#include <cmath>
#include <cstring>

namespace pdfview {

using namespace pdfrender;

namespace {

template <typename T>
bool Take(const char*& data, size_t& size, T& out) {
  if (size < sizeof out) return false;
  std::memcpy(&out, data, sizeof out);
  data += sizeof out;
  size -= sizeof out;
  return true;
}

}  // namespace

bool DocumentOutline::Decode(const char* data, size_t size, uint32_t pageCount) {
  entries.clear();
  mayPrint = true;
  OutlineHeader header{};
  if (size > kMaxTextPayload || !Take(data, size, header) || header.entryCount > kMaxOutlineEntries ||
      header.mayPrint > 1) {
    return false;
  }
  std::vector<OutlineEntry> read;
  for (uint32_t i = 0; i < header.entryCount; ++i) {
    OutlineRecord record{};
    const int previous = read.empty() ? -1 : read.back().depth;
    if (!Take(data, size, record) || record.depth >= kMaxOutlineDepth || int(record.depth) > previous + 1 ||
        record.targetPage > pageCount || !std::isfinite(record.targetY) || std::fabs(record.targetY) > kMaxCoordinate ||
        record.open > 1 || record.titleUnits > kMaxOutlineTitleUnits || size < size_t(record.titleUnits) * 2) {
      return false;
    }
    OutlineEntry entry;
    entry.depth = int(record.depth);
    entry.page = int(record.targetPage) - 1;
    entry.y = record.targetPage ? record.targetY : -1;
    entry.open = record.open != 0;
    entry.title.resize(record.titleUnits);
    for (wchar_t& c : entry.title) {
      uint16_t unit = 0;
      Take(data, size, unit);
      c = wchar_t(unit);
    }
    read.push_back(std::move(entry));
  }
  if (size != 0) return false;
  entries = std::move(read);
  mayPrint = header.mayPrint != 0;
  return true;
}

int DocumentOutline::SectionAt(int page, double y) const {
  int best = -1;
  int bestPage = -1;
  double bestY = 0;
  for (int i = 0; i < int(entries.size()); ++i) {
    const OutlineEntry& e = entries[size_t(i)];
    if (e.page < 0) continue;
    const double ey = e.y < 0 ? 0 : e.y;
    if (e.page > page || (e.page == page && ey > y)) continue;
    if (best < 0 || e.page > bestPage || (e.page == bestPage && ey >= bestY)) {
      best = i;
      bestPage = e.page;
      bestY = ey;
    }
  }
  return best;
}

}  // namespace pdfview
