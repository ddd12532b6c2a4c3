// The standard controls over the platform's own window classes.
//
//   TOwnerDrawState        state flags of a line to draw (odSelected, odFocused, ...)
//   TWindowLines           the lines of a list or combo box, in its window or saved
//   TCustomListBox         a LISTBOX: lines with objects, sorting, owner drawing, ItemIndex,
//                          lines, top line and selection kept across recreation
//   TCustomComboBox        a COMBOBOX: lines with objects, owner drawing, ItemIndex,
//                          OnChange and OnDropDown
//   TCustomEdit, TEdit     an EDIT: one line of text, OnChange
//   TCustomLabel, TLabel   a text drawn by its parent, optionally sized to the text
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/ListOrder.h"

enum TOwnerDrawStateFlag : unsigned { odSelected = 1, odGrayed = 2, odDisabled = 4, odChecked = 8, odFocused = 16 };
enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

// The messages by which one kind of list window keeps its lines.
struct TLineMessages {
  UINT Count, TextLength, Text, ItemData, SetItemData, Add, Insert, Delete, Reset;
};

// The lines of a list or combo box: the window's own lines while it exists, the control's
// saved list otherwise (before the first window and during recreation).
class TWindowLines : public TStrings {
 public:
  TWindowLines(TWinControl* control, const TLineMessages& messages, std::unique_ptr<TStringList>& saved)
      : control_(control), messages_(messages), saved_(saved) {}
  std::string ClassName() const override { return "TWindowLines"; }
  int Count() const override;
  std::string Get(int index) const override;
  TObject* Object(int index) const override;
  void PutObject(int index, TObject* object) override;
  int AddObject(const std::string& text, TObject* object) override;
  void InsertObject(int index, const std::string& text, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  // The object that a line of the window stands for when it stores none: lines with it need no
  // second call to the window, and read back the same as any other.
  void SetImplicitObject(TObject* object) { implicitObject_ = object; }

 protected:
  void SetUpdateState(bool updating) override;

 private:
  bool Windowed() const { return control_->HandleAllocated(); }
  // Straight to the control's own handling: the platform's message dispatch costs far more
  // than the list's work for a line, and a fill sends a message or two per line.
  LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) const { return control_->Perform(msg, wParam, lParam); }
  void CheckSaved(int index) const;
  LPARAM Stored(TObject* object) const;
  TWinControl* control_;
  TObject* implicitObject_ = nullptr;
  const TLineMessages& messages_;
  std::unique_ptr<TStringList>& saved_;
};

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;
  std::string ClassName() const override { return "TCustomListBox"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  TStrings& Items() { return *items_; }
  int Count() const { return items_->Count(); }
  void Clear() { items_->Clear(); }
  // The same lines as AddObject for each in turn, in one pass: the window's storage is
  // reserved once and a sorted list's order is worked out once instead of a search per line.
  void AddObjects(const std::vector<TListLine>& lines);
  // Room in the window for this many more lines holding about this many characters in all, so
  // that lines added one by one do not regrow its storage.
  void ReserveLines(std::size_t lines, std::size_t characters);
  // The selected line (the caret line with MultiSelect), -1 for none.
  int ItemIndex();
  // Setting the selection from code raises no event.
  void SetItemIndex(int index);
  bool Selected(int index);
  int TopIndex();
  void SetTopIndex(int index);

  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle style);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);
  bool IntegralHeight() const { return integralHeight_; }
  void SetIntegralHeight(bool value);
  int Columns() const { return columns_; }
  void SetColumns(int columns);

  // Valid while a line is drawn.
  TCanvas& Canvas() { return *canvas_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;
  // The commonest object of the lines (see TWindowLines); set before the first line.
  void SetImplicitObject(TObject* object) { items_->SetImplicitObject(object); }
  // Draws one line; the canvas holds the control's font and the line's brush.
  virtual void DrawItem(int index, const RECT& rect, unsigned state);

 private:
  void DrawItemMessage(const DRAWITEMSTRUCT& info);
  std::unique_ptr<TWindowLines> items_;
  // The lines while there is no window (before the first and during recreation).
  std::unique_ptr<TStringList> saved_;
  int savedTopIndex_ = 0;
  int savedItemIndex_ = -1;
  std::unique_ptr<TCanvas> canvas_;
  int itemHeight_ = 16;
  TListBoxStyle style_ = lbStandard;
  bool sorted_ = false;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  bool integralHeight_ = false;
  int columns_ = 0;
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
  std::string ClassName() const override { return "TListBox"; }
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  std::string ClassName() const override { return "TCustomComboBox"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  TStrings& Items() { return *items_; }
  // The selected line, -1 for none; setting it from code raises no event.
  int ItemIndex();
  void SetItemIndex(int index);
  int ItemHeight() const { return itemHeight_; }
  // A positive height always recreates the window.
  void SetItemHeight(int height);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  bool DroppedDown();
  // Valid while a line is drawn.
  TCanvas& Canvas() { return *canvas_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;
  virtual void DrawItem(int index, const RECT& rect, unsigned state);
  virtual void Change();
  virtual void DropDown();

 private:
  std::unique_ptr<TWindowLines> items_;
  std::unique_ptr<TStringList> saved_;
  int savedItemIndex_ = -1;
  std::unique_ptr<TCanvas> canvas_;
  int itemHeight_ = 16;
  TComboBoxStyle style_ = csDropDown;
};

class TComboBox : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
  std::string ClassName() const override { return "TComboBox"; }
};

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  std::string ClassName() const override { return "TCustomEdit"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  // The window's text while it exists: the user may have typed.
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SelectAll();
  // The selected range of characters.
  int SelStart();
  int SelLength();

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  virtual void Change();
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
  std::string ClassName() const override { return "TEdit"; }
};

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  std::string ClassName() const override { return "TCustomLabel"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  void Loaded() override;
  // Measures text in the label's font (outside painting too).
  int TextWidth(const std::string& text);

 protected:
  void Paint() override;
  void TextChanged() override;
  void FontChanged() override;

 private:
  void AdjustBounds();
  bool autoSize_ = true;
  TAlignment alignment_ = taLeftJustify;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
  std::string ClassName() const override { return "TLabel"; }
};

// Makes the standard controls creatable from window descriptions.
void RegisterStandardControlClasses();
