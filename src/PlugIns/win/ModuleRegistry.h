// The plug-in modules the host has loaded, numbered in load order, with the span of their code
// and whether they are in service: the one place either fact is kept. The watchdog and the
// exception filters read it on other threads, without a lock and without the heap.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace vo::win {

// The code of a loaded module: the span of its executable sections.
struct ModuleImage {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;

  static ModuleImage Of(HMODULE module);
  bool Contains(std::uintptr_t address) const { return address >= begin && address < end; }
};

// kNoModule is none.
using ModuleId = int;
inline constexpr ModuleId kNoModule = -1;

class ModuleRegistry {
 public:
  // Makes the module's code known (it stays known while the module is mapped); kNoModule when
  // the registry is full, which leaves the module unguarded by address but still guarded in
  // its six calls.
  ModuleId Add(HMODULE module, const std::string& path);
  // The module is out of its slot: unloaded (its addresses mean nothing any more), or kept
  // mapped until the program ends (its code may still be on a stack or behind a window).
  void Release(ModuleId module, bool unloaded);

  // The module whose code contains the address, newest first: a module that took the place
  // of an unloaded one wins.
  ModuleId FindModuleAt(std::uintptr_t address) const;
  // Whether a processor fault with this code, at this address, lies in code of the system's
  // (a library that is no plug-in: the heap, the loader), which may hold a lock of the
  // system's when it faults. An exception raised on purpose is none.
  bool InSystemCode(DWORD code, const void* address) const;
  // Whether the module is out of its slot but still mapped.
  bool IsReleased(ModuleId module) const;
  // "" for kNoModule; the text stays valid until the program ends.
  const char* Path(ModuleId module) const;

  // A module out of service is called no more; its faults cost no further box. False if it
  // already was.
  bool PutOutOfService(ModuleId module);
  bool InService(ModuleId module) const;

  // The module whose code faulted at `address` with the stack at `stack`: the one the address
  // lies in, else the module the guarded call entered, else the innermost plug-in frame below
  // `stackEnd`.
  ModuleId Blame(const void* address, std::uintptr_t stack, std::uintptr_t stackEnd,
                 ModuleId callee) const;

 private:
  // Written on the GUI thread only, before the count that publishes an entry.
  struct Known {
    ModuleImage code;
    std::atomic<bool> outOfService{false};
    std::atomic<bool> released{false};
    char path[MAX_PATH];
  };
  static constexpr int kMaxModules = 64;

  bool IsKnown(ModuleId module) const { return module >= 0 && module < count_.load(); }
  bool FollowsCall(ModuleId module, std::uintptr_t address) const;
  ModuleId FindModuleOnStack(std::uintptr_t from, std::uintptr_t to) const;

  Known known_[kMaxModules];
  std::atomic<int> count_{0};
};

}  // namespace vo::win
