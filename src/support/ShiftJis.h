// Character boundaries in Shift_JIS (code page 932), the ANSI code page of a Japanese
// desktop: a trail byte may look like '\', '|', '_' or a letter, so text is stepped through
// a character at a time, never a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vo {

// The first byte of a double-byte character.
constexpr bool IsShiftJisLeadByte(char c) {
  const auto byte = static_cast<std::uint8_t>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Byte length of the character starting at pos: 2 for a lead byte with its trail, 1 for any
// other byte and for a lead byte that ends the text.
constexpr std::size_t ShiftJisCharLength(std::string_view text, std::size_t pos) {
  return IsShiftJisLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

}  // namespace vo
