#include "PlugIns/win/Quarantine.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "PlugIns/win/Interpose.h"
#include "PlugIns/win/Thunks.h"

namespace vo::win {
namespace {

// One plug-in procedure in the clock's subclass chain and the procedure it passes messages
// on to, as the window reported it just before (in both character sets).
struct Link {
  std::uintptr_t procedure = 0;
  LONG_PTR nextAnsi = 0;
  LONG_PTR nextWide = 0;
  bool wide = false;  // the plug-in's procedure takes Unicode messages
};

HWND clock = nullptr;
LONG_PTR lastAnsi = 0;  // the clock's procedure as last seen
LONG_PTR lastWide = 0;
std::vector<Link> links;

bool Known(std::uintptr_t procedure) {
  for (const Link& link : links) {
    if (link.procedure == procedure) return true;
  }
  return false;
}

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
bool Redirect(std::uintptr_t procedure, const void* target) {
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

void Bypass(const Link& link) {
  if (static_cast<std::uintptr_t>(ProcedureOf(clock)) == link.procedure) {
    SetWindowLongPtrA(clock, GWLP_WNDPROC, link.nextAnsi);
    lastAnsi = GetWindowLongPtrA(clock, GWLP_WNDPROC);
  }
  const LONG_PTR next = link.wide ? link.nextWide : link.nextAnsi;
  const void* forwarder = MakeForwarder(next, link.wide);
  if (forwarder && Redirect(link.procedure, forwarder)) return;
  // The code cannot be rewritten: the clock's chain is cut below the procedure instead,
  // which also drops the subclasses made after it.
  OutputDebugStringA("vo: a plug-in procedure could not be bypassed; its window's chain is cut\n");
  SetWindowLongPtrA(clock, GWLP_WNDPROC, link.nextAnsi);
  lastAnsi = GetWindowLongPtrA(clock, GWLP_WNDPROC);
  lastWide = GetWindowLongPtrW(clock, GWLP_WNDPROC);
}

// ---- the module's windows -------------------------------------------------------------

bool IsDialog(HWND window) {
  char name[8];
  return GetClassNameA(window, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

ModuleId ModuleRunBy(HWND window, int index = GWLP_WNDPROC) {
  return ModuleAt(ProcedureBehind(static_cast<std::uintptr_t>(ProcedureOf(window, index))));
}

bool RunsCodeOf(HWND window, ModuleId module) {
  if (ModuleRunBy(window) == module) return true;
  return IsDialog(window) && ModuleRunBy(window, DWLP_DLGPROC) == module;
}

struct WindowSearch {
  ModuleId module;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM search) {
  auto& of = *reinterpret_cast<WindowSearch*>(search);
  if (window != clock && RunsCodeOf(window, of.module)) of.found.push_back(window);
  return TRUE;
}

// Destroys the thread's top-level windows that run the module's code, without calling it:
// a modal dialog of the module's whose loop was abandoned is closed, and its owner enabled.
void DestroyWindowsOf(ModuleId module) {
  WindowSearch search{module, {}};
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

}  // namespace

LONG_PTR ProcedureOf(HWND window, int index) {
  return IsWindowUnicode(window) ? GetWindowLongPtrW(window, index)
                                 : GetWindowLongPtrA(window, index);
}

void WatchClockWindow(HWND window) {
  clock = window;
  lastAnsi = GetWindowLongPtrA(clock, GWLP_WNDPROC);
  lastWide = GetWindowLongPtrW(clock, GWLP_WNDPROC);
}

void NoteClockProcedure() {
  if (!clock) return;
  const LONG_PTR ansi = GetWindowLongPtrA(clock, GWLP_WNDPROC);
  if (ansi == lastAnsi) return;
  const LONG_PTR wide = GetWindowLongPtrW(clock, GWLP_WNDPROC);
  const bool unicode = IsWindowUnicode(clock);
  // The procedure's own address, in the character set it was set with.
  const auto procedure = static_cast<std::uintptr_t>(unicode ? wide : ansi);
  if (ModuleAt(procedure) != kNoModule && !Known(procedure)) {
    links.push_back({procedure, lastAnsi, lastWide, unicode != FALSE});
  }
  lastAnsi = ansi;
  lastWide = wide;
}

bool Quarantine(ModuleId module) {
  if (module == kNoModule || IsOutOfService(module)) return false;
  PutOutOfService(module);
  if (clock) {
    NoteClockProcedure();
    for (const Link& link : links) {
      if (ModuleAt(link.procedure) == module) Bypass(link);
    }
  }
  DestroyWindowsOf(module);
  return true;
}

bool DropsMessage(const MSG& message) {
  if (message.message != WM_TIMER || message.lParam == 0) return false;
  const auto procedure = ProcedureBehind(static_cast<std::uintptr_t>(message.lParam));
  if (!IsOutOfService(ModuleAt(procedure))) return false;
  KillTimer(message.hwnd, message.wParam);
  return true;
}

}  // namespace vo::win
