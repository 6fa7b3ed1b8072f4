// Horizontal scrolling of the telop caption across the strip.
#pragma once

#include "support/DpiScale.h"

namespace vo {

inline constexpr int kTelopStep = 2;  // pixels per tick

// The x offset at which the caption is drawn. It starts at 0 and is never reset, so a
// new caption continues where the previous one stopped.
class TelopScroll {
 public:
  // Moves one tick to the left; once the text has left the image completely it
  // re-enters at wrapX (the clock panel's width). The step scales with the strip.
  // Returns the new offset.
  int Step(int textWidth, int wrapX, const DpiScale& scale = {}) {
    x_ -= scale(kTelopStep);
    if (textWidth + x_ < 0) x_ = wrapX;
    return x_;
  }
  int X() const { return x_; }

 private:
  int x_ = 0;
};

}  // namespace vo
