#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "MemorySettingsStore.h"
#include "support/Color.h"
#include "support/SettingsStore.h"

namespace vo {
namespace {

using ::testing::ElementsAre;
using Kind = ERegistryException::Kind;

constexpr std::string_view kKey = "\\Software\\Nodrell\\vo";

StoredValue Raw(ValueType type, std::vector<unsigned char> data) { return {type, std::move(data)}; }

// --- Reading ---------------------------------------------------------------------------------

// A stored value (or none) and what reading it must give: a value, or an error of `kind`.
template <typename T>
struct ReadCase {
  const char* label;
  std::optional<StoredValue> stored;
  std::optional<T> value;
  Kind kind = Kind::kBadType;
};

// Reads each case's value, stored as `name` in kKey, through an accessor with the key open.
template <typename T, typename Read>
void ExpectReads(std::string_view name, const std::vector<ReadCase<T>>& cases, Read read) {
  for (const ReadCase<T>& c : cases) {
    SCOPED_TRACE(c.label);
    MemorySettingsBackend backend;
    backend.CreateKey(kKey);
    if (c.stored) backend.Put(kKey, name, *c.stored);
    SettingsAccessor store(backend);
    ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
    if (c.value) {
      EXPECT_EQ(read(store), *c.value);
    } else {
      const ERegistryException error = Raised([&] { read(store); });
      EXPECT_EQ(error.kind(), c.kind);
      EXPECT_EQ(error.valueName(), name);
    }
  }
}

TEST(SettingsAccessor, ReadDwordFollowsTheFailureTable) {
  const std::vector<ReadCase<std::int32_t>> cases = {
      {"plain", Raw(ValueType::kDword, {0x78, 0x56, 0x34, 0x12}), 0x12345678, {}},
      {"negative", Raw(ValueType::kDword, {0xD8, 0xFF, 0xFF, 0xFF}), -40, {}},
      {"missing", std::nullopt, std::nullopt, Kind::kReadFailed},
      {"dword of 8 bytes", Raw(ValueType::kDword, {1, 0, 0, 0, 0, 0, 0, 0}), std::nullopt,
       Kind::kReadFailed},
      {"qword", Raw(ValueType::kQword, {1, 0, 0, 0, 0, 0, 0, 0}), std::nullopt, Kind::kReadFailed},
      {"short REG_SZ", Bytes(ValueType::kString, std::string_view("12\0", 3)), std::nullopt,
       Kind::kBadType},
      {"REG_SZ of 4 bytes", Bytes(ValueType::kString, std::string_view("293\0", 4)), std::nullopt,
       Kind::kBadType},
      // Longer than the 4-byte buffer fails the read before the type is looked at.
      {"REG_SZ of 5 bytes", Bytes(ValueType::kString, std::string_view("1234\0", 5)), std::nullopt,
       Kind::kReadFailed},
      {"binary of 4 bytes", Raw(ValueType::kBinary, {1, 0, 0, 0}), std::nullopt, Kind::kBadType},
      {"dword of 2 bytes", Raw(ValueType::kDword, {1, 0}), std::nullopt, Kind::kReadFailed},
      {"dword of 0 bytes", Raw(ValueType::kDword, {}), std::nullopt, Kind::kReadFailed},
      {"unknown type", Raw(static_cast<ValueType>(0x1234), {1, 0, 0, 0}), std::nullopt,
       Kind::kBadType},
  };
  ExpectReads("Left", cases, [](const SettingsAccessor& store) { return store.ReadDword("Left"); });
}

TEST(SettingsAccessor, FlagIsTrueForAnyNonZeroNumber) {
  MemorySettingsBackend backend;
  const std::array<std::pair<std::int32_t, bool>, 4> cases = {
      {{0, false}, {1, true}, {2, true}, {-1, true}}};
  for (const auto& [stored, expected] : cases) {
    backend.PutDword(kKey, "Active", stored);
    SettingsAccessor store(backend);
    ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
    EXPECT_EQ(store.ReadFlag("Active"), expected) << stored;
  }
  SettingsAccessor store(backend);
  ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
  EXPECT_EQ(Raised([&] { store.ReadFlag("Missing"); }).kind(), Kind::kReadFailed);
}

TEST(SettingsAccessor, ReadTextStopsAtTheFirstNulOrTheEndOfData) {
  const std::vector<ReadCase<std::string>> cases = {
      {"terminated", Bytes(ValueType::kString, std::string_view("abc\0", 4)), "abc"},
      {"expand string", Bytes(ValueType::kExpandString, std::string_view("%h\0", 3)), "%h"},
      {"no terminator", Bytes(ValueType::kString, "abc"), "abc"},
      {"data after the NUL", Bytes(ValueType::kString, std::string_view("ab\0cd\0", 6)), "ab"},
      {"only a NUL", Bytes(ValueType::kString, std::string_view("\0", 1)), ""},
      {"zero length", Raw(ValueType::kString, {}), ""},
      {"zero-length dword", Raw(ValueType::kDword, {}), ""},
      {"missing", std::nullopt, ""},
      {"shift_jis", Bytes(ValueType::kString, "%h時%m分です。"), "%h時%m分です。"},
      {"dword", Raw(ValueType::kDword, {1, 0, 0, 0}), std::nullopt},
      {"multi string", Bytes(ValueType::kMultiString, std::string_view("a\0\0", 3)), std::nullopt},
      {"binary", Raw(ValueType::kBinary, {'a', 0}), std::nullopt},
  };
  ExpectReads("Telop", cases,
              [](const SettingsAccessor& store) { return store.ReadText("Telop"); });
}

// --- Messages --------------------------------------------------------------------------------

TEST(ERegistryException, MessageNamesTheValueInShiftJis) {
  EXPECT_STREQ(ERegistryException(Kind::kReadFailed, "Left").what(), "'Left' の取得に失敗しました");
  EXPECT_STREQ(ERegistryException(Kind::kBadType, "Active").what(), "'Active' のﾃﾞｰﾀ型が不正です");
  EXPECT_STREQ(ERegistryException(Kind::kWriteFailed, "ForeColor").what(),
               "'ForeColor' の設定に失敗しました");
  // A value name with a "%s" of its own is placed, not expanded again.
  EXPECT_STREQ(ERegistryException(Kind::kReadFailed, "%s").what(), "'%s' の取得に失敗しました");
}

// --- Writing ---------------------------------------------------------------------------------

TEST(SettingsAccessor, WritesUseTheStoredEncodings) {
  MemorySettingsBackend backend;
  {
    SettingsAccessor store(backend);
    ASSERT_TRUE(store.OpenSettingsKey(kKey, true));
    store.WriteDword("Left", -40);
    store.WriteFlag("On", true);
    store.WriteFlag("Off", false);
    store.WriteText("Telop", "%h時");
    store.WriteText("Empty", "");
    store.WriteText("Cut", std::string_view("ab\0cd", 5));
  }
  EXPECT_EQ(backend.Get(kKey, "Left"), Raw(ValueType::kDword, {0xD8, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(backend.Get(kKey, "On"), Raw(ValueType::kDword, {1, 0, 0, 0}));
  EXPECT_EQ(backend.Get(kKey, "Off"), Raw(ValueType::kDword, {0, 0, 0, 0}));
  EXPECT_EQ(backend.Get(kKey, "Telop"),
            Bytes(ValueType::kString, std::string_view("%h\x8E\x9E\0", 5)));
  EXPECT_EQ(backend.Get(kKey, "Empty"), Raw(ValueType::kString, {0}));
  EXPECT_EQ(backend.Get(kKey, "Cut"), Bytes(ValueType::kString, std::string_view("ab\0", 3)));
}

TEST(SettingsAccessor, WrittenValuesReadBack) {
  MemorySettingsBackend backend;
  SettingsAccessor store(backend);
  ASSERT_TRUE(store.OpenSettingsKey(kKey, true));
  for (const std::int32_t value : {0, 1, -1, 293, INT_MIN, INT_MAX, 0x00FF00FF}) {
    store.WriteDword("Left", value);
    EXPECT_EQ(store.ReadDword("Left"), value);
  }
  store.WriteText("WaveFile", "C:\\音\\sample.wav");
  EXPECT_EQ(store.ReadText("WaveFile"), "C:\\音\\sample.wav");
}

TEST(SettingsAccessor, RefusedWriteRaisesAndLeavesTheOldValue) {
  MemorySettingsBackend backend;
  backend.PutDword(kKey, "ForeColor", kYellow);
  backend.RefuseWrite(kKey, "ForeColor");
  SettingsAccessor store(backend);
  ASSERT_TRUE(store.OpenSettingsKey(kKey, true));
  const ERegistryException error = Raised([&] { store.WriteDword("ForeColor", kRed); });
  EXPECT_EQ(error.kind(), Kind::kWriteFailed);
  EXPECT_STREQ(error.what(), "'ForeColor' の設定に失敗しました");
  EXPECT_EQ(backend.GetDword(kKey, "ForeColor"), kYellow);
  EXPECT_EQ(Raised([&] { store.WriteText("ForeColor", "x"); }).kind(), Kind::kWriteFailed);
}

// --- Opening and closing ---------------------------------------------------------------------

TEST(SettingsAccessor, OpenWithoutCreateNeverMakesTheKey) {
  MemorySettingsBackend backend;
  SettingsAccessor store(backend);
  EXPECT_FALSE(store.OpenSettingsKey(kOptionsKeyPath, false));
  EXPECT_FALSE(store.IsOpen());
  EXPECT_FALSE(backend.HasKey(kOptionsKeyPath));
  EXPECT_EQ(backend.opens(), 0);
}

TEST(SettingsAccessor, OpenWithCreateMakesTheKeyAndItsParents) {
  MemorySettingsBackend backend;
  SettingsAccessor store(backend);
  EXPECT_TRUE(store.OpenSettingsKey(kOptionsKeyPath, true));
  EXPECT_TRUE(backend.HasKey("\\Software"));
  EXPECT_TRUE(backend.HasKey(kClockKeyPath));
  EXPECT_TRUE(backend.HasKey(kOptionsKeyPath));
  EXPECT_EQ(backend.ValueCount(kOptionsKeyPath), 0u);  // defaults are not written by themselves
}

TEST(SettingsAccessor, ReadOnlyKeyOpensForReadingOnly) {
  MemorySettingsBackend backend;
  backend.PutDword(kKey, "Left", 12);
  backend.SetReadOnly(kKey);
  SettingsAccessor store(backend);
  EXPECT_FALSE(store.OpenSettingsKey(kKey, true));
  ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
  EXPECT_EQ(store.ReadDword("Left"), 12);
  EXPECT_EQ(Raised([&] { store.WriteDword("Left", 1); }).kind(), Kind::kWriteFailed);

  backend.DenyAccess(kKey);
  EXPECT_FALSE(store.OpenSettingsKey(kKey, false));
  EXPECT_FALSE(store.OpenSettingsKey(kKey, true));
}

TEST(SettingsAccessor, KeyIsClosedOnEveryPath) {
  MemorySettingsBackend backend;
  backend.CreateKey(kKey);
  {
    SettingsAccessor store(backend);
    ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
    ASSERT_TRUE(store.OpenSettingsKey(kKey, false));  // reopening closes the first
    EXPECT_EQ(backend.openKeys(), 1);
    EXPECT_THROW(store.ReadDword("Missing"), ERegistryException);
  }
  EXPECT_EQ(backend.opens(), 2);
  EXPECT_EQ(backend.openKeys(), 0);

  SettingsAccessor store(backend);
  ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
  store.CloseSettingsKey();
  EXPECT_EQ(backend.openKeys(), 0);
  // Nothing open reads as missing and refuses writes.
  EXPECT_EQ(Raised([&] { store.ReadDword("Left"); }).kind(), Kind::kReadFailed);
  EXPECT_EQ(store.ReadText("Telop"), "");
  EXPECT_EQ(Raised([&] { store.WriteDword("Left", 1); }).kind(), Kind::kWriteFailed);
}

TEST(MemorySettingsBackend, NamesAndPathsIgnoreCaseAsTheRegistryDoes) {
  MemorySettingsBackend backend;
  backend.PutDword("Software\\NODRELL\\vo", "LEFT", 7);
  SettingsAccessor store(backend);
  ASSERT_TRUE(store.OpenSettingsKey(kKey, false));
  EXPECT_EQ(store.ReadDword("left"), 7);
  store.WriteDword("Left", 8);
  EXPECT_EQ(backend.ValueCount(kKey), 1u);
}

}  // namespace
}  // namespace vo
