#include "Panel/win/Monitors.h"

#include <cstring>

namespace vo::win {
namespace {

ScreenArea AreaOf(const RECT& rect, bool primary = false) {
  return {rect.left, rect.top, rect.right, rect.bottom, primary};
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, RECT*, LPARAM param) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    reinterpret_cast<std::vector<ScreenArea>*>(param)->push_back(
        AreaOf(info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0));
  }
  return TRUE;
}

bool IsDesktopOrShell(HWND window) {
  if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  return std::strcmp(name, "Progman") == 0 || std::strcmp(name, "WorkerW") == 0;
}

}  // namespace

RECT MonitorRect(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return info.rcMonitor;
}

std::vector<ScreenArea> Monitors() {
  std::vector<ScreenArea> monitors;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  if (monitors.empty()) {
    monitors.push_back({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), true});
  }
  return monitors;
}

bool FullScreenOver(HWND strip) {
  const HWND front = GetForegroundWindow();
  if (!front || !IsWindowVisible(front) || IsIconic(front) || IsDesktopOrShell(front)) {
    return false;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(front, &process);
  if (process == GetCurrentProcessId()) return false;  // the strip's own dialogs
  RECT client{};
  if (!GetClientRect(front, &client)) return false;
  MapWindowPoints(front, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return Covers(AreaOf(client),
                AreaOf(MonitorRect(MonitorFromWindow(strip, MONITOR_DEFAULTTONEAREST))));
}

}  // namespace vo::win
