#include "PlugIns/win/ContainedLoop.h"

#include <string>
#include <vector>

#include "PlugIns/win/PlugIns.h"
#include "PlugIns/win/Quarantine.h"

namespace vo::win {
namespace {

// Texts of contained faults not shown yet: a fault is cut off at once, its box shown at the
// start of the next turn, inside the guard, since the box's own loop delivers messages too.
std::vector<std::string> unshownFaults;

void TakeOutOfServiceLater(const Contained& fault) {
  std::string message = TakeOutOfService(fault);
  if (!message.empty()) unshownFaults.push_back(std::move(message));
}

void ShowContainedFaults() {
  for (Contained fault = TakeThreadFault(); fault.culprit != kNoModule; fault = TakeThreadFault()) {
    TakeOutOfServiceLater(fault);
  }
  while (!unshownFaults.empty()) {
    const std::string message = std::move(unshownFaults.front());
    unshownFaults.erase(unshownFaults.begin());
    ShowApplicationError(message);
  }
}

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
    ShowContainedFaults();
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
    TakeOutOfServiceLater(ended);
    KillCutShortTimer(message);
    onAbandonedTurn();
  }
}

}  // namespace vo::win
