// The program's message pump, each turn under the plug-in guard, for every loop of the clock
// (its main loop and the modal loops of its boxes and dialogs): whatever plug-in code a
// message reaches and faults or hangs there costs that module its service and one error box,
// not the program. Boxes of faults met anywhere are shown at the start of a turn.
#pragma once

#include "support/win/MessagePump.h"

namespace vo::win {

// Installs the guarded pump for every loop.
void InstallContainedPump();

// Runs after any turn that was cut short: the program's own frames of that turn were dropped
// with the plug-in's, so what they would have reset on the way out must be reset there. At
// most a few, each registered once.
void OnAbandonedTurn(void (*mend)());

// The main loop: runs until WM_QUIT.
void RunContainedMessageLoop();

}  // namespace vo::win
