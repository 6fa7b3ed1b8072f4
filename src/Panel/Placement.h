// Where the clock strip sits: the stored left edge and colours, the clamp onto a monitor
// and the sideways drag from monitor to monitor.
#pragma once

#include <span>

#include "support/Color.h"
#include "support/DpiScale.h"
#include "support/SettingsStore.h"

namespace vo {

// One monitor in virtual-screen pixels; right and bottom lie just outside it.
struct ScreenArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool primary = false;
  bool operator==(const ScreenArea&) const = default;
};

// The strip's window: its left edge and the top edge of the monitor it lies on.
struct StripPlace {
  int left = 0;
  int top = 0;
  bool operator==(const StripPlace&) const = default;
};

// Below 0 becomes 0; then, independently, beyond screenWidth - windowWidth becomes that.
int ClampLeft(int left, int screenWidth, int windowWidth);
// The left edge that keeps the date label under the mouse (X in label coordinates), clamped
// to one screen from 0 to screenWidth.
int DragLeft(int currentLeft, int mouseX, int dragX, int screenWidth, int windowWidth);

// Whether a strip of this width lies wholly on one monitor, at that monitor's top edge.
bool OnAMonitor(StripPlace place, int width, std::span<const ScreenArea> monitors);
// Onto the monitor whose columns hold place.left (the one whose top edge the strip is at
// first, then the primary), else onto the primary; clamped there as ClampLeft does.
StripPlace PlaceOnMonitor(StripPlace place, int width, std::span<const ScreenArea> monitors);
// The start-up place of a stored left edge: clamped with the designed form width at the
// strip's scale, onto the primary monitor among those holding it.
StripPlace StartPlace(int left, std::span<const ScreenArea> monitors, const DpiScale& scale);
// A drag step: the wanted left edge clamped onto every monitor, the nearest result winning,
// the strip's own monitor on a tie. So the strip follows the mouse along the top edges and
// changes monitor once more of it would lie on the next one.
StripPlace DragPlace(StripPlace place, int mouseX, int dragX, int width,
                     std::span<const ScreenArea> monitors);
// Whether a window's client area covers the whole monitor (as a full-screen program's does).
bool Covers(const ScreenArea& client, const ScreenArea& monitor);

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
