// The full-screen watch: the strip steps aside while a full-screen program covers its
// monitor, told by window events rather than a poll.
#include "Panel/win/ClockPanel.h"
#include "Panel/win/Monitors.h"

namespace vo::win {

namespace {

// The one clock of the process, for the window-event callback, which has no context.
TClockPanel* eventClock = nullptr;

}  // namespace

// Events, not a poll: the foreground changing, the foreground window moving or resizing
// (into or out of full screen) or closing, a window made. Started at the first tick, when the
// options are loaded.
void TClockPanel::WatchForeground() {
  FWatching = true;
  eventClock = this;
  FForeground = GetForegroundWindow();
  FForegroundHook.reset(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                        OnWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT));
  FWindowHook.reset(SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_LOCATIONCHANGE, nullptr,
                                    OnWinEvent, 0, 0,
                                    WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
  CheckFullScreen();
}

void CALLBACK TClockPanel::OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object,
                                      LONG child, DWORD, DWORD) {
  if (eventClock && object == OBJID_WINDOW && child == CHILDID_SELF) {
    eventClock->OnWindowEvent(event, window);
  }
}

void TClockPanel::OnWindowEvent(DWORD event, HWND window) {
  switch (event) {
    case EVENT_SYSTEM_FOREGROUND:
      FForeground = window;
      CheckFullScreen();
      return;
    case EVENT_OBJECT_LOCATIONCHANGE:
    case EVENT_OBJECT_DESTROY:
      // Not the cursor, the caret or a window in the background. A foreground window that
      // closes need not hand the foreground on: then nothing else says it went.
      if (window == FForeground) CheckFullScreen();
      return;
    case EVENT_OBJECT_CREATE:
      CheckFullScreenSoon();
      return;
    default:
      return;
  }
}

void TClockPanel::StopWatching() {
  FForegroundHook.reset();
  FWindowHook.reset();
  if (eventClock == this) eventClock = nullptr;
}

void TClockPanel::CheckFullScreenSoon() {
  if (!FSteppedAside) SetTimer(Handle(), kScreenCheckTimerId, kNewWindowDelay, nullptr);
}

void TClockPanel::CheckFullScreen() {
  const bool aside = FSettings && FSettings->StepsAside() && FullScreenOver(Handle());
  if (aside == FSteppedAside) return;
  FSteppedAside = aside;
  if (aside) {
    SetTimer(Handle(), kScreenCheckTimerId, kAsideCheckInterval, nullptr);
    DestroyHints();
    ShowWindow(Handle(), SW_HIDE);
  } else {
    KillTimer(Handle(), kScreenCheckTimerId);
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  OnSightChange({Unseen::kSteppedAside, aside});
}

}  // namespace vo::win
