// Small pieces of generated code that call target(argument, ...the caller's arguments): a
// procedure the system calls with its own arguments reaches a function of vo's that also
// knows which procedure was meant. The code is written once per page, before the page is
// made execute-read; a thunk taken later only fills in its two data words, so no page is
// ever writable and executable at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace vo::win {

// What one thunk calls: target(argument, a1, ..., an) for a stdcall (x86) or the x64
// convention procedure of up to seven arguments that the thunk stands for.
struct ThunkSlot {
  const void* argument = nullptr;
  const void* target = nullptr;
};

// The thunk's code address, or null when no executable page can be had (Arbitrary Code
// Guard forbids making one, or memory ran out). Thunks are taken from one allocator under a
// lock of its own, by any thread; pages are added as needed, never given back.
const void* MakeThunk(const void* target, const void* argument);

// Gives a thunk back for reuse. Only once the system can call it no more: its hook removed,
// its window gone, and no call through it in progress.
void FreeThunk(const void* code);

// What the thunk at that address calls, or an empty slot (target null) if no thunk in use
// starts there.
ThunkSlot ThunkAt(std::uintptr_t address);

// Pages of thunks made so far.
std::size_t ThunkPages();

// Machine code is written a value or a few bytes at a time: each returns the address after
// what it wrote.
template <class T>
unsigned char* Put(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
  return at + sizeof value;
}

inline unsigned char* Put(unsigned char* at, std::initializer_list<unsigned char> bytes) {
  for (unsigned char byte : bytes) *at++ = byte;
  return at;
}

}  // namespace vo::win
