#include "PlugIns/win/Quarantine.h"

#include <cstring>
#include <vector>

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

class Thunks {
 public:
  // Executable code for one forwarding thunk, or null.
  unsigned char* Take(std::size_t size) {
    if (!page_ || used_ + size > kPageSize) {
      page_ = static_cast<unsigned char*>(
          VirtualAlloc(nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
      used_ = 0;
      if (!page_) return nullptr;
    }
    unsigned char* thunk = page_ + used_;
    used_ += (size + 15) & ~std::size_t{15};
    return thunk;
  }

 private:
  static constexpr std::size_t kPageSize = 4096;
  unsigned char* page_ = nullptr;
  std::size_t used_ = 0;
};
Thunks thunks;

template <class T>
unsigned char* Put(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
  return at + sizeof value;
}

unsigned char* Put(unsigned char* at, std::initializer_list<unsigned char> bytes) {
  for (unsigned char byte : bytes) *at++ = byte;
  return at;
}

// Code that calls CallWindowProc(next, window, message, wParam, lParam) for a window
// procedure's own arguments.
unsigned char* MakeForwarder(LONG_PTR next, bool wide) {
  const auto call = reinterpret_cast<std::uintptr_t>(wide ? &CallWindowProcW : &CallWindowProcA);
  unsigned char* const thunk = thunks.Take(64);
  if (!thunk) return nullptr;
  unsigned char* at = thunk;
#if defined(__x86_64__)
  at = Put(at, {0x48, 0x83, 0xEC, 0x38});                             // sub rsp, 56
  at = Put(at, {0x4C, 0x89, 0x4C, 0x24, 0x20});                       // mov [rsp+32], r9
  at = Put(at, {0x4D, 0x89, 0xC1});                                   // mov r9, r8
  at = Put(at, {0x49, 0x89, 0xD0});                                   // mov r8, rdx
  at = Put(at, {0x48, 0x89, 0xCA});                                   // mov rdx, rcx
  at = Put(Put(at, {0x48, 0xB9}), static_cast<std::uint64_t>(next));  // mov rcx, next
  at = Put(Put(at, {0x48, 0xB8}), static_cast<std::uint64_t>(call));  // mov rax, call
  at = Put(at, {0xFF, 0xD0});                                         // call rax
  at = Put(at, {0x48, 0x83, 0xC4, 0x38});                             // add rsp, 56
  Put(at, {0xC3});                                                    // ret
#else
  // stdcall: slip `next` in as the first argument; CallWindowProc pops all five.
  at = Put(at, {0x58});                                         // pop eax
  at = Put(Put(at, {0x68}), static_cast<std::uint32_t>(next));  // push next
  at = Put(at, {0x50});                                         // push eax
  at = Put(Put(at, {0x68}), static_cast<std::uint32_t>(call));  // push call
  Put(at, {0xC3});                                              // ret
#endif
  FlushInstructionCache(GetCurrentProcess(), thunk, 64);
  return thunk;
}

// Rewrites the start of the procedure into a jump to target.
void Redirect(std::uintptr_t procedure, const unsigned char* target) {
  unsigned char jump[12];
#if defined(__x86_64__)
  Put(Put(Put(jump, {0x48, 0xB8}), reinterpret_cast<std::uint64_t>(target)), {0xFF, 0xE0});
  const std::size_t size = 12;
#else
  const auto relative = reinterpret_cast<std::uintptr_t>(target) - (procedure + 5);
  Put(Put(jump, {0xE9}), static_cast<std::uint32_t>(relative));
  const std::size_t size = 5;
#endif
  auto* const code = reinterpret_cast<void*>(procedure);
  DWORD protection = 0;
  if (!VirtualProtect(code, size, PAGE_EXECUTE_READWRITE, &protection)) return;
  std::memcpy(code, jump, size);
  VirtualProtect(code, size, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), code, size);
}

void Bypass(const Link& link) {
  if (static_cast<std::uintptr_t>(ProcedureOf(clock)) == link.procedure) {
    SetWindowLongPtrA(clock, GWLP_WNDPROC, link.nextAnsi);
    lastAnsi = GetWindowLongPtrA(clock, GWLP_WNDPROC);
  }
  const LONG_PTR next = link.wide ? link.nextWide : link.nextAnsi;
  if (const unsigned char* forwarder = MakeForwarder(next, link.wide)) {
    Redirect(link.procedure, forwarder);
  }
}

// ---- the module's windows -------------------------------------------------------------

bool IsDialog(HWND window) {
  char name[8];
  return GetClassNameA(window, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

bool RunsCodeOf(HWND window, ModuleId module) {
  if (ModuleAt(ProcedureOf(window)) == module) return true;
  return IsDialog(window) && ModuleAt(ProcedureOf(window, DWLP_DLGPROC)) == module;
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
  if (!IsOutOfService(ModuleAt(static_cast<std::uintptr_t>(message.lParam)))) return false;
  KillTimer(message.hwnd, message.wParam);
  return true;
}

}  // namespace vo::win
