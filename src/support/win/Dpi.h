// Where a window's pixel density comes from.
#pragma once

#include <windows.h>

#include "support/DpiScale.h"

namespace vo::win {

// The DPI of the monitor `window` is on as the system reports it to this program; the system
// DPI for a null window or where the per-window query does not exist (before Windows 10).
DpiScale ScaleOf(HWND window);

}  // namespace vo::win
