// Puts the fade's look on the strip's window: layered with an alpha, click-through or not.
#pragma once

#include <windows.h>

#include "Panel/PointerFade.h"

namespace vo::win {

class Translucence {
 public:
  // Touches the window only where the look differs from the one last shown.
  void Show(HWND window, const StripLook& look);

 private:
  StripLook FShown;  // a window is made plain
};

}  // namespace vo::win
