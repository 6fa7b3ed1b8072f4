// Loading and storing the settings dialog's options: the colour schedule, the time signal
// and the general page, each over a view of the controls that hold them.
#pragma once

#include <string>
#include <string_view>

#include "support/Color.h"
#include "support/SettingsStore.h"

namespace vo {

// Anchors 0..3 stand for 00:00, 06:00, 12:00 and 18:00.
inline constexpr int kAnchorCount = 4;

class ColorOptionsView {
 public:
  virtual ~ColorOptionsView() = default;
  virtual bool Active() const = 0;
  virtual void SetActive(bool active) = 0;
  virtual Color AnchorForeColor(int anchor) const = 0;
  virtual void SetAnchorForeColor(int anchor, Color color) = 0;
  virtual Color AnchorBackColor(int anchor) const = 0;
  virtual void SetAnchorBackColor(int anchor, Color color) = 0;
};

class SignalOptionsView {
 public:
  virtual ~SignalOptionsView() = default;
  virtual bool UseTelop() const = 0;
  virtual void SetUseTelop(bool use) = 0;
  virtual std::string TelopText() const = 0;
  virtual void SetTelopText(std::string_view text) = 0;
  virtual bool UseWaveFile() const = 0;
  virtual void SetUseWaveFile(bool use) = 0;
  virtual std::string WaveFileText() const = 0;
  virtual void SetWaveFileText(std::string_view text) = 0;
  // The interval choice in minutes: 15, 30 or 60.
  virtual int Interval() const = 0;
  virtual void SetInterval(int minutes) = 0;
};

inline constexpr bool kDefaultStepAside = true;

class GeneralOptionsView {
 public:
  virtual ~GeneralOptionsView() = default;
  // Whether the strip steps aside while a full-screen program covers its monitor.
  virtual bool StepAside() const = 0;
  virtual void SetStepAside(bool stepAside) = 0;
  // Whether the strip fades and lets input through while the pointer is on it.
  virtual bool FadeUnderPointer() const = 0;
  virtual void SetFadeUnderPointer(bool fade) = 0;
  // The strip's opacity at rest in percent, kept within 30..100.
  virtual int RestOpacity() const = 0;
  virtual void SetRestOpacity(int percent) = 0;
  // Whether the strip's band at the top of its monitor is kept free of maximised windows.
  virtual bool ReserveBand() const = 0;
  virtual void SetReserveBand(bool reserve) = 0;
};

// Loads apply each value as soon as it is read. A missing options key loads nothing without
// error; a bad value raises ERegistryException and leaves the values before it applied.
void LoadColors(SettingsBackend& backend, ColorOptionsView& view);
void LoadSignal(SettingsBackend& backend, SignalOptionsView& view);
// Saves create the key; one that cannot be opened is skipped, a refused write raises.
void SaveColors(SettingsBackend& backend, const ColorOptionsView& view);
void SaveSignal(SettingsBackend& backend, const SignalOptionsView& view);
// The general page came later: a value an older version never wrote, or no key at all, loads
// the option's default (so that Cancel goes back to it too); one of another type raises as
// above. An opacity out of range is brought into it.
void LoadGeneral(SettingsBackend& backend, GeneralOptionsView& view);
void SaveGeneral(SettingsBackend& backend, const GeneralOptionsView& view);

// The interval choice for a stored number: below 30 -> 15, 30..59 -> 30, 60 and more -> 60.
int IntervalFromStored(int stored);

}  // namespace vo
