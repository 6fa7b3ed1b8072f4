// The per-user settings store: typed reads and writes of named values under one key,
// over a backend that is the registry in the program and a map in the tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/Failure.h"

namespace vo {

inline constexpr std::string_view kClockKeyPath = "\\Software\\Nodrell\\vo";
inline constexpr std::string_view kOptionsKeyPath = "\\Software\\Nodrell\\vo\\options";

// The registry's value type numbers; a stored value may carry any number, not only these.
enum class ValueType : std::uint32_t {
  kNone = 0,
  kString = 1,        // REG_SZ
  kExpandString = 2,  // REG_EXPAND_SZ
  kBinary = 3,        // REG_BINARY
  kDword = 4,         // REG_DWORD, little-endian
  kMultiString = 7,   // REG_MULTI_SZ
  kQword = 11,        // REG_QWORD
};

struct StoredValue {
  ValueType type = ValueType::kNone;
  std::vector<unsigned char> data;

  bool operator==(const StoredValue&) const = default;
};

// One open key. Destroying it closes the key.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  // The value's type and raw bytes; nullopt when it is missing or cannot be read.
  virtual std::optional<StoredValue> Query(std::string_view name) const = 0;
  // False when the store refuses the write.
  virtual bool Set(std::string_view name, ValueType type, std::span<const unsigned char> data) = 0;
  // False when the store refuses; a value that is not there is removed already.
  virtual bool Remove(std::string_view name) = 0;
};

class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  // Opens the key at an absolute path ("\\Software\\..."). Without create: full access, else
  // read-only, else nullptr. With create: the key and its parents are made if missing.
  virtual std::unique_ptr<SettingsKey> OpenKey(std::string_view path, bool create) = 0;
};

// Raised by the accessor; what() is the user-facing CP932 message naming the value.
class ERegistryException : public Failure {
 public:
  enum class Kind { kReadFailed, kBadType, kWriteFailed };

  ERegistryException(Kind kind, std::string_view valueName);

  Kind kind() const { return kind_; }
  const std::string& valueName() const { return valueName_; }

 private:
  Kind kind_;
  std::string valueName_;
};

// One accessor per operation: opens one key, reads or writes, and closes the key when it goes
// out of scope, whichever way the operation ends.
class SettingsAccessor {
 public:
  explicit SettingsAccessor(SettingsBackend& backend) : backend_(backend) {}
  SettingsAccessor(const SettingsAccessor&) = delete;
  SettingsAccessor& operator=(const SettingsAccessor&) = delete;
  ~SettingsAccessor() = default;

  // False (and nothing open) when the key cannot be opened; not an error.
  bool OpenSettingsKey(std::string_view path, bool create);
  void CloseSettingsKey();
  bool IsOpen() const { return key_ != nullptr; }

  // Missing, longer than 4 bytes, or shorter than 4: kReadFailed; another type: kBadType.
  std::int32_t ReadDword(std::string_view name) const;
  bool ReadFlag(std::string_view name) const { return ReadDword(name) != 0; }
  // REG_SZ or REG_EXPAND_SZ up to the first NUL; missing or empty: "". Another type: kBadType.
  std::string ReadText(std::string_view name) const;
  // The same for a backend whose strings are UTF-16 (little-endian), as the wide calls keep them.
  std::u16string ReadWideText(std::string_view name) const;

  void WriteDword(std::string_view name, std::int32_t value);
  void WriteFlag(std::string_view name, bool value) { WriteDword(name, value ? 1 : 0); }
  // Stored as REG_SZ with its terminating NUL; the text ends at its first NUL, as a C string.
  void WriteText(std::string_view name, std::string_view text);
  // The same in UTF-16 (little-endian), for a backend that stores the wide calls' strings.
  void WriteWideText(std::string_view name, std::u16string_view text);
  // A value that is not there is no error; one the store refuses to remove is kWriteFailed.
  void DeleteValue(std::string_view name);

 private:
  std::optional<StoredValue> Query(std::string_view name) const;
  // The string value's bytes; nullopt when missing or empty; another type: kBadType.
  std::optional<StoredValue> QueryText(std::string_view name) const;
  void Set(std::string_view name, ValueType type, std::span<const unsigned char> data);

  SettingsBackend& backend_;
  std::unique_ptr<SettingsKey> key_;
};

}  // namespace vo
