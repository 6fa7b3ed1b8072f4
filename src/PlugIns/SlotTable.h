// The clock's table of loaded plug-in modules: 32 slots, filled from 0 upward at start-up and
// emptied only at close, so the loaded modules always form one run from slot 0.
//
// Module is any type with Enable(), Disable() and FileName(). The table owns its modules.
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

  SlotTable() = default;
  SlotTable(const SlotTable&) = delete;
  SlotTable& operator=(const SlotTable&) = delete;
  // Every module that was enabled is disabled before it is unloaded.
  ~SlotTable() { ReleaseAll(); }

  // Puts the module into the first free slot and enables it. With every slot taken the module
  // is destroyed at once, never enabled nor disabled. A null module is ignored.
  bool Add(std::unique_ptr<Module> module) {
    if (!module) return false;
    for (auto& slot : slots_) {
      if (slot) continue;
      slot = std::move(module);
      CallScope scope(*this);
      slot->Enable();
      return true;
    }
    return false;
  }

  // The module loaded by this path (ASCII letters compared case-insensitively), or null.
  // The pointer stays valid until ReleaseAll; to call into the module, prefer WithModule.
  Module* Find(std::string_view path) const {
    for (const auto& slot : slots_) {
      if (!slot) break;
      if (SamePathIgnoringCase(slot->FileName(), path)) return slot.get();
    }
    return nullptr;
  }

  // Calls visit(module) on every loaded module in slot order. A module may pump messages
  // or close the clock from inside a call (a message box will do); a release asked for
  // meanwhile waits until the walk is over, so no module is unloaded while its code runs.
  template <class Visit>
  void ForEachLoaded(Visit&& visit) {
    CallScope scope(*this);
    for (auto& slot : slots_) {
      if (releasePending_) break;
      if (slot) visit(*slot);
    }
  }

  // Calls use(module) on the module loaded by this path, under the same protection as
  // ForEachLoaded; false when no module has that path.
  template <class Use>
  bool WithModule(std::string_view path, Use&& use) {
    CallScope scope(*this);
    Module* module = Find(path);
    if (!module) return false;
    use(*module);
    return true;
  }

  // Disables and unloads the modules in slot order, leaving every slot empty. Inside a call
  // into a module (ForEachLoaded, WithModule) this happens as soon as that call has returned.
  void ReleaseAll() {
    if (callDepth_ > 0) {
      releasePending_ = true;
      return;
    }
    releasePending_ = false;
    for (auto& slot : slots_) {
      if (!slot) break;
      // Emptied first, so a tick that runs while the module is being disabled skips it.
      std::unique_ptr<Module> module = std::move(slot);
      module->Disable();
    }
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

  std::array<std::unique_ptr<Module>, kSlotCount> slots_;
  int callDepth_ = 0;
  bool releasePending_ = false;
};

}  // namespace vo
