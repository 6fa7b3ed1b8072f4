// Starting at sign-in: a value of the user's Run key that starts this vo.exe. The value is
// read whenever the dialog is shown and written only when the user asks for a change. Paths and
// commands are UTF-16, as the wide calls keep them: a folder's name may hold any character.
#pragma once

#include <string>
#include <string_view>

#include "support/SettingsStore.h"

namespace vo {

inline constexpr std::string_view kRunKeyPath =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValueName = "vo";

// The program's full path in quotes, as the shell wants a path that may hold spaces.
std::u16string SignInCommand(std::u16string_view exePath);

// Whether the command starts the program at exePath: its program, quoted or not, is that path
// (letter case aside); what follows the program does not matter.
bool NamesProgram(std::u16string_view command, std::u16string_view exePath);

// Whether the Run value starts this program. A value that is missing, of another type or
// unreadable does not. The backend keeps its strings in UTF-16.
bool StartsAtSignIn(SettingsBackend& backend, std::u16string_view exePath);

// Makes the Run value start this program, or not, writing only what differs: a value that
// starts another program is left alone when this one is not to start. A refused write or
// removal raises ERegistryException; a Run key that cannot be opened leaves nothing to remove.
void SetStartAtSignIn(SettingsBackend& backend, std::u16string_view exePath, bool start);

}  // namespace vo
