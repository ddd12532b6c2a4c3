// The worker's side of text (see WorkerText.h).
#include "pdfcontrol/WorkerText.h"

#include "pdfcontrol/TextCache.h"

#include <GfxState.h>
#include <Link.h>
#include <PDFDoc.h>
#include <Page.h>
#include <TextOutputDev.h>

#include <chrono>
#include <memory>

using namespace pdfrender;

namespace pdfworker {

namespace {

// What a page's reading leaves: its glyphs and links, until they are encoded.
struct ReadPage {
  bool tooLarge = false;  // more glyphs than the control takes: nothing of it is sent
  std::vector<GlyphRecord> glyphs;
  std::vector<pdfview::LinkSource> links;
};

// Whatever the document's length: a search through all of it keeps only the pages read last.
constexpr size_t kTextBudget = 32u << 20;
pdfview::TextCache pages(kTextBudget);

std::wstring Widen(const std::string& text) {
  // Addresses are 7-bit by the file format's rule; anything else is shown as it comes.
  std::wstring out;
  for (unsigned char c : text) out += wchar_t(c);
  return out;
}

// Counts the characters drawn, so that a page of endless text is given up on while it is
// read, not after it has filled the worker's memory.
class CountingTextDevice final : public TextOutputDev {
 public:
  CountingTextDevice() : TextOutputDev(nullptr, nullptr, false, 0, false, false) {}
  void drawChar(GfxState* state, double x, double y, double dx, double dy, double originX, double originY, CharCode c,
                int bytes, const Unicode* u, int units) override {
    ++drawn_;
    TextOutputDev::drawChar(state, x, y, dx, dy, originX, originY, c, bytes, u, units);
  }
  bool Over() const { return drawn_ > kMaxGlyphs; }
  static bool Abort(void* self) { return static_cast<CountingTextDevice*>(self)->Over(); }

 private:
  uint64_t drawn_ = 0;
};

void ReadGlyphs(PDFDoc& document, int page, ReadPage& out) {
  CountingTextDevice device;
  if (!device.isOk()) return;
  document.displayPage(&device, page, 72, 72, 0, false, true, false, &CountingTextDevice::Abort, &device);
  if (device.Over()) {
    out.tooLarge = true;
    return;
  }
  for (const TextFlow* flow = device.getFlows(); flow; flow = flow->getNext()) {
    for (const TextBlock* block = flow->getBlocks(); block; block = block->getNext()) {
      for (const TextLine* line = block->getLines(); line; line = line->getNext()) {
        for (const TextWord* word = line->getWords(); word; word = word->getNext()) {
          for (int i = 0; i < word->getLength(); ++i) {
            double x0, y0, x1, y1;
            word->getCharBBox(i, &x0, &y0, &x1, &y1);
            uint32_t flags = 0;
            if (i + 1 == word->getLength()) {
              if (!word->getNext()) {
                flags = kLineEnd;
              } else if (word->getSpaceAfter()) {
                flags = kSpaceAfter;
              }
            }
            const Unicode code = *word->getChar(i);
            GlyphRecord glyph{float(x0), float(y0), float(x1), float(y1), code, flags};
            if (code > 0xFFFF && code <= 0x10FFFF) {
              GlyphRecord high = glyph;
              high.code = 0xD800 + ((code - 0x10000) >> 10);
              high.flags = 0;
              out.glyphs.push_back(high);
              glyph.code = 0xDC00 + ((code - 0x10000) & 0x3FF);
            } else if (code > 0xFFFF) {
              glyph.code = 0xFFFD;
            }
            out.glyphs.push_back(glyph);
            if (out.glyphs.size() > kMaxGlyphs) {
              out.tooLarge = true;
              out.glyphs.clear();
              return;
            }
          }
        }
      }
    }
  }
}

void ReadLinks(PDFDoc& document, int page, ReadPage& out) {
  Page* p = document.getPage(page);
  if (!p) return;
  // The same placement as the rendering: the crop box, the page's rotation, y downwards.
  const GfxState state(72, 72, p->getCropBox(), p->getRotate(), true);
  std::unique_ptr<Links> links = p->getLinks();
  for (AnnotLink* link : links->getLinks()) {
    if (out.links.size() >= kMaxLinks) break;
    LinkAction* action = link->getAction();
    if (!action) continue;
    pdfview::LinkSource source{};
    double x1, y1, x2, y2;
    link->getRect(&x1, &y1, &x2, &y2);
    double tx0, ty0, tx1, ty1;
    state.transform(x1, y1, &tx0, &ty0);
    state.transform(x2, y2, &tx1, &ty1);
    source.record = {float(tx0), float(ty0), float(tx1), float(ty1), 0, -1, 0};
    if (action->getKind() == actionURI) {
      // Cut addresses are still far over what the control opens.
      source.address = Widen(static_cast<LinkURI*>(action)->getURI()).substr(0, kMaxAddressUnits);
      if (source.address.empty()) continue;
    } else if (action->getKind() == actionGoTo) {
      if (!pdfworker::Destination(document, action, source.record.targetPage, source.record.targetY)) continue;
    } else {
      continue;
    }
    out.links.push_back(std::move(source));
  }
}

// A page's entry: its text folded, as a search matches it, and with `whole` the answer that
// the control is sent (glyph boxes and links), which a search reads only for a page shown or
// matched, a few of all that it goes through.
pdfview::CachedText ReadEntry(PDFDoc& document, int page, bool whole) {
  ReadPage read;
  pdfview::CachedText entry;
  ReadGlyphs(document, page, read);
  entry.tooLarge = read.tooLarge;
  if (read.tooLarge) return entry;
  if (whole) {
    ReadLinks(document, page, read);
    entry.encoded = pdfview::EncodePageText(read.glyphs, read.links);
  }
  entry.folded = pdfview::FoldCase(pdfview::TextOf(read.glyphs));
  return entry;
}

const pdfview::CachedText& Read(PDFDoc& document, int page) {
  if (const pdfview::CachedText* held = pages.Use(page); held && (held->tooLarge || !held->encoded.empty())) {
    return *held;
  }
  pages.Put(page, ReadEntry(document, page, true));
  return *pages.Use(page);
}

}  // namespace

void ForgetText() { pages.Clear(); }

#ifdef FOLVANE_TEST_SEAMS
pdfview::TextCache& HeldText() { return pages; }
#endif

bool EncodedText(PDFDoc& document, int page, std::vector<char>& out) {
  const pdfview::CachedText& read = Read(document, page);
  if (read.tooLarge) return false;
  out = read.encoded;
  return out.size() <= kMaxTextPayload;
}

FindAnswer FindPage(PDFDoc& document, const FindRequest& request, const std::wstring& text) {
  FindAnswer answer{};
  const int count = document.getNumPages();
  if (text.empty() || count < 1) return answer;
  const std::wstring wanted = pdfview::MatchForm(text);
  const auto started = std::chrono::steady_clock::now();
  const auto budget = std::chrono::milliseconds(request.budgetMs);
  int page = int((request.startPage - 1) % uint32_t(count)) + 1;
  while (answer.searched < request.count && answer.searched < uint32_t(count)) {
    const pdfview::CachedText* held = pages.Use(page);
    if (!held) {
      pages.Put(page, ReadEntry(document, page, false));
      held = pages.Use(page);
    }
    ++answer.searched;
    if (held->tooLarge) {
      ++answer.tooLarge;
    } else if (!pdfview::FindFolded(held->folded, wanted, 1).empty()) {
      answer.page = uint32_t(page);
      break;
    }
    if (std::chrono::steady_clock::now() - started >= budget) break;
    page = request.forward ? page % count + 1 : (page + count - 2) % count + 1;
  }
  return answer;
}

}  // namespace pdfworker

namespace pdfworker {

bool Destination(PDFDoc& document, const LinkAction* action, uint32_t& page, float& y) {
  if (!action || action->getKind() != actionGoTo) return false;
  const auto* go = static_cast<const LinkGoTo*>(action);
  std::unique_ptr<LinkDest> named;
  const LinkDest* dest = go->getDest();
  if (!dest && go->getNamedDest()) {
    named = document.findDest(go->getNamedDest());
    dest = named.get();
  }
  if (!dest || !dest->isOk()) return false;
  const int target = dest->isPageRef() ? document.findPage(dest->getPageRef()) : dest->getPageNum();
  if (target < 1 || target > document.getNumPages()) return false;
  page = uint32_t(target);
  y = -1;
  if (dest->getKind() == destXYZ && dest->getChangeTop()) {
    if (Page* t = document.getPage(target)) {
      const GfxState targetState(72, 72, t->getCropBox(), t->getRotate(), true);
      double tx, ty;
      targetState.transform(dest->getLeft(), dest->getTop(), &tx, &ty);
      y = float(ty >= 0 ? ty : 0);
    }
  }
  return true;
}

}  // namespace pdfworker
