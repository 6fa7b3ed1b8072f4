#include "Panel/SecBar.h"

namespace vo {

int SecBarPosition(std::uint16_t second, std::uint16_t millisecond, int width) {
  const std::int32_t elapsed = std::int32_t{second} * 1000 + millisecond;
  return elapsed * (width - 5) / 60000 + 1;
}

std::array<BarFill, 3> SecBarFills(int position, int width) {
  return {{{0, position + 2, false}, {position + 2, position + 6, true}, {position + 6, width + 1, false}}};
}

std::optional<int> SecBarState::Advance(std::uint16_t second, std::uint16_t millisecond, int width) {
  const int position = SecBarPosition(second, millisecond, width);
  if (position == FSecPos) return std::nullopt;
  FSecPos = position;
  return position;
}

}  // namespace vo
