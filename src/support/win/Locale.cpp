#include "support/win/Locale.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "support/win/SystemEras.h"

namespace vo::win {
namespace {

constexpr int kTextBufferSize = 256;

// Empty when the locale has no such text or the call fails.
std::string LocaleText(LCID locale, LCTYPE type) {
  char buffer[kTextBufferSize] = {};
  if (GetLocaleInfoA(locale, type, buffer, kTextBufferSize) <= 0) return {};
  return std::string(buffer, strnlen(buffer, kTextBufferSize));
}

std::string DateText(const SYSTEMTIME& date, const char* picture) {
  char buffer[kTextBufferSize] = {};
  if (GetDateFormatA(GetThreadLocale(), DATE_USE_ALT_CALENDAR, &date, picture, buffer,
                     kTextBufferSize) <= 0) {
    return {};
  }
  return std::string(buffer, strnlen(buffer, kTextBufferSize));
}

bool IsJapanese(LCID locale) { return PRIMARYLANGID(LANGIDFROMLCID(locale)) == LANG_JAPANESE; }

// Asked at each call, so a locale change on WM_WININICHANGE takes effect. Japanese comes
// from the system's era list merged with our table: older Windows and Wine do not know the
// current era, and an era the system learns of shows without a new program.
EraText PlatformEra(const CivilDate& date, int yearDigits) {
  if (IsJapanese(GetThreadLocale())) return JapaneseEraText(SystemJapaneseEras(), date, yearDigits);
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  st.wDayOfWeek = static_cast<WORD>(date.dayOfWeek - 1);
  // Windows reads "g" and "gg" alike as the era name; Wine repeats the name once per
  // g ("ADAD" for "gg"), so the single g is the picture both agree on.
  return {DateText(st, "g"), DateText(st, yearDigits > 2 ? "yyyy" : "yy"), {}};
}

void LoadSeparatorsAndLanguage(LCID locale, FormatSettings& settings) {
  settings.dateSeparator = SeparatorFrom(LocaleText(locale, LOCALE_SDATE), '/');
  settings.timeSeparator = SeparatorFrom(LocaleText(locale, LOCALE_STIME), ':');
  if (locale == 0) {
    settings.primaryLanguage = LANG_ENGLISH;
    settings.subLanguage = SUBLANG_ENGLISH_US;
  } else {
    settings.primaryLanguage = PRIMARYLANGID(LANGIDFROMLCID(locale));
    settings.subLanguage = SUBLANGID(LANGIDFROMLCID(locale));
  }
}

// The locale numbers its days from Monday (1) to Sunday (7); ours start at Sunday.
LCTYPE DayNameType(LCTYPE mondayType, int sundayFirstIndex) {
  return mondayType + static_cast<LCTYPE>((sundayFirstIndex + 6) % 7);
}

}  // namespace

FormatSettings LoadFormatSettings() {
  const LCID locale = GetThreadLocale();
  // Empty names stay empty: the formatter shows the English default for them.
  FormatSettings settings;
  for (int i = 0; i < 12; ++i) {
    settings.longMonthNames[i] = LocaleText(locale, LOCALE_SMONTHNAME1 + i);
    settings.shortMonthNames[i] = LocaleText(locale, LOCALE_SABBREVMONTHNAME1 + i);
  }
  for (int i = 0; i < 7; ++i) {
    settings.shortDayNames[i] = LocaleText(locale, DayNameType(LOCALE_SABBREVDAYNAME1, i));
    settings.longDayNames[i] = LocaleText(locale, DayNameType(LOCALE_SDAYNAME1, i));
  }
  LoadSeparatorsAndLanguage(locale, settings);
  settings.era = PlatformEra;
  return settings;
}

void ReloadSeparators(FormatSettings& settings) {
  SetThreadLocale(GetUserDefaultLCID());
  LoadSeparatorsAndLanguage(GetThreadLocale(), settings);
}

DateTime CurrentStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return EncodeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                        now.wMilliseconds);
}

}  // namespace vo::win
