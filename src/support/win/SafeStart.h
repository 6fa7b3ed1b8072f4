// The run record on the platform: the safe start's question at start-up, the clean end that
// leaves no trace, and the notes of a module at risk, which may come from any thread at any
// moment, the end of the process included.
#pragma once

#include <windows.h>

#include <string>

namespace vo::win {

// Reads how the previous run ended and marks this one as going on; after a bad end, asks in
// a box owned by `owner` whether to leave the plug-ins (or the one module named) out this
// once. Called once, after the single-instance test and before any plug-in loads.
void BeginSafeStart(HWND owner);

// Whether discovery leaves the plug-in at this path out of this run, as the user answered.
bool SkippedThisRun(const std::string& path);

// The run ends cleanly (closed, or the logon session ends): the record goes.
void EndRunCleanly();

// The plug-in module that the process is in the hands of where nothing could take it back
// (its DllMain at load, a call of its blocked in the system), by its full path; nullptr when
// none is. Any thread, any time: no heap, no lock, no window.
void NoteModuleAtRisk(const char* path);

}  // namespace vo::win
