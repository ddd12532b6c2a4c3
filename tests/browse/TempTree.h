// A directory tree made for one test under the temporary folder and removed afterwards.
#pragma once

#include <windows.h>

#include <string>

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& Root() const { return root_; }
  // Full path of a name below the root.
  std::string Path(const std::string& relative) const;
  // Makes a file (with its directories' existing) and gives it the attributes.
  std::string File(const std::string& relative, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE,
                   const std::string& content = "x");
  std::string Directory(const std::string& relative, DWORD attributes = 0);

 private:
  std::string root_;
};
