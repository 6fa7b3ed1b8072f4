// A bitmap with its own memory DC: an image that keeps its drawing until drawn over.
#pragma once

#include <windows.h>

#include "support/Color.h"
#include "support/win/Handles.h"

namespace vo::win {

class OffscreenImage {
 public:
  OffscreenImage() = default;
  OffscreenImage(const OffscreenImage&) = delete;
  OffscreenImage& operator=(const OffscreenImage&) = delete;
  ~OffscreenImage() { Release(); }

  bool Create(int width, int height);
  HDC DC() const { return dc_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Solid fill; what lies outside the bitmap is clipped.
  void Fill(int left, int top, int right, int bottom, COLORREF colour) const;
  void CopyTo(HDC target, int x, int y) const;

 private:
  void Release();

  UniqueMemoryDC dc_;
  UniqueBitmap bitmap_;
  HGDIOBJ original_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// The RGB value of a colour that may name a system colour (top bit set).
COLORREF ToColorRef(Color colour);

}  // namespace vo::win
