// The yardstick for the idle CPU benchmark: a hidden window that does nothing but take a
// 50 ms timer, the clock's heartbeat without any of its work. Runs until closed, or for the
// number of seconds given as its argument.
#include <windows.h>

#include <cstdlib>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kStopTimer = 2;

LRESULT CALLBACK IdleProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kStopTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = IdleProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "voIdleTimer";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "voIdleTimer", "idle", WS_POPUP, 0, 0, 1, 1,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  SetTimer(window, kTickTimer, 50, nullptr);
  const long seconds = std::strtol(commandLine, nullptr, 10);
  if (seconds > 0) SetTimer(window, kStopTimer, static_cast<UINT>(seconds * 1000), nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
