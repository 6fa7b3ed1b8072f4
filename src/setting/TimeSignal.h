// The time signal: which minutes give one, and the telop text expanded from its template.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "support/DateFormat.h"
#include "support/DateTime.h"
#include "support/Texts.h"

namespace vo {

inline constexpr std::string_view kDefaultTelopTemplate = texts::kDefaultTelopTemplate;
inline constexpr std::string_view kDefaultWavePath = "sample.wav";

// 15, 30 or 60 from the three interval buttons: tested in that order, the last checked one
// wins, none checked gives 15.
int GetInterval(bool sel15m, bool sel30m, bool sel01h);

bool IsSignalMinute(int minute, int interval);

struct TelopToken {
  std::string_view token;    // "%" and one letter
  std::string_view pattern;  // what FormatStamp renders in its place
};

// In the order they are expanded. "%m" is the minute, as the default template reads it;
// "%M" stays the month name.
inline constexpr std::array<TelopToken, 11> kTelopTokens{{
    {"%G", "ggg"},
    {"%g", "g"},
    {"%e", "e"},
    {"%Y", "yyyy"},
    {"%y", "yy"},
    {"%M", "mmmm"},
    {"%m", "nn"},
    {"%d", "dd"},
    {"%h", "hh"},
    {"%n", "nn"},
    {"%w", "ddd"},
}};

// The text a token stands for. A '%' in it (only a strange locale name could hold one) is
// dropped: replacing would otherwise be free to loop forever on its own output.
std::string FormatTokenText(std::string_view pattern, DateTime value,
                            const FormatSettings& settings);

// Every occurrence of the token replaced, in one left-to-right pass, with the result of
// replacing the first occurrence and searching again from the start until none is left (a '%'
// typed before a token joins with the inserted text). A token other than '%' and one non-'%'
// character is left alone.
std::string ReplaceTokenInOnePass(std::string_view text, std::string_view token,
                                  std::string_view replacement);

// The template with every token expanded in the order of kTelopTokens, linear in the length
// of the template and the result.
std::string MakeTelop(std::string_view telopTemplate, DateTime value,
                      const FormatSettings& settings);

// What one minute's signal leaves in the dialog: the two kept texts (both cleared, then
// refilled by the enabled options) and whether they are posted to the clock.
struct SignalDecision {
  std::string telop;
  std::string wave;
  bool post = false;

  friend bool operator==(const SignalDecision&, const SignalDecision&) = default;
};

// Nothing at a minute that gives no signal: the kept texts stay as they are.
std::optional<SignalDecision> SignalStep(int minute, int interval, bool useTelop,
                                         std::string_view telopTemplate, bool useWave,
                                         std::string_view wavePath, DateTime value,
                                         const FormatSettings& settings);

}  // namespace vo
