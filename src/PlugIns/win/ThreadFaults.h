// Faults on threads other than the GUI thread: the process's filter for faults nothing on
// their thread handled, and the queue that carries those in plug-in code to the GUI thread,
// which shows their boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "PlugIns/win/PlugInGuard.h"

namespace vo::win {

class HostObserver;

class ThreadFaults {
 public:
  ThreadFaults(const ModuleRegistry& modules, CallGuard& guard,
               const std::atomic<HostObserver*>& observer)
      : modules_(modules), guard_(guard), observer_(observer) {}
  ThreadFaults(const ThreadFaults&) = delete;
  ThreadFaults& operator=(const ThreadFaults&) = delete;

  // Installs the filter, once the guard has started.
  void Start();
  // Reports a fault contained on another thread, for Take.
  void Queue(const Contained& fault);
  // The next fault reported; culprit is kNoModule when none is pending.
  Contained Take();

  // The filter's side. On a thread that is not the GUI thread and runs plug-in code, that
  // thread ends and the fault is queued, unless the fault lies in the system's own code (the
  // thread may hold the heap's or the loader's lock): that ends the process, and the record
  // of the run names the module. Anything else goes on to the filter that was there before.
  // Runs on the faulting thread: no lock, no heap.
  LONG OnUnhandled(EXCEPTION_POINTERS& exception);

 private:
  void Push(ModuleId culprit, DWORD code);
  void NoteEndingFault(const EXCEPTION_POINTERS& exception) const;

  const ModuleRegistry& modules_;
  CallGuard& guard_;
  const std::atomic<HostObserver*>& observer_;
  LPTOP_LEVEL_EXCEPTION_FILTER outerFilter_ = nullptr;
  // Faults waiting for the GUI thread: (culprit + 1) << 32 | code, 0 when free.
  std::atomic<std::uint64_t> queued_[8] = {};
};

}  // namespace vo::win
