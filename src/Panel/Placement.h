// Where the clock strip sits: the stored left edge and colours, the clamp onto the screen
// and the sideways drag.
#pragma once

#include "support/Color.h"
#include "support/DpiScale.h"
#include "support/SettingsStore.h"

namespace vo {

// Below 0 becomes 0; then, independently, beyond screenWidth - windowWidth becomes that.
int ClampLeft(int left, int screenWidth, int windowWidth);
// The start-up clamp: the designed form width at the strip's scale; `left` stays in screen pixels.
int ClampStartLeft(int left, int screenWidth, const DpiScale& scale);
// The left edge that keeps the date label under the mouse (X in label coordinates), clamped.
int DragLeft(int currentLeft, int mouseX, int dragX, int screenWidth, int windowWidth);

// The clock window as the position code sees it.
class PositionTarget {
 public:
  virtual ~PositionTarget() = default;
  virtual int Left() const = 0;
  virtual void SetLeft(int left) = 0;
  virtual Color ForeColor() const = 0;
  virtual Color BackColor() const = 0;
  virtual void SetColors(Color fore, Color back) = 0;
};

// Both stop silently at the first failing value; what was applied or written before stays.
void LoadPosition(SettingsBackend& backend, PositionTarget& target);
void SavePosition(SettingsBackend& backend, const PositionTarget& target);

}  // namespace vo
