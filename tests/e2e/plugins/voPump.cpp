// A test-only plug-in whose VpiEnable runs a message loop of its own for a while (VO_PUMP_MS
// milliseconds, 4000 by default), as a plug-in showing a window of its own at start-up does:
// the clock's first ticks then come during start-up, inside this call. With VO_PUMP_BLOCK set
// it handles no message meanwhile, as a plug-in busy with slow work at start-up does.
#include <windows.h>

#include <cstdlib>

#include "vo_plugin.h"

extern "C" {

void WINAPI VpiEnable(void) {
  char text[16] = "";
  const DWORD length = GetEnvironmentVariableA("VO_PUMP_MS", text, sizeof text);
  const ULONGLONG span =
      length > 0 && length < sizeof text ? std::strtoul(text, nullptr, 10) : 4000;
  if (GetEnvironmentVariableA("VO_PUMP_BLOCK", nullptr, 0) > 0) {
    Sleep(static_cast<DWORD>(span));
    return;
  }
  const ULONGLONG end = GetTickCount64() + span;
  while (GetTickCount64() < end) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

const char* WINAPI VpiDiscription(void) { return "pumps messages while it is enabled"; }

}  // extern "C"
