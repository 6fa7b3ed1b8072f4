#include <benchmark/benchmark.h>

#include "support/DateFormat.h"
#include "support/DateTime.h"
#include "support/JapaneseEra.h"

namespace {

// The clock formats both labels on every 50 ms tick.
void BM_FormatStamp(benchmark::State& state, const char* pattern) {
  const vo::FormatSettings settings = vo::DefaultFormatSettings();
  vo::DateTime value = vo::EncodeDateTime(2026, 3, 5, 9, 7, 30, 123);
  for (auto _ : state) {
    benchmark::DoNotOptimize(vo::FormatStamp(pattern, value, settings));
    value += 1.0 / 86'400'000;
  }
}
BENCHMARK_CAPTURE(BM_FormatStamp, time, "hh:nn");
BENCHMARK_CAPTURE(BM_FormatStamp, date, "yy/mm/dd");

void BM_FormatEra(benchmark::State& state) {
  vo::FormatSettings settings = vo::DefaultFormatSettings();
  settings.primaryLanguage = 0x11;
  settings.era = vo::JapaneseEraSource();
  const vo::DateTime value = vo::EncodeDateTime(2026, 3, 5, 9, 7);
  for (auto _ : state) benchmark::DoNotOptimize(vo::FormatStamp("ggg", value, settings));
}
BENCHMARK(BM_FormatEra);

void BM_SplitTime(benchmark::State& state) {
  vo::DateTime value = vo::EncodeDateTime(2026, 3, 5, 9, 7, 30, 123);
  for (auto _ : state) {
    benchmark::DoNotOptimize(vo::SplitTime(value));
    value += 1.0 / 86'400'000;
  }
}
BENCHMARK(BM_SplitTime);

}  // namespace
