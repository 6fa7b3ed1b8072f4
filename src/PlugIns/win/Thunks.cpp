#include "PlugIns/win/Thunks.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "support/win/SrwLock.h"

namespace vo::win {
namespace {

#if defined(__x86_64__)
constexpr std::size_t kThunkSize = 128;
// A new frame with home space and room for the three stack arguments of a seven-argument
// procedure, which move one place up; the four register arguments move one register on.
// Returns the address after the code.
unsigned char* WriteThunk(unsigned char* at, const ThunkSlot* slot) {
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
  return Put(at, {0xC3});                                                  // ret
}

// Every thunk's frame as the unwinder must see it, written once per page into the slack after
// its first thunk: a four-byte prologue that allocates 88 bytes. Without it the unwinder
// would take a thunk for a leaf and read its frame as the return address.
constexpr std::size_t kUnwindAt = kThunkSize - 8;
constexpr unsigned char kUnwindInfo[8] = {1,     // version 1, no flags
                                          4,     // prologue size
                                          1,     // one unwind code
                                          0,     // no frame register
                                          4,     // the code at prologue offset 4:
                                          0xA2,  // UWOP_ALLOC_SMALL (2), info (88 - 8) / 8 = 10
                                          0,    0};
#else
constexpr std::size_t kThunkSize = 16;
// stdcall: the argument slips in before the caller's first; the target pops them all.
unsigned char* WriteThunk(unsigned char* at, const ThunkSlot* slot) {
  const auto argument = reinterpret_cast<std::uint32_t>(&slot->argument);
  const auto target = reinterpret_cast<std::uint32_t>(&slot->target);
  at = Put(at, {0x58});                       // pop eax
  at = Put(Put(at, {0xFF, 0x35}), argument);  // push [argument]
  at = Put(at, {0x50});                       // push eax
  return Put(Put(at, {0xFF, 0x25}), target);  // jmp [target]
}
#endif

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kPerPage = kPageSize / kThunkSize;

struct ThunkPage {
  unsigned char* code = nullptr;
  ThunkSlot slots[kPerPage];
  std::size_t used = 0;  // slots handed out at least once, from the first
#if defined(__x86_64__)
  RUNTIME_FUNCTION functions[kPerPage];
#endif
};

// Taken by any thread that hands plug-in code to the system or bypasses it; read by the
// getters and the quarantine.
SRWLOCK lock = SRWLOCK_INIT;
std::vector<ThunkPage*> pages;
std::vector<unsigned char*> freed;  // code of thunks given back, reused first

#if defined(__x86_64__)
void WriteUnwindInfo(unsigned char* code) {
  std::memcpy(code + kUnwindAt, kUnwindInfo, sizeof kUnwindInfo);
}

bool DescribeFrames(ThunkPage& page, std::size_t codeSize) {
  for (std::size_t i = 0; i < kPerPage; ++i) {
    const auto begin = static_cast<DWORD>(i * kThunkSize);
    page.functions[i] = {};
    page.functions[i].BeginAddress = begin;
    page.functions[i].EndAddress = begin + static_cast<DWORD>(codeSize);
    page.functions[i].UnwindData = static_cast<DWORD>(kUnwindAt);
  }
  return RtlAddFunctionTable(page.functions, kPerPage, reinterpret_cast<DWORD64>(page.code));
}
#else
void WriteUnwindInfo(unsigned char*) {}
bool DescribeFrames(ThunkPage&, std::size_t) { return true; }
#endif

// A page of thunks, one per slot, sealed execute-read before any of them is handed out.
ThunkPage* NewPage() {
  auto* code = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!code) return nullptr;
  auto* page = new ThunkPage;
  page->code = code;
  std::size_t codeSize = 0;
  for (std::size_t i = 0; i < kPerPage; ++i) {
    unsigned char* at = code + i * kThunkSize;
    codeSize = static_cast<std::size_t>(WriteThunk(at, &page->slots[i]) - at);
  }
  WriteUnwindInfo(code);
  DWORD old = 0;
  if (!VirtualProtect(code, kPageSize, PAGE_EXECUTE_READ, &old) ||
      !DescribeFrames(*page, codeSize)) {
    VirtualFree(code, 0, MEM_RELEASE);
    delete page;
    return nullptr;
  }
  FlushInstructionCache(GetCurrentProcess(), code, kPageSize);
  pages.push_back(page);
  return page;
}

// The page and slot index of a thunk's code address, or null.
ThunkPage* PageOf(std::uintptr_t address, std::size_t& index) {
  for (ThunkPage* page : pages) {
    const auto begin = reinterpret_cast<std::uintptr_t>(page->code);
    if (address < begin || address >= begin + page->used * kThunkSize) continue;
    if ((address - begin) % kThunkSize != 0) return nullptr;
    index = (address - begin) / kThunkSize;
    return page;
  }
  return nullptr;
}

unsigned char* TakeCode() {
  if (!freed.empty()) {
    unsigned char* code = freed.back();
    freed.pop_back();
    return code;
  }
  ThunkPage* page = pages.empty() ? nullptr : pages.back();
  if (!page || page->used == kPerPage) page = NewPage();
  if (!page) return nullptr;
  return page->code + kThunkSize * page->used++;
}

}  // namespace

const void* MakeThunk(const void* target, const void* argument) {
  const ExclusiveLock exclusive(lock);
  unsigned char* code = TakeCode();
  std::size_t index = 0;
  ThunkPage* page = code ? PageOf(reinterpret_cast<std::uintptr_t>(code), index) : nullptr;
  if (!page) return nullptr;
  page->slots[index] = {argument, target};
  return code;
}

void FreeThunk(const void* code) {
  const ExclusiveLock exclusive(lock);
  std::size_t index = 0;
  ThunkPage* page = PageOf(reinterpret_cast<std::uintptr_t>(code), index);
  if (!page || !page->slots[index].target) return;
  page->slots[index] = {};
  freed.push_back(page->code + index * kThunkSize);
}

ThunkSlot ThunkAt(std::uintptr_t address) {
  const SharedLock shared(lock);
  std::size_t index = 0;
  const ThunkPage* page = PageOf(address, index);
  return page ? page->slots[index] : ThunkSlot{};
}

std::size_t ThunkPages() {
  const SharedLock shared(lock);
  return pages.size();
}

}  // namespace vo::win
