// Pattern formatting of date-time values ("yy/mm/dd", "hh:nn", "ggg", ...).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "support/DateTime.h"

namespace vo {

// Formatting output is capped; anything beyond is dropped.
inline constexpr std::size_t kMaxStampLength = 256;

// Era name and era year as the platform's alternate calendar gives them, in the ANSI
// code page. yearDigits is 2 for "e" patterns, 4 for longer runs.
struct EraText {
  std::string name;
  std::string year;
  std::string initial;  // what "g" shows; empty: shortened from the name by the language
};
using EraSource = std::function<EraText(const CivilDate& date, int yearDigits)>;

// Locale texts; an empty name stands for the English default.
struct FormatSettings {
  std::array<std::string, 12> longMonthNames;   // January first
  std::array<std::string, 12> shortMonthNames;  // "mmm"
  std::array<std::string, 7> shortDayNames;     // Sunday first
  std::array<std::string, 7> longDayNames;      // "dddd"
  char dateSeparator = '/';
  char timeSeparator = ':';
  int primaryLanguage = 9;  // LANG_ENGLISH
  int subLanguage = 1;
  EraSource era;  // null: no era texts (empty)
};

// The one-character separator a formatter can hold, taken from a locale's separator
// text: its first byte, or the fallback when the text is empty or starts with a
// double-byte character (half a character would corrupt the output).
char SeparatorFrom(std::string_view localeText, char fallback);

// English month and day names, "/" and ":", English language, no era source.
FormatSettings DefaultFormatSettings();

// Formats one value by one pattern. Letter runs, case-insensitive: y/yy year mod 100,
// yyy+ four-digit year; m/mm month (minutes when the letter before was h), mmm short
// and mmmm+ long month name; d/dd day, ddd short and dddd+ long day name; h, n, s
// (two digits at most), z/zzz milliseconds; g era initial and gg+ full era name; e era
// year without a leading zero, ee/eee+ two/four digits. "/" and ":" give the
// separators, quoted text is copied bare, anything else (a double-byte character
// whole) is copied as it stands. At most kMaxStampLength bytes, never half a character.
std::string FormatStamp(std::string_view pattern, DateTime value, const FormatSettings& settings);

}  // namespace vo
