// The six private messages the clock window accepts (WM_USER + 100 .. 105), with their
// names for logs and failing tests. Plug-ins know them as the CLK_* macros of the SDK.
#pragma once

#include <cstdint>
#include <string_view>

namespace vo {

#define VO_CLOCK_MESSAGES(V)        \
  V(Telop, "CLK_TELOP", 0)          \
  V(SetColor, "CLK_SETCOLOR", 1)    \
  V(GetForeColor, "CLK_GETFORECOLOR", 2) \
  V(GetBackColor, "CLK_GETBACKCOLOR", 3) \
  V(SetLeft, "CLK_SETLEFT", 4)      \
  V(GetLeft, "CLK_GETLEFT", 5)

inline constexpr std::uint32_t kUserMessageBase = 0x0400;  // WM_USER
inline constexpr std::uint32_t kClockMessageBase = kUserMessageBase + 100;

enum class ClockMessage : std::uint32_t {
#define VO_DECLARE(id, name, offset) id = kClockMessageBase + (offset),
  VO_CLOCK_MESSAGES(VO_DECLARE)
#undef VO_DECLARE
};

// "CLK_SETCOLOR" for 0x465; empty for any other number.
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
