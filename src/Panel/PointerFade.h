// Getting out of the pointer's way: how opaque the strip is and whether clicks fall through
// it, from where the pointer is and whether Ctrl is held.
#pragma once

#include <cstdint>

namespace vo {

// The opacity at rest, in percent: 30 to 100.
inline constexpr int kMinRestOpacity = 30;
inline constexpr int kMaxRestOpacity = 100;
// Faint enough to read what lies beneath, still a visible outline.
inline constexpr int kFadedOpacity = 15;
// Ticks from the pointer's arrival to the faint strip: a quick fade, not a blink.
inline constexpr int kFadeTicks = 4;

// A stored or chosen opacity brought into range.
int RestOpacityFrom(int percent);
// 0..255 for a percentage.
std::uint8_t AlphaOf(int percent);

// What the window is to show.
struct StripLook {
  bool layered = false;       // off: the strip is drawn as an ordinary window
  std::uint8_t alpha = 255;   // when layered
  bool clickThrough = false;  // input falls to the windows beneath

  bool operator==(const StripLook&) const = default;
};

// Away (solid, nothing watched) -> pointer arrives -> fading over a few ticks to faint and
// click-through. While faded the strip sees no mouse messages, so the tick watches the
// pointer and Ctrl: the pointer gone brings the strip back to rest; Ctrl held (or a drag, or
// the menu) holds it solid under the pointer until released.
class PointerFade {
 public:
  void Configure(bool enabled, int restOpacity);
  // A mouse message over the solid strip; `held` when Ctrl is down or a drag runs.
  void PointerArrived(bool held);
  // The tick's look while Watching(); `over` whether the pointer is on the strip.
  void Tick(bool over, bool held);
  // Whether the tick must look at the pointer: only while the pointer is on the strip.
  bool Watching() const { return FEnabled && FState != State::kAway; }
  StripLook Look() const;

 private:
  enum class State { kAway, kHeld, kFading };
  bool FEnabled = false;
  int FRestOpacity = kMaxRestOpacity;
  State FState = State::kAway;
  int FFadeStep = 0;  // 0..kFadeTicks while fading
};

}  // namespace vo
