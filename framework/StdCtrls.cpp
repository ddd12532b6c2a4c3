#include "StdCtrls.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "ConstIds.h"
#include "Streaming.h"
#include "SysUtils.h"

namespace {

unsigned OwnerDrawState(UINT itemState) {
  unsigned state = 0;
  if (itemState & ODS_SELECTED) state |= odSelected;
  if (itemState & ODS_GRAYED) state |= odGrayed;
  if (itemState & ODS_DISABLED) state |= odDisabled;
  if (itemState & ODS_CHECKED) state |= odChecked;
  if (itemState & ODS_FOCUS) state |= odFocused;
  return state;
}

// The part of owner drawing that list and combo boxes share: font, brush, highlight, an empty
// rectangle when there is no line, the focus rectangle.
template <class Draw>
void DrawOwnerItem(TCanvas& canvas, TWinControl& control, const DRAWITEMSTRUCT& info, Draw draw) {
  unsigned state = OwnerDrawState(info.itemState);
  canvas.SetHandle(info.hDC);
  try {
    canvas.Font().Assign(control.Font());
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(control.Color());
    if (state & odSelected) {
      canvas.Brush().SetColor(clHighlight);
      canvas.Font().SetColor(clHighlightText);
    }
    int index = static_cast<int>(info.itemID);
    if (index >= 0) draw(index, info.rcItem, state);
    else canvas.FillRect(info.rcItem);
    if (state & odFocused) canvas.DrawFocusRect(info.rcItem);
  } catch (...) {
    canvas.SetHandle(nullptr);
    throw;
  }
  canvas.SetHandle(nullptr);
}

}  // namespace

// ---- TWindowLines

namespace {

// LB_ERR and CB_ERR alike.
constexpr LRESULT kLineError = -1;

}  // namespace

const TLineMessages ListBoxLines{LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETITEMDATA, LB_SETITEMDATA,
                                 LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT};
const TLineMessages ComboBoxLines{CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETITEMDATA, CB_SETITEMDATA,
                                  CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT};

void TWindowLines::CheckSaved(int index) const {
  if (index < 0 || index >= saved_->Count()) ListIndexError(index);
}

int TWindowLines::Count() const {
  if (!Windowed()) return saved_->Count();
  return static_cast<int>(Send(messages_.Count, 0, 0));
}

std::string TWindowLines::Get(int index) const {
  if (!Windowed()) {
    CheckSaved(index);
    return saved_->Get(index);
  }
  LRESULT length = Send(messages_.TextLength, static_cast<WPARAM>(index), 0);
  if (length == kLineError) ListIndexError(index);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  LRESULT copied = Send(messages_.Text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (copied == kLineError) ListIndexError(index);
  text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
  return text;
}

TObject* TWindowLines::Object(int index) const {
  if (!Windowed()) {
    CheckSaved(index);
    return saved_->Object(index);
  }
  LRESULT data = Send(messages_.ItemData, static_cast<WPARAM>(index), 0);
  if (data == kLineError) ListIndexError(index);
  return reinterpret_cast<TObject*>(data);
}

void TWindowLines::PutObject(int index, TObject* object) {
  if (!Windowed()) {
    CheckSaved(index);
    saved_->PutObject(index, object);
    return;
  }
  if (Send(messages_.SetItemData, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object)) ==
      kLineError)
    ListIndexError(index);
}

int TWindowLines::AddObject(const std::string& text, TObject* object) {
  if (!Windowed()) return saved_->AddObject(text, object);
  LRESULT index = Send(messages_.Add, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index < 0) throw EOutOfResources(LoadResString(SInsertLineError));
  // A new line's object is already none.
  if (object) Send(messages_.SetItemData, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
  return static_cast<int>(index);
}

void TWindowLines::InsertObject(int index, const std::string& text, TObject* object) {
  if (!Windowed()) {
    if (index < 0 || index > saved_->Count()) ListIndexError(index);
    saved_->InsertObject(index, text, object);
    return;
  }
  LRESULT at = Send(messages_.Insert, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
  if (at < 0) throw EOutOfResources(LoadResString(SInsertLineError));
  if (object) Send(messages_.SetItemData, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(object));
}

void TWindowLines::Delete(int index) {
  if (!Windowed()) {
    CheckSaved(index);
    saved_->Delete(index);
    return;
  }
  if (Send(messages_.Delete, static_cast<WPARAM>(index), 0) == kLineError) ListIndexError(index);
}

void TWindowLines::Clear() {
  if (!Windowed()) {
    saved_->Clear();
    return;
  }
  Send(messages_.Reset, 0, 0);
}

void TWindowLines::SetUpdateState(bool updating) {
  if (!Windowed()) return;
  Send(WM_SETREDRAW, updating ? FALSE : TRUE, 0);
  if (!updating) InvalidateRect(control_->Handle(), nullptr, TRUE);
}

// ---- Orders of lines

namespace {

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

// The texts as the platform list holds them (wide, converted from the ANSI code page), each
// with a key: its ranks when it has them (a plain name), else its sort key. Keys of one kind
// order as the comparison does.
class TCollation {
 public:
  TCollation(const std::vector<TListLine>& lines, LCID locale) : locale_(locale) {
    static const TAsciiRanks unranked;
    const TAsciiRanks& ranks = lines.size() >= kRankedFrom ? AsciiRanks(locale) : unranked;
    std::size_t n = lines.size();
    wideAt_.reserve(n + 1);
    keyAt_.reserve(n + 1);
    plain_.reserve(n);
    std::vector<wchar_t> buffer;
    for (const TListLine& line : lines) {
      int length = static_cast<int>(line.Text.size());
      wideAt_.push_back(wide_.size());
      if (length > 0) {
        buffer.resize(static_cast<std::size_t>(length));
        int converted = MultiByteToWideChar(CP_ACP, 0, line.Text.data(), length, buffer.data(), length);
        wide_.append(buffer.data(), static_cast<std::size_t>(std::max(converted, 0)));
      }
      keyAt_.push_back(keys_.size());
      plain_.push_back(ranks.AppendRanks(line.Text, keys_));
      if (!plain_.back()) AppendSortKey(Wide(static_cast<int>(wideAt_.size() - 1)));
    }
    wideAt_.push_back(wide_.size());
    keyAt_.push_back(keys_.size());
  }

  bool Plain(int i) const { return plain_[static_cast<std::size_t>(i)]; }
  // The platform's own comparison: below zero, zero or above zero.
  int Compare(int a, int b) const {
    std::wstring_view x = Wide(a), y = Wide(b);
    return CompareStringW(locale_, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                          static_cast<int>(y.size())) - CSTR_EQUAL;
  }
  // Only between texts of the same kind.
  int CompareKeys(int a, int b) const { return Key(a).compare(Key(b)); }

 private:
  std::wstring_view Wide(int i) const {
    return std::wstring_view(wide_).substr(wideAt_[static_cast<std::size_t>(i)],
                                           wideAt_[static_cast<std::size_t>(i) + 1] - wideAt_[static_cast<std::size_t>(i)]);
  }
  std::string_view Key(int i) const {
    return std::string_view(keys_).substr(keyAt_[static_cast<std::size_t>(i)],
                                          keyAt_[static_cast<std::size_t>(i) + 1] - keyAt_[static_cast<std::size_t>(i)]);
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
  for (std::size_t i = 0; i < count; ++i) (collation.Plain(static_cast<int>(i)) ? plain : other).push_back(static_cast<int>(i));
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

// ---- TCustomListBox

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TWindowLines>(this, ListBoxLines, saved_)),
      saved_(std::make_unique<TStringList>()),
      canvas_(std::make_unique<TCanvas>()) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
}

TCustomListBox::~TCustomListBox() = default;

bool TCustomListBox::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "ItemHeight") SetItemHeight(reader.ReadInteger());
  else if (name == "Sorted") SetSorted(reader.ReadBoolean());
  else if (name == "MultiSelect") SetMultiSelect(reader.ReadBoolean());
  else if (name == "ExtendedSelect") SetExtendedSelect(reader.ReadBoolean());
  else if (name == "IntegralHeight") SetIntegralHeight(reader.ReadBoolean());
  else if (name == "Columns") SetColumns(reader.ReadInteger());
  else if (name == "Items.Strings") items_->ReadProperty(reader, "Strings");
  else if (name == "Style") {
    std::string ident = reader.ReadIdent();
    if (ident == "lbStandard") SetStyle(lbStandard);
    else if (ident == "lbOwnerDrawFixed") SetStyle(lbOwnerDrawFixed);
    else if (ident == "lbOwnerDrawVariable") SetStyle(lbOwnerDrawVariable);
    else reader.Error(LoadResString(SInvalidPropertyValue));
  } else return TWinControl::ReadProperty(reader, name);
  return true;
}

void TCustomListBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SubClassOf = "LISTBOX";
  params.Style |= WS_HSCROLL | WS_VSCROLL | LBS_HASSTRINGS | LBS_NOTIFY;
  if (style_ == lbOwnerDrawFixed) params.Style |= LBS_OWNERDRAWFIXED;
  if (style_ == lbOwnerDrawVariable) params.Style |= LBS_OWNERDRAWVARIABLE;
  if (sorted_) params.Style |= LBS_SORT;
  if (multiSelect_) params.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (!integralHeight_) params.Style |= LBS_NOINTEGRALHEIGHT;
  if (columns_ > 0) params.Style |= LBS_MULTICOLUMN;
  if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE;
  else params.Style |= WS_BORDER;
}

void TCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  if (style_ == lbOwnerDrawFixed) Perform(LB_SETITEMHEIGHT, 0, itemHeight_);
  if (columns_ > 0) Perform(LB_SETCOLUMNWIDTH, static_cast<WPARAM>((Width() + columns_ - 3) / columns_), 0);
  // Lines kept from before the window (or from the one it replaces) go back in.
  // The selection follows its line, which sorting may have moved.
  std::unique_ptr<TStringList> lines = std::move(saved_);
  int selected = -1;
  for (int i = 0; i < lines->Count(); ++i) {
    int at = items_->AddObject(lines->Get(i), lines->Object(i));
    if (i == savedItemIndex_) selected = at;
  }
  if (selected >= 0) SetItemIndex(selected);
  if (lines->Count() > 0) Perform(LB_SETTOPINDEX, static_cast<WPARAM>(savedTopIndex_), 0);
  savedTopIndex_ = 0;
  savedItemIndex_ = -1;
}

void TCustomListBox::DestroyWnd() {
  auto lines = std::make_unique<TStringList>();
  if (HandleAllocated() && !HasState(csDestroying)) {
    for (int i = 0; i < items_->Count(); ++i) lines->AddObject(items_->Get(i), items_->Object(i));
    savedTopIndex_ = TopIndex();
    savedItemIndex_ = ItemIndex();
  }
  TWinControl::DestroyWnd();
  saved_ = std::move(lines);
}

void TCustomListBox::AddObjects(const std::vector<TListLine>& lines) {
  if (!HandleAllocated() || (sorted_ && items_->Count() > 0)) {
    for (const TListLine& line : lines) items_->AddObject(line.Text, line.Object);
    return;
  }
  std::size_t bytes = 0;
  for (const TListLine& line : lines) bytes += (line.Text.size() + 1) * sizeof(wchar_t);
  Perform(LB_INITSTORAGE, lines.size(), static_cast<LPARAM>(bytes));
  std::vector<int> order;
  if (sorted_) {
    order = SortedListOrder(lines, static_cast<LCID>(Perform(LB_GETLOCALE, 0, 0)));
  } else {
    order.resize(lines.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  }
  // Placed where the list would place them; inserting at a position does not search.
  int at = items_->Count();
  for (int i : order) {
    const TListLine& line = lines[static_cast<std::size_t>(i)];
    items_->InsertObject(at++, line.Text, line.Object);
  }
}

int TCustomListBox::ItemIndex() {
  if (!HandleAllocated()) return savedItemIndex_;
  UINT msg = multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL;
  return static_cast<int>(Perform(msg, 0, 0));
}

void TCustomListBox::SetItemIndex(int index) {
  if (!HandleAllocated()) {
    savedItemIndex_ = index;
    return;
  }
  if (ItemIndex() == index) return;
  if (multiSelect_) Perform(LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
  else Perform(LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TCustomListBox::Selected(int index) {
  if (!HandleAllocated()) {
    if (index < 0 || index >= saved_->Count()) ListIndexError(index);
    return index == savedItemIndex_;
  }
  LRESULT result = Perform(LB_GETSEL, static_cast<WPARAM>(index), 0);
  if (result == LB_ERR) ListIndexError(index);
  return result != 0;
}

int TCustomListBox::TopIndex() {
  if (!HandleAllocated()) return savedTopIndex_;
  return static_cast<int>(Perform(LB_GETTOPINDEX, 0, 0));
}

void TCustomListBox::SetTopIndex(int index) {
  if (!HandleAllocated()) savedTopIndex_ = index;
  else Perform(LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

void TCustomListBox::SetItemHeight(int height) {
  if (height <= 0 || height == itemHeight_) return;
  itemHeight_ = height;
  if (style_ == lbOwnerDrawFixed) RecreateWnd();
  else if (HandleAllocated()) Perform(LB_SETITEMHEIGHT, 0, height);
}

void TCustomListBox::SetStyle(TListBoxStyle style) {
  if (style == style_) return;
  style_ = style;
  RecreateWnd();
}

void TCustomListBox::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  RecreateWnd();
}

void TCustomListBox::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  RecreateWnd();
}

void TCustomListBox::SetExtendedSelect(bool value) {
  if (value == extendedSelect_) return;
  extendedSelect_ = value;
  RecreateWnd();
}

void TCustomListBox::SetIntegralHeight(bool value) {
  if (value == integralHeight_) return;
  integralHeight_ = value;
  RecreateWnd();
}

void TCustomListBox::SetColumns(int columns) {
  if (columns < 0 || columns == columns_) return;
  // Switching between one and several columns changes the window style.
  bool recreate = (columns_ == 0) != (columns == 0);
  columns_ = columns;
  if (recreate) RecreateWnd();
  else if (HandleAllocated() && columns_ > 0)
    Perform(LB_SETCOLUMNWIDTH, static_cast<WPARAM>((Width() + columns_ - 3) / columns_), 0);
}

void TCustomListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == LBN_SELCHANGE) Click();
      return;
    case CN_MEASUREITEM: {
      auto* info = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      info->itemHeight = static_cast<UINT>(itemHeight_);
      m.Result = TRUE;
      return;
    }
    case CN_DRAWITEM:
      DrawItemMessage(*reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam));
      m.Result = TRUE;
      return;
    default:
      TWinControl::WndProc(m);
  }
}

void TCustomListBox::DrawItemMessage(const DRAWITEMSTRUCT& info) {
  DrawOwnerItem(*canvas_, *this, info,
                [this](int index, const RECT& rect, unsigned state) { DrawItem(index, rect, state); });
}

void TCustomListBox::DrawItem(int index, const RECT& rect, unsigned) {
  canvas_->FillRect(rect);
  canvas_->TextOut(rect.left + 2, rect.top, items_->Get(index));
}

// ---- TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TWindowLines>(this, ComboBoxLines, saved_)),
      saved_(std::make_unique<TStringList>()),
      canvas_(std::make_unique<TCanvas>()) {
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

TCustomComboBox::~TCustomComboBox() = default;

bool TCustomComboBox::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "ItemHeight") {
    SetItemHeight(reader.ReadInteger());
  } else if (name == "OnChange") {
    reader.ReadEvent([this](TNotifyEvent e) { OnChange = std::move(e); });
  } else if (name == "OnDropDown") {
    reader.ReadEvent([this](TNotifyEvent e) { OnDropDown = std::move(e); });
  } else if (name == "Items.Strings") {
    items_->ReadProperty(reader, "Strings");
  } else {
    return TWinControl::ReadProperty(reader, name);
  }
  return true;
}

void TCustomComboBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SubClassOf = "COMBOBOX";
  params.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
  switch (style_) {
    case csDropDown: params.Style |= CBS_DROPDOWN; break;
    case csSimple: params.Style |= CBS_SIMPLE; break;
    case csDropDownList: params.Style |= CBS_DROPDOWNLIST; break;
    case csOwnerDrawFixed: params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
    case csOwnerDrawVariable: params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
  }
  // The window's height includes the dropped-down list.
  if (style_ != csSimple) params.Height = std::max(params.Height, 200);
}

void TCustomComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  HWND window = Handle();
  if (style_ == csOwnerDrawFixed) {
    SendMessageA(window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight_);
    SendMessageA(window, CB_SETITEMHEIGHT, 0, itemHeight_);
  }
  std::unique_ptr<TStringList> lines = std::move(saved_);
  for (int i = 0; i < lines->Count(); ++i) items_->AddObject(lines->Get(i), lines->Object(i));
  if (savedItemIndex_ >= 0) SetItemIndex(savedItemIndex_);
  savedItemIndex_ = -1;
}

void TCustomComboBox::DestroyWnd() {
  auto lines = std::make_unique<TStringList>();
  if (HandleAllocated() && !HasState(csDestroying)) {
    for (int i = 0; i < items_->Count(); ++i) lines->AddObject(items_->Get(i), items_->Object(i));
    savedItemIndex_ = ItemIndex();
  }
  TWinControl::DestroyWnd();
  saved_ = std::move(lines);
}

int TCustomComboBox::ItemIndex() {
  if (!HandleAllocated()) return savedItemIndex_;
  return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::SetItemIndex(int index) {
  if (!HandleAllocated()) {
    savedItemIndex_ = index;
    return;
  }
  if (ItemIndex() != index) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TCustomComboBox::SetItemHeight(int height) {
  if (height <= 0) return;
  itemHeight_ = height;
  RecreateWnd();
}

void TCustomComboBox::SetStyle(TComboBoxStyle style) {
  if (style == style_) return;
  style_ = style;
  RecreateWnd();
}

bool TCustomComboBox::DroppedDown() {
  return HandleAllocated() && SendMessageA(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TCustomComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case CBN_SELCHANGE: {
          int index = ItemIndex();
          if (index >= 0) TWinControl::SetText(items_->Get(index));
          auto alive = AliveToken();
          Click();
          if (!alive.expired()) Change();
          break;
        }
        case CBN_DROPDOWN:
          DropDown();
          break;
        default:
          break;
      }
      return;
    case CN_MEASUREITEM: {
      auto* info = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      info->itemHeight = static_cast<UINT>(itemHeight_);
      m.Result = TRUE;
      return;
    }
    case CN_DRAWITEM:
      DrawOwnerItem(*canvas_, *this, *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam),
                    [this](int index, const RECT& rect, unsigned state) { DrawItem(index, rect, state); });
      m.Result = TRUE;
      return;
    default:
      TWinControl::WndProc(m);
  }
}

void TCustomComboBox::DrawItem(int index, const RECT& rect, unsigned) {
  canvas_->FillRect(rect);
  canvas_->TextOut(rect.left + 2, rect.top, items_->Get(index));
}

void TCustomComboBox::Change() {
  if (TNotifyEvent handler = OnChange) handler(this);
}

void TCustomComboBox::DropDown() {
  if (TNotifyEvent handler = OnDropDown) handler(this);
}

// ---- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

bool TCustomEdit::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "OnChange") {
    reader.ReadEvent([this](TNotifyEvent e) { OnChange = std::move(e); });
    return true;
  }
  return TWinControl::ReadProperty(reader, name);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SubClassOf = "EDIT";
  params.Style |= ES_AUTOHSCROLL | ES_LEFT;
  if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE;
  else params.Style |= WS_BORDER;
}

std::string TCustomEdit::Text() const {
  auto* self = const_cast<TCustomEdit*>(this);
  if (!self->HandleAllocated()) return TWinControl::Text();
  HWND window = self->Handle();
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::clamp(copied, 0, length)));
  return text;
}

void TCustomEdit::SetText(const std::string& text) {
  if (text == Text()) return;
  TWinControl::SetText(text);
  // The stored text may be stale after typing while the window's differs: write it anyway.
  if (HandleAllocated() && Text() != text) SetWindowTextA(Handle(), text.c_str());
}

void TCustomEdit::SelectAll() {
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

int TCustomEdit::SelStart() {
  DWORD start = 0, end = 0;
  if (HandleAllocated())
    SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  if (HandleAllocated())
    SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TCustomEdit::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == EN_CHANGE) Change();
    return;
  }
  TWinControl::WndProc(m);
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

// ---- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

bool TCustomLabel::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "AutoSize") {
    SetAutoSize(reader.ReadBoolean());
  } else if (name == "Alignment") {
    std::string ident = reader.ReadIdent();
    if (ident == "taLeftJustify") SetAlignment(taLeftJustify);
    else if (ident == "taRightJustify") SetAlignment(taRightJustify);
    else if (ident == "taCenter") SetAlignment(taCenter);
    else reader.Error(LoadResString(SInvalidPropertyValue));
  } else {
    return TGraphicControl::ReadProperty(reader, name);
  }
  return true;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

int TCustomLabel::TextWidth(const std::string& text) {
  HDC dc = GetDC(nullptr);
  SIZE size{};
  {
    SelectedObject font(dc, Font().Handle());
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  }
  ReleaseDC(nullptr, dc);
  return size.cx;
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || HasState(csLoading)) return;
  HDC dc = GetDC(nullptr);
  RECT r{0, 0, 0, 0};
  {
    SelectedObject font(dc, Font().Handle());
    std::string text = Caption().empty() ? std::string(" ") : Caption();
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  }
  ReleaseDC(nullptr, dc);
  SetBounds(Left(), Top(), r.right, r.bottom);
}

void TCustomLabel::TextChanged() {
  TGraphicControl::TextChanged();
  AdjustBounds();
}

void TCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TCustomLabel::Paint() {
  RECT r{0, 0, Width(), Height()};
  TCanvas& canvas = Canvas();
  canvas.Brush().SetColor(Color());
  canvas.FillRect(r);
  canvas.Brush().SetStyle(bsClear);
  HDC dc = canvas.Handle();
  SetBkMode(dc, TRANSPARENT);
  SelectedObject font(dc, Font().Handle());
  SetTextColor(dc, ColorToRGB(Font().Color()));
  UINT format = DT_SINGLELINE | DT_NOPREFIX |
                (alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT);
  DrawTextA(dc, Caption().c_str(), static_cast<int>(Caption().size()), &r, format);
  canvas.Brush().SetStyle(bsSolid);
}

void RegisterStdCtrlsClasses() {
  RegisterComponentClass("TListBox", [](TComponent* owner) { return new TListBox(owner); });
  RegisterComponentClass("TComboBox", [](TComponent* owner) { return new TComboBox(owner); });
  RegisterComponentClass("TEdit", [](TComponent* owner) { return new TEdit(owner); });
  RegisterComponentClass("TLabel", [](TComponent* owner) { return new TLabel(owner); });
}
