#include "support/DateTime.h"

#include <algorithm>
#include <cmath>

namespace vo {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// 1899-12-30, day 0 of a value, counted from 0001-01-01 as day 1.
constexpr std::int64_t kDayNumberOfZero = 693'594;
// 1970-01-01 as a value; the civil-date arithmetic below counts from there.
constexpr std::int64_t kUnixEpochDays = 25'569;
// The calendar is made for years 1..9999; values outside are held at the edges so
// that no field overflows (a corrupt value from a plug-in must not wrap the clock).
constexpr std::int64_t kFirstDay = -693'593;  // 0001-01-01
constexpr std::int64_t kLastDay = 2'958'465;  // 9999-12-31

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// A value as whole days and milliseconds into the day, rounded to the nearest
// millisecond. Rounding once, here, keeps the date and the time of day consistent
// across midnight.
struct Stamp {
  std::int64_t days;
  std::int64_t msOfDay;
};

Stamp ToStamp(DateTime value) {
  constexpr double kFirstMs = static_cast<double>(kFirstDay * kMsPerDay);
  constexpr double kLastMs = static_cast<double>((kLastDay + 1) * kMsPerDay - 1);
  double ms = std::isnan(value) ? 0.0 : value * static_cast<double>(kMsPerDay);
  ms = std::clamp(ms, kFirstMs, kLastMs);
  const std::int64_t total = std::llround(ms);
  return {FloorDiv(total, kMsPerDay), FloorMod(total, kMsPerDay)};
}

struct YearMonthDay {
  int year;
  int month;
  int day;
};

// Proleptic Gregorian conversions over 400-year cycles (H. Hinnant's algorithms).
YearMonthDay CivilFromDays(std::int64_t daysSinceEpoch) {
  const std::int64_t z = daysSinceEpoch + 719'468;
  const std::int64_t cycle = FloorDiv(z, 146'097);
  const std::int64_t dayOfCycle = z - cycle * 146'097;
  const std::int64_t yearOfCycle =
      (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36'524 - dayOfCycle / 146'096) / 365;
  const std::int64_t dayOfYear =
      dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // March = 0
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const int year = static_cast<int>(yearOfCycle + cycle * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t cycle = FloorDiv(year, 400);
  const std::int64_t yearOfCycle = year - cycle * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfCycle =
      yearOfCycle * 365 + yearOfCycle / 4 - yearOfCycle / 100 + dayOfYear;
  return cycle * 146'097 + dayOfCycle - 719'468;
}

}  // namespace

TimeParts SplitTime(DateTime value) {
  const std::int64_t ms = ToStamp(value).msOfDay;
  TimeParts parts;
  parts.hour = static_cast<std::uint16_t>(ms / 3'600'000);
  parts.minute = static_cast<std::uint16_t>(ms / 60'000 % 60);
  parts.second = static_cast<std::uint16_t>(ms % 60'000 / 1'000);
  parts.millisecond = static_cast<std::uint16_t>(ms % 1'000);
  return parts;
}

CivilDate SplitDate(DateTime value) {
  const std::int64_t days = ToStamp(value).days;
  const YearMonthDay ymd = CivilFromDays(days - kUnixEpochDays);
  CivilDate date;
  date.year = ymd.year;
  date.month = ymd.month;
  date.day = ymd.day;
  date.dayOfWeek = static_cast<int>(FloorMod(days + kDayNumberOfZero, 7) + 1);
  return date;
}

DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                        int millisecond) {
  // Out-of-range fields carry over (month 13 is January of the next year, day 0 the
  // last day of the previous month), as the day count naturally does.
  const std::int64_t monthIndex = static_cast<std::int64_t>(month) - 1;
  const std::int64_t fullYear = year + FloorDiv(monthIndex, 12);
  const int monthOfYear = static_cast<int>(FloorMod(monthIndex, 12)) + 1;
  const std::int64_t days = DaysFromCivil(fullYear, monthOfYear, 1) +
                            (static_cast<std::int64_t>(day) - 1) + kUnixEpochDays;
  const std::int64_t ms =
      ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
  // Date plus fraction, the way "now" has always been stored; SplitTime's rounding
  // recovers the exact millisecond.
  return static_cast<double>(days) + static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

}  // namespace vo
