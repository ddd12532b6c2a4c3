// Makes the browsing controls creatable by class name from window descriptions.
#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "FileCtrl.h"
#include "FileListBox.h"
#include "Streaming.h"

void RegisterFileCtrlClasses() {
  RegisterComponentClass("TDriveComboBox", [](TComponent* owner) { return new TDriveComboBox(owner); });
  RegisterComponentClass("TDirectoryListBox", [](TComponent* owner) { return new TDirectoryListBox(owner); });
  RegisterComponentClass("TFileListBox", [](TComponent* owner) { return new TFileListBox(owner); });
}
