// Reads the outline (see WorkerOutline.h).
#include "pdfcontrol/WorkerOutline.h"

#include "pdfcontrol/RenderProtocol.h"
#include "pdfcontrol/WorkerText.h"

#include <Outline.h>
#include <PDFDoc.h>

#include <cstring>

using namespace pdfrender;

namespace pdfworker {

namespace {

class Encoder {
 public:
  explicit Encoder(PDFDoc& document) : document_(document) {}

  // Depth first, so that each entry follows its parent; stops for good at the first bound.
  void Add(const std::vector<OutlineItem*>* items, uint32_t depth) {
    if (!items || depth >= kMaxOutlineDepth) return;
    for (OutlineItem* item : *items) {
      if (full_ || !item) return;
      OutlineRecord record{depth, 0, -1, item->isOpen() ? 1u : 0u, 0};
      Destination(document_, item->getAction(), record.targetPage, record.targetY);
      std::vector<uint16_t> title;
      const Unicode* chars = item->getTitle();
      for (int i = 0; chars && i < item->getTitleLength() && title.size() + 2 <= kMaxOutlineTitleUnits; ++i) {
        const Unicode c = chars[i];
        if (c < 0x20 || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
          title.push_back(c < 0x20 ? 0x20 : 0xFFFD);
        } else if (c >= 0x10000) {
          title.push_back(uint16_t(0xD800 + ((c - 0x10000) >> 10)));
          title.push_back(uint16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
          title.push_back(uint16_t(c));
        }
      }
      record.titleUnits = uint32_t(title.size());
      const size_t size = sizeof record + title.size() * 2;
      if (count_ >= kMaxOutlineEntries || out_.size() + size > kMaxTextPayload) {
        full_ = true;
        return;
      }
      Put(&record, sizeof record);
      Put(title.data(), title.size() * 2);
      ++count_;
      // Reading the kids is where a damaged outline shows: what was read stays.
      if (item->hasKids()) {
        item->open();
        Add(item->getKids(), depth + 1);
      }
    }
  }

  std::vector<char> Finish(bool mayPrint) {
    const OutlineHeader header{count_, mayPrint ? 1u : 0u};
    std::memcpy(out_.data(), &header, sizeof header);
    return std::move(out_);
  }

 private:
  void Put(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    out_.insert(out_.end(), p, p + size);
  }

  PDFDoc& document_;
  std::vector<char> out_ = std::vector<char>(sizeof(OutlineHeader));
  uint32_t count_ = 0;
  bool full_ = false;
};

}  // namespace

std::vector<char> EncodedOutline(PDFDoc& document) {
  Encoder encoder(document);
  if (Outline* outline = document.getOutline()) encoder.Add(outline->getItems(), 0);
  return encoder.Finish(document.okToPrint());
}

}  // namespace pdfworker
