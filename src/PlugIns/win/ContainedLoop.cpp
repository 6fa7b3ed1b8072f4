#include "PlugIns/win/ContainedLoop.h"

#include "PlugIns/win/PlugInHost.h"

namespace vo::win {
namespace {

// A timer message whose procedure was cut short: the timer goes with the module. (Under Wine
// the message carries a handle of the procedure, not its address, so DropsMessage cannot
// tell it in advance.)
void KillCutShortTimer(const MSG& message) {
  if (message.message == WM_TIMER && message.lParam != 0) KillTimer(message.hwnd, message.wParam);
}

}  // namespace

TurnEnd ContainedPump::Turn(MSG& message, Claim claim, void* context) {
  TurnEnd end = TurnEnd::kDelivered;
  PlugInHost& host = Host();
  auto turn = [&] {
    // A box's own loop delivers messages too: it is shown inside the guard.
    host.ShowReportedFaults();
    end = TakeMessage(message);
    if (end == TurnEnd::kDelivered && !host.Quarantined().DropsMessage(message)) {
      DeliverMessage(message, claim, context);
    }
    host.Quarantined().NoteClockProcedure();
  };
  const Contained ended = GuardedCall(kNoModule, turn);
  if (ended.outcome != kCallReturned) {
    host.ReportFault(ended);
    KillCutShortTimer(message);
    for (int i = 0; i < menders_; ++i) mend_[i]();
  }
  return end;
}

void ContainedPump::OnAbandonedTurn(void (*mend)()) {
  if (menders_ < kMostMenders) mend_[menders_++] = mend;
}

void RunContainedMessageLoop() {
  MSG message{};  // outside the turn, which may be cut short
  while (RunTurn(message) == TurnEnd::kDelivered) {
  }
}

}  // namespace vo::win
