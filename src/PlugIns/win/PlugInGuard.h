// Plug-in code runs under a guard wherever the clock's thread enters it: its six exports,
// and every message the clock's own loop delivers (window, subclass, dialog and timer
// procedures, hooks). An access violation, a stack overflow, a division by zero, any
// exception the module raises and does not handle itself, or a spin of more than a few
// seconds in plug-in code ends the guarded call, not the program, and is blamed on the module
// whose code faulted. A fault on a thread of a plug-in's own ends that thread. After every
// guarded call the clock's floating-point state and direction flag are its own again.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "PlugIns/win/ModuleRegistry.h"

namespace vo::win {

// The code a guarded call ends with: 0, an exception code, or kHangCode.
using CallOutcome = DWORD;
inline constexpr CallOutcome kCallReturned = 0;
// Our own code for a call the watchdog interrupted; outside the system's ranges.
inline constexpr CallOutcome kHangCode = 0xE0766F48;
// Raised in place of the C runtime's abort() called by plug-in code, which ends the process:
// the way out of g++'s runtime for a C++ exception nothing catches.
inline constexpr CallOutcome kAbortCode = 0xE0766F41;

// How a guarded call ended, and the module blamed if it did not return.
struct Contained {
  CallOutcome outcome = kCallReturned;
  ModuleId culprit = kNoModule;
};

// How long plug-in code may run on the GUI thread without coming back before it counts as
// hung.
inline constexpr DWORD kHangMilliseconds = 5000;

// The guarded calls in progress, and what the watchdog and the exception handlers need to
// know of them. Those read it on other threads, or inside an exception's dispatch, without a
// lock and without the heap.
class CallGuard {
 public:
  // A guarded call in progress on a thread, on its list (innermost first) while its frame is
  // valid to resume. The watchdog reads the GUI thread's only with that thread suspended.
  struct ActiveCall {
    ModuleId callee = kNoModule;
    void* resumeStack = nullptr;  // written by vo_guarded_invoke
    ActiveCall* outer = nullptr;
    ModuleId culprit = kNoModule;  // blamed when the call is cut short
  };

  explicit CallGuard(const ModuleRegistry& modules) : modules_(modules) {}
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;

  // Makes the calling thread the GUI thread, once, and installs the stack overflow handler.
  void Start();

  // Runs invoke(context). callee is the module the call enters (blamed when the faulting
  // code belongs to no module), or kNoModule for a turn of the message loop: a fault there
  // that no plug-in frame is part of is the program's own and is not contained.
  Contained Run(ModuleId callee, void (*invoke)(void*), void* context);

  bool OnGuiThread() const { return GetCurrentThreadId() == guiThread_.load(); }
  DWORD GuiThread() const { return guiThread_.load(); }
  // The GUI thread's innermost guarded call, null outside any.
  ActiveCall* GuiInnermost() const { return innermost_.load(); }
  // Counts every entry into and return from a guarded call on the GUI thread: while it stands
  // still, so does that thread's progress through its loop and through plug-in calls.
  std::uint32_t Transitions() const { return transitions_.load(); }

  // Whether a callback of the system's lies between the stack pointer and the call's guard:
  // the code there was called back from inside a system call, which ends only by returning.
  // No recovery resumes that guard then.
  bool CallbackBetween(std::uintptr_t stack, const ActiveCall& call) const;

  // Records the end of a call cut short (call may be null) for its Run to return.
  void NoteCutShort(ActiveCall* call, ModuleId culprit);
  // Plug-in code was cut short somewhere, here or on another thread: it may still hold locks.
  void NoteAbandoned() { abandonedCode_.store(true); }
  bool AbandonedCode() const { return abandonedCode_.load(); }

  // The exception handlers' side (see GuardedInvoke.h): the guard's frame handler, and the
  // vectored handler that takes the faults the frame handler cannot be reached for.
  EXCEPTION_DISPOSITION OnFault(const EXCEPTION_RECORD& record, void* frame,
                                const CONTEXT& context);
  LONG OnUnreachableFault(EXCEPTION_POINTERS& exception);

 private:
  ActiveCall* Innermost() const;
  void SetInnermost(ActiveCall* call);
  ActiveCall* CallResumingAt(const void* frame) const;

  const ModuleRegistry& modules_;
  std::atomic<ActiveCall*> innermost_{nullptr};
  // Other threads (a plug-in's own, guarded from their entry) keep theirs in a thread-local
  // slot.
  DWORD otherThreadsCalls_ = TLS_OUT_OF_INDEXES;
  std::atomic<std::uint32_t> transitions_{0};
  std::atomic<DWORD> guiThread_{0};
  std::atomic<bool> abandonedCode_{false};
  // Where the system enters a thread for each callback (ntdll's KiUserCallbackDispatcher):
  // a return address a little past it on a stack marks a callback's frame.
  std::uintptr_t callbackDispatcher_ = 0;
};

// Runs the call under the host's guard (see CallGuard::Run).
Contained RunGuarded(ModuleId callee, void (*invoke)(void*), void* context);

template <class Call>
Contained GuardedCall(ModuleId callee, Call&& call) {
  // No destructors and no exception handling in this frame: it may be abandoned.
  auto invoke = [](void* context) { (*static_cast<std::remove_reference_t<Call>*>(context))(); };
  return RunGuarded(callee, invoke, &call);
}

}  // namespace vo::win
