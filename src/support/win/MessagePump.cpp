#include "support/win/MessagePump.h"

#include "support/win/Application.h"

namespace vo::win {
namespace {

MessagePump* installed = nullptr;

}  // namespace

void InstallMessagePump(MessagePump* pump) { installed = pump; }

TurnEnd RunTurn(MSG& message, Claim claim, void* context) {
  if (installed) return installed->Turn(message, claim, context);
  const TurnEnd end = TakeMessage(message);
  if (end == TurnEnd::kDelivered) DeliverMessage(message, claim, context);
  return end;
}

TurnEnd TakeMessage(MSG& message) {
  message = MSG{};
  const BOOL got = GetMessageA(&message, nullptr, 0, 0);
  if (got == -1) return TurnEnd::kFailed;
  return got == 0 ? TurnEnd::kQuit : TurnEnd::kDelivered;
}

void DeliverMessage(MSG& message, Claim claim, void* context) {
  if (claim && claim(message, context)) return;
  if (Application::Instance().PreTranslate(message)) return;
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

}  // namespace vo::win
