#include <gtest/gtest.h>

#include <cstdint>

#include "setting/ColorSchedule.h"

namespace vo {
namespace {

constexpr Color kSystemWindow = static_cast<Color>(0x80000005u);
constexpr Color kSystemButtonFace = static_cast<Color>(0x8000000Fu);

struct BlendCase {
  int hour;
  int minute;
  Color fore;
  Color back;
};

TEST(BlendColorsTest, DefaultAnchorsThroughTheDay) {
  const BlendCase cases[] = {
      {0, 0, 0x0000FFFF, 0x00000000},
      {3, 0, 0x0000FFFF, 0x007F0000},
      {5, 59, 0x0000FFFF, 0x00FE0000},
      {6, 0, 0x0000FFFF, 0x00FF0000},
      {9, 0, 0x0000FFFF, 0x00FF007F},
      {14, 30, 0x0000FFFF, 0x009400FF},
      {21, 0, 0x0000FFFF, 0x0000007F},
      // 359/360 of the way from red back to black still truncates to 0.
      {23, 59, 0x0000FFFF, 0x00000000},
      {18, 0, 0x0000FFFF, 0x000000FF},
      {12, 0, 0x0000FFFF, 0x00FF00FF},
  };
  for (const BlendCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hour << ":" << c.minute);
    const ColorPair pair = BlendColors(c.hour, c.minute, kDefaultAnchors);
    EXPECT_EQ(pair.fore, c.fore);
    EXPECT_EQ(pair.back, c.back);
  }
}

TEST(BlendColorsTest, HalfwayTruncatesEachChannel) {
  Anchors anchors = kDefaultAnchors;
  anchors.at[0] = {PackColor(0, 255, 10), PackColor(255, 255, 255)};
  anchors.at[1] = {PackColor(255, 0, 11), PackColor(0, 0, 0)};
  const ColorPair pair = BlendColors(3, 0, anchors);
  EXPECT_EQ(SplitColor(pair.fore), (ColorChannels{127, 127, 10}));
  EXPECT_EQ(SplitColor(pair.back), (ColorChannels{127, 127, 127}));
}

TEST(BlendColorsTest, EachSegmentStartsExactlyOnItsAnchor) {
  const Anchors anchors{{{
      {0x00102030, 0x00A0B0C0},
      {0x00405060, 0x00D0E0F0},
      {0x00708090, 0x00010203},
      {0x00C0D0E0, 0x00FEFDFC},
  }}};
  for (int segment = 0; segment < 4; ++segment) {
    EXPECT_EQ(BlendColors(segment * 6, 0, anchors), anchors.at[segment]);
  }
  // The last minute before midnight is almost back at the 00:00 anchor, never past it.
  const ColorChannels last = SplitColor(BlendColors(23, 59, anchors).back);
  EXPECT_EQ(last, (ColorChannels{0xC0, 0xB0, 0xA0}));
}

TEST(BlendColorsTest, EqualAnchorsHoldAllDay) {
  const ColorPair pair{0x00336699, 0x00C0FFEE};
  const Anchors anchors{{{pair, pair, pair, pair}}};
  for (int hour = 0; hour < 24; ++hour) {
    for (int minute = 0; minute < 60; ++minute) {
      ASSERT_EQ(BlendColors(hour, minute, anchors), pair) << hour << ":" << minute;
    }
  }
}

TEST(BlendColorsTest, SystemColourAnchorsNeverYieldATopByte) {
  const Anchors anchors{{{
      {kSystemWindow, kSystemButtonFace},
      {kYellow, static_cast<Color>(0xFFFFFFFFu)},
      {static_cast<Color>(0x80FFFFFFu), kBlue},
      {kSystemButtonFace, kSystemWindow},
  }}};
  for (int hour = 0; hour < 24; ++hour) {
    for (int minute = 0; minute < 60; ++minute) {
      const ColorPair pair = BlendColors(hour, minute, anchors);
      ASSERT_EQ(static_cast<std::uint32_t>(pair.fore) >> 24, 0u) << hour << ":" << minute;
      ASSERT_EQ(static_cast<std::uint32_t>(pair.back) >> 24, 0u) << hour << ":" << minute;
    }
  }
  // Blended as the number it is: the system-colour index is not looked up.
  const Anchors same{{{{kSystemWindow, kSystemWindow},
                       {kSystemWindow, kSystemWindow},
                       {kSystemWindow, kSystemWindow},
                       {kSystemWindow, kSystemWindow}}}};
  EXPECT_EQ(BlendColors(10, 10, same).fore, 0x00010105);
}

TEST(SplitColorTest, SignedTruncatingArithmetic) {
  struct Case {
    std::uint32_t color;
    ColorChannels channels;
  };
  const Case cases[] = {
      {0x00000000, {0, 0, 0}},
      {0x0000FFFF, {255, 255, 0}},
      {0x00FF0000, {0, 0, 255}},
      {0x12345678, {0x78, 0x56, 0x34}},
      // Negative values: the remainders are negative, and their low bytes differ from a
      // plain shift of the bits.
      {0x80000005, {5, 1, 1}},
      {0x8000000F, {15, 1, 1}},
      {0x80FFFFFF, {255, 0, 0}},
      {0xFFFFFFFF, {255, 0, 0}},
      {0xFF000000, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.color);
    EXPECT_EQ(SplitColor(static_cast<Color>(c.color)), c.channels);
  }
}

TEST(SplitColorTest, PackRoundTripsEveryPlainChannelValue) {
  for (int v = 0; v < 256; ++v) {
    const auto b = static_cast<std::uint8_t>(v);
    const auto other = static_cast<std::uint8_t>(255 - v);
    const Color packed = PackColor(b, other, b);
    ASSERT_EQ(static_cast<std::uint32_t>(packed) >> 24, 0u);
    ASSERT_EQ(SplitColor(packed), (ColorChannels{b, other, b}));
  }
}

TEST(ColorScheduleStepTest, SwitchedOffPostsNothing) {
  EXPECT_FALSE(ColorScheduleStep(false, EncodeDateTime(2026, 3, 5, 3, 0), kDefaultAnchors));
}

TEST(ColorScheduleStepTest, UsesHourAndMinuteOnly) {
  // Seconds and milliseconds do not move the blend: 03:00:59.999 blends as 03:00, halfway from
  // black to blue (03:01 would give blue 128).
  const auto pair =
      ColorScheduleStep(true, EncodeDateTime(2026, 3, 5, 3, 0, 59, 999), kDefaultAnchors);
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->fore, 0x0000FFFF);
  EXPECT_EQ(pair->back, 0x007F0000);
}

}  // namespace
}  // namespace vo
