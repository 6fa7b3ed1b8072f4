#include "PlugIns/win/ImageProcessor.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <span>

#include "support/win/Handles.h"

namespace vo::win {

Processor ProcessorOfFile(const std::wstring& file) {
  const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Processor::kUnknown;
  const UniqueKernelHandle handle(opened);
  // The linkers put the PE header within the first few hundred bytes.
  std::array<std::uint8_t, 4096> head{};
  DWORD read = 0;
  if (!ReadFile(handle.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) {
    return Processor::kUnknown;
  }
  return ProcessorOfImage(std::span(head.data(), read));
}

}  // namespace vo::win
