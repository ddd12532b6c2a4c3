// Makes the browsing controls creatable by class name from window descriptions.
#include "FileCtrl.h"
#include "FileListBox.h"
#include "Streaming.h"

void RegisterFileCtrlClasses() {
  RegisterComponentClass("TFileListBox", [](TComponent* owner) { return new TFileListBox(owner); });
}
