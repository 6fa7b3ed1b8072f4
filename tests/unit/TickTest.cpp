#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Panel/SecBar.h"
#include "Panel/Telop.h"
#include "Panel/Tick.h"

namespace vo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records what a tick does to the window, in order.
class FakeClock : public ClockSurface {
 public:
  DateTime now = EncodeDateTime(2026, 3, 5, 9, 7, 30);
  int top = 0;
  bool onTop = true;
  bool telopVisible = false;
  bool seen = true;
  std::string date = "98/01/01";
  std::string time = "00:00";
  std::vector<std::string> events;
  std::vector<DateTime> valuesSeen;

  int WindowTop() const override { return top; }
  void SetWindowTop(int value) override {
    top = value;
    events.push_back("top=" + std::to_string(value));
  }
  bool IsOnTop() const override { return onTop; }
  void RaiseToTop() override { events.push_back("raise"); }
  DateTime Now() override { return now; }
  bool Seen() const override { return seen; }
  bool TelopVisible() const override { return telopVisible; }
  void AdvanceTelop() override { events.push_back("telop"); }
  void HideTelop() override {
    telopVisible = false;
    events.push_back("hide");
  }
  const std::string& DateCaption() const override { return date; }
  void SetDateCaption(const std::string& caption) override {
    date = caption;
    events.push_back("date=" + caption);
  }
  const std::string& TimeCaption() const override { return time; }
  void SetTimeCaption(const std::string& caption) override {
    time = caption;
    events.push_back("time=" + caption);
  }
  void CheckTime(DateTime value) override {
    valuesSeen.push_back(value);
    events.push_back("check");
  }
  void NotifyMinute(DateTime value) override {
    valuesSeen.push_back(value);
    events.push_back("notify");
  }
  void DrawSecBar(std::uint16_t second, std::uint16_t) override {
    events.push_back("bar" + std::to_string(second));
  }
  void NotifyTick(DateTime value) override {
    valuesSeen.push_back(value);
    events.push_back("freq");
  }

  std::vector<std::string> Tick() {
    events.clear();
    RunTick(*this, settings_);
    return events;
  }

 private:
  FormatSettings settings_ = DefaultFormatSettings();
};

TEST(Tick, FirstTickShowsDateAndTimeAndRunsTheMinuteWorkInOrder) {
  FakeClock clock;
  EXPECT_THAT(clock.Tick(),
              ElementsAre("date=26/03/05", "time=09:07", "check", "notify", "bar30", "freq"));
  EXPECT_THAT(clock.valuesSeen, ElementsAre(clock.now, clock.now, clock.now));
}

TEST(Tick, SameMinuteOnlyMovesTheBarAndNotifiesTheTick) {
  FakeClock clock;
  clock.Tick();
  clock.now += 1.0 / 86400;
  EXPECT_THAT(clock.Tick(), ElementsAre("bar31", "freq"));
}

TEST(Tick, StartedWithinMidnightMinuteWaitsForTheNextMinute) {
  FakeClock clock;
  clock.now = EncodeDateTime(2026, 3, 5, 0, 0, 12);
  EXPECT_THAT(clock.Tick(), ElementsAre("date=26/03/05", "bar12", "freq"));
}

TEST(Tick, MinuteWorkFollowsTheShownTextWhicheverWayTheClockJumps) {
  FakeClock clock;
  clock.Tick();
  clock.now -= 1.0;  // set back exactly one day: only the date changes
  EXPECT_THAT(clock.Tick(), ElementsAre("date=26/03/04", "bar30", "freq"));
  clock.now -= 3.0 / 24;  // three hours back
  EXPECT_THAT(clock.Tick(), ElementsAre("time=06:07", "check", "notify", "bar30", "freq"));
  clock.now += 0.5 / 1440;  // half a minute on: the next minute
  EXPECT_THAT(clock.Tick(), ElementsAre("time=06:08", "check", "notify", "bar0", "freq"));
}

TEST(Tick, KeepsTheStripAtTheTopEdgeAndAboveOtherWindows) {
  FakeClock clock;
  clock.Tick();
  clock.top = -7;
  clock.onTop = false;
  EXPECT_THAT(clock.Tick(), ElementsAre("top=0", "raise", "bar30", "freq"));
  clock.top = 12;  // below the edge is the user's business
  clock.onTop = true;
  EXPECT_THAT(clock.Tick(), ElementsAre("bar30", "freq"));
}

TEST(Tick, UnseenKeepsNothingOnTopAndDrawsNoBarButDoesTheMinuteWork) {
  FakeClock clock;
  clock.Tick();
  clock.seen = false;
  clock.top = -7;
  clock.onTop = false;
  clock.now += 40.0 / 86400;
  EXPECT_THAT(clock.Tick(), ElementsAre("time=09:08", "check", "notify", "freq"));
}

// What a tick does `seconds` after the first one, with a telop shown in between.
std::vector<std::string> TickUnderTelop(double seconds) {
  FakeClock clock;
  clock.Tick();
  clock.telopVisible = true;
  clock.now += seconds / 86400;
  return clock.Tick();
}

TEST(Tick, TelopFreezesLabelsAndBarButNotTheTickNotification) {
  EXPECT_THAT(TickUnderTelop(10), ElementsAre("telop", "freq"));
}

TEST(Tick, MinuteChangeUnderTelopHidesItAndDoesTheMinuteWorkInTheSameTick) {
  EXPECT_THAT(TickUnderTelop(40),
              ElementsAre("telop", "hide", "time=09:08", "check", "notify", "bar10", "freq"));
}

// Counts a simulated minute of 50 ms ticks; halfway through another window covers the strip.
TEST(Tick, AMinuteOfTicksSetsOneCaptionDrawsEachBarPositionOnceAndRaisesOnlyWhenCovered) {
  struct CountingClock : FakeClock {
    SecBarState bar;
    int barDraws = 0;
    void DrawSecBar(std::uint16_t second, std::uint16_t millisecond) override {
      if (bar.Advance(second, millisecond)) ++barDraws;
    }
    void RaiseToTop() override {
      onTop = true;
      FakeClock::RaiseToTop();
    }
  } clock;
  clock.now = EncodeDateTime(2026, 3, 5, 9, 6, 59, 990);
  clock.Tick();
  int captions = 0;
  int raises = 0;
  clock.barDraws = 0;
  for (int tick = 1; tick <= 1200; ++tick) {
    clock.now = EncodeDateTime(2026, 3, 5, 9, 6, 59, 990) + tick * 0.05 / 86400;
    if (tick == 600) clock.onTop = false;
    for (const auto& event : clock.Tick()) {
      captions += event.starts_with("time=");
      raises += event == "raise";
    }
  }
  EXPECT_EQ(captions, 1);
  EXPECT_EQ(clock.barDraws, 43);  // positions 1 to 43 of the new minute
  EXPECT_EQ(raises, 1);
}

TEST(SecBar, GapTravelsAcrossTheBarOnceAMinute) {
  EXPECT_EQ(SecBarPosition(0, 0), 1);
  EXPECT_EQ(SecBarPosition(59, 999), 43);
  EXPECT_EQ(SecBarPosition(1, 395), 1);  // steps about every 1.4 s
  EXPECT_EQ(SecBarPosition(1, 396), 2);

  const auto start = SecBarFills(SecBarPosition(0, 0));
  EXPECT_EQ(start[0].right, 3);
  EXPECT_EQ(start[1].left, 3);
  EXPECT_EQ(start[1].right, 7);  // gap columns 3..6
  EXPECT_TRUE(start[1].gap);
  EXPECT_EQ(start[2].right, kSecBarWidth + 1);

  const auto end = SecBarFills(SecBarPosition(59, 999));
  EXPECT_EQ(end[1].left, 45);  // 45..47 visible, 48 clipped
  EXPECT_EQ(end[2].left, 49);
}

TEST(SecBar, DrawsOnlyWhenThePositionMoves) {
  SecBarState bar;
  EXPECT_EQ(bar.Advance(0, 0), 1);
  EXPECT_EQ(bar.Advance(0, 900), std::nullopt);
  EXPECT_EQ(bar.Advance(1, 500), 2);
  bar.Reset();
  EXPECT_EQ(bar.Advance(1, 500), 2);
}

TEST(Telop, FirstFrameStartsTwoPixelsLeftOfTheEdge) {
  TelopScroll telop;
  EXPECT_EQ(telop.Step(60, 102), -2);
}

TEST(Telop, TextWhoseEndReachesTheLeftEdgeIsDrawnOnceMoreBeforeTheWrap) {
  TelopScroll telop;
  std::vector<int> xs;
  for (int i = 0; i < 9; ++i) xs.push_back(telop.Step(10, 102));
  // -10 puts the right end exactly at the edge; only -12 wraps.
  EXPECT_THAT(xs, ElementsAre(-2, -4, -6, -8, -10, 102, 100, 98, 96));
}

TEST(Telop, NewTextContinuesFromTheOffsetAndWrapsWhenAlreadyPastIt) {
  TelopScroll telop;
  for (int i = 0; i < 20; ++i) telop.Step(100, 102);
  EXPECT_EQ(telop.X(), -40);
  EXPECT_EQ(telop.Step(30, 102), 102);  // a shorter text is already out of sight
  EXPECT_EQ(telop.Step(30, 102), 100);
}

}  // namespace
}  // namespace vo
