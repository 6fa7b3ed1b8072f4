#include "setting/TimeSignal.h"

namespace vo {
namespace {

constexpr char kPercent = '%';

// '%' and one other character. Only such tokens are replaced: a search from the start ends
// only because each replacement takes one '%' away for good.
bool IsTelopToken(std::string_view token) {
  return token.size() == 2 && token[0] == kPercent && token[1] != kPercent;
}

std::string WithoutPercent(std::string_view text) {
  std::string kept(text);
  std::erase(kept, kPercent);
  return kept;
}

// Appends the replacement of a token whose '%' has just been taken off the end of out.
// If the replacement starts with the token's letter, a '%' left at the end of out forms the
// token again and the search from the start would replace it next: the whole run of '%'
// before it is swallowed, each one adding the replacement minus its first letter.
void AppendReplacement(std::string& out, char letter, std::string_view replacement) {
  if (replacement.empty()) return;
  std::size_t joined = 0;
  if (replacement.front() == letter) {
    while (!out.empty() && out.back() == kPercent) {
      out.pop_back();
      ++joined;
    }
  }
  out += replacement;
  for (; joined > 0; --joined) out += replacement.substr(1);
}

}  // namespace

int GetInterval(bool sel15m, bool sel30m, bool sel01h) {
  int interval = 15;
  if (sel15m) interval = 15;
  if (sel30m) interval = 30;
  if (sel01h) interval = 60;
  return interval;
}

bool IsSignalMinute(int minute, int interval) { return interval > 0 && minute % interval == 0; }

std::string FormatTokenText(std::string_view pattern, DateTime value,
                            const FormatSettings& settings) {
  return WithoutPercent(FormatStamp(pattern, value, settings));
}

// out holds the text already scanned, with every occurrence replaced; since nothing in it
// forms the token, the only place the next occurrence can start is a '%' at its very end
// followed by the next input byte. That is the single case handled here, and it is also the
// occurrence the search from the start would find first.
std::string ReplaceTokenInOnePass(std::string_view text, std::string_view token,
                                  std::string_view replacement) {
  if (!IsTelopToken(token)) return std::string(text);
  const char letter = token[1];
  const std::string inserted = WithoutPercent(replacement);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == letter && !out.empty() && out.back() == kPercent) {
      out.pop_back();
      AppendReplacement(out, letter, inserted);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string MakeTelop(std::string_view telopTemplate, DateTime value,
                      const FormatSettings& settings) {
  std::string text(telopTemplate);
  for (const TelopToken& token : kTelopTokens) {
    if (text.find(token.token) == std::string::npos) continue;
    text =
        ReplaceTokenInOnePass(text, token.token, FormatTokenText(token.pattern, value, settings));
  }
  return text;
}

std::optional<SignalDecision> SignalStep(int minute, int interval, bool useTelop,
                                         std::string_view telopTemplate, bool useWave,
                                         std::string_view wavePath, DateTime value,
                                         const FormatSettings& settings) {
  if (!IsSignalMinute(minute, interval)) return std::nullopt;
  SignalDecision decision;
  if (useTelop) decision.telop = MakeTelop(telopTemplate, value, settings);
  if (useWave) decision.wave = wavePath;
  decision.post = !decision.telop.empty() || !decision.wave.empty();
  return decision;
}

}  // namespace vo
