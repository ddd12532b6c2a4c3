// The standard controls: the list box's lines, selection, errors and recreation; the edit
// box's text and change event; the label's size.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/StandardControls.h"
#include "tests/support/WindowTesting.h"

namespace {

class ListBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(Application);
    form->SetBounds(0, 0, 300, 300);
    form->HandleNeeded();
    list = new TListBox(form);
    list->SetBounds(0, 0, 150, 100);
  }
  void TearDown() override { TObject::Free(form); }
  TForm* form = nullptr;
  TListBox* list = nullptr;
};

TEST_F(ListBoxTest, LinesBeforeTheWindowGoInWhenItIsMade) {
  TObject marker;
  list->SetSorted(true);
  list->Items().AddObject("pear", &marker);
  list->Items().Add("Apple");
  list->SetItemIndex(1);
  EXPECT_FALSE(list->HandleAllocated());
  list->SetParent(form);
  ASSERT_TRUE(list->HandleAllocated());
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(list->Items().Get(0), "Apple");
  EXPECT_EQ(list->Items().Object(1), &marker);
  EXPECT_EQ(list->Items().Get(list->ItemIndex()), "Apple");
}

TEST_F(ListBoxTest, StylesOfTheWindow) {
  struct Case {
    std::function<void()> set;
    DWORD present, absent;
  };
  list->SetParent(form);
  const Case cases[] = {
      {[] {}, LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, LBS_SORT | LBS_OWNERDRAWFIXED},
      {[&] { list->SetSorted(true); }, LBS_SORT, 0},
      {[&] { list->SetStyle(lbOwnerDrawFixed); }, LBS_OWNERDRAWFIXED, 0},
      {[&] { list->SetMultiSelect(true); }, LBS_EXTENDEDSEL, LBS_MULTIPLESEL},
      {[&] { list->SetExtendedSelect(false); }, LBS_MULTIPLESEL, LBS_EXTENDEDSEL},
      {[&] { list->SetIntegralHeight(true); }, 0, LBS_NOINTEGRALHEIGHT},
      {[&] { list->SetColumns(2); }, LBS_MULTICOLUMN, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    c.set();
    DWORD style = static_cast<DWORD>(GetWindowLongA(list->Handle(), GWL_STYLE));
    EXPECT_EQ(style & c.present, c.present) << n;
    EXPECT_EQ(style & c.absent, 0u) << n;
    ++n;
  }
}

TEST_F(ListBoxTest, SortedInsertReportsThePositionAndBadIndexesRaise) {
  list->SetSorted(true);
  list->SetParent(form);
  EXPECT_EQ(list->Items().Add("m"), 0);
  EXPECT_EQ(list->Items().Add("a"), 0);
  EXPECT_EQ(list->Items().Add("z"), 2);
  for (int bad : {-1, 3, 100}) {
    try {
      list->Items().Get(bad);
      ADD_FAILURE() << bad;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
    EXPECT_THROW(list->Items().Delete(bad), EListError);
    EXPECT_THROW(list->Items().Object(bad), EListError);
    EXPECT_THROW(list->Selected(bad), EListError);
  }
  list->Items().Delete(1);
  EXPECT_EQ(list->Items().Count(), 2);
  list->Clear();
  EXPECT_EQ(list->Items().Count(), 0);
}

TEST_F(ListBoxTest, SelectionFromCodeRaisesNoEventsAndMinusOneClears) {
  list->SetParent(form);
  for (const char* s : {"a", "b", "c"}) list->Items().Add(s);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->SetItemIndex(2);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_TRUE(list->Selected(2));
  list->SetItemIndex(7);  // refused by the platform: the selection stays
  EXPECT_EQ(list->ItemIndex(), 2);
  list->SetItemIndex(-1);
  EXPECT_EQ(list->ItemIndex(), -1);
  PumpMessages();
  EXPECT_EQ(clicks, 0);
  // A user's click is reported.
  RECT r{};
  SendMessageA(list->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  SendMessageA(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
  SendMessageA(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 3, r.top + 3));
  PumpMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(ListBoxTest, RecreationForANewItemHeightKeepsLinesTopLineAndSelection) {
  list->SetStyle(lbOwnerDrawFixed);
  list->SetParent(form);
  TObject marker;
  for (int i = 0; i < 40; ++i) list->Items().AddObject("line " + std::to_string(i), i == 30 ? &marker : nullptr);
  list->SetItemIndex(30);
  list->SetTopIndex(25);
  int top = list->TopIndex();
  ASSERT_GT(top, 0);
  EXPECT_EQ(list->ItemHeight(), 16);
  list->SetItemHeight(20);
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETITEMHEIGHT, 0, 0), 20);
  EXPECT_EQ(list->Items().Count(), 40);
  EXPECT_EQ(list->Items().Get(30), "line 30");
  EXPECT_EQ(list->Items().Object(30), &marker);
  EXPECT_EQ(list->ItemIndex(), 30);
  EXPECT_EQ(list->TopIndex(), top);
  // Zero, negative and unchanged heights are ignored.
  for (int h : {0, -5, 20}) list->SetItemHeight(h);
  EXPECT_EQ(list->ItemHeight(), 20);
}

// Lines whose object is the implicit one store none in the window; every object reads back as put.
TEST_F(ListBoxTest, TheImplicitObjectAndNoObjectReadBackAsPutAlsoAfterRecreation) {
  struct TImplicitList : TListBox {
    using TListBox::SetImplicitObject;
    using TListBox::TListBox;
  };
  TObject implicit, other;
  auto* lines = new TImplicitList(form);
  lines->SetImplicitObject(&implicit);
  lines->SetStyle(lbOwnerDrawFixed);
  lines->SetParent(form);
  lines->Items().AddObject("a", &implicit);
  lines->Items().AddObject("b", nullptr);
  lines->Items().InsertObject(2, "c", &other);
  lines->Items().AddObject("d", &other);
  lines->Items().PutObject(3, &implicit);
  std::vector<TObject*> expected{&implicit, nullptr, &other, &implicit};
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(lines->Items().Object(i), expected[static_cast<std::size_t>(i)]) << pass << i;
    EXPECT_EQ(SendMessageA(lines->Handle(), LB_GETITEMDATA, 0, 0), 0) << pass;
    lines->SetItemHeight(20 + pass);
  }
}

class TDrawnListBox : public TListBox {
 public:
  using TListBox::TListBox;
  std::vector<std::pair<int, unsigned>> drawn;

 protected:
  void DrawItem(int index, const RECT& rect, unsigned state) override {
    drawn.emplace_back(index, state);
    TListBox::DrawItem(index, rect, state);
  }
};

TEST(ListBox, OwnerDrawingUsesTheHighlightForASelectedLine) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 300);
  form->HandleNeeded();
  auto* list = new TDrawnListBox(form);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetParent(form);
  list->Items().Add("first");
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 16);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT info{};
  info.CtlType = ODT_LISTBOX;
  info.itemAction = ODA_DRAWENTIRE;
  info.hwndItem = list->Handle();
  info.hDC = dc;
  info.rcItem = RECT{0, 0, 100, 16};
  info.itemState = ODS_SELECTED | ODS_FOCUS;
  list->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&info));
  ASSERT_EQ(list->drawn.size(), 1u);
  EXPECT_EQ(list->drawn[0].second, unsigned{odSelected | odFocused});
  EXPECT_EQ(GetPixel(dc, 50, 8), GetSysColor(COLOR_HIGHLIGHT));
  // No line: the base fills the rectangle itself.
  info.itemID = static_cast<UINT>(-1);
  info.itemState = 0;
  list->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(list->drawn.size(), 1u);
  EXPECT_EQ(GetPixel(dc, 50, 8), ColorToRGB(list->Color()));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  TObject::Free(form);
}

TEST(ComboBox, UserSelectionSetsTheTextThenClicksThenChanges) {
  auto* form = new TForm(Application);
  form->HandleNeeded();
  auto* combo = new TComboBox(form);
  combo->SetStyle(csOwnerDrawFixed);
  TObject marker;
  combo->Items().Add("one");
  combo->Items().AddObject("two", &marker);
  combo->SetParent(form);
  LONG style = GetWindowLongA(combo->Handle(), GWL_STYLE);
  EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(style & CBS_OWNERDRAWFIXED);
  EXPECT_TRUE(style & CBS_HASSTRINGS);
  std::vector<std::string> events;
  combo->OnClick = [&](TObject*) { events.push_back("click " + combo->Text()); };
  combo->OnChange = [&](TObject*) { events.push_back("change"); };
  combo->SetItemIndex(0);  // from code: no events
  EXPECT_TRUE(events.empty());
  SendMessageA(combo->Handle(), CB_SETCURSEL, 1, 0);
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo->Handle()));
  EXPECT_EQ(events, (std::vector<std::string>{"click two", "change"}));
  // A positive item height recreates the window with its lines and selection.
  combo->SetItemHeight(18);
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), 18);
  EXPECT_EQ(combo->Items().Count(), 2);
  EXPECT_EQ(combo->Items().Object(1), &marker);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_THROW(combo->Items().Get(2), EListError);
  TObject::Free(form);
}

// The user's selection reaches the click handler inside the platform's own handling of the
// input; a handler that frees its control ends the dispatch there, for either kind of list.
TEST(ListAndComboBox, AClickHandlerMayFreeItsOwnControl) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 300);
  form->HandleNeeded();
  int clicks = 0, after = 0;
  auto* list = new TListBox(form);
  list->SetBounds(0, 0, 150, 100);
  list->SetParent(form);
  auto* combo = new TComboBox(form);
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetBounds(0, 120, 150, 20);
  combo->SetParent(form);
  for (TStrings* lines : {&list->Items(), &combo->Items()}) {
    lines->Add("one");
    lines->Add("two");
  }
  auto freeSender = [&](TObject* sender) {
    ++clicks;
    TObject::Free(sender);
  };
  auto late = [&](auto&&...) { after += clicks; };  // only what comes after a click counts
  list->OnClick = freeSender;
  list->OnMouseDown = late;
  list->OnMouseUp = late;
  combo->OnClick = freeSender;
  combo->OnChange = late;
  const HWND listWindow = list->Handle(), comboWindow = combo->Handle();
  SendMessageA(listWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 20));
  SendMessageA(listWindow, WM_LBUTTONUP, 0, MAKELPARAM(5, 20));
  SendMessageA(comboWindow, CB_SETCURSEL, 1, 0);
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(comboWindow), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(comboWindow));
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(after, 0);
  EXPECT_FALSE(IsWindow(listWindow));
  EXPECT_FALSE(IsWindow(comboWindow));
  EXPECT_EQ(form->ControlCount(), 0);
  TObject::Free(form);
}

TEST(Edit, TextIsTheWindowsAndChangesAreReported) {
  auto* form = new TForm(Application);
  form->HandleNeeded();
  auto* edit = new TEdit(form);
  edit->SetText("before");
  edit->SetParent(form);
  char text[32] = {};
  GetWindowTextA(edit->Handle(), text, sizeof text);
  EXPECT_STREQ(text, "before");
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  SetWindowTextA(edit->Handle(), "typed");  // as if the user typed
  EXPECT_EQ(edit->Text(), "typed");
  EXPECT_EQ(changes, 1);
  edit->SetText("before");
  GetWindowTextA(edit->Handle(), text, sizeof text);
  EXPECT_STREQ(text, "before");
  edit->SelectAll();
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_EQ(edit->SelLength(), 6);
  TObject::Free(form);
}

TEST(Label, SizesItselfToItsCaption) {
  auto* form = new TForm(Application);
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetCaption("A caption");
  int width = label->Width();
  EXPECT_EQ(width, label->TextWidth("A caption"));
  label->SetCaption("A much longer caption");
  EXPECT_GT(label->Width(), width);
  label->SetAutoSize(false);
  label->SetCaption("x");
  EXPECT_GT(label->Width(), label->TextWidth("x"));
  TObject::Free(form);
}

}  // namespace
