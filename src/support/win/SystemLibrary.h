// Entry points of system libraries that only a user's action needs (the common dialogs, the
// wave player), bound on first use. Imported, they and the dozen libraries they bring along
// would be mapped and initialised at every start-up, before the clock can show.
#pragma once

#include <windows.h>

namespace vo::win {

// The export `name` of the library file `library` in the system directory, or null. The
// library stays loaded for the rest of the run, as an imported one would.
// Each entry is looked up once; later calls take no loader lock.
FARPROC SystemEntry(const char* library, const char* name);

// Binds every entry the clock looks up late (the common dialogs, the wave player, the
// notices of being seen and the coalescing timer) now.
void BindLateEntries();

// An entry point as a pointer of its real type. GetProcAddress gives a generic function
// pointer; going through void (*)() tells the compiler that the cast is meant.
template <class Proc>
Proc EntryAs(FARPROC entry) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(entry));
}

// The export `name` of `module` as a `Proc`, or null.
template <class Proc>
Proc ProcAddress(HMODULE module, const char* name) {
  return EntryAs<Proc>(GetProcAddress(module, name));
}

// SystemEntry as a pointer to the function's real type.
template <class Function>
Function* LateBound(const char* library, const char* name) {
  return EntryAs<Function*>(SystemEntry(library, name));
}

}  // namespace vo::win
