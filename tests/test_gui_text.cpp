// Text: the font description's sizes, the platform's face choice, measuring and rasterising
// (UTF-8, missing glyphs, styles, clipping), and the oversampled font with its downsampling,
// buffer, alpha, shadow and turn. The machine has DejaVu (fonts-dejavu-core), so "Lucida
// Console" falls back to DejaVu Sans Mono and pixels can be asserted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <array>
#include <string>
#include <vector>

#include "gui/KVX_GuiFont.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Font.h"

using namespace kvx;

namespace {

const char* const CMonoFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// Descriptions are persistent objects (not copyable): built on the heap.
std::unique_ptr<TFont> Description(const std::string& Name, int32_t Height, TFontStyles Style = {},
                                   TFontQuality Quality = fqDefault) {
  auto Font = std::make_unique<TFont>();
  Font->SetName(Name);
  Font->SetHeight(Height);
  Font->SetStyle(Style);
  Font->SetQuality(Quality);
  return Font;
}

// An 8-bit canvas with a border of untouched bytes around the rows handed to the font.
struct TCanvas8 {
  int32_t Width, Height, Pad;
  std::vector<uint8_t> Bytes;
  TCanvas8(int32_t W, int32_t H, int32_t P = 16)
      : Width(W), Height(H), Pad(P), Bytes(size_t(W + 2 * P) * (H + 2 * P), 0) {}
  int32_t Stride() const { return Width + 2 * Pad; }
  TByteRows Rows() { return TByteRows{&Bytes[size_t(Pad) * Stride() + Pad], Width, Height, Stride()}; }
  uint8_t At(int32_t X, int32_t Y) const { return Bytes[size_t(Y + Pad) * Stride() + X + Pad]; }
  // The bounding box of the non-zero values inside the rows; Right < Left when empty.
  TRect Ink() const {
    TRect Box{Width, Height, -1, -1};
    for (int32_t Y = 0; Y < Height; ++Y)
      for (int32_t X = 0; X < Width; ++X)
        if (At(X, Y)) {
          Box.Left = std::min(Box.Left, X), Box.Top = std::min(Box.Top, Y);
          Box.Right = std::max(Box.Right, X + 1), Box.Bottom = std::max(Box.Bottom, Y + 1);
        }
    return Box;
  }
  bool PadUntouched() const {
    for (int32_t Y = -Pad; Y < Height + Pad; ++Y)
      for (int32_t X = -Pad; X < Width + Pad; ++X)
        if ((X < 0 || Y < 0 || X >= Width || Y >= Height) && At(X, Y)) return false;
    return true;
  }
  long Sum() const {
    long S = 0;
    for (uint8_t b : Bytes) S += b;
    return S;
  }
};

// A GUI font as the editor sets its captions up: white, oversampled 16 times.
void SetUp16x(TGuiOversampledGDIFont& Font, int32_t Height, TFontStyles Style = {}) {
  TFont Description;
  Description.SetName("Lucida Console");
  Description.SetHeight(Height);
  Description.SetStyle(Style);
  Description.SetColor(0xFFFFFF);
  Font.SetFont(Description);
  Font.SetFontOversampling(fo16x);
}

// An opaque black map.
struct TBlackMap : TGuiPixelMapMemory {
  TBlackMap(int32_t W, int32_t H) {
    SetSize(W, H);
    Clear(TPixel32{0, 0, 0, 255});
  }
};

}  // namespace

// ---- the description --------------------------------------------------------------------------

TEST(Font, SizeInPointsFollowsTheHeightAt96PixelsPerInch) {
  // Halves round away from zero both ways: 14 px is 10.5 pt, -9 px 6.75 pt.
  const struct {
    int32_t Height, Points, Times16Height;
  } Cases[] = {{14, -11, 235}, {-9, 7, -149}, {-11, 8, -171}, {-12, 9, -192}, {0, 0, 0}};
  for (const auto& Case : Cases) {
    EXPECT_EQ(FontPointsFromHeight(Case.Height), Case.Points) << Case.Height;
    EXPECT_EQ(FontHeightFromPoints(16 * Case.Points), Case.Times16Height) << Case.Height;
  }
}

// ---- the platform font ------------------------------------------------------------------------

TEST(PlatformFont, FaceChoiceFallsBackToMonospace) {
  const struct {
    const char* Name;
    int32_t Height;
    TFontStyles Style;
    const char* Family;
    const char* Style_;
  } Cases[] = {{"Lucida Console", -9, {}, "DejaVu Sans Mono", "Book"},
               {"Lucida Console", 14, {fsBold}, "DejaVu Sans Mono", "Bold"},
               {"No Such Face At All", 12, {}, "DejaVu Sans Mono", "Book"},
               {"Default", -11, {}, "DejaVu Sans", "Book"},
               {"DejaVu Serif", -11, {}, "DejaVu Serif", "Book"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const auto Description_ = Description(Case.Name, Case.Height, Case.Style);
    TPlatformFont Font(*Description_);
    ASSERT_TRUE(Font.HasFace());
    EXPECT_EQ(Font.Face().Family, Case.Family);
    EXPECT_EQ(Font.Face().Style, Case.Style_);
    EXPECT_FALSE(Font.Face().SyntheticBold);
    const std::string InUse = FontFaceInUse(*Description_);
    EXPECT_EQ(InUse.rfind(std::string(Case.Family) + " " + Case.Style_ + ", /", 0), 0u) << InUse;
  }
}

TEST(PlatformFont, ExtentIsTheAdvancesAndTheCell) {
  // DejaVu Sans Mono: 1233 of 2048 units per advance; cell 1901 + 483 units.
  const struct {
    int32_t Height;
    int32_t Advance, Ascent, Descent;
  } Cases[] = {
      {-149, 90, 138, 35},  // em 149: 89.7 per advance, round(138.3), round(35.1)
      {235, 122, 187, 48},  // cell 235: em 201.9, 121.5 per advance (bold face: 1233 units too)
      {-9, 5, 8, 2},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Height);
    TPlatformFont Font(*Description("Lucida Console", Case.Height));
    EXPECT_EQ(Font.Ascent(), Case.Ascent);
    EXPECT_EQ(Font.Descent(), Case.Descent);
    EXPECT_EQ(Font.TextExtent("INPUT LEVEL"), (TTextExtent{11 * Case.Advance, Case.Ascent + Case.Descent}));
    EXPECT_EQ(Font.TextExtent(""), (TTextExtent{0, Case.Ascent + Case.Descent}));
  }
}

TEST(PlatformFont, CoverageLiesInsideTheMeasuredExtent) {
  for (TFontQuality Quality : {fqNonAntialiased, fqAntialiased}) {
    SCOPED_TRACE(int(Quality));
    TPlatformFont Font(*Description("Lucida Console", -149, {}, Quality));
    const TTextExtent Extent = Font.TextExtent("INPUT LEVEL");
    TCanvas8 Canvas(Extent.cx + 40, Extent.cy + 40);
    Font.TextOut("INPUT LEVEL", 20, 20, Canvas.Rows());
    const TRect Ink = Canvas.Ink();
    EXPECT_GE(Ink.Left, 20);
    EXPECT_GE(Ink.Top, 20);
    EXPECT_LE(Ink.Right, 20 + Extent.cx);
    EXPECT_LE(Ink.Bottom, 20 + Extent.cy);
    // Capitals fill the cap height: from the ascent down to the baseline, nearly the full width.
    EXPECT_LT(Ink.Left, 20 + 20);
    EXPECT_GT(Ink.Right, 20 + Extent.cx - 20);
    // No descenders in INPUT LEVEL: only the U's overshoot reaches below the baseline.
    EXPECT_NEAR(Ink.Bottom, 20 + Font.Ascent(), 3);
    EXPECT_EQ(Canvas.At(20 + 45, Ink.Top + 40), 255) << "inside the I's stem";
    // Bi-level coverage without antialiasing, grey levels with it.
    bool Grey = false;
    for (uint8_t b : Canvas.Bytes) Grey |= b != 0 && b != 255;
    EXPECT_EQ(Grey, Quality == fqAntialiased);
  }
}

TEST(PlatformFont, DrawsOverWhatIsThereAndClipsToTheRows) {
  TPlatformFont Font(*Description("Lucida Console", -40, {}, fqAntialiased));
  TCanvas8 Canvas(60, 30);
  for (int32_t X = 0; X < 60; ++X) Canvas.Rows().Data[X + 5 * Canvas.Stride()] = 100;
  // Far outside, partly outside on every side, and inside.
  for (auto [X, Y] : {std::pair{-20, -25}, {45, 10}, {-1000000, 5}, {5, 1 << 30}, {10, -5}})
    Font.TextOut("WM", X, Y, Canvas.Rows());
  EXPECT_TRUE(Canvas.PadUntouched());
  EXPECT_GT(Canvas.Sum(), 0);
  for (int32_t X = 0; X < 60; ++X) EXPECT_GE(Canvas.At(X, 5), 100) << "the background is kept";
}

TEST(PlatformFont, Utf8AndMissingGlyphs) {
  TPlatformFont Font(*Description("Lucida Console", -40));
  const int32_t Advance = Font.TextExtent("A").cx;
  ASSERT_GT(Advance, 0);
  const struct {
    const char* Text;
    int32_t Glyphs;
  } Cases[] = {{"\xC3\xA9", 1},          // e acute, two bytes
               {"\xE2\x82\xAC" "1", 2},  // euro sign and a digit
               {"\xE4\xB8\x80", 1},      // a CJK character the face lacks
               {"\xFF" "A", 2},          // a stray byte counts as one character
               {"\xE2\x82", 1}};         // cut short
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    EXPECT_EQ(Font.TextExtent(Case.Text).cx, Case.Glyphs * Advance);
  }
  // The face's missing glyph is drawn, not nothing.
  TCanvas8 Canvas(Advance + 10, 60);
  Font.TextOut("\xE4\xB8\x80", 5, 5, Canvas.Rows());
  EXPECT_GT(Canvas.Sum(), 0);
}

TEST(PlatformFont, StylesAndSyntheticBold) {
  const auto Ink = [](const TPlatformFont& Font) {
    TCanvas8 Canvas(400, 80);
    Font.TextOut("Hello", 10, 10, Canvas.Rows());
    return Canvas;
  };
  const auto RegularOwner = Description("Lucida Console", -40, {}, fqAntialiased);
  const TFont& Regular = *RegularOwner;
  const TCanvas8 Plain = Ink(TPlatformFont(Regular));

  // The regular face emboldened: more ink and wider advances.
  auto Synthetic = TPlatformFont::FromFile(Regular, CMonoFile, true, false);
  ASSERT_TRUE(Synthetic->HasFace());
  EXPECT_GT(Ink(*Synthetic).Sum(), Plain.Sum() * 11 / 10);
  EXPECT_GT(Synthetic->TextExtent("Hello").cx, TPlatformFont(Regular).TextExtent("Hello").cx);
  // Slanted: the same advances, the ink leaning right.
  auto Oblique = TPlatformFont::FromFile(Regular, CMonoFile, false, true);
  EXPECT_EQ(Oblique->TextExtent("Hello").cx, TPlatformFont(Regular).TextExtent("Hello").cx);
  EXPECT_GT(Ink(*Oblique).Ink().Right, Plain.Ink().Right);

  // Underline and strike-out: full rows below the baseline and across the middle.
  for (TFontStyle Style : {fsUnderline, fsStrikeOut}) {
    TPlatformFont Font(*Description("Lucida Console", -40, {Style}, fqAntialiased));
    const TCanvas8 Lined = Ink(Font);
    const int32_t Width = Font.TextExtent("Hello").cx;
    int FullRows = 0;
    for (int32_t Y = 0; Y < 80; ++Y) {
      bool Full = true;
      for (int32_t X = 10; X < 10 + Width; ++X) Full &= Lined.At(X, Y) == 255;
      if (Full) {
        ++FullRows;
        if (Style == fsUnderline) {
          EXPECT_GE(Y, 10 + Font.Ascent());
        } else {
          EXPECT_LT(Y, 10 + Font.Ascent());
        }
      }
    }
    EXPECT_GE(FullRows, 1) << int(Style);
  }
}

TEST(PlatformFont, OrientationTurnsTheBaseline) {
  // A quarter turn counter-clockwise: the text runs upwards from its reference point, so the
  // ink is tall and narrow and lies above and right of it.
  auto Font = Description("Lucida Console", -40, {}, fqAntialiased);
  Font->SetOrientation(900);
  TPlatformFont Turned(*Font);
  const int32_t Advance = Turned.TextExtent("HHHH").cx;
  TCanvas8 Canvas(100, 260);
  Turned.TextOut("HHHH", 10, 250, Canvas.Rows());
  const TRect Ink = Canvas.Ink();
  EXPECT_GT(Ink.Height(), 2 * Ink.Width());
  EXPECT_NEAR(Ink.Height(), Advance, 12);
  EXPECT_LE(Ink.Bottom, 251);
  EXPECT_GE(Ink.Left, 10);
}

TEST(PlatformFont, NoFaceMeasuresNothingAndDrawsNothing) {
  auto Font = TPlatformFont::FromFile(*Description("x", -20), "/nonexistent/face.ttf", false, false);
  EXPECT_FALSE(Font->HasFace());
  EXPECT_EQ(Font->TextExtent("abc"), (TTextExtent{0, 0}));
  TCanvas8 Canvas(50, 50);
  Font->TextOut("abc", 0, 0, Canvas.Rows());
  EXPECT_EQ(Canvas.Sum(), 0);
}

// ---- the oversampled font ---------------------------------------------------------------------

TEST(OversampledFont, ScaledFontGoesThroughPoints) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, 14, {fsBold});
  EXPECT_EQ(Font.OSFactor(), 16);
  EXPECT_EQ(FontPointsFromHeight(Font.ScaledFont().Height()), -176);
  EXPECT_EQ(Font.ScaledFont().Height(), 235) << "not 16 x 14 = 224";
  EXPECT_TRUE(Font.ScaledFont().Style().Contains(fsBold));
  SetUp16x(Font, -9);
  EXPECT_EQ(Font.ScaledFont().Height(), -149);
  // The extent is the scaled font's, divided by 16: 990 x 173 for INPUT LEVEL.
  EXPECT_EQ(Font.TextExtent("INPUT LEVEL"), (TTextExtent{61, 10}));
  for (auto [Oversampling, Factor] : {std::pair{foNone, 1}, {fo2x, 2}, {fo3x, 3}, {fo4x, 4},
                                      {fo6x, 6}, {fo8x, 8}, {fo12x, 12}, {fo16x, 16}}) {
    Font.SetFontOversampling(Oversampling);
    EXPECT_EQ(Font.OSFactor(), Factor);
    EXPECT_EQ(FontPointsFromHeight(Font.ScaledFont().Height()), 7 * Factor);
  }
}

TEST(OversampledFont, DownsampleAveragesInBoxSteps) {
  // Each map is two N x N blocks side by side; the right one is full. The left one holds single
  // values whose first-step averages truncate so that a single N x N average would round higher
  // (given as "direct"): the steps are taken one after the other, as listed.
  struct TCase {
    TFontOversampling Oversampling;
    int32_t N;
    // (x, y, value) in the left block; every other value of it is 0.
    std::vector<std::array<int, 3>> Values;
    uint8_t Expected;
  };
  const TCase Cases[] = {
      {fo2x, 2, {{0, 0, 10}, {1, 0, 1}, {1, 1, 20}}, 7},                    // 31 / 4
      {fo3x, 3, {{2, 2, 255}, {0, 0, 8}}, 29},                             // 263 / 9
      {fo4x, 4, {{3, 0, 255}}, 15},                                        // 255 / 16
      // 3 x 3 sums 17, 17, 17, 26 -> 1, 1, 1, 2 -> 5 / 4 = 1 (direct 77 / 36 = 2)
      {fo6x, 6, {{0, 0, 17}, {3, 0, 17}, {0, 3, 17}, {5, 5, 26}}, 1},
      // 4 x 4 sums 31, 31, 31, 47 -> 1, 1, 1, 2 -> 5 / 4 = 1 (direct 140 / 64 = 2)
      {fo8x, 8, {{0, 0, 31}, {4, 0, 31}, {0, 4, 31}, {7, 7, 47}}, 1},
      // nine 4 x 4 blocks: eight of 31 and one of 47 -> 10 / 9 = 1 (direct 295 / 144 = 2)
      {fo12x, 12, {{0, 0, 31}, {4, 0, 31}, {8, 0, 31}, {0, 4, 31}, {4, 4, 31}, {8, 4, 31},
                   {0, 8, 31}, {4, 8, 31}, {11, 11, 47}}, 1},
      // sixteen 4 x 4 blocks: fifteen of 31 and one of 47 -> 17 / 16 = 1 (direct 512 / 256 = 2)
      {fo16x, 16, {}, 1},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.N);
    auto Values = Case.Values;
    if (Case.Oversampling == fo16x) {
      for (int By = 0; By < 4; ++By)
        for (int Bx = 0; Bx < 4; ++Bx) Values.push_back({4 * Bx, 4 * By, Bx + By == 6 ? 47 : 31});
    }
    TGuiByteMapMemory Map;
    Map.SetSize(2 * Case.N, Case.N);
    for (int32_t Y = 0; Y < Case.N; ++Y)
      for (int32_t X = Case.N; X < 2 * Case.N; ++X) Map.SetValue(X, Y, 255);
    for (auto [X, Y, V] : Values) Map.SetValue(X, Y, static_cast<uint8_t>(V));
    TGuiOversampledGDIFont Font;
    Font.SetFontOversampling(Case.Oversampling);
    Font.Downsample(Map);
    EXPECT_EQ(Map.Width(), 2 * Case.N) << "the map keeps its size";
    EXPECT_EQ(Map.Value(0, 0), Case.Expected);
    EXPECT_EQ(Map.Value(1, 0), 255);
  }
  // No oversampling leaves the map alone.
  TGuiByteMapMemory Map;
  Map.SetSize(2, 1);
  Map.SetValue(0, 0, 9);
  TGuiOversampledGDIFont Font;
  Font.Downsample(Map);
  EXPECT_EQ(Map.Value(0, 0), 9);
}

TEST(OversampledFont, EditorCaptionsRenderInsideTheirExtent) {
  const struct {
    int32_t Height;
    TFontStyles Style;
    const char* Text;
    int32_t BufferWidth, BufferHeight;
    uint8_t Brightest;  // the 9 pixel font's stems are narrower than a pixel
  } Cases[] = {
      {14, {fsBold}, "by KVX", 736, 236, 253},  // 6 x 122 = 732 -> 736; 235 -> 236
      {-9, {}, "INPUT LEVEL", 992, 176, 200},   // 990 -> 992; 173 -> 176
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    TGuiOversampledGDIFont Font;
    SetUp16x(Font, Case.Height, Case.Style);
    const TTextExtent Extent = Font.TextExtent(Case.Text);
    TBlackMap Map(Extent.cx + 20, Extent.cy + 20);
    Font.TextOut(Case.Text, &Map, 10, 10);
    EXPECT_EQ(Font.Buffer().Width(), Case.BufferWidth);
    EXPECT_EQ(Font.Buffer().Height(), Case.BufferHeight);
    int Lit = 0, Full = 0, Grey = 0;
    for (int32_t Y = 0; Y < Map.Height(); ++Y)
      for (int32_t X = 0; X < Map.Width(); ++X) {
        const TPixel32 P = Map.Pixel(X, Y);
        if (P.R == 0) continue;
        ++Lit;
        EXPECT_TRUE(X >= 10 && Y >= 10 && X < 10 + Extent.cx + 1 && Y < 10 + Extent.cy)
            << X << ", " << Y;
        EXPECT_TRUE(P.R == P.G && P.G == P.B) << "white text on black stays grey";
        Full += P.R >= Case.Brightest;
        Grey += P.R < 200;
      }
    // Averaged down: solid stems and grey edges.
    EXPECT_GT(Full, 5);
    EXPECT_GT(Grey, 10);
    EXPECT_GT(Lit, 40);
  }
}

TEST(OversampledFont, BufferIsReusedForTextOfTheSameSize) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, -9);
  TBlackMap Map(80, 12);
  Font.TextOut("INPUT LEVEL", &Map, 0, 0);
  const uint8_t* First = Font.Buffer().DataPointer();
  // A monospace text of the same length has the same extent: the same buffer, cleared.
  TBlackMap Fresh(80, 12);
  Font.TextOut("-----------", &Fresh, 0, 0);
  EXPECT_EQ(Font.Buffer().DataPointer(), First);
  for (int32_t X = 0; X < 80; ++X) EXPECT_EQ(Fresh.Pixel(X, 1).R, 0) << "no ink left from before";
  Font.TextOut("INPUT LEVEL 0dB", &Map, 0, 0);
  EXPECT_GT(Font.Buffer().Width(), 992);
}

TEST(OversampledFont, AlphaScalesTheCoverage) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, -9);
  TBlackMap Opaque(70, 12), Half(70, 12);
  Font.TextOut("INPUT", &Opaque, 0, 0);
  Font.SetAlpha(128);
  Font.TextOut("INPUT", &Half, 0, 0);
  int Compared = 0;
  for (int32_t Y = 0; Y < 12; ++Y)
    for (int32_t X = 0; X < 70; ++X)
      if (Opaque.Pixel(X, Y).R >= 100) {
        EXPECT_NEAR(Half.Pixel(X, Y).R, Opaque.Pixel(X, Y).R / 2, 2);
        ++Compared;
      }
  EXPECT_GT(Compared, 10);
}

TEST(OversampledFont, UnblurredShadowIsTheTextOnePixelDownRight) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, 14, {fsBold});
  TBlackMap Plain(60, 20);
  Font.TextOut("by KVX", &Plain, 2, 2);

  Font.Font().SetColor(0x0000FF);
  TGuiShadow Shadow;
  Shadow.SetVisible(true);
  Shadow.SetColor(0x00FF00);  // green
  Font.SetShadow(Shadow);
  TBlackMap Shadowed(60, 20);
  Font.TextOut("by KVX", &Shadowed, 2, 2);

  int ShadowOnly = 0;
  for (int32_t Y = 1; Y < 20; ++Y)
    for (int32_t X = 1; X < 60; ++X) {
      const TPixel32 P = Shadowed.Pixel(X, Y);
      const uint8_t Text = Plain.Pixel(X, Y).R, Below = Plain.Pixel(X - 1, Y - 1).R;
      if (Text == 0) {
        // Only the shadow: the text's coverage from one pixel up-left, in green.
        EXPECT_EQ(P.G, Below) << X << ", " << Y;
        EXPECT_EQ(P.R, 0);
        ShadowOnly += Below > 0;
      } else if (Text >= 253) {
        EXPECT_GE(P.R, 253) << "the text covers the shadow";
      }
    }
  EXPECT_GT(ShadowOnly, 20);
}

TEST(OversampledFont, ShadowMarginIsCapped) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, -9);
  TGuiShadow Shadow;
  Shadow.SetVisible(true);
  Shadow.SetOffset(TPoint{0, 0});
  const float Blurs[] = {1000.0f, 3.0e38f};
  for (float Blur : Blurs) {
    Shadow.SetBlur(Blur);
    Font.SetShadow(Shadow);
    TBlackMap Map(70, 12);
    Font.TextOut("INPUT", &Map, 0, 0);
    // A margin of at most 1024 buffer pixels on each side of 5 x 90 by 173.
    EXPECT_LE(Font.Buffer().Width(), 450 + 2 * 1024 + 4);
    EXPECT_LE(Font.Buffer().Height(), 173 + 2 * 1024 + 4);
  }
  // A text whose buffer would pass the byte limit draws nothing.
  TGuiOversampledGDIFont Huge;
  SetUp16x(Huge, -1000);
  TBlackMap Map(50, 50);
  Huge.TextOut("INPUT LEVEL", &Map, 0, 0);
  for (int32_t Y = 0; Y < 50; ++Y)
    for (int32_t X = 0; X < 50; ++X) ASSERT_EQ(Map.Pixel(X, Y), (TPixel32{0, 0, 0, 255}));
}

TEST(OversampledFont, TurnedTextStaysWhereItIsDrawn) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, -9);
  TBlackMap Flat(80, 80);
  Font.TextOut("INPUT", &Flat, 5, 5);
  // The drawn part: the buffer's size divided by 16.
  const int32_t W = Font.Buffer().Width() / 16, H = Font.Buffer().Height() / 16;
  for (TFontTurn Turn : {ftClockwise, ftCounterClockwise}) {
    SCOPED_TRACE(int(Turn));
    Font.SetFontTurn(Turn);
    TBlackMap Turned(80, 80);
    Font.TextOut("INPUT", &Turned, 5, 5);
    long Ink = 0;
    for (int32_t Y = 0; Y < H; ++Y)
      for (int32_t X = 0; X < W; ++X) {
        const int32_t TX = Turn == ftClockwise ? H - 1 - Y : Y;
        const int32_t TY = Turn == ftClockwise ? X : W - 1 - X;
        ASSERT_EQ(Turned.Pixel(5 + TX, 5 + TY), Flat.Pixel(5 + X, 5 + Y)) << X << ", " << Y;
        Ink += Flat.Pixel(5 + X, 5 + Y).R;
      }
    EXPECT_GT(Ink, 1000);
  }
}

TEST(OversampledFont, ChangesNotifyAndShadowSetsColourAndSaturation) {
  TGuiOversampledGDIFont Font;
  int Changes = 0;
  Font.SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, &Font);
    ++Changes;
  });
  Font.SetFont(*Description("Lucida Console", 14));
  Font.SetFontOversampling(fo4x);
  Font.SetFontTurn(ftClockwise);
  Font.SetAntialiasing(true);
  Font.Shadow().SetColor(0x0000FF);
  Font.Shadow().SetOpacity(128);
  EXPECT_EQ(Changes, 6);
  EXPECT_EQ(Font.ShadowColor(), (TPixel32{0, 0, 255, 128}));
  EXPECT_EQ(Font.FontHandle().Antialiased(), true);
  Font.SetAntialiasing(false);
  EXPECT_EQ(Font.FontHandle().Antialiased(), false);

  // 2 to the rounded exponent, kept within the range where the table is defined.
  const float NaN = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float Saturation, Value;
  } Cases[] = {{1.0f, 2.0f}, {2.5f, 4.0f}, {-1.0f, 0.5f}, {53.0f, std::ldexp(1.0f, 52)},
               {128.0f, std::ldexp(1.0f, 52)}, {-128.0f, std::ldexp(1.0f, -126)},
               {NaN, 1.0f}, {std::numeric_limits<float>::infinity(), 1.0f}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Saturation);
    Font.Shadow().SetSaturation(Case.Saturation);
    EXPECT_EQ(Font.SaturationFilter().Value(), Case.Value);
    EXPECT_EQ(Font.SaturationFilter().LookUpTable()[0], 0);
    EXPECT_EQ(Font.SaturationFilter().LookUpTable()[255], 255);
  }
}

TEST(OversampledFont, EmptyOrFarAwayTextDrawsNothing) {
  TGuiOversampledGDIFont Font;
  SetUp16x(Font, -9);
  EXPECT_EQ(Font.TextExtent("").cx, 0);
  TBlackMap Map(10, 10);
  Font.TextOut("", &Map, 0, 0);
  Font.TextOut("x", nullptr, 0, 0);
  // Positions and offsets at the ends of the integers: off the map, and no overflowing sums.
  Font.Shadow().SetVisible(true);
  Font.Shadow().SetOffset(TPoint{INT32_MAX, INT32_MIN});
  Font.TextOut("x", &Map, INT32_MAX, INT32_MAX);
  Font.TextOut("x", &Map, INT32_MIN, 0);
  for (int32_t Y = 0; Y < 10; ++Y)
    for (int32_t X = 0; X < 10; ++X) ASSERT_EQ(Map.Pixel(X, Y), (TPixel32{0, 0, 0, 255}));
}
