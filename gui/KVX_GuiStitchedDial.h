// The stitched dial: a knob holding a value between Min and Max, shown as one glyph of a
// stitched picture and moved by vertical drags and the wheel.
#pragma once

#include <cstdint>

namespace kvx {

// The dial's power curve with exponent E (2 raised to CurveMapping): |x|^E keeping the sign of x,
// and its inverse |x|^(1/E).
float DialMapCurve(float X, float Exponent);
float DialUnmapCurve(float X, float Exponent);

// A wrapping dial's position brought back into 0..1 in one step, with the results of stepping
// by whole turns: above 1 it becomes P - ceil(P - 1) (so 1 stays 1 and 2 becomes 1), below 0
// P + ceil(-P). A position that is not finite cannot be wrapped and answers Fallback.
float DialWrapPosition(float P, float Fallback);

// The glyph nearest to position P (0..1) of GlyphCount glyphs, halves to even, or Fallback when
// P is not a number or the product is outside the 32-bit range.
int32_t DialGlyphOfPosition(float P, int32_t GlyphCount, int32_t Fallback);

}  // namespace kvx
