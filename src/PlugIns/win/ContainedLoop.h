// The program's message pump, each turn under the plug-in guard, for every loop of the clock
// (its main loop and the modal loops of its boxes and dialogs): whatever plug-in code a
// message reaches and faults or hangs there costs that module its service and one error box,
// not the program. Boxes of faults met anywhere are shown at the start of a turn.
#pragma once

#include "support/win/MessagePump.h"

namespace vo::win {

class ContainedPump final : public MessagePump {
 public:
  TurnEnd Turn(MSG& message, Claim claim, void* context) override;

  // Runs after any turn that was cut short: the program's own frames of that turn were
  // dropped with the plug-in's, so what they would have reset on the way out must be reset
  // there. At most a few, each registered once.
  void OnAbandonedTurn(void (*mend)());

 private:
  static constexpr int kMostMenders = 4;
  void (*mend_[kMostMenders])() = {};
  int menders_ = 0;
};

// The main loop: runs until WM_QUIT.
void RunContainedMessageLoop();

}  // namespace vo::win
