// The Japanese era calendar from Meiji on: a built-in table for platforms whose date
// formatting lacks it or lags behind (Wine, and Windows without the Reiwa update), merged
// with the era list the system keeps, which gains a new era before it begins.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/DateFormat.h"
#include "support/DateTime.h"

namespace vo {

struct JapaneseEra {
  int year;  // first day of the era
  int month;
  int day;
  std::string_view name;     // Shift_JIS
  std::string_view initial;  // its one-character abbreviation, Shift_JIS
};

// In any order: an era lasts until the next one to begin.
using JapaneseEraList = std::vector<JapaneseEra>;

// One value of the system's era list as the registry holds it: named by the era's first day
// "YYYY MM DD", data "name_initial_EnglishName_E" (converted to Shift_JIS).
struct SystemEraValue {
  std::string name;
  std::string data;
};

// The well-formed system values, in their order, then the eras of the built-in table that
// none of them starts on the same day as. Malformed values (a bad date, missing or empty
// fields, an overlong name) are skipped. The eras' names point into the values' texts, which
// must outlive the list.
JapaneseEraList MergeJapaneseEras(std::span<const SystemEraValue> system);

// Name, initial and year within the era (counted from 1, zero-padded to yearDigits, 2 or 4);
// all empty before the first era.
EraText JapaneseEraText(std::span<const JapaneseEra> eras, const CivilDate& date, int yearDigits);
EraText JapaneseEraText(const CivilDate& date, int yearDigits);  // the built-in table

EraSource JapaneseEraSource();  // the built-in table

}  // namespace vo
