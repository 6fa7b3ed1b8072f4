#include "support/win/WideText.h"

#include <windows.h>

namespace vo::win {

std::wstring Widened(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrowed(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::wstring ProgramPathW() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

std::wstring ProgramDirectoryW() {
  const std::wstring path = ProgramPathW();
  const std::size_t cut = path.find_last_of(L"\\:");
  if (cut == std::wstring::npos) return {};
  // A '\' stays only as a root: "C:\", "\", the "\\" of a UNC name.
  const bool root =
      path[cut] != L'\\' || cut == 0 || path[cut - 1] == L'\\' || path[cut - 1] == L':';
  return path.substr(0, root ? cut + 1 : cut);
}

std::wstring JoinWidePath(std::wstring_view directory, std::wstring_view name) {
  std::wstring path(directory);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += name;
  return path;
}

}  // namespace vo::win
