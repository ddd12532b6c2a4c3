// Date-time values, packed file dates and the format engine.
#include "framework/DateTime.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "framework/MessageTexts.h"
#include "framework/SysUtils.h"

TFormatSettings FormatSettings;

namespace {

constexpr long long kMsPerDay = 86400000;
constexpr std::size_t kBufferSize = 256;
constexpr int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Days since 1 March of year 0 shifted so that 30 December 1899 is day 0.
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
  long long z = days - 25569 + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// The whole day and the milliseconds into it; the fraction counts from midnight also for
// days before 1899.
void SplitValue(TDateTime value, long long& days, long long& ms) {
  double whole = std::trunc(value);
  days = static_cast<long long>(whole);
  ms = std::llround(std::fabs(value - whole) * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    days += value < 0 ? -1 : 1;
  }
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (Upper(text[pos + i]) != word[i]) return false;
  return true;
}

// The text of one format run: writes into a bounded buffer, expands nested formats one level.
class Formatter {
 public:
  Formatter(TDateTime value, const TFormatSettings& settings) : value_(value), settings_(settings) {
    long long days, ms;
    SplitValue(value, days, ms);
    CivilFromDays(days, year_, month_, day_);
    hour_ = static_cast<int>(ms / 3600000);
    minute_ = static_cast<int>(ms / 60000 % 60);
    second_ = static_cast<int>(ms / 1000 % 60);
    msec_ = static_cast<int>(ms % 1000);
    dayOfWeek_ = DayOfWeek(value);
  }

  void AppendFormat(std::string_view format);
  std::string Result() const { return out_; }

 private:
  bool IsLead(char c) const { return settings_.LeadBytes.test(static_cast<unsigned char>(c)); }
  // Length of the character at `pos`: two for a lead byte followed by its trail byte.
  std::size_t CharLength(std::string_view text, std::size_t pos) const {
    return (IsLead(text[pos]) && pos + 1 < text.size()) ? 2 : 1;
  }
  void Append(std::string_view text) {
    std::size_t room = kBufferSize - out_.size();
    out_.append(text.substr(0, std::min(room, text.size())));
  }
  void AppendChar(char c) { Append(std::string_view(&c, 1)); }
  void AppendNumber(long long number, int digits) {
    std::string text = std::to_string(number < 0 ? -number : number);
    if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    if (number < 0) text.insert(0, 1, '-');
    Append(text);
  }
  // A twelve-hour marker comes after `pos` before the next h (quoted text passed over).
  bool TwelveHourAhead(std::string_view format, std::size_t pos) const;
  std::string Calendar(const char* picture) const;
  void AppendEraYear(int count);
  void AppendEraName(int count);

  TDateTime value_;
  const TFormatSettings& settings_;
  int year_, month_, day_, hour_, minute_, second_, msec_, dayOfWeek_;
  int level_ = 0;
  std::string out_;
};

bool Formatter::TwelveHourAhead(std::string_view format, std::size_t pos) const {
  while (pos < format.size()) {
    char c = format[pos];
    if (c == '\'' || c == '"') {
      ++pos;
      while (pos < format.size() && format[pos] != c) pos += CharLength(format, pos);
      if (pos < format.size()) ++pos;
      continue;
    }
    if (IsLead(c)) {
      pos += CharLength(format, pos);
      continue;
    }
    if (c == 'h' || c == 'H') return false;
    if ((c == 'a' || c == 'A') && (StartsWithNoCase(format, pos, "AM/PM") || StartsWithNoCase(format, pos, "A/P") ||
                                   StartsWithNoCase(format, pos, "AMPM")))
      return true;
    ++pos;
  }
  return false;
}

std::string Formatter::Calendar(const char* picture) const {
  if (settings_.CalendarDate) return settings_.CalendarDate(year_, month_, day_, picture);
  if (picture[0] != 'y') return std::string();
  std::string text = std::to_string(picture[2] == 'y' ? year_ : year_ % 100);
  std::size_t digits = picture[2] == 'y' ? 4 : 2;
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

void Formatter::AppendEraYear(int count) {
  std::string text = Calendar(count <= 2 ? "yy" : "yyyy");
  if (count == 1 && !text.empty() && text[0] == '0') text.erase(0, 1);
  Append(text);
}

void Formatter::AppendEraName(int count) {
  std::string text = Calendar("gg");
  if (count == 1) {
    // Characters, not bytes: a double-byte character is one.
    std::vector<std::string_view> chars;
    for (std::size_t pos = 0; pos < text.size();) {
      std::size_t len = CharLength(text, pos);
      chars.push_back(std::string_view(text).substr(pos, len));
      pos += len;
    }
    if (settings_.EraLocale == elJapanese) {
      text = chars.empty() ? std::string() : std::string(chars[0]);
    } else if (settings_.EraLocale == elTraditionalChinese && chars.size() == 4) {
      text = std::string(chars[2]) + std::string(chars[3]);
    }
  }
  Append(text);
}

void Formatter::AppendFormat(std::string_view format) {
  if (level_ >= 2) return;
  ++level_;
  bool twelveHour = false;
  char lastLetter = ' ';
  std::size_t pos = 0;
  while (pos < format.size() && out_.size() < kBufferSize) {
    char start = format[pos];
    if (IsLead(start)) {
      std::size_t len = CharLength(format, pos);
      // A double-byte character of the format is shown as it is written.
      Append(format.substr(pos, len));
      pos += len;
      lastLetter = ' ';
      continue;
    }
    char token = Upper(start);
    if (IsLetter(token)) {
      if (token == 'M' && lastLetter == 'H') token = 'N';
      lastLetter = token;
    }
    std::size_t runStart = pos;
    auto count = [&] {
      while (pos < format.size() && format[pos] == start) ++pos;
      return static_cast<int>(pos - runStart);
    };
    switch (token) {
      case 'Y': {
        int n = count();
        if (n <= 2) AppendNumber(year_ % 100, 2);
        else AppendNumber(year_, 4);
        break;
      }
      case 'M': {
        int n = count();
        if (n <= 2) AppendNumber(month_, n);
        else if (n == 3) Append(settings_.ShortMonthNames[static_cast<std::size_t>(month_ - 1)]);
        else Append(settings_.LongMonthNames[static_cast<std::size_t>(month_ - 1)]);
        break;
      }
      case 'D': {
        int n = count();
        if (n <= 2) AppendNumber(day_, n);
        else if (n == 3) Append(settings_.ShortDayNames[static_cast<std::size_t>(dayOfWeek_ - 1)]);
        else if (n == 4) Append(settings_.LongDayNames[static_cast<std::size_t>(dayOfWeek_ - 1)]);
        else if (n == 5) AppendFormat(settings_.ShortDateFormat);
        else AppendFormat(settings_.LongDateFormat);
        break;
      }
      case 'E':
        AppendEraYear(count());
        break;
      case 'G':
        AppendEraName(count());
        break;
      case 'H': {
        int n = std::min(count(), 2);
        bool twelve = twelveHour || TwelveHourAhead(format, pos);
        int hour = hour_;
        if (twelve) {
          if (hour == 0) hour = 12;
          else if (hour > 12) hour -= 12;
        }
        AppendNumber(hour, n);
        break;
      }
      case 'N':
        AppendNumber(minute_, std::min(count(), 2));
        break;
      case 'S':
        AppendNumber(second_, std::min(count(), 2));
        break;
      case 'Z':
        AppendNumber(msec_, std::min(count(), 3));
        break;
      case 'T':
        if (count() == 1) AppendFormat(settings_.ShortTimeFormat);
        else AppendFormat(settings_.LongTimeFormat);
        break;
      case 'C':
        count();
        AppendFormat(settings_.ShortDateFormat);
        if (hour_ != 0 || minute_ != 0 || second_ != 0) {
          AppendChar(' ');
          AppendFormat(settings_.LongTimeFormat);
        }
        break;
      case 'A':
        if (StartsWithNoCase(format, pos, "AM/PM")) {
          Append(format.substr(hour_ < 12 ? pos : pos + 3, 2));
          pos += 5;
          twelveHour = true;
        } else if (StartsWithNoCase(format, pos, "A/P")) {
          Append(format.substr(hour_ < 12 ? pos : pos + 2, 1));
          pos += 3;
          twelveHour = true;
        } else if (StartsWithNoCase(format, pos, "AMPM")) {
          Append(hour_ < 12 ? settings_.TimeAMString : settings_.TimePMString);
          pos += 4;
          twelveHour = true;
        } else if (StartsWithNoCase(format, pos, "AAAA")) {
          Append(settings_.LongDayNames[static_cast<std::size_t>(dayOfWeek_ - 1)]);
          pos += 4;
        } else if (StartsWithNoCase(format, pos, "AAA")) {
          Append(settings_.ShortDayNames[static_cast<std::size_t>(dayOfWeek_ - 1)]);
          pos += 3;
        } else {
          AppendChar(start);
          ++pos;
        }
        break;
      case '/':
        AppendChar(settings_.DateSeparator);
        ++pos;
        break;
      case ':':
        AppendChar(settings_.TimeSeparator);
        ++pos;
        break;
      case '\'':
      case '"': {
        std::size_t textStart = ++pos;
        while (pos < format.size() && format[pos] != start) pos += CharLength(format, pos);
        Append(format.substr(textStart, std::min(pos, format.size()) - textStart));
        if (pos < format.size()) ++pos;
        break;
      }
      default:
        AppendChar(start);
        ++pos;
    }
  }
  --level_;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

TDateTime EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > kMonthDays[IsLeapYear(year)][month - 1])
    throw EConvertError(LoadResString(SDateEncodeError));
  return static_cast<TDateTime>(DaysFromCivil(year, month, day));
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 || millisecond < 0 ||
      millisecond >= 1000)
    throw EConvertError(LoadResString(STimeEncodeError));
  return static_cast<TDateTime>(hour * 3600000LL + minute * 60000LL + second * 1000LL + millisecond) / kMsPerDay;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  long long days, ms;
  SplitValue(value, days, ms);
  CivilFromDays(days, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
  long long days, ms;
  SplitValue(value, days, ms);
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
  millisecond = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime value) {
  long long days, ms;
  SplitValue(value, days, ms);
  // Day 0, 30 December 1899, was a Saturday.
  return static_cast<int>(((days % 7 + 7) % 7 + 6) % 7 + 1);
}

TDateTime FileDateToDateTime(int fileDate) {
  unsigned packed = static_cast<unsigned>(fileDate);
  unsigned date = packed >> 16, time = packed & 0xFFFF;
  TDateTime day =
      EncodeDate(static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15), static_cast<int>(date & 31));
  TDateTime clock = EncodeTime(static_cast<int>(time >> 11), static_cast<int>((time >> 5) & 63),
                               static_cast<int>((time & 31) * 2), 0);
  return day + clock;
}

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings) {
  Formatter formatter(value, settings);
  formatter.AppendFormat(format.empty() ? std::string_view("C") : format);
  return formatter.Result();
}

std::string DateToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(settings.ShortDateFormat, value, settings);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(settings.LongTimeFormat, value, settings);
}

void BuildTimeFormats(int hourLeadingZero, int clock, int amPmPosition, std::string& shortFormat,
                      std::string& longFormat) {
  std::string hour = hourLeadingZero == 0 ? "h" : "hh";
  std::string prefix, suffix;
  if (clock == 0) {
    if (amPmPosition == 0) suffix = " AMPM";
    else prefix = "AMPM ";
  }
  shortFormat = prefix + hour + ":mm" + suffix;
  longFormat = prefix + hour + ":mm:ss" + suffix;
}

std::string TranslateDateFormat(std::string_view format, int calendarType, bool eastAsianLanguage,
                                const std::bitset<256>& leadBytes) {
  auto isLead = [&](std::size_t pos) {
    return leadBytes.test(static_cast<unsigned char>(format[pos])) && pos + 1 < format.size();
  };
  std::string out;
  if (calendarType >= 3 && calendarType <= 5) {
    std::size_t pos = 0;
    while (pos < format.size()) {
      if (isLead(pos)) {
        out.append(format.substr(pos, 2));
        pos += 2;
      } else if (StartsWithNoCase(format, pos, "GG")) {
        out += "ggg";
        pos += 2;
      } else if (StartsWithNoCase(format, pos, "YYYY")) {
        out += "eeee";
        pos += 4;
      } else if (StartsWithNoCase(format, pos, "YY")) {
        out += "ee";
        pos += 2;
      } else if (format[pos] == 'y' || format[pos] == 'Y') {
        out += 'e';
        ++pos;
      } else {
        out += format[pos++];
      }
    }
    return out;
  }
  if (!eastAsianLanguage) return std::string(format);
  for (std::size_t pos = 0; pos < format.size();) {
    if (isLead(pos)) {
      out.append(format.substr(pos, 2));
      pos += 2;
    } else {
      if (format[pos] != 'g' && format[pos] != 'G') out += format[pos];
      ++pos;
    }
  }
  return out;
}
