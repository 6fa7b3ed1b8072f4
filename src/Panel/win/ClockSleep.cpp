// Asleep while nobody sees the strip: nothing is drawn, and unless a plug-in wants every tick
// the 50 ms timer gives way to one at each minute's start, where the minute's work runs.
#include "Panel/win/ClockPanel.h"

namespace vo::win {

namespace form = vo::forms::clock;

void TClockPanel::OnSightChange(SightChange change) {
  if (!FSight.Apply(change)) return;
  if (Seen()) {
    Wake();
  } else {
    DestroyHints();
    ScheduleTick();
  }
}

// The tick runs at once, owing what the sleep left out: the strip shows what it would have
// shown had it never slept, and is on top again.
void TClockPanel::Wake() {
  FSecBar.Reset();  // drawn in the colours of now
  InvalidateRect(Handle(), nullptr, FALSE);
  Timer1Timer();
  ScheduleTick();
}

void TClockPanel::ScheduleTick() {
  if (Seen() || (FPlugIns && FPlugIns->WantsEveryTick())) {
    if (FAsleep) SetTolerantTimer(Handle(), kTimerId, form::kTimerInterval, kTickTolerance);
    FAsleep = false;
    return;
  }
  // Set again after each minute's tick; one that came early just sets it again for the rest.
  FAsleep = true;
  SetTimer(Handle(), kTimerId, DelayToNextMinute(Now()), nullptr);
}

void TClockPanel::CatchUpTelop(std::uint64_t at) {
  for (int step = MissedTicks(at - FLastTickAt, form::kTimerInterval); step > 0; --step) {
    FTelop.Step(FTelopWidth, FLayout.pnlClock.width, FLayout.scale);
  }
}

}  // namespace vo::win
