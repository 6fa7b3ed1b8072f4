#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/JapaneseEra.h"

namespace vo {
namespace {

std::vector<std::string> Names(const JapaneseEraList& eras) {
  std::vector<std::string> names;
  for (const JapaneseEra& era : eras)
    names.push_back(std::string(era.name) + "/" + std::string(era.initial));
  return names;
}

std::string On(const JapaneseEraList& eras, int year, int month, int day) {
  const EraText era = JapaneseEraText(eras, SplitDate(EncodeDateTime(year, month, day)), 2);
  return era.name + "|" + era.initial + "|" + era.year;
}

TEST(MergeJapaneseEras, SkipsMalformedValuesBesideValidOnes) {
  const SystemEraValue values[] = {
      {"2031 02 29", "閏_閏_Uru_U"},                   // no such day
      {"2031 13 01", "月_月_Tsuki_T"},                 // no such month
      {"2031 1 01", "短_短_Mijika_M"},                 // not "YYYY MM DD"
      {"-031 01 01", "負_負_Fu_F"},                    // not digits
      {"2031 03 01", "三_三_San"},                     // a field missing
      {"2031 04 01", "_空_Kara_K"},                    // no name
      {"2031 05 01", "長長長長長長長長長_長_Naga_N"},  // too long for an era name
      {"2031 06 01", "二字_二字_Niji_N"},              // an initial of two characters
      {"2031 07 01", ""},                              // unconvertible text arrives empty
      {"2031 08 01", "名\x01_名_Ctl_C"},               // a control byte
      {"2030 01 01", "新元_新_Shingen_S"},
      // The trail byte of ダ is '_': split there, the value would have five fields.
      {"2032 01 01", "ダ_ダ_Da_D"},
  };
  EXPECT_EQ(Names(MergeJapaneseEras(values)),
            (std::vector<std::string>{"新元/新", "ダ/ダ", "明治/明", "大正/大", "昭和/昭",
                                      "平成/平", "令和/令"}));
}

TEST(MergeJapaneseEras, SameDayWinsTableFillsInAndLookupAtBoundaries) {
  // A list from before Reiwa, with Meiji from new year and Heisei's initial in Latin letters.
  const SystemEraValue old[] = {{"1989 01 08", "平成_H_Heisei_H"}, {"1868 01 01", "明治_明_M_M"}};
  const JapaneseEraList merged = MergeJapaneseEras(old);
  EXPECT_EQ(Names(merged), (std::vector<std::string>{"平成/H", "明治/明", "明治/明", "大正/大",
                                                     "昭和/昭", "令和/令"}));
  EXPECT_EQ(On(merged, 1868, 5, 1), "明治|明|01");  // before the table's Meiji
  EXPECT_EQ(On(merged, 2019, 5, 1), "令和|令|01");

  const SystemEraValue added[] = {{"2026 10 01", "新元_新_Shingen_S"}};
  const JapaneseEraList eras = MergeJapaneseEras(added);
  EXPECT_EQ(On(eras, 2026, 9, 30), "令和|令|08");
  EXPECT_EQ(On(eras, 2026, 10, 1), "新元|新|01");
}

}  // namespace
}  // namespace vo
