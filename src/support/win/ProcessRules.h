// Rules the process sets for itself before anything else runs: a corrupted heap ends it at
// once, and no library is ever looked for in the current directory, which a plug-in may move.
#pragma once

#include <windows.h>

namespace vo::win {

// First thing at start, on the one thread there is.
void ApplyProcessRules();

// The flags a plug-in module is loaded with: its own folder, then the system's folders,
// for the module and its dependencies; the older search from the module's folder where the
// system cannot restrict it (Windows 7 without the update that brings the restricted search).
DWORD PlugInLoadFlags();

}  // namespace vo::win
