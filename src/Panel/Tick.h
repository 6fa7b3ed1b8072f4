// The order of one 50 ms tick of the clock window. The window implements ClockSurface;
// RunTick holds the sequence, so it can be checked against a fake surface.
#pragma once

#include <cstdint>
#include <string>

#include "support/DateFormat.h"
#include "support/DateTime.h"

namespace vo {

inline constexpr const char* kDatePattern = "yy/mm/dd";
inline constexpr const char* kTimePattern = "hh:nn";

class ClockSurface {
 public:
  virtual ~ClockSurface() = default;

  virtual int WindowTop() const = 0;
  virtual void SetWindowTop(int top) = 0;
  // Whether the strip is the top-most window of the desktop.
  virtual bool IsOnTop() const = 0;
  // Puts the strip back above every other window without moving or activating it.
  virtual void RaiseToTop() = 0;

  virtual DateTime Now() = 0;
  // Whether anybody can see the strip (Sight.h): unseen, a tick keeps nothing on top and
  // draws nothing, but the minute's work and the plug-ins' notices run as ever.
  virtual bool Seen() const = 0;

  virtual bool TelopVisible() const = 0;
  // Moves the telop one step and draws the frame (while seen).
  virtual void AdvanceTelop() = 0;
  virtual void HideTelop() = 0;

  virtual const std::string& DateCaption() const = 0;
  virtual void SetDateCaption(const std::string& caption) = 0;
  virtual const std::string& TimeCaption() const = 0;
  virtual void SetTimeCaption(const std::string& caption) = 0;

  // Once per change of the shown minute: the settings' per-minute check, then the
  // plug-ins' minute notification.
  virtual void CheckTime(DateTime now) = 0;
  virtual void NotifyMinute(DateTime now) = 0;

  virtual void DrawSecBar(std::uint16_t second, std::uint16_t millisecond) = 0;
  // Every tick, telop or not: the plug-ins' tick notification.
  virtual void NotifyTick(DateTime now) = 0;
};

void RunTick(ClockSurface& clock, const FormatSettings& format);

}  // namespace vo
