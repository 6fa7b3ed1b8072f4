#include "Panel/Tick.h"

namespace vo {

namespace {

void KeepOnTop(ClockSurface& clock) {
  if (clock.WindowTop() < 0) clock.SetWindowTop(0);
  if (!clock.IsOnTop()) clock.RaiseToTop();
}

// A telop lasts until the minute it began in is over.
void ScrollTelop(ClockSurface& clock, DateTime now, const FormatSettings& format) {
  clock.AdvanceTelop();
  if (FormatStamp(kTimePattern, now, format) != clock.TimeCaption()) clock.HideTelop();
}

void RefreshLabels(ClockSurface& clock, DateTime now, const FormatSettings& format) {
  const std::string date = FormatStamp(kDatePattern, now, format);
  if (date != clock.DateCaption()) clock.SetDateCaption(date);

  // The shown text alone tells a new minute, whichever way the clock jumped.
  const std::string time = FormatStamp(kTimePattern, now, format);
  if (time != clock.TimeCaption()) {
    clock.SetTimeCaption(time);
    clock.CheckTime(now);
    clock.NotifyMinute(now);
  }
}

}  // namespace

void RunTick(ClockSurface& clock, const FormatSettings& format) {
  const bool seen = clock.Seen();
  if (seen) KeepOnTop(clock);

  const DateTime now = clock.Now();
  const TimeParts parts = SplitTime(now);

  if (clock.TelopVisible()) ScrollTelop(clock, now, format);
  if (!clock.TelopVisible()) {
    RefreshLabels(clock, now, format);
    if (seen) clock.DrawSecBar(parts.second, parts.millisecond);
  }
  clock.NotifyTick(now);
}

}  // namespace vo
