#include "Panel/win/Translucence.h"

namespace vo::win {

void Translucence::Show(HWND window, const StripLook& look) {
  if (look == FShown) return;
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_EXSTYLE);
  // Input falls through only a window that is both layered and transparent.
  LONG_PTR wanted = style & ~static_cast<LONG_PTR>(WS_EX_LAYERED | WS_EX_TRANSPARENT);
  if (look.layered) wanted |= WS_EX_LAYERED;
  if (look.layered && look.clickThrough) wanted |= WS_EX_TRANSPARENT;
  if (wanted != style) SetWindowLongPtrA(window, GWL_EXSTYLE, wanted);
  if (look.layered) {
    SetLayeredWindowAttributes(window, 0, look.alpha, LWA_ALPHA);
  } else if (FShown.layered) {
    // No longer layered: the window draws itself on the screen again.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  FShown = look;
}

}  // namespace vo::win
