#include "PlugIns/win/ModuleRegistry.h"

namespace vo::win {

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

ModuleId ModuleRegistry::Add(HMODULE module, const std::string& path) {
  const int count = count_.load();
  if (count >= kMaxModules) return kNoModule;
  Known& known = known_[count];
  known.code = ModuleImage::Of(module);
  lstrcpynA(known.path, path.c_str(), sizeof known.path);
  count_.store(count + 1);
  return count;
}

void ModuleRegistry::Release(ModuleId module, bool unloaded) {
  if (!IsKnown(module)) return;
  if (unloaded) known_[module].code = {};
  known_[module].released.store(true);
}

ModuleId ModuleRegistry::FindModuleAt(std::uintptr_t address) const {
  for (ModuleId module = count_.load() - 1; module >= 0; --module) {
    if (known_[module].code.Contains(address)) return module;
  }
  return kNoModule;
}

bool ModuleRegistry::InSystemCode(DWORD code, const void* address) const {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      break;
    default:
      return false;
  }
  if (FindModuleAt(reinterpret_cast<std::uintptr_t>(address)) != kNoModule) return false;
  // Asks the kernel alone: no lock of the process's is taken.
  MEMORY_BASIC_INFORMATION memory{};
  return VirtualQuery(address, &memory, sizeof memory) == sizeof memory && memory.Type == MEM_IMAGE;
}

bool ModuleRegistry::IsReleased(ModuleId module) const {
  return IsKnown(module) && known_[module].released.load();
}

const char* ModuleRegistry::Path(ModuleId module) const {
  return IsKnown(module) ? known_[module].path : "";
}

bool ModuleRegistry::PutOutOfService(ModuleId module) {
  return IsKnown(module) && !known_[module].outOfService.exchange(true);
}

bool ModuleRegistry::InService(ModuleId module) const {
  return !IsKnown(module) || !known_[module].outOfService.load();
}

// Whether the code before `address` ends in a call instruction, as it does before a return
// address: a direct call (E8 rel32), or an indirect one through a register or memory
// (FF /2, two to seven bytes long).
bool ModuleRegistry::FollowsCall(ModuleId module, std::uintptr_t address) const {
  if (address < known_[module].code.begin + 7) return false;
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
ModuleId ModuleRegistry::FindModuleOnStack(std::uintptr_t from, std::uintptr_t to) const {
  constexpr std::uintptr_t kMostScanned = 1 << 20;
  from &= ~(sizeof(std::uintptr_t) - 1);
  if (from == 0 || to <= from || to - from > kMostScanned) return kNoModule;
  for (auto* word = reinterpret_cast<const std::uintptr_t*>(from);
       reinterpret_cast<std::uintptr_t>(word) < to; ++word) {
    const ModuleId module = FindModuleAt(*word);
    if (module != kNoModule && FollowsCall(module, *word)) return module;
  }
  return kNoModule;
}

ModuleId ModuleRegistry::Blame(const void* address, std::uintptr_t stack, std::uintptr_t stackEnd,
                               ModuleId callee) const {
  const ModuleId module = FindModuleAt(reinterpret_cast<std::uintptr_t>(address));
  if (module != kNoModule) return module;
  return callee != kNoModule ? callee : FindModuleOnStack(stack, stackEnd);
}

}  // namespace vo::win
