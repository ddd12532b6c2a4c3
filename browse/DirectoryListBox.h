// The directory list: the steps of the current directory's path from the drive root down,
// then its subdirectories; opening a line moves there and tells the file list and a label.
//
//   TDirectoryListBox
#pragma once

#include <memory>
#include <string>

#include "browse/FileCtrl.h"
#include "framework/StandardControls.h"

class TFileListBox;
class TDriveComboBox;

class TDirectoryListBox : public TCustomListBox {
 public:
  explicit TDirectoryListBox(TComponent* owner);
  ~TDirectoryListBox() override;
  std::string ClassName() const override { return "TDirectoryListBox"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  // Published: a handler may change or swallow the key before Enter opens a line.
  using TCustomListBox::OnKeyPress;

  const std::string& Directory() const { return directory_; }
  virtual void SetDirectory(const std::string& path);
  // The first character of Directory (a backslash on a network path).
  char Drive() const { return directory_.empty() ? '\0' : directory_[0]; }
  void SetDrive(char letter);
  TFileListBox* FileList() const { return fileList_; }
  void SetFileList(TFileListBox* list);
  TLabel* DirLabel() const { return dirLabel_; }
  void SetDirLabel(TLabel* label);
  TDriveComboBox* DriveCombo() const { return driveCombo_; }
  bool CasePreserving() const { return casePreserving_; }
  bool CaseSensitive() const { return caseSensitive_; }

  // The directory that the line at the position stands for.
  std::string PathOfItem(int index);
  void OpenSelectedItem();

  virtual void NotifyChanged();
  virtual void LoadGlyphs();
  virtual void RebuildItems();

  void DblClick() override;
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnChange;

 protected:
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void DrawItem(int index, const RECT& rect, unsigned state) override;
  void FitItemHeight();
  void RefreshDirLabel();
  // Rebuilds the lines and tells the file list, which takes its lines from the same read.
  void MoveLists();

 private:
  void PlaceHeldBack(const std::vector<TListLine>& names, const std::vector<bool>& listed, std::size_t inserted,
                     int first);
  friend class TDriveComboBox;
  TFileListBox* fileList_ = nullptr;
  TDriveComboBox* driveCombo_ = nullptr;
  TLabel* dirLabel_ = nullptr;
  bool inDriveChange_ = false;
  bool sharingRead_ = false;
  bool casePreserving_ = false;
  bool caseSensitive_ = false;
  std::unique_ptr<TBitmap> closedGlyph_;
  std::unique_ptr<TBitmap> openGlyph_;
  std::unique_ptr<TBitmap> currentGlyph_;
  std::string directory_;
};
