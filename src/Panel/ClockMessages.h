// The six private messages the clock window accepts, as the SDK defines them for plug-ins,
// with their names for logs and failing tests.
#pragma once

#include <cstdint>
#include <string_view>

#include "vo_plugin.h"

namespace vo {

// V(id, name, offset from CLK_TELOP), the name and number taken from the SDK's macro.
#define VO_CLOCK_MESSAGE(V, id, macro) V(id, #macro, (macro)-CLK_TELOP)
#define VO_CLOCK_MESSAGES(V)                          \
  VO_CLOCK_MESSAGE(V, Telop, CLK_TELOP)               \
  VO_CLOCK_MESSAGE(V, SetColor, CLK_SETCOLOR)         \
  VO_CLOCK_MESSAGE(V, GetForeColor, CLK_GETFORECOLOR) \
  VO_CLOCK_MESSAGE(V, GetBackColor, CLK_GETBACKCOLOR) \
  VO_CLOCK_MESSAGE(V, SetLeft, CLK_SETLEFT)           \
  VO_CLOCK_MESSAGE(V, GetLeft, CLK_GETLEFT)

inline constexpr std::uint32_t kClockMessageBase = CLK_TELOP;

enum class ClockMessage : std::uint32_t {
#define VO_DECLARE(id, name, offset) id = kClockMessageBase + (offset),
  VO_CLOCK_MESSAGES(VO_DECLARE)
#undef VO_DECLARE
};

// "CLK_SETCOLOR" for CLK_SETCOLOR; empty for any other number.
constexpr std::string_view ClockMessageName(std::uint32_t message) {
  switch (message) {
#define VO_NAME(id, name, offset)    \
  case kClockMessageBase + (offset): \
    return name;
    VO_CLOCK_MESSAGES(VO_NAME)
#undef VO_NAME
    default:
      return {};
  }
}

}  // namespace vo
