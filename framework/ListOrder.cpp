// The orders in which lists hold their lines: the platform's case-insensitive comparison made
// cheap for long lists, and the exact places a sorted platform list gives lines added one by one.
#include "framework/ListOrder.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

// Ranks of the printable ASCII characters under the comparison, for names made of them alone:
// compared rank by rank they order as the comparison orders them, at a fraction of its cost.
// Characters that the comparison does not weigh like letters (a hyphen counts only when all
// else is equal) get no rank, and names holding them are compared by the platform.
class TAsciiRanks {
 public:
  // No character ranked: every name goes to the platform.
  TAsciiRanks() = default;
  explicit TAsciiRanks(LCID locale) {
    auto compare = [locale](const wchar_t* a, int na, const wchar_t* b, int nb) {
      return CompareStringW(locale, NORM_IGNORECASE, a, na, b, nb) - CSTR_EQUAL;
    };
    std::vector<wchar_t> chars;
    for (wchar_t c = 0x20; c < 0x7F; ++c) chars.push_back(c);
    std::stable_sort(chars.begin(), chars.end(), [&](wchar_t a, wchar_t b) { return compare(&a, 1, &b, 1) < 0; });
    unsigned char rank = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      if (i == 0 || compare(&chars[i - 1], 1, &chars[i], 1) != 0) ++rank;
      rank_[static_cast<std::size_t>(chars[i])] = rank;
    }
    for (wchar_t c : chars) {
      bool weighed = compare(&c, 1, L"", 0) > 0;
      for (wchar_t other : {L'a', L'0', L'.', L' '}) {
        unsigned char r = rank_[static_cast<std::size_t>(c)], o = rank_[static_cast<std::size_t>(other)];
        if (r == o) continue;
        wchar_t x[2] = {c, L'z'}, y[2] = {other, L'a'};
        int got = compare(x, 2, y, 2);
        if ((got < 0) != (r < o) || got == 0) weighed = false;
      }
      if (!weighed) rank_[static_cast<std::size_t>(c)] = 0;
    }
  }
  // Appends the text's ranks; false when a character has none.
  bool AppendRanks(std::string_view text, std::string& out) const {
    std::size_t start = out.size();
    for (char ch : text) {
      auto c = static_cast<unsigned char>(ch);
      if (c >= 0x80 || rank_[c] == 0) {
        out.resize(start);
        return false;
      }
      out.push_back(static_cast<char>(rank_[c]));
    }
    return true;
  }

 private:
  std::array<unsigned char, 128> rank_{};
};

namespace {

// One table per locale, whatever name the caller gives it (the user's default or its number).
const TAsciiRanks& AsciiRanks(LCID locale) {
  static std::map<LCID, std::unique_ptr<TAsciiRanks>> ranks;
  std::unique_ptr<TAsciiRanks>& found = ranks[ConvertDefaultLocale(locale)];
  if (!found) found = std::make_unique<TAsciiRanks>(locale);
  return *found;
}

// Building the ranks costs about a thousand comparisons: fewer lines than this are keyed by the
// platform alone, which a program's first small folder (at start-up) then never pays for.
constexpr std::size_t kRankedFrom = 200;

const TAsciiRanks& Unranked() {
  static const TAsciiRanks unranked;
  return unranked;
}

// The text as the platform list holds it: converted from the ANSI code page, where plain ASCII
// (the same in every ANSI code page) needs no conversion call.
void Widen(const std::string& text, std::vector<wchar_t>& out) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    out.assign(text.begin(), text.end());
    return;
  }
  int length = static_cast<int>(text.size());
  out.resize(text.size());
  int converted = MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), length);
  out.resize(static_cast<std::size_t>(std::max(converted, 0)));
}

// The texts as the platform list holds them (wide, converted from the ANSI code page), each
// with a key: its ranks when it has them (a plain name), else its sort key. Keys of one kind
// order as the comparison does.
class TCollation {
 public:
  TCollation(const std::vector<TListLine>& lines, LCID locale) : locale_(locale) {
    const TAsciiRanks& ranks = lines.size() >= kRankedFrom ? AsciiRanks(locale) : Unranked();
    std::size_t n = lines.size();
    wideAt_.reserve(n + 1);
    keyAt_.reserve(n + 1);
    plain_.reserve(n);
    std::vector<wchar_t> buffer;
    for (const TListLine& line : lines) {
      wideAt_.push_back(wide_.size());
      Widen(line.Text, buffer);
      wide_.append(buffer.data(), buffer.size());
      keyAt_.push_back(keys_.size());
      plain_.push_back(ranks.AppendRanks(line.Text, keys_));
      // This line's end is not recorded yet: its text runs to the end of the texts.
      if (!plain_.back()) AppendSortKey(std::wstring_view(wide_).substr(wideAt_.back()));
    }
    wideAt_.push_back(wide_.size());
    keyAt_.push_back(keys_.size());
  }

  bool Plain(int i) const { return plain_[static_cast<std::size_t>(i)]; }
  // The platform's own comparison: below zero, zero or above zero.
  int Compare(int a, int b) const {
    std::wstring_view x = Wide(a), y = Wide(b);
    return CompareStringW(locale_, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                          static_cast<int>(y.size())) -
           CSTR_EQUAL;
  }
  // Only between texts of the same kind.
  int CompareKeys(int a, int b) const { return Key(a).compare(Key(b)); }

 private:
  std::wstring_view Wide(int i) const {
    return std::wstring_view(wide_).substr(
        wideAt_[static_cast<std::size_t>(i)],
        wideAt_[static_cast<std::size_t>(i) + 1] - wideAt_[static_cast<std::size_t>(i)]);
  }
  std::string_view Key(int i) const {
    return std::string_view(keys_).substr(keyAt_[static_cast<std::size_t>(i)], keyAt_[static_cast<std::size_t>(i) + 1] -
                                                                                   keyAt_[static_cast<std::size_t>(i)]);
  }
  void AppendSortKey(std::wstring_view text) {
    constexpr DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int length = static_cast<int>(text.size());
    // LCMapStringW rejects an empty source; an empty text keys before every other.
    if (length == 0) return;
    int size = LCMapStringW(locale_, flags, text.data(), length, nullptr, 0);
    if (size <= 0) return;
    std::size_t at = keys_.size();
    keys_.resize(at + static_cast<std::size_t>(size));
    LCMapStringW(locale_, flags, text.data(), length, reinterpret_cast<LPWSTR>(keys_.data() + at), size);
  }

  LCID locale_;
  std::wstring wide_;
  std::vector<std::size_t> wideAt_;
  std::string keys_;
  std::vector<std::size_t> keyAt_;
  std::vector<bool> plain_;
};

// Each kind of text ordered by its keys, the two merged by the comparison, and the result
// checked pair by pair against the comparison itself where a name without ranks is involved
// (one platform call per text instead of one per comparison); where they ever disagree,
// ordered by the comparison alone. Equal texts
// keep their given order; `sameAsPrevious` tells for each place whether its text equals the
// one before.
std::vector<int> OrderBy(const TCollation& collation, std::size_t count, std::vector<bool>& sameAsPrevious) {
  std::vector<int> plain, other;
  for (std::size_t i = 0; i < count; ++i)
    (collation.Plain(static_cast<int>(i)) ? plain : other).push_back(static_cast<int>(i));
  auto byKey = [&](int a, int b) { return collation.CompareKeys(a, b) < 0; };
  auto compared = [&](int a, int b) { return collation.Compare(a, b) < 0; };
  std::stable_sort(plain.begin(), plain.end(), byKey);
  std::stable_sort(other.begin(), other.end(), byKey);
  std::vector<int> order(count);
  std::merge(plain.begin(), plain.end(), other.begin(), other.end(), order.begin(), compared);
  sameAsPrevious.assign(count, false);
  for (std::size_t i = 1; i < count; ++i) {
    // Ranks were checked against the comparison when the table was made; a pair of plain
    // names needs no platform call.
    bool ranked = collation.Plain(order[i - 1]) && collation.Plain(order[i]);
    int result = ranked ? collation.CompareKeys(order[i - 1], order[i]) : collation.Compare(order[i - 1], order[i]);
    if (result > 0) {
      std::stable_sort(order.begin(), order.end(), compared);
      for (std::size_t j = 1; j < count; ++j) sameAsPrevious[j] = collation.Compare(order[j - 1], order[j]) == 0;
      break;
    }
    sameAsPrevious[i] = result == 0;
  }
  for (std::size_t i = 1, start = 0; i <= count; ++i) {
    if (i < count && sameAsPrevious[i]) continue;
    std::sort(order.begin() + static_cast<std::ptrdiff_t>(start), order.begin() + static_cast<std::ptrdiff_t>(i));
    start = i;
  }
  return order;
}

}  // namespace

std::vector<int> CaseInsensitiveOrder(const std::vector<TListLine>& lines, LCID locale) {
  std::vector<bool> sameAsPrevious;
  return OrderBy(TCollation(lines, locale), lines.size(), sameAsPrevious);
}

std::vector<int> SortedListOrder(const std::vector<TListLine>& lines, LCID locale) {
  TCollation collation(lines, locale);
  std::vector<bool> sameAsPrevious;
  std::vector<int> order = OrderBy(collation, lines.size(), sameAsPrevious);
  // Runs of equal texts: the list puts a new line before the equal line that its binary
  // search meets first, so their order depends on what the list held at each addition.
  std::size_t n = order.size();
  std::vector<std::size_t> runOf(n);  // by added position: rank of its run of equal texts
  std::size_t runs = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!sameAsPrevious[i]) ++runs;
    runOf[static_cast<std::size_t>(order[i])] = runs - 1;
  }
  if (runs == n) return order;
  // Replays the additions: lines below a run make up its first position at each moment
  // (counted in a Fenwick tree over the runs), so each search is replayed by positions alone.
  std::vector<int> below(runs + 1, 0);
  std::vector<std::vector<int>> members(runs);
  for (std::size_t added = 0; added < n; ++added) {
    std::size_t run = runOf[added];
    int first = 0;
    for (std::size_t k = run; k > 0; k -= k & (~k + 1)) first += below[k];
    int equal = static_cast<int>(members[run].size());
    int low = 0, high = static_cast<int>(added) - 1, at = -1;
    while (low <= high) {
      int middle = (low + high) / 2;
      if (middle < first) low = middle + 1;
      else if (middle >= first + equal) high = middle - 1;
      else {
        at = middle;
        break;
      }
    }
    if (at < 0) at = low;
    members[run].insert(members[run].begin() + (at - first), static_cast<int>(added));
    for (std::size_t k = run + 1; k <= runs; k += k & (~k + 1)) ++below[k];
  }
  std::size_t place = 0;
  for (const std::vector<int>& run : members)
    for (int line : run) order[place++] = line;
  return order;
}

bool TOrderCheck::Follows(const std::string& text) {
  if (++seen_ == kRankedFrom) table_ = &AsciiRanks(locale_);
  if (!table_) table_ = &Unranked();
  ranks_.clear();
  const bool plain = table_->AppendRanks(text, ranks_);
  Widen(text, wide_);
  // Ended, so that an empty text too has a place for the comparison to read.
  wide_.push_back(L'\0');
  if (seen_ > 1) {
    int result = plain && lastPlain_
                     ? ranks_.compare(lastRanks_)
                     : CompareStringW(locale_, NORM_IGNORECASE, wide_.data(), -1, lastWide_.data(), -1) - CSTR_EQUAL;
    if (result < 0) return false;
  }
  ranks_.swap(lastRanks_);
  wide_.swap(lastWide_);
  lastPlain_ = plain;
  return true;
}
