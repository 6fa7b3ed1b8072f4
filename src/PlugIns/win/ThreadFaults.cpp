#include "PlugIns/win/ThreadFaults.h"

#include "PlugIns/win/GuardedInvoke.h"
#include "PlugIns/win/PlugInHost.h"

namespace vo::win {
namespace {

LONG WINAPI FilterUnhandled(EXCEPTION_POINTERS* exception) {
  return Host().Faults().OnUnhandled(*exception);
}

std::uintptr_t StackBase() { return reinterpret_cast<std::uintptr_t>(ThreadBlock()->StackBase); }

}  // namespace

void ThreadFaults::Start() { outerFilter_ = SetUnhandledExceptionFilter(&FilterUnhandled); }

void ThreadFaults::Push(ModuleId culprit, DWORD code) {
  const std::uint64_t fault = (static_cast<std::uint64_t>(culprit) + 1) << 32 | code;
  for (auto& slot : queued_) {
    std::uint64_t expected = 0;
    if (slot.compare_exchange_strong(expected, fault)) return;
  }
}

void ThreadFaults::Queue(const Contained& fault) {
  guard_.NoteAbandoned();
  Push(fault.culprit, fault.outcome);
}

Contained ThreadFaults::Take() {
  for (auto& slot : queued_) {
    if (slot.load(std::memory_order_relaxed) == 0) continue;  // the rule, once a turn
    const std::uint64_t fault = slot.exchange(0);
    if (fault != 0) {
      return {static_cast<DWORD>(fault), static_cast<ModuleId>((fault >> 32) - 1)};
    }
  }
  return {};
}

// The process ends with this fault, unless a filter before ours keeps it: the observer is
// told the module whose code faulted, if any did.
void ThreadFaults::NoteEndingFault(const EXCEPTION_POINTERS& exception) const {
  HostObserver* watcher = observer_.load();
  if (!watcher) return;
  const CallGuard::ActiveCall* call = guard_.OnGuiThread() ? guard_.GuiInnermost() : nullptr;
  const ModuleId culprit = modules_.Blame(exception.ExceptionRecord->ExceptionAddress,
                                          StackPointer(*exception.ContextRecord), StackBase(),
                                          call ? call->callee : kNoModule);
  watcher->FatalFault(culprit != kNoModule ? modules_.Path(culprit) : nullptr,
                      exception.ExceptionRecord->ExceptionCode);
}

LONG ThreadFaults::OnUnhandled(EXCEPTION_POINTERS& exception) {
  const EXCEPTION_RECORD& record = *exception.ExceptionRecord;
  if (!guard_.OnGuiThread() &&
      !modules_.InSystemCode(record.ExceptionCode, record.ExceptionAddress)) {
    const ModuleId culprit =
        modules_.Blame(exception.ExceptionRecord->ExceptionAddress,
                       StackPointer(*exception.ContextRecord), StackBase(), kNoModule);
    if (culprit != kNoModule) {
      guard_.NoteAbandoned();
      Push(culprit, exception.ExceptionRecord->ExceptionCode);
      ExitThread(0);
    }
  }
  NoteEndingFault(exception);
  return outerFilter_ ? outerFilter_(&exception) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace vo::win
