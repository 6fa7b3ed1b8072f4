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
    FTelopX -= scale(kTelopStep);
    if (textWidth + FTelopX < 0) FTelopX = wrapX;
    return FTelopX;
  }
  int X() const { return FTelopX; }

 private:
  int FTelopX = 0;
};

}  // namespace vo
