// The strip's band at the top of its monitor held as an application desktop toolbar, so that
// the shell keeps maximised windows below it.
#pragma once

#include <windows.h>

namespace vo::win {

class ReservedBand {
 public:
  // What the shell sends the window about the band: wParam is the ABN_ notice.
  static constexpr UINT kNotice = WM_APP + 34;

  ReservedBand() = default;
  ReservedBand(const ReservedBand&) = delete;
  ReservedBand& operator=(const ReservedBand&) = delete;
  ~ReservedBand() { Release(); }

  // Holds the band above `window`'s monitor as deep as the window reaches; asks the shell
  // again only when that band differs from the one held, or when `again`.
  void Hold(HWND window, bool again = false);
  void Release();
  bool Held() const { return FWindow != nullptr; }

  // A band left by a run that ended without releasing it (a kill, a crash): the shell keeps
  // the window's entry, and the space with it, until told.
  static void ReleaseLeftOver();

 private:
  HWND FWindow = nullptr;
  RECT FBand{};
};

}  // namespace vo::win
