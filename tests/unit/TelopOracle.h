// The telop rule stated plainly, as the yardstick for MakeTelop: each token in turn, its first
// occurrence replaced and the search started again from the beginning until none is left, so
// that a '%' typed before a token joins with the inserted text. Quadratic, and meant to be.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "setting/TimeSignal.h"

namespace vo::oracle {

// Only '%' plus one non-'%' character is a token; anything else is left alone.
inline void ReplaceToken(std::string& text, std::string_view token, std::string_view replacement) {
  if (token.size() != 2 || token[0] != '%' || token[1] == '%') return;
  std::string inserted(replacement);
  std::erase(inserted, '%');
  for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token)) {
    text.replace(at, token.size(), inserted);
  }
}

inline std::string ReferenceTelop(std::string_view telopTemplate, DateTime value,
                                  const FormatSettings& settings) {
  std::string text(telopTemplate);
  for (const TelopToken& token : kTelopTokens) {
    if (text.find(token.token) == std::string::npos) continue;
    ReplaceToken(text, token.token, FormatTokenText(token.pattern, value, settings));
  }
  return text;
}

}  // namespace vo::oracle
