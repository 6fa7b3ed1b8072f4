// The tool a hint window shows its hint for, as both the clock and the settings dialog add
// them.
#pragma once

// The common controls header needs the system header before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace vo::win {

// A tool of `window` with the given id and flags, its text `text` (LPSTR_TEXTCALLBACKA: asked
// for as it shows) and its area `area` in the window's client pixels (none for a tool that is
// a window, TTF_IDISHWND).
inline TOOLINFOA HintTool(HWND window, UINT_PTR id, UINT flags, const char* text,
                          const RECT& area = {}) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = flags;
  tool.hwnd = window;
  tool.uId = id;
  tool.rect = area;
  tool.lpszText = const_cast<char*>(text);
  return tool;
}

}  // namespace vo::win
