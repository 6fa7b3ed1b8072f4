// The settings store in the current user's registry hive.
#pragma once

#include <memory>
#include <string_view>

#include "support/SettingsStore.h"

namespace vo::win {

// How string values travel: as ANSI text, or as the UTF-16 of the wide calls, which alone keep
// every character (a path to a folder whose name the ANSI code page cannot spell).
enum class RegistryText { kAnsi, kWide };

class RegistrySettingsBackend final : public SettingsBackend {
 public:
  explicit RegistrySettingsBackend(RegistryText text = RegistryText::kAnsi) : text_(text) {}
  std::unique_ptr<SettingsKey> OpenKey(std::string_view path, bool create) override;

 private:
  RegistryText text_;
};

}  // namespace vo::win
