#include "PlugIns/Processor.h"

namespace vo {
namespace {

std::uint32_t LittleEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

}  // namespace

Processor ProcessorOfImage(std::span<const std::uint8_t> head) {
  constexpr std::size_t kPeOffsetAt = 0x3C;
  if (head.size() < kPeOffsetAt + 4 || head[0] != 'M' || head[1] != 'Z') return Processor::kUnknown;
  const std::size_t pe = LittleEndian(head, kPeOffsetAt, 4);
  // "PE\0\0", then the file header, whose first field is the machine.
  if (pe > head.size() || head.size() - pe < 6) return Processor::kUnknown;
  if (LittleEndian(head, pe, 4) != 0x00004550) return Processor::kUnknown;
  switch (LittleEndian(head, pe + 4, 2)) {
    case 0x014C:
      return Processor::kX86;
    case 0x8664:
      return Processor::kX64;
    default:
      return Processor::kUnknown;
  }
}

}  // namespace vo
