#include "PlugIns/win/PlugInGuard.h"

#include <malloc.h>

#include <atomic>
#include <cstring>

#include "support/win/Handles.h"

// How a fault is stopped. g++ has no __try, so a small assembly routine does what __try does:
// it calls with an exception frame of its own registered around the call (the fs:[0] chain on
// x86, unwind data with a handler on x86-64). The system offers an exception to that frame
// only after the inner frames have passed it up, so a plug-in that raises and handles
// exceptions internally (C++ try/catch, __try, OutputDebugString) is left alone, which a
// vectored handler, asked first, could not do. The frame's handler does not return to the
// dispatcher: it drops the inner frames and resumes the routine, which returns the exception
// code. The hang watchdog resumes the same routine by setting the GUI thread's context, and
// so does a vectored handler for stack overflows alone (see OnStackOverflow). Every way out
// of the routine restores the caller's x87 control word, MXCSR and direction flag.
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
// The frame: eight saved registers, 32 bytes of home space for the callee, the gap,
// xmm6-xmm15, the x87 control word and MXCSR. The body's stack pointer is the establisher
// frame. The gap is touched a page at a time on the way down, as the stack grows.
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
    testq %rax, -4096(%rsp)
    testq %rax, -8192(%rsp)
    subq $8392, %rsp
    .seh_stackalloc 8392
    movaps %xmm6, 8224(%rsp)
    .seh_savexmm %xmm6, 8224
    movaps %xmm7, 8240(%rsp)
    .seh_savexmm %xmm7, 8240
    movaps %xmm8, 8256(%rsp)
    .seh_savexmm %xmm8, 8256
    movaps %xmm9, 8272(%rsp)
    .seh_savexmm %xmm9, 8272
    movaps %xmm10, 8288(%rsp)
    .seh_savexmm %xmm10, 8288
    movaps %xmm11, 8304(%rsp)
    .seh_savexmm %xmm11, 8304
    movaps %xmm12, 8320(%rsp)
    .seh_savexmm %xmm12, 8320
    movaps %xmm13, 8336(%rsp)
    .seh_savexmm %xmm13, 8336
    movaps %xmm14, 8352(%rsp)
    .seh_savexmm %xmm14, 8352
    movaps %xmm15, 8368(%rsp)
    .seh_savexmm %xmm15, 8368
    .seh_endprologue
    .seh_handler vo_guard_handler, @except
    fnstcw 8384(%rsp)
    stmxcsr 8388(%rsp)
    movq %rsp, (%r8)
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    xorl %eax, %eax
    .globl vo_guard_recover
vo_guard_recover:
    cld
    fninit
    fldcw 8384(%rsp)
    ldmxcsr 8388(%rsp)
    movaps 8224(%rsp), %xmm6
    movaps 8240(%rsp), %xmm7
    movaps 8256(%rsp), %xmm8
    movaps 8272(%rsp), %xmm9
    movaps 8288(%rsp), %xmm10
    movaps 8304(%rsp), %xmm11
    movaps 8320(%rsp), %xmm12
    movaps 8336(%rsp), %xmm13
    movaps 8352(%rsp), %xmm14
    movaps 8368(%rsp), %xmm15
    addq $8392, %rsp
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
// The callee's frames lie right below the establisher frame; the gap is above it.
constexpr std::uintptr_t kGapBelowFrame = 0;
#elif defined(__i386__)
// The frame: four saved registers, the x87 control word and MXCSR, then the registration
// record {next, handler} that is also the establisher frame, then the gap. After the call the
// stack pointer comes back from the frame pointer: a callee that pops the wrong number of
// arguments cannot displace the record.
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
    subl $4096, %esp
    orl $0, (%esp)
    subl $4096, %esp
    orl $0, (%esp)
    pushl 12(%ebp)
    call *8(%ebp)
    leal -28(%ebp), %esp
    xorl %eax, %eax
    .globl vo_guard_recover
vo_guard_recover:
    cld
    fninit
    fldcw 8(%esp)
    ldmxcsr 12(%esp)
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
// The gap lies right below the record, the callee's frames below the gap.
constexpr std::uintptr_t kGapBelowFrame = 8192;
#else
#error "the plug-in guard knows x86 and x86-64 only"
#endif

namespace vo::win {
namespace {

// ---- the modules ------------------------------------------------------------------------
// Written on the GUI thread only, before the count that publishes an entry; read by any
// thread, the watchdog and the fault filter included, without a lock.

struct KnownModule {
  ModuleImage code;
  std::atomic<bool> outOfService{false};
  char path[MAX_PATH];
};
constexpr int kMaxModules = 64;
KnownModule knownModules[kMaxModules];
std::atomic<int> knownCount{0};

bool IsKnown(ModuleId module) { return module >= 0 && module < knownCount.load(); }

// Newest first: a module that took the place of an unloaded one wins.
ModuleId FindModuleAt(std::uintptr_t address) {
  for (ModuleId module = knownCount.load() - 1; module >= 0; --module) {
    if (knownModules[module].code.Contains(address)) return module;
  }
  return kNoModule;
}

// Whether the code before `address` ends in a call instruction, as it does before a return
// address: a direct call (E8 rel32), or an indirect one through a register or memory
// (FF /2, two to seven bytes long).
bool FollowsCall(const KnownModule& module, std::uintptr_t address) {
  if (address < module.code.begin + 7) return false;
  const auto* code = reinterpret_cast<const unsigned char*>(address);
  if (code[-5] == 0xE8) return true;
  for (int length = 2; length <= 7; ++length) {
    if (code[-length] == 0xFF && ((code[1 - length] >> 3) & 7) == 2) return true;
  }
  return false;
}

// The module of the innermost word on the stack from `from` up to `to` that looks like a
// return address into plug-in code. The stack holds stale words too, left by earlier calls
// that went deeper, so this is a last resort after the faulting address and the callee.
ModuleId FindModuleOnStack(std::uintptr_t from, std::uintptr_t to) {
  constexpr std::uintptr_t kMostScanned = 1 << 20;
  from &= ~(sizeof(std::uintptr_t) - 1);
  if (from == 0 || to <= from || to - from > kMostScanned) return kNoModule;
  for (auto* word = reinterpret_cast<const std::uintptr_t*>(from);
       reinterpret_cast<std::uintptr_t>(word) < to; ++word) {
    const ModuleId module = FindModuleAt(*word);
    if (module != kNoModule && FollowsCall(knownModules[module], *word)) return module;
  }
  return kNoModule;
}

// The module whose code faulted at `address` with the stack at `stack`: the one the address
// lies in, else the module the guarded call entered, else the innermost plug-in frame below
// `stackEnd`.
ModuleId Blame(const void* address, std::uintptr_t stack, std::uintptr_t stackEnd,
               ModuleId callee) {
  const ModuleId module = FindModuleAt(reinterpret_cast<std::uintptr_t>(address));
  if (module != kNoModule) return module;
  return callee != kNoModule ? callee : FindModuleOnStack(stack, stackEnd);
}

// ---- the guarded calls on the GUI thread ------------------------------------------------

// The guarded calls in progress on a thread, innermost first. A call is on this list while
// its frame is valid to resume; the watchdog reads the GUI thread's only with the thread
// suspended. Other threads (a plug-in's own, guarded from their entry) keep theirs in a
// thread-local slot.
struct ActiveCall {
  ModuleId callee = kNoModule;
  void* resumeStack = nullptr;  // written by vo_guarded_invoke
  ActiveCall* outer = nullptr;
  ModuleId culprit = kNoModule;  // blamed when the call is cut short
};

std::atomic<ActiveCall*> innermost{nullptr};
DWORD otherThreadsCalls = TLS_OUT_OF_INDEXES;
// Counts every entry into and return from a guarded call: while it stands still, so does
// the GUI thread's progress through its message loop and through plug-in calls.
std::atomic<std::uint32_t> transitions{0};
std::atomic<DWORD> guiThread{0};
// Set once plug-in code was cut short anywhere: it may still hold locks.
std::atomic<bool> abandonedCode{false};

// Records the end of a call cut short for its RunGuarded to return.
void NoteCutShort(ActiveCall* call, ModuleId culprit) {
  if (call) call->culprit = culprit;
  abandonedCode.store(true);
}

bool IsGuiThread() { return GetCurrentThreadId() == guiThread.load(); }

ActiveCall* Innermost() {
  if (IsGuiThread()) return innermost.load();
  return otherThreadsCalls == TLS_OUT_OF_INDEXES
             ? nullptr
             : static_cast<ActiveCall*>(TlsGetValue(otherThreadsCalls));
}

void SetInnermost(ActiveCall* call) {
  if (IsGuiThread()) {
    innermost.store(call);
  } else if (otherThreadsCalls != TLS_OUT_OF_INDEXES) {
    TlsSetValue(otherThreadsCalls, call);
  }
}

ActiveCall* CallResumingAt(const void* frame) {
  for (ActiveCall* call = Innermost(); call; call = call->outer) {
    if (call->resumeStack == frame) return call;
  }
  return nullptr;
}

#if defined(__x86_64__)
std::uintptr_t InstructionPointer(const CONTEXT& c) { return c.Rip; }
std::uintptr_t StackPointer(const CONTEXT& c) { return c.Rsp; }
// Resumes the guarded call whose frame is at stack, ending it with outcome.
void Redirect(CONTEXT& c, void* stack, CallOutcome outcome) {
  c.Rip = reinterpret_cast<DWORD64>(&GuardRecover);
  c.Rsp = reinterpret_cast<DWORD64>(stack);
  c.Rax = outcome;
}
// The thread block, read directly: g++ 12 takes the header's NtCurrentTeb for an
// out-of-bounds read.
NT_TIB* ThreadBlock() {
  NT_TIB* tib = nullptr;
  asm("movq %%gs:0x30, %0" : "=r"(tib));
  return tib;
}
#else
std::uintptr_t InstructionPointer(const CONTEXT& c) { return c.Eip; }
std::uintptr_t StackPointer(const CONTEXT& c) { return c.Esp; }
void Redirect(CONTEXT& c, void* stack, CallOutcome outcome) {
  c.Eip = reinterpret_cast<DWORD>(&GuardRecover);
  c.Esp = reinterpret_cast<DWORD>(stack);
  c.Eax = outcome;
}
NT_TIB* ThreadBlock() {
  NT_TIB* tib = nullptr;
  asm("movl %%fs:0x18, %0" : "=r"(tib));
  return tib;
}
#endif

// Ends the guarded call at frame, blamed on culprit.
[[noreturn]] void EndCall(void* frame, ModuleId culprit, CallOutcome outcome) {
  NoteCutShort(CallResumingAt(frame), culprit);
  GuardJump(frame, outcome != kCallReturned ? outcome : EXCEPTION_NONCONTINUABLE_EXCEPTION);
}

// ---- faults on plug-in threads ----------------------------------------------------------

// Faults waiting for the GUI thread: (culprit + 1) << 32 | code, 0 when free.
std::atomic<std::uint64_t> threadFaults[8];

void QueueThreadFault(ModuleId culprit, DWORD code) {
  const std::uint64_t fault = (static_cast<std::uint64_t>(culprit) + 1) << 32 | code;
  for (auto& slot : threadFaults) {
    std::uint64_t expected = 0;
    if (slot.compare_exchange_strong(expected, fault)) return;
  }
}

LPTOP_LEVEL_EXCEPTION_FILTER outerFilter = nullptr;
std::atomic<HostObserver*> observer{nullptr};

// A fault that nothing on its thread handles: on a thread that is not the GUI thread and
// runs plug-in code, that thread ends and the fault is reported; anything else goes on to
// the filter that was there before.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  if (GetCurrentThreadId() != guiThread.load()) {
    const auto stackBase = reinterpret_cast<std::uintptr_t>(ThreadBlock()->StackBase);
    const ModuleId culprit = Blame(exception->ExceptionRecord->ExceptionAddress,
                                   StackPointer(*exception->ContextRecord), stackBase, kNoModule);
    if (culprit != kNoModule) {
      abandonedCode.store(true);
      QueueThreadFault(culprit, exception->ExceptionRecord->ExceptionCode);
      ExitThread(0);
    }
  }
  if (HostObserver* watcher = observer.load()) {
    const auto stackBase = reinterpret_cast<std::uintptr_t>(ThreadBlock()->StackBase);
    watcher->FatalFault(Blame(exception->ExceptionRecord->ExceptionAddress,
                              StackPointer(*exception->ContextRecord), stackBase, kNoModule),
                        exception->ExceptionRecord->ExceptionCode);
  }
  return outerFilter ? outerFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// ---- the watchdog -----------------------------------------------------------------------

void (*lostGuiHandler)() = nullptr;
std::atomic<DWORD> exitDeadline{0};  // GetTickCount() by which the process must have ended

// The one thread besides the GUI thread. It wakes once a second and only reads a few words;
// it touches no window, takes no lock (not even the heap's) and asks the system for nothing
// until the GUI thread has made no progress for about kHangMilliseconds. Then it interrupts
// the GUI thread if, and only if, two looks a second apart find that thread executing plug-in
// code: a module waiting inside the system is left alone. It also ends the process when the
// GUI thread is gone, or when a finished program has not ended in time.
class HangWatch {
 public:
  static void Start() {
    // Never destroyed: the process ends around it, and its end would run every plug-in's
    // thread detach code.
    static HangWatch* const watch = new HangWatch;
    (void)watch;
  }

  HangWatch(const HangWatch&) = delete;
  HangWatch& operator=(const HangWatch&) = delete;

 private:
  static constexpr DWORD kPollMilliseconds = 1000;
  static constexpr DWORD kSaveMilliseconds = 3000;
  // A module that waits in a dialog of its own runs its code now and then; one that spins
  // is found in it at every look. Only the second is interrupted.
  static constexpr int kSightingsToInterrupt = 2;

  HangWatch()
      : gui_(OpenThread(
            SYNCHRONIZE | THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE,
            GetCurrentThreadId())) {
    if (gui_) thread_.reset(CreateThread(nullptr, 0, &HangWatch::Main, this, 0, nullptr));
  }

  static DWORD WINAPI Main(void* self) {
    static_cast<HangWatch*>(self)->Watch();
    return 0;
  }

  void Watch() const {
    std::uint32_t seen = transitions.load();
    DWORD stillSince = GetTickCount();
    int sightings = 0;  // consecutive checks that found the thread in plug-in code
    while (WaitForSingleObject(gui_.get(), kPollMilliseconds) == WAIT_TIMEOUT) {
      const DWORD deadline = exitDeadline.load();
      if (deadline && static_cast<LONG>(GetTickCount() - deadline) >= 0) EndProcessNow();
      const std::uint32_t now = transitions.load();
      if (now != seen || !innermost.load()) {
        seen = now;
        stillSince = GetTickCount();
        sightings = 0;
      } else if (GetTickCount() - stillSince + kPollMilliseconds >= kHangMilliseconds) {
        sightings = Inspect(now, sightings + 1 >= kSightingsToInterrupt) ? sightings + 1 : 0;
      }
    }
    LostGui();
  }

  // Whether the GUI thread is executing plug-in code; with interrupt, also ends the
  // innermost guarded call, blamed on that code's module.
  bool Inspect(std::uint32_t seen, bool interrupt) const {
    if (SuspendThread(gui_.get()) == static_cast<DWORD>(-1)) return false;
    bool inPlugIn = false;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    // GetThreadContext also waits until the suspension has taken hold.
    if (GetThreadContext(gui_.get(), &context)) {
      ActiveCall* call = innermost.load();
      const ModuleId culprit = FindModuleAt(InstructionPointer(context));
      // Only a guard that entered plug-in code itself (one of its six calls, or a trampoline
      // inside the callback the system made) is resumed: a turn of a message loop lies
      // outside the system's call that is running the plug-in's code now.
      inPlugIn = call && call->callee != kNoModule && transitions.load() == seen &&
                 call->resumeStack && culprit != kNoModule;
      if (inPlugIn && interrupt) {
        NoteCutShort(call, culprit);
        Redirect(context, call->resumeStack, kHangCode);
        SetThreadContext(gui_.get(), &context);
      }
      HostObserver* watcher = observer.load();
      if (watcher && call && call->callee != kNoModule && culprit == kNoModule) {
        watcher->BlockedInSystem(call->callee);
      }
    }
    ResumeThread(gui_.get());
    return inPlugIn;
  }

  // The GUI thread ended under the program (a plug-in called ExitThread): the windows are
  // gone with it. What can be saved is saved on a thread of its own, which may meet a lock
  // the dead thread held, so it gets a few seconds; then the process ends.
  static DWORD WINAPI Save(void*) {
    lostGuiHandler();
    return 0;
  }

  static void LostGui() {
    if (lostGuiHandler) {
      UniqueKernelHandle saver(CreateThread(nullptr, 0, &HangWatch::Save, nullptr, 0, nullptr));
      if (saver) WaitForSingleObject(saver.get(), kSaveMilliseconds);
    }
    EndProcessNow();
  }

  [[noreturn]] static void EndProcessNow() {
    TerminateProcess(GetCurrentProcess(), 0);
    ExitThread(0);  // not reached
  }

  UniqueKernelHandle gui_;
  UniqueKernelHandle thread_;
};

// A stack overflow is dispatched on the few bytes left below the guard page, too few for the
// x86-64 dispatcher to walk the stack up to the guard's frame. A vectored handler is asked
// before that walk: it takes stack overflows alone (no plug-in can handle its own overflow
// sensibly) and resumes the innermost guarded call the way the watchdog does.
LONG CALLBACK OnStackOverflow(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  ActiveCall* call = Innermost();
  if (!call || !call->resumeStack) return EXCEPTION_CONTINUE_SEARCH;
  const auto frame = reinterpret_cast<std::uintptr_t>(call->resumeStack);
  const ModuleId culprit =
      Blame(exception->ExceptionRecord->ExceptionAddress, StackPointer(*exception->ContextRecord),
            frame - kGapBelowFrame, call->callee);
  if (culprit == kNoModule) return EXCEPTION_CONTINUE_SEARCH;
  NoteCutShort(call, culprit);
  Redirect(*exception->ContextRecord, call->resumeStack, EXCEPTION_STACK_OVERFLOW);
  return EXCEPTION_CONTINUE_EXECUTION;
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
  // Only code can fault or spin, and only code addresses are return addresses: the span of
  // the executable sections leaves out the headers and data, which stack words point into.
  ModuleImage code{~std::uintptr_t{0}, 0};
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (!(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)) continue;
    const std::uintptr_t begin = base + section->VirtualAddress;
    const std::uintptr_t end = begin + section->Misc.VirtualSize;
    if (begin < code.begin) code.begin = begin;
    if (end > code.end) code.end = end;
  }
  if (code.end == 0) return {};
  return code;
}

ModuleId RegisterPlugInModule(HMODULE module, const std::string& path) {
  const int count = knownCount.load();
  if (count >= kMaxModules) return kNoModule;
  KnownModule& known = knownModules[count];
  known.code = ModuleImage::Of(module);
  lstrcpynA(known.path, path.c_str(), sizeof known.path);
  knownCount.store(count + 1);
  return count;
}

ModuleId ModuleAt(std::uintptr_t address) { return FindModuleAt(address); }

std::string ModulePath(ModuleId module) {
  return IsKnown(module) ? std::string(knownModules[module].path) : std::string();
}

void ForgetModule(ModuleId module) {
  if (IsKnown(module)) knownModules[module].code = {};
}

void PutOutOfService(ModuleId module) {
  if (IsKnown(module)) knownModules[module].outOfService.store(true);
}

bool IsOutOfService(ModuleId module) {
  return IsKnown(module) && knownModules[module].outOfService.load();
}

void StartPlugInGuard(void (*onLostGui)()) {
  if (guiThread.load() != 0) return;
  guiThread.store(GetCurrentThreadId());
  otherThreadsCalls = TlsAlloc();
  lostGuiHandler = onLostGui;
  AddVectoredExceptionHandler(1, &OnStackOverflow);
  outerFilter = SetUnhandledExceptionFilter(&OnUnhandledException);
}

void StartWatchdog() {
  if (!IsGuiThread()) return;
  HangWatch::Start();
  // A timer procedure's fault reaches the guard instead of being swallowed where the system
  // lets a program choose.
  constexpr int kTimerProcExceptionSuppression = 7;  // UOI_TIMERPROC_EXCEPTION_SUPPRESSION
  BOOL suppress = FALSE;
  SetUserObjectInformationW(GetCurrentProcess(), kTimerProcExceptionSuppression, &suppress,
                            sizeof suppress);
}

bool OnGuiThread() { return IsGuiThread(); }

void ObservePlugInHost(HostObserver* watcher) { observer.store(watcher); }

void NoteLoadingModule(const char* path) {
  if (HostObserver* watcher = observer.load()) watcher->LoadingModule(path);
}

void QueueFault(const Contained& fault) {
  abandonedCode.store(true);
  QueueThreadFault(fault.culprit, fault.outcome);
}

Contained RunGuarded(ModuleId callee, void (*invoke)(void*), void* context) {
#if defined(__x86_64__)
  // The dispatcher may have linked frames of its own into the thread's exception list before
  // it called the handler that never returned to it (on x86 the routine restores the list).
  NT_TIB* const tib = ThreadBlock();
  auto* const exceptionList = tib->ExceptionList;
#endif
  // Only the GUI thread's progress counts: the watchdog watches it alone.
  const bool gui = IsGuiThread();
  ActiveCall call{callee, nullptr, Innermost()};
  SetInnermost(&call);
  if (gui) ++transitions;
  const CallOutcome outcome = GuardedInvoke(invoke, context, &call.resumeStack);
#if defined(__x86_64__)
  tib->ExceptionList = exceptionList;
#endif
  SetInnermost(call.outer);
  if (gui) ++transitions;
  if (outcome == kCallReturned) return {};
  if (outcome == EXCEPTION_STACK_OVERFLOW) RestoreStackGuard();
  return {outcome, call.culprit};
}

Contained TakeThreadFault() {
  for (auto& slot : threadFaults) {
    if (slot.load(std::memory_order_relaxed) == 0) continue;  // the rule, once a turn
    const std::uint64_t fault = slot.exchange(0);
    if (fault != 0) {
      return {static_cast<DWORD>(fault), static_cast<ModuleId>((fault >> 32) - 1)};
    }
  }
  return {};
}

void EndProgram() {
  if (abandonedCode.load()) TerminateProcess(GetCurrentProcess(), 0);
  constexpr DWORD kExitMilliseconds = 3000;
  exitDeadline.store((GetTickCount() + kExitMilliseconds) | 1);  // 0 means none
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

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*) {
  using namespace vo::win;
  constexpr DWORD kUnwinding = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
  if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
  const ActiveCall* call = CallResumingAt(frame);
  const auto stackEnd = reinterpret_cast<std::uintptr_t>(frame) - kGapBelowFrame;
  const ModuleId culprit = Blame(record->ExceptionAddress, StackPointer(*context), stackEnd,
                                 call ? call->callee : kNoModule);
  // A fault with no plug-in code on the stack is the program's own: not ours to hide.
  if (culprit == kNoModule) return ExceptionContinueSearch;
  EndCall(frame, culprit, record->ExceptionCode);
}
