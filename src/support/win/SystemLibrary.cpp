#include "support/win/SystemLibrary.h"

#include <string>

namespace vo::win {

FARPROC SystemEntry(const char* library, const char* name) {
  // By full path: the program's own directory holds plug-ins, not system libraries.
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(directory, length) + '\\' + library;
  HMODULE module = GetModuleHandleA(path.c_str());
  if (!module) module = LoadLibraryA(path.c_str());
  return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace vo::win
