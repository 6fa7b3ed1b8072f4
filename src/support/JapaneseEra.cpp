#include "support/JapaneseEra.h"

#include <array>
#include <string>
#include <tuple>

namespace vo {
namespace {

// Names as Shift_JIS escapes so that every compiler, whatever its execution
// character set, stores the same bytes.
constexpr std::array<JapaneseEra, 5> kEras = {{
    {1868, 10, 23, "\x96\xbe\x8e\xa1"},  // Meiji
    {1912, 7, 30, "\x91\xe5\x90\xb3"},   // Taisho
    {1926, 12, 25, "\x8f\xba\x98\x61"},  // Showa
    {1989, 1, 8, "\x95\xbd\x90\xac"},    // Heisei
    {2019, 5, 1, "\x97\xdf\x98\x61"},    // Reiwa
}};

bool StartsOnOrBefore(const JapaneseEra& era, const CivilDate& date) {
  return std::tie(era.year, era.month, era.day) <= std::tie(date.year, date.month, date.day);
}

std::string ZeroPadded(int value, int digits) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < digits) {
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  }
  return text;
}

}  // namespace

std::span<const JapaneseEra> JapaneseEras() { return kEras; }

EraText JapaneseEraText(const CivilDate& date, int yearDigits) {
  for (auto era = kEras.rbegin(); era != kEras.rend(); ++era) {
    if (StartsOnOrBefore(*era, date)) {
      return {std::string(era->name), ZeroPadded(date.year - era->year + 1, yearDigits)};
    }
  }
  return {};
}

EraSource JapaneseEraSource() { return JapaneseEraText; }

}  // namespace vo
