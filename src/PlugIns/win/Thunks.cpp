#include "PlugIns/win/Thunks.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace vo::win {
namespace {

#if defined(__x86_64__)
constexpr std::size_t kThunkSize = 128;
// A new frame with home space and room for the three stack arguments of a seven-argument
// procedure, which move one place up; the four register arguments move one register on.
void WriteThunk(unsigned char* at, const ThunkSlot* slot) {
  at = Put(at, {0x48, 0x83, 0xEC, 0x58});        // sub rsp, 88
  at = Put(at, {0x4C, 0x89, 0x4C, 0x24, 0x20});  // mov [rsp+32], r9
  at = Put(at, {0x4D, 0x89, 0xC1});              // mov r9, r8
  at = Put(at, {0x49, 0x89, 0xD0});              // mov r8, rdx
  at = Put(at, {0x48, 0x89, 0xCA});              // mov rdx, rcx
  for (unsigned char i = 0; i < 3; ++i) {
    at = Put(at, {0x48, 0x8B, 0x84, 0x24, static_cast<unsigned char>(128 + 8 * i), 0, 0, 0});
    at = Put(at, {0x48, 0x89, 0x44, 0x24, static_cast<unsigned char>(40 + 8 * i)});
  }
  at = Put(Put(at, {0x48, 0xB8}), reinterpret_cast<std::uint64_t>(slot));  // mov rax, slot
  at = Put(at, {0x48, 0x8B, 0x08});                                        // mov rcx, [rax]
  at = Put(at, {0xFF, 0x50, 0x08});                                        // call [rax+8]
  at = Put(at, {0x48, 0x83, 0xC4, 0x58});                                  // add rsp, 88
  Put(at, {0xC3});                                                         // ret
}
#else
constexpr std::size_t kThunkSize = 16;
// stdcall: the argument slips in before the caller's first; the target pops them all.
void WriteThunk(unsigned char* at, const ThunkSlot* slot) {
  const auto argument = reinterpret_cast<std::uint32_t>(&slot->argument);
  const auto target = reinterpret_cast<std::uint32_t>(&slot->target);
  at = Put(at, {0x58});                       // pop eax
  at = Put(Put(at, {0xFF, 0x35}), argument);  // push [argument]
  at = Put(at, {0x50});                       // push eax
  Put(Put(at, {0xFF, 0x25}), target);         // jmp [target]
}
#endif

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kPerPage = kPageSize / kThunkSize;

struct ThunkPage {
  unsigned char* code = nullptr;
  ThunkSlot slots[kPerPage];
  std::size_t used = 0;
};

constexpr int kMaxPages = 16;
ThunkPage* pages[kMaxPages];
int pageCount = 0;

// A page of thunks, one per slot, sealed execute-read before any of them is handed out.
ThunkPage* NewPage() {
  if (pageCount == kMaxPages) return nullptr;
  auto* code = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!code) return nullptr;
  auto* page = new ThunkPage;
  for (std::size_t i = 0; i < kPerPage; ++i) WriteThunk(code + i * kThunkSize, &page->slots[i]);
  DWORD old = 0;
  if (!VirtualProtect(code, kPageSize, PAGE_EXECUTE_READ, &old)) {
    VirtualFree(code, 0, MEM_RELEASE);
    delete page;
    return nullptr;
  }
  FlushInstructionCache(GetCurrentProcess(), code, kPageSize);
  page->code = code;
  pages[pageCount++] = page;
  return page;
}

}  // namespace

const void* MakeThunk(const void* target, const void* argument) {
  ThunkPage* page = pageCount ? pages[pageCount - 1] : nullptr;
  if (!page || page->used == kPerPage) page = NewPage();
  if (!page) return nullptr;
  ThunkSlot& slot = page->slots[page->used];
  slot.argument = argument;
  slot.target = target;
  return page->code + kThunkSize * page->used++;
}

const ThunkSlot* ThunkAt(std::uintptr_t address) {
  for (int i = 0; i < pageCount; ++i) {
    const ThunkPage& page = *pages[i];
    const auto begin = reinterpret_cast<std::uintptr_t>(page.code);
    if (address < begin || address >= begin + page.used * kThunkSize) continue;
    if ((address - begin) % kThunkSize != 0) return nullptr;
    return &page.slots[(address - begin) / kThunkSize];
  }
  return nullptr;
}

}  // namespace vo::win
