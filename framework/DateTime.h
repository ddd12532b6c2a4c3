// Dates and times: the date-time value, the packed file date and time, and the format engine
// that turns a value into text by a format string and the regional settings. Free of the
// platform: the settings are filled in by FormatSettings, which reads the locale.
//
//   TDateTime         whole days since 30 December 1899 plus the fraction of the day
//   TFormatSettings   separators, formats, designators, names, lead bytes, alternate calendar
//   FormatDateTime    the format engine
#pragma once

#include <array>
#include <bitset>
#include <functional>
#include <string>
#include <string_view>

using TDateTime = double;

// Which alternate-calendar rules the era tokens follow.
enum TEraLocale { elOther, elJapanese, elTraditionalChinese };

struct TFormatSettings {
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "m/d/yy";
  std::string LongDateFormat = "mmmm d, yyyy";
  std::string ShortTimeFormat = "h:mm AMPM";
  std::string LongTimeFormat = "h:mm:ss AMPM";
  std::string TimeAMString = "am";
  std::string TimePMString = "pm";
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  // Sunday first.
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;
  // Lead bytes of the system's double-byte code page (none on single-byte systems).
  std::bitset<256> LeadBytes;
  TEraLocale EraLocale = elOther;
  // The system's date formatter in the alternate calendar, for the pictures "yy", "yyyy" and
  // "gg"; when empty the Gregorian year is used and the era name is empty.
  std::function<std::string(int year, int month, int day, const char* picture)> CalendarDate;
};

// The program-wide settings, read at start-up and on a settings change.
extern TFormatSettings FormatSettings;

// Fails with "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool IsLeapYear(int year);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
// 1 for Sunday up to 7 for Saturday.
int DayOfWeek(TDateTime value);

// The packed date (high word) and time (low word) of a directory entry as a date-time value.
TDateTime FileDateToDateTime(int fileDate);

// The text of `value` by `format`; an empty format means "C". At most 256 characters.
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings = FormatSettings);
// By the short date format, and by the long time format.
std::string DateToStr(TDateTime value, const TFormatSettings& settings = FormatSettings);
std::string TimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings);

// The short and long time formats from the locale's hour-zero, clock and designator-position
// items.
void BuildTimeFormats(int hourLeadingZero, int clock, int amPmPosition, std::string& shortFormat,
                      std::string& longFormat);
// A locale date format made ready for the engine: era pictures for the era calendars (3, 4, 5),
// era letters removed for the other calendars of Chinese, Japanese and Korean locales.
std::string TranslateDateFormat(std::string_view format, int calendarType, bool eastAsianLanguage,
                                const std::bitset<256>& leadBytes);
