// Plug-in code runs under a guard wherever the clock's thread enters it: its six exports,
// and every message the clock's own loop delivers (window, subclass, dialog and timer
// procedures, hooks). An access violation, a stack overflow, a division by zero, any
// exception the module raises and does not handle itself, or a spin of more than a few
// seconds in plug-in code ends the guarded call, not the program, and is blamed on the module
// whose code faulted. A fault on a thread of a plug-in's own ends that thread. After every
// guarded call the clock's floating-point state and direction flag are its own again.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>

namespace vo::win {

// The code of a loaded module: the span of its executable sections.
struct ModuleImage {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;

  static ModuleImage Of(HMODULE module);
  bool Contains(std::uintptr_t address) const { return address >= begin && address < end; }
};

// Plug-in modules known to the guard, numbered in load order; kNoModule is none.
using ModuleId = int;
inline constexpr ModuleId kNoModule = -1;

// Makes the module's code known to the guard (it stays known until the program ends, like
// the mapping); kNoModule when the table is full, which leaves the module unguarded by
// address but still guarded in its six calls.
ModuleId RegisterPlugInModule(HMODULE module, const std::string& path);
// The module whose code contains the address.
ModuleId ModuleAt(std::uintptr_t address);
std::string ModulePath(ModuleId module);
// The module is unloaded: its address range means nothing any more.
void ForgetModule(ModuleId module);
// A module out of service is called no more; its faults cost no further box.
void PutOutOfService(ModuleId module);
bool IsOutOfService(ModuleId module);

// The code a guarded call ends with: 0, an exception code, or kHangCode.
using CallOutcome = DWORD;
inline constexpr CallOutcome kCallReturned = 0;
// Our own code for a call the watchdog interrupted; outside the system's ranges.
inline constexpr CallOutcome kHangCode = 0xE0766F48;

// How a guarded call ended, and the module blamed if it did not return.
struct Contained {
  CallOutcome outcome = kCallReturned;
  ModuleId culprit = kNoModule;
};

// Runs invoke(context) on the GUI thread. callee is the module the call enters (blamed when
// the faulting code belongs to no module), or kNoModule for a turn of the message loop: a
// fault there that no plug-in frame is part of is the program's own and is not contained.
Contained RunGuarded(ModuleId callee, void (*invoke)(void*), void* context);

template <class Call>
Contained GuardedCall(ModuleId callee, Call&& call) {
  // No destructors and no exception handling in this frame: it may be abandoned.
  auto invoke = [](void* context) { (*static_cast<std::remove_reference_t<Call>*>(context))(); };
  return RunGuarded(callee, invoke, &call);
}

// What went wrong, in the user's words: "スタック・オーバーフロー", ...
std::string DescribeOutcome(CallOutcome outcome);

// How long plug-in code may run on the GUI thread without coming back before it counts as
// hung.
inline constexpr DWORD kHangMilliseconds = 5000;

// Sets up the guard on the GUI thread, with the filter for faults on plug-in threads.
// onLostGui runs on a thread of its own if the GUI thread ends under the program (a plug-in
// ended it): it may save what it can before the process ends.
void StartPlugInGuard(void (*onLostGui)());

// Starts the watchdog thread, once; called before each plug-in is loaded, so that no plug-in
// sees the thread start (and it never ends: the process ends around it). A program without
// plug-ins has nothing to watch and pays nothing for it.
void StartWatchdog();

// A fault on a thread of a plug-in's own, reported to the GUI thread; culprit is kNoModule
// when none is pending.
Contained TakeThreadFault();
// Reports a fault contained on another thread, for TakeThreadFault.
void QueueFault(const Contained& fault);
// Whether the caller runs on the GUI thread (the one that started the guard).
bool OnGuiThread();

// The program is done: ends the process with exit code 0, at once if abandoned code may
// hold a lock the normal exit would wait for, else within a few seconds at most.
void EndProgram();

// Facts of the guard's that a record of the run may keep, each told from one place.
class HostObserver {
 public:
  // On the GUI thread: the module whose DllMain is about to run, null once it has loaded.
  virtual void LoadingModule(const char* path) = 0;
  // On the faulting thread, inside the process's filter: a fault nothing contained is about
  // to end the program; path is the module to blame, null when no plug-in code is.
  virtual void FatalFault(const char* path, DWORD code) = 0;
  // On the watchdog's thread (no locks, no heap): the GUI thread has made no progress for a
  // hang's time inside a call of the module at path, blocked in the system, where it is not
  // cut short; null once it moves on. Told only when it changes.
  virtual void BlockedInSystem(const char* path) = 0;

 protected:
  ~HostObserver() = default;
};

// Installs the observer (once, before the first plug-in loads).
void ObservePlugInHost(HostObserver* observer);
void NoteLoadingModule(const char* path);

}  // namespace vo::win
