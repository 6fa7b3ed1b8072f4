// The monitors as the placement code sees them, and the full-screen program the strip
// steps aside for.
#pragma once

#include <windows.h>

#include <vector>

#include "Panel/Placement.h"

namespace vo::win {

// The whole rectangle of a monitor (the primary screen's when the monitor cannot be read).
RECT MonitorRect(HMONITOR monitor);
// Every monitor of the desktop; never empty (the primary screen when enumeration fails).
std::vector<ScreenArea> Monitors();
// Whether the foreground window is another program's, shown, and its client area covers the
// whole monitor `strip` is on: a full-screen video, game or slide show. The desktop, the
// shell and framed windows (maximised ones too) do not.
bool FullScreenOver(HWND strip);

}  // namespace vo::win
