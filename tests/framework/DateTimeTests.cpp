// Dates and times: packed file dates, the format engine token by token, and the regional
// settings read from the locale and read again on a settings change.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "framework/DateTime.h"
#include "framework/FormatSettings.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"

namespace {

int Packed(int year, int month, int day, int hour, int minute, int secondField) {
  unsigned date = static_cast<unsigned>(((year - 1980) << 9) | (month << 5) | day);
  unsigned time = static_cast<unsigned>((hour << 11) | (minute << 5) | secondField);
  return static_cast<int>((date << 16) | time);
}

// 14:05:08.009 on Sunday 7 March 2004.
TDateTime Sample() { return EncodeDate(2004, 3, 7) + EncodeTime(14, 5, 8, 9); }

TFormatSettings TableSettings() {
  TFormatSettings s = ReadFormatSettings(0x0BAD);  // no such locale: English names, defaults
  s.DateSeparator = '-';
  s.TimeSeparator = '.';
  s.ShortDateFormat = "d/m/yy";
  s.LongDateFormat = "dddd d mmmm yyyy";
  s.ShortTimeFormat = "hh:nn";
  s.LongTimeFormat = "hh:nn:ss";
  s.CalendarDate = nullptr;
  return s;
}

std::bitset<256> ShiftJisLeadBytes() {
  std::bitset<256> lead;
  for (int b = 0x81; b <= 0x9F; ++b) lead.set(static_cast<std::size_t>(b));
  for (int b = 0xE0; b <= 0xFC; ++b) lead.set(static_cast<std::size_t>(b));
  return lead;
}

TEST(PackedDate, DecodesToTheDayNumberPlusTheFractionOfTheDay) {
  EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDate(2004, 3, 7), 38053.0);
  TDateTime value = FileDateToDateTime(Packed(2004, 3, 7, 14, 5, 4));
  EXPECT_DOUBLE_EQ(value, 38053.0 + (14 * 3600000.0 + 5 * 60000.0 + 8 * 1000.0) / 86400000.0);
  EXPECT_DOUBLE_EQ(FileDateToDateTime(Packed(1980, 1, 1, 0, 0, 0)), EncodeDate(1980, 1, 1));
  EXPECT_DOUBLE_EQ(FileDateToDateTime(Packed(2107, 12, 31, 23, 59, 29)),
                   EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 58, 0));
  EXPECT_DOUBLE_EQ(FileDateToDateTime(Packed(2000, 2, 29, 0, 0, 0)), EncodeDate(2000, 2, 29));
  EXPECT_EQ(DayOfWeek(EncodeDate(2004, 3, 7)), 1);
  EXPECT_EQ(DayOfWeek(EncodeDate(2004, 3, 6)), 7);
}

TEST(PackedDate, InvalidFieldsRaiseTheEncodeMessages) {
  struct Case {
    int packed;
    const char* message;
  };
  const Case cases[] = {
      {Packed(2004, 0, 7, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2004, 13, 7, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2004, 3, 0, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2003, 2, 29, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2004, 2, 30, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2004, 4, 31, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2100, 2, 29, 12, 0, 0), "Invalid argument to date encode"},
      {Packed(2004, 3, 7, 24, 0, 0), "Invalid argument to time encode"},
      {Packed(2004, 3, 7, 12, 60, 0), "Invalid argument to time encode"},
      {Packed(2004, 3, 7, 12, 0, 30), "Invalid argument to time encode"},
      {0, "Invalid argument to date encode"},
  };
  for (const Case& c : cases) {
    try {
      FileDateToDateTime(c.packed);
      ADD_FAILURE() << "no failure for " << std::hex << c.packed;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message) << std::hex << c.packed;
    }
  }
}

TEST(FormatDateTime, GivesTheExamplesOfBothRegionalStyles) {
  TFormatSettings us = TableSettings();
  us.DateSeparator = '/';
  us.TimeSeparator = ':';
  us.ShortDateFormat = "M/d/yyyy";
  us.TimeAMString = "AM";
  us.TimePMString = "PM";
  BuildTimeFormats(0, 0, 0, us.ShortTimeFormat, us.LongTimeFormat);
  TDateTime changed = FileDateToDateTime(Packed(2004, 3, 7, 14, 5, 4));
  EXPECT_EQ(DateToStr(changed, us), "3/7/2004");
  EXPECT_EQ(TimeToStr(changed, us), "2:05:08 PM");

  TFormatSettings de = us;
  de.DateSeparator = '.';
  de.ShortDateFormat = "dd.MM.yyyy";
  BuildTimeFormats(1, 1, 0, de.ShortTimeFormat, de.LongTimeFormat);
  EXPECT_EQ(DateToStr(changed, de), "07.03.2004");
  EXPECT_EQ(TimeToStr(changed, de), "14:05:08");
}

TEST(FormatDateTime, EveryTokenOfTheTable) {
  TFormatSettings s = TableSettings();
  struct Case {
    const char* format;
    const char* text;
  };
  const Case cases[] = {
      {"y", "04"},
      {"yy", "04"},
      {"yyy", "2004"},
      {"yyyyy", "2004"},
      {"m", "3"},
      {"mm", "03"},
      {"mmm", "Mar"},
      {"mmmm", "March"},
      {"mmmmmm", "March"},
      {"M", "3"},
      {"d", "7"},
      {"dd", "07"},
      {"ddd", "Sun"},
      {"dddd", "Sunday"},
      {"ddddd", "7-3-04"},
      {"dddddd", "Sunday 7 March 2004"},
      {"ddddddd", "Sunday 7 March 2004"},
      {"e", "4"},
      {"ee", "04"},
      {"eee", "2004"},
      {"g", ""},
      {"h", "14"},
      {"hh", "14"},
      {"hhh", "14"},
      {"H", "14"},
      {"n", "5"},
      {"nn", "05"},
      {"nnn", "05"},
      {"s", "8"},
      {"ss", "08"},
      {"sss", "08"},
      {"z", "9"},
      {"zz", "09"},
      {"zzz", "009"},
      {"zzzz", "009"},
      {"t", "14.05"},
      {"tt", "14.05.08"},
      {"ttt", "14.05.08"},
      {"am/pm", "pm"},
      {"AM/PM", "PM"},
      {"aM/pM", "pM"},
      {"A/P", "P"},
      {"a/p", "p"},
      {"AMPM", "pm"},
      {"ampm", "pm"},
      {"aaaa", "Sunday"},
      {"AAA", "Sun"},
      {"a", "a"},
      {"ax", "ax"},
      {"c", "7-3-04 14.05.08"},
      {"C", "7-3-04 14.05.08"},
      {"", "7-3-04 14.05.08"},
      {"/", "-"},
      {":", "."},
      {"'yy'", "yy"},
      {"\"mm\"", "mm"},
      {"'unclosed yy", "unclosed yy"},
      {"\"", ""},
      {"x", "x"},
      {"1 ,!", "1 ,!"},
      {"h:m", "14.5"},
      {"h:mm", "14.05"},
      {"hh' o''clock'", "14 oclock"},
      {"yyyy-mm-dd", "2004-03-07"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, Sample(), s), c.text) << '"' << c.format << '"';
}

TEST(FormatDateTime, MinutesFollowAnHourTokenAndTwelveHoursFollowAMarkerAhead) {
  TFormatSettings s = TableSettings();
  struct Case {
    const char* format;
    const char* text;
  };
  const Case cases[] = {
      {"h-m", "14-5"},          // non-letters between do not matter
      {"h x m", "14 x 3"},      // another letter comes between: month
      {"h:mm:mm", "14.05.03"},  // only the first m run after h
      {"m h", "3 14"},
      {"h AM/PM", "2 PM"},
      {"h A/P", "2 P"},
      {"h AMPM", "2 pm"},
      {"hh 'AM/PM'", "14 AM/PM"},  // quoted markers do not count
      {"h h AM/PM", "14 2 PM"},    // an h before the marker stops the look-ahead
      {"h ax AM/PM", "2 ax PM"},   // an a that starts no marker does not stop it
      {"AM/PM h", "PM 2"},         // a marker earlier in the format
      {"tt AMPM", "14.05.08 pm"},  // the inserted format has its own marker state
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, Sample(), s), c.text) << '"' << c.format << '"';

  TDateTime midnight = EncodeDate(2004, 3, 7) + EncodeTime(0, 30, 0, 0);
  TDateTime noon = EncodeDate(2004, 3, 7) + EncodeTime(12, 0, 0, 0);
  EXPECT_EQ(FormatDateTime("h:nn AMPM", midnight, s), "12.30 am");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", noon, s), "12.00 pm");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2004, 3, 7), s), "7-3-04");
}

TEST(FormatDateTime, InsertsFormatsOneLevelDeepOnly) {
  TFormatSettings s = TableSettings();
  s.ShortDateFormat = "m/d t";
  s.LongDateFormat = "ddddd|dddddd";
  EXPECT_EQ(FormatDateTime("ddddd", Sample(), s), "3-7 ");
  EXPECT_EQ(FormatDateTime("m/d t", Sample(), s), "3-7 14.05");
  EXPECT_EQ(FormatDateTime("dddddd", Sample(), s), "|");
  s.ShortDateFormat = "";
  EXPECT_EQ(FormatDateTime("ddddd", Sample(), s), "");
}

TEST(FormatDateTime, NeverWritesMoreThan256Characters) {
  TFormatSettings s = TableSettings();
  EXPECT_EQ(FormatDateTime(std::string(1000, 'x'), Sample(), s), std::string(256, 'x'));
  EXPECT_EQ(FormatDateTime("'" + std::string(5000, 'q'), Sample(), s), std::string(256, 'q'));
  std::string days;
  for (int i = 0; i < 100; ++i) days += "dddd ";
  std::string text = FormatDateTime(days, Sample(), s);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(text.substr(0, 14), "Sunday Sunday ");
  s.LongMonthNames[2] = std::string(300, 'M');
  EXPECT_EQ(FormatDateTime("mmmm", Sample(), s), std::string(256, 'M'));
  EXPECT_EQ(FormatDateTime("yyyy" + std::string(300, '/'), Sample(), s), "2004" + std::string(252, '-'));
}

TEST(FormatDateTime, StepsOverDoubleByteCharacters) {
  TFormatSettings s = TableSettings();
  s.LeadBytes = ShiftJisLeadBytes();
  // 0x94 0x4E is one character whose trail byte is an N: no minute token.
  EXPECT_EQ(FormatDateTime("yyyy\x94\x4Emm", Sample(), s),
            "2004\x94\x4E"
            "03");
  // The character resets the last letter: the m is a month again.
  EXPECT_EQ(FormatDateTime("h\x94\x4Em", Sample(), s),
            "14\x94\x4E"
            "3");
  EXPECT_EQ(FormatDateTime("'\x94\x27'd", Sample(), s),
            "\x94\x27"
            "7");                                            // trail byte is a quote
  EXPECT_EQ(FormatDateTime("d\x94", Sample(), s), "7\x94");  // lone lead byte at the end
  EXPECT_EQ(FormatDateTime("'\x94", Sample(), s), "\x94");
}

TEST(FormatDateTime, EraTokensUseTheSystemsAlternateCalendar) {
  TFormatSettings s = TableSettings();
  s.LeadBytes = ShiftJisLeadBytes();
  s.EraLocale = elJapanese;
  s.CalendarDate = [](int, int, int, const char* picture) -> std::string {
    std::string p = picture;
    if (p == "yy") return "06";
    if (p == "yyyy") return "0016";
    return "\x95\xBD\x90\xAC";  // Heisei
  };
  EXPECT_EQ(FormatDateTime("e", Sample(), s), "6");
  EXPECT_EQ(FormatDateTime("ee", Sample(), s), "06");
  EXPECT_EQ(FormatDateTime("eeee", Sample(), s), "0016");
  EXPECT_EQ(FormatDateTime("g", Sample(), s), "\x95\xBD");
  EXPECT_EQ(FormatDateTime("gg", Sample(), s), "\x95\xBD\x90\xAC");

  s.EraLocale = elTraditionalChinese;
  for (int b = 0x81; b <= 0xFE; ++b) s.LeadBytes.set(static_cast<std::size_t>(b));
  s.CalendarDate = [](int, int, int, const char*) -> std::string { return "\xA4\xA4\xB5\xD8\xA5\xC1\xB0\xEA"; };
  EXPECT_EQ(FormatDateTime("g", Sample(), s), "\xA5\xC1\xB0\xEA");
  s.CalendarDate = [](int, int, int, const char*) -> std::string { return "\xA5\xC1\xB0\xEA"; };
  EXPECT_EQ(FormatDateTime("g", Sample(), s), "\xA5\xC1\xB0\xEA");
}

TEST(TimeFormats, AreBuiltFromHourZeroClockAndMarkerPosition) {
  struct Case {
    int zero, clock, position;
    const char* shortFormat;
    const char* longFormat;
  };
  const Case cases[] = {
      {0, 0, 0, "h:mm AMPM", "h:mm:ss AMPM"}, {1, 0, 0, "hh:mm AMPM", "hh:mm:ss AMPM"},
      {0, 0, 1, "AMPM h:mm", "AMPM h:mm:ss"}, {1, 1, 0, "hh:mm", "hh:mm:ss"},
      {0, 1, 1, "h:mm", "h:mm:ss"},           {2, 0, 7, "AMPM hh:mm", "AMPM hh:mm:ss"},
  };
  for (const Case& c : cases) {
    std::string shortFormat, longFormat;
    BuildTimeFormats(c.zero, c.clock, c.position, shortFormat, longFormat);
    EXPECT_EQ(shortFormat, c.shortFormat);
    EXPECT_EQ(longFormat, c.longFormat);
  }
}

TEST(DateFormats, AreTranslatedForEraCalendarsAndEastAsianLanguages) {
  std::bitset<256> none;
  struct Case {
    const char* format;
    int calendar;
    bool eastAsian;
    const char* translated;
  };
  const Case cases[] = {
      {"gg yy/MM/dd", 3, true, "ggg ee/MM/dd"},
      {"GG yyyy", 4, false, "ggg eeee"},
      {"y.M.d", 5, true, "e.M.d"},
      {"yyy", 3, true, "eee"},
      {"Y g", 3, true, "e g"},
      {"gg yyyy", 1, true, " yyyy"},
      {"Gg yyyy", 2, true, " yyyy"},
      {"gg yyyy", 1, false, "gg yyyy"},
      {"M/d/yyyy", 1, false, "M/d/yyyy"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TranslateDateFormat(c.format, c.calendar, c.eastAsian, none), c.translated) << c.format;
  // A trail byte that looks like y or g is copied with its lead byte.
  EXPECT_EQ(TranslateDateFormat("\x94\x79yy", 3, true, ShiftJisLeadBytes()),
            "\x94\x79"
            "ee");
  EXPECT_EQ(TranslateDateFormat("\x94gg", 1, true, ShiftJisLeadBytes()), "\x94g");
}

// Sets a user locale item for the test's run.
class LocaleOverride {
 public:
  LocaleOverride(LCTYPE item, const char* value) { EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, item, value)); }
};

// The user's time and date items as they were, put back at the end: the system rewrites the
// time format when a separator changes and derives the clock and hour-zero items from it, so
// the separators go back first and the formats last.
class LocaleSnapshot {
 public:
  LocaleSnapshot() {
    for (LCTYPE item : kItems) saved_.push_back(Read(item));
  }
  ~LocaleSnapshot() {
    for (std::size_t i = 0; i < std::size(kItems); ++i)
      SetLocaleInfoA(LOCALE_USER_DEFAULT, kItems[i], saved_[i].c_str());
  }

 private:
  static std::string Read(LCTYPE item) {
    char buffer[256] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer);
    return buffer;
  }
  static constexpr LCTYPE kItems[] = {LOCALE_SDATE, LOCALE_STIME, LOCALE_SSHORTDATE, LOCALE_STIMEFORMAT};
  std::vector<std::string> saved_;
};

TEST(FormatSettingsFromLocale, MissingItemsTakeTheDefaults) {
  TFormatSettings s = ReadFormatSettings(0x0BAD);
  EXPECT_EQ(s.DateSeparator, '/');
  EXPECT_EQ(s.TimeSeparator, ':');
  EXPECT_EQ(s.ShortDateFormat, "m/d/yy");
  EXPECT_EQ(s.LongDateFormat, "mmmm d, yyyy");
  EXPECT_EQ(s.TimeAMString, "am");
  EXPECT_EQ(s.TimePMString, "pm");
  EXPECT_EQ(s.ShortTimeFormat, "h:mm AMPM");
  EXPECT_EQ(s.LongTimeFormat, "h:mm:ss AMPM");
  const char* shortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* longDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(s.ShortMonthNames[i], shortMonths[i]);
  EXPECT_EQ(s.LongMonthNames[0], "January");
  EXPECT_EQ(s.LongMonthNames[11], "December");
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(s.LongDayNames[i], longDays[i]);
  EXPECT_EQ(s.ShortDayNames[0], "Sun");
  EXPECT_EQ(s.ShortDayNames[6], "Sat");
}

TEST(FormatSettingsFromLocale, ReadsTheUsersLocaleWithSundayFirst) {
  TFormatSettings s = ReadFormatSettings(GetUserDefaultLCID());
  EXPECT_EQ(s.DateSeparator, '/');
  EXPECT_EQ(s.ShortDateFormat, "M/d/yyyy");
  EXPECT_EQ(s.LongTimeFormat, "h:mm:ss AMPM");
  EXPECT_EQ(s.TimeAMString, "AM");
  EXPECT_EQ(s.LongDayNames[0], "Sunday");
  EXPECT_EQ(s.LongDayNames[1], "Monday");
  EXPECT_EQ(s.ShortDayNames[6], "Sat");
  EXPECT_EQ(s.LongMonthNames[2], "March");
}

TEST(FormatSettingsFromLocale, ASeparatorLongerThanOneCharacterTakesTheDefault) {
  LocaleSnapshot snapshot;
  {
    LocaleOverride date(LOCALE_SDATE, ".");
    LocaleOverride time(LOCALE_STIME, "-");
    TFormatSettings s = ReadFormatSettings(GetUserDefaultLCID());
    EXPECT_EQ(s.DateSeparator, '.');
    EXPECT_EQ(s.TimeSeparator, '-');
  }
  {
    LocaleOverride date(LOCALE_SDATE, "..");
    LocaleOverride time(LOCALE_STIME, "-.");
    TFormatSettings s = ReadFormatSettings(GetUserDefaultLCID());
    EXPECT_EQ(s.DateSeparator, '/');
    EXPECT_EQ(s.TimeSeparator, ':');
  }
  // The system takes no letters in a time separator and leaves it empty: the default, not a
  // zero character in the middle of every time text.
  LocaleOverride time(LOCALE_STIME, "h");
  TFormatSettings s = ReadFormatSettings(GetUserDefaultLCID());
  EXPECT_EQ(s.TimeSeparator, ':');
  std::string text = TimeToStr(EncodeTime(14, 5, 8, 0), s);
  EXPECT_NE(text.find(":05:08 PM"), std::string::npos) << text;
  EXPECT_EQ(text.find('\0'), std::string::npos);
}

TEST(FormatSettingsFromLocale, AreReadAgainOnTheSettingsChangeBroadcast) {
  TDateTime changed = FileDateToDateTime(Packed(2004, 3, 7, 14, 5, 4));
  EXPECT_EQ(DateToStr(changed), "3/7/2004");
  EXPECT_EQ(TimeToStr(changed), "2:05:08 PM");
  {
    LocaleSnapshot snapshot;
    LocaleOverride shortDate(LOCALE_SSHORTDATE, "dd.MM.yyyy");
    LocaleOverride separator(LOCALE_SDATE, ".");
    // The system derives the clock and hour-zero items from the time format.
    LocaleOverride clock(LOCALE_STIMEFORMAT, "HH:mm:ss");
    // Nothing changes until the system announces it.
    EXPECT_EQ(DateToStr(changed), "3/7/2004");
    SendMessageA(Application->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("intl"));
    EXPECT_EQ(DateToStr(changed), "07.03.2004");
    EXPECT_EQ(TimeToStr(changed), "14:05:08");
  }
  SendMessageA(Application->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("intl"));
  EXPECT_EQ(DateToStr(changed), "3/7/2004");
  EXPECT_EQ(TimeToStr(changed), "2:05:08 PM");
}

}  // namespace
