// Where the strip sits: its stored left edge and colours, and its place on the monitors as
// they come and go.
#include "Panel/Placement.h"
#include "Panel/win/ClockPanel.h"
#include "Panel/win/Monitors.h"
#include "support/Failure.h"
#include "support/win/RegistryStore.h"

namespace vo::win {

// The clock window as the stored position sees it.
class ClockPosition final : public PositionTarget {
 public:
  explicit ClockPosition(TClockPanel& clock) : clock_(clock) {}
  int Left() const override { return clock_.Left(); }
  void SetLeft(int left) override { clock_.SetLeft(left); }
  Color ForeColor() const override { return clock_.FForeColor; }
  Color BackColor() const override { return clock_.FBackColor; }
  void SetColors(Color fore, Color back) override { clock_.SetColors(fore, back); }

 private:
  TClockPanel& clock_;
};

void TClockPanel::LoadPlace() {
  RegistrySettingsBackend store;
  ClockPosition position(*this);
  LoadPosition(store, position);
}

void TClockPanel::SavePlace() {
  RegistrySettingsBackend store;
  ClockPosition position(*this);
  SavePosition(store, position);
}

void TClockPanel::SaveLastPlace() const {
  class LastPlace final : public PositionTarget {
   public:
    explicit LastPlace(const TClockPanel& clock) : clock_(clock) {}
    int Left() const override { return clock_.FLastLeft; }
    void SetLeft(int) override {}
    Color ForeColor() const override { return clock_.FForeColor; }
    Color BackColor() const override { return clock_.FBackColor; }
    void SetColors(Color, Color) override {}

   private:
    const TClockPanel& clock_;
  };
  // Nothing more can be done: the program is ending.
  IgnoringFailure([this] {
    RegistrySettingsBackend store;
    SavePosition(store, LastPlace(*this));
  });
}

RECT TClockPanel::Bounds() const {
  RECT bounds{};
  GetWindowRect(Handle(), &bounds);
  return bounds;
}

int TClockPanel::Left() const { return Bounds().left; }

void TClockPanel::SetLeft(int left) {
  SetWindowPos(Handle(), nullptr, left, Bounds().top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TClockPanel::MoveTo(StripPlace place) {
  FMonitorTop = place.top;
  SetWindowPos(Handle(), nullptr, place.left, place.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TClockPanel::ReplaceSoon() { SetTimer(Handle(), kReplaceTimerId, kReplaceDelay, nullptr); }

// A strip still wholly on a monitor stays where it is, so one whose monitor went and came
// back is moved once, not twice.
void TClockPanel::ReplaceOnAMonitor() {
  KillTimer(Handle(), kReplaceTimerId);
  FMonitors = Monitors();
  const RECT bounds = Bounds();
  const StripPlace place{bounds.left, bounds.top};
  const int width = bounds.right - bounds.left;
  if (OnAMonitor(place, width, FMonitors)) {
    FMonitorTop = place.top;
  } else {
    MoveTo(PlaceOnMonitor(place, width, FMonitors));
  }
  PlaceBand();  // the monitor, or the strip's height at a new DPI, may have changed
  CheckFullScreen();
}

}  // namespace vo::win
