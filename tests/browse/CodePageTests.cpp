// The path helpers and the directory list under the double-byte code page 932, where the
// second byte of a character may be 0x5C, the backslash. Run as their own test process with a
// Japanese locale (see CMakeLists.txt); the other browsing tests leave them out.
#include <gtest/gtest.h>

#include <vector>

#include "browse/DirectoryListBox.h"
#include "browse/FileCtrl.h"
#include "framework/Forms.h"
#include "tests/browse/TempTree.h"

namespace {

const std::string kHyo = "\x95\x5C";  // a kanji whose second byte is a backslash
const std::string kSo = "\x83\x5C";   // a katakana whose second byte is a backslash
const std::string kA = "\x83\x41";    // a katakana whose second byte is an upper-case A

class CodePage932 : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "this test runs under a Japanese locale"; }
};

TEST_F(CodePage932, PathHelpersStepOverSecondBytes) {
  const std::string dir = "C:\\" + kHyo;
  EXPECT_FALSE(EndsWithBackslash(dir));
  EXPECT_TRUE(EndsWithBackslash(dir + "\\"));
  EXPECT_EQ(JoinPath(dir, "a.pdf"), dir + "\\a.pdf");
  EXPECT_EQ(LastDelimiter("\\", dir + "\\" + kSo), 5u);
  EXPECT_EQ(PathDepth(dir + "\\" + kSo), 2);
  EXPECT_EQ(ExtractFileName("C:\\docs\\" + kHyo), kHyo);
  EXPECT_EQ(ExtractFilePath(dir + "\\" + kSo), dir + "\\");
  EXPECT_EQ(ExtractFileExt(dir + "\\x"), "");
  EXPECT_EQ(ExtractFileDrive("\\\\srv\\" + kHyo + "\\x"), "\\\\srv\\" + kHyo);
  // Only ASCII letters change case; a second byte that looks like one stays.
  EXPECT_EQ(FileNameLowerCase(kA + "B.PDF"), kA + "b.pdf");
  EXPECT_EQ(FileNameUpperCase(kA + "b"), kA + "B");

  std::string text = "\\" + kHyo + "\\" + kSo + "\\";
  DropFirstDirectory(text);
  EXPECT_EQ(text, "\\...\\" + kSo + "\\");
  const std::string path = dir + kHyo + "\\" + kSo + "\\x.pdf";
  auto width = [](const std::string& t) { return static_cast<int>(t.size()); };
  std::vector<std::string> steps;
  for (int room = static_cast<int>(path.size()); room >= 0; --room) {
    std::string shortened = ShortenPath(path, width, room);
    if (steps.empty() || steps.back() != shortened) steps.push_back(shortened);
  }
  EXPECT_EQ(steps,
            (std::vector<std::string>{path, "C:\\...\\" + kSo + "\\x.pdf", "C:\\...\\x.pdf", "...\\x.pdf", "x.pdf"}));
}

TEST_F(CodePage932, ANameEndingInASecondByteLikeABracketIsNoDirectoryLine) {
  const std::string name = "[\x83\x5D";  // a katakana whose second byte is "]"
  TempTree tree;
  tree.Directory(name);
  ChangeDirectory(tree.Root());
  SplitPathResult parts = SplitPathText(name);
  EXPECT_EQ(parts.directory, tree.Path(name).substr(2));
  EXPECT_EQ(parts.file, "");
}

TEST_F(CodePage932, DirectoryListLinesAndTheirPathsKeepSuchNamesWhole) {
  TempTree tree;
  tree.Directory(kHyo);
  tree.Directory(kHyo + "\\" + kSo);
  tree.Directory(kHyo + "\\" + kSo + "\\x");
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 500);
  form->HandleNeeded();
  auto* list = new TDirectoryListBox(form);
  list->SetBounds(0, 0, 200, 400);
  list->SetDirectory(tree.Path(kHyo + "\\" + kSo));
  list->SetParent(form);
  int current = list->ItemIndex();
  ASSERT_GE(current, 2);
  ASSERT_EQ(list->Items().Count(), current + 2);
  EXPECT_EQ(list->Items().Get(current - 1), kHyo);
  EXPECT_EQ(list->Items().Get(current), kSo);
  EXPECT_EQ(list->Items().Get(current + 1), "x");
  EXPECT_EQ(list->PathOfItem(current - 1), tree.Path(kHyo));
  EXPECT_EQ(list->PathOfItem(current), tree.Path(kHyo + "\\" + kSo));
  EXPECT_EQ(list->PathOfItem(current + 1), tree.Path(kHyo + "\\" + kSo + "\\x"));
  list->SetItemIndex(current - 1);
  list->OpenSelectedItem();
  EXPECT_EQ(list->Directory(), tree.Path(kHyo));
  EXPECT_EQ(list->Items().Get(list->ItemIndex()), kHyo);
  EXPECT_EQ(list->Items().Get(list->Items().Count() - 1), kSo);
  TObject::Free(form);
}

}  // namespace
