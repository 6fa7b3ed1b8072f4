// The settings store in the current user's registry hive.
#pragma once

#include <memory>
#include <string_view>

#include "support/SettingsStore.h"

namespace vo::win {

class RegistrySettingsBackend final : public SettingsBackend {
 public:
  std::unique_ptr<SettingsKey> OpenKey(std::string_view path, bool create) override;
};

}  // namespace vo::win
