#include "PlugIns/win/PlugInGuard.h"

#include <malloc.h>

#include <atomic>
#include <cstring>

#include "PlugIns/win/GuardedInvoke.h"
#include "support/win/Handles.h"

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

// The process ends with this fault, unless a filter before ours keeps it: the observer is
// told the module whose code faulted, if any did.
void NoteEndingFault(const EXCEPTION_POINTERS& exception) {
  HostObserver* watcher = observer.load();
  if (!watcher) return;
  const ActiveCall* call = GetCurrentThreadId() == guiThread.load() ? innermost.load() : nullptr;
  const auto stackBase = reinterpret_cast<std::uintptr_t>(ThreadBlock()->StackBase);
  const ModuleId culprit =
      Blame(exception.ExceptionRecord->ExceptionAddress, StackPointer(*exception.ContextRecord),
            stackBase, call ? call->callee : kNoModule);
  watcher->FatalFault(culprit != kNoModule ? knownModules[culprit].path : nullptr,
                      exception.ExceptionRecord->ExceptionCode);
}

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
  NoteEndingFault(*exception);
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
        NoteBlocked(kNoModule);
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
    ModuleId blocked = kNoModule;
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
      if (call && transitions.load() == seen && culprit == kNoModule) blocked = call->callee;
    }
    ResumeThread(gui_.get());
    NoteBlocked(blocked);
    return inPlugIn;
  }

  // A call into a module that stays inside the system (a wait, a read) is left alone, but the
  // user may well end the program now: the observer is told the module, and told again when
  // the thread moves on. A turn of the message loop names none, its wait may be the program's
  // own (a menu, a box).
  void NoteBlocked(ModuleId module) const {
    if (module == noted_) return;
    noted_ = module;
    if (HostObserver* watcher = observer.load()) {
      watcher->BlockedInSystem(module == kNoModule ? nullptr : knownModules[module].path);
    }
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
  mutable ModuleId noted_ = kNoModule;  // the module the run record names as blocked
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
