#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "MemorySettingsStore.h"
#include "setting/Options.h"
#include "support/SettingsStore.h"

namespace vo {
namespace {

using ::testing::ElementsAre;
using Kind = ERegistryException::Kind;

constexpr std::string_view kKey = "\\Software\\Nodrell\\vo";

StoredValue Raw(ValueType type, std::vector<unsigned char> data) { return {type, std::move(data)}; }

StoredValue Bytes(ValueType type, std::string_view bytes) {
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
  return ERegistryException(Kind::kReadFailed, "<none>");
}

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

// --- Dialog options --------------------------------------------------------------------------

// The dialog's controls with their design-time values.
struct FakeColorOptions final : ColorOptionsView {
  bool active = true;
  std::array<Color, kAnchorCount> fore = {kYellow, kYellow, kYellow, kYellow};
  std::array<Color, kAnchorCount> back = {kBlack, kBlue, kFuchsia, kRed};

  bool Active() const override { return active; }
  void SetActive(bool value) override { active = value; }
  Color AnchorForeColor(int anchor) const override { return fore.at(anchor); }
  void SetAnchorForeColor(int anchor, Color color) override { fore.at(anchor) = color; }
  Color AnchorBackColor(int anchor) const override { return back.at(anchor); }
  void SetAnchorBackColor(int anchor, Color color) override { back.at(anchor) = color; }
  bool operator==(const FakeColorOptions& other) const {
    return active == other.active && fore == other.fore && back == other.back;
  }
};

struct FakeSignalOptions final : SignalOptionsView {
  bool useTelop = false;
  std::string telop = "%h時%m分です。";
  bool useWave = false;
  std::string wave = "sample.wav";
  int interval = 60;

  bool UseTelop() const override { return useTelop; }
  void SetUseTelop(bool use) override { useTelop = use; }
  std::string TelopText() const override { return telop; }
  void SetTelopText(std::string_view text) override { telop = text; }
  bool UseWaveFile() const override { return useWave; }
  void SetUseWaveFile(bool use) override { useWave = use; }
  std::string WaveFileText() const override { return wave; }
  void SetWaveFileText(std::string_view text) override { wave = text; }
  int Interval() const override { return interval; }
  void SetInterval(int minutes) override { interval = minutes; }
};

const std::vector<std::string> kColorOrder = {"Active",        "ForeColor0000", "ForeColor0600",
                                              "ForeColor1200", "ForeColor1800", "BackColor0000",
                                              "BackColor0600", "BackColor1200", "BackColor1800"};
const std::vector<std::string> kSignalOrder = {"useTelop", "Telop", "useWaveFile", "WaveFile",
                                               "Interval"};

void StoreColors(MemorySettingsBackend& backend, const FakeColorOptions& options) {
  backend.PutDword(kOptionsKeyPath, "Active", options.active);
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    backend.PutDword(kOptionsKeyPath, kColorOrder[1 + anchor], options.fore[anchor]);
    backend.PutDword(kOptionsKeyPath, kColorOrder[5 + anchor], options.back[anchor]);
  }
}

FakeColorOptions DistinctColors() {
  FakeColorOptions options;
  options.active = false;
  options.fore = {0x010101, 0x020202, 0x030303, 0x040404};
  options.back = {0x050505, 0x060606, 0x070707, 0x080808};
  return options;
}

TEST(Options, IntervalFromStoredMapsToTheThreeChoices) {
  const std::array<std::pair<int, int>, 12> cases = {{{10, 15},
                                                      {29, 15},
                                                      {30, 30},
                                                      {45, 30},
                                                      {59, 30},
                                                      {60, 60},
                                                      {120, 60},
                                                      {15, 15},
                                                      {0, 15},
                                                      {-5, 15},
                                                      {INT_MIN, 15},
                                                      {INT_MAX, 60}}};
  for (const auto& [stored, minutes] : cases)
    EXPECT_EQ(IntervalFromStored(stored), minutes) << stored;
}

TEST(Options, WithoutAnOptionsKeyLoadsChangeNothing) {
  MemorySettingsBackend backend;
  FakeColorOptions colors;
  FakeSignalOptions signal;
  EXPECT_NO_THROW(LoadColors(backend, colors));
  EXPECT_NO_THROW(LoadSignal(backend, signal));
  EXPECT_EQ(colors, FakeColorOptions{});
  EXPECT_EQ(signal.telop, "%h時%m分です。");
  EXPECT_EQ(signal.interval, 60);
  EXPECT_FALSE(backend.HasKey(kOptionsKeyPath));
}

TEST(Options, LoadColorsReadsEachAnchorInTableOrder) {
  MemorySettingsBackend backend;
  StoreColors(backend, DistinctColors());
  FakeColorOptions colors;
  LoadColors(backend, colors);
  EXPECT_EQ(colors, DistinctColors());
  EXPECT_EQ(backend.readLog(), kColorOrder);
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, LoadColorsStopsAtAMissingActiveWithNothingApplied) {
  MemorySettingsBackend backend;
  StoreColors(backend, DistinctColors());
  backend.Erase(kOptionsKeyPath, "Active");
  FakeColorOptions colors;
  const ERegistryException error = Raised([&] { LoadColors(backend, colors); });
  EXPECT_STREQ(error.what(), "'Active' の取得に失敗しました");
  EXPECT_EQ(colors, FakeColorOptions{});
  EXPECT_EQ(backend.opens(), 1);
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, LoadColorsKeepsWhatWasReadBeforeABadValue) {
  MemorySettingsBackend backend;
  StoreColors(backend, DistinctColors());
  backend.PutText(kOptionsKeyPath, "BackColor1200", "1");
  FakeColorOptions colors;
  EXPECT_EQ(Raised([&] { LoadColors(backend, colors); }).kind(), Kind::kBadType);
  FakeColorOptions expected = DistinctColors();
  expected.back[2] = kFuchsia;
  expected.back[3] = kRed;
  EXPECT_EQ(colors, expected);
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, LoadSignalWithoutTelopGivesAnEmptyTemplate) {
  MemorySettingsBackend backend;
  backend.PutDword(kOptionsKeyPath, "useTelop", 1);
  backend.PutDword(kOptionsKeyPath, "useWaveFile", 2);
  backend.PutText(kOptionsKeyPath, "WaveFile", "chime.wav");
  backend.PutDword(kOptionsKeyPath, "Interval", 45);
  FakeSignalOptions signal;
  EXPECT_NO_THROW(LoadSignal(backend, signal));
  EXPECT_TRUE(signal.useTelop);
  EXPECT_EQ(signal.telop, "");
  EXPECT_TRUE(signal.useWave);
  EXPECT_EQ(signal.wave, "chime.wav");
  EXPECT_EQ(signal.interval, 30);
  EXPECT_EQ(backend.readLog(), kSignalOrder);
}

TEST(Options, LoadSignalRaisesOnAnIntervalOfTheWrongType) {
  MemorySettingsBackend backend;
  backend.PutDword(kOptionsKeyPath, "useTelop", 1);
  backend.PutText(kOptionsKeyPath, "Telop", "x");
  backend.PutDword(kOptionsKeyPath, "useWaveFile", 0);
  backend.PutText(kOptionsKeyPath, "WaveFile", "");
  backend.PutText(kOptionsKeyPath, "Interval", "15");
  FakeSignalOptions signal;
  EXPECT_STREQ(Raised([&] { LoadSignal(backend, signal); }).what(),
               "'Interval' のﾃﾞｰﾀ型が不正です");
  EXPECT_EQ(signal.telop, "x");
  EXPECT_EQ(signal.wave, "");
  EXPECT_EQ(signal.interval, 60);
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, FirstSaveWritesAllFourteenValuesInOrderAndLoadsBack) {
  MemorySettingsBackend backend;
  FakeSignalOptions signal;
  signal.useTelop = true;
  signal.interval = 15;
  SaveColors(backend, DistinctColors());
  SaveSignal(backend, signal);

  std::vector<std::string> order = kColorOrder;
  order.insert(order.end(), kSignalOrder.begin(), kSignalOrder.end());
  EXPECT_EQ(backend.writeLog(), order);
  EXPECT_EQ(backend.ValueCount(kOptionsKeyPath), 14u);
  EXPECT_EQ(backend.GetDword(kOptionsKeyPath, "Interval"), 15);
  EXPECT_EQ(backend.Get(kOptionsKeyPath, "WaveFile"),
            Bytes(ValueType::kString, std::string_view("sample.wav\0", 11)));

  FakeColorOptions colors;
  FakeSignalOptions loaded;
  loaded.telop.clear();
  LoadColors(backend, colors);
  LoadSignal(backend, loaded);
  EXPECT_EQ(colors, DistinctColors());
  EXPECT_TRUE(loaded.useTelop);
  EXPECT_EQ(loaded.telop, "%h時%m分です。");
  EXPECT_EQ(loaded.interval, 15);
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, RefusedSaveStopsAtTheRefusedValue) {
  MemorySettingsBackend backend;
  backend.RefuseWrite(kOptionsKeyPath, "Telop");
  EXPECT_STREQ(Raised([&] { SaveSignal(backend, FakeSignalOptions{}); }).what(),
               "'Telop' の設定に失敗しました");
  EXPECT_THAT(backend.writeLog(), ElementsAre("useTelop", "Telop"));
  EXPECT_EQ(backend.ValueCount(kOptionsKeyPath), 1u);
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, SavesSkipAKeyThatCannotBeOpenedForWriting) {
  ExpectNothingSaved(kOptionsKeyPath, [](MemorySettingsBackend& backend) {
    SaveColors(backend, FakeColorOptions{});
    SaveSignal(backend, FakeSignalOptions{});
  });
}

struct FakeGeneralOptions final : GeneralOptionsView {
  bool stepAside = true;
  bool StepAside() const override { return stepAside; }
  void SetStepAside(bool value) override { stepAside = value; }
  bool fade = false;
  bool FadeUnderPointer() const override { return fade; }
  void SetFadeUnderPointer(bool value) override { fade = value; }
  int opacity = 100;
  int RestOpacity() const override { return opacity; }
  void SetRestOpacity(int value) override { opacity = value; }
  bool band = false;
  bool ReserveBand() const override { return band; }
  void SetReserveBand(bool value) override { band = value; }
};

TEST(Options, StepAsideMissingKeepsItsDefaultAndSavesBothWays) {
  MemorySettingsBackend backend;
  StoreColors(backend, DistinctColors());  // an options key from before the option existed
  FakeGeneralOptions general;
  EXPECT_NO_THROW(LoadGeneral(backend, general));
  EXPECT_TRUE(general.stepAside);
  for (const bool stepAside : {false, true}) {
    general.stepAside = stepAside;
    SaveGeneral(backend, general);
    EXPECT_EQ(backend.GetDword(kOptionsKeyPath, "StepAside"), stepAside ? 1 : 0);
    FakeGeneralOptions loaded;
    loaded.stepAside = !stepAside;
    LoadGeneral(backend, loaded);
    EXPECT_EQ(loaded.stepAside, stepAside);
  }
  backend.PutText(kOptionsKeyPath, "StepAside", "0");
  EXPECT_STREQ(Raised([&] { LoadGeneral(backend, general); }).what(),
               "'StepAside' のﾃﾞｰﾀ型が不正です");
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(Options, OutOfTheWayOptionsMissingKeepDefaultsRoundTripAndOpacityIsKeptInRange) {
  MemorySettingsBackend backend;
  StoreColors(backend, DistinctColors());
  FakeGeneralOptions general;
  LoadGeneral(backend, general);
  EXPECT_FALSE(general.fade);
  EXPECT_EQ(general.opacity, 100);
  EXPECT_FALSE(general.band);
  general.fade = true;
  general.opacity = 40;
  general.band = true;
  SaveGeneral(backend, general);
  FakeGeneralOptions loaded;
  LoadGeneral(backend, loaded);
  EXPECT_TRUE(loaded.fade);
  EXPECT_EQ(loaded.opacity, 40);
  EXPECT_TRUE(loaded.band);
  // A hand-edited opacity that would hide the strip, or more than whole.
  for (const auto& [stored, shown] : {std::pair{5, 30}, std::pair{-1, 30}, std::pair{900, 100}}) {
    backend.PutDword(kOptionsKeyPath, "RestOpacity", stored);
    LoadGeneral(backend, loaded);
    EXPECT_EQ(loaded.opacity, shown) << "a stored opacity of " << stored << " not kept in range";
  }
  // No key at all, as on a first run's Cancel: the edits give way to the defaults.
  loaded.stepAside = false;
  MemorySettingsBackend empty;
  LoadGeneral(empty, loaded);
  EXPECT_EQ((std::tuple{true, false, 100, false}),
            (std::tuple{loaded.stepAside, loaded.fade, loaded.opacity, loaded.band}))
      << "Cancel without an options key keeps the edits instead of the defaults";
}

}  // namespace
}  // namespace vo
