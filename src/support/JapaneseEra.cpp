#include "support/JapaneseEra.h"

#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

#include "support/ShiftJis.h"
#include "support/Texts.h"

namespace vo {
namespace {

// Historical era names run to four characters; anything much longer is not an era name.
constexpr std::size_t kMaxNameChars = 8;

auto FirstDay(const JapaneseEra& era) { return std::tie(era.year, era.month, era.day); }

bool StartsOnOrBefore(const JapaneseEra& era, const CivilDate& date) {
  return FirstDay(era) <= std::tie(date.year, date.month, date.day);
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

// The data's fields, split at '_' but stepping over double-byte characters whole (a trail byte
// may be '_'); none when there are not exactly as many as an era has.
using EraFields = std::array<std::string_view, 4>;  // name, initial, English name and initial
std::optional<EraFields> SplitFields(std::string_view data) {
  EraFields fields;
  std::size_t count = 0;
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < data.size(); pos += ShiftJisCharLength(data, pos)) {
    if (data[pos] != '_') continue;
    if (count == fields.size() - 1) return std::nullopt;
    fields[count++] = data.substr(start, pos - start);
    start = pos + 1;
  }
  if (count != fields.size() - 1) return std::nullopt;
  fields[count] = data.substr(start);
  return fields;
}

// Characters in the text; 0 for one holding a control byte, which no name may hold. (A field
// followed by '_' never ends in a lone lead byte: the split keeps the '_' as its trail.)
std::size_t TextChars(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += ShiftJisCharLength(text, pos), ++count) {
    if (static_cast<unsigned char>(text[pos]) < 0x20) return 0;
  }
  return count;
}

std::optional<JapaneseEra> ParseSystemEra(const SystemEraValue& value) {
  const std::optional<CivilDate> first = ParseFirstDay(value.name);
  const std::optional<EraFields> fields = SplitFields(value.data);
  if (!first || !fields) return std::nullopt;
  const auto& [name, initial, englishName, englishInitial] = *fields;
  const std::size_t nameChars = TextChars(name);
  if (nameChars == 0 || nameChars > kMaxNameChars || TextChars(initial) != 1) return std::nullopt;
  return JapaneseEra{first->year, first->month, first->day, name, initial};
}

constexpr JapaneseEra kBuiltInEras[] = {
    {1868, 10, 23, texts::kMeijiName, texts::kMeijiInitial},
    {1912, 7, 30, texts::kTaishoName, texts::kTaishoInitial},
    {1926, 12, 25, texts::kShowaName, texts::kShowaInitial},
    {1989, 1, 8, texts::kHeiseiName, texts::kHeiseiInitial},
    {2019, 5, 1, texts::kReiwaName, texts::kReiwaInitial},
};

}  // namespace

JapaneseEraList MergeJapaneseEras(std::span<const SystemEraValue> system) {
  JapaneseEraList merged;
  for (const SystemEraValue& value : system) {
    if (const auto era = ParseSystemEra(value)) merged.push_back(*era);
  }
  for (const JapaneseEra& builtIn : kBuiltInEras) {
    if (std::none_of(merged.begin(), merged.end(),
                     [&](const JapaneseEra& era) { return FirstDay(era) == FirstDay(builtIn); })) {
      merged.push_back(builtIn);
    }
  }
  return merged;
}

EraText JapaneseEraText(std::span<const JapaneseEra> eras, const CivilDate& date, int yearDigits) {
  const JapaneseEra* current = nullptr;
  for (const JapaneseEra& era : eras) {
    if (StartsOnOrBefore(era, date) && (!current || FirstDay(*current) < FirstDay(era))) {
      current = &era;
    }
  }
  if (!current) return {};
  return {std::string(current->name), ZeroPadded(date.year - current->year + 1, yearDigits),
          std::string(current->initial)};
}

EraText JapaneseEraText(const CivilDate& date, int yearDigits) {
  return JapaneseEraText(kBuiltInEras, date, yearDigits);
}

EraSource JapaneseEraSource() {
  return [](const CivilDate& date, int yearDigits) { return JapaneseEraText(date, yearDigits); };
}

}  // namespace vo
