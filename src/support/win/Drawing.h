// Designed boxes and fonts made into what GDI draws with, and the bevel the forms are framed
// with.
#pragma once

#include <windows.h>

#include "support/Design.h"
#include "support/win/Handles.h"

namespace vo::win {

// Where a designed box lies at `scale`.
constexpr RECT RectOf(const Box& box, const DpiScale& scale = {}) {
  const Box scaled = ScaleBox(box, scale);
  return RECT{scaled.left, scaled.top, scaled.right(), scaled.bottom()};
}

// The font at `scale`, drawn without smoothing.
UniqueFont MakeFont(const FontSpec& font, const DpiScale& scale = {});

// `width` rings inside `bounds`, each with its top and left edges in one colour and its bottom
// and right edges, far corners included, in the other. Returns the area the rings enclose.
RECT DrawBevel(HDC dc, RECT bounds, COLORREF topLeft, COLORREF bottomRight, int width);

}  // namespace vo::win
