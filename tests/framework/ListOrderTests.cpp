// Lines added in one pass land exactly where the platform's own sorted LISTBOX puts them when
// they are added one by one, and lines added later still land where it would put them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/Forms.h"
#include "framework/StandardControls.h"

namespace {

using Line = std::pair<std::string, LRESULT>;

std::vector<Line> LinesOf(HWND list) {
  std::vector<Line> lines;
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string text(static_cast<std::size_t>(SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()))));
    lines.emplace_back(text, SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
  }
  return lines;
}

void AddOneByOne(HWND list, const std::vector<TListLine>& lines) {
  for (const TListLine& line : lines) {
    LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.Text.c_str()));
    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(line.Object));
  }
}

TEST(ListOrder, OnePassFillMatchesThePlatformsSortedList) {
  // Case, digits, punctuation, hyphens and apostrophes (which the comparison weighs lightly),
  // accented letters of the ANSI code page, names equal but for case, the same name twice.
  const std::vector<std::string> awkward = {
      "b.pdf",   "B.pdf",     "a10.pdf",  "a2.pdf",    "a-b.pdf",  "ab.pdf",   "a_b.pdf",  "a b.pdf",
      "a.b.pdf", "A.pdf",     "a.pdf",    "\xE4.pdf",  "\xC4.pdf", "\xE9.pdf", "e.pdf",    "E.PDF",
      "z.pdf",   "[old]",     "[.]",      "[..]",      "~x.pdf",   "!x.pdf",   "#1.pdf",   "1.pdf",
      "01.pdf",  "co-op.pdf", "coop.pdf", "co op.pdf", "'q.pdf",   "q.pdf",    "\xDF.pdf", "ss.pdf",
      "SS.pdf",  "a.pdf",     "",         "-",         "\xE6.pdf", "ae.pdf",   "a-.pdf",   "a--b.pdf"};
  // Orders in which the names may be found: as listed, reversed, every third one first, and
  // all of them six times over (a list long enough to be ordered by character ranks).
  std::vector<std::vector<std::string>> orders = {awkward, {awkward.rbegin(), awkward.rend()}, {}, {}};
  for (std::size_t start : {0u, 1u, 2u})
    for (std::size_t i = start; i < awkward.size(); i += 3) orders[2].push_back(awkward[i]);
  for (int copy = 0; copy < 6; ++copy)
    orders[3].insert(orders[3].end(), orders[copy % 3].begin(), orders[copy % 3].end());
  const std::vector<std::string> later = {"A.PDF", "b.pdf", "a-b.pdf", "zz.pdf", "\xC4.pdf", ""};

  auto* form = new TForm(Application);
  form->HandleNeeded();
  for (std::size_t o = 0; o < orders.size(); ++o) {
    std::vector<TListLine> lines;
    // Each line carries its own object, so that equal texts can be told apart.
    for (std::size_t i = 0; i < orders[o].size(); ++i)
      lines.push_back({orders[o][i], reinterpret_cast<TObject*>(static_cast<std::uintptr_t>(i + 1))});
    HWND platform = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100,
                                    form->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    AddOneByOne(platform, lines);
    auto* ours = new TListBox(form);
    ours->SetSorted(true);
    ours->SetParent(form);
    ours->HandleNeeded();  // the one-pass fill works on the window's lines
    ours->AddObjects(lines);
    EXPECT_EQ(LinesOf(ours->Handle()), LinesOf(platform)) << "order " << o;

    // The directory list's order: the same comparison, equal names in the order found.
    std::vector<int> order = CaseInsensitiveOrder(lines, GetUserDefaultLCID());
    std::vector<Line> platformLines = LinesOf(platform);
    ASSERT_EQ(order.size(), platformLines.size());
    auto same = [](const std::string& a, const std::string& b) {
      return CompareStringA(GetUserDefaultLCID(), NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
    };
    for (std::size_t i = 0; i < order.size(); ++i) {
      const std::string& text = lines[static_cast<std::size_t>(order[i])].Text;
      EXPECT_TRUE(same(text, platformLines[i].first)) << text << " / " << platformLines[i].first;
      if (i > 0 && same(lines[static_cast<std::size_t>(order[i - 1])].Text, text)) {
        EXPECT_LT(order[i - 1], order[i]) << "equal names keep the order found: " << text;
      }
    }

    // Told one text at a time: a text let follow never comes before the last one let follow,
    // and in the order itself every text follows.
    TOrderCheck asRead(GetUserDefaultLCID()), inOrder(GetUserDefaultLCID());
    std::vector<std::size_t> place(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) place[static_cast<std::size_t>(order[i])] = i;
    for (std::size_t i = 0, last = 0; i < lines.size(); ++i) {
      if (!asRead.Follows(lines[i].Text)) continue;
      EXPECT_TRUE(i == 0 || place[i] > last) << "order " << o << ": " << lines[i].Text;
      last = place[i];
    }
    for (int i : order) {
      const std::string& text = lines[static_cast<std::size_t>(i)].Text;
      EXPECT_TRUE(inOrder.Follows(text)) << "order " << o << ": " << text;
    }

    std::vector<TListLine> more;
    for (std::size_t i = 0; i < later.size(); ++i)
      more.push_back({later[i], reinterpret_cast<TObject*>(static_cast<std::uintptr_t>(100 + i))});
    AddOneByOne(platform, more);
    ours->AddObjects(more);
    EXPECT_EQ(LinesOf(ours->Handle()), LinesOf(platform)) << "order " << o << ", lines added later";

    TObject::Free(ours);
    DestroyWindow(platform);
  }
  TObject::Free(form);
}

}  // namespace
