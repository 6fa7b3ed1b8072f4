#include "support/FileNames.h"

#include <algorithm>

#include "support/ShiftJis.h"

namespace vo {

std::string_view FileNameOf(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); i += ShiftJisCharLength(path, i)) {
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
  }
  return path.substr(start);
}

bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t length = ShiftJisCharLength(a, i);
    if (length == 2) {
      if (a.substr(i, 2) != b.substr(i, 2)) return false;
    } else if (FoldAscii(static_cast<unsigned char>(a[i])) !=
               FoldAscii(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += length;
  }
  return true;
}

bool SamePathIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return std::ranges::equal(a, b,
                            [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

}  // namespace vo
