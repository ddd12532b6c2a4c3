#include "tests/browse/TempTree.h"

#include <gtest/gtest.h>

#include "framework/SysUtils.h"

namespace {

// Through the wide interface: tests also make names that the ANSI code page cannot hold.
void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = path + L"\\" + name;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
      else DeleteFileW(full.c_str());
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path) { RemoveTree(AnsiToWide(path)); }

}  // namespace

TempTree::TempTree() {
  static int counter = 0;
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  // The long name of the temporary folder, as the platform reads a current directory back.
  char full[MAX_PATH] = {};
  GetLongPathNameA(temp, full, sizeof full);
  root_ = std::string(full) + "browse" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  RemoveTree(root_);
  EXPECT_TRUE(CreateDirectoryA(root_.c_str(), nullptr)) << root_;
}

TempTree::~TempTree() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  SetCurrentDirectoryA(temp);
  RemoveTree(root_);
}

std::string TempTree::Path(const std::string& relative) const { return root_ + "\\" + relative; }

std::string TempTree::File(const std::string& relative, DWORD attributes, const std::string& content) {
  std::string path = Path(relative);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
  return path;
}

std::string TempTree::Directory(const std::string& relative, DWORD attributes) {
  std::string path = Path(relative);
  EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
  if (attributes) SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY);
  return path;
}
