// Cost of the 50 ms tick on a surface that does no drawing, with and without plug-ins,
// and what a minute of ticks asks of the window.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "Panel/SecBar.h"
#include "Panel/Tick.h"
#include "PlugIns/SlotTable.h"

namespace {

using namespace vo;

// A plug-in whose entry points return at once, called through pointers as the real ones are.
struct IdleModule {
  struct Fault {};
  using Entry = void (*)(void*, double);
  static void Nothing(void*, double) {}
  Entry notify = &Nothing;
  Entry notifyFreq = &Nothing;
  std::string name = "C:\\vo\\voIdle.dll";
  void Enable() {}
  void Disable() {}
  const std::string& FileName() const { return name; }
  bool InService() const { return true; }
};

class QuietClock : public ClockSurface {
 public:
  explicit QuietClock(int plugIns) {
    for (int i = 0; i < plugIns; ++i) slots_.Add(std::make_unique<IdleModule>());
  }
  DateTime now = EncodeDateTime(2026, 3, 5, 9, 7, 30);
  int captions = 0;
  int barDraws = 0;
  int raises = 0;

  int WindowTop() const override { return 0; }
  void SetWindowTop(int) override {}
  bool IsOnTop() const override { return true; }
  void RaiseToTop() override { ++raises; }
  DateTime Now() override { return now; }
  bool Seen() const override { return true; }
  bool TelopVisible() const override { return false; }
  void AdvanceTelop() override {}
  void HideTelop() override {}
  const std::string& DateCaption() const override { return date_; }
  void SetDateCaption(const std::string& caption) override { date_ = caption; }
  const std::string& TimeCaption() const override { return time_; }
  void SetTimeCaption(const std::string& caption) override {
    time_ = caption;
    ++captions;
  }
  void CheckTime(DateTime) override {}
  void NotifyMinute(DateTime value) override {
    slots_.ForEachLoaded([&](IdleModule& module) { module.notify(this, value); });
  }
  void DrawSecBar(std::uint16_t second, std::uint16_t millisecond) override {
    if (bar_.Advance(second, millisecond)) ++barDraws;
  }
  void NotifyTick(DateTime value) override {
    slots_.ForEachLoaded([&](IdleModule& module) { module.notifyFreq(this, value); });
  }

 private:
  std::string date_;
  std::string time_;
  SecBarState bar_;
  SlotTable<IdleModule> slots_;
};

void SteadyTick(benchmark::State& state) {
  QuietClock clock(static_cast<int>(state.range(0)));
  const FormatSettings format = DefaultFormatSettings();
  RunTick(clock, format);
  for (auto _ : state) RunTick(clock, format);
}
BENCHMARK(SteadyTick)->Arg(0)->Arg(32);

// One simulated minute of 50 ms ticks, starting just before a minute change.
void MinuteOfTicks(benchmark::State& state) {
  const FormatSettings format = DefaultFormatSettings();
  const DateTime start = EncodeDateTime(2026, 3, 5, 9, 6, 59, 990);
  for (auto _ : state) {
    QuietClock clock(0);
    clock.now = start;
    RunTick(clock, format);
    clock.captions = clock.barDraws = 0;
    for (int tick = 1; tick <= 1200; ++tick) {
      clock.now = start + tick * 0.05 / 86400;
      RunTick(clock, format);
    }
    state.counters["time_captions"] = clock.captions;
    state.counters["bar_redraws"] = clock.barDraws;
    state.counters["topmost_calls"] = clock.raises;
  }
}
BENCHMARK(MinuteOfTicks);

}  // namespace
