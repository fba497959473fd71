// The slider: a thin horizontal bar filled with the slide colour up to its value, with rounded,
// antialiased ends, drawn procedurally (no artwork) and set by clicking or dragging along it.
#pragma once

#include <cstdint>

#include "gui/KVX_GuiBlend.h"
#include "platform/KVX_Graphics.h"

namespace kvx {

class TGuiCustomPixelMap;

// A square root good to about 1e-5 relative: a first guess from the exponent bits and two
// Newton steps. The corner pixels need one per pixel.
float FastSqrt(float X);

// x^E and x^(1/E), keeping the sign of x.
float MapCurve(float X, float Exponent);
float UnmapCurve(float X, float Exponent);

// What the bar is drawn from.
struct TSliderAppearance {
  TColor SlideColor = 0x606060;
  TColor Color = 0xFFFFFF;  // the track
  TColor BorderColor = 0x202020;
  float BorderWidth = 1.0f;   // pixels; the fractional part is drawn translucent
  float BorderRadius = 0.0f;  // pixels; 0 or below: square corners
  float Value = 50.0f;
  float Min = 0.0f;
  float Max = 100.0f;
  float CurveMappingExp = 1.0f;
};

// Draws the bar over the whole map: the track filled with the slide colour in the columns left
// of the value's position, a border of BorderWidth, and for a radius above 0 round ends whose
// outer edge fades out and whose inner edge fades into the fill. Every write lies inside the
// map; a degenerate range (Max = Min) or a value that is not a number counts as the left end.
void DrawSlider(TGuiCustomPixelMap& Map, const TSliderAppearance& Look);

}  // namespace kvx
