#include "Panel/Placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "forms/ClockForm.h"

namespace vo {
namespace {

constexpr std::string_view kLeftValue = "Left";
constexpr std::string_view kForeColorValue = "ForeColor";
constexpr std::string_view kBackColorValue = "BackColor";

std::int64_t ClampWide(std::int64_t left, std::int64_t screenWidth, std::int64_t windowWidth) {
  if (left < 0) left = 0;
  // A window wider than the screen ends up left of 0: the right-edge rule wins.
  if (left > screenWidth - windowWidth) left = screenWidth - windowWidth;
  return left;
}

int ToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace

int ClampLeft(int left, int screenWidth, int windowWidth) {
  return ToInt(ClampWide(left, screenWidth, windowWidth));
}

int ClampStartLeft(int left, int screenWidth, const DpiScale& scale) {
  // The designed form width: the clamp runs before the window is fitted to the clock panel.
  return ClampLeft(left, screenWidth, scale(forms::clock::kDesignedWindow.width));
}

int DragLeft(int currentLeft, int mouseX, int dragX, int screenWidth, int windowWidth) {
  const std::int64_t wanted = std::int64_t{currentLeft} + mouseX - dragX;
  return ToInt(ClampWide(wanted, screenWidth, windowWidth));
}

void LoadPosition(SettingsBackend& backend, PositionTarget& target) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kClockKeyPath, false)) return;
  try {
    target.SetLeft(store.ReadDword(kLeftValue));
    const Color fore = store.ReadDword(kForeColorValue);
    const Color back = store.ReadDword(kBackColorValue);
    target.SetColors(fore, back);
  } catch (const ERegistryException&) {
    // A damaged or partial store leaves the designed place and colours: nothing to report.
  }
}

void SavePosition(SettingsBackend& backend, const PositionTarget& target) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kClockKeyPath, true)) return;
  try {
    store.WriteDword(kLeftValue, target.Left());
    store.WriteDword(kForeColorValue, target.ForeColor());
    store.WriteDword(kBackColorValue, target.BackColor());
  } catch (const ERegistryException&) {
    // Closing must go on whatever the store says.
  }
}

}  // namespace vo
