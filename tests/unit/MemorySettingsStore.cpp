#include "MemorySettingsStore.h"

#include <algorithm>
#include <utility>

namespace vo {
namespace {

unsigned char FoldCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

class MemorySettingsBackend::Key final : public SettingsKey {
 public:
  Key(MemorySettingsBackend& store, std::string path, bool writable)
      : store_(store), path_(std::move(path)), writable_(writable) {
    ++store_.opens_;
  }
  ~Key() override { ++store_.closes_; }

  std::optional<StoredValue> Query(std::string_view name) const override {
    store_.readLog_.emplace_back(name);
    return store_.Get(path_, name);
  }

  bool Set(std::string_view name, ValueType type, std::span<const unsigned char> data) override {
    store_.writeLog_.emplace_back(name);
    KeyData* key = store_.Find(path_);
    if (!writable_ || !key || key->readOnly || key->refusedWrites.contains(name)) return false;
    key->values.insert_or_assign(std::string(name), StoredValue{type, {data.begin(), data.end()}});
    return true;
  }

  bool Remove(std::string_view name) override {
    store_.writeLog_.emplace_back(name);
    KeyData* key = store_.Find(path_);
    if (!writable_ || !key || key->readOnly || key->refusedWrites.contains(name)) return false;
    store_.Erase(path_, name);
    return true;
  }

 private:
  MemorySettingsBackend& store_;
  std::string path_;
  bool writable_;
};

bool MemorySettingsBackend::CaseInsensitiveLess::operator()(std::string_view a,
                                                            std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return FoldCase(static_cast<unsigned char>(x)) < FoldCase(static_cast<unsigned char>(y));
  });
}

std::string_view MemorySettingsBackend::Normalize(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return path;
}

MemorySettingsBackend::KeyData* MemorySettingsBackend::Find(std::string_view path) {
  const auto found = keys_.find(Normalize(path));
  return found == keys_.end() ? nullptr : &found->second;
}

const MemorySettingsBackend::KeyData* MemorySettingsBackend::Find(std::string_view path) const {
  const auto found = keys_.find(Normalize(path));
  return found == keys_.end() ? nullptr : &found->second;
}

MemorySettingsBackend::KeyData& MemorySettingsBackend::FindOrCreate(std::string_view path) {
  path = Normalize(path);
  // Creating a key creates every missing parent, as RegCreateKeyEx does.
  for (std::size_t cut = path.find('\\'); cut != std::string_view::npos;
       cut = path.find('\\', cut + 1)) {
    keys_.try_emplace(std::string(path.substr(0, cut)));
  }
  return keys_.try_emplace(std::string(path)).first->second;
}

std::unique_ptr<SettingsKey> MemorySettingsBackend::OpenKey(std::string_view path, bool create) {
  const KeyData* existing = Find(path);
  if (existing && existing->denied) return nullptr;
  if (create) {
    // Creation asks for full access, which a read-only key does not grant.
    if (existing && existing->readOnly) return nullptr;
    FindOrCreate(path);
    return std::make_unique<Key>(*this, std::string(Normalize(path)), true);
  }
  if (!existing) return nullptr;
  return std::make_unique<Key>(*this, std::string(Normalize(path)), !existing->readOnly);
}

void MemorySettingsBackend::CreateKey(std::string_view path) { FindOrCreate(path); }

bool MemorySettingsBackend::HasKey(std::string_view path) const { return Find(path) != nullptr; }

void MemorySettingsBackend::Put(std::string_view path, std::string_view name, StoredValue value) {
  FindOrCreate(path).values.insert_or_assign(std::string(name), std::move(value));
}

void MemorySettingsBackend::PutDword(std::string_view path, std::string_view name,
                                     std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  Put(path, name,
      StoredValue{
          ValueType::kDword,
          {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
           static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)}});
}

void MemorySettingsBackend::PutText(std::string_view path, std::string_view name,
                                    std::string_view text) {
  StoredValue value{ValueType::kString, {text.begin(), text.end()}};
  value.data.push_back(0);
  Put(path, name, std::move(value));
}

void MemorySettingsBackend::Erase(std::string_view path, std::string_view name) {
  if (KeyData* key = Find(path)) {
    const auto found = key->values.find(name);
    if (found != key->values.end()) key->values.erase(found);
  }
}

std::optional<StoredValue> MemorySettingsBackend::Get(std::string_view path,
                                                      std::string_view name) const {
  const KeyData* key = Find(path);
  if (!key) return std::nullopt;
  const auto found = key->values.find(name);
  if (found == key->values.end()) return std::nullopt;
  return found->second;
}

std::optional<std::int32_t> MemorySettingsBackend::GetDword(std::string_view path,
                                                            std::string_view name) const {
  const std::optional<StoredValue> value = Get(path, name);
  if (!value || value->type != ValueType::kDword || value->data.size() != 4) return std::nullopt;
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
  return static_cast<std::int32_t>(bits);
}

std::size_t MemorySettingsBackend::ValueCount(std::string_view path) const {
  const KeyData* key = Find(path);
  return key ? key->values.size() : 0;
}

void MemorySettingsBackend::RefuseWrite(std::string_view path, std::string_view name) {
  FindOrCreate(path).refusedWrites.emplace(name);
}

void MemorySettingsBackend::SetReadOnly(std::string_view path, bool readOnly) {
  FindOrCreate(path).readOnly = readOnly;
}

void MemorySettingsBackend::DenyAccess(std::string_view path, bool denied) {
  FindOrCreate(path).denied = denied;
}

void MemorySettingsBackend::ClearLogs() {
  readLog_.clear();
  writeLog_.clear();
}

}  // namespace vo
