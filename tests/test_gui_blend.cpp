// The blend routines against their per-byte definitions, and the edge values that matter.
#include <gtest/gtest.h>

#include <vector>

#include "gui/KVX_GuiBlend.h"

using namespace kvx;

namespace {

// The per-byte definition, one byte at a time (no word tricks).
uint8_t Scale(uint32_t Byte, uint32_t Weight) { return static_cast<uint8_t>((Byte * Weight + 128) >> 8); }

TPixel32 ReferenceOpaqueBlend(TPixel32 F, TPixel32 B) {
  const uint32_t a = F.A;
  if (a == 0) return B;
  if (a == 255) return F;
  TPixel32 R;
  for (int i = 0; i < 4; ++i)
    R.Bytes()[i] = static_cast<uint8_t>(Scale(F.Bytes()[i], a) + Scale(B.Bytes()[i], 255 - a));
  R.A = 255;
  return R;
}

TPixel32 ReferenceWeightedMix(TPixel32 F, TPixel32 B, uint32_t W) {
  if (W == 0) return B;
  if (W >= 255) return F;
  TPixel32 R;
  for (int i = 0; i < 4; ++i)
    R.Bytes()[i] = static_cast<uint8_t>(Scale(F.Bytes()[i], W) + Scale(B.Bytes()[i], 255 - W));
  return R;
}

// A spread of pixels with every alpha class (0, 1, half, 254, 255) and extreme colour bytes.
std::vector<TPixel32> SamplePixels() {
  std::vector<TPixel32> Pixels;
  const uint8_t Values[] = {0, 1, 2, 127, 128, 129, 200, 254, 255};
  for (uint8_t A : Values)
    for (uint8_t C : Values) {
      Pixels.push_back(TPixel32{C, static_cast<uint8_t>(255 - C), static_cast<uint8_t>(C / 2 + 64), A});
      Pixels.push_back(TPixel32{255, C, 255, A});
    }
  return Pixels;
}

}  // namespace

TEST(GuiBlend, PixelLayoutAndColorConversion) {
  const TPixel32 P{0x11, 0x22, 0x33, 0x44};
  EXPECT_EQ(P.ARGB(), 0x44332211u);
  EXPECT_EQ(TPixel32::FromARGB(0x44332211u), P);
  const uint8_t* Bytes = reinterpret_cast<const uint8_t*>(&P);
  EXPECT_EQ(Bytes[0], 0x11);  // B first in memory
  EXPECT_EQ(Bytes[3], 0x44);

  // 0x00BBGGRR -> opaque B, G, R.
  EXPECT_EQ(ColorToPixel32(0x00123456).ARGB(), 0xFF563412u);
  EXPECT_EQ(ColorToPixel32(0x7F000000).ARGB(), 0xFF000000u);  // the high byte is not alpha
  // A negative colour names a system colour by its low byte.
  SetSystemColorFunc([](int32_t Index) -> uint32_t { return Index == 15 ? 0x00ABCDEFu : 0u; });
  EXPECT_EQ(ColorToPixel32(static_cast<TColor>(0xFF00000F)).ARGB(), 0xFFEFCDABu);
  SetSystemColorFunc(nullptr);
  EXPECT_EQ(ColorToPixel32(static_cast<TColor>(0xFF00000F)).A, 255);
}

TEST(GuiBlend, OpaqueBlendEdgeValues) {
  const TPixel32 Background = TPixel32::FromARGB(0x40102030);
  // Alpha 0 returns the background unchanged, its alpha included.
  EXPECT_EQ(OpaqueBlend(TPixel32::FromARGB(0x00FFFFFF), Background), Background);
  EXPECT_EQ(OpaqueBlend(TPixel32::FromARGB(0xFF123456), Background).ARGB(), 0xFF123456u);
  EXPECT_EQ(OpaqueBlend(TPixel32::FromARGB(0x80FFFFFF), TPixel32::FromARGB(0xFF000000)).ARGB(),
            0xFF808080u);
}

TEST(GuiBlend, OpaqueBlendMatchesPerByteDefinitionAndNeverCarries) {
  const auto Pixels = SamplePixels();
  for (TPixel32 F : Pixels)
    for (TPixel32 B : Pixels) {
      const TPixel32 Expected = ReferenceOpaqueBlend(F, B);
      ASSERT_EQ(OpaqueBlend(F, B), Expected) << std::hex << F.ARGB() << " over " << B.ARGB();
      TPixel32 InPlace = B;
      OpaqueBlendInPlace(F, InPlace);
      ASSERT_EQ(InPlace, Expected);
    }
  // Every alpha with the largest bytes: the two products never sum above 255.
  for (uint32_t a = 0; a < 256; ++a) {
    const TPixel32 F{255, 255, 255, static_cast<uint8_t>(a)};
    ASSERT_EQ(OpaqueBlend(F, TPixel32{255, 255, 255, 255}), ReferenceOpaqueBlend(F, {255, 255, 255, 255}));
  }
}

TEST(GuiBlend, WeightedMixMatchesDefinition) {
  const TPixel32 F = TPixel32::FromARGB(0x20FF8001);
  const TPixel32 B = TPixel32::FromARGB(0xC0017FFE);
  EXPECT_EQ(WeightedMix(F, B, 0), B);
  EXPECT_EQ(WeightedMix(F, B, 255), F);
  EXPECT_EQ(WeightedMix(F, B, 1000), F);
  // Alpha is mixed like the colours and not forced.
  EXPECT_EQ(WeightedMix(F, B, 128).A, Scale(0x20, 128) + Scale(0xC0, 127));
  const auto Pixels = SamplePixels();
  for (uint32_t W : {1u, 2u, 64u, 127u, 128u, 200u, 254u})
    for (TPixel32 P : Pixels)
      for (TPixel32 Q : Pixels) {
        ASSERT_EQ(WeightedMix(P, Q, W), ReferenceWeightedMix(P, Q, W));
        TPixel32 InPlace = Q;
        WeightedMixInPlace(P, InPlace, W);
        ASSERT_EQ(InPlace, ReferenceWeightedMix(P, Q, W));
      }
}

TEST(GuiBlend, AlphaMergeCases) {
  const TPixel32 Half = TPixel32::FromARGB(0x80204060);
  // Over a fully transparent background the foreground comes back unchanged.
  EXPECT_EQ(AlphaMerge(Half, TPixel32::FromARGB(0x00FFFFFF)), Half);
  // Over an opaque background it is OpaqueBlend.
  const TPixel32 Opaque = TPixel32::FromARGB(0xFF907050);
  EXPECT_EQ(AlphaMerge(Half, Opaque), OpaqueBlend(Half, Opaque));
  EXPECT_EQ(AlphaMerge(TPixel32::FromARGB(0xFF010203), Half).ARGB(), 0xFF010203u);
  EXPECT_EQ(AlphaMerge(TPixel32::FromARGB(0x00010203), Half), Half);

  // Both translucent: worked by hand from the merge formula.
  // F.A = 128, B.A = 128: X = 65025 - 127 * 127 = 48896, A = (48896 + 128) >> 8 = 191,
  // W = 128 * 65025 / 48896 = 170; c = B + ((170 * (F - B + 255) + 127) >> 8) - 170 + 1.
  const TPixel32 F = TPixel32::FromARGB(0x80FF0000);  // red
  const TPixel32 B = TPixel32::FromARGB(0x800000FF);  // blue
  const TPixel32 M = AlphaMerge(F, B);
  EXPECT_EQ(M.A, 191);
  EXPECT_EQ(M.R, 170);  // 0 + 339 - 170 + 1
  EXPECT_EQ(M.G, 0);    // 0 + 169 - 170 + 1
  EXPECT_EQ(M.B, 86);   // 255 + 0 - 170 + 1
  TPixel32 InPlace = B;
  AlphaMergeInPlace(F, InPlace);
  EXPECT_EQ(InPlace, M);
}

TEST(GuiBlend, RunFormsEqualPixelForms) {
  const auto Pixels = SamplePixels();
  const int32_t N = static_cast<int32_t>(Pixels.size());
  std::vector<TPixel32> Background(Pixels.rbegin(), Pixels.rend());

  // Every foreground over every background.
  for (TPixel32 B : Pixels) {
    std::vector<TPixel32> Under(Pixels.size(), B);
    OpaqueBlendRow(Pixels.data(), Under.data(), N);
    for (int32_t i = 0; i < N; ++i) ASSERT_EQ(Under[i], ReferenceOpaqueBlend(Pixels[i], B));
  }
  auto Row = Background;

  Row = Background;
  WeightedMixRow(Pixels.data(), Row.data(), N, 77);
  for (int32_t i = 0; i < N; ++i) ASSERT_EQ(Row[i], WeightedMix(Pixels[i], Background[i], 77));

  Row = Background;
  AlphaMergeRow(Pixels.data(), Row.data(), static_cast<uint32_t>(N));
  for (int32_t i = 0; i < N; ++i) ASSERT_EQ(Row[i], AlphaMerge(Pixels[i], Background[i]));

  for (uint8_t A : {0, 1, 128, 254, 255}) {
    const TPixel32 Color{10, 200, 99, A};
    Row = Background;
    OpaqueBlendFill(Color, Row.data(), N - 1);
    for (int32_t i = 0; i < N - 1; ++i) ASSERT_EQ(Row[i], OpaqueBlend(Color, Background[i]));
    ASSERT_EQ(Row[N - 1], Background[N - 1]);  // Count pixels, no more
    Row = Background;
    WeightedMixFill(Color, Row.data(), N, A);
    for (int32_t i = 0; i < N; ++i) ASSERT_EQ(Row[i], WeightedMix(Color, Background[i], A));
  }

  // Counts of zero or below touch nothing.
  Row = Background;
  OpaqueBlendFill(TPixel32{1, 2, 3, 255}, Row.data(), 0);
  OpaqueBlendFill(TPixel32{1, 2, 3, 255}, Row.data(), -5);
  WeightedMixFill(TPixel32{1, 2, 3, 255}, Row.data(), -1, 255);
  OpaqueBlendRow(Pixels.data(), Row.data(), -3);
  WeightedMixRow(Pixels.data(), Row.data(), 0, 128);
  EXPECT_EQ(Row, Background);
}
