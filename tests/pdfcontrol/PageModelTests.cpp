// What the viewer control works out without a window: how a page's text matches what a reader
// types, which pages' text a cache keeps, how the layout takes page sizes that arrive late, and
// which zoom it shows for what is asked of it, where a point lands on a turned page, and which
// outline answers it takes and which entry names the section in view, and which kept section
// a page's pixels get.
#include "pdfcontrol/Outline.h"
#include "pdfcontrol/PageLayout.h"
#include "pdfcontrol/PageText.h"
#include "pdfcontrol/RendererClient.h"
#include "pdfcontrol/TextCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace pdfview;

namespace {

// A page of the given lines, one glyph per character, words apart by their spaces.
PageText PageOf(const std::vector<std::wstring>& lines) {
  std::vector<pdfrender::GlyphRecord> glyphs;
  float y = 10;
  for (const std::wstring& line : lines) {
    float x = 10;
    for (wchar_t c : line) {
      if (c == L' ') {
        if (!glyphs.empty()) glyphs.back().flags = pdfrender::kSpaceAfter;
      } else {
        glyphs.push_back({x, y, x + 6, y + 10, uint32_t(c), 0});
      }
      x += 6;
    }
    if (!glyphs.empty()) glyphs.back().flags = pdfrender::kLineEnd;
    y += 14;
  }
  PageText text;
  text.Build(glyphs, {});
  return text;
}

TEST(PageModel, TextMatchesAsAReaderExpects) {
  struct Case {
    std::vector<std::wstring> lines;
    std::wstring query;
    std::vector<std::wstring> found;  // the matched text, as it stands on the page
  };
  const Case cases[] = {
      {{L"to \u0141\u00D3D\u0179 by train"}, L"\u0142\u00F3d\u017A", {L"\u0141\u00D3D\u0179"}},
      {{L"\u0142\u00F3d\u017A"}, L"\u0141\u00D3D\u0179", {L"\u0142\u00F3d\u017A"}},
      {{L"\u0130STANBUL"}, L"istanbul", {L"\u0130STANBUL"}},
      {{L"\u03A3\u039F\u03A6\u0399\u0391 and \u0421\u041E\u0424\u0418\u042F"},
       L"\u03C3\u03BF\u03C6\u03B9\u03B1 AND \u0441\u043E\u0444\u0438\u044F",
       {L"\u03A3\u039F\u03A6\u0399\u0391 and \u0421\u041E\u0424\u0418\u042F"}},
      {{L"Page page PAGE"}, L"page", {L"Page", L"page", L"PAGE"}},
      // A line end is a space, however many the query has.
      {{L"the end of", L"the line"}, L"of  the", {L"of\nthe"}},
      // A hyphen that ends a line may be skipped, or matched.
      {{L"an exam-", L"ple here"}, L"example", {L"exam-\nple"}},
      {{L"a self-", L"made man"}, L"self-made", {L"self-\nmade"}},
      {{L"a self-", L"made man"}, L"selfmade", {L"self-\nmade"}},
      {{L"a self-", L"made man"}, L"self-", {L"self-"}},
      // Only at a line end: a hyphen inside a line is a letter like any other.
      {{L"self-made"}, L"selfmade", {}},
      {{L"exam- ple"}, L"example", {}},
      // Ligatures match their letters, on the page and in the query.
      {{L"\uFB01nd the \uFB02ow"}, L"FIND", {L"\uFB01nd"}},
      {{L"\uFB01nd the \uFB02ow"}, L"the flow", {L"the \uFB02ow"}},
      {{L"an office"}, L"o\uFB03ce", {L"office"}},
      {{L"a zebra"}, L"zebras", {}},
      {{L"a zebra"}, L"", {}},
  };
  for (const Case& c : cases) {
    const PageText text = PageOf(c.lines);
    std::vector<std::wstring> found;
    for (const TextRange& range : text.Find(c.query)) found.push_back(text.Slice(range));
    EXPECT_EQ(found, c.found) << "query of " << c.query.size() << " units: " << c.lines.front().size();
  }
}

// Pages go least recently used first, and the cache never holds more than its budget.
TEST(PageModel, TextCacheKeepsItsBudget) {
  CachedText page;
  page.text = PageOf({L"forty lines of prose would be here"});
  page.encoded.resize(1000);
  CachedText large = page;
  large.encoded.resize(10000);
  TextCache cache(3 * (page.Bytes() + 64));
  struct Step {
    char op;  // 'p' puts a page, 'P' a page over the budget, 'u' uses one
    int page;
    std::vector<int> dropped;
    std::vector<int> held;
  };
  const Step steps[] = {
      {'p', 1, {}, {1}},
      {'p', 2, {}, {1, 2}},
      {'p', 3, {}, {1, 2, 3}},
      {'p', 4, {1}, {2, 3, 4}},
      {'u', 2, {}, {2, 3, 4}},
      {'p', 5, {3}, {2, 4, 5}},
      {'p', 4, {}, {2, 4, 5}},  // again: it replaces itself, and is
                                // now the newest
      {'p', 6, {2}, {4, 5, 6}},
      {'P', 7, {5, 4, 6}, {7}},
      {'p', 8, {7}, {8}},
  };
  for (const Step& step : steps) {
    std::vector<int> dropped;
    if (step.op == 'u') {
      EXPECT_NE(cache.Use(step.page), nullptr) << step.page;
    } else {
      dropped = cache.Put(step.page, step.op == 'P' ? large : page);
    }
    std::vector<int> held;
    for (int p = 1; p <= 8; ++p) {
      if (cache.Holds(p)) held.push_back(p);
    }
    EXPECT_EQ(dropped, step.dropped) << step.op << step.page;
    EXPECT_EQ(held, step.held) << step.op << step.page;
    EXPECT_TRUE(cache.Bytes() <= cache.Budget() || cache.Count() == 1) << cache.Bytes();
  }
}

// Opened with two sizes of ten known, the rest arriving in runs while the reader is on page 7:
// the layout assumes each unknown page like the last known one, and the spot at the top of the
// view stays on the same page, the same share down it.
TEST(PageModel, LayoutTakesSizesAsTheyArrive) {
  const std::pair<float, float> a4{595, 842}, letter_wide{792, 612}, a5{420, 595};
  PageLayout layout;
  layout.SetPages({a4, a4}, 10);
  layout.Arrange(800, 1);
  EXPECT_EQ(layout.KnownPages(), 2);
  ASSERT_EQ(layout.PageCount(), 10);
  EXPECT_EQ(layout.Box(9).height, layout.Box(0).height);
  int top = layout.Box(6).y + layout.Box(6).height / 3;
  struct Arrival {
    int first;
    std::vector<std::pair<float, float>> sizes;
    int known;
  };
  const Arrival arrivals[] = {
      {2, {letter_wide, letter_wide, a5}, 5},
      {5, {a4, a4, a4, a4, letter_wide}, 10},
      {7, {a5}, 10},   // a correction within the known
      {11, {a5}, 10},  // past the end: refused
  };
  for (const Arrival& arrival : arrivals) {
    const auto place = layout.PlaceOf(top);
    layout.SetSizes(arrival.first, arrival.sizes);
    layout.Arrange(800, 1);
    EXPECT_EQ(layout.KnownPages(), arrival.known);
    if (arrival.known < 10) {
      EXPECT_EQ(layout.Box(9).height, int(std::lround(arrival.sizes.back().second * layout.PixelsPerPoint())));
    }
    top = layout.RowOf(place);
    EXPECT_EQ(layout.PageAt(top), 6) << arrival.first;
    EXPECT_NEAR(double(top - layout.Box(6).y) / layout.Box(6).height, 1.0 / 3, 0.01) << arrival.first;
  }
  EXPECT_EQ(layout.Box(9).height, int(std::lround(612 * layout.PixelsPerPoint())));
  EXPECT_EQ(layout.Box(7).height, int(std::lround(595 * layout.PixelsPerPoint())));
}

// A4 in an 800-pixel wide window, one request after the other, as a reader would make them.
TEST(PageModel, ZoomShowsWhatWasAsked) {
  PageLayout layout;
  layout.SetPages({{595, 842}, {595, 842}});
  struct Step {
    const char* what;
    int percent;  // asked; 0 fits the width, -1 fits the page into 600 rows
    int shown;    // the percent the layout shows afterwards
  };
  const Step steps[] = {
      {"fit width", 0, 99},
      {"800 % is over what one page may take of pixels", 800, 506},
      {"100 % after it", 100, 100},
      {"every offered zoom", 50, 50},
      {"", 75, 75},
      {"", 125, 125},
      {"", 150, 150},
      {"", 200, 200},
      {"", 300, 300},
      {"", 400, 400},
      {"under the least", 5, 10},
      {"fit page", -1, 52},
      {"fit width again", 0, 99},
  };
  layout.Arrange(800, 1);
  for (const Step& step : steps) {
    const double zoom = step.percent == 0  ? 1
                        : step.percent < 0 ? layout.ZoomToFitPage(0, 600)
                                           : layout.ZoomForPercent(step.percent);
    layout.Arrange(800, zoom);
    EXPECT_EQ(layout.Percent(), step.shown) << step.what << " " << step.percent;
  }
  // Fitted to the page, it is whole in the rows it was fitted to.
  layout.Arrange(800, layout.ZoomToFitPage(0, 600));
  EXPECT_LE(layout.Box(0).height + 2 * PageLayout::kMargin, 600);
}

// The four corners of a page 200 x 100, turned each way and back.
TEST(PageModel, TurnedPointsLandWhereThePageTurns) {
  struct Case {
    int turns;
    std::pair<double, double> top_left, top_right;  // where the unturned corners land
  };
  const Case cases[] = {{0, {0, 0}, {200, 0}},
                        {1, {100, 0}, {100, 200}},
                        {2, {200, 100}, {0, 100}},
                        {3, {0, 200}, {0, 0}},
                        {-1, {0, 200}, {0, 0}}};
  for (const Case& c : cases) {
    EXPECT_EQ(Turned(c.turns, 200, 100, 0, 0), c.top_left) << c.turns;
    EXPECT_EQ(Turned(c.turns, 200, 100, 200, 0), c.top_right) << c.turns;
    const auto [x, y] = Turned(c.turns, 200, 100, 37, 12);
    EXPECT_EQ(Unturned(c.turns, 200, 100, x, y), (std::pair<double, double>{37, 12})) << c.turns;
  }
}

// Every pixel of a page in exactly one band, each band within both bounds.
TEST(PageModel, BandsCoverAPageOnceWithinTheBounds) {
  const struct {
    int width, height, maxSide, maxPixels, bands;
  } cases[] = {{100, 100, 1000, 100000, 1},
               {2550, 3300, 10000, 8'000'000, 2},
               {4800, 6000, 10000, 8'000'000, 4},
               {25000, 300, 10000, 24'000'000, 3},
               {7, 5, 3, 6, 9},
               {1, 1, 10, 1, 1},
               {30, 1, 10, 5, 6}};
  for (const auto& c : cases) {
    const int count = BandCount(c.width, c.height, c.maxSide, c.maxPixels);
    EXPECT_EQ(count, c.bands) << c.width << "x" << c.height;
    std::vector<int> covered(size_t(c.width) * size_t(c.height));
    for (int i = 0; i < count; ++i) {
      const PageBox band = BandOf(i, c.width, c.height, c.maxSide, c.maxPixels);
      EXPECT_TRUE(band.width >= 1 && band.height >= 1 && band.width <= c.maxSide && band.height <= c.maxSide &&
                  band.width * band.height <= c.maxPixels)
          << c.width << "x" << c.height << " band " << i;
      for (int y = band.y; y < band.y + band.height && y < c.height; ++y) {
        for (int x = band.x; x < band.x + band.width && x < c.width; ++x)
          ++covered[size_t(y) * size_t(c.width) + size_t(x)];
      }
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), std::ptrdiff_t(covered.size()))
        << c.width << "x" << c.height;
  }
}

// An answer built record by record; each case breaks one promise, which refuses the whole.
TEST(PageModel, OutlineAnswerIsCheckedAndSectionsFollowThePlace) {
  struct Record {
    uint32_t depth, page;
    float y;
    uint32_t open;
    std::wstring title;
  };
  auto encode = [](const std::vector<Record>& records, uint32_t mayPrint = 1, int extra_bytes = 0) {
    std::vector<char> out(sizeof(pdfrender::OutlineHeader));
    const pdfrender::OutlineHeader header{uint32_t(records.size()), mayPrint};
    std::memcpy(out.data(), &header, sizeof header);
    for (const Record& r : records) {
      const pdfrender::OutlineRecord record{r.depth, r.page, r.y, r.open, uint32_t(r.title.size())};
      const char* p = reinterpret_cast<const char*>(&record);
      out.insert(out.end(), p, p + sizeof record);
      for (wchar_t c : r.title) {
        const uint16_t unit = uint16_t(c);
        out.insert(out.end(), reinterpret_cast<const char*>(&unit), reinterpret_cast<const char*>(&unit) + 2);
      }
    }
    out.resize(size_t(int(out.size()) + extra_bytes));
    return out;
  };
  const std::vector<Record> good = {{0, 1, -1, 1, L"One"},   {1, 1, 300, 0, L"One.\u2460"},
                                    {1, 2, 0, 0, L"Two"},    {0, 0, -1, 0, L"Nowhere"},
                                    {0, 3, 50, 0, L"Three"}, {1, 3, 50, 0, L"Three too"}};
  struct Case {
    const char* what;
    std::vector<char> answer;
    bool taken;
  };
  std::vector<Record> too_deep = good, skips = good, past_end = good, long_title = good, not_finite = good;
  too_deep[1].depth = pdfrender::kMaxOutlineDepth;
  skips[4].depth = 2;
  past_end[4].page = 4;
  long_title[0].title.assign(pdfrender::kMaxOutlineTitleUnits + 1, L'x');
  not_finite[1].y = std::nanf("");
  const Case cases[] = {
      {"good", encode(good), true},
      {"empty", encode({}), true},
      {"deeper than the bound", encode(too_deep), false},
      {"a level skipped", encode(skips), false},
      {"a page past the end", encode(past_end), false},
      {"a title over the bound", encode(long_title), false},
      {"a place that is no number", encode(not_finite), false},
      {"bytes after the last", encode(good, 1, 1), false},
      {"cut short", encode(good, 1, -1), false},
      {"a permission neither yes nor no", encode(good, 2), false},
  };
  for (const Case& c : cases) {
    DocumentOutline outline;
    EXPECT_EQ(outline.Decode(c.answer.data(), c.answer.size(), 3), c.taken) << c.what;
    if (!c.taken) {
      EXPECT_TRUE(outline.entries.empty()) << c.what;
    }
  }
  DocumentOutline outline;
  const std::vector<char> forbidding = encode(good, 0);
  ASSERT_TRUE(outline.Decode(forbidding.data(), forbidding.size(), 3));
  EXPECT_FALSE(outline.mayPrint);
  EXPECT_EQ(outline.entries[1].title, L"One.\u2460");
  EXPECT_EQ(outline.entries[3].page, -1);
  // Of entries leading to the same place, the last in reading order names the section.
  const struct {
    int page;
    double y;
    int entry;
  } places[] = {{0, 0, 0}, {0, 299, 0}, {0, 300, 1}, {1, 0, 2}, {1, 500, 2}, {2, 49, 2}, {2, 50, 5}, {2, 900, 5}};
  for (const auto& place : places) {
    EXPECT_EQ(outline.SectionAt(place.page, place.y), place.entry) << place.page << " " << place.y;
  }
}

// A section let go is handed to a later page only when the worker has answered for it, and only
// when it holds the page whole with at most a quarter to spare; the page shows only its own
// pixels, and only once they are drawn.
TEST(PageModel, PoolHandsAPageOnlyASectionThatHoldsItWhole) {
  const struct {
    size_t given;
    bool drawn;
    size_t asked;
    bool reused;
  } cases[] = {
      {1024, true, 1024, true}, {1024, true, 900, true},    {1024, true, 1025, false},
      {1024, true, 700, false}, {1024, false, 1024, false},
  };
  for (const auto& c : cases) {
    const auto pool = std::make_shared<SectionPool>();
    const uint32_t* kept = nullptr;
    {
      PagePixels first(c.given, pool);
      ASSERT_TRUE(first.Map());
      kept = first.data();
    }
    {
      // The kept section, handed out again; its worker answers or not.
      PagePixels given(c.given, pool);
      ASSERT_TRUE(given.Made());
      if (c.drawn) {
        ASSERT_TRUE(given.Map());
      }
    }
    // A closed section's address is held, so that only the kept section's view can be there.
    void* held = VirtualAlloc(const_cast<uint32_t*>(kept), 1, MEM_RESERVE, PAGE_NOACCESS);
    PagePixels page(c.asked, pool);
    ASSERT_TRUE(page.Made());
    EXPECT_EQ(page.size(), 0u) << c.asked << " pixels: shown before drawn";
    ASSERT_TRUE(page.Map());
    ASSERT_EQ(page.size(), c.asked);
    EXPECT_EQ(page.data() == kept, c.reused) << c.given << " given, " << c.asked << " asked";
    MEMORY_BASIC_INFORMATION region{};
    ASSERT_NE(VirtualQuery(page.data(), &region, sizeof region), 0u);
    EXPECT_GE(region.RegionSize, c.asked * 4) << c.asked << " pixels: the view does not hold the page";
    if (held) VirtualFree(held, 0, MEM_RELEASE);
  }
}

}  // namespace
