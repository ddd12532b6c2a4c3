// File I/O and error reporting shared by the build-time tools.
#include "tools/ToolSupport.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot open: ") + std::strerror(errno));
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw std::runtime_error("read failed");
  return text;
}

void writeFileAtomically(const std::filesystem::path& path, const Bytes& bytes) {
  std::filesystem::path temporary = path;
  temporary += ".partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error(std::string("cannot create: ") + std::strerror(errno));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw std::runtime_error("write failed");
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw std::runtime_error("cannot replace: " + error.message());
  }
}

static void printSourceError(const std::string& inputPath, const SourceError& error) {
  std::cerr << inputPath << ':' << error.line() << ':' << error.column() << ": " << error.what() << '\n';
}

static void printFileError(const std::string& path, const std::string& reason) {
  std::cerr << path << ": " << reason << '\n';
}

int runConversion(const std::string& inputPath, const std::string& outputPath,
                  const std::function<Bytes(std::string_view)>& convert) {
  std::string text;
  try {
    text = readWholeFile(inputPath);
  } catch (const std::exception& error) {
    printFileError(inputPath, error.what());
    return 1;
  }
  Bytes output;
  try {
    output = convert(text);
  } catch (const SourceError& error) {
    printSourceError(inputPath, error);
    return 1;
  }
  try {
    writeFileAtomically(outputPath, output);
  } catch (const std::exception& error) {
    printFileError(outputPath, error.what());
    return 1;
  }
  return 0;
}
