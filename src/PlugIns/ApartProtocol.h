// What the clock and the helper program that runs one plug-in module apart say to each other.
// The two may be built for different processors (a 32-bit clock, a 64-bit helper), so every
// field has a fixed width and window handles travel as their 32 significant bits.
//
// The clock makes a block of shared memory and an event, both inherited by the helper. The
// helper loads the module, fills in what it found and sets the event; from then on the clock
// posts its ticks and its calls to the helper's window, and the helper sets the event as each
// call is done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vo::apart {

enum class HelperState : std::uint32_t { kLoading, kReady, kNotAPlugIn, kUnloadable };

// The module's exports, one bit each.
inline constexpr std::uint32_t kHasEnable = 1;
inline constexpr std::uint32_t kHasDisable = 2;
inline constexpr std::uint32_t kHasNotify = 4;
inline constexpr std::uint32_t kHasNotifyFreq = 8;
inline constexpr std::uint32_t kHasDiscription = 16;
inline constexpr std::uint32_t kHasSetProps = 32;

enum class Call : std::uint32_t { kEnable = 1, kDisable, kDescribe, kSetProps, kEnd };

// Messages to the helper's window (at the top of the application's own range, out of the way
// of the messages a module subclassing that window may use for its own). A tick carries the
// date-time's two halves in wParam and lParam; kMinuteTick is VpiNotify, then VpiNotifyFreq.
inline constexpr std::uint32_t kTickMessage = 0xBF70;
inline constexpr std::uint32_t kMinuteTickMessage = kTickMessage + 1;
// wParam: the Call.
inline constexpr std::uint32_t kCallMessage = kTickMessage + 2;

// WM_COPYDATA's dwData for a telop forwarded to the clock.
inline constexpr std::uint32_t kTelopData = 0x766F5445;

inline constexpr std::size_t kDescriptionBytes = 4096;

struct SharedBlock {
  std::uint32_t state;        // HelperState
  std::uint32_t exports;      // Export bits
  std::uint32_t window;       // the helper's window, which the module is given
  std::uint32_t ticksTaken;   // tick messages whose calls have returned
  std::uint32_t callsDone;    // calls (kCallMessage) that have returned
  std::uint32_t reserved;
  char description[kDescriptionBytes];  // VpiDiscription's text, zero-terminated
};
static_assert(sizeof(SharedBlock) == 24 + kDescriptionBytes);

// The 8 bytes of a date-time in two 32-bit halves (low, high) and back, bit for bit.
std::pair<std::uint32_t, std::uint32_t> SplitDateTime(double value);
double JoinDateTime(std::uint32_t low, std::uint32_t high);

// A telop's text and wave path as one run of bytes: each zero-terminated, text first.
std::vector<char> PackTelop(std::string_view text, std::string_view wave);

struct Telop {
  std::string text;
  std::string wave;
};
// None unless the bytes hold exactly two zero-terminated strings.
std::optional<Telop> UnpackTelop(std::span<const char> bytes);

// The description as the block holds it: up to the first zero, never past the field.
std::string DescriptionOf(const SharedBlock& block);
// Stores text, cut to fit, zero-terminated.
void StoreDescription(SharedBlock& block, std::string_view text);

}  // namespace vo::apart
