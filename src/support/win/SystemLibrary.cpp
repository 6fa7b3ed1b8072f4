#include "support/win/SystemLibrary.h"

#include <cstring>
#include <string>

namespace vo::win {
namespace {

struct Bound {
  const char* library;
  const char* name;
  FARPROC entry;
};
// The entries the program binds late, as SystemEntry found them; a null entry is free.
Bound bound[12];

FARPROC Load(const char* library, const char* name) {
  // By full path: the program's own directory holds plug-ins, not system libraries.
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(directory, length) + '\\' + library;
  HMODULE module = GetModuleHandleA(path.c_str());
  if (!module) module = LoadLibraryA(path.c_str());
  return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace

FARPROC SystemEntry(const char* library, const char* name) {
  for (Bound& known : bound) {
    if (!known.entry) {
      known = {library, name, Load(library, name)};
      return known.entry;
    }
    if (std::strcmp(known.library, library) == 0 && std::strcmp(known.name, name) == 0) {
      return known.entry;
    }
  }
  return Load(library, name);
}

void BindLateEntries() {
  SystemEntry("winmm.dll", "sndPlaySoundA");
  SystemEntry("comdlg32.dll", "ChooseColorA");
  SystemEntry("comdlg32.dll", "GetOpenFileNameA");
  SystemEntry("comdlg32.dll", "CommDlgExtendedError");
  SystemEntry("user32.dll", "SetCoalescableTimer");
  SystemEntry("user32.dll", "RegisterPowerSettingNotification");
  SystemEntry("user32.dll", "UnregisterPowerSettingNotification");
  SystemEntry("wtsapi32.dll", "WTSRegisterSessionNotification");
  SystemEntry("wtsapi32.dll", "WTSUnRegisterSessionNotification");
}

}  // namespace vo::win
