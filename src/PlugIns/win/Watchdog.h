// The one thread besides the GUI thread. It wakes once a second and only reads a few words;
// it touches no window, takes no lock (not even the heap's) and asks the system for nothing
// until the GUI thread has made no progress for about kHangMilliseconds. Then it interrupts
// the GUI thread if, and only if, two looks a second apart find that thread executing plug-in
// code: a module waiting inside the system is left alone. It also ends the process when the
// GUI thread is gone, or when a finished program has not ended in time.
#pragma once

#include <windows.h>

#include <atomic>

#include "PlugIns/win/PlugInGuard.h"

namespace vo::win {

class HostObserver;

class Watchdog {
 public:
  Watchdog(const ModuleRegistry& modules, CallGuard& guard,
           const std::atomic<HostObserver*>& observer)
      : modules_(modules), guard_(guard), observer_(observer) {}
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Starts the thread, once, on the GUI thread. onLostGui runs on a thread of its own if the
  // GUI thread ends under the program (a plug-in ended it): it may save what it can before
  // the process ends.
  void Start(void (*onLostGui)());
  // The process must have ended within this time from now, or the watchdog ends it.
  void EndWithin(DWORD milliseconds);

 private:
  static constexpr DWORD kPollMilliseconds = 1000;
  static constexpr DWORD kSaveMilliseconds = 3000;
  // A module that waits in a dialog of its own runs its code now and then; one that spins
  // is found in it at every look. Only the second is interrupted.
  static constexpr int kSightingsToInterrupt = 2;

  static DWORD WINAPI Main(void* self);
  static DWORD WINAPI Save(void* self);
  void Watch();
  bool Inspect(std::uint32_t seen, bool interrupt);
  void NoteBlocked(ModuleId module);
  void LostGui() const;

  const ModuleRegistry& modules_;
  CallGuard& guard_;
  const std::atomic<HostObserver*>& observer_;
  void (*onLostGui_)() = nullptr;
  // Never closed: the thread waits on the first until the process ends around it.
  HANDLE gui_ = nullptr;
  HANDLE thread_ = nullptr;
  std::atomic<DWORD> exitDeadline_{0};  // GetTickCount() by which the process must have ended
  ModuleId noted_ = kNoModule;          // the module the run record names as blocked
};

}  // namespace vo::win
