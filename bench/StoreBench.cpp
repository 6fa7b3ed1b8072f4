// The clock's start-up load and close-time save over the in-memory store: the cost of the
// store rules themselves, without the registry.
#include <benchmark/benchmark.h>

#include "Panel/Placement.h"
#include "support/MemorySettingsStore.h"

namespace {

struct BenchClock final : vo::PositionTarget {
  int left = vo::kDesignedClockLeft;
  vo::Color fore = vo::kYellow;
  vo::Color back = vo::kBlack;

  int Left() const override { return left; }
  void SetLeft(int value) override { left = value; }
  vo::Color ForeColor() const override { return fore; }
  vo::Color BackColor() const override { return back; }
  void SetColors(vo::Color newFore, vo::Color newBack) override {
    fore = newFore;
    back = newBack;
  }
};

void BM_LoadThenSavePosition(benchmark::State& state) {
  vo::MemorySettingsBackend backend;
  BenchClock clock;
  vo::SavePosition(backend, clock);
  for (auto _ : state) {
    vo::LoadPosition(backend, clock);
    ++clock.left;
    vo::SavePosition(backend, clock);
    // The logs would otherwise grow with the iteration count.
    backend.ClearLogs();
    benchmark::DoNotOptimize(clock.left);
  }
}
BENCHMARK(BM_LoadThenSavePosition);

// A damaged store: the read failure and its exception are on the path every time.
void BM_LoadPositionWithBadLeft(benchmark::State& state) {
  vo::MemorySettingsBackend backend;
  backend.PutText(vo::kClockKeyPath, "Left", "12");
  BenchClock clock;
  for (auto _ : state) {
    vo::LoadPosition(backend, clock);
    backend.ClearLogs();
    benchmark::DoNotOptimize(clock.left);
  }
}
BENCHMARK(BM_LoadPositionWithBadLeft);

}  // namespace
