// The program's message loop, each turn under the plug-in guard: whatever plug-in code a
// message reaches (a subclass of the clock, a dialog, a timer procedure, a hook) and faults or
// hangs there costs that module its service and one error box, not the program.
#pragma once

#include "support/win/Application.h"

namespace vo::win {

// Runs until WM_QUIT. onAbandonedTurn runs after a turn was cut short: the program's own
// frames of that turn were dropped with the plug-in's, so what they would have reset on the
// way out must be reset there.
void RunContainedMessageLoop(Application& application, void (*onAbandonedTurn)());

}  // namespace vo::win
