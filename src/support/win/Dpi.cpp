#include "support/win/Dpi.h"

#include "support/win/Handles.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {
namespace {

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);

GetDpiForWindowCall FindGetDpiForWindow() {
  const HMODULE user = GetModuleHandleA("user32.dll");
  if (!user) return nullptr;
  return ProcAddress<GetDpiForWindowCall>(user, "GetDpiForWindow");
}

}  // namespace

DpiScale ScaleOf(HWND window) {
  static const GetDpiForWindowCall getDpiForWindow = FindGetDpiForWindow();
  if (window && getDpiForWindow) return DpiScale(static_cast<int>(getDpiForWindow(window)));
  WindowDC screen(nullptr);
  return DpiScale(screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
}

}  // namespace vo::win
