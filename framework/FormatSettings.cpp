// The regional settings from the locale, each item with its default when the system call fails.
#include "framework/FormatSettings.h"

#include <windows.h>

#include <cstdlib>

#include "framework/MessageTexts.h"
#include "framework/SysUtils.h"

namespace {

// A text item, or `fallback` when the call fails.
std::string LocaleText(LCID locale, LCTYPE item, const std::string& fallback) {
  char buffer[256];
  if (GetLocaleInfoA(locale, item, buffer, sizeof buffer) <= 0) return fallback;
  return buffer;
}

// A separator has room for one character only: a longer one fails and takes the default. So
// does an empty one, which would put a zero character into every text.
char LocaleChar(LCID locale, LCTYPE item, char fallback) {
  char buffer[2] = {};
  if (GetLocaleInfoA(locale, item, buffer, sizeof buffer) <= 0 || buffer[0] == '\0') return fallback;
  return buffer[0];
}

int LocaleNumber(LCID locale, LCTYPE item, int fallback) {
  std::string text = LocaleText(locale, item, std::to_string(fallback));
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return fallback;
  return static_cast<int>(value);
}

std::string LocaleName(LCID locale, LCTYPE item, unsigned defaultId) {
  std::string text = LocaleText(locale, item, std::string());
  return text.empty() ? LoadResString(defaultId) : text;
}

std::bitset<256> SystemLeadBytes() {
  std::bitset<256> lead;
  if (!GetSystemMetrics(SM_DBCSENABLED)) return lead;
  CPINFO info{};
  if (!GetCPInfo(CP_ACP, &info)) return lead;
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
    for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1] && b < 256; ++b) lead.set(b);
  return lead;
}

}  // namespace

TFormatSettings ReadFormatSettings(unsigned long localeId) {
  LCID locale = static_cast<LCID>(localeId);
  TFormatSettings s;
  s.LeadBytes = SystemLeadBytes();
  for (unsigned i = 0; i < 12; ++i) {
    s.ShortMonthNames[i] = LocaleName(locale, LOCALE_SABBREVMONTHNAME1 + i, SShortMonthName1 + i);
    s.LongMonthNames[i] = LocaleName(locale, LOCALE_SMONTHNAME1 + i, SLongMonthName1 + i);
  }
  for (unsigned i = 0; i < 7; ++i) {
    // The locale numbers its days from Monday; ours start on Sunday.
    unsigned localeDay = (i + 6) % 7;
    s.ShortDayNames[i] = LocaleName(locale, LOCALE_SABBREVDAYNAME1 + localeDay, SShortDayName1 + i);
    s.LongDayNames[i] = LocaleName(locale, LOCALE_SDAYNAME1 + localeDay, SLongDayName1 + i);
  }
  WORD language = PRIMARYLANGID(LANGIDFROMLCID(locale));
  bool eastAsian = language == LANG_CHINESE || language == LANG_JAPANESE || language == LANG_KOREAN;
  int calendar = LocaleNumber(locale, LOCALE_ICALENDARTYPE, 1);
  s.DateSeparator = LocaleChar(locale, LOCALE_SDATE, '/');
  s.ShortDateFormat =
      TranslateDateFormat(LocaleText(locale, LOCALE_SSHORTDATE, "m/d/yy"), calendar, eastAsian, s.LeadBytes);
  s.LongDateFormat =
      TranslateDateFormat(LocaleText(locale, LOCALE_SLONGDATE, "mmmm d, yyyy"), calendar, eastAsian, s.LeadBytes);
  s.TimeSeparator = LocaleChar(locale, LOCALE_STIME, ':');
  s.TimeAMString = LocaleText(locale, LOCALE_S1159, "am");
  s.TimePMString = LocaleText(locale, LOCALE_S2359, "pm");
  BuildTimeFormats(LocaleNumber(locale, LOCALE_ITLZERO, 0), LocaleNumber(locale, LOCALE_ITIME, 0),
                   LocaleNumber(locale, LOCALE_ITIMEMARKPOSN, 0), s.ShortTimeFormat, s.LongTimeFormat);
  if (language == LANG_JAPANESE) {
    s.EraLocale = elJapanese;
  } else if (language == LANG_CHINESE && SUBLANGID(LANGIDFROMLCID(locale)) == SUBLANG_CHINESE_TRADITIONAL) {
    s.EraLocale = elTraditionalChinese;
  }
  s.CalendarDate = [locale](int year, int month, int day, const char* picture) {
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    char buffer[256];
    if (GetDateFormatA(locale, DATE_USE_ALT_CALENDAR, &date, picture, buffer, sizeof buffer) <= 0) return std::string();
    return std::string(buffer);
  };
  return s;
}

void GetFormatSettings() { FormatSettings = ReadFormatSettings(GetThreadLocale()); }

void RefreshFormatSettings() {
  SetThreadLocale(GetUserDefaultLCID());
  GetFormatSettings();
}
