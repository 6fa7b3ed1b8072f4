#include "support/win/ForeignString.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vo::win {
namespace {

// Each page is checked before it is read, and reads never cross a page, so each read is
// all-or-nothing; ReadProcessMemory still guards against a page that goes away meanwhile.
// A short chunk keeps a short string from costing a whole page copy.
constexpr std::size_t kChunkBytes = 256;

std::size_t PageSize() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwPageSize ? info.dwPageSize : 4096;
}

// Asking first keeps us off no-access and guard pages even where ReadProcessMemory would
// read them anyway (it does under Wine; touching a guard page would disarm a stack guard).
bool IsReadablePage(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &info, sizeof info) != sizeof info) {
    return false;
  }
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return info.State == MEM_COMMIT && (info.Protect & kReadable) != 0 &&
         (info.Protect & PAGE_GUARD) == 0;
}

}  // namespace

bool CopyForeignBytes(const void* p, void* out, std::size_t size) {
  if (!p) return false;
  const std::size_t pageSize = PageSize();
  const auto first = reinterpret_cast<std::uintptr_t>(p);
  for (std::uintptr_t page = first - first % pageSize; page < first + size; page += pageSize) {
    if (!IsReadablePage(page)) return false;
  }
  SIZE_T read = 0;
  return ReadProcessMemory(GetCurrentProcess(), p, out, size, &read) && read == size;
}

std::string CopyForeignString(const void* p, std::size_t maxBytes) {
  if (!p) return {};
  const std::size_t pageSize = PageSize();
  const HANDLE self = GetCurrentProcess();

  std::string text;
  auto address = reinterpret_cast<std::uintptr_t>(p);
  char chunk[kChunkBytes];
  bool onCheckedPage = false;
  while (text.size() < maxBytes) {
    const std::size_t toPageEnd = pageSize - address % pageSize;
    if (toPageEnd == pageSize) onCheckedPage = false;  // entering the next page
    if (!onCheckedPage && !IsReadablePage(address)) return {};
    onCheckedPage = true;
    const std::size_t wanted = std::min({toPageEnd, kChunkBytes, maxBytes - text.size()});
    SIZE_T read = 0;
    if (!ReadProcessMemory(self, reinterpret_cast<LPCVOID>(address), chunk, wanted, &read) ||
        read != wanted) {
      return {};
    }
    const void* terminator = std::memchr(chunk, '\0', wanted);
    if (terminator) {
      text.append(chunk, static_cast<std::size_t>(static_cast<const char*>(terminator) - chunk));
      return text;
    }
    text.append(chunk, wanted);
    address += wanted;
  }
  return text;
}

}  // namespace vo::win
