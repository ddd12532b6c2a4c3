// The file list: the entries of one directory that match a mask, sorted, with glyphs, and a
// typed path through FileName that may move the directory, change the mask or select a line.
//
//   TFileListBox
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "browse/FileCtrl.h"
#include "framework/StandardControls.h"

class TDirectoryListBox;

class TFileListBox : public TCustomListBox {
 public:
  explicit TFileListBox(TComponent* owner);
  ~TFileListBox() override;
  std::string ClassName() const override { return "TFileListBox"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& directory);
  const std::string& Mask() const { return mask_; }
  void SetMask(const std::string& mask);
  TFileType FileType() const { return fileType_; }
  void SetFileType(TFileType fileType);
  bool ShowGlyphs() const { return showGlyphs_; }
  void SetShowGlyphs(bool value);
  TEdit* FileEdit() const { return fileEdit_; }
  void SetFileEdit(TEdit* edit);
  TDirectoryListBox* DirList() const { return dirList_; }

  // The directory joined with the selected line; empty when nothing is selected.
  virtual std::string FileName();
  virtual void SetFileName(const std::string& text);
  std::string SelectedItemText();
  void SelectItemByName(const std::string& name);

  virtual void LoadGlyphs();
  virtual void NotifyChanged();
  virtual void RefreshFiles();

  // The directory list's own read of a directory it moves to, shared so that a move reads the
  // directory once: the lines gathered here are taken by the next refresh of that directory
  // with the same mask and file type. BeginSharedRead adds what the read must include to
  // `attributes` and is false when the mask needs the system's own search.
  bool BeginSharedRead(const std::string& directory, unsigned& attributes);
  void SharedEntry(const char* name, const WIN32_FIND_DATAW& entry);
  // Drops what no refresh took.
  void EndSharedRead();

  void Click() override;
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnChange;

 protected:
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void DrawItem(int index, const RECT& rect, unsigned state) override;
  void FitItemHeight();

 private:
  friend class TDirectoryListBox;
  struct SharedLines;
  unsigned SearchAttributes() const;
  void AddLine(std::vector<TListLine>& lines, std::size_t& total, const char* name, unsigned attr);
  std::unique_ptr<SharedLines> shared_;
  std::string directory_;
  std::string mask_;
  TFileType fileType_;
  TEdit* fileEdit_ = nullptr;
  TDirectoryListBox* dirList_ = nullptr;
  std::unique_ptr<TBitmap> programGlyph_;
  std::unique_ptr<TBitmap> directoryGlyph_;
  std::unique_ptr<TBitmap> otherFileGlyph_;
  int lastSelection_ = -1;
  bool showGlyphs_ = false;
};
