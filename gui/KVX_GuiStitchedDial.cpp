#include "gui/KVX_GuiStitchedDial.h"

#include <cmath>

namespace kvx {

float DialMapCurve(float X, float Exponent) {
  const float Magnitude = std::pow(std::fabs(X), Exponent);
  return X < 0 ? -Magnitude : Magnitude;
}

float DialUnmapCurve(float X, float Exponent) {
  const float Magnitude = std::pow(std::fabs(X), 1.0f / Exponent);
  return X < 0 ? -Magnitude : Magnitude;
}

float DialWrapPosition(float P, float Fallback) {
  if (!std::isfinite(P)) return Fallback;
  if (P > 1) return P - std::ceil(P - 1);
  if (P < 0) return P + std::ceil(-P);
  return P;
}

int32_t DialGlyphOfPosition(float P, int32_t GlyphCount, int32_t Fallback) {
  const double Glyph = std::nearbyint(double{P} * (static_cast<double>(GlyphCount) - 1));
  if (!(Glyph >= INT32_MIN && Glyph <= INT32_MAX)) return Fallback;
  return static_cast<int32_t>(Glyph);
}

}  // namespace kvx
