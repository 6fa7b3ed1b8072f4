// Every message loop of the program runs its turns through one pump, the modal loops of its
// boxes and dialogs included: what a turn needs (the modeless dialogs' keys, and what the
// program installs around each turn) happens in every loop alike.
#pragma once

#include <windows.h>

namespace vo::win {

enum class TurnEnd { kDelivered, kQuit, kFailed };

// A loop's own first claim on a message (a modal dialog's keys); true if it consumed it.
using Claim = bool (*)(MSG& message, void* context);

class MessagePump {
 public:
  // Takes the next message into `message` and delivers it; kQuit leaves WM_QUIT there.
  virtual TurnEnd Turn(MSG& message, Claim claim, void* context) = 0;

 protected:
  ~MessagePump() = default;
};

// The pump every loop uses from now on; without one, turns are plain.
void InstallMessagePump(MessagePump* pump);
TurnEnd RunTurn(MSG& message, Claim claim = nullptr, void* context = nullptr);

// The two halves of a plain turn, for a pump to run inside whatever it adds.
TurnEnd TakeMessage(MSG& message);
void DeliverMessage(MSG& message, Claim claim, void* context);

}  // namespace vo::win
