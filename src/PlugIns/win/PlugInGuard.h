// Calls into plug-in code with its faults and hangs stopped at the boundary: an access
// violation, a stack overflow, a division by zero, any exception raised by the module (a C++
// exception of any compiler included) or a call that spins in the module's own code for more
// than a few seconds ends the call, not the program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>

namespace vo::win {

// The address range of a loaded module's image.
struct ModuleImage {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;

  static ModuleImage Of(HMODULE module);
  bool Contains(std::uintptr_t address) const { return address >= begin && address < end; }
};

// The code a guarded call ends with: 0, an exception code, or kHangCode.
using CallOutcome = DWORD;
inline constexpr CallOutcome kCallReturned = 0;
// Our own code for a call the watchdog interrupted; outside the system's ranges.
inline constexpr CallOutcome kHangCode = 0xE0766F48;

// Runs invoke(context) on the GUI thread, which calls into the module at image.
CallOutcome RunGuarded(const ModuleImage& image, void (*invoke)(void*), void* context);

template <class Call>
CallOutcome GuardedCall(const ModuleImage& image, Call&& call) {
  // No destructors and no exception handling in this frame: it may be abandoned.
  auto invoke = [](void* context) { (*static_cast<std::remove_reference_t<Call>*>(context))(); };
  return RunGuarded(image, invoke, &call);
}

// What went wrong, in the user's words: "スタック・オーバーフロー", ...
std::string DescribeOutcome(CallOutcome outcome);

// How long a call may run in the module's own code before it counts as hung.
inline constexpr DWORD kHangMilliseconds = 5000;

}  // namespace vo::win
