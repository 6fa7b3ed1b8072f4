#include "Panel/win/ExitBox.h"

#include <utility>

#include "Panel/win/Monitors.h"
#include "forms/ClockForm.h"
#include "support/win/FormDialog.h"

namespace vo::win {

namespace form = vo::forms::clock;

namespace {

// The exit confirmation's Cancel button carries the program's own caption.
HHOOK confirmHook = nullptr;
LRESULT CALLBACK ConfirmHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    SetDlgItemTextA(box, IDCANCEL, form::kCancelButton);
    // Centred on the clock's monitor: the whole screen when there is one.
    CentreIn(box,
             MonitorRect(MonitorFromWindow(GetWindow(box, GW_OWNER), MONITOR_DEFAULTTOPRIMARY)));
    UnhookWindowsHookEx(std::exchange(confirmHook, nullptr));
    return 0;
  }
  return CallNextHookEx(confirmHook, code, wParam, lParam);
}

}  // namespace

bool ConfirmExit(HWND clock) {
  confirmHook = SetWindowsHookExA(WH_CBT, ConfirmHook, nullptr, GetCurrentThreadId());
  const int answer = MessageBoxA(clock, form::kExitQuestion, form::kExitCaption,
                                 MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
  if (confirmHook) UnhookWindowsHookEx(std::exchange(confirmHook, nullptr));
  return answer == IDOK;
}

}  // namespace vo::win
