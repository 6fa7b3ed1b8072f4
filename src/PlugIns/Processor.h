// Which processor a module's code is built for, told from its file's header, so that a module
// of the other kind runs in a helper program built for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vo {

enum class Processor { kUnknown, kX86, kX64 };

// The processor this program is built for.
constexpr Processor kOwnProcessor = sizeof(void*) == 8 ? Processor::kX64 : Processor::kX86;

// The machine of a PE image from the first bytes of its file (the DOS header, and the PE
// header it points to, within those bytes); kUnknown for anything else.
Processor ProcessorOfImage(std::span<const std::uint8_t> head);

}  // namespace vo
