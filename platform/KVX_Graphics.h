// Small geometry and colour types shared by the drawing units and the window-system layer.
#pragma once

#include <cstdint>

namespace kvx {

// A window-system colour: 0x00BBGGRR; a negative value names a system colour by its low byte.
using TColor = int32_t;

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

// Left and Top inclusive, Right and Bottom exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return TRect{Left, Top, Right, Bottom};
}

}  // namespace kvx
