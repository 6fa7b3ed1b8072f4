#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "MemorySettingsStore.h"
#include "setting/Options.h"

namespace vo {
namespace {

using ::testing::ElementsAre;
using Kind = ERegistryException::Kind;

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
  const auto values = [](const FakeGeneralOptions& o) {
    return std::tuple{o.stepAside, o.fade, o.opacity, o.band};
  };
  const std::tuple defaults{true, false, 100, false};
  MemorySettingsBackend backend;
  StoreColors(backend, DistinctColors());
  FakeGeneralOptions general;
  LoadGeneral(backend, general);
  EXPECT_EQ(values(general), defaults) << "options missing from an older key";
  general.fade = true;
  general.opacity = 40;
  general.band = true;
  SaveGeneral(backend, general);
  FakeGeneralOptions loaded;
  LoadGeneral(backend, loaded);
  EXPECT_EQ(values(loaded), values(general)) << "the options saved not loaded back";
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
  EXPECT_EQ(values(loaded), defaults)
      << "Cancel without an options key keeps the edits instead of the defaults";
}

}  // namespace
}  // namespace vo
