#include "PlugIns/win/Interpose.h"

#include <cstring>
#include <vector>

#include "PlugIns/win/PlugInHost.h"
#include "PlugIns/win/Thunks.h"

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
  HANDLE hook = nullptr;  // kHook, kWinEvent: the hook, removed once out of service
  const void* code = nullptr;
};

// Made by any thread that runs plug-in code, read by the quarantine on the GUI thread.
SRWLOCK lock = SRWLOCK_INIT;
std::vector<Trampoline*> made;

class Exclusive {
 public:
  Exclusive() { AcquireSRWLockExclusive(&lock); }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;
  ~Exclusive() { ReleaseSRWLockExclusive(&lock); }
};

const void* EntryOf(Kind kind);

bool OutOfService(const Trampoline& t) { return !Host().Modules().InService(t.module); }

// A trampoline for the procedure, or the procedure itself when it is no plug-in's code (or no
// executable page can be had). A trampoline is made once per procedure and answer, and kept
// for the program's run: the system may call it at any time.
const void* Wrap(Kind kind, bool wide, const void* procedure, LONG_PTR next = 0,
                 bool shared = true) {
  const ModuleId module =
      Host().Modules().FindModuleAt(reinterpret_cast<std::uintptr_t>(procedure));
  if (module == kNoModule) return procedure;
  const Exclusive exclusive;
  for (const Trampoline* t : made) {
    if (shared && t->kind == kind && t->wide == wide && t->procedure == procedure &&
        t->next == next) {
      return t->code;
    }
  }
  auto* t = new Trampoline{kind, wide, module, procedure, next};
  t->code = MakeThunk(EntryOf(kind), t);
  if (!t->code) {
    delete t;
    return procedure;
  }
  made.push_back(t);
  return t->code;
}

template <class Procedure>
Procedure Wrapped(Kind kind, bool wide, Procedure procedure, LONG_PTR next = 0) {
  return reinterpret_cast<Procedure>(
      const_cast<void*>(Wrap(kind, wide, reinterpret_cast<const void*>(procedure), next)));
}

const Trampoline* TrampolineAt(std::uintptr_t address) {
  const ThunkSlot* slot = ThunkAt(address);
  if (!slot) return nullptr;
  for (Kind kind : {Kind::kWindow, Kind::kTimer, Kind::kHook, Kind::kWinEvent, Kind::kThread}) {
    if (slot->target == EntryOf(kind)) return static_cast<const Trampoline*>(slot->argument);
  }
  return nullptr;
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

LRESULT CALLBACK WindowEntry(const Trampoline* t, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
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

void CALLBACK TimerEntry(const Trampoline* t, HWND window, UINT message, UINT_PTR id, DWORD time) {
  const auto procedure = reinterpret_cast<TIMERPROC>(const_cast<void*>(t->procedure));
  if (!OutOfService(*t) &&
      !Ended(GuardedCall(t->module, [&] { procedure(window, message, id, time); }), t->module)) {
    return;
  }
  KillTimer(window, id);  // the module's timers go with it
}

LRESULT CALLBACK HookEntry(Trampoline* t, int code, WPARAM wParam, LPARAM lParam) {
  const auto procedure = reinterpret_cast<HOOKPROC>(const_cast<void*>(t->procedure));
  LRESULT result = 0;
  if (!OutOfService(*t) &&
      !Ended(GuardedCall(t->module, [&] { result = procedure(code, wParam, lParam); }),
             t->module)) {
    return result;
  }
  if (HANDLE hook = InterlockedExchangePointer(&t->hook, nullptr)) {
    UnhookWindowsHookEx(static_cast<HHOOK>(hook));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK WinEventEntry(Trampoline* t, HWINEVENTHOOK hook, DWORD event, HWND window,
                            LONG object, LONG child, DWORD thread, DWORD time) {
  const auto procedure = reinterpret_cast<WINEVENTPROC>(const_cast<void*>(t->procedure));
  if (!OutOfService(*t) &&
      !Ended(GuardedCall(t->module,
                         [&] { procedure(hook, event, window, object, child, thread, time); }),
             t->module)) {
    return;
  }
  UnhookWinEvent(hook);
}

// A plug-in's thread runs under a guard of its own from its first instruction: a fault there
// ends the thread, not the program, whatever filter the process has.
DWORD WINAPI ThreadEntry(const Trampoline* t, void* parameter) {
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

// A value for a window's or class's slot: procedures go in behind trampolines.
LONG_PTR WindowValue(HWND window, int index, LONG_PTR value, bool wide) {
  const auto procedure = reinterpret_cast<const void*>(value);
  if (index == GWLP_WNDPROC) {
    const LONG_PTR next =
        wide ? GetWindowLongPtrW(window, index) : GetWindowLongPtrA(window, index);
    if (ProcedureBehind(static_cast<std::uintptr_t>(next)) == static_cast<std::uintptr_t>(value)) {
      return next;  // the same procedure again
    }
    return reinterpret_cast<LONG_PTR>(Wrap(Kind::kSubclass, wide, procedure, next));
  }
  if (index == DWLP_DLGPROC && IsDialog(window)) {
    return reinterpret_cast<LONG_PTR>(Wrap(Kind::kDialog, wide, procedure));
  }
  return value;
}

LONG_PTR ClassValue(HWND window, int index, LONG_PTR value, bool wide) {
  if (index != GCLP_WNDPROC) return value;
  const LONG_PTR next = static_cast<LONG_PTR>(wide ? GetClassLongPtrW(window, index)
                                                   : GetClassLongPtrA(window, index));
  return reinterpret_cast<LONG_PTR>(
      Wrap(Kind::kSubclass, wide, reinterpret_cast<const void*>(value), next));
}

#if defined(__x86_64__)
LONG_PTR WINAPI SetWindowLongPtrAInstead(HWND w, int i, LONG_PTR v) {
  return SetWindowLongPtrA(w, i, WindowValue(w, i, v, false));
}
LONG_PTR WINAPI SetWindowLongPtrWInstead(HWND w, int i, LONG_PTR v) {
  return SetWindowLongPtrW(w, i, WindowValue(w, i, v, true));
}
ULONG_PTR WINAPI SetClassLongPtrAInstead(HWND w, int i, LONG_PTR v) {
  return SetClassLongPtrA(w, i, ClassValue(w, i, v, false));
}
ULONG_PTR WINAPI SetClassLongPtrWInstead(HWND w, int i, LONG_PTR v) {
  return SetClassLongPtrW(w, i, ClassValue(w, i, v, true));
}
#else
LONG WINAPI SetWindowLongAInstead(HWND w, int i, LONG v) {
  return SetWindowLongA(w, i, WindowValue(w, i, v, false));
}
LONG WINAPI SetWindowLongWInstead(HWND w, int i, LONG v) {
  return SetWindowLongW(w, i, WindowValue(w, i, v, true));
}
DWORD WINAPI SetClassLongAInstead(HWND w, int i, LONG v) {
  return SetClassLongA(w, i, ClassValue(w, i, v, false));
}
DWORD WINAPI SetClassLongWInstead(HWND w, int i, LONG v) {
  return SetClassLongW(w, i, ClassValue(w, i, v, true));
}
#endif

template <class Class>
Class WithTrampoline(const Class* given, bool wide) {
  Class copy = *given;
  copy.lpfnWndProc = Wrapped(Kind::kWindow, wide, copy.lpfnWndProc);
  return copy;
}

ATOM WINAPI RegisterClassAInstead(const WNDCLASSA* c) {
  if (!c) return RegisterClassA(c);
  const WNDCLASSA copy = WithTrampoline(c, false);
  return RegisterClassA(&copy);
}
ATOM WINAPI RegisterClassWInstead(const WNDCLASSW* c) {
  if (!c) return RegisterClassW(c);
  const WNDCLASSW copy = WithTrampoline(c, true);
  return RegisterClassW(&copy);
}
ATOM WINAPI RegisterClassExAInstead(const WNDCLASSEXA* c) {
  if (!c) return RegisterClassExA(c);
  const WNDCLASSEXA copy = WithTrampoline(c, false);
  return RegisterClassExA(&copy);
}
ATOM WINAPI RegisterClassExWInstead(const WNDCLASSEXW* c) {
  if (!c) return RegisterClassExW(c);
  const WNDCLASSEXW copy = WithTrampoline(c, true);
  return RegisterClassExW(&copy);
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

HHOOK Hooked(HOOKPROC procedure, bool wide, int type, HINSTANCE instance, DWORD thread) {
  // One trampoline per hook: it removes its own hook.
  const void* code = Wrap(Kind::kHook, wide, reinterpret_cast<const void*>(procedure), 0, false);
  const auto wrapped = reinterpret_cast<HOOKPROC>(const_cast<void*>(code));
  const HHOOK hook = wide ? SetWindowsHookExW(type, wrapped, instance, thread)
                          : SetWindowsHookExA(type, wrapped, instance, thread);
  if (const Trampoline* t = TrampolineAt(reinterpret_cast<std::uintptr_t>(code))) {
    const_cast<Trampoline*>(t)->hook = hook;
  }
  return hook;
}
HHOOK WINAPI SetWindowsHookExAInstead(int type, HOOKPROC p, HINSTANCE i, DWORD thread) {
  return Hooked(p, false, type, i, thread);
}
HHOOK WINAPI SetWindowsHookExWInstead(int type, HOOKPROC p, HINSTANCE i, DWORD thread) {
  return Hooked(p, true, type, i, thread);
}

HWINEVENTHOOK WINAPI SetWinEventHookInstead(DWORD min, DWORD max, HMODULE module, WINEVENTPROC p,
                                            DWORD process, DWORD thread, DWORD flags) {
  // In-context hooks run in other processes, where no trampoline of vo's exists.
  if (!(flags & WINEVENT_INCONTEXT)) p = Wrapped(Kind::kWinEvent, false, p);
  return SetWinEventHook(min, max, module, p, process, thread, flags);
}

UINT_PTR WINAPI SetTimerInstead(HWND w, UINT_PTR id, UINT elapse, TIMERPROC p) {
  return SetTimer(w, id, elapse, Wrapped(Kind::kTimer, false, p));
}

HANDLE WINAPI CreateThreadInstead(SECURITY_ATTRIBUTES* a, SIZE_T stack, LPTHREAD_START_ROUTINE p,
                                  void* parameter, DWORD flags, DWORD* id) {
  return CreateThread(a, stack, Wrapped(Kind::kThread, false, p), parameter, flags, id);
}

DLGPROC Dialog(DLGPROC p) { return Wrapped(Kind::kDialog, false, p); }

HWND WINAPI CreateDialogParamAInstead(HINSTANCE i, LPCSTR t, HWND o, DLGPROC p, LPARAM l) {
  return CreateDialogParamA(i, t, o, Dialog(p), l);
}
HWND WINAPI CreateDialogParamWInstead(HINSTANCE i, LPCWSTR t, HWND o, DLGPROC p, LPARAM l) {
  return CreateDialogParamW(i, t, o, Dialog(p), l);
}
HWND WINAPI CreateDialogIndirectParamAInstead(HINSTANCE i, LPCDLGTEMPLATEA t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return CreateDialogIndirectParamA(i, t, o, Dialog(p), l);
}
HWND WINAPI CreateDialogIndirectParamWInstead(HINSTANCE i, LPCDLGTEMPLATEW t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return CreateDialogIndirectParamW(i, t, o, Dialog(p), l);
}
INT_PTR WINAPI DialogBoxParamAInstead(HINSTANCE i, LPCSTR t, HWND o, DLGPROC p, LPARAM l) {
  return DialogBoxParamA(i, t, o, Dialog(p), l);
}
INT_PTR WINAPI DialogBoxParamWInstead(HINSTANCE i, LPCWSTR t, HWND o, DLGPROC p, LPARAM l) {
  return DialogBoxParamW(i, t, o, Dialog(p), l);
}
INT_PTR WINAPI DialogBoxIndirectParamAInstead(HINSTANCE i, LPCDLGTEMPLATEA t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return DialogBoxIndirectParamA(i, t, o, Dialog(p), l);
}
INT_PTR WINAPI DialogBoxIndirectParamWInstead(HINSTANCE i, LPCDLGTEMPLATEW t, HWND o, DLGPROC p,
                                              LPARAM l) {
  return DialogBoxIndirectParamW(i, t, o, Dialog(p), l);
}

FARPROC WINAPI GetProcAddressInstead(HMODULE module, LPCSTR name);

// The C runtime's abort() ends the process. A module built with g++ gets there from a C++
// exception nothing of its own catches: it becomes an exception the guard contains.
void AbortInstead() { RaiseException(kAbortCode, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

struct Interposed {
  const char* library;
  const char* name;
  const void* instead;
  const void* real = nullptr;  // as the module's import table holds it
};

template <class Function>
constexpr const void* Code(Function* function) {
  return reinterpret_cast<const void*>(function);
}

Interposed interposed[] = {
#if defined(__x86_64__)
    {"user32.dll", "SetWindowLongPtrA", Code(&SetWindowLongPtrAInstead)},
    {"user32.dll", "SetWindowLongPtrW", Code(&SetWindowLongPtrWInstead)},
    {"user32.dll", "SetClassLongPtrA", Code(&SetClassLongPtrAInstead)},
    {"user32.dll", "SetClassLongPtrW", Code(&SetClassLongPtrWInstead)},
#else
    {"user32.dll", "SetWindowLongA", Code(&SetWindowLongAInstead)},
    {"user32.dll", "SetWindowLongW", Code(&SetWindowLongWInstead)},
    {"user32.dll", "SetClassLongA", Code(&SetClassLongAInstead)},
    {"user32.dll", "SetClassLongW", Code(&SetClassLongWInstead)},
#endif
    {"user32.dll", "RegisterClassA", Code(&RegisterClassAInstead)},
    {"user32.dll", "RegisterClassW", Code(&RegisterClassWInstead)},
    {"user32.dll", "RegisterClassExA", Code(&RegisterClassExAInstead)},
    {"user32.dll", "RegisterClassExW", Code(&RegisterClassExWInstead)},
    {"user32.dll", "CallWindowProcA", Code(&CallWindowProcAInstead)},
    {"user32.dll", "CallWindowProcW", Code(&CallWindowProcWInstead)},
    {"user32.dll", "SetWindowsHookExA", Code(&SetWindowsHookExAInstead)},
    {"user32.dll", "SetWindowsHookExW", Code(&SetWindowsHookExWInstead)},
    {"user32.dll", "SetWinEventHook", Code(&SetWinEventHookInstead)},
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
    if (entry.real == real) return entry.instead;
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
  for (Interposed& entry : interposed) {
    entry.real =
        reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA(entry.library), entry.name));
  }
}

bool Rewrite(ULONG_PTR* entry, const void* value) {
  DWORD old = 0;
  if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old)) return false;
  *entry = reinterpret_cast<ULONG_PTR>(value);
  VirtualProtect(entry, sizeof *entry, old, &old);
  return true;
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
    for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
         entry->u1.Function != 0; ++entry) {
      const void* instead = InsteadOf(reinterpret_cast<const void*>(entry->u1.Function));
      if (instead && !Rewrite(&entry->u1.Function, instead)) complete = false;
    }
  }
  return complete;
}

std::uintptr_t ProcedureBehind(std::uintptr_t address) {
  const Trampoline* t = TrampolineAt(address);
  return t ? reinterpret_cast<std::uintptr_t>(t->procedure) : address;
}

}  // namespace vo::win
