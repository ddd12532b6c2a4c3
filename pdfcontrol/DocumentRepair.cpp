// Repair of a damaged document (see DocumentRepair.h).
#include "pdfcontrol/DocumentRepair.h"

#include "pdfcontrol/RenderProtocol.h"

// Object.h first: the others need its definitions.
#include <Object.h>
#include <Array.h>
#include <Dict.h>
#include <Lexer.h>
#include <PDFDoc.h>
#include <Page.h>
#include <Parser.h>
#include <Stream.h>
#include <XRef.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>

namespace pdfworker {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxTreeDepth = 64;
constexpr size_t kMaxTreeVisits = 1'000'000;
// What a lost font that a page still uses becomes: text in a serif face reads, and most
// documents that lose their fonts this way are typeset in one.
constexpr const char* kStandInFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>";

bool IsWhite(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool IsDelimiter(char c) { return c != 0 && std::strchr("()<>[]{}/%", c) != nullptr; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

enum class Kind : uint8_t { kOther, kCatalog, kPages, kPage, kObjectStream, kXRefStream, kEncryption };

// `value` is a stream's dictionary when `stream` is set.
Kind KindOf(const Object& value, bool stream) {
  if (stream) {
    if (value.isDict("ObjStm")) return Kind::kObjectStream;
    if (value.isDict("XRef")) return Kind::kXRefStream;
    return Kind::kOther;
  }
  if (!value.isDict()) return Kind::kOther;
  const Dict* dict = value.getDict();
  if (dict->is("Catalog")) return Kind::kCatalog;
  if (dict->is("Pages")) return Kind::kPages;
  if (dict->is("Page")) return Kind::kPage;
  if (!dict->hasKey("Type") && dict->lookupNF("Kids").isArray()) return Kind::kPages;
  if (dict->lookupNF("Filter").isName() && ((dict->hasKey("O") && dict->hasKey("U")) || dict->hasKey("Recipients"))) {
    return Kind::kEncryption;
  }
  return Kind::kOther;
}

bool Usable(const Object& value) {
  return !value.isError() && !value.isEOF() && !value.isNull() && !value.isCmd() && !value.isNone();
}

// Parses the object whose text starts at `begin` and may run to `end`, without a
// cross-reference: references stay references. Strict parsing leaves out an object that its
// text's end cuts off.
Object ParseText(const char* base, size_t begin, size_t end, bool strict) {
  end = std::max(begin, end);
  Parser parser(nullptr, new MemStream(base, Goffset(begin), Goffset(end - begin), Object(objNull)), false);
  return parser.getObj(false, nullptr, cryptRC4, 0, 0, 0, 0, strict);
}

std::string Hex(const GooString* text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "<";
  for (int i = 0; i < text->getLength(); ++i) {
    const auto byte = static_cast<unsigned char>(text->getChar(i));
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out + ">";
}

// Joins texts; also keeps GCC 12 from a false -Wrestrict on "literal" + std::string.
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

std::string RefText(Ref ref) { return Cat({std::to_string(ref.num), " ", std::to_string(ref.gen), " R"}); }

// An object found by the scan.
struct Found {
  int num = 0;
  int gen = 0;
  size_t position = 0;  // of the object, or of its object stream: later definitions win
  uint32_t index = 0;   // 1 + its place in its object stream; 0 for an object of its own
  uint32_t source = 0;  // 0: the file; k: decoded object stream k - 1
  size_t begin = 0;     // its value's text in the source (a stream's: its dictionary's)
  size_t end = 0;
  size_t data = 0;  // a stream's data in the file; 0 for other objects
  size_t dataEnd = 0;
  Kind kind = Kind::kOther;
};

// True when only white space lies between the end of a dictionary (">>") and `keyword`.
bool DictionaryEndsAt(std::string_view text, size_t begin, size_t keyword) {
  size_t p = keyword;
  while (p > begin && IsWhite(text[p - 1])) --p;
  return p >= begin + 2 && text.substr(p - 2, 2) == ">>";
}

// Where a stream's data ends: at its declared length when "endstream" follows it there,
// else at the first "endstream", else where the next object starts.
size_t StreamEnd(std::string_view file, size_t start, const Dict* dict, size_t limit) {
  const std::string_view text = file.substr(0, limit);
  const Object& length = dict->lookupNF("Length");
  if (length.isInt() && length.getInt() >= 0 && size_t(length.getInt()) <= limit - start) {
    size_t at = start + size_t(length.getInt());
    while (at < limit && IsWhite(text[at])) ++at;
    if (text.substr(at, 9) == "endstream") return start + size_t(length.getInt());
  }
  size_t at = text.find("endstream", start);
  if (at == std::string_view::npos) return limit;
  // The end of line before the keyword is not data.
  if (at > start && text[at - 1] == '\n') --at;
  if (at > start && text[at - 1] == '\r') --at;
  return at;
}

bool Later(const Found& a, const Found& b) {
  return a.position != b.position ? a.position > b.position : a.index > b.index;
}

// What a trailer (a classic one or a cross-reference stream's dictionary) still tells.
struct Trailer {
  size_t position = 0;
  Ref root = Ref::INVALID();
  Ref info = Ref::INVALID();
  Ref encrypt = Ref::INVALID();
  bool encrypted = false;  // an /Encrypt entry of whatever form
  std::string id;          // the /ID array, written out; empty when there is none
};

Trailer TrailerOf(const Dict* dict, size_t position) {
  Trailer trailer;
  trailer.position = position;
  if (const Object& root = dict->lookupNF("Root"); root.isRef()) trailer.root = root.getRef();
  if (const Object& info = dict->lookupNF("Info"); info.isRef()) trailer.info = info.getRef();
  const Object& encrypt = dict->lookupNF("Encrypt");
  trailer.encrypted = !encrypt.isNull() && !encrypt.isNone();
  if (encrypt.isRef()) trailer.encrypt = encrypt.getRef();
  const Object& id = dict->lookupNF("ID");
  if (id.isArray() && id.arrayGetLength() == 2 && id.arrayGetNF(0).isString() && id.arrayGetNF(1).isString()) {
    trailer.id = Cat({"[", Hex(id.arrayGetNF(0).getString()), " ", Hex(id.arrayGetNF(1).getString()), "]"});
  }
  return trailer;
}

class Repairer {
 public:
  Repairer(std::vector<char> file, const RepairLimits& limits)
      : limits_(limits),
        file_(std::move(file)),
        size_(file_.size()),
        deadline_(Clock::now() + std::chrono::milliseconds(limits.maxMilliseconds)) {}

  RepairedCopy Run();

 private:
  // A page-tree node: a found one's kids, or those of a node made for found pages whose
  // parent is lost.
  struct Node {
    std::vector<Ref> kids;
    bool made = false;
    int gen = 0;
  };

  bool Over() {
    if (!over_ && Clock::now() > deadline_) over_ = true;
    return over_;
  }
  const char* Text(uint32_t source) const { return source == 0 ? file_.data() : decoded_[source - 1].data(); }
  Object Parse(const Found& found) const {
    return ParseText(Text(found.source), found.begin, found.end, found.source != 0);
  }
  const Found* Winner(int num) const {
    auto it = winner_.find(num);
    return it == winner_.end() ? nullptr : &found_[it->second];
  }
  Object Resolve(const Object& value) const {
    if (!value.isRef()) return value.copy();
    const Found* found = Winner(value.getRefNum());
    return found ? Parse(*found) : Object(objNull);
  }
  bool InRange(int num) const { return num > 0 && size_t(num) < limits_.maxObjects; }
  // For a stream of the file: its /Length is the length of its data, or a reference, which
  // Poppler follows and then checks against the data itself.
  bool LengthHolds(const Found& found) const {
    const Object& length = Parse(found).dictLookupNF("Length");
    return length.isRef() || (length.isInt() && size_t(length.getInt()) == found.dataEnd - found.data);
  }
  bool Add(const Found& found) {
    if (found_.size() >= limits_.maxObjects) over_ = true;
    if (over_) return false;
    found_.push_back(found);
    return true;
  }

  void Scan();
  void ReadObjectStreams();
  bool Decode(size_t start, size_t end, Dict* dict, std::string& out);
  void ChooseWinners();
  Ref FindCatalog() const;
  void BuildTree();
  size_t Leaves(int num, std::vector<int>& path, size_t& visits) const;
  void FindLostFonts();
  void Write(RepairedCopy& copy);

  const RepairLimits limits_;
  std::vector<char> file_;
  const size_t size_;
  const Clock::time_point deadline_;
  bool over_ = false;
  size_t decodedBytes_ = 0;

  std::vector<Found> found_;
  std::vector<std::string> decoded_;
  std::vector<Trailer> trailers_;
  std::unordered_map<int, size_t> winner_;  // object number -> index in found_

  std::map<int, Node> nodes_;
  std::vector<int> pages_;        // found pages, in file order
  std::map<int, int> lostPages_;  // lost kids of found nodes: number -> generation
  std::map<int, int> lostFonts_;
  const Trailer* unlocking_ = nullptr;  // the latest trailer that unlocks an encrypted document
  Ref catalog_ = Ref::INVALID();
  int root_ = -1;  // the page tree's root: found, made for lost parents, or made anew
  std::vector<int> newRootKids_;
};

// Objects start with "<num> <gen> obj"; the value's text runs to the next such header.
void Repairer::Scan() {
  const std::string_view text(file_.data(), size_);
  struct Header {
    int num, gen;
    size_t start, body;
  };
  std::vector<Header> headers;
  for (size_t at = text.find("obj"); at != std::string_view::npos; at = text.find("obj", at + 3)) {
    if (headers.size() % 4096 == 0 && Over()) return;
    if (at + 3 < size_ && !IsWhite(text[at + 3]) && !IsDelimiter(text[at + 3])) continue;
    size_t p = at;
    auto digitsBefore = [&](size_t max, long long& value) {
      size_t n = 0;
      while (p > 0 && IsDigit(text[p - 1]) && n <= max) --p, ++n;
      if (n == 0 || n > max) return false;
      value = std::stoll(std::string(text.substr(p, n)));
      return true;
    };
    auto whiteBefore = [&] {
      size_t n = 0;
      while (p > 0 && IsWhite(text[p - 1]) && n < 16) --p, ++n;
      return n > 0;
    };
    long long gen = 0, num = 0;
    if (!whiteBefore() || !digitsBefore(5, gen) || !whiteBefore() || !digitsBefore(7, num)) continue;
    if (p > 0 && !IsWhite(text[p - 1]) && !IsDelimiter(text[p - 1])) continue;
    if (!InRange(int(num)) || gen > 65535) continue;
    headers.push_back({int(num), int(gen), p, at + 3});
  }
  for (size_t i = 0; i < headers.size(); ++i) {
    if (i % 256 == 0 && Over()) return;
    const Header& h = headers[i];
    Found found{h.num, h.gen, h.start, 0, 0, h.body, i + 1 < headers.size() ? headers[i + 1].start : size_};
    // A stream's dictionary is read up to its "stream" keyword, and its data found by the
    // keywords around it: a damaged /Length would lose the object.
    const size_t keyword = text.substr(0, found.end).find("stream", h.body);
    if (keyword != std::string_view::npos && DictionaryEndsAt(text, h.body, keyword)) {
      found.end = keyword;
      found.data = keyword + 6;
      if (found.data < size_ && text[found.data] == '\r') ++found.data;
      if (found.data < size_ && text[found.data] == '\n') ++found.data;
    }
    const Object value = ParseText(file_.data(), found.begin, found.end, false);
    if (!Usable(value) || (found.data && !value.isDict())) continue;
    if (found.data) {
      const size_t limit = i + 1 < headers.size() ? headers[i + 1].start : size_;
      found.dataEnd = StreamEnd(text, found.data, value.getDict(), std::max(limit, found.data));
    }
    found.kind = KindOf(value, found.data != 0);
    if (found.kind == Kind::kXRefStream) trailers_.push_back(TrailerOf(value.getDict(), h.start));
    if (!Add(found)) return;
  }
  for (size_t at = text.find("trailer"); at != std::string_view::npos; at = text.find("trailer", at + 7)) {
    if (Over()) return;
    size_t p = at + 7;
    while (p < size_ && IsWhite(text[p])) ++p;
    if (text.substr(p, 2) != "<<") continue;
    const Object dict = ParseText(file_.data(), p, size_, false);
    if (dict.isDict()) trailers_.push_back(TrailerOf(dict.getDict(), at));
  }
  std::stable_sort(trailers_.begin(), trailers_.end(),
                   [](const Trailer& a, const Trailer& b) { return a.position < b.position; });
}

bool Repairer::Decode(size_t start, size_t end, Dict* dict, std::string& out) {
  auto* raw = new MemStream(file_.data(), Goffset(start), Goffset(end - start), Object(objNull));
  std::unique_ptr<Stream> stream(raw->addFilters(dict));
  stream->reset();
  std::vector<unsigned char> chunk(1 << 16);
  for (;;) {
    const int got = stream->doGetChars(int(chunk.size()), chunk.data());
    if (got <= 0) break;
    decodedBytes_ += size_t(got);
    if (decodedBytes_ > limits_.maxDecodedBytes) over_ = true;
    if (Over()) return false;
    out.append(reinterpret_cast<const char*>(chunk.data()), size_t(got));
  }
  stream->close();
  return true;
}

// Each object stream that still decodes gives the objects whose text is whole in it.
void Repairer::ReadObjectStreams() {
  const size_t scanned = found_.size();
  for (size_t i = 0; i < scanned && !Over(); ++i) {
    if (found_[i].kind != Kind::kObjectStream) continue;
    const Found stream = found_[i];
    Object value = Parse(stream);
    if (!value.isDict()) continue;
    Dict* dict = value.getDict();
    const Object& count = dict->lookupNF("N");
    const Object& first = dict->lookupNF("First");
    if (!count.isInt() || !first.isInt() || count.getInt() <= 0 || first.getInt() < 0 ||
        size_t(count.getInt()) > limits_.maxObjects) {
      continue;
    }
    std::string data;
    if (!Decode(stream.data, stream.dataEnd, dict, data)) return;
    const size_t offset = size_t(first.getInt());
    if (offset > data.size()) continue;
    std::vector<std::pair<int, size_t>> members;
    {
      Lexer lexer(nullptr, new MemStream(data.data(), 0, Goffset(offset), Object(objNull)));
      for (int k = 0; k < count.getInt(); ++k) {
        const Object num = lexer.getObj();
        const Object at = lexer.getObj();
        if (!num.isInt() || !at.isInt() || !InRange(num.getInt()) || at.getInt() < 0) break;
        members.emplace_back(num.getInt(), offset + size_t(at.getInt()));
      }
    }
    decoded_.push_back(std::move(data));
    const auto source = uint32_t(decoded_.size());
    const std::string& text = decoded_.back();
    for (size_t k = 0; k < members.size(); ++k) {
      const size_t begin = members[k].second;
      size_t end = k + 1 < members.size() ? members[k + 1].second : text.size();
      if (begin >= text.size()) continue;
      if (end < begin || end > text.size()) end = text.size();
      // Strict, so that an object cut off where the stream stopped decoding is left out.
      const Object member = ParseText(text.data(), begin, end, true);
      if (!Usable(member)) continue;
      Found found{members[k].first, 0, stream.position, uint32_t(k + 1), source, begin, end};
      found.kind = KindOf(member, false);
      if (!Add(found)) return;
    }
  }
}

void Repairer::ChooseWinners() {
  for (size_t i = 0; i < found_.size(); ++i) {
    auto [it, added] = winner_.try_emplace(found_[i].num, i);
    if (!added && Later(found_[i], found_[it->second])) it->second = i;
  }
}

// The catalog that a trailer names, or else the latest one found, if its page tree is there.
Ref Repairer::FindCatalog() const {
  auto usable = [this](int num) {
    const Found* found = Winner(num);
    if (!found || found->kind != Kind::kCatalog) return false;
    const Object catalog = Parse(*found);
    const Object& pages = catalog.dictLookupNF("Pages");
    const Found* tree = pages.isRef() ? Winner(pages.getRefNum()) : nullptr;
    return tree && (tree->kind == Kind::kPages || tree->kind == Kind::kPage);
  };
  for (auto it = trailers_.rbegin(); it != trailers_.rend(); ++it) {
    if (it->root.num > 0 && usable(it->root.num)) return {it->root.num, Winner(it->root.num)->gen};
  }
  const Found* latest = nullptr;
  for (const auto& [num, index] : winner_) {
    const Found& found = found_[index];
    if (found.kind == Kind::kCatalog && (!latest || Later(found, *latest)) && usable(num)) latest = &found;
  }
  return latest ? Ref{latest->num, latest->gen} : Ref::INVALID();
}

size_t Repairer::Leaves(int num, std::vector<int>& path, size_t& visits) const {
  if (++visits > kMaxTreeVisits) return 0;
  auto it = nodes_.find(num);
  if (it == nodes_.end()) return 1;
  if (path.size() >= kMaxTreeDepth || std::find(path.begin(), path.end(), num) != path.end()) return 0;
  path.push_back(num);
  size_t count = 0;
  for (const Ref& kid : it->second.kids) count += Leaves(kid.num, path, visits);
  path.pop_back();
  return count;
}

// The page tree as far as it survives: found nodes, nodes made for found pages whose parent is
// lost, and lost pages that a found node names (shown as pages with missing contents).
void Repairer::BuildTree() {
  std::vector<const Found*> members;  // found pages and nodes, in file order
  for (const auto& [num, index] : winner_) {
    const Found& found = found_[index];
    if (found.kind == Kind::kPage || found.kind == Kind::kPages) members.push_back(&found);
  }
  std::sort(members.begin(), members.end(), [](const Found* a, const Found* b) { return Later(*b, *a); });
  std::map<int, int> parentOf;
  for (const Found* member : members) {
    if (Over()) return;
    const Object dict = Parse(*member);
    if (!dict.isDict()) continue;
    if (member->kind == Kind::kPage) pages_.push_back(member->num);
    if (member->kind == Kind::kPages) {
      Node& node = nodes_[member->num];
      const Object& kids = dict.dictLookupNF("Kids");
      for (int i = 0; kids.isArray() && i < kids.arrayGetLength(); ++i) {
        const Object& kid = kids.arrayGetNF(i);
        if (kid.isRef() && InRange(kid.getRefNum())) node.kids.push_back(kid.getRef());
      }
    }
    const Object& parent = dict.dictLookupNF("Parent");
    if (parent.isRef() && InRange(parent.getRefNum()) && !Winner(parent.getRefNum())) {
      Node& made = nodes_[parent.getRefNum()];
      made.made = true;
      made.gen = parent.getRefGen();
      made.kids.push_back({member->num, member->gen});
    }
  }
  for (const auto& [num, node] : nodes_) {
    for (const Ref& kid : node.kids) {
      parentOf.try_emplace(kid.num, num);
      if (!node.made && !Winner(kid.num) && !nodes_.count(kid.num)) lostPages_.try_emplace(kid.num, kid.gen);
    }
  }
  if (found_.size() + nodes_.size() + lostPages_.size() > limits_.maxObjects) over_ = true;

  catalog_ = FindCatalog();
  if (catalog_.num > 0) {
    root_ = Parse(*Winner(catalog_.num)).dictLookupNF("Pages").getRefNum();
    return;
  }
  // No catalog: the tops of what survives of the tree, in the order of their first pages.
  std::vector<int> tops;
  for (int page : pages_) {
    int top = page;
    for (size_t depth = 0; depth < kMaxTreeDepth; ++depth) {
      auto it = parentOf.find(top);
      if (it == parentOf.end()) break;
      top = it->second;
    }
    if (std::find(tops.begin(), tops.end(), top) == tops.end()) tops.push_back(top);
  }
  if (tops.size() == 1 && nodes_.count(tops[0])) {
    root_ = tops[0];
  } else {
    newRootKids_ = tops;
  }
}

void Repairer::FindLostFonts() {
  for (int page : pages_) {
    if (Over()) return;
    const Object dict = Parse(*Winner(page));
    const Object resources = Resolve(dict.dictLookupNF("Resources"));
    if (!resources.isDict()) continue;
    const Object fonts = Resolve(resources.dictLookupNF("Font"));
    for (int i = 0; fonts.isDict() && i < fonts.dictGetLength(); ++i) {
      const Object& font = fonts.dictGetValNF(i);
      if (font.isRef() && InRange(font.getRefNum()) && !Winner(font.getRefNum()) && !nodes_.count(font.getRefNum()) &&
          !lostPages_.count(font.getRefNum())) {
        lostFonts_.try_emplace(font.getRefNum(), font.getRefGen());
      }
    }
  }
}

// Appends the objects that the file does not hold as they are, then a cross-reference stream
// over every object and the trailer's entries.
void Repairer::Write(RepairedCopy& copy) {
  struct Entry {
    size_t offset;
    int gen;
  };
  std::map<int, Entry> entries;
  int last = 0;
  for (const auto& [num, index] : winner_) last = std::max(last, num);
  for (const auto& [num, node] : nodes_) last = std::max(last, num);
  for (const auto& [num, gen] : lostPages_) last = std::max(last, num);
  for (const auto& [num, gen] : lostFonts_) last = std::max(last, num);
  const bool newRoot = root_ < 0;
  const int madeRoot = newRoot ? ++last : root_;
  if (catalog_.num <= 0) catalog_ = {++last, 0};
  const int xref = ++last;
  const int size = xref + 1;  // a reference to `size` is one to an object that is not there

  size_t extra = 4096;
  for (const std::string& data : decoded_) extra += data.size();
  for (const auto& [num, index] : winner_) {
    const Found& found = found_[index];
    if (found.source == 0 && found.data && !LengthHolds(found)) extra += found.dataEnd - found.begin + 64;
  }
  extra += 64 * (nodes_.size() + lostPages_.size() + lostFonts_.size() + winner_.size());
  file_.reserve(size_ + extra);
  auto append = [this](std::string_view text) { file_.insert(file_.end(), text.begin(), text.end()); };
  auto object = [&](int num, int gen, std::string_view body) {
    entries[num] = {file_.size(), gen};
    append(Cat({std::to_string(num), " ", std::to_string(gen), " obj\n"}));
    append(body);
    append("\nendobj\n");
  };
  auto kidsText = [this](const std::vector<Ref>& kids) {
    std::string text = "[";
    for (const Ref& kid : kids) {
      const Found* found = Winner(kid.num);
      text.append(" ").append(RefText({kid.num, found ? found->gen : kid.gen}));
    }
    return text.append(" ]");
  };
  append("\n");
  for (const auto& [num, index] : winner_) {
    const Found& found = found_[index];
    if (found.source != 0) {
      object(num, found.gen, std::string_view(Text(found.source) + found.begin, found.end - found.begin));
    } else if (found.data && !LengthHolds(found)) {
      // Written again with the length its keywords show, as a length gone negative would lose
      // it and one that runs past the cut would read the repair's own objects.
      const std::string_view text(file_.data(), size_);
      const size_t close = text.substr(0, found.end).rfind(">>");
      const std::string body =
          Cat({text.substr(found.begin, close - found.begin), " /Length ", std::to_string(found.dataEnd - found.data),
               " >>\nstream\n", text.substr(found.data, found.dataEnd - found.data), "\nendstream"});
      object(num, found.gen, body);
    } else {
      entries[num] = {found.position, found.gen};
    }
  }
  size_t visits = 0;
  std::vector<int> path;
  for (const auto& [num, node] : nodes_) {
    if (!node.made) continue;
    const size_t count = Leaves(num, path, visits);
    object(num, node.gen,
           Cat({"<< /Type /Pages /Kids ", kidsText(node.kids), " /Count ", std::to_string(count), " >>"}));
  }
  for (const auto& [num, gen] : lostPages_) {
    object(num, gen, Cat({"<< /Type /Page /Contents ", std::to_string(size), " 0 R >>"}));
  }
  for (const auto& [num, gen] : lostFonts_) object(num, gen, kStandInFont);
  if (newRoot) {
    std::vector<Ref> kids;
    size_t count = 0;
    for (int top : newRootKids_) {
      const Found* found = Winner(top);
      const auto made = nodes_.find(top);
      kids.push_back({top, found ? found->gen : made != nodes_.end() ? made->second.gen : 0});
      count += Leaves(top, path, visits);
    }
    object(madeRoot, 0, Cat({"<< /Type /Pages /Kids ", kidsText(kids), " /Count ", std::to_string(count), " >>"}));
    copy.pages = count;
  } else {
    copy.pages = Leaves(root_, path, visits);
  }
  if (!Winner(catalog_.num)) {
    object(catalog_.num, 0, Cat({"<< /Type /Catalog /Pages ", std::to_string(madeRoot), " 0 R >>"}));
  }

  // The trailer's entries: the catalog, and what the latest trailers still tell; the
  // identifier goes with the encryption entry it was found with.
  std::string trailer = Cat({" /Root ", RefText(catalog_)});
  const Trailer *info = nullptr, *id = nullptr;
  for (const Trailer& t : trailers_) {
    if (t.info.num > 0 && Winner(t.info.num)) info = &t;
    if (!t.id.empty()) id = &t;
  }
  if (unlocking_) id = unlocking_;
  if (info) trailer.append(" /Info ").append(RefText(info->info));
  if (id) trailer.append(" /ID ").append(id->id);
  if (unlocking_) trailer.append(" /Encrypt ").append(RefText(unlocking_->encrypt));

  const size_t xrefOffset = file_.size();
  entries[xref] = {xrefOffset, 0};
  std::string index, data;
  auto put = [&data](uint8_t type, size_t offset, int gen) {
    const char bytes[7] = {char(type),   char(offset >> 24), char(offset >> 16), char(offset >> 8),
                           char(offset), char(gen >> 8),     char(gen)};
    data.append(bytes, 7);
  };
  put(0, 0, 65535);
  int runStart = 0, runLength = 1, next = 1;
  for (const auto& [num, entry] : entries) {
    if (num != next) {
      index.append(Cat({" ", std::to_string(runStart), " ", std::to_string(runLength)}));
      runStart = num;
      runLength = 0;
    }
    put(1, entry.offset, entry.gen);
    ++runLength;
    next = num + 1;
  }
  index.append(Cat({" ", std::to_string(runStart), " ", std::to_string(runLength)}));
  append(Cat({std::to_string(xref), " 0 obj\n<< /Type /XRef /Size ", std::to_string(size), " /W [1 4 2] /Index [",
              index, " ]", trailer, " /Length ", std::to_string(data.size()), " >>\nstream\n"}));
  append(data);
  append(Cat({"\nendstream\nendobj\nstartxref\n", std::to_string(xrefOffset), "\n%%EOF\n"}));
  copy.objects = entries.size();
}

RepairedCopy Repairer::Run() {
  RepairedCopy copy;
  copy.outcome = RepairOutcome::kBeyondLimits;
  if (size_ > limits_.maxFileBytes) return copy;
  Scan();
  // Strings and streams of an encrypted document are read with a key that needs the
  // trailer's identifier: without it nothing can be shown, and object streams cannot even be
  // decoded.
  bool encrypted = false;
  for (const Trailer& t : trailers_) encrypted = encrypted || t.encrypted;
  for (const Found& found : found_) encrypted = encrypted || found.kind == Kind::kEncryption;
  if (!encrypted) ReadObjectStreams();
  if (Over()) return copy;
  ChooseWinners();
  for (const Trailer& t : trailers_) {
    const Found* handler = t.encrypt.num > 0 ? Winner(t.encrypt.num) : nullptr;
    if (handler && handler->kind == Kind::kEncryption && !t.id.empty()) unlocking_ = &t;
  }
  copy.outcome = RepairOutcome::kEncryptionLost;
  if (encrypted && !unlocking_) return copy;
  BuildTree();
  FindLostFonts();
  copy.outcome = RepairOutcome::kBeyondLimits;
  if (Over()) return copy;
  copy.outcome = RepairOutcome::kNoPages;
  if (root_ < 0 && newRootKids_.empty()) return copy;
  Write(copy);
  if (Over()) {
    copy.outcome = RepairOutcome::kBeyondLimits;
    return copy;
  }
  copy.outcome = RepairOutcome::kRepaired;
  copy.bytes = std::move(file_);
  return copy;
}

}  // namespace

RepairedCopy RepairDocument(std::vector<char> file, const RepairLimits& limits) {
  return Repairer(std::move(file), limits).Run();
}

RepairedCopy RepairFile(const std::wstring& path, const RepairLimits& limits) {
  RepairedCopy copy;
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return copy;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return copy;
  if (uint64_t(size) > limits.maxFileBytes) {
    copy.outcome = RepairOutcome::kBeyondLimits;
    return copy;
  }
  std::vector<char> bytes(static_cast<size_t>(size));
  in.seekg(0, std::ios::beg);
  in.read(bytes.data(), size);
  bytes.resize(static_cast<size_t>(in.gcount()));
  return RepairDocument(std::move(bytes), limits);
}

bool NeedsRepair(PDFDoc& document) {
  if (!document.isOk()) return document.getErrorCode() != errOpenFile && document.getErrorCode() != errEncrypted;
  return document.getNumPages() <= 0;
}

std::unique_ptr<PDFDoc> OpenRepaired(const std::wstring& path, std::vector<char>& copy, uint32_t& answer) {
  RepairedCopy repaired = RepairFile(path);
  switch (repaired.outcome) {
    case RepairOutcome::kEncryptionLost:
      answer = pdfrender::kEncryptionLost;
      return nullptr;
    case RepairOutcome::kBeyondLimits:
      answer = pdfrender::kBeyondRepair;
      return nullptr;
    case RepairOutcome::kRepaired:
      break;
    default:
      return nullptr;
  }
  auto document = std::make_unique<PDFDoc>(
      new MemStream(repaired.bytes.data(), 0, Goffset(repaired.bytes.size()), Object(objNull)));
  if (!document->isOk()) {
    if (document->getErrorCode() == errEncrypted) answer = pdfrender::kEncrypted;
    return nullptr;
  }
  if (document->getNumPages() <= 0) return nullptr;
  copy = std::move(repaired.bytes);  // the same buffer, which the document reads
  return document;
}

bool PageObjectsMissing(PDFDoc& document, Page& page) {
  XRef* xref = document.getXRef();
  const Object dict = xref->fetch(page.getRef());
  if (!dict.isDict()) return false;
  const Object& named = dict.dictLookupNF("Contents");
  auto lost = [xref](const Object& ref) { return ref.isRef() && xref->fetch(ref.getRef()).isNull(); };
  if (lost(named)) return true;
  const Object contents = named.isRef() ? xref->fetch(named.getRef()) : named.copy();
  for (int i = 0; contents.isArray() && i < contents.arrayGetLength(); ++i) {
    if (lost(contents.arrayGetNF(i))) return true;
  }
  return false;
}

}  // namespace pdfworker
