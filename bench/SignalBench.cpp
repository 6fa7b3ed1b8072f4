// The telop expansion must stay linear however long the template is typed, and the colour
// blend is run once a minute.
#include <benchmark/benchmark.h>

#include <string>

#include "setting/ColorSchedule.h"
#include "setting/TimeSignal.h"
#include "support/JapaneseEra.h"

namespace vo {
namespace {

// Tokens, '%' runs that join with what the tokens turn into, and double-byte text.
std::string TokenTemplate(std::size_t size) {
  static constexpr std::string_view kPiece =
      "%G%g%e%Y/%y %M %m%d%h:%n(%w) %%h %x \x8E\x9E\x95\xAA%%%M";
  std::string text;
  text.reserve(size + kPiece.size());
  while (text.size() < size) text += kPiece;
  text.resize(size);
  return text;
}

void BM_MakeTelop(benchmark::State& state) {
  const std::string telopTemplate = TokenTemplate(static_cast<std::size_t>(state.range(0)));
  FormatSettings settings = DefaultFormatSettings();
  settings.primaryLanguage = 0x11;
  settings.era = JapaneseEraSource();
  const DateTime moment = EncodeDateTime(2026, 12, 7, 9, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(MakeTelop(telopTemplate, moment, settings));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  // Seconds per template byte: flat across the sizes if the expansion is linear.
  state.counters["s_per_byte"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MakeTelop)->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

void BM_MakeTelopDefaultTemplate(benchmark::State& state) {
  FormatSettings settings = DefaultFormatSettings();
  const DateTime moment = EncodeDateTime(2026, 12, 7, 9, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(MakeTelop(kDefaultTelopTemplate, moment, settings));
  }
}
BENCHMARK(BM_MakeTelopDefaultTemplate);

void BM_BlendColors(benchmark::State& state) {
  int minuteOfDay = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(BlendColors(minuteOfDay / 60, minuteOfDay % 60, kDefaultAnchors));
    minuteOfDay = (minuteOfDay + 7) % (24 * 60);
  }
}
BENCHMARK(BM_BlendColors);

}  // namespace
}  // namespace vo
