#include "support/SettingsStore.h"

#include <algorithm>
#include <array>

#include "support/TextSlot.h"
#include "support/Texts.h"

namespace vo {
namespace {

constexpr std::size_t kDwordSize = 4;

std::string_view TemplateOf(ERegistryException::Kind kind) {
  switch (kind) {
    case ERegistryException::Kind::kReadFailed:
      return texts::kReadFailedText;
    case ERegistryException::Kind::kBadType:
      return texts::kBadTypeText;
    case ERegistryException::Kind::kWriteFailed:
      return texts::kWriteFailedText;
  }
  return texts::kReadFailedText;
}

std::string FormatMessage(ERegistryException::Kind kind, std::string_view valueName) {
  return WithSlotFilled(TemplateOf(kind), valueName);
}

bool IsStringType(ValueType type) {
  return type == ValueType::kString || type == ValueType::kExpandString;
}

}  // namespace

ERegistryException::ERegistryException(Kind kind, std::string_view valueName)
    : Failure(FormatMessage(kind, valueName)), kind_(kind), valueName_(valueName) {}

bool SettingsAccessor::OpenSettingsKey(std::string_view path, bool create) {
  CloseSettingsKey();
  key_ = backend_.OpenKey(path, create);
  return key_ != nullptr;
}

void SettingsAccessor::CloseSettingsKey() { key_.reset(); }

std::optional<StoredValue> SettingsAccessor::Query(std::string_view name) const {
  if (!key_) return std::nullopt;
  return key_->Query(name);
}

void SettingsAccessor::Set(std::string_view name, ValueType type,
                           std::span<const unsigned char> data) {
  if (!key_ || !key_->Set(name, type, data)) {
    throw ERegistryException(ERegistryException::Kind::kWriteFailed, name);
  }
}

void SettingsAccessor::DeleteValue(std::string_view name) {
  if (!key_ || !key_->Remove(name)) {
    throw ERegistryException(ERegistryException::Kind::kWriteFailed, name);
  }
}

std::int32_t SettingsAccessor::ReadDword(std::string_view name) const {
  using Kind = ERegistryException::Kind;
  const std::optional<StoredValue> value = Query(name);
  // Too long for the 4-byte buffer counts as a failed read before the type is looked at.
  if (!value || value->data.size() > kDwordSize) throw ERegistryException(Kind::kReadFailed, name);
  if (value->type != ValueType::kDword) throw ERegistryException(Kind::kBadType, name);
  // A truncated DWORD would leave bytes undefined: refuse it rather than guess.
  if (value->data.size() < kDwordSize) throw ERegistryException(Kind::kReadFailed, name);

  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < kDwordSize; ++i) {
    bits |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
  }
  return static_cast<std::int32_t>(bits);
}

std::optional<StoredValue> SettingsAccessor::QueryText(std::string_view name) const {
  std::optional<StoredValue> value = Query(name);
  if (!value || value->data.empty()) return std::nullopt;
  if (!IsStringType(value->type)) {
    throw ERegistryException(ERegistryException::Kind::kBadType, name);
  }
  return value;
}

std::string SettingsAccessor::ReadText(std::string_view name) const {
  const std::optional<StoredValue> value = QueryText(name);
  if (!value) return {};
  // Stored strings need not end in NUL: stop at the first one or at the end of the data.
  const auto& data = value->data;
  const auto end = std::find(data.begin(), data.end(), static_cast<unsigned char>(0));
  return std::string(data.begin(), end);
}

std::u16string SettingsAccessor::ReadWideText(std::string_view name) const {
  const std::optional<StoredValue> value = QueryText(name);
  if (!value) return {};
  // As above, in whole code units; an odd last byte is no character.
  std::u16string text;
  for (std::size_t i = 0; i + 1 < value->data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(value->data[i] | value->data[i + 1] << 8);
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

void SettingsAccessor::WriteDword(std::string_view name, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  const std::array<unsigned char, kDwordSize> data = {
      static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
      static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
  Set(name, ValueType::kDword, data);
}

void SettingsAccessor::WriteText(std::string_view name, std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<unsigned char> data(text.begin(), text.end());
  data.push_back(0);
  Set(name, ValueType::kString, data);
}

void SettingsAccessor::WriteWideText(std::string_view name, std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  std::vector<unsigned char> data;
  for (const char16_t unit : text) {
    data.push_back(static_cast<unsigned char>(unit));
    data.push_back(static_cast<unsigned char>(unit >> 8));
  }
  data.insert(data.end(), 2, 0);
  Set(name, ValueType::kString, data);
}

}  // namespace vo
