#include "PlugIns/win/PlugInGuard.h"

#include <malloc.h>

#include <atomic>
#include <memory>

#include "support/win/Handles.h"

// How a fault is stopped. g++ has no __try, so a small assembly routine does what __try does:
// it calls into the plug-in with an exception frame of its own registered around the call (the
// fs:[0] chain on x86, unwind data with a handler on x86-64). The system offers an exception to
// that frame only after the module's own frames have passed it up, so a plug-in that raises and
// handles exceptions internally (C++ try/catch, __try, OutputDebugString) is left alone, which
// a vectored handler, asked first, could not do. The frame's handler does not return to the
// dispatcher: it drops the module's frames and resumes the routine, which returns the exception
// code. The hang watchdog resumes the same routine by setting the GUI thread's context, and
// so does a vectored handler for stack overflows alone (see OnStackOverflow).
extern "C" {
DWORD GuardedInvoke(void (*invoke)(void*), void* context,
                    void** resumeStack) asm("vo_guarded_invoke");
[[noreturn]] void GuardJump(void* resumeStack, DWORD outcome) asm("vo_guard_jump");
void GuardRecover() asm("vo_guard_recover");
__attribute__((used)) EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* frame,
                                                         CONTEXT* context,
                                                         void* dispatch) asm("vo_guard_handler");
}

#if defined(__x86_64__)
// The frame: eight saved registers, 32 bytes of home space for the callee, xmm6-xmm15, the
// x87 control word and MXCSR. The body's stack pointer is the establisher frame.
asm(R"(
    .text
    .globl vo_guarded_invoke
    .seh_proc vo_guarded_invoke
vo_guarded_invoke:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rsi
    .seh_pushreg %rsi
    pushq %rdi
    .seh_pushreg %rdi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    subq $200, %rsp
    .seh_stackalloc 200
    movaps %xmm6, 32(%rsp)
    .seh_savexmm %xmm6, 32
    movaps %xmm7, 48(%rsp)
    .seh_savexmm %xmm7, 48
    movaps %xmm8, 64(%rsp)
    .seh_savexmm %xmm8, 64
    movaps %xmm9, 80(%rsp)
    .seh_savexmm %xmm9, 80
    movaps %xmm10, 96(%rsp)
    .seh_savexmm %xmm10, 96
    movaps %xmm11, 112(%rsp)
    .seh_savexmm %xmm11, 112
    movaps %xmm12, 128(%rsp)
    .seh_savexmm %xmm12, 128
    movaps %xmm13, 144(%rsp)
    .seh_savexmm %xmm13, 144
    movaps %xmm14, 160(%rsp)
    .seh_savexmm %xmm14, 160
    movaps %xmm15, 176(%rsp)
    .seh_savexmm %xmm15, 176
    .seh_endprologue
    .seh_handler vo_guard_handler, @except
    fnstcw 192(%rsp)
    stmxcsr 196(%rsp)
    movq %rsp, (%r8)
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    xorl %eax, %eax
    jmp 1f
    .globl vo_guard_recover
vo_guard_recover:
    cld
    fninit
    fldcw 192(%rsp)
    ldmxcsr 196(%rsp)
1:
    movaps 32(%rsp), %xmm6
    movaps 48(%rsp), %xmm7
    movaps 64(%rsp), %xmm8
    movaps 80(%rsp), %xmm9
    movaps 96(%rsp), %xmm10
    movaps 112(%rsp), %xmm11
    movaps 128(%rsp), %xmm12
    movaps 144(%rsp), %xmm13
    movaps 160(%rsp), %xmm14
    movaps 176(%rsp), %xmm15
    addq $200, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rdi
    popq %rsi
    popq %rbx
    popq %rbp
    ret
    .seh_endproc

    .globl vo_guard_jump
vo_guard_jump:
    movq %rcx, %rsp
    movl %edx, %eax
    jmp vo_guard_recover
)");
#elif defined(__i386__)
// The frame: four saved registers, the x87 control word and MXCSR, then the registration
// record {next, handler} that is also the establisher frame.
asm(R"(
    .text
    .globl vo_guarded_invoke
vo_guarded_invoke:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $8, %esp
    fnstcw (%esp)
    stmxcsr 4(%esp)
    pushl $vo_guard_handler
    pushl %fs:0
    movl %esp, %fs:0
    movl 16(%ebp), %eax
    movl %esp, (%eax)
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    xorl %eax, %eax
    jmp 1f
    .globl vo_guard_recover
vo_guard_recover:
    cld
    fninit
    fldcw 8(%esp)
    ldmxcsr 12(%esp)
1:
    popl %ecx
    movl %ecx, %fs:0
    addl $12, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl vo_guard_jump
vo_guard_jump:
    movl 8(%esp), %eax
    movl 4(%esp), %esp
    jmp vo_guard_recover
)");
#else
#error "the plug-in guard knows x86 and x86-64 only"
#endif

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  constexpr DWORD kUnwinding = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
  if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
  const DWORD code = record->ExceptionCode;
  GuardJump(frame, code != vo::win::kCallReturned ? code : EXCEPTION_NONCONTINUABLE_EXCEPTION);
}

namespace vo::win {
namespace {

// The guarded calls in progress on the GUI thread, innermost first. A call is on this list
// while its frame is valid to resume; the watchdog reads it only with the thread suspended.
struct ActiveCall {
  ModuleImage image;
  void* resumeStack = nullptr;  // written by vo_guarded_invoke
  ActiveCall* outer = nullptr;
};

std::atomic<ActiveCall*> innermost{nullptr};
// Counts every entry into and return from a guarded call: while it stands still, so does
// the GUI thread's progress through plug-in calls.
std::atomic<std::uint32_t> transitions{0};
std::atomic<DWORD> guiThread{0};

#if defined(__x86_64__)
std::uintptr_t InstructionPointer(const CONTEXT& c) { return c.Rip; }
// Resumes the guarded call whose frame is at stack, ending it with outcome.
void Redirect(CONTEXT& c, void* stack, CallOutcome outcome) {
  c.Rip = reinterpret_cast<DWORD64>(&GuardRecover);
  c.Rsp = reinterpret_cast<DWORD64>(stack);
  c.Rax = outcome;
}
#else
std::uintptr_t InstructionPointer(const CONTEXT& c) { return c.Eip; }
void Redirect(CONTEXT& c, void* stack, CallOutcome outcome) {
  c.Eip = reinterpret_cast<DWORD>(&GuardRecover);
  c.Esp = reinterpret_cast<DWORD>(stack);
  c.Eax = outcome;
}
#endif

// The one thread besides the GUI thread. It wakes once a second and only reads two words;
// it touches no window and asks the system for nothing until a call has made no progress
// for about kHangMilliseconds. Then it interrupts the GUI thread if, and only if, two looks a
// second apart find that thread executing the called module's own code: a module waiting
// inside the system is left alone.
class HangWatch {
 public:
  static void EnsureRunning();

  HangWatch(const HangWatch&) = delete;
  HangWatch& operator=(const HangWatch&) = delete;
  ~HangWatch() {
    if (!thread_) return;
    SetEvent(stop_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
  }

 private:
  static constexpr DWORD kPollMilliseconds = 1000;

  HangWatch()
      : gui_(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE,
                        GetCurrentThreadId())),
        stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (gui_ && stop_) thread_.reset(CreateThread(nullptr, 0, &HangWatch::Main, this, 0, nullptr));
  }

  static DWORD WINAPI Main(void* self) {
    static_cast<HangWatch*>(self)->Watch();
    return 0;
  }

  void Watch() const {
    std::uint32_t seen = transitions.load();
    DWORD stillSince = GetTickCount();
    int sightings = 0;  // consecutive checks that found the thread in the module's code
    while (WaitForSingleObject(stop_.get(), kPollMilliseconds) == WAIT_TIMEOUT) {
      const std::uint32_t now = transitions.load();
      if (now != seen || !innermost.load()) {
        seen = now;
        stillSince = GetTickCount();
        sightings = 0;
      } else if (GetTickCount() - stillSince + kPollMilliseconds >= kHangMilliseconds) {
        sightings = Inspect(now, sightings + 1 >= kSightingsToInterrupt) ? sightings + 1 : 0;
      }
    }
  }

  // A module that waits in a dialog of its own runs its code now and then; one that spins
  // is found in it at every look. Only the second is interrupted.
  static constexpr int kSightingsToInterrupt = 2;

  // Whether the GUI thread is executing the called module's code; with interrupt, also
  // ends that call.
  bool Inspect(std::uint32_t seen, bool interrupt) const {
    if (SuspendThread(gui_.get()) == static_cast<DWORD>(-1)) return false;
    bool inModule = false;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    // GetThreadContext also waits until the suspension has taken hold.
    if (GetThreadContext(gui_.get(), &context)) {
      const ActiveCall* call = innermost.load();
      inModule = call && transitions.load() == seen && call->resumeStack &&
                 call->image.Contains(InstructionPointer(context));
      if (inModule && interrupt) {
        Redirect(context, call->resumeStack, kHangCode);
        SetThreadContext(gui_.get(), &context);
      }
    }
    ResumeThread(gui_.get());
    return inModule;
  }

  UniqueKernelHandle gui_;
  UniqueKernelHandle stop_;
  UniqueKernelHandle thread_;
};

// Started by the GUI thread's first guarded call, stopped at the program's end.
std::unique_ptr<HangWatch> hangWatch;

void HangWatch::EnsureRunning() {
  if (!hangWatch) hangWatch.reset(new HangWatch);
}

// A stack overflow is dispatched on the few bytes left below the guard page, too few for the
// x86-64 dispatcher to walk the stack up to the guard's frame. A vectored handler is asked
// before that walk: it takes stack overflows alone (no plug-in can handle its own overflow
// sensibly) and resumes the innermost guarded call the way the watchdog does.
LONG CALLBACK OnStackOverflow(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  ActiveCall* call = innermost.load();
  if (!call || !call->resumeStack || GetCurrentThreadId() != guiThread.load()) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  Redirect(*exception->ContextRecord, call->resumeStack, EXCEPTION_STACK_OVERFLOW);
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Set up on the GUI thread at its first guarded call.
void PrepareGuard() {
  if (guiThread.load() == 0) {
    guiThread.store(GetCurrentThreadId());
    AddVectoredExceptionHandler(1, &OnStackOverflow);
  }
  HangWatch::EnsureRunning();
}

// An overflow used up the stack's guard page; without a new one the next overflow would
// end the process instead of raising an exception.
void RestoreStackGuard() { _resetstkoflw(); }

}  // namespace

ModuleImage ModuleImage::Of(HMODULE module) {
  if (!module) return {};
  const auto base = reinterpret_cast<std::uintptr_t>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return {base, base + nt->OptionalHeader.SizeOfImage};
}

CallOutcome RunGuarded(const ModuleImage& image, void (*invoke)(void*), void* context) {
  PrepareGuard();
#if defined(__x86_64__)
  // The dispatcher may have linked frames of its own into the thread's exception list before
  // it called the handler that never returned to it (on x86 the routine restores the list).
  // The thread block's own address (gs:[0x30]), read directly: g++ 12 takes the header's
  // NtCurrentTeb for an out-of-bounds read.
  NT_TIB* tib = nullptr;
  asm("movq %%gs:0x30, %0" : "=r"(tib));
  auto* const exceptionList = tib->ExceptionList;
#endif
  ActiveCall call{image, nullptr, innermost.load()};
  innermost.store(&call);
  ++transitions;
  const CallOutcome outcome = GuardedInvoke(invoke, context, &call.resumeStack);
#if defined(__x86_64__)
  tib->ExceptionList = exceptionList;
#endif
  innermost.store(call.outer);
  ++transitions;
  if (outcome == EXCEPTION_STACK_OVERFLOW) RestoreStackGuard();
  return outcome;
}

std::string DescribeOutcome(CallOutcome outcome) {
  switch (outcome) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return "メモリー保護違反";
    case EXCEPTION_STACK_OVERFLOW:
      return "スタック・オーバーフロー";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      return "0 による除算";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
      return "実行できない命令";
    case 0xE06D7363:  // thrown by a Microsoft C++ runtime
    case 0x20474343:  // thrown by a GNU C++ runtime
      return "C++ の例外";
    case kHangCode:
      return "応答の停止 (5 秒以上戻りません)";
    default: {
      char text[40];
      wsprintfA(text, "例外 (コード 0x%08lX)", static_cast<unsigned long>(outcome));
      return text;
    }
  }
}

}  // namespace vo::win
