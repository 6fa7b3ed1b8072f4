#include "Panel/win/ReservedBand.h"

#include <shellapi.h>

#include <cstdint>
#include <string_view>

#include "Panel/win/Monitors.h"
#include "support/SettingsStore.h"
#include "support/win/RegistryStore.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {
namespace {

// The window holding the band, kept while it is held: what the next run releases if this
// one cannot.
constexpr std::string_view kBandWindowValue = "BandWindow";

// Bound late: the shell library and what it pulls in stay out of every start-up that does
// not reserve the band.
UINT_PTR AskShell(DWORD message, APPBARDATA& data) {
  static const auto appBarMessage =
      LateBound<decltype(SHAppBarMessage)>("shell32.dll", "SHAppBarMessage");
  return appBarMessage ? appBarMessage(message, &data) : 0;
}

APPBARDATA BarOf(HWND window) {
  APPBARDATA data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  return data;
}

// Nothing to be done when the registry refuses: the next run releases nothing.
void RememberBandWindow(HWND window) {
  IgnoringFailure([&] {
    RegistrySettingsBackend backend;
    SettingsAccessor store(backend);
    if (!store.OpenSettingsKey(kClockKeyPath, true)) return;
    if (window) {
      store.WriteDword(kBandWindowValue,
                       static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(window)));
    } else {
      store.DeleteValue(kBandWindowValue);
    }
  });
}

// The band across the monitor's width, from its top down to the window's bottom edge.
RECT BandOver(HWND window) {
  RECT bounds{};
  GetWindowRect(window, &bounds);
  RECT band = MonitorRect(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
  band.bottom = bounds.bottom;
  return band;
}

}  // namespace

void ReservedBand::Hold(HWND window, bool again) {
  const RECT band = BandOver(window);
  if (FWindow == window && EqualRect(&band, &FBand) && !again) return;
  if (FWindow != window) {
    Release();
    APPBARDATA data = BarOf(window);
    data.uCallbackMessage = kNotice;
    if (!AskShell(ABM_NEW, data)) return;
    FWindow = window;
    RememberBandWindow(window);
  }
  // The shell may take off what other bands hold already; the band keeps its depth below.
  APPBARDATA data = BarOf(window);
  data.uEdge = ABE_TOP;
  data.rc = band;
  AskShell(ABM_QUERYPOS, data);
  data.rc.bottom = data.rc.top + (band.bottom - band.top);
  AskShell(ABM_SETPOS, data);
  FBand = band;
}

void ReservedBand::Release() {
  if (!FWindow) return;
  APPBARDATA data = BarOf(FWindow);
  AskShell(ABM_REMOVE, data);
  FWindow = nullptr;
  FBand = RECT{};
  RememberBandWindow(nullptr);
}

void ReservedBand::ReleaseLeftOver() {
  std::int32_t stored = 0;
  IgnoringFailure([&] {
    RegistrySettingsBackend backend;
    SettingsAccessor store(backend);
    if (store.OpenSettingsKey(kClockKeyPath, false)) stored = store.ReadDword(kBandWindowValue);
  });
  if (!stored) return;
  const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(stored));
  // A window still there is no longer the ended run's: its handle was given anew.
  if (!IsWindow(window)) {
    APPBARDATA data = BarOf(window);
    AskShell(ABM_REMOVE, data);
  }
  RememberBandWindow(nullptr);
}

}  // namespace vo::win
