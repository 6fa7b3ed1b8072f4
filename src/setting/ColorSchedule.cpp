#include "setting/ColorSchedule.h"

namespace vo {
namespace {

constexpr int kSegmentMinutes = 6 * 60;

// Truncating division and remainder, as C++ defines them, then the low byte.
std::uint8_t LowByte(std::int32_t value) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

std::uint8_t BlendChannel(std::uint8_t from, std::uint8_t to, int toWeight) {
  const int fromWeight = kSegmentMinutes - toWeight;
  return static_cast<std::uint8_t>((from * fromWeight + to * toWeight) / kSegmentMinutes);
}

Color BlendColor(Color from, Color to, int toWeight) {
  const ColorChannels a = SplitColor(from);
  const ColorChannels b = SplitColor(to);
  return PackColor(BlendChannel(a.red, b.red, toWeight), BlendChannel(a.green, b.green, toWeight),
                   BlendChannel(a.blue, b.blue, toWeight));
}

}  // namespace

ColorChannels SplitColor(Color color) {
  return {LowByte(color % 256), LowByte((color / 256) % 256), LowByte((color / 65536) % 256)};
}

Color PackColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<Color>(red | (green << 8) | (blue << 16));
}

ColorPair BlendColors(int hour, int minute, const Anchors& anchors) {
  const int minuteOfDay = hour * 60 + minute;
  // Out-of-range input still lands on a segment rather than indexing past the table.
  const int segment = ((minuteOfDay / kSegmentMinutes) % 4 + 4) % 4;
  const int toWeight = ((minuteOfDay % kSegmentMinutes) + kSegmentMinutes) % kSegmentMinutes;
  const ColorPair& from = anchors.at[segment];
  const ColorPair& to = anchors.at[(segment + 1) % 4];
  return {BlendColor(from.fore, to.fore, toWeight), BlendColor(from.back, to.back, toWeight)};
}

std::optional<ColorPair> ColorScheduleStep(bool active, DateTime value, const Anchors& anchors) {
  if (!active) return std::nullopt;
  const TimeParts time = SplitTime(value);
  return BlendColors(time.hour, time.minute, anchors);
}

}  // namespace vo
