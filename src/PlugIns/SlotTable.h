// The clock's table of loaded plug-in modules: 32 slots, filled from 0 upward at start-up and
// emptied only at close, so the loaded modules always form one run from slot 0.
//
// Module is any type with Enable(), Disable(), FileName() and InService(), whose calls into
// plug-in code throw Module::Fault when that code faults, once the module has put itself out
// of service. The table owns its modules.
//
// A module out of service (it faulted once) is called no more for the rest of the run,
// VpiDisable included, but keeps its slot, so the slots still form one run from 0.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>

#include "PlugIns/PlugInPaths.h"

namespace vo {

template <class Module>
class SlotTable {
 public:
  static constexpr std::size_t kSlotCount = 32;
  using Fault = typename Module::Fault;

  SlotTable() = default;
  SlotTable(const SlotTable&) = delete;
  SlotTable& operator=(const SlotTable&) = delete;
  // Every module that was enabled is disabled before it is unloaded.
  ~SlotTable() { ReleaseAll(); }

  // Puts the module into the first free slot and enables it. With every slot taken the module
  // is destroyed at once, never enabled nor disabled. A null module is ignored. A fault in
  // Enable leaves the module in its slot, out of service, and reaches the caller.
  bool Add(std::unique_ptr<Module> module) {
    if (!module) return false;
    for (std::unique_ptr<Module>& slot : slots_) {
      if (slot) continue;
      slot = std::move(module);
      CallScope scope(*this);
      slot->Enable();
      return true;
    }
    return false;
  }

  // Whether the module loaded by this path (ASCII letters compared case-insensitively) is
  // there and in service.
  bool InService(std::string_view path) const {
    const Module* module = FindModule(path);
    return module && module->InService();
  }

  // Calls visit(module) on every module in service, in slot order. A module may pump messages
  // or close the clock from inside a call (a message box will do); a release asked for
  // meanwhile waits until the walk is over, so no module is unloaded while its code runs.
  // A fault ends the walk and reaches the caller.
  template <class Visit>
  void ForEachLoaded(Visit&& visit) {
    if (releasing_) return;
    CallScope scope(*this);
    for (const std::unique_ptr<Module>& slot : slots_) {
      if (releasePending_) break;
      if (slot && slot->InService()) visit(*slot);
    }
  }

  // Calls use(module) on the module in service loaded by this path, under the same protection
  // as ForEachLoaded; false when no such module is there.
  template <class Use>
  bool WithModule(std::string_view path, Use&& use) {
    if (releasing_) return false;
    CallScope scope(*this);
    Module* module = FindModule(path);
    if (!module || !module->InService()) return false;
    use(*module);
    return true;
  }

  // For each slot in order: disables the module (if in service), unloads it, empties the
  // slot. A fault while disabling costs that module only. Nothing else reaches the modules
  // meanwhile. Inside a call into a module (ForEachLoaded, WithModule) this happens as soon
  // as that call has returned.
  void ReleaseAll() {
    if (callDepth_ > 0) {
      releasePending_ = true;
      return;
    }
    if (releasing_) return;
    releasing_ = true;
    releasePending_ = false;
    for (std::unique_ptr<Module>& slot : slots_) {
      if (!slot) break;
      if (slot->InService()) {
        try {
          slot->Disable();
        } catch (const Fault&) {
          // A close must go on whatever one module does.
        }
      }
      slot.reset();
    }
    releasing_ = false;
  }

 private:
  class CallScope {
   public:
    explicit CallScope(SlotTable& table) : table_(table) { ++table_.callDepth_; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    ~CallScope() {
      if (--table_.callDepth_ == 0 && table_.releasePending_) table_.ReleaseAll();
    }

   private:
    SlotTable& table_;
  };

  Module* FindModule(std::string_view path) const {
    for (const std::unique_ptr<Module>& slot : slots_) {
      if (!slot) break;
      if (SamePathIgnoringCase(slot->FileName(), path)) return slot.get();
    }
    return nullptr;
  }

  std::array<std::unique_ptr<Module>, kSlotCount> slots_;
  int callDepth_ = 0;
  bool releasePending_ = false;
  bool releasing_ = false;
};

}  // namespace vo
