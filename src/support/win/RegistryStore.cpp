#include "support/win/RegistryStore.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/win/Handles.h"

namespace vo::win {
namespace {

static_assert(static_cast<DWORD>(ValueType::kString) == REG_SZ);
static_assert(static_cast<DWORD>(ValueType::kExpandString) == REG_EXPAND_SZ);
static_assert(static_cast<DWORD>(ValueType::kBinary) == REG_BINARY);
static_assert(static_cast<DWORD>(ValueType::kDword) == REG_DWORD);
static_assert(static_cast<DWORD>(ValueType::kMultiString) == REG_MULTI_SZ);
static_assert(static_cast<DWORD>(ValueType::kQword) == REG_QWORD);

// A value that keeps growing between the size query and the read is given up after this many.
constexpr int kMaxReadAttempts = 8;

// The program names keys from the hive's root; the API wants them relative to it.
std::string SubKeyOf(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return std::string(path);
}

class RegistryKey final : public SettingsKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}

  std::optional<StoredValue> Query(std::string_view name) const override {
    const std::string valueName(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<unsigned char> data;
    for (int attempt = 0; attempt < kMaxReadAttempts; ++attempt) {
      // One spare byte so that an empty value still has a buffer to point at.
      data.resize(size + 1);
      DWORD capacity = size;
      const LONG status =
          RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type, data.data(), &capacity);
      if (status == ERROR_SUCCESS) {
        data.resize(capacity);
        return StoredValue{static_cast<ValueType>(type), std::move(data)};
      }
      if (status != ERROR_MORE_DATA) return std::nullopt;
      size = capacity;
    }
    return std::nullopt;
  }

  bool Set(std::string_view name, ValueType type, std::span<const unsigned char> data) override {
    const std::string valueName(name);
    return RegSetValueExA(key_.get(), valueName.c_str(), 0, static_cast<DWORD>(type), data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

  bool Remove(std::string_view name) override {
    const std::string valueName(name);
    const LONG status = RegDeleteValueA(key_.get(), valueName.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

 private:
  UniqueKey key_;
};

}  // namespace

std::unique_ptr<SettingsKey> RegistrySettingsBackend::OpenKey(std::string_view path, bool create) {
  const std::string subKey = SubKeyOf(path);
  HKEY key = nullptr;
  if (create) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<RegistryKey>(key);
  }
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ||
      RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    return std::make_unique<RegistryKey>(key);
  }
  return nullptr;
}

}  // namespace vo::win
