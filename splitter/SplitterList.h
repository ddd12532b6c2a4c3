// The text lists in which the splitter stores its arrangement: entries joined by a separator.
// Free of platform headers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits at `separator`: adjacent separators give an empty entry, a trailing separator none.
std::vector<std::string> SplitIniList(std::string_view text, char separator);
std::string JoinIniList(const std::vector<std::string>& entries, char separator);
