#include "support/win/ProcessRules.h"

#include "support/win/SystemLibrary.h"

namespace vo::win {
namespace {

bool restrictedSearch = false;

}  // namespace

void ApplyProcessRules() {
  // On by default only for images of subsystem 6.0 or later; said again for any other.
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  using SetDirectories = BOOL WINAPI(DWORD);
  const auto set =
      ProcAddress<SetDirectories*>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  restrictedSearch = set && set(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

DWORD PlugInLoadFlags() {
  return restrictedSearch ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                          : LOAD_WITH_ALTERED_SEARCH_PATH;
}

}  // namespace vo::win
