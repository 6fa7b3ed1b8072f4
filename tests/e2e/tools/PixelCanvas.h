// Shared by the probe and the telop plug-in: pixels to read back what GDI drew.
#pragma once

#include <windows.h>

#include <cstdint>

#include "support/win/Handles.h"

namespace vo::test {

using vo::win::UniqueBitmap;
using vo::win::UniqueMemoryDC;

// 32-bit top-down pixels of a w x h DIB section, created on a memory DC.
struct PixelCanvas {
  UniqueMemoryDC dc;
  UniqueBitmap bitmap;
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;

  PixelCanvas(int w, int h) : dc(CreateCompatibleDC(nullptr)), width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap.reset(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels = static_cast<const uint32_t*>(bits);
  }
  bool valid() const { return dc && bitmap && pixels; }
};

}  // namespace vo::test
