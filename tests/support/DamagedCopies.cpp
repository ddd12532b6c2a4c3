// Damaged copies of a document (see DamagedCopies.h).
#include "tests/support/DamagedCopies.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <random>

namespace testhost {

namespace {

// Numbers that a dictionary entry is not ready for.
constexpr const char* kExtremeNumbers[] = {"2147483647", "-2147483648", "99999999999999999999", "0", "-1", "4294967296",
                                           "1e308",      "0.000001"};

// Where the values of dictionary entries such as "/Length 1234" start.
std::vector<size_t> NumberEntries(const std::string& document) {
  std::vector<size_t> entries;
  for (size_t at = document.find('/'); at != std::string::npos; at = document.find('/', at + 1)) {
    size_t p = at + 1;
    while (p < document.size() && std::isalpha(static_cast<unsigned char>(document[p]))) ++p;
    if (p == at + 1 || p >= document.size() || document[p] != ' ') continue;
    ++p;
    if (p < document.size() && (std::isdigit(static_cast<unsigned char>(document[p])) || document[p] == '-')) {
      entries.push_back(p);
    }
  }
  return entries;
}

}  // namespace

std::vector<DamagedCopy> DamagedCopies(const std::string& document, const std::string& stem, int count, uint32_t seed) {
  std::mt19937 random(seed);
  // Plain modulo of the generator's output: the same numbers from every standard library.
  auto below = [&random](size_t n) { return n == 0 ? 0 : size_t(random() % n); };
  const std::vector<size_t> entries = NumberEntries(document);
  std::vector<DamagedCopy> copies;
  const size_t size = document.size();
  for (int i = 0; i < count && size > 0; ++i) {
    DamagedCopy copy;
    copy.bytes = document;
    std::string how;
    switch (i % 5) {
      case 0: {  // an interrupted download: anywhere from the start to just short of the end
        const size_t keep = size / 20 + below(size - size / 20);
        copy.bytes.resize(keep);
        how = "cut";
        break;
      }
      case 1: {
        const size_t flips = 1 + below(16);
        for (size_t k = 0; k < flips; ++k) copy.bytes[below(size)] ^= char(1 << below(8));
        how = "flipped";
        break;
      }
      case 2: {
        const size_t length = 1 + below(std::min<size_t>(8192, size / 10 + 1));
        const size_t at = below(size - std::min(length, size));
        copy.bytes.replace(at, length, length, '\0');
        how = "zeroed";
        break;
      }
      case 3: {
        std::string junk(1 + below(4096), '\0');
        for (char& c : junk) c = char(random());
        copy.bytes.insert(below(size), junk);
        how = "junk";
        break;
      }
      default: {
        const size_t changes = 1 + below(3);
        // Replaced from the last one back, so that earlier positions stay where they were.
        std::vector<size_t> picked;
        for (size_t k = 0; k < changes && !entries.empty(); ++k) picked.push_back(entries[below(entries.size())]);
        std::sort(picked.rbegin(), picked.rend());
        for (size_t at : picked) {
          size_t end = at + 1;
          while (end < copy.bytes.size() &&
                 (std::isdigit(static_cast<unsigned char>(copy.bytes[end])) || copy.bytes[end] == '.')) {
            ++end;
          }
          copy.bytes.replace(at, end - at, kExtremeNumbers[below(std::size(kExtremeNumbers))]);
        }
        how = "numbers";
        break;
      }
    }
    copy.name = stem + "-" + std::to_string(i) + "-" + how + ".pdf";
    copies.push_back(std::move(copy));
  }
  return copies;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart < (LONGLONG(1) << 30)) {
    bytes.resize(size_t(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
    bytes.resize(got);
  }
  CloseHandle(file);
  return bytes;
}

}  // namespace testhost
