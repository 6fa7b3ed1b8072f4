#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TelopOracle.h"
#include "setting/TimeSignal.h"
#include "support/JapaneseEra.h"

namespace vo {
namespace {

using oracle::ReferenceTelop;
using oracle::ReplaceToken;

FormatSettings JapaneseSettings() {
  FormatSettings settings = DefaultFormatSettings();
  settings.primaryLanguage = 0x11;
  settings.era = JapaneseEraSource();
  return settings;
}

// Locale texts that begin with the letters of later tokens, so that a '%' typed before
// a token joins with what the token turns into.
FormatSettings JoiningSettings(std::string eraName, std::string eraYear) {
  FormatSettings settings = DefaultFormatSettings();
  settings.longMonthNames.fill("mad");
  settings.longMonthNames[4] = "May";
  settings.longMonthNames[11] = "dMh";
  settings.shortDayNames = {"w", "mon", "hi", "nw", "dd", "wed", "M"};
  settings.era = [eraName, eraYear](const CivilDate&, int) {
    return EraText{eraName, eraYear, {}};
  };
  return settings;
}

const DateTime kSevenDecember = EncodeDateTime(2026, 12, 7, 9, 0);  // a Monday
const DateTime kSevenDecemberLate = EncodeDateTime(2026, 12, 7, 9, 5);

TEST(GetIntervalTest, LastCheckedButtonWins) {
  struct Case {
    bool sel15m, sel30m, sel01h;
    int interval;
  };
  const Case cases[] = {
      {false, false, false, 15}, {true, false, false, 15}, {false, true, false, 30},
      {false, false, true, 60},  {true, true, false, 30},  {true, false, true, 60},
      {false, true, true, 60},   {true, true, true, 60},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetInterval(c.sel15m, c.sel30m, c.sel01h), c.interval)
        << c.sel15m << c.sel30m << c.sel01h;
  }
}

TEST(IsSignalMinuteTest, EachIntervalSignalsOnItsMinutes) {
  struct Case {
    int interval;
    std::vector<int> minutes;
  };
  const Case cases[] = {{15, {0, 15, 30, 45}}, {30, {0, 30}}, {60, {0}}};
  for (const Case& c : cases) {
    std::vector<int> signalled;
    for (int minute = 0; minute < 60; ++minute) {
      if (IsSignalMinute(minute, c.interval)) signalled.push_back(minute);
    }
    EXPECT_EQ(signalled, c.minutes) << "interval " << c.interval;
  }
  EXPECT_FALSE(IsSignalMinute(0, 0));  // a broken interval gives no signal, not a crash
}

TEST(MakeTelopTest, Templates) {
  struct Case {
    const char* name;
    std::string_view telopTemplate;
    std::string expected;
  };
  const Case cases[] = {
      {"default template", kDefaultTelopTemplate, "09時00分です。"},
      {"hour twice", "%h%h", "0909"},
      {"percent before a token", "%%h", "%09"},
      {"percent before no token", "%x%%h%", "%x%09%"},
      {"lone percent", "%", "%"},
      {"double-byte after percent", "%ド%h", "%ド09"},
      {"case matters", "%H%N%D", "%H%N%D"},
      {"empty", "", ""},
      {"no tokens", "時報です", "時報です"},
  };
  const FormatSettings settings = JapaneseSettings();
  for (const Case& c : cases) {
    EXPECT_EQ(MakeTelop(c.telopTemplate, kSevenDecember, settings), c.expected) << c.name;
  }
}

TEST(MakeTelopTest, DefaultTemplateIsTheShiftJisText) {
  EXPECT_EQ(kDefaultTelopTemplate, "%h時%m分です。");
}

TEST(MakeTelopTest, EveryTokenOnce) {
  EXPECT_EQ(MakeTelop("%G|%g|%e|%Y|%y|%M|%m|%d|%h|%n|%w", kSevenDecemberLate, JapaneseSettings()),
            "令和|令|8|2026|26|December|05|07|09|05|Mon");
  // Without an era source the era tokens vanish.
  EXPECT_EQ(MakeTelop("[%G%g%e]%Y", kSevenDecemberLate, DefaultFormatSettings()), "[]2026");
}

// Worked by hand, so that the reference is checked as well as the fast expansion.
TEST(MakeTelopTest, PercentJoinsWithInsertedText) {
  struct Case {
    std::string_view telopTemplate;
    std::string eraName, eraYear;
    std::string expected;
  };
  const Case cases[] = {
      // December is "dMh": "%%M" -> "%dMh" -> the day "07" then "Mh".
      {"%%M", "", "", "07Mh"},
      {"%%%M", "", "", "%07Mh"},
      // An empty era name lets the '%' before it meet the letter after it.
      {"%%GG", "", "", ""},
      {"%%%GGG", "", "", ""},
      {"%%GGx", "", "", "x"},
      // A replacement that starts with its own token's letter swallows each '%' before it.
      {"%%G", "Gx", "", "Gxx"},
      {"%%%G", "Gx", "", "Gxxx"},
      {"a%%%G", "G", "", "aG"},
      // Era year "0M": "e" drops the leading 0, so "%%e" -> "%M" -> the month name.
      {"%%e", "", "0M", "dMh"},
      // Monday is "mon": "%%w" -> "%mon", but "%m" came earlier in the order and stays.
      {"%%w", "", "", "%mon"},
      // A '%' in a locale text is dropped rather than searched again forever.
      {"%G", "%G", "", "G"},
      {"%%G", "x%", "", "%x"},
  };
  for (const Case& c : cases) {
    const FormatSettings settings = JoiningSettings(c.eraName, c.eraYear);
    EXPECT_EQ(ReferenceTelop(c.telopTemplate, kSevenDecemberLate, settings), c.expected)
        << c.telopTemplate << " era " << c.eraName << "/" << c.eraYear;
    EXPECT_EQ(MakeTelop(c.telopTemplate, kSevenDecemberLate, settings), c.expected)
        << c.telopTemplate << " era " << c.eraName << "/" << c.eraYear;
  }
}

std::string RandomText(std::mt19937& rng, std::string_view alphabet, std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text(length(rng), ' ');
  for (char& c : text) c = alphabet[pick(rng)];
  return text;
}

// Heavy on '%' and token letters; also bytes of double-byte characters.
constexpr std::string_view kTemplateAlphabet = "%%%%%%GgeYyMmdhnwGgeMmx \x82\xA0\x83\x68\x8E\x9E";

TEST(MakeTelopTest, MatchesTheReferenceOnRandomTemplates) {
  std::mt19937 rng(20261207);
  const std::vector<std::pair<std::string, std::string>> eras = {
      {"", ""}, {"G", "0e"}, {"gY", "1"}, {"Gg", "0y"}, {"e", "M"}, {"Mx", "0"}, {"%g", "%e"},
  };
  const std::vector<DateTime> moments = {kSevenDecember, kSevenDecemberLate,
                                         EncodeDateTime(2024, 5, 1, 23, 59),
                                         EncodeDateTime(2025, 1, 5, 0, 0)};
  for (const auto& [eraName, eraYear] : eras) {
    FormatSettings settings = JoiningSettings(eraName, eraYear);
    for (DateTime moment : moments) {
      for (int i = 0; i < 400; ++i) {
        const std::string telopTemplate = RandomText(rng, kTemplateAlphabet, 24);
        ASSERT_EQ(MakeTelop(telopTemplate, moment, settings),
                  ReferenceTelop(telopTemplate, moment, settings))
            << "template \"" << telopTemplate << "\" era \"" << eraName << "\"/\"" << eraYear
            << "\"";
      }
    }
  }
}

TEST(ReplaceTokenInOnePassTest, MatchesTheReferenceForAnyReplacement) {
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = RandomText(rng, "%%%%hhx", 16);
    const std::string replacement = RandomText(rng, "hhx%", 3);
    std::string expected = text;
    ReplaceToken(expected, "%h", replacement);
    ASSERT_EQ(ReplaceTokenInOnePass(text, "%h", replacement), expected)
        << "text \"" << text << "\" replacement \"" << replacement << "\"";
  }
}

TEST(ReplaceTokenInOnePassTest, OnlyPercentTokensAreReplaced) {
  for (std::string_view token : {"", "%", "%%", "ab", "%hh"}) {
    EXPECT_EQ(ReplaceTokenInOnePass("%%%hhab", token, "x"), "%%%hhab") << token;
  }
}

TEST(SignalStepTest, Decisions) {
  struct Case {
    const char* name;
    int minute, interval;
    bool useTelop;
    std::string_view telopTemplate;
    bool useWave;
    std::string_view wavePath;
    std::optional<SignalDecision> expected;
  };
  const Case cases[] = {
      {"not a signal minute", 15, 30, true, "%h", true, "a.wav", std::nullopt},
      {"both off still clears", 0, 60, false, "%h", false, "a.wav", SignalDecision{"", "", false}},
      {"empty wave path alone", 30, 30, false, "%h", true, "", SignalDecision{"", "", false}},
      {"empty template alone", 45, 15, true, "", false, "a.wav", SignalDecision{"", "", false}},
      {"telop only", 0, 60, true, "%h:%n", false, "a.wav", SignalDecision{"09:00", "", true}},
      {"wave only", 0, 15, false, "%h", true, "sample.wav", SignalDecision{"", "sample.wav", true}},
      {"both", 0, 60, true, "%h", true, "c:\\x.wav", SignalDecision{"09", "c:\\x.wav", true}},
  };
  const FormatSettings settings = JapaneseSettings();
  for (const Case& c : cases) {
    EXPECT_EQ(SignalStep(c.minute, c.interval, c.useTelop, c.telopTemplate, c.useWave, c.wavePath,
                         kSevenDecember, settings),
              c.expected)
        << c.name;
  }
}

}  // namespace
}  // namespace vo
