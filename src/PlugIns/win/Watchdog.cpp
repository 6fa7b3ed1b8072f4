#include "PlugIns/win/Watchdog.h"

#include "PlugIns/win/GuardedInvoke.h"
#include "PlugIns/win/PlugInHost.h"
#include "support/win/Handles.h"

namespace vo::win {
namespace {

[[noreturn]] void EndProcessNow() {
  TerminateProcess(GetCurrentProcess(), 0);
  ExitThread(0);  // not reached
}

}  // namespace

void Watchdog::Start(void (*onLostGui)()) {
  if (gui_ || !guard_.OnGuiThread()) return;
  onLostGui_ = onLostGui;
  gui_ = OpenThread(SYNCHRONIZE | THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT,
                    FALSE, GetCurrentThreadId());
  if (gui_) thread_ = CreateThread(nullptr, 0, &Watchdog::Main, this, 0, nullptr);
}

void Watchdog::EndWithin(DWORD milliseconds) {
  exitDeadline_.store((GetTickCount() + milliseconds) | 1);  // 0 means none
}

DWORD WINAPI Watchdog::Main(void* self) {
  static_cast<Watchdog*>(self)->Watch();
  return 0;
}

DWORD WINAPI Watchdog::Save(void* self) {
  static_cast<Watchdog*>(self)->onLostGui_();
  return 0;
}

void Watchdog::Watch() {
  std::uint32_t seen = guard_.Transitions();
  DWORD stillSince = GetTickCount();
  int sightings = 0;  // consecutive checks that found the thread in plug-in code
  while (WaitForSingleObject(gui_, kPollMilliseconds) == WAIT_TIMEOUT) {
    const DWORD deadline = exitDeadline_.load();
    if (deadline && static_cast<LONG>(GetTickCount() - deadline) >= 0) EndProcessNow();
    const std::uint32_t now = guard_.Transitions();
    if (now != seen || !guard_.GuiInnermost()) {
      NoteBlocked(kNoModule);
      seen = now;
      stillSince = GetTickCount();
      sightings = 0;
    } else if (GetTickCount() - stillSince + kPollMilliseconds >= kHangMilliseconds) {
      sightings = Inspect(now, sightings + 1 >= kSightingsToInterrupt) ? sightings + 1 : 0;
    }
  }
  LostGui();
}

// Whether the GUI thread is executing plug-in code; with interrupt, also ends the innermost
// guarded call, blamed on that code's module.
bool Watchdog::Inspect(std::uint32_t seen, bool interrupt) {
  if (SuspendThread(gui_) == static_cast<DWORD>(-1)) return false;
  bool inPlugIn = false;
  ModuleId blocked = kNoModule;
  CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
  // GetThreadContext also waits until the suspension has taken hold.
  if (GetThreadContext(gui_, &context)) {
    CallGuard::ActiveCall* call = guard_.GuiInnermost();
    const ModuleId culprit = modules_.FindModuleAt(InstructionPointer(context));
    // Only a guard that entered plug-in code itself (one of its six calls, or a trampoline
    // inside the callback the system made) is resumed: a turn of a message loop lies outside
    // the system's call that is running the plug-in's code now.
    const bool still = guard_.Transitions() == seen;
    inPlugIn =
        call && call->callee != kNoModule && still && call->resumeStack && culprit != kNoModule;
    // Code called back from inside a system call below the guard: that call ends only by
    // returning, so the module is left to run and named at risk, like one blocked.
    if (inPlugIn && guard_.CallbackBetween(StackPointer(context), *call)) {
      inPlugIn = false;
      blocked = culprit;
    }
    if (inPlugIn && interrupt) {
      guard_.NoteCutShort(call, culprit);
      ResumeGuardedCall(context, call->resumeStack, kHangCode);
      SetThreadContext(gui_, &context);
    }
    if (call && guard_.Transitions() == seen && culprit == kNoModule) blocked = call->callee;
  }
  ResumeThread(gui_);
  NoteBlocked(blocked);
  return inPlugIn;
}

// A call into a module that stays inside the system (a wait, a read) is left alone, but the
// user may well end the program now: the observer is told the module, and told again when
// the thread moves on. A turn of the message loop names none, its wait may be the program's
// own (a menu, a box).
void Watchdog::NoteBlocked(ModuleId module) {
  if (module == noted_) return;
  noted_ = module;
  if (HostObserver* watcher = observer_.load()) {
    watcher->BlockedInSystem(module == kNoModule ? nullptr : modules_.Path(module));
  }
}

// The GUI thread ended under the program (a plug-in called ExitThread): the windows are gone
// with it. What can be saved is saved on a thread of its own, which may meet a lock the dead
// thread held, so it gets a few seconds; then the process ends.
void Watchdog::LostGui() const {
  if (onLostGui_) {
    UniqueKernelHandle saver(
        CreateThread(nullptr, 0, &Watchdog::Save, const_cast<Watchdog*>(this), 0, nullptr));
    if (saver) WaitForSingleObject(saver.get(), kSaveMilliseconds);
  }
  EndProcessNow();
}

}  // namespace vo::win
