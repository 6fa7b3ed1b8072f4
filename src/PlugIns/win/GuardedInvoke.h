// How a fault is stopped. g++ has no __try, so a small assembly routine does what __try does:
// it calls with an exception frame of its own registered around the call (the fs:[0] chain on
// x86, unwind data with a handler on x86-64). The system offers an exception to that frame
// only after the inner frames have passed it up, so a plug-in that raises and handles
// exceptions internally (C++ try/catch, __try, OutputDebugString) is left alone, which a
// vectored handler, asked first, could not do. The frame's handler does not return to the
// dispatcher: it drops the inner frames and resumes the routine, which returns the exception
// code. The hang watchdog resumes the same routine by setting the GUI thread's context, and
// so does a vectored handler for the faults no frame handler can be reached for (see
// OnUnreachableFault). Every way out
// of the routine restores the caller's x87 control word, MXCSR and direction flag. The
// routine lives in assembly, one file per architecture (GuardedInvoke_x86.cpp, _x64.cpp).
#pragma once

#include <windows.h>

#include <cstdint>

extern "C" {
DWORD GuardedInvoke(void (*invoke)(void*), void* context,
                    void** resumeStack) asm("vo_guarded_invoke");
[[noreturn]] void GuardJump(void* resumeStack, DWORD outcome) asm("vo_guard_jump");
void GuardRecover() asm("vo_guard_recover");
__attribute__((used, externally_visible)) EXCEPTION_DISPOSITION GuardHandler(
    EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
    void* dispatch) asm("vo_guard_handler");
}

namespace vo::win {

// The thread's context as the architecture names it.
std::uintptr_t InstructionPointer(const CONTEXT& context);
std::uintptr_t StackPointer(const CONTEXT& context);
// Resumes the guarded call whose frame is at stack, ending it with outcome.
void ResumeGuardedCall(CONTEXT& context, void* stack, DWORD outcome);
// The running thread's block.
NT_TIB* ThreadBlock();
// Whether the system's search for a handler, walking up the stack from context, can reach the
// guard's frame at stack.
bool HandlerSearchReaches(const CONTEXT& context, const void* stack);

}  // namespace vo::win

#if defined(__x86_64__)
// The callee's frames lie right below the establisher frame; the gap is above it.
inline constexpr std::uintptr_t kGapBelowFrame = 0;
#elif defined(__i386__)
// The gap lies right below the record, the callee's frames below the gap.
inline constexpr std::uintptr_t kGapBelowFrame = 8192;
#else
#error "the plug-in guard knows x86 and x86-64 only"
#endif
