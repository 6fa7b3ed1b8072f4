// Bytes as lower-case hex, two digits a byte: how the probe and the test plug-ins write texts
// into their output lines, so that text in any code page passes through unchanged.
#pragma once

#include <cstddef>
#include <string>

namespace vo::test {

inline void AppendHex(std::string& out, const void* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
}

inline std::string Hex(const std::string& text) {
  std::string out;
  AppendHex(out, text.data(), text.size());
  return out;
}

inline std::string Hex(const std::wstring& text) {
  std::string out;
  AppendHex(out, text.data(), text.size() * sizeof(wchar_t));
  return out;
}

}  // namespace vo::test
