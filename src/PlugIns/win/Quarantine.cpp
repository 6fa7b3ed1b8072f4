#include "PlugIns/win/Quarantine.h"

#include <cstring>
#include <initializer_list>

#include "PlugIns/win/Interpose.h"
#include "PlugIns/win/Thunks.h"

namespace vo::win {
namespace {

// ---- bypassing a procedure ----------------------------------------------------------------
// A subclass procedure cannot be unlinked from the middle of a chain: the procedure above it
// keeps its address in its own data. Its first instructions are rewritten instead to jump to
// a small piece of code that passes the message on to the procedure it followed.

// Code that calls CallWindowProc(next, window, message, wParam, lParam) for a window
// procedure's own arguments.
const void* MakeForwarder(LONG_PTR next, bool wide) {
  const auto call = reinterpret_cast<const void*>(wide ? &CallWindowProcW : &CallWindowProcA);
  return MakeThunk(call, reinterpret_cast<const void*>(next));
}

// Makes the pages of [at, at + size) writable (and not executable) while write runs, then
// gives each page its own protection back: a patch may straddle two pages of different
// protections. False, with nothing written, if the system refuses (Arbitrary Code Guard).
template <class Write>
bool WriteCode(std::uintptr_t at, std::size_t size, Write&& write) {
  constexpr std::uintptr_t kPage = 4096;
  const std::uintptr_t first = at & ~(kPage - 1);
  const std::uintptr_t last = (at + size - 1) & ~(kPage - 1);
  DWORD old[2] = {};
  int changed = 0;
  for (std::uintptr_t page = first; page <= last; page += kPage, ++changed) {
    if (!VirtualProtect(reinterpret_cast<void*>(page), 1, PAGE_READWRITE, &old[changed])) break;
  }
  const bool writable = changed == static_cast<int>((last - first) / kPage) + 1;
  if (writable) write();
  for (int i = changed - 1; i >= 0; --i) {
    DWORD ignored = 0;
    VirtualProtect(reinterpret_cast<void*>(first + i * kPage), 1, old[i], &ignored);
  }
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(at), size);
  return writable;
}

// Rewrites the start of the procedure into a jump to target.
bool RewriteAsJump(std::uintptr_t procedure, const void* target) {
  unsigned char jump[12];
#if defined(__x86_64__)
  Put(Put(Put(jump, {0x48, 0xB8}), reinterpret_cast<std::uint64_t>(target)), {0xFF, 0xE0});
  const std::size_t size = 12;
#else
  const auto relative = reinterpret_cast<std::uintptr_t>(target) - (procedure + 5);
  Put(Put(jump, {0xE9}), static_cast<std::uint32_t>(relative));
  const std::size_t size = 5;
#endif
  return WriteCode(procedure, size,
                   [&] { std::memcpy(reinterpret_cast<void*>(procedure), jump, size); });
}

// ---- the module's windows -------------------------------------------------------------

bool IsDialog(HWND window) {
  char name[8];
  return GetClassNameA(window, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

struct WindowSearch {
  const ModuleRegistry& modules;
  HWND clock;
  ModuleId module;
  std::vector<HWND> found;

  ModuleId RunBy(HWND window, int index = GWLP_WNDPROC) const {
    return modules.FindModuleAt(
        ProcedureBehind(static_cast<std::uintptr_t>(ProcedureOf(window, index))));
  }
  bool RunsCodeOf(HWND window) const {
    if (RunBy(window) == module) return true;
    return IsDialog(window) && RunBy(window, DWLP_DLGPROC) == module;
  }
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM search) {
  auto& of = *reinterpret_cast<WindowSearch*>(search);
  if (window != of.clock && of.RunsCodeOf(window)) of.found.push_back(window);
  return TRUE;
}

}  // namespace

LONG_PTR ProcedureOf(HWND window, int index) {
  return IsWindowUnicode(window) ? GetWindowLongPtrW(window, index)
                                 : GetWindowLongPtrA(window, index);
}

bool Quarantine::Known(std::uintptr_t procedure) const {
  for (const Link& link : links_) {
    if (link.procedure == procedure) return true;
  }
  return false;
}

void Quarantine::Bypass(const Link& link) {
  if (static_cast<std::uintptr_t>(ProcedureOf(clock_)) == link.procedure) {
    SetWindowLongPtrA(clock_, GWLP_WNDPROC, link.nextAnsi);
    lastAnsi_ = GetWindowLongPtrA(clock_, GWLP_WNDPROC);
  }
  const LONG_PTR next = link.wide ? link.nextWide : link.nextAnsi;
  const void* forwarder = MakeForwarder(next, link.wide);
  if (forwarder && RewriteAsJump(link.procedure, forwarder)) return;
  // The code cannot be rewritten: the clock's chain is cut below the procedure instead,
  // which also drops the subclasses made after it.
  OutputDebugStringA("vo: a plug-in procedure could not be bypassed; its window's chain is cut\n");
  SetWindowLongPtrA(clock_, GWLP_WNDPROC, link.nextAnsi);
  lastAnsi_ = GetWindowLongPtrA(clock_, GWLP_WNDPROC);
  lastWide_ = GetWindowLongPtrW(clock_, GWLP_WNDPROC);
}

// Destroys the thread's top-level windows that run the module's code, without calling it:
// a modal dialog of the module's whose loop was abandoned is closed, and its owner enabled.
void Quarantine::DestroyWindowsOf(ModuleId module) const {
  WindowSearch search{modules_, clock_, module, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&search));
  for (HWND window : search.found) {
    if (!IsWindow(window)) continue;
    if (IsDialog(window)) SetWindowLongPtrA(window, DWLP_DLGPROC, 0);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    const HWND owner = GetWindow(window, GW_OWNER);
    DestroyWindow(window);
    if (owner && !IsWindowEnabled(owner)) EnableWindow(owner, TRUE);
  }
}

void Quarantine::WatchClock(HWND window) {
  clock_ = window;
  lastAnsi_ = GetWindowLongPtrA(clock_, GWLP_WNDPROC);
  lastWide_ = GetWindowLongPtrW(clock_, GWLP_WNDPROC);
}

void Quarantine::NoteClockProcedure() {
  if (!clock_) return;
  const LONG_PTR ansi = GetWindowLongPtrA(clock_, GWLP_WNDPROC);
  if (ansi == lastAnsi_) return;
  const LONG_PTR wide = GetWindowLongPtrW(clock_, GWLP_WNDPROC);
  const bool unicode = IsWindowUnicode(clock_);
  // The procedure's own address, in the character set it was set with.
  const auto procedure = static_cast<std::uintptr_t>(unicode ? wide : ansi);
  if (modules_.FindModuleAt(procedure) != kNoModule && !Known(procedure)) {
    links_.push_back({procedure, lastAnsi_, lastWide_, unicode != FALSE});
  }
  lastAnsi_ = ansi;
  lastWide_ = wide;
}

bool Quarantine::TakeOutOfService(ModuleId module) {
  if (!modules_.PutOutOfService(module)) return false;
  if (clock_) {
    NoteClockProcedure();
    for (const Link& link : links_) {
      if (modules_.FindModuleAt(link.procedure) == module) Bypass(link);
    }
  }
  DestroyWindowsOf(module);
  return true;
}

bool Quarantine::DropsMessage(const MSG& message) const {
  if (message.message != WM_TIMER || message.lParam == 0) return false;
  const auto procedure = ProcedureBehind(static_cast<std::uintptr_t>(message.lParam));
  if (modules_.InService(modules_.FindModuleAt(procedure))) return false;
  KillTimer(message.hwnd, message.wParam);
  return true;
}

}  // namespace vo::win
