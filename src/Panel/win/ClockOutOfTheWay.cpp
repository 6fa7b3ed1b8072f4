// Out of the pointer's and the windows' way: the strip fading and letting input through while
// the pointer is on it, its opacity at rest, and its band at the top of the monitor held
// free of maximised windows.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "Panel/win/ClockPanel.h"

namespace vo::win {

void TClockPanel::KeepOutOfTheWay(bool fade, int restOpacity, bool reserveBand) {
  FFade.Configure(fade, restOpacity);
  ShowLook();
  FReserveBand = reserveBand;
  PlaceBand();
}

void TClockPanel::ShowLook() {
  const StripLook look = FFade.Look();
  if (look.clickThrough) DestroyHints();  // a hint would stand over the faded strip
  FTranslucence.Show(Handle(), look);
}

// The way in: a mouse message over the strip while it takes input.
void TClockPanel::PointerArrived(WPARAM keys) {
  FFade.PointerArrived((keys & MK_CONTROL) != 0 || FDragging);
  ShowLook();
}

// The strip that lets input through sees no mouse messages: the tick looks for the pointer
// and Ctrl instead, and only then.
void TClockPanel::WatchPointer() {
  POINT at{};
  GetCursorPos(&at);
  const RECT bounds = Bounds();
  const bool over = IsWindowVisible(Handle()) && PtInRect(&bounds, at);
  FFade.Tick(over, GetAsyncKeyState(VK_CONTROL) < 0 || FDragging);
  ShowLook();
}

void TClockPanel::PlaceBand(bool again) {
  if (FReserveBand) {
    FBand.Hold(Handle(), again);
  } else {
    FBand.Release();
  }
}

void TClockPanel::OnBandNotice(WPARAM notice) {
  switch (notice) {
    case ABN_POSCHANGED:  // another toolbar came or went
      PlaceBand(true);
      return;
    case ABN_FULLSCREENAPP:
      CheckFullScreen();
      return;
    default:
      return;
  }
}

}  // namespace vo::win
