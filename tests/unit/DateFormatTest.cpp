#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/DateFormat.h"
#include "support/DateTime.h"
#include "support/JapaneseEra.h"

namespace vo {
namespace {

// 2026-03-05 (Thursday) 09:07:00.
const DateTime kExample = EncodeDateTime(2026, 3, 5, 9, 7);

FormatSettings JapaneseSettings() {
  FormatSettings settings = DefaultFormatSettings();
  const char* const months[] = {"1月", "2月", "3月", "4月",  "5月",  "6月",
                                "7月", "8月", "9月", "10月", "11月", "12月"};
  const char* const days[] = {"日", "月", "火", "水", "木", "金", "土"};
  for (int i = 0; i < 12; ++i) settings.longMonthNames[i] = settings.shortMonthNames[i] = months[i];
  for (int i = 0; i < 7; ++i) settings.shortDayNames[i] = days[i];
  settings.longDayNames[4] = "木曜日";
  settings.primaryLanguage = 0x11;
  settings.subLanguage = 1;
  settings.era = JapaneseEraSource();
  return settings;
}

struct PatternCase {
  const char* pattern;
  const char* expected;
};

TEST(FormatStamp, JapaneseLocaleOnTheWorkedExample) {
  const FormatSettings settings = JapaneseSettings();
  const PatternCase cases[] = {
      {"hh:nn", "09:07"}, {"yy/mm/dd", "26/03/05"},
      {"yyyy", "2026"},   {"yy", "26"},
      {"mmmm", "3月"},    {"mm", "03"},
      {"dd", "05"},       {"hh", "09"},
      {"nn", "07"},       {"ddd", "木"},
      {"ggg", "令和"},    {"g", "令"},
      {"e", "8"},         {"ee", "08"},
      {"eee", "0008"},    {"gg", "令和"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatStamp(c.pattern, kExample, settings), c.expected) << c.pattern;
}

TEST(FormatStamp, LetterRuns) {
  const FormatSettings settings = DefaultFormatSettings();
  const DateTime value = EncodeDateTime(2026, 3, 5, 9, 7, 4, 56);
  const PatternCase cases[] = {
      {"YY/MM/DD", "26/03/05"},     // letters match in either case
      {"HHH:NNN:SSS", "09:07:04"},  // never more than two digits
      {"h:n:s", "9:7:4"},
      {"d/m/y", "5/3/26"},
      {"yyy", "2026"},
      {"yyyyyy", "2026"},
      {"mmmm ddd", "March Thu"},
      {"mmm dddd", "Mar Thursday"},
      {"z zzz", "56 056"},
      {"hh:mm", "09:07"},    // m straight after h: minutes
      {"h:m", "9:7"},        // separators do not break that
      {"hh'h'mm", "09h07"},  // nor quoted text
      {"hhxmm", "09x03"},    // another letter does: month
      {"nnmm", "0703"},      // n is not h
      {"mm hh", "03 09"},
      {"xQ bW", "xQ bW"},  // letters without meaning, in their own case
      {"\"a:b/c\"d", "a:b/c5"},
      {"'open", "open"},  // an unclosed quote runs to the end
      {"''", ""},
      {"[hh]-(nn) 100%", "[09]-(07) 100%"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatStamp(c.pattern, value, settings), c.expected) << c.pattern;
}

TEST(FormatStamp, MonthAndTwentyFourHourClock) {
  const FormatSettings settings = DefaultFormatSettings();
  EXPECT_EQ(FormatStamp("mm", EncodeDateTime(2026, 12, 31, 23, 59), settings), "12");
  EXPECT_EQ(FormatStamp("hh:nn", EncodeDateTime(2026, 3, 5, 0, 5), settings), "00:05");
  EXPECT_EQ(FormatStamp("hh:nn", EncodeDateTime(2026, 3, 5, 23, 59), settings), "23:59");
  EXPECT_EQ(FormatStamp("hh:nn", EncodeDateTime(2026, 3, 5, 12, 0), settings), "12:00");
}

TEST(FormatStamp, Separators) {
  FormatSettings settings = DefaultFormatSettings();
  settings.dateSeparator = '.';
  settings.timeSeparator = '.';
  EXPECT_EQ(FormatStamp("yy/mm/dd hh:nn", kExample, settings), "26.03.05 09.07");
  settings.dateSeparator = '\0';  // never written into the text
  EXPECT_EQ(FormatStamp("yy/mm", kExample, settings), "2603");

  const struct {
    const char* localeText;
    char expected;
  } cases[] = {{"/", '/'}, {".", '.'}, {"-/", '-'}, {"", '#'}, {"／", '#'}};
  for (const auto& c : cases)
    EXPECT_EQ(SeparatorFrom(c.localeText, '#'), c.expected) << c.localeText;
}

TEST(FormatStamp, EmptyLocaleNamesFallBackToEnglish) {
  FormatSettings settings = JapaneseSettings();
  settings.longMonthNames[2].clear();
  settings.shortDayNames[4].clear();
  EXPECT_EQ(FormatStamp("mmmm ddd", kExample, settings), "March Thu");
  EXPECT_EQ(FormatStamp("mmmm ddd", kExample, FormatSettings{}), "March Thu");
}

TEST(FormatStamp, DoubleByteCharactersAreCopiedWhole) {
  const FormatSettings settings = DefaultFormatSettings();
  const PatternCase cases[] = {
      {"yyyy年mm月dd日", "2026年03月05日"},
      {"\x83\x68", "\x83\x68"},  // trail byte 'h' is no hour
      {"\x83\x68\x83\x6e", "\x83\x68\x83\x6e"},
      {"h\x83\x68m",
       "9\x83\x68"
       "3"},  // and it forgets the h: month
      {"hh時mm分", "09時03分"},
      {"'時:'mm", "時:03"},
      {"dd\x83", "05\x83"},  // a lead byte at the very end stays as it is
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatStamp(c.pattern, kExample, settings), c.expected) << c.pattern;
}

TEST(FormatStamp, OutputIsCappedWithoutSplittingACharacter) {
  const FormatSettings settings = DefaultFormatSettings();
  EXPECT_EQ(FormatStamp(std::string(300, 'x'), kExample, settings), std::string(256, 'x'));
  EXPECT_EQ(FormatStamp(std::string(300, '/'), kExample, settings), std::string(256, '/'));
  std::string longNames;
  for (int i = 0; i < 60; ++i) longNames += "mmmm ";
  EXPECT_EQ(FormatStamp(longNames, kExample, settings).size(), 256u);

  std::string kanji = "a";
  for (int i = 0; i < 150; ++i) kanji += "時";
  const std::string capped = FormatStamp(kanji, kExample, settings);
  EXPECT_EQ(capped, kanji.substr(0, 255));  // 'a' and 127 whole characters
}

TEST(FormatStamp, EraNameShortening) {
  const struct {
    int primaryLanguage;
    int subLanguage;
    const char* name;
    const char* shortName;
  } cases[] = {
      {0x11, 1, "令和", "令"},           {0x11, 1, "Reiwa", "R"},         {0x11, 1, "", ""},
      {0x04, 1, "中華民国", "民国"},     {0x04, 1, "民国", "民国"},  // not four characters: whole
      {0x04, 2, "中華民国", "中華民国"},                             // simplified: whole
      {0x09, 1, "A.D.", "A.D."},         {0x07, 1, "n. Chr.", "n. Chr."},
  };
  for (const auto& c : cases) {
    FormatSettings settings = DefaultFormatSettings();
    settings.primaryLanguage = c.primaryLanguage;
    settings.subLanguage = c.subLanguage;
    settings.era = [&c](const CivilDate&, int) { return EraText{c.name, "08", {}}; };
    EXPECT_EQ(FormatStamp("g", kExample, settings), c.shortName) << c.name;
    EXPECT_EQ(FormatStamp("ggg", kExample, settings), c.name) << c.name;
  }
}

TEST(FormatStamp, EraYear) {
  FormatSettings settings = DefaultFormatSettings();
  EXPECT_EQ(FormatStamp("ggg e", kExample, settings), " ");  // no era source: empty texts

  int digitsAsked = 0;
  std::string year;
  settings.era = [&](const CivilDate&, int digits) {
    digitsAsked = digits;
    return EraText{"", year, {}};
  };
  const struct {
    const char* pattern;
    const char* year;
    int digits;
    const char* expected;
  } cases[] = {
      {"e", "08", 2, "8"}, {"e", "12", 2, "12"},  {"e", "00", 2, "0"},
      {"e", "", 2, ""},    {"ee", "08", 2, "08"}, {"eeee", "0008", 4, "0008"},
  };
  for (const auto& c : cases) {
    year = c.year;
    EXPECT_EQ(FormatStamp(c.pattern, kExample, settings), c.expected) << c.pattern << c.year;
    EXPECT_EQ(digitsAsked, c.digits) << c.pattern;
  }

  settings = JapaneseSettings();
  EXPECT_EQ(FormatStamp("g e ggg", EncodeDateTime(2019, 5, 1), settings), "令 1 令和");
  EXPECT_EQ(FormatStamp("ggge", EncodeDateTime(1989, 1, 7), settings), "昭和64");
}

TEST(JapaneseEra, Boundaries) {
  const struct {
    int year, month, day;
    const char* name;
    const char* year2;
    const char* year4;
  } cases[] = {
      {1868, 10, 22, "", "", ""},           {1868, 10, 23, "明治", "01", "0001"},
      {1912, 7, 29, "明治", "45", "0045"},  {1912, 7, 30, "大正", "01", "0001"},
      {1926, 12, 24, "大正", "15", "0015"}, {1926, 12, 25, "昭和", "01", "0001"},
      {1989, 1, 7, "昭和", "64", "0064"},   {1989, 1, 8, "平成", "01", "0001"},
      {2019, 4, 30, "平成", "31", "0031"},  {2019, 5, 1, "令和", "01", "0001"},
      {2026, 3, 5, "令和", "08", "0008"},   {2150, 1, 1, "令和", "132", "0132"},
  };
  for (const auto& c : cases) {
    const CivilDate date = SplitDate(EncodeDateTime(c.year, c.month, c.day));
    const EraText two = JapaneseEraText(date, 2);
    const EraText four = JapaneseEraText(date, 4);
    EXPECT_EQ(two.name, c.name) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(two.year, c.year2) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(four.year, c.year4) << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(SplitDate, CalendarAndDayOfWeek) {
  const struct {
    DateTime value;
    int year, month, day, dayOfWeek;
  } cases[] = {
      {0, 1899, 12, 30, 7},   {1, 1899, 12, 31, 1},    {2, 1900, 1, 1, 2},
      {61, 1900, 3, 1, 5},    {36585, 2000, 2, 29, 3}, {46086.75, 2026, 3, 5, 5},
      {46087, 2026, 3, 6, 6}, {-693593, 1, 1, 1, 2},   {2958465.5, 9999, 12, 31, 6},
  };
  for (const auto& c : cases) {
    const CivilDate date = SplitDate(c.value);
    EXPECT_EQ(date.year, c.year) << c.value;
    EXPECT_EQ(date.month, c.month) << c.value;
    EXPECT_EQ(date.day, c.day) << c.value;
    EXPECT_EQ(date.dayOfWeek, c.dayOfWeek) << c.value;
  }
  // A week of short day names, Sunday 2026-03-01 first.
  std::string week;
  for (int day = 1; day <= 7; ++day) {
    week += FormatStamp("ddd ", EncodeDateTime(2026, 3, day), DefaultFormatSettings());
  }
  EXPECT_EQ(week, "Sun Mon Tue Wed Thu Fri Sat ");
}

TEST(SplitTime, RoundsToTheNearestMillisecond) {
  // Every split must give back the exact clock reading the value was built from.
  for (int ms = 0; ms < 86'400'000; ms += 86'400'000 / 5003) {
    const DateTime value = EncodeDateTime(2026, 3, 5, 0, 0, 0, ms);
    const TimeParts parts = SplitTime(value);
    const int back =
        ((parts.hour * 60 + parts.minute) * 60 + parts.second) * 1000 + parts.millisecond;
    ASSERT_EQ(back, ms);
    ASSERT_EQ(SplitDate(value).day, 5) << ms;
  }
  const TimeParts noon = SplitTime(0.5);
  EXPECT_EQ(noon.hour, 12);
  EXPECT_EQ(noon.minute, 0);
}

TEST(SplitTime, NearMidnightStaysConsistentWithTheDate) {
  const struct {
    DateTime value;
    int day, hour, minute, second, millisecond;
  } cases[] = {
      {0.99999999, 30, 23, 59, 59, 999}, {0.999999995, 31, 0, 0, 0, 0},
      {0.9999999999, 31, 0, 0, 0, 0},    {46086.99999999, 5, 23, 59, 59, 999},
      {46086.9999999999, 6, 0, 0, 0, 0}, {std::nextafter(46087.0, 0.0), 6, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const TimeParts t = SplitTime(c.value);
    EXPECT_EQ(SplitDate(c.value).day, c.day) << c.value;
    EXPECT_EQ(t.hour, c.hour) << c.value;
    EXPECT_EQ(t.minute, c.minute) << c.value;
    EXPECT_EQ(t.second, c.second) << c.value;
    EXPECT_EQ(t.millisecond, c.millisecond) << c.value;
  }
}

TEST(DateTime, OutOfRangeValuesAreHeldAtTheCalendarEdges) {
  const FormatSettings settings = DefaultFormatSettings();
  const char* pattern = "yyyy/mm/dd hh:nn:ss.zzz";
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatStamp(pattern, std::nan(""), settings), "1899/12/30 00:00:00.000");
  EXPECT_EQ(FormatStamp(pattern, inf, settings), "9999/12/31 23:59:59.999");
  EXPECT_EQ(FormatStamp(pattern, 1e300, settings), "9999/12/31 23:59:59.999");
  EXPECT_EQ(FormatStamp(pattern, -inf, settings), "0001/01/01 00:00:00.000");
}

TEST(DateTime, EncodeCarriesOverflowingFields) {
  EXPECT_EQ(EncodeDateTime(2026, 13, 1), EncodeDateTime(2027, 1, 1));
  EXPECT_EQ(EncodeDateTime(2026, 0, 1), EncodeDateTime(2025, 12, 1));
  EXPECT_EQ(EncodeDateTime(2026, 3, 0), EncodeDateTime(2026, 2, 28));
  EXPECT_EQ(EncodeDateTime(2024, 3, 0), EncodeDateTime(2024, 2, 29));
  EXPECT_EQ(EncodeDateTime(1899, 12, 30, 12), 0.5);
}

}  // namespace
}  // namespace vo
