#include "gui/KVX_GuiSlider.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "gui/KVX_GuiPixelMap.h"

namespace kvx {

float FastSqrt(float X) {
  const uint32_t Bits = std::bit_cast<uint32_t>(X);
  const float Y0 = std::bit_cast<float>(((Bits - 0x800000u) >> 1) + 0x20000000u);
  const float T = Y0 + X / Y0;
  return 0.25f * T + X / T;
}

float MapCurve(float X, float Exponent) {
  return std::copysign(std::pow(std::fabs(X), Exponent), X);
}

float UnmapCurve(float X, float Exponent) {
  return std::copysign(std::pow(std::fabs(X), 1.0f / Exponent), X);
}

namespace {

// A weight or alpha from a fraction: rounded, halves to even, kept within a byte.
uint32_t ByteOf(double Fraction) {
  const double Scaled = std::nearbyint(Fraction * 255.0);
  if (!(Scaled > 0.0)) return 0;
  return Scaled >= 255.0 ? 255u : static_cast<uint32_t>(Scaled);
}

}  // namespace

void DrawSlider(TGuiCustomPixelMap& Map, const TSliderAppearance& Look) {
  const int32_t W = Map.Width();
  const int32_t H = Map.Height();
  if (W <= 0 || H <= 0 || !Map.DataPointer()) return;

  const TPixel32 Slide = ColorToPixel32(Look.SlideColor);
  const TPixel32 Back = ColorToPixel32(Look.Color);
  const float BorderWidth = std::isfinite(Look.BorderWidth) ? std::max(Look.BorderWidth, 0.0f) : 0.0f;
  const TPixel32 Border = BorderWidth > 0 ? ColorToPixel32(Look.BorderColor) : Slide;

  // The columns left of P take the slide colour.
  const double Range = double{Look.Max} - Look.Min;
  double Fraction = Range > 0 ? (double{Look.Value} - Look.Min) / Range : 0.0;
  Fraction = std::isnan(Fraction) ? 0.0 : std::clamp(Fraction, 0.0, 1.0);
  const double Exponent = std::isfinite(Look.CurveMappingExp) && Look.CurveMappingExp > 0
                              ? Look.CurveMappingExp
                              : 1.0;
  const int32_t P = static_cast<int32_t>(std::nearbyint(W * std::pow(Fraction, 1.0 / Exponent)));
  const auto Fill = [&](int32_t Column) { return Column < P ? Slide : Back; };

  double R = std::isfinite(Look.BorderRadius) ? std::max<double>(Look.BorderRadius, 0.0) : 0.0;
  R = std::min({R, W * 0.5, H * 0.5});
  const double B = BorderWidth > 1 ? BorderWidth : 1.0;

  if (R == 0) {
    // Square corners: rectangle fills, whole border rings, the fraction as one translucent ring.
    const int32_t N = static_cast<int32_t>(std::min<double>(BorderWidth, std::max(W, H)));
    Map.FillRect(N, N, P, H - N, Slide);
    Map.FillRect(std::max(P, N), N, W - N, H - N, Back);
    for (int32_t i = 0; i < N && 2 * i < W && 2 * i < H; ++i)
      Map.FrameRect(TRect{i, i, W - i, H - i}, Border);
    if (2 * N < W && 2 * N < H) {
      TPixel32 Ring = Border;
      Ring.A = static_cast<uint8_t>(ByteOf(BorderWidth - N));
      if (Ring.A > 0) Map.FrameRect(TRect{N, N, W - N, H - N}, Ring);
    }
    return;
  }

  const double In = std::max(R - B, 0.0);
  const double InStart = std::max(R - B - 1, 0.0);
  const double OutStart = std::max(R - 1, 0.0);
  const auto Blend = [&](int32_t X, int32_t Y, TPixel32 C) {
    OpaqueBlendInPlace(C, *Map.PixelPointer(X, Y));
  };

  // Corner rows, mirrored top and bottom.
  const int32_t CornerRows = static_cast<int32_t>(std::nearbyint(R));
  for (int32_t i = 0; i < CornerRows; ++i) {
    const double Dy = i - R + 1;
    const double Dy2 = Dy * Dy;
    const double W2 = R * R - Dy2;
    if (W2 <= 0) continue;
    const double F = std::sqrt(W2) - 0.5;
    // A whole radius and an even width put the right end one column past the row: clip.
    const int32_t X0 = std::max(0, static_cast<int32_t>(std::nearbyint(R - F - 1)));
    const int32_t X1 = std::min(W - 1, static_cast<int32_t>(std::nearbyint((W - 1) - R + F + 1)));
    for (int32_t j = X0; j <= X1; ++j) {
      double D2 = Dy2;
      if (j < R - 1) {
        D2 += (j - R + 1) * (j - R + 1);
      } else if (j > (W - 1) - R + 1) {
        const double Dx = j - W + 1 + R - 1;
        D2 += Dx * Dx;
      }
      TPixel32 C = Fill(j);
      if (D2 >= InStart * InStart) {
        const double Distance = FastSqrt(static_cast<float>(D2));
        if (D2 > In * In) {
          C = Border;
          if (D2 >= OutStart * OutStart) C.A = static_cast<uint8_t>(ByteOf(R - Distance));
        } else {
          C = WeightedMix(Border, C, ByteOf(1.0 - (In - Distance)));
        }
      }
      // Blended twice where the two rows are one.
      Blend(j, i, C);
      Blend(j, H - 1 - i, C);
    }
  }

  // Middle rows: the border with its fractional inner edge, the fill inside.
  const double Bottom = (H - 1) - B;
  const double Right = (W - 1) - B;
  for (int32_t i = CornerRows; i <= H - CornerRows - 1; ++i) {
    const bool Partial = (B - 1 <= i && i < B) || (Bottom < i && i <= Bottom + 1);
    const double Fi = i < B ? B - i : i - Bottom;
    for (int32_t j = 0; j < W; ++j) {
      TPixel32 C = Border;
      const bool OuterColumn = j < B - 1 || j > Right + 1;
      if (i < B - 1 || i > Bottom + 1 || OuterColumn) {
        C = Border;
      } else if (!Partial) {
        if (j < B)
          C = WeightedMix(Border, Fill(j), ByteOf(B - j));
        else if (j > Right)
          C = WeightedMix(Border, Fill(j), ByteOf(j - Right));
        else
          C = Fill(j);
      } else if (j < B) {
        C = WeightedMix(Border, Fill(j), ByteOf(Fi + (B - j) * (1 - Fi)));
      } else if (j > Right) {
        C = WeightedMix(Border, Fill(j), ByteOf(Fi + (j - W + 1 + B) * (1 - Fi)));
      } else {
        C = WeightedMix(Border, Fill(j), ByteOf(Fi));
      }
      Blend(j, i, C);
    }
  }
}

}  // namespace kvx
