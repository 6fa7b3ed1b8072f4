#include "PlugIns/win/Interpose.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "PlugIns/win/PlugInHost.h"
#include "PlugIns/win/Thunks.h"
#include "support/win/Handles.h"
#include "support/win/SrwLock.h"

namespace vo::win {
namespace {

// ---- the trampolines ----------------------------------------------------------------------

enum class Kind {
  kWindow,    // a class's procedure: DefWindowProc answers in its place
  kSubclass,  // a window's or class's replaced procedure: the one it replaced answers
  kDialog,    // a dialog procedure: "not handled" (FALSE) answers
  kTimer,
  kHook,
  kWinEvent,
  kThread,
};

struct Trampoline {
  Kind kind;
  bool wide;  // takes Unicode messages
  ModuleId module;
  const void* procedure;
  LONG_PTR next = 0;      // kSubclass: the procedure messages go on to
  HWND window = nullptr;  // kSubclass of one window: given back at its WM_NCDESTROY
  HANDLE hook = nullptr;  // kHook, kWinEvent: the hook, removed once out of service
  const void* code = nullptr;
  LONG state = 0;  // calls in progress, plus kRetired once the system makes no new one
};
constexpr LONG kRetired = 0x40000000;

// Made by any thread that runs plug-in code, read by the quarantine on the GUI thread. A
// trampoline given back is deleted under it, so whoever reads one through its thunk holds it.
SRWLOCK lock = SRWLOCK_INIT;
std::vector<Trampoline*> made;

const void* EntryOf(Kind kind);

bool OutOfService(const Trampoline& t) { return !Host().Modules().InService(t.module); }

std::uintptr_t AddressOf(const void* code) { return reinterpret_cast<std::uintptr_t>(code); }

// Whether code at that address belongs to neither vo nor the system: a class framework's
// window thunk in heap memory, or a helper library of the plug-in's.
bool OutsideVoAndSystem(const void* code) {
  MEMORY_BASIC_INFORMATION memory{};
  if (!code || !VirtualQuery(code, &memory, sizeof memory) || memory.State != MEM_COMMIT) {
    return false;
  }
  constexpr DWORD kExecutable =
      PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (!(memory.Protect & kExecutable)) return false;
  if (memory.Type != MEM_IMAGE) return !ThunkAt(AddressOf(code)).target;  // not one of vo's
  const auto image = static_cast<HMODULE>(memory.AllocationBase);
  if (image == GetModuleHandleW(nullptr)) return false;
  wchar_t path[MAX_PATH];
  wchar_t windows[MAX_PATH];
  const UINT folder = GetWindowsDirectoryW(windows, MAX_PATH);
  const DWORD length = GetModuleFileNameW(image, path, MAX_PATH);
  if (!folder || folder >= MAX_PATH || !length || length >= MAX_PATH) return false;
  return CompareStringOrdinal(path, static_cast<int>(folder), windows, static_cast<int>(folder),
                              TRUE) != CSTR_EQUAL;
}

// The module a procedure is run on behalf of: the one whose code it is, or, for code outside
// vo and the system, the plug-in that handed it over (from the return address of its call).
ModuleId OwnerOf(const void* procedure, const void* caller) {
  const ModuleRegistry& modules = Host().Modules();
  const ModuleId own = modules.FindModuleAt(AddressOf(procedure));
  if (own != kNoModule || !OutsideVoAndSystem(procedure)) return own;
  return modules.FindModuleAt(AddressOf(caller));
}

// What a procedure is to be handed to the system with.
struct Wanted {
  Kind kind;
  bool wide;
  const void* procedure;
  const void* caller;     // the return address of the plug-in's call
  LONG_PTR next = 0;      // kSubclass
  HWND window = nullptr;  // kSubclass of one window
  bool shared = true;     // false: one trampoline per hook, which it removes itself
};

// A trampoline for the procedure, or the procedure itself when it is no plug-in's code, or
// null when no executable page can be had: the plug-in's call then fails as out of memory,
// rather than run its code unguarded. A trampoline is kept until the system can call it no
// more (Retire): its hook removed or its window gone.
Trampoline* MakeTrampoline(const Wanted& wanted, ModuleId module) {
  const ExclusiveLock exclusive(lock);
  for (Trampoline* t : made) {
    if (wanted.shared && t->kind == wanted.kind && t->wide == wanted.wide &&
        t->procedure == wanted.procedure && t->next == wanted.next && t->window == wanted.window) {
      return t;
    }
  }
  auto* t = new Trampoline{wanted.kind,      wanted.wide, module,
                           wanted.procedure, wanted.next, wanted.window};
  t->code = MakeThunk(EntryOf(wanted.kind), t);
  if (!t->code) {
    delete t;
    return nullptr;
  }
  made.push_back(t);
  return t;
}

const void* Wrap(const Wanted& wanted, Trampoline** trampoline = nullptr) {
  const ModuleId module = OwnerOf(wanted.procedure, wanted.caller);
  if (module == kNoModule) return wanted.procedure;
  Trampoline* t = MakeTrampoline(wanted, module);
  if (trampoline) *trampoline = t;
  if (!t) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return t ? t->code : nullptr;
}

template <class Procedure>
Procedure Wrapped(Kind kind, bool wide, Procedure procedure, const void* caller) {
  return reinterpret_cast<Procedure>(
      const_cast<void*>(Wrap({kind, wide, reinterpret_cast<const void*>(procedure), caller})));
}

void Free(Trampoline* t) {
  const ExclusiveLock exclusive(lock);
  FreeThunk(t->code);
  delete t;
}

// The system makes no new call through the trampoline: it goes once no call is in progress.
void Retire(Trampoline* t) {
  {
    const ExclusiveLock exclusive(lock);
    const auto at = std::find(made.begin(), made.end(), t);
    if (at == made.end()) return;  // retired already
    made.erase(at);
  }
  if ((InterlockedOr(&t->state, kRetired) & ~kRetired) == 0) Free(t);
}

// A call through a trampoline in progress: it is not given back meanwhile.
class InCall {
 public:
  explicit InCall(Trampoline* t) : t_(t) { InterlockedIncrement(&t_->state); }
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;
  ~InCall() {
    if (InterlockedDecrement(&t_->state) == kRetired) Free(t_);
  }

 private:
  Trampoline* t_;
};

// The trampoline of a hook still set, or null.
Trampoline* HookTrampoline(HANDLE hook) {
  const SharedLock shared(lock);
  for (Trampoline* t : made) {
    if (hook && t->hook == hook) return t;
  }
  return nullptr;
}

// The plug-in procedure behind a trampoline of the module's (any module's for kNoModule), or
// the address as it is.
std::uintptr_t Behind(std::uintptr_t address, ModuleId module) {
  const SharedLock shared(lock);
  const ThunkSlot slot = ThunkAt(address);
  if (slot.target != EntryOf(Kind::kWindow) && slot.target != EntryOf(Kind::kTimer) &&
      slot.target != EntryOf(Kind::kHook) && slot.target != EntryOf(Kind::kWinEvent) &&
      slot.target != EntryOf(Kind::kThread)) {
    return address;
  }
  const auto* t = static_cast<const Trampoline*>(slot.argument);
  return module == kNoModule || t->module == module ? AddressOf(t->procedure) : address;
}

// A call cut short is reported where it can be: on the GUI thread at once, from any other
// thread through the guard's queue.
bool Ended(const Contained& ended, ModuleId module) {
  if (ended.outcome == kCallReturned) return false;
  const Contained fault{ended.outcome, ended.culprit != kNoModule ? ended.culprit : module};
  PlugInHost& host = Host();
  if (host.Guard().OnGuiThread()) {
    host.ReportFault(fault);
  } else {
    host.Faults().Queue(fault);
  }
  return true;
}

// The GUI thread's window procedure calls in progress, innermost first: what the next
// procedure answered, should the plug-in's be cut short after passing the message on.
struct PassedOn {
  const Trampoline* through;
  bool answered;
  LRESULT answer;
  PassedOn* outer;
};
PassedOn* passing = nullptr;

LRESULT Answer(const Trampoline& t, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (t.kind) {
    case Kind::kSubclass: {
      const auto next = reinterpret_cast<WNDPROC>(t.next);
      return t.wide ? CallWindowProcW(next, window, message, wParam, lParam)
                    : CallWindowProcA(next, window, message, wParam, lParam);
    }
    case Kind::kWindow:
      return t.wide ? DefWindowProcW(window, message, wParam, lParam)
                    : DefWindowProcA(window, message, wParam, lParam);
    default:
      return FALSE;
  }
}

LRESULT Dispatched(const Trampoline* t, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (OutOfService(*t)) return Answer(*t, window, message, wParam, lParam);
  const bool gui = Host().Guard().OnGuiThread();
  PassedOn call{t, false, 0, gui ? passing : nullptr};
  if (gui) passing = &call;
  LRESULT result = 0;
  const auto procedure = reinterpret_cast<WNDPROC>(const_cast<void*>(t->procedure));
  const Contained ended =
      GuardedCall(t->module, [&] { result = procedure(window, message, wParam, lParam); });
  if (gui) passing = call.outer;
  if (!Ended(ended, t->module)) return result;
  return call.answered ? call.answer : Answer(*t, window, message, wParam, lParam);
}

LRESULT CALLBACK WindowEntry(Trampoline* t, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  const InCall call(t);
  const LRESULT result = Dispatched(t, window, message, wParam, lParam);
  // The window's last message: its own subclass trampoline is called no more.
  if (message == WM_NCDESTROY && t->window == window) Retire(t);
  return result;
}

void CALLBACK TimerEntry(Trampoline* t, HWND window, UINT message, UINT_PTR id, DWORD time) {
  const InCall call(t);
  const auto procedure = reinterpret_cast<TIMERPROC>(const_cast<void*>(t->procedure));
  if (!OutOfService(*t) &&
      !Ended(GuardedCall(t->module, [&] { procedure(window, message, id, time); }), t->module)) {
    return;
  }
  KillTimer(window, id);  // the module's timers go with it
}

LRESULT CALLBACK HookEntry(Trampoline* t, int code, WPARAM wParam, LPARAM lParam) {
  const InCall call(t);
  const auto procedure = reinterpret_cast<HOOKPROC>(const_cast<void*>(t->procedure));
  LRESULT result = 0;
  if (!OutOfService(*t) &&
      !Ended(GuardedCall(t->module, [&] { result = procedure(code, wParam, lParam); }),
             t->module)) {
    return result;
  }
  if (UnhookWindowsHookEx(static_cast<HHOOK>(t->hook))) Retire(t);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK WinEventEntry(Trampoline* t, HWINEVENTHOOK hook, DWORD event, HWND window,
                            LONG object, LONG child, DWORD thread, DWORD time) {
  const InCall call(t);
  const auto procedure = reinterpret_cast<WINEVENTPROC>(const_cast<void*>(t->procedure));
  if (!OutOfService(*t) &&
      !Ended(GuardedCall(t->module,
                         [&] { procedure(hook, event, window, object, child, thread, time); }),
             t->module)) {
    return;
  }
  if (UnhookWinEvent(hook)) Retire(t);
}

// A plug-in's thread runs under a guard of its own from its first instruction: a fault there
// ends the thread, not the program, whatever filter the process has.
DWORD WINAPI ThreadEntry(Trampoline* t, void* parameter) {
  const auto procedure = reinterpret_cast<LPTHREAD_START_ROUTINE>(const_cast<void*>(t->procedure));
  DWORD result = 0;
  if (Ended(GuardedCall(t->module, [&] { result = procedure(parameter); }), t->module)) return 0;
  return result;
}

const void* EntryOf(Kind kind) {
  switch (kind) {
    case Kind::kTimer:
      return reinterpret_cast<const void*>(&TimerEntry);
    case Kind::kHook:
      return reinterpret_cast<const void*>(&HookEntry);
    case Kind::kWinEvent:
      return reinterpret_cast<const void*>(&WinEventEntry);
    case Kind::kThread:
      return reinterpret_cast<const void*>(&ThreadEntry);
    default:
      return reinterpret_cast<const void*>(&WindowEntry);
  }
}

// ---- the module's calls, as vo makes them ---------------------------------------------------

bool IsDialog(HWND window) {
  char name[8];
  return GetClassNameA(window, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

bool HoldsProcedure(HWND window, int index) {
  return index == GWLP_WNDPROC || (index == DWLP_DLGPROC && IsDialog(window));
}

template <class Function>
const void* Code(Function* function) {
  return reinterpret_cast<const void*>(function);
}

// A value for a window's or class's slot: procedures go in behind trampolines (null if none
// could be made).
LONG_PTR WindowValue(HWND window, int index, LONG_PTR value, bool wide, const void* caller) {
  const auto procedure = reinterpret_cast<const void*>(value);
  if (index == GWLP_WNDPROC) {
    const LONG_PTR next =
        wide ? GetWindowLongPtrW(window, index) : GetWindowLongPtrA(window, index);
    if (Behind(static_cast<std::uintptr_t>(next), kNoModule) ==
        static_cast<std::uintptr_t>(value)) {
      return next;  // the same procedure again
    }
    return reinterpret_cast<LONG_PTR>(
        Wrap({Kind::kSubclass, wide, procedure, caller, next, window}));
  }
  if (index == DWLP_DLGPROC && IsDialog(window)) {
    return reinterpret_cast<LONG_PTR>(Wrap({Kind::kDialog, wide, procedure, caller}));
  }
  return value;
}

LONG_PTR ClassValue(HWND window, int index, LONG_PTR value, bool wide, const void* caller) {
  if (index != GCLP_WNDPROC) return value;
  const LONG_PTR next = static_cast<LONG_PTR>(wide ? GetClassLongPtrW(window, index)
                                                   : GetClassLongPtrA(window, index));
  return reinterpret_cast<LONG_PTR>(
      Wrap({Kind::kSubclass, wide, reinterpret_cast<const void*>(value), caller, next}));
}

// What the plug-in reads back where it wrote its own procedure: that procedure, not the
// trampoline standing in for it, so that a check "is my procedure still in place?" holds.
LONG_PTR ReadBack(LONG_PTR value, const void* caller) {
  const ModuleId module = Host().Modules().FindModuleAt(AddressOf(caller));
  return static_cast<LONG_PTR>(Behind(static_cast<std::uintptr_t>(value), module));
}

template <class Class>
BOOL ReadBack(BOOL found, Class* given, const void* caller) {
  if (found && given) {
    given->lpfnWndProc =
        reinterpret_cast<WNDPROC>(ReadBack(reinterpret_cast<LONG_PTR>(given->lpfnWndProc), caller));
  }
  return found;
}

// The slot's value as set, procedures behind trampolines; 0 (out of memory) if a trampoline
// was needed and none could be made.
template <class Value, class Set>
Value SetSlot(LONG_PTR given, LONG_PTR value, Set&& set) {
  return given && !value ? Value{} : set(static_cast<Value>(value));
}

#if defined(__x86_64__)
using WindowLong = LONG_PTR;
using ClassLong = ULONG_PTR;
#else
using WindowLong = LONG;
using ClassLong = DWORD;
#endif

// In place of SetWindowLong(Ptr)A/W, SetClassLong(Ptr)A/W and their getters.
template <WindowLong(WINAPI* Set)(HWND, int, WindowLong), bool kWide>
WindowLong WINAPI SetWindowSlot(HWND w, int i, WindowLong v) {
  const LONG_PTR value = WindowValue(w, i, v, kWide, __builtin_return_address(0));
  return SetSlot<WindowLong>(v, value, [&](WindowLong x) { return Set(w, i, x); });
}
template <ClassLong(WINAPI* Set)(HWND, int, WindowLong), bool kWide>
ClassLong WINAPI SetClassSlot(HWND w, int i, WindowLong v) {
  const LONG_PTR value = ClassValue(w, i, v, kWide, __builtin_return_address(0));
  return SetSlot<ClassLong>(v, value, [&](WindowLong x) { return Set(w, i, x); });
}
template <WindowLong(WINAPI* Get)(HWND, int)>
WindowLong WINAPI GetWindowSlot(HWND w, int i) {
  const WindowLong value = Get(w, i);
  if (!HoldsProcedure(w, i)) return value;
  return static_cast<WindowLong>(ReadBack(value, __builtin_return_address(0)));
}
template <ClassLong(WINAPI* Get)(HWND, int)>
ClassLong WINAPI GetClassSlot(HWND w, int i) {
  const ClassLong value = Get(w, i);
  if (i != GCLP_WNDPROC) return value;
  return static_cast<ClassLong>(
      ReadBack(static_cast<LONG_PTR>(value), __builtin_return_address(0)));
}

template <class Class>
Class WithTrampoline(const Class* given, bool wide, const void* caller) {
  Class copy = *given;
  copy.lpfnWndProc = Wrapped(Kind::kWindow, wide, copy.lpfnWndProc, caller);
  return copy;
}

template <class Class, class Register>
ATOM Registered(const Class* given, bool wide, const void* caller, Register&& registerClass) {
  if (!given) return registerClass(given);
  const Class copy = WithTrampoline(given, wide, caller);
  if (given->lpfnWndProc && !copy.lpfnWndProc) return 0;
  return registerClass(&copy);
}

ATOM WINAPI RegisterClassAInstead(const WNDCLASSA* c) {
  return Registered(c, false, __builtin_return_address(0), RegisterClassA);
}
ATOM WINAPI RegisterClassWInstead(const WNDCLASSW* c) {
  return Registered(c, true, __builtin_return_address(0), RegisterClassW);
}
ATOM WINAPI RegisterClassExAInstead(const WNDCLASSEXA* c) {
  return Registered(c, false, __builtin_return_address(0), RegisterClassExA);
}
ATOM WINAPI RegisterClassExWInstead(const WNDCLASSEXW* c) {
  return Registered(c, true, __builtin_return_address(0), RegisterClassExW);
}

BOOL WINAPI GetClassInfoAInstead(HINSTANCE i, LPCSTR name, WNDCLASSA* c) {
  return ReadBack(GetClassInfoA(i, name, c), c, __builtin_return_address(0));
}
BOOL WINAPI GetClassInfoWInstead(HINSTANCE i, LPCWSTR name, WNDCLASSW* c) {
  return ReadBack(GetClassInfoW(i, name, c), c, __builtin_return_address(0));
}
BOOL WINAPI GetClassInfoExAInstead(HINSTANCE i, LPCSTR name, WNDCLASSEXA* c) {
  return ReadBack(GetClassInfoExA(i, name, c), c, __builtin_return_address(0));
}
BOOL WINAPI GetClassInfoExWInstead(HINSTANCE i, LPCWSTR name, WNDCLASSEXW* c) {
  return ReadBack(GetClassInfoExW(i, name, c), c, __builtin_return_address(0));
}

// The plug-in passes a message on: what comes back is the answer to give should the
// plug-in's procedure be cut short afterwards.
LRESULT Passed(WNDPROC next, LRESULT answer) {
  if (Host().Guard().OnGuiThread() && passing &&
      passing->through->next == reinterpret_cast<LONG_PTR>(next)) {
    passing->answered = true;
    passing->answer = answer;
  }
  return answer;
}
LRESULT WINAPI CallWindowProcAInstead(WNDPROC p, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Passed(p, CallWindowProcA(p, w, m, wp, lp));
}
LRESULT WINAPI CallWindowProcWInstead(WNDPROC p, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Passed(p, CallWindowProcW(p, w, m, wp, lp));
}

// Whether the system runs a hook's procedure in this process only: a low-level hook on the
// thread that set it, a thread's hook on that thread. A global hook, or one on another
// process's thread, runs in other processes at its offset in the module given: no trampoline
// of vo's exists there, so the procedure is handed over as it is.
bool HookRunsHere(int type, DWORD thread) {
  if (type == WH_KEYBOARD_LL || type == WH_MOUSE_LL || thread == GetCurrentThreadId()) {
    return true;
  }
  if (thread == 0) return false;
  const UniqueKernelHandle handle(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread));
  return handle && GetProcessIdOfThread(handle.get()) == GetCurrentProcessId();
}

// Sets a hook through its own trampoline, which removes the hook once out of service and is
// given back with the hook.
template <class Hook, class Procedure, class Set>
Hook SetThroughTrampoline(Kind kind, Procedure procedure, bool wide, const void* caller,
                          Set&& set) {
  Trampoline* t = nullptr;
  const auto wrapped = reinterpret_cast<Procedure>(
      const_cast<void*>(Wrap({kind, wide, Code(procedure), caller, 0, nullptr, false}, &t)));
  if (procedure && !wrapped) return nullptr;
  const Hook hook = set(wrapped);
  if (t && hook) InterlockedExchangePointer(&t->hook, hook);
  if (t && !hook) Retire(t);
  return hook;
}

HHOOK Hooked(int type, HOOKPROC procedure, HINSTANCE instance, DWORD thread, bool wide,
             const void* caller) {
  const auto set = [&](HOOKPROC p) {
    return wide ? SetWindowsHookExW(type, p, instance, thread)
                : SetWindowsHookExA(type, p, instance, thread);
  };
  if (!HookRunsHere(type, thread)) return set(procedure);
  return SetThroughTrampoline<HHOOK>(Kind::kHook, procedure, wide, caller, set);
}
HHOOK WINAPI SetWindowsHookExAInstead(int type, HOOKPROC p, HINSTANCE i, DWORD thread) {
  return Hooked(type, p, i, thread, false, __builtin_return_address(0));
}
HHOOK WINAPI SetWindowsHookExWInstead(int type, HOOKPROC p, HINSTANCE i, DWORD thread) {
  return Hooked(type, p, i, thread, true, __builtin_return_address(0));
}

HWINEVENTHOOK WINAPI SetWinEventHookInstead(DWORD min, DWORD max, HMODULE module, WINEVENTPROC p,
                                            DWORD process, DWORD thread, DWORD flags) {
  const auto set = [&](WINEVENTPROC procedure) {
    return SetWinEventHook(min, max, module, procedure, process, thread, flags);
  };
  // In-context hooks run in other processes, where no trampoline of vo's exists.
  if (flags & WINEVENT_INCONTEXT) return set(p);
  return SetThroughTrampoline<HWINEVENTHOOK>(Kind::kWinEvent, p, false, __builtin_return_address(0),
                                             set);
}

// A hook removed is called no more: its trampoline goes (once no call is in progress).
BOOL WINAPI UnhookWindowsHookExInstead(HHOOK hook) {
  Trampoline* t = HookTrampoline(hook);
  const BOOL removed = UnhookWindowsHookEx(hook);
  if (removed && t) Retire(t);
  return removed;
}
BOOL WINAPI UnhookWinEventInstead(HWINEVENTHOOK hook) {
  Trampoline* t = HookTrampoline(hook);
  const BOOL removed = UnhookWinEvent(hook);
  if (removed && t) Retire(t);
  return removed;
}

UINT_PTR WINAPI SetTimerInstead(HWND w, UINT_PTR id, UINT elapse, TIMERPROC p) {
  const TIMERPROC wrapped = Wrapped(Kind::kTimer, false, p, __builtin_return_address(0));
  return p && !wrapped ? 0 : SetTimer(w, id, elapse, wrapped);
}

HANDLE WINAPI CreateThreadInstead(SECURITY_ATTRIBUTES* a, SIZE_T stack, LPTHREAD_START_ROUTINE p,
                                  void* parameter, DWORD flags, DWORD* id) {
  const auto wrapped = Wrapped(Kind::kThread, false, p, __builtin_return_address(0));
  return p && !wrapped ? nullptr : CreateThread(a, stack, wrapped, parameter, flags, id);
}

// A dialog whose procedure could not be put behind a trampoline is not made: the call fails
// as out of memory.
template <class Result, class Make>
Result WithDialog(DLGPROC p, const void* caller, Result failed, Make&& make) {
  const DLGPROC wrapped = Wrapped(Kind::kDialog, false, p, caller);
  return p && !wrapped ? failed : make(wrapped);
}

HWND WINAPI CreateDialogParamAInstead(HINSTANCE i, LPCSTR t, HWND o, DLGPROC p, LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), HWND{},
                    [&](DLGPROC d) { return CreateDialogParamA(i, t, o, d, l); });
}
HWND WINAPI CreateDialogParamWInstead(HINSTANCE i, LPCWSTR t, HWND o, DLGPROC p, LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), HWND{},
                    [&](DLGPROC d) { return CreateDialogParamW(i, t, o, d, l); });
}
HWND WINAPI CreateDialogIndirectParamAInstead(HINSTANCE i, LPCDLGTEMPLATEA t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), HWND{},
                    [&](DLGPROC d) { return CreateDialogIndirectParamA(i, t, o, d, l); });
}
HWND WINAPI CreateDialogIndirectParamWInstead(HINSTANCE i, LPCDLGTEMPLATEW t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), HWND{},
                    [&](DLGPROC d) { return CreateDialogIndirectParamW(i, t, o, d, l); });
}
INT_PTR WINAPI DialogBoxParamAInstead(HINSTANCE i, LPCSTR t, HWND o, DLGPROC p, LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), INT_PTR{-1},
                    [&](DLGPROC d) { return DialogBoxParamA(i, t, o, d, l); });
}
INT_PTR WINAPI DialogBoxParamWInstead(HINSTANCE i, LPCWSTR t, HWND o, DLGPROC p, LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), INT_PTR{-1},
                    [&](DLGPROC d) { return DialogBoxParamW(i, t, o, d, l); });
}
INT_PTR WINAPI DialogBoxIndirectParamAInstead(HINSTANCE i, LPCDLGTEMPLATEA t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), INT_PTR{-1},
                    [&](DLGPROC d) { return DialogBoxIndirectParamA(i, t, o, d, l); });
}
INT_PTR WINAPI DialogBoxIndirectParamWInstead(HINSTANCE i, LPCDLGTEMPLATEW t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return WithDialog(p, __builtin_return_address(0), INT_PTR{-1},
                    [&](DLGPROC d) { return DialogBoxIndirectParamW(i, t, o, d, l); });
}

FARPROC WINAPI GetProcAddressInstead(HMODULE module, LPCSTR name);

// The C runtime's abort() ends the process. A module built with g++ gets there from a C++
// exception nothing of its own catches: it becomes an exception the guard contains.
void AbortInstead() { RaiseException(kAbortCode, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

struct Interposed {
  const char* library;
  const char* name;
  const void* instead;
  const void* real = nullptr;   // as the module's import table holds it
  const void* alias = nullptr;  // kernelbase's entry of the same name, where it has one
};

// 64-bit user32 names its calls of pointer-sized slots "...Ptr"; 32-bit user32 has the LONG
// ones only, and its headers make the "Ptr" names macros for them.
#if defined(__x86_64__)
#define VO_SLOT_CALL(verb, charset) verb##LongPtr##charset
#else
#define VO_SLOT_CALL(verb, charset) verb##Long##charset
#endif
#define VO_NAME_OF(call) #call
#define VO_NAME_OF_EXPANDED(call) VO_NAME_OF(call)
#define VO_SLOT_NAME(verb, charset) VO_NAME_OF_EXPANDED(VO_SLOT_CALL(verb, charset))

Interposed interposed[] = {
    {"user32.dll", VO_SLOT_NAME(SetWindow, A),
     Code(&SetWindowSlot<&VO_SLOT_CALL(SetWindow, A), false>)},
    {"user32.dll", VO_SLOT_NAME(SetWindow, W),
     Code(&SetWindowSlot<&VO_SLOT_CALL(SetWindow, W), true>)},
    {"user32.dll", VO_SLOT_NAME(SetClass, A),
     Code(&SetClassSlot<&VO_SLOT_CALL(SetClass, A), false>)},
    {"user32.dll", VO_SLOT_NAME(SetClass, W),
     Code(&SetClassSlot<&VO_SLOT_CALL(SetClass, W), true>)},
    {"user32.dll", VO_SLOT_NAME(GetWindow, A), Code(&GetWindowSlot<&VO_SLOT_CALL(GetWindow, A)>)},
    {"user32.dll", VO_SLOT_NAME(GetWindow, W), Code(&GetWindowSlot<&VO_SLOT_CALL(GetWindow, W)>)},
    {"user32.dll", VO_SLOT_NAME(GetClass, A), Code(&GetClassSlot<&VO_SLOT_CALL(GetClass, A)>)},
    {"user32.dll", VO_SLOT_NAME(GetClass, W), Code(&GetClassSlot<&VO_SLOT_CALL(GetClass, W)>)},
    {"user32.dll", "RegisterClassA", Code(&RegisterClassAInstead)},
    {"user32.dll", "RegisterClassW", Code(&RegisterClassWInstead)},
    {"user32.dll", "RegisterClassExA", Code(&RegisterClassExAInstead)},
    {"user32.dll", "RegisterClassExW", Code(&RegisterClassExWInstead)},
    {"user32.dll", "GetClassInfoA", Code(&GetClassInfoAInstead)},
    {"user32.dll", "GetClassInfoW", Code(&GetClassInfoWInstead)},
    {"user32.dll", "GetClassInfoExA", Code(&GetClassInfoExAInstead)},
    {"user32.dll", "GetClassInfoExW", Code(&GetClassInfoExWInstead)},
    {"user32.dll", "CallWindowProcA", Code(&CallWindowProcAInstead)},
    {"user32.dll", "CallWindowProcW", Code(&CallWindowProcWInstead)},
    {"user32.dll", "SetWindowsHookExA", Code(&SetWindowsHookExAInstead)},
    {"user32.dll", "SetWindowsHookExW", Code(&SetWindowsHookExWInstead)},
    {"user32.dll", "UnhookWindowsHookEx", Code(&UnhookWindowsHookExInstead)},
    {"user32.dll", "SetWinEventHook", Code(&SetWinEventHookInstead)},
    {"user32.dll", "UnhookWinEvent", Code(&UnhookWinEventInstead)},
    {"user32.dll", "SetTimer", Code(&SetTimerInstead)},
    {"user32.dll", "CreateDialogParamA", Code(&CreateDialogParamAInstead)},
    {"user32.dll", "CreateDialogParamW", Code(&CreateDialogParamWInstead)},
    {"user32.dll", "CreateDialogIndirectParamA", Code(&CreateDialogIndirectParamAInstead)},
    {"user32.dll", "CreateDialogIndirectParamW", Code(&CreateDialogIndirectParamWInstead)},
    {"user32.dll", "DialogBoxParamA", Code(&DialogBoxParamAInstead)},
    {"user32.dll", "DialogBoxParamW", Code(&DialogBoxParamWInstead)},
    {"user32.dll", "DialogBoxIndirectParamA", Code(&DialogBoxIndirectParamAInstead)},
    {"user32.dll", "DialogBoxIndirectParamW", Code(&DialogBoxIndirectParamWInstead)},
    {"kernel32.dll", "CreateThread", Code(&CreateThreadInstead)},
    {"kernel32.dll", "GetProcAddress", Code(&GetProcAddressInstead)},
    {"msvcrt.dll", "abort", Code(&AbortInstead)},
};

// What vo calls instead of the system's function at that address, or null.
const void* InsteadOf(const void* real) {
  if (!real) return nullptr;
  for (const Interposed& entry : interposed) {
    if (entry.real == real || entry.alias == real) return entry.instead;
  }
  return nullptr;
}

FARPROC WINAPI GetProcAddressInstead(HMODULE module, LPCSTR name) {
  const FARPROC real = GetProcAddress(module, name);
  if (const void* instead = InsteadOf(reinterpret_cast<const void*>(real))) {
    return reinterpret_cast<FARPROC>(const_cast<void*>(instead));
  }
  return real;
}

void ResolveInterposed() {
  static bool resolved = false;
  if (resolved) return;
  resolved = true;
  const HMODULE kernelBase = GetModuleHandleA("kernelbase.dll");
  for (Interposed& entry : interposed) {
    entry.real =
        reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA(entry.library), entry.name));
    if (kernelBase)
      entry.alias = reinterpret_cast<const void*>(GetProcAddress(kernelBase, entry.name));
  }
}

// A library the loader resolves to user32, kernel32 or kernelbase under another name: an
// API set ("api-ms-win-core-...", "ext-ms-win-ntuser-...") or kernelbase itself. Its entries
// are known by name; their addresses may be any of the three's.
bool NamesSystemEntries(const char* library) {
  return _strnicmp(library, "api-ms-win-", 11) == 0 || _strnicmp(library, "ext-ms-win-", 11) == 0 ||
         _stricmp(library, "kernelbase.dll") == 0;
}

const void* InsteadOfName(const char* name) {
  for (const Interposed& entry : interposed) {
    if (std::strcmp(entry.name, name) == 0) return entry.instead;
  }
  return nullptr;
}

bool Rewrite(ULONG_PTR* entry, const void* value) {
  DWORD old = 0;
  if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old)) return false;
  *entry = reinterpret_cast<ULONG_PTR>(value);
  VirtualProtect(entry, sizeof *entry, old, &old);
  return true;
}

// What vo calls instead of one import: by its address, or by its name where the library is
// known to hand out system entries.
const void* InsteadOfImport(std::uintptr_t base, const IMAGE_IMPORT_DESCRIPTOR& library,
                            std::size_t index, const IMAGE_THUNK_DATA& entry) {
  if (const void* instead = InsteadOf(reinterpret_cast<const void*>(entry.u1.Function))) {
    return instead;
  }
  const auto* library_name = reinterpret_cast<const char*>(base + library.Name);
  if (!library.OriginalFirstThunk || !NamesSystemEntries(library_name)) return nullptr;
  const auto& named =
      reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library.OriginalFirstThunk)[index];
  if (IMAGE_SNAP_BY_ORDINAL(named.u1.Ordinal)) return nullptr;
  const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + named.u1.AddressOfData);
  return InsteadOfName(reinterpret_cast<const char*>(byName->Name));
}

}  // namespace

bool InterposeOn(HMODULE module) {
  ResolveInterposed();
  const auto base = reinterpret_cast<std::uintptr_t>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return true;
  bool complete = true;
  for (auto* library =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (std::size_t i = 0; entries[i].u1.Function != 0; ++i) {
      const void* instead = InsteadOfImport(base, *library, i, entries[i]);
      if (instead && !Rewrite(&entries[i].u1.Function, instead)) complete = false;
    }
  }
  return complete;
}

std::uintptr_t ProcedureBehind(std::uintptr_t address) { return Behind(address, kNoModule); }

}  // namespace vo::win
