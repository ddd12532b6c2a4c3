// Pieces shared by the build-time tools: located errors, little-endian output, file I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fault in an input file, reported to the user as file:line:col.
class SourceError : public std::runtime_error {
 public:
  SourceError(int line, int column, const std::string& message)
      : std::runtime_error(message), line_(line), column_(column) {}
  int line() const { return line_; }
  int column() const { return column_; }

 private:
  int line_;
  int column_;
};

// Appends little-endian integers and raw bytes to a growing buffer.
class ByteWriter {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u16(std::uint16_t value) { little(value, 2); }
  void u32(std::uint32_t value) { little(value, 4); }
  void u64(std::uint64_t value) { little(value, 8); }
  void raw(const std::uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void raw(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
  std::size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  void little(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  Bytes bytes_;
};

// Throws std::runtime_error with the reason when the file cannot be read.
std::string readWholeFile(const std::filesystem::path& path);

// Writes through a temporary file and renames it, so a failed run never leaves a partial output.
void writeFileAtomically(const std::filesystem::path& path, const Bytes& bytes);

// The common main() of both tools: converts, writes, and reports any error as file:line:col
// (or file: reason for I/O failures). `convert` throws SourceError on bad input. Returns the exit code.
int runConversion(const std::string& inputPath, const std::string& outputPath,
                  const std::function<Bytes(std::string_view)>& convert);
