// Process and file helpers for the tool tests.
#include "tools/tests/ToolRunner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

namespace {

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::path(testing::TempDir()) /
          ("folvane-tools-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchFolder::write(std::string_view name, std::string_view contents) const {
  std::filesystem::path target = file(name);
  std::ofstream out(target, std::ios::binary);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return target;
}

ToolResult runTool(const std::string& tool, const std::vector<std::string>& arguments, const ScratchFolder& scratch) {
  std::filesystem::path errorFile = scratch.file("stderr.txt");
  std::string command = shellQuoted(tool);
  for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
  command += " 2>" + shellQuoted(errorFile.string());
  int status = std::system(command.c_str());
  ToolResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  Bytes error = readBytes(errorFile);
  result.errorOutput.assign(error.begin(), error.end());
  std::filesystem::remove(errorFile);
  return result;
}

Bytes readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint16_t readLe16(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::uint32_t readLe32(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(readLe16(bytes, offset)) | static_cast<std::uint32_t>(readLe16(bytes, offset + 2))
                                                                   << 16;
}

std::int32_t readLe32Signed(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::int32_t>(readLe32(bytes, offset));
}
