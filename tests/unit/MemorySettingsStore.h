// A settings backend held in memory, the tests' stand-in for the registry. It behaves as the
// registry does (case-insensitive key paths and value names, parents made by create, values of any
// type and length) and can refuse what the registry may refuse, while counting what is opened and
// done.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/SettingsStore.h"

namespace vo {

class MemorySettingsBackend final : public SettingsBackend {
 public:
  std::unique_ptr<SettingsKey> OpenKey(std::string_view path, bool create) override {
    const auto found = keys_.find(PathOf(path));
    if (found == keys_.end()) {
      if (!create) return nullptr;
    } else if (found->second.denied || (create && found->second.readOnly)) {
      return nullptr;  // creation asks for full access, which a read-only key does not grant
    }
    KeyData& key = Make(path);
    return std::make_unique<Key>(*this, key, !key.readOnly);
  }

  // Shaping the store; each call makes the key if missing. Paths may be given with or without
  // the leading backslash.
  void CreateKey(std::string_view path) { Make(path); }
  void Put(std::string_view path, std::string_view name, StoredValue value) {
    Make(path).values.insert_or_assign(Fold(name), std::move(value));
  }
  void PutDword(std::string_view path, std::string_view name, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    std::vector<unsigned char> data;
    for (int shift = 0; shift < 32; shift += 8)
      data.push_back(static_cast<unsigned char>(bits >> shift));
    Put(path, name, {ValueType::kDword, std::move(data)});
  }
  // REG_SZ with the terminating NUL counted, as the program writes it.
  void PutText(std::string_view path, std::string_view name, std::string_view text) {
    StoredValue value{ValueType::kString, {text.begin(), text.end()}};
    value.data.push_back(0);
    Put(path, name, std::move(value));
  }
  void Erase(std::string_view path, std::string_view name) { Make(path).values.erase(Fold(name)); }
  // Faults: a refused value cannot be written; a read-only key opens only without create and
  // refuses every write; a denied key cannot be opened at all.
  void RefuseWrite(std::string_view path, std::string_view name) {
    Make(path).refused.insert(Fold(name));
  }
  void SetReadOnly(std::string_view path) { Make(path).readOnly = true; }
  void DenyAccess(std::string_view path) { Make(path).denied = true; }

  bool HasKey(std::string_view path) const { return keys_.contains(PathOf(path)); }
  std::size_t ValueCount(std::string_view path) const {
    const auto key = keys_.find(PathOf(path));
    return key == keys_.end() ? 0 : key->second.values.size();
  }
  std::optional<StoredValue> Get(std::string_view path, std::string_view name) const {
    const auto key = keys_.find(PathOf(path));
    return key == keys_.end() ? std::nullopt : key->second.Value(name);
  }
  // The value when it is a 4-byte REG_DWORD, else nullopt.
  std::optional<std::int32_t> GetDword(std::string_view path, std::string_view name) const {
    const std::optional<StoredValue> value = Get(path, name);
    if (!value || value->type != ValueType::kDword || value->data.size() != 4) return std::nullopt;
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = bits << 8 | value->data[i];
    return static_cast<std::int32_t>(bits);
  }

  // What was done: keys opened in all and still open; the names of values queried, and of
  // values written or removed (refused ones too), in order.
  int opens() const { return opens_; }
  int openKeys() const { return openKeys_; }
  const std::vector<std::string>& readLog() const { return readLog_; }
  const std::vector<std::string>& writeLog() const { return writeLog_; }

 private:
  struct KeyData {
    std::map<std::string, StoredValue> values;  // by folded name
    std::set<std::string> refused;
    bool readOnly = false;
    bool denied = false;

    std::optional<StoredValue> Value(std::string_view name) const {
      const auto value = values.find(Fold(name));
      return value == values.end() ? std::nullopt : std::optional(value->second);
    }
  };

  // A handle's rights are those it was opened with, as in the registry.
  class Key final : public SettingsKey {
   public:
    Key(MemorySettingsBackend& store, KeyData& key, bool writable)
        : store_(store), key_(key), writable_(writable) {
      ++store_.opens_;
      ++store_.openKeys_;
    }
    ~Key() override { --store_.openKeys_; }

    std::optional<StoredValue> Query(std::string_view name) const override {
      store_.readLog_.emplace_back(name);
      return key_.Value(name);
    }
    bool Set(std::string_view name, ValueType type, std::span<const unsigned char> data) override {
      if (!MayWrite(name)) return false;
      key_.values.insert_or_assign(Fold(name), StoredValue{type, {data.begin(), data.end()}});
      return true;
    }
    bool Remove(std::string_view name) override {
      if (!MayWrite(name)) return false;
      key_.values.erase(Fold(name));
      return true;
    }

   private:
    bool MayWrite(std::string_view name) {
      store_.writeLog_.emplace_back(name);
      return writable_ && !key_.refused.contains(Fold(name));
    }

    MemorySettingsBackend& store_;
    KeyData& key_;
    bool writable_;
  };

  // Names and paths compare as the registry compares them, ASCII letters folded; a path is
  // absolute whether or not it starts with a backslash.
  static std::string Fold(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
  }
  static std::string PathOf(std::string_view path) {
    while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    return Fold(path);
  }

  // Making a key makes every missing parent, as RegCreateKeyEx does.
  KeyData& Make(std::string_view path) {
    const std::string folded = PathOf(path);
    for (std::size_t cut = folded.find('\\'); cut != std::string::npos;
         cut = folded.find('\\', cut + 1)) {
      keys_.try_emplace(folded.substr(0, cut));
    }
    return keys_[folded];
  }

  std::map<std::string, KeyData> keys_;  // by folded path
  int opens_ = 0;
  int openKeys_ = 0;
  std::vector<std::string> readLog_;
  std::vector<std::string> writeLog_;
};

// Runs `save` against each way the key at `path` can refuse a writer (read-only, not to be
// opened at all): it raises nothing, opens nothing and writes nothing.
template <typename Save>
void ExpectNothingSaved(std::string_view path, Save save) {
  for (const auto refuse :
       {&MemorySettingsBackend::SetReadOnly, &MemorySettingsBackend::DenyAccess}) {
    MemorySettingsBackend backend;
    (backend.*refuse)(path);
    EXPECT_NO_THROW(save(backend));
    EXPECT_THAT(backend.writeLog(), ::testing::IsEmpty());
    EXPECT_EQ(backend.ValueCount(path), 0u);
    EXPECT_EQ(backend.opens(), 0);
  }
}

// A stored value of the given type holding the given bytes.
inline StoredValue Bytes(ValueType type, std::string_view bytes) {
  return {type, {bytes.begin(), bytes.end()}};
}

// Runs the call and returns the kind of ERegistryException it raised, failing if none.
template <typename Call>
ERegistryException Raised(Call call) {
  try {
    call();
  } catch (const ERegistryException& error) {
    return error;
  }
  ADD_FAILURE() << "no ERegistryException";
  return ERegistryException(ERegistryException::Kind::kReadFailed, "<none>");
}

}  // namespace vo
