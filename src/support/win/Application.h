// The application object: the hidden top-level window titled "vo" that owns the other
// windows (so the program has no taskbar button), the keys of its dialogs, and the error box
// every handler reports its failures in.
#pragma once

#include <windows.h>

#include <string_view>

#include "support/DateFormat.h"

namespace vo::win {

inline constexpr const char* kApplicationTitle = "vo";
// Sent to a registered dialog for Ctrl+Tab (wParam 1) and Ctrl+Shift+Tab (wParam 0): a dialog
// with pages turns to the next or the previous one.
inline constexpr UINT kTurnPageMessage = WM_APP + 1;

class Application {
 public:
  static Application& Instance();

  // Creates the hidden application window. False if the platform refused.
  bool Initialize(HINSTANCE instance);

  HINSTANCE Module() const { return instance_; }
  HWND Window() const { return window_; }
  // The window whose close ends the program; a close sent to the application goes there.
  void SetMainWindow(HWND window) { main_ = window; }
  void Hide() const { ShowWindow(window_, SW_HIDE); }

  // Date and time texts of the user's locale, shared by the clock and the time signal.
  FormatSettings& Format() { return format_; }

  // Dialogs that take keyboard navigation from the message loop.
  void AddDialog(HWND dialog);
  void RemoveDialog(HWND dialog);
  // Lets the modeless dialogs handle their keys, Ctrl+Tab included; true if the message was
  // consumed.
  bool PreTranslate(MSG& message) const;

 private:
  Application() = default;
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND main_ = nullptr;
  FormatSettings format_;
  HWND dialogs_[4] = {};
};

// The program's icon in both sizes for a window class of `windowClass.hInstance`. Given only
// the large one, the system scales it down for the small one at each registration (a
// noticeable delay under Wine, before the strip can show); the icon file holds both.
void SetProgramIcons(WNDCLASSEXA& windowClass);

// The error text with "." appended unless it ends in one, captioned "vo", error icon, OK.
void ShowApplicationError(std::string_view text);

}  // namespace vo::win
