#include "PlugIns/win/PlugInGuard.h"

#include <malloc.h>

#include "PlugIns/win/GuardedInvoke.h"
#include "PlugIns/win/PlugInHost.h"

namespace vo::win {
namespace {

// A stack overflow is dispatched on the few bytes left below the guard page, too few for the
// x86-64 dispatcher to walk the stack up to the guard's frame; plug-in code that overran its
// frame into the return addresses leaves no walk up to it at all. A vectored handler is asked
// before that walk: it takes these faults alone (the others go to the frames, the plug-in's
// own first) and resumes the innermost guarded call the way the watchdog does.
LONG CALLBACK TakeUnreachableFault(EXCEPTION_POINTERS* exception) {
  return Host().Guard().OnUnreachableFault(*exception);
}

// An overflow used up the stack's guard page; without a new one the next overflow would
// end the process instead of raising an exception.
void RestoreStackGuard() { _resetstkoflw(); }

// A stack overflow is dispatched, and our handler runs, on what the thread keeps in reserve
// below its stack's guard page: by default two pages on x86-64, which the exception's own frame
// (the context and, on a processor with wide vector registers, their saved state) may fill
// alone; the thread is then ended on the spot. The reserve is made larger, and the guard page
// put just below the stack in use: a stack committed whole at its start (Wine's first thread)
// has its only guard page at the very bottom, where the reserve cannot be kept.
constexpr ULONG kStackKeptForOverflow = 64 * 1024;

void KeepStackForOverflow() {
  ULONG size = kStackKeptForOverflow;
  SetThreadStackGuarantee(&size);
  RestoreStackGuard();
}

}  // namespace

void CallGuard::Start() {
  if (guiThread_.load() != 0) return;
  guiThread_.store(GetCurrentThreadId());
  KeepStackForOverflow();
  otherThreadsCalls_ = TlsAlloc();
  callbackDispatcher_ = reinterpret_cast<std::uintptr_t>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "KiUserCallbackDispatcher"));
  AddVectoredExceptionHandler(1, &TakeUnreachableFault);
}

bool CallGuard::CallbackBetween(std::uintptr_t stack, const ActiveCall& call) const {
  // The dispatcher is a few instructions that call the callback (or a helper that does).
  constexpr std::uintptr_t kDispatcherLength = 0x80;
  constexpr std::uintptr_t kMostScanned = 1 << 20;
  const auto end = reinterpret_cast<std::uintptr_t>(call.resumeStack) - kGapBelowFrame;
  stack &= ~(sizeof(std::uintptr_t) - 1);
  if (!callbackDispatcher_ || stack == 0 || end <= stack || end - stack > kMostScanned) {
    return false;
  }
  for (auto* word = reinterpret_cast<const std::uintptr_t*>(stack);
       reinterpret_cast<std::uintptr_t>(word) < end; ++word) {
    if (*word - callbackDispatcher_ - 1 < kDispatcherLength) return true;
  }
  return false;
}

CallGuard::ActiveCall* CallGuard::Innermost() const {
  if (OnGuiThread()) return innermost_.load();
  return otherThreadsCalls_ == TLS_OUT_OF_INDEXES
             ? nullptr
             : static_cast<ActiveCall*>(TlsGetValue(otherThreadsCalls_));
}

void CallGuard::SetInnermost(ActiveCall* call) {
  if (OnGuiThread()) {
    innermost_.store(call);
  } else if (otherThreadsCalls_ != TLS_OUT_OF_INDEXES) {
    TlsSetValue(otherThreadsCalls_, call);
  }
}

CallGuard::ActiveCall* CallGuard::CallResumingAt(const void* frame) const {
  for (ActiveCall* call = Innermost(); call; call = call->outer) {
    if (call->resumeStack == frame) return call;
  }
  return nullptr;
}

void CallGuard::NoteCutShort(ActiveCall* call, ModuleId culprit) {
  if (call) call->culprit = culprit;
  NoteAbandoned();
}

Contained CallGuard::Run(ModuleId callee, void (*invoke)(void*), void* context) {
#if defined(__x86_64__)
  // The dispatcher may have linked frames of its own into the thread's exception list before
  // it called the handler that never returned to it (on x86 the routine restores the list).
  NT_TIB* const tib = ThreadBlock();
  auto* const exceptionList = tib->ExceptionList;
#endif
  // Only the GUI thread's progress counts: the watchdog watches it alone.
  const bool gui = OnGuiThread();
  ActiveCall call{callee, nullptr, Innermost()};
  SetInnermost(&call);
  if (gui) ++transitions_;
  const CallOutcome outcome = GuardedInvoke(invoke, context, &call.resumeStack);
#if defined(__x86_64__)
  tib->ExceptionList = exceptionList;
#endif
  SetInnermost(call.outer);
  if (gui) ++transitions_;
  if (outcome == kCallReturned) return {};
  if (outcome == EXCEPTION_STACK_OVERFLOW) RestoreStackGuard();
  return {outcome, call.culprit};
}

EXCEPTION_DISPOSITION CallGuard::OnFault(const EXCEPTION_RECORD& record, void* frame,
                                         const CONTEXT& context) {
  constexpr DWORD kUnwinding = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
  if (record.ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
  // Ending a plug-in's thread inside the system's code could leave a lock of the system's
  // held for ever: such a fault ends the process (see ThreadFaults).
  if (!OnGuiThread() && modules_.InSystemCode(record.ExceptionCode, record.ExceptionAddress)) {
    return ExceptionContinueSearch;
  }
  ActiveCall* call = CallResumingAt(frame);
  const auto stackEnd = reinterpret_cast<std::uintptr_t>(frame) - kGapBelowFrame;
  const ModuleId culprit = modules_.Blame(record.ExceptionAddress, StackPointer(context), stackEnd,
                                          call ? call->callee : kNoModule);
  // A fault with no plug-in code on the stack is the program's own: not ours to hide. (One
  // inside a callback of the system's never gets here: the system does not pass an exception
  // across a callback's boundary.)
  if (culprit == kNoModule) return ExceptionContinueSearch;
  NoteCutShort(call, culprit);
  const CallOutcome outcome = record.ExceptionCode;
  GuardJump(frame, outcome != kCallReturned ? outcome : EXCEPTION_NONCONTINUABLE_EXCEPTION);
}

LONG CallGuard::OnUnreachableFault(EXCEPTION_POINTERS& exception) {
  const DWORD code = exception.ExceptionRecord->ExceptionCode;
  ActiveCall* call = Innermost();
  if (!call || !call->resumeStack) return EXCEPTION_CONTINUE_SEARCH;
  // As in OnFault: a plug-in thread's fault in the system's code ends the process.
  if (!OnGuiThread() && modules_.InSystemCode(code, exception.ExceptionRecord->ExceptionAddress)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  if (code != EXCEPTION_STACK_OVERFLOW &&
      HandlerSearchReaches(*exception.ContextRecord, call->resumeStack)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const auto frame = reinterpret_cast<std::uintptr_t>(call->resumeStack);
  const ModuleId culprit =
      modules_.Blame(exception.ExceptionRecord->ExceptionAddress,
                     StackPointer(*exception.ContextRecord), frame - kGapBelowFrame, call->callee);
  if (culprit == kNoModule || CallbackBetween(StackPointer(*exception.ContextRecord), *call)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  NoteCutShort(call, culprit);
  ResumeGuardedCall(*exception.ContextRecord, call->resumeStack,
                    code != kCallReturned ? code : EXCEPTION_NONCONTINUABLE_EXCEPTION);
  return EXCEPTION_CONTINUE_EXECUTION;
}

Contained RunGuarded(ModuleId callee, void (*invoke)(void*), void* context) {
  return Host().Guard().Run(callee, invoke, context);
}

}  // namespace vo::win

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*) {
  return vo::win::Host().Guard().OnFault(*record, frame, *context);
}
