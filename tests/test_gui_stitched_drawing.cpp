// Drawing one glyph of a stitched picture into a control's buffer, and the dial's position
// arithmetic that decides which glyph is shown.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gui/KVX_GuiStitchedControls.h"
#include "gui/KVX_GuiStitchedDial.h"

using namespace kvx;

namespace {

constexpr TPixel32 CBackground = TPixel32::FromARGB(0xFF102030);

// Each picture pixel names its own position (R = x, G = y), so a drawn pixel tells where it came
// from. Pixel (1, 1) of every 4 x 4 cell is transparent and (2, 1) half transparent, so blending
// shows as well as copying.
TPixel32 PicturePixel(int32_t X, int32_t Y) {
  uint8_t Alpha = 255;
  if (X % 4 == 1 && Y % 4 == 1) Alpha = 0;
  if (X % 4 == 2 && Y % 4 == 1) Alpha = 128;
  return TPixel32{0xC0, static_cast<uint8_t>(Y), static_cast<uint8_t>(X), Alpha};
}

void MakePicture(TGuiPixelMapMemory& Picture, int32_t Width, int32_t Height) {
  Picture.SetSize(Width, Height);
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x) *Picture.PixelPointer(x, y) = PicturePixel(x, y);
}

struct TGlyphCase {
  const char* Name;
  TGuiStitchKind Kind;
  int32_t PictureWidth, PictureHeight;
  int32_t TargetWidth, TargetHeight;
  int32_t Glyph;
};

}  // namespace

// Every target pixel is the picture pixel at the glyph's origin plus its position, blended over
// the background, where that lies inside the picture; everything else keeps the background.
TEST(StitchedGlyphDrawing, DrawsExactlyTheOverlapOfGlyphPictureAndControl) {
  const TGlyphCase Cases[] = {
      {"vertical, sizes agree", skVertical, 8, 32, 8, 8, 2},
      {"vertical, first glyph", skVertical, 8, 32, 8, 8, 0},
      {"vertical, control taller than one glyph", skVertical, 8, 32, 8, 12, 2},
      {"vertical, last glyph cut short", skVertical, 8, 30, 8, 8, 3},
      {"vertical, control wider than picture", skVertical, 8, 32, 11, 8, 3},
      {"vertical, control narrower than picture", skVertical, 8, 32, 5, 8, 1},
      {"vertical, glyph beyond the picture", skVertical, 8, 32, 8, 8, 4},
      {"horizontal, sizes agree", skHorizontal, 32, 8, 8, 8, 3},
      {"horizontal, control taller than picture", skHorizontal, 32, 8, 8, 13, 1},
      {"horizontal, last glyph past the width", skHorizontal, 30, 8, 8, 8, 3},
      {"horizontal, control wider than one glyph", skHorizontal, 32, 8, 12, 8, 2},
      {"horizontal, glyph beyond the picture", skHorizontal, 32, 8, 8, 8, 4},
      {"one-pixel picture, large control", skVertical, 1, 1, 9, 9, 0},
  };
  for (const TGlyphCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TGuiPixelMapMemory Picture;
    MakePicture(Picture, Case.PictureWidth, Case.PictureHeight);
    TGuiPixelMapMemory Target;
    Target.SetSize(Case.TargetWidth, Case.TargetHeight);
    Target.Clear(CBackground);
    DrawStitchedGlyph(Picture, Case.Kind, Case.Glyph, Target);

    const int32_t OriginX = Case.Kind == skHorizontal ? Case.Glyph * Case.TargetWidth : 0;
    const int32_t OriginY = Case.Kind == skVertical ? Case.Glyph * Case.TargetHeight : 0;
    int Drawn = 0;
    for (int32_t y = 0; y < Case.TargetHeight; ++y)
      for (int32_t x = 0; x < Case.TargetWidth; ++x) {
        const int32_t Sx = OriginX + x, Sy = OriginY + y;
        const bool Inside = Sx < Case.PictureWidth && Sy < Case.PictureHeight;
        const TPixel32 Expected = Inside ? OpaqueBlend(PicturePixel(Sx, Sy), CBackground) : CBackground;
        Drawn += Inside;
        ASSERT_EQ(Target.Pixel(x, y).ARGB(), Expected.ARGB()) << "at " << x << ", " << y;
      }
    const bool Beyond = Case.Glyph == 4;
    EXPECT_EQ(Drawn == 0, Beyond) << "only a glyph beyond the picture draws nothing";
  }
}

TEST(StitchedGlyphDrawing, NothingToDrawLeavesTheTargetAlone) {
  TGuiPixelMapMemory Picture;
  MakePicture(Picture, 4, 16);
  TGuiPixelMapMemory Target;
  Target.SetSize(4, 4);
  Target.Clear(CBackground);
  DrawStitchedGlyph(Picture, skVertical, -1, Target);
  DrawStitchedGlyph(Picture, static_cast<TGuiStitchKind>(2), 0, Target);
  // An index whose origin overflows 32 bits must not wrap around into the picture.
  DrawStitchedGlyph(Picture, skVertical, INT32_MAX, Target);
  TGuiPixelMapMemory Empty;
  DrawStitchedGlyph(Empty, skVertical, 0, Target);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) ASSERT_EQ(Target.Pixel(x, y), CBackground);
  TGuiPixelMapMemory EmptyTarget;
  DrawStitchedGlyph(Picture, skVertical, 0, EmptyTarget);  // a 0 x 0 control: nothing, no fault
}

// ---- the dial's position arithmetic ------------------------------------------------------------

namespace {
// What stepping by whole turns gives, the way a wrapping position is defined.
float WrapByTurns(float P) {
  while (P < 0) P += 1;
  while (P > 1) P -= 1;
  return P;
}
}  // namespace

TEST(DialPosition, WrapMatchesStepping) {
  const float Values[] = {0.0f, 1.0f, 0.5f, 1.5f, 2.0f, 3.0f, 1.0000001f, -0.25f, -1.0f, -1.5f,
                          -2.0f, 7.3f, -7.3f, 0.999f, 123.456f, -0.0001f};
  for (float P : Values) EXPECT_EQ(DialWrapPosition(P, -9.0f), WrapByTurns(P)) << P;
}

TEST(DialPosition, WrapOfExtremePositionsEndsAndStaysInRange) {
  // Stepping by turns would never finish for these (or finish at once for NaN).
  const float Huge[] = {33554432.0f, -33554432.0f, 1e30f, -1e30f, std::numeric_limits<float>::max()};
  for (float P : Huge) {
    const float W = DialWrapPosition(P, -9.0f);
    EXPECT_TRUE(W >= 0 && W <= 1) << P << " -> " << W;
  }
  const float Fallback = 0.25f;
  EXPECT_EQ(DialWrapPosition(std::numeric_limits<float>::infinity(), Fallback), Fallback);
  EXPECT_EQ(DialWrapPosition(-std::numeric_limits<float>::infinity(), Fallback), Fallback);
  EXPECT_EQ(DialWrapPosition(std::numeric_limits<float>::quiet_NaN(), Fallback), Fallback);
}

TEST(DialPosition, CurveAndItsInverse) {
  struct {
    float X, Exponent, Mapped;
  } const Cases[] = {
      {0.5f, 1.0f, 0.5f}, {0.5f, 2.0f, 0.25f}, {-0.5f, 2.0f, -0.25f},
      {0.25f, 0.5f, 0.5f}, {1.0f, 4.0f, 1.0f}, {0.0f, 2.0f, 0.0f},
  };
  for (const auto& C : Cases) {
    EXPECT_FLOAT_EQ(DialMapCurve(C.X, C.Exponent), C.Mapped) << C.X << "^" << C.Exponent;
    EXPECT_FLOAT_EQ(DialUnmapCurve(C.Mapped, C.Exponent), C.X);
  }
}

TEST(DialPosition, GlyphOfPositionRoundsHalvesToEvenAndRefusesWhatCannotBeRounded) {
  EXPECT_EQ(DialGlyphOfPosition(0.5f, 100, -7), 50) << "49.5 rounds to the even 50";
  EXPECT_EQ(DialGlyphOfPosition(1.0f, 100, -7), 99);
  EXPECT_EQ(DialGlyphOfPosition(0.0f, 100, -7), 0);
  EXPECT_EQ(DialGlyphOfPosition(0.5f, 4, -7), 2) << "1.5 rounds to the even 2";
  EXPECT_EQ(DialGlyphOfPosition(std::numeric_limits<float>::quiet_NaN(), 100, -7), -7);
  EXPECT_EQ(DialGlyphOfPosition(std::numeric_limits<float>::infinity(), 100, -7), -7);
  EXPECT_EQ(DialGlyphOfPosition(1e30f, 100, -7), -7);
}
