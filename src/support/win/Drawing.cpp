#include "support/win/Drawing.h"

#include <cstdlib>

namespace vo::win {
namespace {

static_assert(static_cast<BYTE>(FontCharset::kLatin) == ANSI_CHARSET &&
              static_cast<BYTE>(FontCharset::kShiftJis) == SHIFTJIS_CHARSET);
static_assert(static_cast<BYTE>(FontFamily::kAny) == FF_DONTCARE &&
              static_cast<BYTE>(FontFamily::kSwiss) == FF_SWISS);

void FillSolid(HDC dc, const RECT& area, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

}  // namespace

UniqueFont MakeFont(const FontSpec& font, const DpiScale& scale) {
  LOGFONTA logical{};
  logical.lfHeight = -std::abs(scale(font.pixelHeight));
  logical.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  logical.lfItalic = font.italic ? TRUE : FALSE;
  logical.lfCharSet = static_cast<BYTE>(font.charset);
  logical.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logical.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  // Crisp pixels, as the 16-colour artwork around them, and the same on every machine.
  logical.lfQuality = NONANTIALIASED_QUALITY;
  logical.lfPitchAndFamily = DEFAULT_PITCH | static_cast<BYTE>(font.family);
  lstrcpynA(logical.lfFaceName, font.face ? font.face : "", LF_FACESIZE);
  return UniqueFont(CreateFontIndirectA(&logical));
}

RECT DrawBevel(HDC dc, RECT bounds, COLORREF topLeft, COLORREF bottomRight, int width) {
  for (int ring = 0; ring < width; ++ring) {
    FillSolid(dc, {bounds.left, bounds.top, bounds.right - 1, bounds.top + 1}, topLeft);
    FillSolid(dc, {bounds.left, bounds.top, bounds.left + 1, bounds.bottom - 1}, topLeft);
    FillSolid(dc, {bounds.left, bounds.bottom - 1, bounds.right, bounds.bottom}, bottomRight);
    FillSolid(dc, {bounds.right - 1, bounds.top, bounds.right, bounds.bottom}, bottomRight);
    InflateRect(&bounds, -1, -1);
  }
  return bounds;
}

}  // namespace vo::win
