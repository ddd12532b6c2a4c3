// The file-explorer window: drive selector, directory list and file list, always on top.
#pragma once

#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "framework/Panel.h"
#include "browse/FileListBox.h"
#include "framework/Forms.h"
#include "splitter/lmdsplt.h"

class TForm2 : public TForm {
 public:
  explicit TForm2(TComponent* owner);
  std::string ClassName() const override { return "TForm2"; }

  TPanel* Panel1 = nullptr;
  TDriveComboBox* DriveComboBox1 = nullptr;
  TLMDSplitterPanel* LMDSplitterPanel1 = nullptr;
  TLMDSplitterPane* LMDSplitterPane1 = nullptr;
  TLMDSplitterPane* LMDSplitterPane2 = nullptr;
  TDirectoryListBox* DirectoryListBox1 = nullptr;
  TFileListBox* FileListBox1 = nullptr;

  // Opens the clicked file in the viewer and writes its name, size, date and time into the
  // viewer window's status bar.
  void FileListBox1Click(TObject* sender);
};

extern TForm2* Form2;
