// The colour schedule: the clock's text and background colours blended through the day
// between the anchor pairs of 00:00, 06:00, 12:00 and 18:00.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "support/Color.h"
#include "support/DateTime.h"

namespace vo {

struct ColorPair {
  Color fore = kYellow;
  Color back = kBlack;

  friend bool operator==(const ColorPair&, const ColorPair&) = default;
};

// at[0] is the 00:00 anchor, at[1] 06:00, at[2] 12:00, at[3] 18:00.
struct Anchors {
  std::array<ColorPair, 4> at;

  friend bool operator==(const Anchors&, const Anchors&) = default;
};

inline constexpr Anchors kDefaultAnchors{{{
    {kYellow, kBlack},
    {kYellow, kBlue},
    {kYellow, kFuchsia},
    {kYellow, kRed},
}}};

struct ColorChannels {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  friend bool operator==(const ColorChannels&, const ColorChannels&) = default;
};

// Splits by signed division and remainder, keeping the low byte of each: a system-colour
// reference (top bit set) is split as the number it is, not looked up.
ColorChannels SplitColor(Color color);
// Always a plain RGB colour (top byte 0).
Color PackColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// The colours for a minute of the day (hour 0..23, minute 0..59).
ColorPair BlendColors(int hour, int minute, const Anchors& anchors);

// The colour half of the per-minute check: the pair to post, or nothing when the schedule
// is switched off.
std::optional<ColorPair> ColorScheduleStep(bool active, DateTime value, const Anchors& anchors);

}  // namespace vo
