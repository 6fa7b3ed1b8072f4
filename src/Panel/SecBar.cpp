#include "Panel/SecBar.h"

namespace vo {
namespace {

// As designed: the gap is 4 columns wide and starts 2 columns right of the position, which
// is 1 at second 0.
constexpr int kGapWidth = 4;
constexpr int kGapOffset = 2;
constexpr int kFirstPosition = 1;

}  // namespace

int SecBarPosition(std::uint16_t second, std::uint16_t millisecond, int width,
                   const DpiScale& scale) {
  const std::int32_t elapsed = std::int32_t{second} * 1000 + millisecond;
  const int first = scale(kFirstPosition);
  return elapsed * (width - scale(kGapWidth) - first) / 60000 + first;
}

std::array<BarFill, 3> SecBarFills(int position, int width, const DpiScale& scale) {
  const int gapLeft = position + scale(kGapOffset);
  const int gapRight = gapLeft + scale(kGapWidth);
  return {{{0, gapLeft, false}, {gapLeft, gapRight, true}, {gapRight, width + 1, false}}};
}

std::optional<int> SecBarState::Advance(std::uint16_t second, std::uint16_t millisecond, int width,
                                        const DpiScale& scale) {
  const int position = SecBarPosition(second, millisecond, width, scale);
  if (position == FSecPos) return std::nullopt;
  FSecPos = position;
  return position;
}

}  // namespace vo
