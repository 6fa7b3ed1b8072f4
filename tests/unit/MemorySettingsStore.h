// A settings backend held in memory, the tests' stand-in for the registry. It behaves as the
// registry does (case-insensitive key paths and value names, parents made by create, values of any
// type and length) and can refuse what the registry may refuse, while counting what is opened and
// done.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/SettingsStore.h"

namespace vo {

class MemorySettingsBackend final : public SettingsBackend {
 public:
  MemorySettingsBackend() = default;
  MemorySettingsBackend(const MemorySettingsBackend&) = delete;
  MemorySettingsBackend& operator=(const MemorySettingsBackend&) = delete;

  std::unique_ptr<SettingsKey> OpenKey(std::string_view path, bool create) override;

  // Shaping the store. Paths may be given with or without the leading backslash.
  void CreateKey(std::string_view path);
  bool HasKey(std::string_view path) const;
  void Put(std::string_view path, std::string_view name, StoredValue value);
  void PutDword(std::string_view path, std::string_view name, std::int32_t value);
  // REG_SZ with the terminating NUL counted, as the program writes it.
  void PutText(std::string_view path, std::string_view name, std::string_view text);
  void Erase(std::string_view path, std::string_view name);

  std::optional<StoredValue> Get(std::string_view path, std::string_view name) const;
  // The value when it is a 4-byte REG_DWORD, else nullopt.
  std::optional<std::int32_t> GetDword(std::string_view path, std::string_view name) const;
  std::size_t ValueCount(std::string_view path) const;

  // Faults (each makes the key if missing). A refused value cannot be written. A read-only key
  // opens only without create and refuses every write. A denied key cannot be opened at all.
  void RefuseWrite(std::string_view path, std::string_view name);
  void SetReadOnly(std::string_view path, bool readOnly = true);
  void DenyAccess(std::string_view path, bool denied = true);

  // What was done, in order; names of values queried and of values written or removed (also
  // refused ones).
  int opens() const { return opens_; }
  int closes() const { return closes_; }
  int openKeys() const { return opens_ - closes_; }
  const std::vector<std::string>& readLog() const { return readLog_; }
  const std::vector<std::string>& writeLog() const { return writeLog_; }
  void ClearLogs();

 private:
  class Key;

  struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using NameSet = std::set<std::string, CaseInsensitiveLess>;

  struct KeyData {
    std::map<std::string, StoredValue, CaseInsensitiveLess> values;
    NameSet refusedWrites;
    bool readOnly = false;
    bool denied = false;
  };

  static std::string_view Normalize(std::string_view path);
  KeyData* Find(std::string_view path);
  const KeyData* Find(std::string_view path) const;
  KeyData& FindOrCreate(std::string_view path);

  std::map<std::string, KeyData, CaseInsensitiveLess> keys_;
  int opens_ = 0;
  int closes_ = 0;
  std::vector<std::string> readLog_;
  std::vector<std::string> writeLog_;
};

}  // namespace vo
