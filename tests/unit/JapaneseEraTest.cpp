#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setting/TimeSignal.h"
#include "support/JapaneseEra.h"

namespace vo {
namespace {

std::vector<std::string> Names(const JapaneseEraList& eras) {
  std::vector<std::string> names;
  for (const JapaneseEra& era : eras) names.push_back(era.name);
  return names;
}

EraText On(const JapaneseEraList& eras, int year, int month, int day) {
  return JapaneseEraText(eras, SplitDate(EncodeDateTime(year, month, day)), 2);
}

TEST(MergeJapaneseEras, SkipsMalformedValuesBesideValidOnes) {
  const SystemEraValue values[] = {
      {"2030 01 01", "新元_新_Shingen_S"},
      {"2031 02 29", "閏_閏_Uru_U"},                   // no such day
      {"2031 13 01", "月_月_Tsuki_T"},                 // no such month
      {"2031 1 01", "短_短_Mijika_M"},                 // not four-two-two digits
      {"-031 01 01", "負_負_Fu_F"},                    // not digits
      {"2031 03 01", "三_三_San"},                     // a field missing
      {"2031 04 01", "_空_Kara_K"},                    // no name
      {"2031 05 01", "長長長長長長長長長_長_Naga_N"},  // too long for an era name
      {"2031 06 01", "二字_二字_Niji_N"},              // an initial of two characters
      {"2031 07 01", ""},                              // unconvertible text arrives empty
      {"2031 08 01", "名\x01_名_Ctl_C"},               // a control byte
      // The trail byte of ダ is '_': split there, the value would have five fields.
      {"2032 01 01", "ダ_ダ_Da_D"},
  };
  const JapaneseEraList merged = MergeJapaneseEras(values);
  EXPECT_EQ(Names(merged),
            (std::vector<std::string>{"明治", "大正", "昭和", "平成", "令和", "新元", "ダ"}));
  EXPECT_EQ(merged[5].initial, "新");
  EXPECT_EQ(merged[6].initial, "ダ");
}

TEST(MergeJapaneseEras, SystemEraOnTheSameDayWinsAndTheTableFillsAnOlderList) {
  // A list from before Reiwa that starts Meiji at new year and spells Heisei's initial
  // in Latin letters.
  const SystemEraValue values[] = {{"1989 01 08", "平成_H_Heisei_H"},
                                   {"1868 01 01", "明治_明_Meiji_M"}};
  const JapaneseEraList merged = MergeJapaneseEras(values);
  EXPECT_EQ(Names(merged),
            (std::vector<std::string>{"明治", "明治", "大正", "昭和", "平成", "令和"}));
  EXPECT_EQ(On(merged, 1868, 5, 1).name, "明治");  // before the table's Meiji
  EXPECT_EQ(On(merged, 1868, 5, 1).year, "01");
  EXPECT_EQ(On(merged, 2000, 1, 1).initial, "H");
  EXPECT_EQ(On(merged, 2019, 5, 1).name, "令和");
  EXPECT_EQ(MergeJapaneseEras({}).size(), BuiltInJapaneseEras().size());
}

TEST(MergeJapaneseEras, LookupAtTheBoundariesOfAnAddedEra) {
  const SystemEraValue values[] = {{"2026 10 01", "新元_新_Shingen_S"}};
  const JapaneseEraList eras = MergeJapaneseEras(values);
  const struct {
    int year, month, day;
    const char* name;
    const char* initial;
    const char* year2;
  } cases[] = {
      {2026, 9, 30, "令和", "令", "08"},
      {2026, 10, 1, "新元", "新", "01"},
      {2027, 1, 1, "新元", "新", "02"},
      {1868, 10, 22, "", "", ""},
  };
  for (const auto& c : cases) {
    const EraText text = On(eras, c.year, c.month, c.day);
    EXPECT_EQ(text.name, c.name) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(text.initial, c.initial) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(text.year, c.year2) << c.year << "-" << c.month << "-" << c.day;
  }

  FormatSettings settings = DefaultFormatSettings();
  settings.primaryLanguage = 0x11;
  settings.era = [&eras](const CivilDate& date, int digits) {
    return JapaneseEraText(eras, date, digits);
  };
  EXPECT_EQ(MakeTelop("%G|%g|%e", EncodeDateTime(2026, 12, 10, 9), settings), "新元|新|1");
}

}  // namespace
}  // namespace vo
