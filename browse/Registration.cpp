// Makes the browsing controls creatable by class name from window descriptions.
#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileCtrl.h"
#include "browse/FileListBox.h"
#include "framework/Streaming.h"

void RegisterFileCtrlClasses() {
  RegisterComponentClass("TDriveComboBox", [](TComponent* owner) { return new TDriveComboBox(owner); });
  RegisterComponentClass("TDirectoryListBox", [](TComponent* owner) { return new TDirectoryListBox(owner); });
  RegisterComponentClass("TFileListBox", [](TComponent* owner) { return new TFileListBox(owner); });
}
