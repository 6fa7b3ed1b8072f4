// Starting at sign-in: a value of the user's Run key that starts this vo.exe. The value is
// read whenever the dialog is shown and written only when the user asks for a change.
#pragma once

#include <string>
#include <string_view>

#include "support/SettingsStore.h"

namespace vo {

inline constexpr std::string_view kRunKeyPath =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValueName = "vo";

// The program's full path in quotes, as the shell wants a path that may hold spaces.
std::string SignInCommand(std::string_view exePath);

// Whether the command starts the program at exePath: its program, quoted or not, is that path
// (letter case aside); what follows the program does not matter.
bool NamesProgram(std::string_view command, std::string_view exePath);

// Whether the Run value starts this program. A value that is missing, of another type or
// unreadable does not.
bool StartsAtSignIn(SettingsBackend& backend, std::string_view exePath);

// Makes the Run value start this program, or not, writing only what differs: a value that
// starts another program is left alone when this one is not to start. A refused write or
// removal raises ERegistryException; a Run key that cannot be opened leaves nothing to remove.
void SetStartAtSignIn(SettingsBackend& backend, std::string_view exePath, bool start);

}  // namespace vo
