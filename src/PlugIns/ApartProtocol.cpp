#include "PlugIns/ApartProtocol.h"

#include <algorithm>
#include <cstring>

namespace vo::apart {

std::pair<std::uint32_t, std::uint32_t> SplitDateTime(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return {static_cast<std::uint32_t>(bits), static_cast<std::uint32_t>(bits >> 32)};
}

double JoinDateTime(std::uint32_t low, std::uint32_t high) {
  const std::uint64_t bits = static_cast<std::uint64_t>(high) << 32 | low;
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::vector<char> PackTelop(std::string_view text, std::string_view wave) {
  // A zero inside a text would end it early on the other side; it ends it here already.
  text = text.substr(0, text.find('\0'));
  wave = wave.substr(0, wave.find('\0'));
  std::vector<char> bytes(text.begin(), text.end());
  bytes.push_back('\0');
  bytes.insert(bytes.end(), wave.begin(), wave.end());
  bytes.push_back('\0');
  return bytes;
}

std::optional<Telop> UnpackTelop(std::span<const char> bytes) {
  const auto textEnd = std::find(bytes.begin(), bytes.end(), '\0');
  if (textEnd == bytes.end()) return std::nullopt;
  const auto waveEnd = std::find(textEnd + 1, bytes.end(), '\0');
  if (waveEnd == bytes.end() || waveEnd + 1 != bytes.end()) return std::nullopt;
  return Telop{std::string(bytes.begin(), textEnd), std::string(textEnd + 1, waveEnd)};
}

std::string DescriptionOf(const SharedBlock& block) {
  const char* text = block.description;
  return std::string(text, std::find(text, text + kDescriptionBytes, '\0'));
}

void StoreDescription(SharedBlock& block, std::string_view text) {
  const std::size_t size = std::min(text.size(), kDescriptionBytes - 1);
  std::memcpy(block.description, text.data(), size);
  block.description[size] = '\0';
}

}  // namespace vo::apart
