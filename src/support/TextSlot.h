// Texts with a slot: "%s" in a message stands for a name given when it is shown.
#pragma once

#include <string>
#include <string_view>

namespace vo {

// `text` with its first "%s" replaced by `value`; a text without one is returned as it is.
inline std::string WithSlotFilled(std::string_view text, std::string_view value) {
  const std::size_t slot = text.find("%s");
  if (slot == std::string_view::npos) return std::string(text);
  std::string filled(text.substr(0, slot));
  filled += value;
  filled += text.substr(slot + 2);
  return filled;
}

}  // namespace vo
