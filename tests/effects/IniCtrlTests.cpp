// The ini control over a real file: values of any length, missing keys and files, deleting,
// and the notice its owner's other components get once it has been made.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "effects/LMDIniCtrl.h"

namespace {

class IniCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    path_ = std::string(dir) + "effects-test.ini";
    DeleteFileA(path_.c_str());
    ini_ = new TLMDIniCtrl(nullptr);
    ini_->SetIniFile(path_);
  }
  void TearDown() override {
    TObject::Free(ini_);
    DeleteFileA(path_.c_str());
  }
  std::string path_;
  TLMDIniCtrl* ini_ = nullptr;
};

TEST_F(IniCtrlTest, DefaultFileIsNamedAfterTheProgram) {
  auto* fresh = new TLMDIniCtrl(nullptr);
  char module[MAX_PATH];
  std::string program(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
  EXPECT_EQ(fresh->IniFile(), program.substr(0, program.size() - 4) + ".ini");
  TObject::Free(fresh);
}

TEST_F(IniCtrlTest, ValuesOfAnyLengthComeBackWhole) {
  for (std::size_t length : {std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{5000}}) {
    std::string value(length, 'x');
    value.back() = '7';
    ini_->WriteString("Common", "Key", value);
    EXPECT_EQ(ini_->ReadString("Common", "Key"), value) << length;
  }
}

TEST_F(IniCtrlTest, MissingKeysAndFilesReadEmptyAndDeletingRemovesOnlyTheKey) {
  EXPECT_EQ(ini_->ReadString("Common", "Key"), "");  // no file yet
  ini_->WriteString("Common", "Key", "1,0");
  ini_->WriteString("Common", "Other", "57");
  ini_->WriteString("Elsewhere", "Key", "x");
  ini_->DeleteKey("Common", "Key");
  EXPECT_EQ(ini_->ReadString("Common", "Key"), "");
  EXPECT_EQ(ini_->ReadString("Common", "Other"), "57");
  EXPECT_EQ(ini_->ReadString("Elsewhere", "Key"), "x");
  ini_->DeleteKey("Common", "Missing");  // nothing to delete is no failure
  EXPECT_EQ(ini_->ReadString("Common", "Other"), "57");
}

// Records the insertion notices it hears, with what the inserted component was by then.
class TNoticeProbe : public TComponent {
 public:
  using TComponent::TComponent;
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opInsert) inserted.push_back(dynamic_cast<TLMDIniCtrl*>(component));
  }
  std::vector<TLMDIniCtrl*> inserted;
};

TEST(IniCtrlNotice, TheOwnersOtherComponentsHearOfTheControlOnceItIsMade) {
  auto* owner = new TNoticeProbe(nullptr);
  auto* sibling = new TNoticeProbe(owner);
  auto* ini = new TLMDIniCtrl(owner);
  // The sibling hears once, and can tell it is an ini control.
  EXPECT_EQ(sibling->inserted, std::vector<TLMDIniCtrl*>{ini});
  // The owner hears only the framework's notices (of the sibling and of the control), both
  // sent while the new component was not yet complete: no second one.
  EXPECT_EQ(owner->inserted, (std::vector<TLMDIniCtrl*>{nullptr, nullptr}));
  TObject::Free(owner);
}

}  // namespace
