// Runs the built tools on files in a scratch folder, as the build would, and reads results back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/ToolSupport.h"

struct ToolResult {
  int exitCode = -1;
  std::string errorOutput;
};

// A fresh folder per test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::filesystem::path file(std::string_view name) const { return path_ / name; }
  std::filesystem::path write(std::string_view name, std::string_view contents) const;

 private:
  std::filesystem::path path_;
};

ToolResult runTool(const std::string& tool, const std::vector<std::string>& arguments, const ScratchFolder& scratch);

Bytes readBytes(const std::filesystem::path& path);

std::uint16_t readLe16(const Bytes& bytes, std::size_t offset);
std::uint32_t readLe32(const Bytes& bytes, std::size_t offset);
std::int32_t readLe32Signed(const Bytes& bytes, std::size_t offset);
