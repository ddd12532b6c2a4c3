// Damaged copies of a document, the same on every run for the same seed: cut short, bytes
// flipped, ranges zeroed, junk inserted, numbers in dictionaries made extreme. The damaged
// documents test and the damaged documents benchmark make their corpus with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testhost {

struct DamagedCopy {
  std::string name;  // says how it was damaged; unique within one call
  std::string bytes;
};

std::vector<DamagedCopy> DamagedCopies(const std::string& document, const std::string& stem, int count, uint32_t seed);

// The file's bytes, or nothing when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

}  // namespace testhost
