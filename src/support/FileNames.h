// File names and paths as the program keeps them: ANSI bytes in code page 932, where a byte
// 0x5C may be the second half of a double-byte character rather than a '\'.
#pragma once

#include <string_view>

namespace vo {

// The file name at the end of a path: what follows its last '\', '/' or ':'.
std::string_view FileNameOf(std::string_view path);

// Path equality with ASCII letters compared case-insensitively; double-byte characters must
// match exactly.
bool SamePathIgnoringCase(std::string_view a, std::string_view b);
// The same for UTF-16 paths, as the wide calls name files: only ASCII letters fold.
bool SamePathIgnoringCase(std::u16string_view a, std::u16string_view b);

// An ASCII capital as its small letter; any other byte as it is.
constexpr unsigned char FoldAscii(unsigned char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}
constexpr char16_t FoldAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

}  // namespace vo
