#include <gtest/gtest.h>

#include "Panel/Sight.h"

namespace vo {
namespace {

TEST(Sight, SeenOnlyOnceEveryReasonHasCleared) {
  Sight sight;
  EXPECT_TRUE(sight.Apply(*SessionChange(7)));   // locked: unseen
  EXPECT_FALSE(sight.Apply(DisplayChange(0)));   // and the display off
  EXPECT_FALSE(sight.Apply(*SessionChange(7)));  // locked twice is still one reason
  EXPECT_FALSE(sight.Apply(*SessionChange(8)));  // unlocked, the display still off
  EXPECT_FALSE(sight.Seen());
  EXPECT_TRUE(sight.Apply(DisplayChange(2)));  // dimmed is readable
  EXPECT_TRUE(sight.Seen());
}

TEST(Sight, SessionNoticesThatSayNothingAboutBeingSeen) {
  EXPECT_FALSE(SessionChange(5));  // log-on
  EXPECT_FALSE(SessionChange(6));  // log-off
  EXPECT_FALSE(SessionChange(9));  // remote control
  EXPECT_EQ(SessionChange(4)->reason, Unseen::kAway);
  EXPECT_FALSE(SessionChange(3)->holds);
}

TEST(Sight, NextMinuteAndMissedTicks) {
  EXPECT_EQ(DelayToNextMinute(EncodeDateTime(2026, 3, 5, 9, 7, 0)), 60'000u);
  EXPECT_EQ(DelayToNextMinute(EncodeDateTime(2026, 3, 5, 9, 7, 59, 999)), 1u);
  EXPECT_EQ(DelayToNextMinute(EncodeDateTime(2026, 3, 5, 23, 59, 30, 250)), 29'750u);

  EXPECT_EQ(MissedTicks(49, 50), 0);
  EXPECT_EQ(MissedTicks(50, 50), 0);  // the very next tick
  EXPECT_EQ(MissedTicks(99, 50), 0);
  EXPECT_EQ(MissedTicks(30'000, 50), 599);
}

}  // namespace
}  // namespace vo
