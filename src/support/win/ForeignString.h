// Reading a string through a pointer that came with a window message. A posted CLK_TELOP may
// come from another program, whose pointers mean nothing in this address space.
#pragma once

#include <cstddef>
#include <string>

namespace vo::win {

// Copies the zero-terminated string at p, at most maxBytes of it, without ever faulting.
// Null, unreadable memory, or memory that becomes unreadable before the terminator give "".
std::string CopyForeignString(const void* p, std::size_t maxBytes = 64 * 1024);

// Copies `size` bytes at p into out, all or none, without ever faulting; false when any of
// them cannot be read.
bool CopyForeignBytes(const void* p, void* out, std::size_t size);

}  // namespace vo::win
