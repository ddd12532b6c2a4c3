// A page's text as the viewer finds, selects and copies it, and the page's links: built from
// the worker's glyph records (RenderProtocol.h), which both sides encode and decode here, so
// that the worker's search and the window's highlights agree on every match. Positions are in
// points from the page's top left corner as displayed. Platform-free.
#pragma once

#include "pdfcontrol/RenderProtocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pdfview {

struct TextBox {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Characters [begin, end) of PageText::Text().
struct TextRange {
  int begin = 0, end = 0;
  bool Empty() const { return end <= begin; }
  bool operator==(const TextRange&) const = default;
};

struct PageLink {
  TextBox area;
  int targetPage = -1;  // from 0; -1 for an outside address
  double targetY = -1;  // points from the target page's top; negative for its top
  std::wstring address;
};

struct LinkSource {
  pdfrender::LinkRecord record;
  std::wstring address;
};

std::vector<char> EncodePageText(const std::vector<pdfrender::GlyphRecord>& glyphs,
                                 const std::vector<LinkSource>& links);

class PageText {
 public:
  // From an encoded answer; false (and empty) when the bytes are not one, or break a bound
  // of the protocol (a link to a page past `pageCount` among them).
  bool Decode(const char* data, size_t size, uint32_t pageCount = pdfrender::kMaxPages);
  // About what the page's text holds of memory.
  size_t Bytes() const;
  void Build(const std::vector<pdfrender::GlyphRecord>& glyphs, std::vector<PageLink> links);

  // The glyphs in reading order, a space between words and a line break between lines.
  const std::wstring& Text() const { return text_; }
  const std::vector<PageLink>& Links() const { return links_; }
  bool HasText() const { return !text_.empty(); }

  // Every occurrence, ignoring case, in reading order.
  std::vector<TextRange> Find(const std::wstring& query) const;
  // One box per line that the range touches.
  std::vector<TextBox> Boxes(TextRange range) const;
  // From the character nearest to one point to the one nearest to the other, in reading order.
  TextRange Between(double x0, double y0, double x1, double y1) const;
  TextRange WordAt(double x, double y) const;
  TextRange All() const { return {0, int(text_.size())}; }
  std::wstring Slice(TextRange range) const;
  const PageLink* LinkAt(double x, double y) const;

 private:
  int Nearest(double x, double y) const;

  std::wstring text_;
  // Per character of text_: its glyph's box and line; separators take the box of the glyph
  // before them and ownBox_ false.
  std::vector<TextBox> boxes_;
  std::vector<int> lines_;
  std::vector<bool> ownBox_;
  std::vector<PageLink> links_;
};

// Lower case for matching without regard to case, the same on both sides of the pipe.
std::wstring FoldCase(std::wstring text);
// The text that PageText::Build makes of the glyphs, without what it keeps beside the text.
std::wstring TextOf(const std::vector<pdfrender::GlyphRecord>& glyphs);
// A query as it is matched: folded, ligatures spelt out, every run of white space one space.
std::wstring MatchForm(const std::wstring& query);
// Every occurrence of `wanted` (a MatchForm) in `folded` (a page's text, folded), in reading
// order; `most` of them at most.
std::vector<TextRange> FindFolded(const std::wstring& folded, const std::wstring& wanted, size_t most = SIZE_MAX);

}  // namespace pdfview
