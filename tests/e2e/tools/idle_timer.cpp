// The yardstick for the benchmarks: a window that does nothing but take a 50 ms timer, the
// clock's heartbeat without any of its work. Hidden by default; with "show" it is a topmost
// 102 x 21 strip at 293, 0 painted yellow, the empty program the clock's start-up is measured
// against. Runs until closed, or for the number of seconds given as its last argument.
//   idle_timer.exe [show] [seconds]
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kStopTimer = 2;

LRESULT CALLBACK IdleProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kStopTimer) DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window, &paint);
      const HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
      FillRect(dc, &paint.rcPaint, yellow);
      DeleteObject(yellow);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const bool show = std::strncmp(commandLine, "show", 4) == 0;
  if (show) commandLine += 4;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = IdleProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "voIdleTimer";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | (show ? WS_EX_TOPMOST : 0), "voIdleTimer",
                                "idle", WS_POPUP, show ? 293 : 0, 0, show ? 102 : 1, show ? 21 : 1,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  if (show) ShowWindow(window, SW_SHOWNOACTIVATE);
  SetTimer(window, kTickTimer, 50, nullptr);
  const long seconds = std::strtol(commandLine, nullptr, 10);
  if (seconds > 0) SetTimer(window, kStopTimer, static_cast<UINT>(seconds * 1000), nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
