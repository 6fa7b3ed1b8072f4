#include "support/JapaneseEra.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace vo {
namespace {

// Historical era names run to four characters; anything much longer is not an era name.
constexpr std::size_t kMaxNameChars = 8;
constexpr std::size_t kSystemEraFields = 4;  // name, initial, English name, English initial

bool StartsOnOrBefore(const JapaneseEra& era, const CivilDate& date) {
  return std::tie(era.year, era.month, era.day) <= std::tie(date.year, date.month, date.day);
}

bool StartsSameDay(const JapaneseEra& a, const JapaneseEra& b) {
  return std::tie(a.year, a.month, a.day) == std::tie(b.year, b.month, b.day);
}

std::string ZeroPadded(int value, int digits) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < digits) {
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  }
  return text;
}

// The number the digits spell; -1 if there is anything else.
int Number(std::string_view digits) {
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "YYYY MM DD" naming a day that exists.
std::optional<CivilDate> ParseFirstDay(std::string_view text) {
  if (text.size() != 10 || text[4] != ' ' || text[7] != ' ') return std::nullopt;
  const int year = Number(text.substr(0, 4));
  const int month = Number(text.substr(5, 2));
  const int day = Number(text.substr(8, 2));
  if (year < 1 || month < 0 || day < 0) return std::nullopt;
  // A month or day out of range carries over into another date.
  const CivilDate exact = SplitDate(EncodeDateTime(year, month, day));
  if (std::tie(exact.year, exact.month, exact.day) != std::tie(year, month, day)) {
    return std::nullopt;
  }
  return exact;
}

// Split at '_', stepping over double-byte characters whole: a trail byte may be '_'.
std::vector<std::string_view> SplitFields(std::string_view data) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < data.size()) {
    if (IsShiftJisLeadByte(data[pos])) {
      pos += 2;
    } else {
      if (data[pos] == '_') {
        fields.push_back(data.substr(start, pos - start));
        start = pos + 1;
      }
      ++pos;
    }
  }
  fields.push_back(data.substr(start));
  return fields;
}

// Characters in the text; 0 for one holding a control byte, which no name may hold. (A field
// followed by '_' never ends in a lone lead byte: the split keeps the '_' as its trail.)
std::size_t TextChars(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    if (IsShiftJisLeadByte(text[pos])) {
      pos += 2;
    } else if (static_cast<unsigned char>(text[pos]) < 0x20) {
      return 0;
    } else {
      ++pos;
    }
  }
  return count;
}

std::optional<JapaneseEra> ParseSystemEra(const SystemEraValue& value) {
  const std::optional<CivilDate> first = ParseFirstDay(value.name);
  if (!first) return std::nullopt;
  const std::vector<std::string_view> fields = SplitFields(value.data);
  if (fields.size() != kSystemEraFields) return std::nullopt;
  const std::size_t nameChars = TextChars(fields[0]);
  if (nameChars == 0 || nameChars > kMaxNameChars || TextChars(fields[1]) != 1) {
    return std::nullopt;
  }
  return JapaneseEra{first->year, first->month, first->day, std::string(fields[0]),
                     std::string(fields[1])};
}

}  // namespace

const JapaneseEraList& BuiltInJapaneseEras() {
  // Names as Shift_JIS escapes so that every compiler, whatever its execution character set,
  // stores the same bytes.
  static const JapaneseEraList eras = {
      {1868, 10, 23, "\x96\xbe\x8e\xa1", "\x96\xbe"},  // Meiji
      {1912, 7, 30, "\x91\xe5\x90\xb3", "\x91\xe5"},   // Taisho
      {1926, 12, 25, "\x8f\xba\x98\x61", "\x8f\xba"},  // Showa
      {1989, 1, 8, "\x95\xbd\x90\xac", "\x95\xbd"},    // Heisei
      {2019, 5, 1, "\x97\xdf\x98\x61", "\x97\xdf"},    // Reiwa
  };
  return eras;
}

JapaneseEraList MergeJapaneseEras(std::span<const SystemEraValue> system) {
  JapaneseEraList merged;
  for (const SystemEraValue& value : system) {
    if (auto era = ParseSystemEra(value)) merged.push_back(std::move(*era));
  }
  const std::size_t systemCount = merged.size();
  for (const JapaneseEra& builtIn : BuiltInJapaneseEras()) {
    const auto systemEnd = merged.begin() + static_cast<std::ptrdiff_t>(systemCount);
    if (std::none_of(merged.begin(), systemEnd,
                     [&](const JapaneseEra& era) { return StartsSameDay(era, builtIn); })) {
      merged.push_back(builtIn);
    }
  }
  std::stable_sort(merged.begin(), merged.end(), [](const JapaneseEra& a, const JapaneseEra& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
  });
  return merged;
}

EraText JapaneseEraText(const JapaneseEraList& eras, const CivilDate& date, int yearDigits) {
  for (auto era = eras.rbegin(); era != eras.rend(); ++era) {
    if (StartsOnOrBefore(*era, date)) {
      return {era->name, ZeroPadded(date.year - era->year + 1, yearDigits), era->initial};
    }
  }
  return {};
}

EraText JapaneseEraText(const CivilDate& date, int yearDigits) {
  return JapaneseEraText(BuiltInJapaneseEras(), date, yearDigits);
}

EraSource JapaneseEraSource() {
  return [](const CivilDate& date, int yearDigits) { return JapaneseEraText(date, yearDigits); };
}

}  // namespace vo
