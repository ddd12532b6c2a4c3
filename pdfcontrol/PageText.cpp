// A page's text (see PageText.h).
#include "pdfcontrol/PageText.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <limits>

using namespace pdfrender;

namespace pdfview {

namespace {

template <typename T>
void Put(std::vector<char>& out, const T& value) {
  const size_t at = out.size();
  out.resize(at + sizeof value);
  std::memcpy(out.data() + at, &value, sizeof value);
}

template <typename T>
bool Take(const char*& data, size_t& left, T& value) {
  if (left < sizeof value) return false;
  std::memcpy(&value, data, sizeof value);
  data += sizeof value;
  left -= sizeof value;
  return true;
}

bool Finite(float v) { return std::isfinite(v) && std::fabs(v) < kMaxCoordinate; }

// Ligatures of the presentation forms, matched as the letters they join.
const wchar_t* LigatureLetters(wchar_t c) {
  switch (c) {
    case 0xFB00:
      return L"ff";
    case 0xFB01:
      return L"fi";
    case 0xFB02:
      return L"fl";
    case 0xFB03:
      return L"ffi";
    case 0xFB04:
      return L"ffl";
    case 0xFB05:
    case 0xFB06:
      return L"st";
    case 0x0132:
    case 0x0133:
      return L"ij";
    default:
      return nullptr;
  }
}

bool IsHyphen(wchar_t c) { return c == L'-' || c == 0x00AD || c == 0x2010; }

// What stands between a glyph and the next: a line break, a space or nothing.
wchar_t SeparatorAfter(const GlyphRecord& glyph) {
  return glyph.flags & kLineEnd ? L'\n' : glyph.flags & kSpaceAfter ? L' ' : L'\0';
}

wchar_t CharOf(const GlyphRecord& glyph) { return wchar_t(glyph.code ? glyph.code : L' '); }

// Where a match of `wanted` that starts at text[at] ends (one past its last character), or -1.
// A line end counts as a space; a hyphen that ends a line may be skipped with the line end.
int MatchAt(const std::wstring& text, size_t at, const std::wstring& wanted) {
  size_t t = at, q = 0;
  while (q < wanted.size()) {
    if (t >= text.size()) return -1;
    const wchar_t c = text[t];
    if (IsHyphen(c) && t + 1 < text.size() && text[t + 1] == L'\n') {
      if (IsHyphen(wanted[q])) {
        // "self-" "made" as "self-made": the line end after the hyphen is no space.
        if (q + 1 == wanted.size()) return int(t + 1);
        const int end = MatchAt(text, t + 2, wanted.substr(q + 1));
        if (end >= 0) return end;
      }
      if (t == at) return -1;
      t += 2;  // "exam-" "ple" as "example"
      continue;
    }
    if (const wchar_t* letters = LigatureLetters(c)) {
      const size_t n = std::wcslen(letters);
      if (wanted.compare(q, n, letters) != 0) return -1;
      q += n;
      ++t;
      continue;
    }
    const wchar_t as = c == L'\n' || c == 0xA0 ? L' ' : c;
    if (as != wanted[q]) return -1;
    ++q;
    ++t;
  }
  return int(t);
}

double Distance(const TextBox& box, double x, double y) {
  const double dx = x < box.x0 ? box.x0 - x : x > box.x1 ? x - box.x1 : 0;
  const double dy = y < box.y0 ? box.y0 - y : y > box.y1 ? y - box.y1 : 0;
  // Lines are far apart vertically and glyphs close horizontally: a point beside a line
  // belongs to that line before the one above or below it.
  return dx + dy * 4;
}

}  // namespace

// The platform's own linguistic case rules for every script ("\u0130" is "i" there), one code
// unit for one, so that positions in the folded text are positions in the text; a native build
// (fuzzing) has the C library's.
std::wstring FoldCase(std::wstring text) {
  if (text.empty()) return text;
#ifdef _WIN32
  // Not in place: the platform maps in place only without linguistic rules.
  std::wstring folded(text.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING, text.data(), int(text.size()),
                   folded.data(), int(folded.size())) == int(text.size())) {
    return folded;
  }
#endif
  for (wchar_t& c : text) c = wchar_t(std::towlower(wint_t(c)));
  return text;
}

std::wstring MatchForm(const std::wstring& query) {
  std::wstring out;
  for (wchar_t c : FoldCase(query)) {
    if (const wchar_t* letters = LigatureLetters(c)) {
      out += letters;
    } else if (c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == 0xA0) {
      if (!out.empty() && out.back() != L' ') out += L' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == L' ') out.pop_back();
  return out;
}

std::wstring TextOf(const std::vector<GlyphRecord>& glyphs) {
  std::wstring text;
  text.reserve(glyphs.size() + glyphs.size() / 4);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    if (i > 0) {
      if (const wchar_t separator = SeparatorAfter(glyphs[i - 1])) text += separator;
    }
    text += CharOf(glyphs[i]);
  }
  return text;
}

std::vector<char> EncodePageText(const std::vector<GlyphRecord>& glyphs, const std::vector<LinkSource>& links) {
  std::vector<char> out;
  Put(out, PageTextHeader{uint32_t(glyphs.size()), uint32_t(links.size())});
  for (const GlyphRecord& glyph : glyphs) Put(out, glyph);
  for (const LinkSource& link : links) {
    LinkRecord record = link.record;
    record.addressUnits = uint32_t(link.address.size());
    Put(out, record);
    for (wchar_t c : link.address) Put(out, uint16_t(c));
  }
  return out;
}

bool PageText::Decode(const char* data, size_t size, uint32_t pageCount) {
  *this = PageText();
  PageTextHeader header{};
  if (!Take(data, size, header) || header.glyphCount > kMaxGlyphs || header.linkCount > kMaxLinks ||
      size < size_t(header.glyphCount) * sizeof(GlyphRecord)) {
    return false;
  }
  std::vector<GlyphRecord> glyphs(header.glyphCount);
  for (GlyphRecord& glyph : glyphs) {
    Take(data, size, glyph);
    if (!Finite(glyph.x0) || !Finite(glyph.y0) || !Finite(glyph.x1) || !Finite(glyph.y1)) return false;
  }
  std::vector<PageLink> links;
  for (uint32_t i = 0; i < header.linkCount; ++i) {
    LinkRecord record{};
    if (!Take(data, size, record) || record.addressUnits > kMaxAddressUnits || record.targetPage > pageCount ||
        size < size_t(record.addressUnits) * 2 || !Finite(record.x0) || !Finite(record.y0) || !Finite(record.x1) ||
        !Finite(record.y1) || !Finite(record.targetY)) {
      return false;
    }
    PageLink link;
    link.area = {std::min(record.x0, record.x1), std::min(record.y0, record.y1), std::max(record.x0, record.x1),
                 std::max(record.y0, record.y1)};
    link.targetPage = int(record.targetPage) - 1;
    link.targetY = record.targetY;
    for (uint32_t u = 0; u < record.addressUnits; ++u) {
      uint16_t c = 0;
      Take(data, size, c);
      link.address += wchar_t(c);
    }
    links.push_back(std::move(link));
  }
  if (size != 0) return false;
  Build(glyphs, std::move(links));
  return true;
}

void PageText::Build(const std::vector<GlyphRecord>& glyphs, std::vector<PageLink> links) {
  text_.clear();
  boxes_.clear();
  lines_.clear();
  ownBox_.clear();
  links_ = std::move(links);
  int line = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphRecord& g = glyphs[i];
    const TextBox box{std::min(g.x0, g.x1), std::min(g.y0, g.y1), std::max(g.x0, g.x1), std::max(g.y0, g.y1)};
    auto add = [&](wchar_t c, bool own) {
      text_ += c;
      boxes_.push_back(box);
      lines_.push_back(line);
      ownBox_.push_back(own);
    };
    add(CharOf(g), true);
    if (i + 1 == glyphs.size()) break;
    if (const wchar_t separator = SeparatorAfter(g)) {
      add(separator, false);
      if (separator == L'\n') ++line;
    }
  }
}

size_t PageText::Bytes() const {
  size_t bytes = text_.size() * (sizeof(wchar_t) + sizeof(TextBox) + sizeof(int)) + ownBox_.size() / 8;
  for (const PageLink& link : links_) bytes += sizeof link + link.address.size() * sizeof(wchar_t);
  return bytes;
}

std::vector<TextRange> PageText::Find(const std::wstring& query) const {
  const std::wstring wanted = MatchForm(query);
  if (wanted.empty() || text_.empty()) return {};
  return FindFolded(FoldCase(text_), wanted);
}

std::vector<TextRange> FindFolded(const std::wstring& folded, const std::wstring& wanted, size_t most) {
  std::vector<TextRange> found;
  if (wanted.empty()) return found;
  // A match starts with the query's first character, or with a ligature that spells it.
  const wchar_t first = wanted[0];
  for (size_t at = 0; at < folded.size() && found.size() < most;) {
    const wchar_t c = folded[at];
    if (c != first && !LigatureLetters(c)) {
      ++at;
      continue;
    }
    const int end = MatchAt(folded, at, wanted);
    if (end > int(at)) {
      found.push_back({int(at), end});
      at = size_t(end);
    } else {
      ++at;
    }
  }
  return found;
}

std::vector<TextBox> PageText::Boxes(TextRange range) const {
  std::vector<TextBox> out;
  range.begin = std::max(range.begin, 0);
  range.end = std::min(range.end, int(text_.size()));
  int line = -1;
  for (int i = range.begin; i < range.end; ++i) {
    if (!ownBox_[i]) continue;
    const TextBox& b = boxes_[i];
    if (lines_[i] != line || out.empty()) {
      out.push_back(b);
      line = lines_[i];
    } else {
      TextBox& u = out.back();
      u = {std::min(u.x0, b.x0), std::min(u.y0, b.y0), std::max(u.x1, b.x1), std::max(u.y1, b.y1)};
    }
  }
  return out;
}

int PageText::Nearest(double x, double y) const {
  int best = -1;
  double bestDistance = std::numeric_limits<double>::max();
  for (int i = 0; i < int(text_.size()); ++i) {
    if (!ownBox_[i]) continue;
    const double d = Distance(boxes_[i], x, y);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

TextRange PageText::Between(double x0, double y0, double x1, double y1) const {
  const int a = Nearest(x0, y0), b = Nearest(x1, y1);
  if (a < 0 || b < 0) return {};
  return {std::min(a, b), std::max(a, b) + 1};
}

TextRange PageText::WordAt(double x, double y) const {
  const int at = Nearest(x, y);
  if (at < 0) return {};
  const TextBox& box = boxes_[at];
  if (x < box.x0 - 2 || x > box.x1 + 2 || y < box.y0 - 2 || y > box.y1 + 2) return {};
  auto inWord = [this](int i) { return ownBox_[i] && text_[i] != L' '; };
  int begin = at, end = at + 1;
  while (begin > 0 && inWord(begin - 1)) --begin;
  while (end < int(text_.size()) && inWord(end)) ++end;
  return {begin, end};
}

std::wstring PageText::Slice(TextRange range) const {
  range.begin = std::clamp(range.begin, 0, int(text_.size()));
  range.end = std::clamp(range.end, range.begin, int(text_.size()));
  return text_.substr(range.begin, range.end - range.begin);
}

const PageLink* PageText::LinkAt(double x, double y) const {
  for (const PageLink& link : links_) {
    if (x >= link.area.x0 && x <= link.area.x1 && y >= link.area.y0 && y <= link.area.y1) return &link;
  }
  return nullptr;
}

}  // namespace pdfview
