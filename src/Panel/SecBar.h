// The seconds bar: a fore-coloured line under the date with a 4-pixel gap that
// travels from left to right once a minute.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "support/DpiScale.h"

namespace vo {

inline constexpr int kSecBarWidth = 48;
inline constexpr int kSecBarHeight = 2;

// Column the gap starts after (1 at second 0, 43 at the end of the minute for width 48).
// `width` is the bar's width at `scale`; the gap and its offset scale with it.
int SecBarPosition(std::uint16_t second, std::uint16_t millisecond, int width = kSecBarWidth,
                   const DpiScale& scale = {});

// One solid fill of the bar bitmap: columns [left, right), every row; the caller
// clips what lies outside the bitmap.
struct BarFill {
  int left = 0;
  int right = 0;
  bool gap = false;  // back colour; otherwise fore colour
};
std::array<BarFill, 3> SecBarFills(int position, int width = kSecBarWidth,
                                   const DpiScale& scale = {});

// Remembers the position last drawn so that a tick redraws only when the gap moves.
class SecBarState {
 public:
  // The position to draw now, or nothing when the gap has not moved.
  std::optional<int> Advance(std::uint16_t second, std::uint16_t millisecond,
                             int width = kSecBarWidth, const DpiScale& scale = {});
  void Reset() { FSecPos = -1; }

 private:
  int FSecPos = -1;
};

}  // namespace vo
