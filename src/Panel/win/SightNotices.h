// The system's notices of whether the strip can be seen: the display's power state and the
// session's lock and connection, asked for the clock window and given up with it; and the
// clock's timer, which the system may coalesce with others.
#pragma once

#include <windows.h>

#include <optional>

#include "Panel/Sight.h"
#include "support/win/Handles.h"

namespace vo::win {

namespace detail {
void UnregisterPowerNotice(HPOWERNOTIFY notice);
void UnregisterSessionNotice(HWND window);
}  // namespace detail

using UniquePowerNotice = UniqueHandle<HPOWERNOTIFY, detail::UnregisterPowerNotice>;
using UniqueSessionNotice = UniqueHandle<HWND, detail::UnregisterSessionNotice>;

class SightNotices {
 public:
  // Asks for the notices where the system has them; a system without one goes without it.
  void Register(HWND window);
  void Unregister();
  // The change a message to the window tells, if it is one of these notices. The display's
  // state comes by pointer: one that cannot be read is no notice.
  static std::optional<SightChange> Read(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // The session's own display (Windows 8 on) and the console's (from Vista): each says off and
  // on alike where both come; the later one stands.
  UniquePowerNotice sessionDisplay_;
  UniquePowerNotice consoleDisplay_;
  UniqueSessionNotice session_;
};

// Sets the window's timer of `interval` ms, which may come up to `tolerance` ms late so that
// the system can wake once for several timers; a plain timer where it cannot.
bool SetTolerantTimer(HWND window, UINT_PTR id, UINT interval, ULONG tolerance);

}  // namespace vo::win
