#include "PlugIns/ApartChoice.h"

namespace vo {

bool ChosenApart(SettingsBackend& store, std::string_view fileName) {
  SettingsAccessor key(store);
  if (!key.OpenSettingsKey(kApartKeyPath, false)) return false;
  return IgnoringFailure(false, [&] { return key.ReadDword(fileName) == 1; });
}

bool ChooseApart(SettingsBackend& store, std::string_view fileName, bool apart) {
  SettingsAccessor key(store);
  if (!key.OpenSettingsKey(kApartKeyPath, true)) return false;
  return IgnoringFailure(false, [&] {
    if (apart) {
      key.WriteDword(fileName, 1);
    } else {
      key.DeleteValue(fileName);
    }
    return true;
  });
}

}  // namespace vo
