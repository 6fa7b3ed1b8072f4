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

const ScreenArea& PrimaryOf(std::span<const ScreenArea> monitors) {
  const auto primary = std::find_if(monitors.begin(), monitors.end(),
                                    [](const ScreenArea& monitor) { return monitor.primary; });
  return primary != monitors.end() ? *primary : monitors.front();
}

std::int64_t ClampOnto(const ScreenArea& monitor, std::int64_t left, int width) {
  const std::int64_t offset = left - monitor.left;
  return monitor.left + ClampWide(offset, std::int64_t{monitor.right} - monitor.left, width);
}

bool HoldsStrip(const ScreenArea& monitor, StripPlace place, int width) {
  return monitor.top == place.top && monitor.left <= place.left &&
         std::int64_t{place.left} + width <= monitor.right;
}

}  // namespace

int ClampLeft(int left, int screenWidth, int windowWidth) {
  return ToInt(ClampWide(left, screenWidth, windowWidth));
}

int DragLeft(int currentLeft, int mouseX, int dragX, int screenWidth, int windowWidth) {
  const ScreenArea screen{0, 0, screenWidth, 0, true};
  return DragPlace({currentLeft, 0}, mouseX, dragX, windowWidth, {&screen, 1}).left;
}

bool OnAMonitor(StripPlace place, int width, std::span<const ScreenArea> monitors) {
  return std::any_of(monitors.begin(), monitors.end(),
                     [&](const ScreenArea& monitor) { return HoldsStrip(monitor, place, width); });
}

StripPlace PlaceOnMonitor(StripPlace place, int width, std::span<const ScreenArea> monitors) {
  if (monitors.empty()) return place;
  const ScreenArea* home = nullptr;
  auto better = [&](const ScreenArea& monitor) {
    if (!home) return true;
    if ((monitor.top == place.top) != (home->top == place.top)) return monitor.top == place.top;
    return monitor.primary && !home->primary;
  };
  for (const ScreenArea& monitor : monitors) {
    const bool holds = monitor.left <= place.left && place.left < monitor.right;
    if (holds && better(monitor)) home = &monitor;
  }
  if (!home) home = &PrimaryOf(monitors);
  return {ToInt(ClampOnto(*home, place.left, width)), home->top};
}

StripPlace StartPlace(int left, std::span<const ScreenArea> monitors, const DpiScale& scale) {
  if (monitors.empty()) return {left, 0};
  // The designed form width: the clamp runs before the window is fitted to the clock panel.
  return PlaceOnMonitor({left, PrimaryOf(monitors).top}, scale(forms::clock::kDesignedWindow.width),
                        monitors);
}

StripPlace DragPlace(StripPlace place, int mouseX, int dragX, int width,
                     std::span<const ScreenArea> monitors) {
  const std::int64_t wanted = std::int64_t{place.left} + mouseX - dragX;
  StripPlace best = place;
  std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
  for (const ScreenArea& monitor : monitors) {
    const std::int64_t left = ClampOnto(monitor, wanted, width);
    const std::int64_t distance = left > wanted ? left - wanted : wanted - left;
    const bool own = HoldsStrip(monitor, place, width);
    if (distance < bestDistance || (distance == bestDistance && own)) {
      best = {ToInt(left), monitor.top};
      bestDistance = distance;
    }
  }
  return best;
}

bool Covers(const ScreenArea& client, const ScreenArea& monitor) {
  return client.left <= monitor.left && client.top <= monitor.top &&
         client.right >= monitor.right && client.bottom >= monitor.bottom;
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
