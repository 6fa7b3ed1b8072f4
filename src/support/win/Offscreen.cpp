#include "support/win/Offscreen.h"

namespace vo::win {

bool OffscreenImage::Create(int width, int height) {
  Release();
  WindowDC screen(nullptr);
  dc_.reset(CreateCompatibleDC(screen.get()));
  bitmap_.reset(CreateCompatibleBitmap(screen.get(), width, height));
  if (!dc_ || !bitmap_) return false;
  original_ = SelectObject(dc_.get(), bitmap_.get());
  width_ = width;
  height_ = height;
  return true;
}

void OffscreenImage::Release() {
  // The bitmap must leave the DC before either is deleted.
  if (dc_ && original_) SelectObject(dc_.get(), original_);
  original_ = nullptr;
  bitmap_.reset();
  dc_.reset();
}

void OffscreenImage::Fill(int left, int top, int right, int bottom, COLORREF colour) const {
  UniqueBrush brush(CreateSolidBrush(colour));
  const RECT area{left, top, right, bottom};
  FillRect(dc_.get(), &area, brush.get());
}

void OffscreenImage::CopyTo(HDC target, int x, int y) const {
  BitBlt(target, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

COLORREF ToColorRef(Color colour) {
  if (colour < 0) return GetSysColor(colour & 0xFF);
  return static_cast<COLORREF>(colour) & 0x00FFFFFF;
}

}  // namespace vo::win
