// Holds a slim reader/writer lock for a scope, exclusively or shared.
#pragma once

#include <windows.h>

namespace vo::win {

template <void(WINAPI* Acquire)(PSRWLOCK), void(WINAPI* Release)(PSRWLOCK)>
class SrwHold {
 public:
  explicit SrwHold(SRWLOCK& lock) : lock_(lock) { Acquire(&lock_); }
  SrwHold(const SrwHold&) = delete;
  SrwHold& operator=(const SrwHold&) = delete;
  ~SrwHold() { Release(&lock_); }

 private:
  SRWLOCK& lock_;
};

using ExclusiveLock = SrwHold<AcquireSRWLockExclusive, ReleaseSRWLockExclusive>;
using SharedLock = SrwHold<AcquireSRWLockShared, ReleaseSRWLockShared>;

}  // namespace vo::win
