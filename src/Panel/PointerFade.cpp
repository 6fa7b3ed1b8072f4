#include "Panel/PointerFade.h"

#include <algorithm>

namespace vo {

int RestOpacityFrom(int percent) { return std::clamp(percent, kMinRestOpacity, kMaxRestOpacity); }

std::uint8_t AlphaOf(int percent) {
  return static_cast<std::uint8_t>((std::clamp(percent, 0, 100) * 255 + 50) / 100);
}

void PointerFade::Configure(bool enabled, int restOpacity) {
  FEnabled = enabled;
  FRestOpacity = RestOpacityFrom(restOpacity);
  if (!FEnabled) FState = State::kAway;
}

void PointerFade::PointerArrived(bool held) {
  if (!FEnabled || FState != State::kAway) return;
  FState = held ? State::kHeld : State::kFading;
  FFadeStep = 0;
}

void PointerFade::Tick(bool over, bool held) {
  if (!Watching()) return;
  if (!over) {
    FState = State::kAway;
  } else if (held) {
    FState = State::kHeld;
  } else if (FState == State::kHeld) {
    FState = State::kFading;
    FFadeStep = 0;
  } else {
    FFadeStep = std::min(FFadeStep + 1, kFadeTicks);
  }
}

StripLook PointerFade::Look() const {
  const bool layered = FEnabled || FRestOpacity < kMaxRestOpacity;
  if (FState != State::kFading) return {layered, AlphaOf(FRestOpacity), false};
  // From the rest opacity down to the faint one in even steps; input falls through at once.
  const int percent =
      FRestOpacity - (FRestOpacity - kFadedOpacity) * (FFadeStep + 1) / (kFadeTicks + 1);
  return {true, AlphaOf(percent), true};
}

}  // namespace vo
