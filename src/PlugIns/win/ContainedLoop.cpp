#include "PlugIns/win/ContainedLoop.h"

#include "PlugIns/win/PlugIns.h"
#include "PlugIns/win/Quarantine.h"

namespace vo::win {
namespace {

// A timer message whose procedure was cut short: the timer goes with the module. (Under Wine
// the message carries a handle of the procedure, not its address, so DropsMessage cannot
// tell it in advance.)
void KillCutShortTimer(const MSG& message) {
  if (message.message == WM_TIMER && message.lParam != 0) KillTimer(message.hwnd, message.wParam);
}

}  // namespace

void RunContainedMessageLoop(Application& application, void (*onAbandonedTurn)()) {
  bool running = true;
  MSG message{};  // outside the turn, which may be cut short
  auto turn = [&] {
    // A box's own loop delivers messages too: it is shown inside the guard.
    ShowReportedFaults();
    message = MSG{};
    if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
      running = false;
      return;
    }
    if (!DropsMessage(message) && !application.PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    NoteClockProcedure();
  };
  while (running) {
    const Contained ended = GuardedCall(kNoModule, turn);
    if (ended.outcome == kCallReturned) continue;
    ReportFault(ended);
    KillCutShortTimer(message);
    onAbandonedTurn();
  }
}

}  // namespace vo::win
