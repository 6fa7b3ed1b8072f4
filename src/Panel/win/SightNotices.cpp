#include "Panel/win/SightNotices.h"

#include <cstdint>
#include <cstring>

#include "support/win/ForeignString.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {

namespace {

constexpr GUID kSessionDisplayStatus = {
    0x2b84c20e, 0xad23, 0x4ddf, {0x93, 0xdb, 0x05, 0xff, 0xbd, 0x7e, 0xfc, 0xa5}};
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

constexpr WPARAM kPowerSettingChange = 0x8013;  // PBT_POWERSETTINGCHANGE
constexpr UINT kSessionChange = 0x02B1;         // WM_WTSSESSION_CHANGE
constexpr DWORD kNotifyForThisSession = 0;
constexpr DWORD kNotifyWindowHandle = 0;  // DEVICE_NOTIFY_WINDOW_HANDLE

// Late bound: the session calls live in a library of their own, which a clock that is never
// locked need not have mapped at start-up; the coalescing timer came with Windows 8.
using RegisterPowerProc = HPOWERNOTIFY(WINAPI*)(HANDLE, const GUID*, DWORD);
using UnregisterPowerProc = BOOL(WINAPI*)(HPOWERNOTIFY);
using RegisterSessionProc = BOOL(WINAPI*)(HWND, DWORD);
using UnregisterSessionProc = BOOL(WINAPI*)(HWND);
using CoalescableTimerProc = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC, ULONG);

template <class Proc>
Proc Entry(const char* library, const char* name) {
  return EntryAs<Proc>(SystemEntry(library, name));
}

// The setting's GUID and the first four bytes of its data, as the notice carries them.
struct DisplaySetting {
  GUID setting;
  DWORD length;
  std::uint32_t state;
};

std::optional<SightChange> ReadDisplaySetting(LPARAM lParam) {
  DisplaySetting notice{};
  if (!CopyForeignBytes(reinterpret_cast<const void*>(lParam), &notice, sizeof notice)) {
    return std::nullopt;
  }
  const bool display = std::memcmp(&notice.setting, &kSessionDisplayStatus, sizeof(GUID)) == 0 ||
                       std::memcmp(&notice.setting, &kConsoleDisplayState, sizeof(GUID)) == 0;
  if (!display || notice.length < sizeof notice.state) return std::nullopt;
  return DisplayChange(notice.state);
}

}  // namespace

namespace detail {

void UnregisterPowerNotice(HPOWERNOTIFY notice) {
  if (const auto unregister =
          Entry<UnregisterPowerProc>("user32.dll", "UnregisterPowerSettingNotification")) {
    unregister(notice);
  }
}

void UnregisterSessionNotice(HWND window) {
  if (const auto unregister =
          Entry<UnregisterSessionProc>("wtsapi32.dll", "WTSUnRegisterSessionNotification")) {
    unregister(window);
  }
}

}  // namespace detail

void SightNotices::Register(HWND window) {
  if (const auto registerPower =
          Entry<RegisterPowerProc>("user32.dll", "RegisterPowerSettingNotification")) {
    sessionDisplay_.reset(registerPower(window, &kSessionDisplayStatus, kNotifyWindowHandle));
    consoleDisplay_.reset(registerPower(window, &kConsoleDisplayState, kNotifyWindowHandle));
  }
  if (const auto registerSession =
          Entry<RegisterSessionProc>("wtsapi32.dll", "WTSRegisterSessionNotification")) {
    if (registerSession(window, kNotifyForThisSession)) session_.reset(window);
  }
}

void SightNotices::Unregister() {
  sessionDisplay_.reset();
  consoleDisplay_.reset();
  session_.reset();
}

std::optional<SightChange> SightNotices::Read(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_POWERBROADCAST && wParam == kPowerSettingChange) {
    return ReadDisplaySetting(lParam);
  }
  if (message == kSessionChange) return SessionChange(static_cast<unsigned>(wParam));
  return std::nullopt;
}

bool SetTolerantTimer(HWND window, UINT_PTR id, UINT interval, ULONG tolerance) {
  static const auto coalescable = Entry<CoalescableTimerProc>("user32.dll", "SetCoalescableTimer");
  if (coalescable) return coalescable(window, id, interval, nullptr, tolerance) != 0;
  return SetTimer(window, id, interval, nullptr) != 0;
}

}  // namespace vo::win
