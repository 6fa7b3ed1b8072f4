// The exit confirmation the clock's menu asks before it closes the clock.
#pragma once

#include <windows.h>

namespace vo::win {

// Asks, in a box owned by `clock` and centred on its monitor, whether to end the program;
// true for OK.
bool ConfirmExit(HWND clock);

}  // namespace vo::win
