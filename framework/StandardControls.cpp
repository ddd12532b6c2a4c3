#include "framework/StandardControls.h"

#include <algorithm>
#include <vector>

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr TIdentMapEntry kListBoxStyles[] = {
    {"lbStandard", lbStandard}, {"lbOwnerDrawFixed", lbOwnerDrawFixed}, {"lbOwnerDrawVariable", lbOwnerDrawVariable}};

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
  TScopeExit releaseCanvas([&] { canvas.SetHandle(nullptr); });
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
}

}  // namespace

// ---- TWindowLines

namespace {

// LB_ERR and CB_ERR alike.
constexpr LRESULT kLineError = -1;

}  // namespace

const TLineMessages ListBoxLines{LB_GETCOUNT,  LB_GETTEXTLEN,   LB_GETTEXT,      LB_GETITEMDATA, LB_SETITEMDATA,
                                 LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT};
const TLineMessages ComboBoxLines{CB_GETCOUNT,  CB_GETLBTEXTLEN, CB_GETLBTEXT,    CB_GETITEMDATA, CB_SETITEMDATA,
                                  CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT};

// The window stores the implicit object as no object, and no object as this (never a line's object).
LPARAM TWindowLines::Stored(TObject* object) const {
  if (!implicitObject_) return reinterpret_cast<LPARAM>(object);
  if (object == implicitObject_) return 0;
  return object ? reinterpret_cast<LPARAM>(object) : reinterpret_cast<LPARAM>(this);
}

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
  if (implicitObject_ && data == 0) return implicitObject_;
  if (data == reinterpret_cast<LPARAM>(this)) return nullptr;
  return reinterpret_cast<TObject*>(data);
}

void TWindowLines::PutObject(int index, TObject* object) {
  if (!Windowed()) {
    CheckSaved(index);
    saved_->PutObject(index, object);
    return;
  }
  if (Send(messages_.SetItemData, static_cast<WPARAM>(index), Stored(object)) == kLineError) ListIndexError(index);
}

int TWindowLines::AddObject(const std::string& text, TObject* object) {
  if (!Windowed()) return saved_->AddObject(text, object);
  LRESULT index = Send(messages_.Add, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index < 0) throw EOutOfResources(LoadResString(SInsertLineError));
  // A new line stores none already.
  if (LPARAM stored = Stored(object)) Send(messages_.SetItemData, static_cast<WPARAM>(index), stored);
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
  if (LPARAM stored = Stored(object)) Send(messages_.SetItemData, static_cast<WPARAM>(at), stored);
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
  else if (name == "Style") SetStyle(static_cast<TListBoxStyle>(ReadIdent(reader, kListBoxStyles)));
  else return TWinControl::ReadProperty(reader, name);
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
  std::size_t characters = 0;
  for (const TListLine& line : lines) characters += line.Text.size();
  ReserveLines(lines.size(), characters);
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

void TCustomListBox::ReserveLines(std::size_t lines, std::size_t characters) {
  if (HandleAllocated()) Perform(LB_INITSTORAGE, lines, static_cast<LPARAM>((lines + characters) * sizeof(wchar_t)));
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
    case csDropDown:
      params.Style |= CBS_DROPDOWN;
      break;
    case csSimple:
      params.Style |= CBS_SIMPLE;
      break;
    case csDropDownList:
      params.Style |= CBS_DROPDOWNLIST;
      break;
    case csOwnerDrawFixed:
      params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED;
      break;
    case csOwnerDrawVariable:
      params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE;
      break;
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
    SetAlignment(ReadAlignment(reader));
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
                (alignment_ == taRightJustify ? DT_RIGHT
                 : alignment_ == taCenter     ? DT_CENTER
                                              : DT_LEFT);
  DrawTextA(dc, Caption().c_str(), static_cast<int>(Caption().size()), &r, format);
  canvas.Brush().SetStyle(bsSolid);
}

void RegisterStandardControlClasses() {
  RegisterComponentClass("TListBox", [](TComponent* owner) { return new TListBox(owner); });
  RegisterComponentClass("TComboBox", [](TComponent* owner) { return new TComboBox(owner); });
  RegisterComponentClass("TEdit", [](TComponent* owner) { return new TEdit(owner); });
  RegisterComponentClass("TLabel", [](TComponent* owner) { return new TLabel(owner); });
}
