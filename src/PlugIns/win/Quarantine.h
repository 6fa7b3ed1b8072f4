// Cutting a plug-in module off from the clock's thread once it has faulted or hung: the
// clock's window procedure no longer passes through it, its windows are destroyed (and the
// windows a dialog of its had disabled are enabled again), its timers are dropped, and it gets
// no further calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "PlugIns/win/ModuleRegistry.h"

namespace vo::win {

// A window's procedure (GWLP_WNDPROC, DWLP_DLGPROC) as it was set, read in the window's own
// width: across widths the system hands out a stand-in, not the address.
LONG_PTR ProcedureOf(HWND window, int index = GWLP_WNDPROC);

// The clock's subclass chain as plug-ins built it, and the cutting off itself.
class Quarantine {
 public:
  explicit Quarantine(ModuleRegistry& modules) : modules_(modules) {}
  Quarantine(const Quarantine&) = delete;
  Quarantine& operator=(const Quarantine&) = delete;

  // The clock window, whose subclass chain is followed from here on.
  void WatchClock(HWND clock);
  // Notes a change of the clock's window procedure; called after plug-in code has run, it
  // learns which procedure each plug-in's subclass passes messages on to.
  void NoteClockProcedure();
  // Takes the module out of service. False if it already was.
  bool TakeOutOfService(ModuleId module);
  // A timer message whose procedure lies in a module out of service: the timer is killed and
  // the message is not to be dispatched.
  bool DropsMessage(const MSG& message) const;

 private:
  // One plug-in procedure in the clock's subclass chain and the procedure it passes messages
  // on to, as the window reported it just before (in both character sets).
  struct Link {
    std::uintptr_t procedure = 0;
    LONG_PTR nextAnsi = 0;
    LONG_PTR nextWide = 0;
    bool wide = false;  // the plug-in's procedure takes Unicode messages
  };

  bool Known(std::uintptr_t procedure) const;
  void Bypass(const Link& link);
  void DestroyWindowsOf(ModuleId module) const;

  ModuleRegistry& modules_;
  HWND clock_ = nullptr;
  LONG_PTR lastAnsi_ = 0;  // the clock's procedure as last seen
  LONG_PTR lastWide_ = 0;
  std::vector<Link> links_;
};

}  // namespace vo::win
