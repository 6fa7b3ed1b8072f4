// The factor between the designed layouts (pixels at 96 dpi) and a display of another
// density. Every window scales its designed geometry and fonts through one of these.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vo {

class DpiScale {
 public:
  static constexpr int kDesignDpi = 96;

  constexpr DpiScale() = default;
  // A DPI the system cannot report (0 or less) means the designed one.
  constexpr explicit DpiScale(int dpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}

  constexpr int Dpi() const { return dpi_; }
  constexpr bool operator==(const DpiScale&) const = default;

  // value * dpi / 96 rounded to nearest, halves away from zero (as the platform's MulDiv).
  constexpr int operator()(int value) const {
    const std::int64_t product = std::int64_t{value} * dpi_;
    const std::int64_t half = kDesignDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kDesignDpi
                                         : (product - half) / kDesignDpi);
  }
  // The scaled length of [start, start + length): edges scale, so spans that meet as
  // designed still meet.
  constexpr int Length(int start, int length) const {
    return (*this)(start + length) - (*this)(start);
  }
  // A line or bevel: never thinner than one pixel.
  constexpr int Line(int value) const { return std::max(1, (*this)(value)); }

 private:
  int dpi_ = kDesignDpi;
};

}  // namespace vo
