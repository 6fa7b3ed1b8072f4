// The pieces every designed layout is made of: boxes and fonts in pixels at 96 dpi, taken to
// a display's density through DpiScale.
#pragma once

#include <cstdint>

#include "support/DpiScale.h"

namespace vo {

struct Box {
  int left, top, width, height;
  constexpr int right() const { return left + width; }
  constexpr int bottom() const { return top + height; }
  constexpr bool contains(int x, int y) const {
    return x >= left && x < right() && y >= top && y < bottom();
  }
  constexpr bool operator==(const Box&) const = default;
};

// Edges scale, so boxes that meet as designed still meet.
constexpr Box ScaleBox(const Box& box, const DpiScale& scale) {
  return Box{scale(box.left), scale(box.top), scale.Length(box.left, box.width),
             scale.Length(box.top, box.height)};
}

// The platform's values, so that a font the design asks for is the one the mapper gets.
enum class FontCharset : std::uint8_t { kLatin = 0, kShiftJis = 128 };  // ANSI_, SHIFTJIS_CHARSET
enum class FontFamily : std::uint8_t { kAny = 0, kSwiss = 0x20 };       // FF_DONTCARE, FF_SWISS

// The family counts where the face is missing: the mapper then picks one of that family.
struct FontSpec {
  const char* face;
  int pixelHeight;  // the character height (the em size) at 96 dpi, not the cell height
  bool bold = false;
  bool italic = false;
  FontCharset charset = FontCharset::kShiftJis;
  FontFamily family = FontFamily::kAny;
};

}  // namespace vo
