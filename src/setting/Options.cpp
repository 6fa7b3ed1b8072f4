#include "setting/Options.h"

#include <array>

#include "Panel/PointerFade.h"

namespace vo {
namespace {

constexpr std::string_view kActiveValue = "Active";
constexpr std::array<std::string_view, kAnchorCount> kForeColorValues = {
    "ForeColor0000", "ForeColor0600", "ForeColor1200", "ForeColor1800"};
constexpr std::array<std::string_view, kAnchorCount> kBackColorValues = {
    "BackColor0000", "BackColor0600", "BackColor1200", "BackColor1800"};
constexpr std::string_view kUseTelopValue = "useTelop";
constexpr std::string_view kTelopValue = "Telop";
constexpr std::string_view kUseWaveFileValue = "useWaveFile";
constexpr std::string_view kWaveFileValue = "WaveFile";
constexpr std::string_view kIntervalValue = "Interval";
constexpr std::string_view kStepAsideValue = "StepAside";
constexpr std::string_view kFadeValue = "FadeUnderPointer";
constexpr std::string_view kRestOpacityValue = "RestOpacity";
constexpr std::string_view kReserveBandValue = "ReserveBand";

// The stored value, or the fallback for one an older version never wrote or a key that is
// not there; a value of another type raises.
template <class Read>
auto StoredOr(const SettingsAccessor& store, Read read, decltype(read()) fallback) {
  if (!store.IsOpen()) return fallback;
  try {
    return read();
  } catch (const ERegistryException& error) {
    if (error.kind() != ERegistryException::Kind::kReadFailed) throw;
    return fallback;
  }
}

}  // namespace

int IntervalFromStored(int stored) {
  // Three tests, the last one that holds wins.
  int minutes = 15;
  if (stored >= 30) minutes = 30;
  if (stored >= 60) minutes = 60;
  return minutes;
}

void LoadColors(SettingsBackend& backend, ColorOptionsView& view) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kOptionsKeyPath, false)) return;
  view.SetActive(store.ReadFlag(kActiveValue));
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    view.SetAnchorForeColor(anchor, store.ReadDword(kForeColorValues[anchor]));
  }
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    view.SetAnchorBackColor(anchor, store.ReadDword(kBackColorValues[anchor]));
  }
}

void LoadSignal(SettingsBackend& backend, SignalOptionsView& view) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kOptionsKeyPath, false)) return;
  view.SetUseTelop(store.ReadFlag(kUseTelopValue));
  view.SetTelopText(store.ReadText(kTelopValue));
  view.SetUseWaveFile(store.ReadFlag(kUseWaveFileValue));
  view.SetWaveFileText(store.ReadText(kWaveFileValue));
  view.SetInterval(IntervalFromStored(store.ReadDword(kIntervalValue)));
}

void SaveColors(SettingsBackend& backend, const ColorOptionsView& view) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kOptionsKeyPath, true)) return;
  store.WriteFlag(kActiveValue, view.Active());
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    store.WriteDword(kForeColorValues[anchor], view.AnchorForeColor(anchor));
  }
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    store.WriteDword(kBackColorValues[anchor], view.AnchorBackColor(anchor));
  }
}

void SaveSignal(SettingsBackend& backend, const SignalOptionsView& view) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kOptionsKeyPath, true)) return;
  store.WriteFlag(kUseTelopValue, view.UseTelop());
  store.WriteText(kTelopValue, view.TelopText());
  store.WriteFlag(kUseWaveFileValue, view.UseWaveFile());
  store.WriteText(kWaveFileValue, view.WaveFileText());
  store.WriteDword(kIntervalValue, view.Interval());
}

void LoadGeneral(SettingsBackend& backend, GeneralOptionsView& view) {
  SettingsAccessor store(backend);
  store.OpenSettingsKey(kOptionsKeyPath, false);
  auto flag = [&](std::string_view name, bool fallback) {
    return StoredOr(
        store, [&] { return store.ReadFlag(name); }, fallback);
  };
  view.SetStepAside(flag(kStepAsideValue, kDefaultStepAside));
  view.SetFadeUnderPointer(flag(kFadeValue, false));
  view.SetRestOpacity(RestOpacityFrom(StoredOr(
      store, [&] { return store.ReadDword(kRestOpacityValue); }, kMaxRestOpacity)));
  view.SetReserveBand(flag(kReserveBandValue, false));
}

void SaveGeneral(SettingsBackend& backend, const GeneralOptionsView& view) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kOptionsKeyPath, true)) return;
  store.WriteFlag(kStepAsideValue, view.StepAside());
  store.WriteFlag(kFadeValue, view.FadeUnderPointer());
  store.WriteDword(kRestOpacityValue, RestOpacityFrom(view.RestOpacity()));
  store.WriteFlag(kReserveBandValue, view.ReserveBand());
}

}  // namespace vo
