// A colour as the platform holds it: 0x00BBGGRR, red in the low byte; a set top bit
// refers to a system colour instead.
#pragma once

#include <cstdint>

namespace vo {

using Color = std::int32_t;

inline constexpr Color kYellow = 0x0000FFFF, kBlack = 0, kBlue = 0x00FF0000, kFuchsia = 0x00FF00FF,
                       kRed = 0x000000FF;

}  // namespace vo
