#include "support/win/RegistryStore.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/win/Handles.h"
#include "support/win/WideText.h"

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
  RegistryKey(HKEY key, RegistryText text) : key_(key), text_(text) {}

  std::optional<StoredValue> Query(std::string_view name) const override {
    const std::string valueName(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (QueryValue(valueName, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<unsigned char> data;
    for (int attempt = 0; attempt < kMaxReadAttempts; ++attempt) {
      // One spare byte so that an empty value still has a buffer to point at.
      data.resize(size + 1);
      DWORD capacity = size;
      const LONG status = QueryValue(valueName, &type, data.data(), &capacity);
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
    const auto size = static_cast<DWORD>(data.size());
    const LONG status = text_ == RegistryText::kWide
                            ? RegSetValueExW(key_.get(), Widened(valueName).c_str(), 0,
                                             static_cast<DWORD>(type), data.data(), size)
                            : RegSetValueExA(key_.get(), valueName.c_str(), 0,
                                             static_cast<DWORD>(type), data.data(), size);
    return status == ERROR_SUCCESS;
  }

  bool Remove(std::string_view name) override {
    const std::string valueName(name);
    const LONG status = text_ == RegistryText::kWide
                            ? RegDeleteValueW(key_.get(), Widened(valueName).c_str())
                            : RegDeleteValueA(key_.get(), valueName.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

 private:
  LONG QueryValue(const std::string& name, DWORD* type, BYTE* data, DWORD* size) const {
    if (text_ == RegistryText::kWide) {
      return RegQueryValueExW(key_.get(), Widened(name).c_str(), nullptr, type, data, size);
    }
    return RegQueryValueExA(key_.get(), name.c_str(), nullptr, type, data, size);
  }

  UniqueKey key_;
  RegistryText text_;
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
    return std::make_unique<RegistryKey>(key, text_);
  }
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ||
      RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    return std::make_unique<RegistryKey>(key, text_);
  }
  return nullptr;
}

}  // namespace vo::win
