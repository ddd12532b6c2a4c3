// Splitting and joining the splitter's stored lists.
#include "splitter/SplitterList.h"

std::vector<std::string> SplitIniList(std::string_view text, char separator) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    entries.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  // "a,,b" gives the empty middle entry through the loop; "a," ends at the separator.
  return entries;
}

std::string JoinIniList(const std::vector<std::string>& entries, char separator) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i) text += separator;
    text += entries[i];
  }
  return text;
}
