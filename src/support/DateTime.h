// The date-time value of the whole program: days since 1899-12-30 as a double,
// the fraction being the time of day.
#pragma once

#include <cstdint>

namespace vo {

using DateTime = double;

struct TimeParts {
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t millisecond = 0;
};

struct CivilDate {
  int year = 1899;
  int month = 12;     // 1..12
  int day = 30;       // 1..31
  int dayOfWeek = 7;  // 1 = Sunday .. 7 = Saturday
};

// Splits the time of day, rounding to the nearest millisecond (never 1000 ms).
TimeParts SplitTime(DateTime value);
// The calendar date of the value, by the same rounding as SplitTime.
CivilDate SplitDate(DateTime value);
// Builds a value from a local calendar date and time of day.
DateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                        int millisecond = 0);

}  // namespace vo
