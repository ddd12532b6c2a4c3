// The drive selector: one line per present drive with a glyph for its kind and, except for
// removable drives, its volume label or network connection.
//
//   TTextCase, TDriveComboBox
#pragma once

#include <memory>
#include <string>

#include "browse/FileCtrl.h"
#include "framework/StandardControls.h"

class TDirectoryListBox;

enum TTextCase { tcLowerCase, tcUpperCase };

class TDriveComboBox : public TCustomComboBox {
 public:
  explicit TDriveComboBox(TComponent* owner);
  ~TDriveComboBox() override;
  std::string ClassName() const override { return "TDriveComboBox"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  char Drive() const { return drive_; }
  void SetDrive(char letter);
  TTextCase TextCase() const { return textCase_; }
  // Rebuilds the lines even when the value is unchanged.
  void SetTextCase(TTextCase value);
  TDirectoryListBox* DirList() const { return dirList_; }
  void SetDirList(TDirectoryListBox* list);

  virtual void RebuildItems();
  // A volume came or went: the lines follow the drives present now.
  void DrivesChanged();
  void Click() override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void DrawItem(int index, const RECT& rect, unsigned state) override;
  void LoadGlyphs();
  void FitItemHeight();

 private:
  // The line of the drive's letter, -1 when it has none.
  int LineOfDrive(char letter);
  TDirectoryListBox* dirList_ = nullptr;
  char drive_ = '\0';
  TTextCase textCase_ = tcLowerCase;
  std::unique_ptr<TBitmap> removableGlyph_;
  std::unique_ptr<TBitmap> fixedGlyph_;
  std::unique_ptr<TBitmap> networkGlyph_;
  std::unique_ptr<TBitmap> cdromGlyph_;
  std::unique_ptr<TBitmap> ramGlyph_;
  HWND driveWatch_ = nullptr;
};
