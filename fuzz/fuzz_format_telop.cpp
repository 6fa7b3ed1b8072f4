// Feeds arbitrary bytes to the formatter as a pattern and to the telop expansion as a
// template. The first bytes choose the moment and the locale texts; the expansion must match
// the search-from-the-start rule exactly and the formatter must keep to its cap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../tests/unit/TelopOracle.h"
#include "setting/TimeSignal.h"
#include "support/DateFormat.h"
#include "support/JapaneseEra.h"

namespace {

constexpr std::size_t kHeaderSize = 6;
// The reference is quadratic; beyond this the expansion is only run.
constexpr std::size_t kMaxCompared = 2048;

vo::DateTime MomentFrom(const std::uint8_t* header) {
  const int days = 1 + 2 * (header[0] | (header[1] << 8));  // 1899-12-31 .. about 2258
  const std::uint32_t msOfDay = (header[2] | (header[3] << 8) | (header[4] << 16)) * 7u;
  return days + static_cast<double>(msOfDay % 86400000u) / 86400000.0;
}

vo::FormatSettings SettingsFrom(std::uint8_t choice) {
  vo::FormatSettings settings = vo::DefaultFormatSettings();
  switch (choice % 4) {
    case 0:
      break;
    case 1:
      settings.primaryLanguage = 0x11;
      settings.era = vo::JapaneseEraSource();
      break;
    case 2:
      // Texts that start with the letters of later tokens, and a '%' of their own.
      settings.longMonthNames.fill("mad");
      settings.longMonthNames[0] = "%M";
      settings.shortDayNames = {"w", "mon", "hi", "nw", "dd", "wed", "M"};
      settings.era = [](const vo::CivilDate& date, int) {
        return vo::EraText{date.day % 2 ? "Gg" : "", date.day % 3 ? "0e" : "%e",
                           date.day % 5 ? "" : "g%"};
      };
      break;
    default:
      settings.primaryLanguage = 0x04;
      settings.subLanguage = 1;
      settings.era = [](const vo::CivilDate&, int) {
        return vo::EraText{"e\x8E\x9Ex\xFF", "0", {}};
      };
      break;
  }
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderSize) return 0;
  const vo::DateTime value = MomentFrom(data);
  const vo::FormatSettings settings = SettingsFrom(data[5]);
  const std::string_view text(reinterpret_cast<const char*>(data + kHeaderSize),
                              size - kHeaderSize);

  if (vo::FormatStamp(text, value, settings).size() > vo::kMaxStampLength) std::abort();

  const std::string telop = vo::MakeTelop(text, value, settings);
  if (text.size() <= kMaxCompared && telop != vo::oracle::ReferenceTelop(text, value, settings)) {
    std::abort();
  }
  return 0;
}
