// The Japanese era calendar from Meiji on, for platforms whose date formatting lacks
// it or lags behind (Wine, and Windows without the Reiwa update).
#pragma once

#include <span>
#include <string_view>

#include "support/DateFormat.h"
#include "support/DateTime.h"

namespace vo {

struct JapaneseEra {
  int year;  // first day of the era
  int month;
  int day;
  std::string_view name;  // Shift_JIS
};

// Oldest first.
std::span<const JapaneseEra> JapaneseEras();

// Name and year within the era (counted from 1, zero-padded to yearDigits, 2 or 4);
// both empty before Meiji.
EraText JapaneseEraText(const CivilDate& date, int yearDigits);

EraSource JapaneseEraSource();

}  // namespace vo
