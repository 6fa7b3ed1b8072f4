// Plug-in procedures reach the system through a few calls of the module's own: it registers
// a window class, subclasses a window, opens a dialog, sets a timer or a hook, starts a
// thread. vo takes the place of those calls in the module's import table (and in what its
// GetProcAddress finds) and hands the system a trampoline instead of the procedure. The
// trampoline calls the procedure under the guard, with the module's identity, inside the very
// callback the system made; when the call is cut short, or the module is out of service, the
// trampoline answers the system itself (the next procedure's answer, the default, or
// nothing) and returns to it normally. No recovery leaves a call of the system's.
//
// Only procedures the system runs in this process get a trampoline: a hook that runs in other
// processes (a global one, or one on another process's thread) reaches the system as the
// plug-in gave it, its procedure in its own module. Where a plug-in reads a procedure back
// (GetWindowLong, GetClassLong, GetClassInfo) it reads its own, not the trampoline. Code that
// is neither vo's nor the system's (a class framework's window thunk, a helper library's
// procedure) is run on behalf of the plug-in that handed it over.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vo::win {

// Interposes on the module's imports. False if an entry of its import table could not be
// rewritten: the procedures handed over through it are then reached by the message loop's
// guard only.
bool InterposeOn(HMODULE module);

// The plug-in procedure a trampoline calls; any other address as it is.
std::uintptr_t ProcedureBehind(std::uintptr_t address);

}  // namespace vo::win
