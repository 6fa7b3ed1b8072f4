// The user's choice of where a module of the clock's own processor runs: inside the clock (the
// default) or in a helper process of its own. Kept per module, by its file name, as a value
// of the key "RunApart" under the clock's key: 1 apart; no value (or any other) inside.
#pragma once

#include <string_view>

#include "support/SettingsStore.h"

namespace vo {

inline constexpr std::string_view kApartKeyPath = "\\Software\\Nodrell\\vo\\RunApart";

// Whether the module of this file name (no folder) is to run apart. A value that is missing
// or cannot be read means inside.
bool ChosenApart(SettingsBackend& store, std::string_view fileName);

// Stores the choice; false when the store refuses it.
bool ChooseApart(SettingsBackend& store, std::string_view fileName, bool apart);

}  // namespace vo
