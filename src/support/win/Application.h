// The application object: the hidden top-level window titled "vo" that owns the other
// windows (so the program has no taskbar button), the keys of its dialogs, and the error box
// every handler reports its failures in (declared in Window.h).
#pragma once

#include <windows.h>

#include "support/DateFormat.h"
#include "support/win/Window.h"

namespace vo::win {

inline constexpr const char* kApplicationTitle = "vo";
// Sent to a registered dialog for Ctrl+Tab (wParam 1) and Ctrl+Shift+Tab (wParam 0): a dialog
// with pages turns to the next or the previous one.
inline constexpr UINT kTurnPageMessage = WM_APP + 1;

class Application final : private vo::win::Window<Application> {
 public:
  static Application& Instance();

  // Creates the hidden application window; the windows that show the program's icons take
  // the icon resource `programIcon`. Throws Failure if the platform refused.
  void Initialize(HINSTANCE instance, WORD programIcon);

  HINSTANCE Module() const { return instance_; }
  WORD ProgramIcon() const { return programIcon_; }
  HWND Window() const { return Handle(); }
  // The window whose close ends the program; a close sent to the application goes there.
  void SetMainWindow(HWND window) { main_ = window; }
  // How the program ends when the logon session does; `end` does not return.
  void SetSessionEnd(void (*end)()) { sessionEnd_ = end; }
  void Hide() const { ShowWindow(Handle(), SW_HIDE); }

  // Date and time texts of the user's locale, shared by the clock and the time signal.
  FormatSettings& Format() { return format_; }

  // Dialogs that take keyboard navigation from the message loop.
  void AddDialog(HWND dialog);
  void RemoveDialog(HWND dialog);
  // Lets the modeless dialogs handle their keys, Ctrl+Tab included; true if the message was
  // consumed.
  bool PreTranslate(MSG& message) const;

 private:
  friend class vo::win::Window<Application>;
  Application() = default;
  static WindowClass Class();
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_ = nullptr;
  WORD programIcon_ = 0;
  HWND main_ = nullptr;
  void (*sessionEnd_)() = nullptr;
  FormatSettings format_;
  HWND dialogs_[4] = {};
};

}  // namespace vo::win
