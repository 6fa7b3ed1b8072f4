// The plug-in host: made once at start, it finds and loads the modules, keeps them in their
// slots, guards every call into their code, cuts off a module that faults or hangs, watches
// for hangs, filters the faults of plug-in threads, and ends the program. The clock window and
// the settings dialog see it through two small interfaces (PlugInServices.h).
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "PlugIns/SlotTable.h"
#include "PlugIns/win/ApartModules.h"
#include "PlugIns/win/ContainedLoop.h"
#include "PlugIns/win/ModuleRegistry.h"
#include "PlugIns/win/PlugInGuard.h"
#include "PlugIns/win/PlugInServices.h"
#include "PlugIns/win/PlugIns.h"
#include "PlugIns/win/Quarantine.h"
#include "PlugIns/win/ThreadFaults.h"
#include "PlugIns/win/Watchdog.h"
#include "support/win/Handles.h"

namespace vo::win {

// Facts of the host's that a record of the run may keep, each told from one place.
class HostObserver {
 public:
  // On the GUI thread: the module whose DllMain is about to run, null once it has loaded.
  virtual void LoadingModule(const char* path) = 0;
  // On the faulting thread, inside the process's filter: a fault nothing contained is about
  // to end the program; path is the module to blame, null when no plug-in code is.
  virtual void FatalFault(const char* path, DWORD code) = 0;
  // On the watchdog's thread (no locks, no heap): the GUI thread has made no progress for a
  // hang's time inside a call of the module at path, blocked in the system, where it is not
  // cut short; null once it moves on. Told only when it changes.
  virtual void BlockedInSystem(const char* path) = 0;

 protected:
  ~HostObserver() = default;
};

class PlugInHost final : public ClockPlugIns, public PlugInShelf {
 public:
  // One per process (see Host()); made before the clock, it does nothing until Start.
  PlugInHost();
  PlugInHost(const PlugInHost&) = delete;
  PlugInHost& operator=(const PlugInHost&) = delete;
  ~PlugInHost() = default;

  // On the GUI thread, once: the guard, the filter for faults on plug-in threads, and the
  // guarded pump for every loop.
  // onLostGui runs on a thread of its own if the GUI thread ends under the program (a plug-in
  // ended it): it may save what it can before the process ends.
  void Start(void (*onLostGui)());
  // Installs the observer (once, before the first plug-in loads).
  void Observe(HostObserver* observer) { observer_.store(observer); }
  // See ContainedPump::OnAbandonedTurn.
  void OnAbandonedTurn(void (*mend)()) { pump_.OnAbandonedTurn(mend); }
  // The clock window, whose subclass chain the quarantine follows and to which the modules
  // apart send their messages.
  void WatchClock(HWND clock) {
    clock_ = clock;
    quarantine_.WatchClock(clock);
  }
  // The program is done and everything is saved: ends the process with exit code 0, at once
  // if abandoned code may hold a lock the normal exit would wait for, else within a few
  // seconds at most, whatever threads of plug-ins still run.
  [[noreturn]] void EndProgram();

  void NotifyMinute(HWND clock, double now) override;
  void NotifyTick(HWND clock, double now) override;
  bool WantsEveryTick() override;
  void Release(HWND clock, WNDPROC own) override;
  bool FromOwnHelper(HWND sender) override { return apart_.IsHelperWindow(sender); }

  std::vector<std::string> Discover() override;
  void Load(const std::vector<std::string>& names) override;
  std::optional<std::string> Describe(std::string_view name) override;
  bool ShowProperties(std::string_view name, HWND hiddenMeanwhile) override;

  // ---- for the host's own parts
  ModuleRegistry& Modules() { return modules_; }
  CallGuard& Guard() { return guard_; }
  ThreadFaults& Faults() { return faults_; }
  Quarantine& Quarantined() { return quarantine_; }

  // Before the first plug-in runs: the watchdog (so that no plug-in sees its thread start;
  // a program without plug-ins has nothing to watch and pays nothing for it), and the system
  // libraries the clock binds late (once plug-in code has been cut short holding the heap's
  // or the loader's lock, a library loaded for the first time could wait for ever).
  void PrepareForPlugIns();
  void NoteLoadingModule(const char* path);
  // A module unloaded from its slot; one whose code has run stays mapped until the process
  // ends (never freed).
  void Retire(ModuleId module, UniqueModule mapped);

  // Takes the module blamed for a contained fault out of service at once. Its error box (one
  // per module) waits for ShowReportedFaults: a fault may be met in the middle of a tick.
  void ReportFault(const Contained& fault);
  // Shows the boxes of the faults reported so far, faults on plug-in threads included.
  void ShowReportedFaults();

 private:
  std::atomic<HostObserver*> observer_{nullptr};
  ModuleRegistry modules_;
  CallGuard guard_{modules_};
  ThreadFaults faults_{modules_, guard_, observer_};
  Watchdog watchdog_{modules_, guard_, observer_};
  Quarantine quarantine_{modules_};
  ContainedPump pump_;
  void (*onLostGui_)() = nullptr;
  bool prepared_ = false;
  std::vector<std::string> unshownFaults_;
  HWND clock_ = nullptr;
  // Made before the slots, gone after them: a module apart ends its helper as it goes.
  ApartModules apart_;
  SlotTable<PlugInModule> slots_;
  std::string PathOf(std::string_view name) const;
  // The module named so, inside the clock or apart: a module built for the other processor
  // runs apart, one of the clock's own where the user chose so. Null if it is no plug-in.
  std::unique_ptr<PlugInModule> LoadModule(const std::string& name);

  // The program's folder, as Discover found it: the modules' names are in there. The files
  // are opened through the wide name; the ANSI one names them in boxes and records.
  std::wstring folder_;
  std::string directory_;
};

// The one host, for code the system or another thread runs without a context of ours (the
// guard's exception handlers, the trampolines, the watchdog): set when the host is made, never
// cleared, since those may run until the process ends.
PlugInHost& Host();

}  // namespace vo::win
