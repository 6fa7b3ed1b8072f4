// Cutting a plug-in module off from the clock's thread once it has faulted or hung: the
// clock's window procedure no longer passes through it, its windows are destroyed (and the
// windows a dialog of its had disabled are enabled again), its timers are dropped, and it gets
// no further calls.
#pragma once

#include <windows.h>

#include "PlugIns/win/PlugInGuard.h"

namespace vo::win {

// A window's procedure (GWLP_WNDPROC, DWLP_DLGPROC) as it was set, read in the window's own
// width: across widths the system hands out a stand-in, not the address.
LONG_PTR ProcedureOf(HWND window, int index = GWLP_WNDPROC);

// The clock window, whose subclass chain is followed from here on.
void WatchClockWindow(HWND clock);

// Notes a change of the clock's window procedure; called after plug-in code has run, it
// learns which procedure each plug-in's subclass passes messages on to.
void NoteClockProcedure();

// Takes the module out of service. False if it already was.
bool Quarantine(ModuleId module);

// A timer message whose procedure lies in a module out of service: the timer is killed and
// the message is not to be dispatched.
bool DropsMessage(const MSG& message);

}  // namespace vo::win
