#include "support/DateFormat.h"

#include <algorithm>
#include <charconv>

#include "support/ShiftJis.h"

namespace vo {
namespace {

constexpr std::array<std::string_view, 12> kEnglishLongMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> kEnglishShortMonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kEnglishShortDays = {"Sun", "Mon", "Tue", "Wed",
                                                               "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> kEnglishLongDays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

constexpr int kLangChinese = 0x04;
constexpr int kLangJapanese = 0x11;
constexpr int kSubLangChineseTraditional = 0x01;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Byte offset of the character with the given index, or text.size() past the end.
std::size_t OffsetOfChar(std::string_view text, std::size_t index) {
  std::size_t pos = 0;
  for (; pos < text.size() && index > 0; --index) pos += ShiftJisCharLength(text, pos);
  return pos;
}

std::size_t CharCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += ShiftJisCharLength(text, pos)) ++count;
  return count;
}

// "g": Japanese keeps the first character (the era's initial), traditional Chinese the
// last two of a four-character name; other languages show the name whole.
std::string_view ShortEraName(std::string_view name, int primaryLanguage, int subLanguage) {
  if (primaryLanguage == kLangJapanese) return name.substr(0, OffsetOfChar(name, 1));
  if (primaryLanguage == kLangChinese && subLanguage == kSubLangChineseTraditional &&
      CharCount(name) == 4) {
    return name.substr(OffsetOfChar(name, 2));
  }
  return name;
}

class StampWriter {
 public:
  StampWriter(DateTime value, const FormatSettings& settings)
      : time_(SplitTime(value)), date_(SplitDate(value)), settings_(settings) {}

  std::string Format(std::string_view pattern) {
    char lastLetter = 0;
    std::size_t pos = 0;
    while (pos < pattern.size() && out_.size() < kMaxStampLength) {
      const char c = pattern[pos];
      if (ShiftJisCharLength(pattern, pos) == 2) {
        // Copied whole, so a trail byte that looks like a letter is never a token.
        out_.append(pattern.substr(pos, 2));
        lastLetter = 0;
        pos += 2;
      } else if (IsAsciiLetter(c)) {
        const std::size_t end = std::min(pattern.find_first_not_of(c, pos), pattern.size());
        const char letter = ToLowerAscii(c);
        AppendToken(pattern.substr(pos, end - pos), letter, lastLetter);
        lastLetter = letter;
        pos = end;
      } else if (c == '\'' || c == '"') {
        const std::size_t close = std::min(pattern.find(c, pos + 1), pattern.size());
        out_.append(pattern.substr(pos + 1, close - pos - 1));
        pos = close + 1;
      } else {
        if (c == '/') {
          AppendSeparator(settings_.dateSeparator);
        } else if (c == ':') {
          AppendSeparator(settings_.timeSeparator);
        } else {
          out_ += c;
        }
        ++pos;
      }
    }
    TrimToCap();
    return std::move(out_);
  }

 private:
  void AppendToken(std::string_view run, char letter, char lastLetter) {
    const int count = static_cast<int>(std::min<std::size_t>(run.size(), 8));
    switch (letter) {
      case 'y':
        if (count <= 2) {
          AppendNumber(date_.year % 100, 2);
        } else {
          AppendNumber(date_.year, 4);
        }
        break;
      case 'm':
        if (lastLetter == 'h') {
          AppendNumber(time_.minute, std::min(count, 2));
        } else {
          AppendMonth(count);
        }
        break;
      case 'd':
        AppendDay(count);
        break;
      case 'h':
        AppendNumber(time_.hour, std::min(count, 2));
        break;
      case 'n':
        AppendNumber(time_.minute, std::min(count, 2));
        break;
      case 's':
        AppendNumber(time_.second, std::min(count, 2));
        break;
      case 'z':
        AppendNumber(time_.millisecond, count == 1 ? 1 : 3);
        break;
      case 'g':
        AppendEraName(count);
        break;
      case 'e':
        AppendEraYear(count);
        break;
      default:
        out_.append(run);  // a letter with no meaning, in its own case
        break;
    }
  }

  void AppendMonth(int count) {
    AppendNumberOrName(count, date_.month, date_.month - 1,
                       {settings_.shortMonthNames.data(), kEnglishShortMonths.data()},
                       {settings_.longMonthNames.data(), kEnglishLongMonths.data()});
  }

  // "d" and "dd" the day of the month; "ddd" and "dddd" the day of the week.
  void AppendDay(int count) {
    AppendNumberOrName(count, date_.day, date_.dayOfWeek - 1,
                       {settings_.shortDayNames.data(), kEnglishShortDays.data()},
                       {settings_.longDayNames.data(), kEnglishLongDays.data()});
  }

  // One or two letters the number, three the short name, four or more the long one.
  struct Names {
    const std::string* local;         // the locale's, empty where it has none
    const std::string_view* english;  // the fallback
  };
  void AppendNumberOrName(int count, int number, int index, Names shortNames, Names longNames) {
    if (count <= 2) {
      AppendNumber(number, count);
      return;
    }
    const Names names = count == 3 ? shortNames : longNames;
    const std::string& local = names.local[index];
    out_.append(local.empty() ? names.english[index] : std::string_view(local));
  }

  void AppendEraName(int count) {
    const EraText era = Era(2);
    if (count == 1 && !era.initial.empty()) {
      out_.append(era.initial);
    } else if (count == 1) {
      out_.append(ShortEraName(era.name, settings_.primaryLanguage, settings_.subLanguage));
    } else {
      out_.append(era.name);
    }
  }

  void AppendEraYear(int count) {
    const EraText era = Era(count > 2 ? 4 : 2);
    std::string_view year = era.year;
    if (count == 1 && !year.empty() && year.front() == '0') year.remove_prefix(1);
    out_.append(year);
  }

  EraText Era(int yearDigits) const {
    return settings_.era ? settings_.era(date_, yearDigits) : EraText{};
  }

  void AppendSeparator(char separator) {
    if (separator != '\0') out_ += separator;
  }

  void AppendNumber(int value, int minDigits) {
    char digits[16];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<int>(end - digits);
    if (length < minDigits) out_.append(static_cast<std::size_t>(minDigits - length), '0');
    out_.append(digits, end);
  }

  // Cuts at the cap, stepping back over a double-byte character the cap would split.
  void TrimToCap() {
    if (out_.size() <= kMaxStampLength) return;
    std::size_t pos = 0;
    while (pos + ShiftJisCharLength(out_, pos) <= kMaxStampLength) {
      pos += ShiftJisCharLength(out_, pos);
    }
    out_.resize(pos);
  }

  TimeParts time_;
  CivilDate date_;
  const FormatSettings& settings_;
  std::string out_;
};

template <std::size_t N>
std::array<std::string, N> ToStrings(const std::array<std::string_view, N>& names) {
  std::array<std::string, N> strings;
  std::copy(names.begin(), names.end(), strings.begin());
  return strings;
}

}  // namespace

char SeparatorFrom(std::string_view localeText, char fallback) {
  if (localeText.empty() || localeText.front() == '\0' || IsShiftJisLeadByte(localeText.front())) {
    return fallback;
  }
  return localeText.front();
}

FormatSettings DefaultFormatSettings() {
  FormatSettings settings;
  settings.longMonthNames = ToStrings(kEnglishLongMonths);
  settings.shortMonthNames = ToStrings(kEnglishShortMonths);
  settings.shortDayNames = ToStrings(kEnglishShortDays);
  settings.longDayNames = ToStrings(kEnglishLongDays);
  return settings;
}

std::string FormatStamp(std::string_view pattern, DateTime value, const FormatSettings& settings) {
  return StampWriter(value, settings).Format(pattern);
}

}  // namespace vo
