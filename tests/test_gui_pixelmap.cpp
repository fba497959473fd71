// Pixel maps: the size protocol and its events, pixel access, shapes, map-on-map drawing with
// clipping, byte-map coverage, Resize, Turn, copying and comparing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiPixelMap.h"

using namespace kvx;

namespace {

constexpr TPixel32 Opaque(uint32_t RGB) { return TPixel32::FromARGB(0xFF000000 | RGB); }

// A map whose every pixel is distinct and opaque: (X, Y) holds 0xFF00YYXX.
void FillNumbered(TGuiCustomPixelMap& Map) {
  for (int32_t Y = 0; Y < Map.Height(); ++Y)
    for (int32_t X = 0; X < Map.Width(); ++X)
      *Map.PixelPointer(X, Y) = Opaque(static_cast<uint32_t>((Y << 8) | X));
}

// The coordinates of every pixel that is not transparent black.
std::vector<std::pair<int, int>> Touched(const TGuiCustomPixelMap& Map) {
  std::vector<std::pair<int, int>> Result;
  for (int32_t Y = 0; Y < Map.Height(); ++Y)
    for (int32_t X = 0; X < Map.Width(); ++X)
      if (Map.Pixel(X, Y).ARGB() != 0) Result.emplace_back(X, Y);
  return Result;
}

// Records the events a map fires, in order.
struct TEventLog {
  std::string Events;
  void Attach(TGuiCustomMap& Map) {
    Map.SetOnResize([this](TGuiCustomMap*) { Events += "R"; });
    Map.SetOnChange([this](TGuiCustomMap*) { Events += "C"; });
  }
};

}  // namespace

TEST(GuiPixelMap, NewMapIsEmpty) {
  TGuiPixelMapMemory Map;
  EXPECT_EQ(Map.Width(), 0);
  EXPECT_EQ(Map.Height(), 0);
  EXPECT_TRUE(Map.IsEmpty());
  EXPECT_EQ(Map.DataPointer(), nullptr);
  const TBitmapInfoHeader& Info = Map.BitmapInfo().bmiHeader;
  EXPECT_EQ(Info.biSize, 40u);
  EXPECT_EQ(Info.biPlanes, 1);
  EXPECT_EQ(Info.biBitCount, 32);
  EXPECT_EQ(Info.biCompression, BI_RGB);
  EXPECT_EQ(Info.biWidth, 0);
  EXPECT_EQ(Info.biHeight, 0);
}

TEST(GuiPixelMap, SizeProtocolFiresResizeThenChangeOnlyOnChanges) {
  TGuiPixelMapMemory Map;
  TEventLog Log;
  Log.Attach(Map);
  Map.SetSize(3, 2);
  EXPECT_EQ(Log.Events, "RC");
  EXPECT_EQ(Map.DataSize(), 3 * 2 * 4);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biWidth, 3);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biHeight, -2);  // rows top-down
  EXPECT_EQ(Map.ClientRect(), Rect(0, 0, 3, 2));

  Map.SetSize(3, 2);
  Map.SetWidth(3);
  Map.SetHeight(2);
  EXPECT_EQ(Log.Events, "RC") << "unchanged sizes fire nothing";

  Map.SetWidth(5);
  EXPECT_EQ(Log.Events, "RCRC");
  Map.SetHeight(1);
  EXPECT_EQ(Log.Events, "RCRCRC");
  EXPECT_EQ(Map.DataSize(), 5 * 1 * 4);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biHeight, -1);

  Map.SetSize(0, 0);
  EXPECT_EQ(Map.DataPointer(), nullptr);
  EXPECT_EQ(Map.DataSize(), 0);
  EXPECT_TRUE(Map.IsEmpty());
}

TEST(GuiPixelMap, NewBufferIsClearedAndHandlersSeeAMatchingBuffer) {
  TGuiPixelMapMemory Map;
  Map.SetSize(2, 2);
  Map.Clear(Opaque(0x123456));
  // While OnResize runs the buffer already has the new size, so a handler may read it.
  int Checked = 0;
  Map.SetOnResize([&](TGuiCustomMap* Sender) {
    auto& M = *static_cast<TGuiPixelMapMemory*>(Sender);
    EXPECT_EQ(M.DataSize(), M.Width() * M.Height() * 4);
    EXPECT_EQ(M.Pixel(M.Width() - 1, M.Height() - 1).ARGB(), 0u);
    ++Checked;
  });
  Map.SetSize(40, 30);
  Map.SetWidth(64);
  Map.SetHeight(50);
  EXPECT_EQ(Checked, 3);
  for (int32_t i = 0; i < Map.Width() * Map.Height(); ++i)
    ASSERT_EQ(Map.DataPointer()[i].ARGB(), 0u);
}

TEST(GuiPixelMap, NegativeOrHugeSizesAreRefusedAndKeepTheSize) {
  TGuiPixelMapMemory Map;
  Map.SetSize(4, 3);
  TEventLog Log;
  Log.Attach(Map);
  struct TCase {
    int32_t Width, Height;
    const char* Message;
  };
  const TCase Cases[] = {{-1, 3, "Width may not be negative!"},
                         {4, -1, "Height may not be negative!"},
                         {-1, -1, "Width may not be negative!"},
                         {65536, 65536, "Map size too large!"},
                         {INT32_MAX, 2, "Map size too large!"}};
  for (const TCase& Case : Cases) {
    try {
      Map.SetSize(Case.Width, Case.Height);
      ADD_FAILURE() << "no error for " << Case.Width << " x " << Case.Height;
    } catch (const EArgumentError& E) {
      EXPECT_STREQ(E.what(), Case.Message);
    }
  }
  EXPECT_THROW(Map.SetWidth(-5), EArgumentError);
  EXPECT_THROW(Map.SetHeight(-5), EArgumentError);
  EXPECT_THROW(Map.SetWidth(1 << 30), EArgumentError);
  EXPECT_THROW(Map.Resize(-1, 2), EArgumentError);
  EXPECT_EQ(Map.Width(), 4);
  EXPECT_EQ(Map.Height(), 3);
  EXPECT_EQ(Map.DataSize(), 48);
  EXPECT_EQ(Log.Events, "");
}

TEST(GuiPixelMap, PixelAccessAssertsInsideTheMap) {
  TGuiPixelMapMemory Map;
  Map.SetSize(3, 2);
  EXPECT_EQ(Map.ScanLine(1), Map.DataPointer() + 3);
  EXPECT_EQ(Map.PixelPointer(2, 1), Map.DataPointer() + 5);
  const std::pair<int, int> Outside[] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {3, 2}};
  for (auto [X, Y] : Outside) {
    EXPECT_THROW(Map.Pixel(X, Y), EAssertionFailed) << X << ", " << Y;
    EXPECT_THROW(Map.SetPixel(X, Y, Opaque(0)), EAssertionFailed);
    EXPECT_THROW(Map.PixelPointer(X, Y), EAssertionFailed);
  }
  EXPECT_THROW(Map.ScanLine(-1), EAssertionFailed);
  EXPECT_THROW(Map.ScanLine(2), EAssertionFailed);
  try {
    Map.ScanLine(2);
  } catch (const EAssertionFailed& E) {
    EXPECT_EQ(std::string(E.what()).rfind("Assertion failure (KVX_GuiPixelMap, line ", 0), 0u) << E.what();
  }
  TGuiPixelMapMemory Empty;
  EXPECT_THROW(Empty.Pixel(0, 0), EAssertionFailed);
}

TEST(GuiPixelMap, SetPixelBlendsAndClearsFillAndResetAlpha) {
  TGuiPixelMapMemory Map;
  Map.SetSize(2, 1);
  Map.Clear(Opaque(0x000000));
  Map.SetPixel(0, 0, TPixel32::FromARGB(0x80FFFFFF));
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0xFF808080u) << "setting a pixel blends";
  Map.SetPixel(1, 0, TPixel32::FromARGB(0x00FFFFFF));
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0xFF000000u);

  Map.Clear(TPixel32::FromARGB(0x10203040));
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0x10203040u) << "Clear(pixel) does not blend";
  Map.ResetAlpha(0x77);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0x77203040u);
  Map.MakeOpaque();
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0xFF203040u);
  Map.Clear(TColor{0x00112233});
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0xFF332211u);
  Map.Clear();
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0u);
}

TEST(GuiPixelMap, FillRectOverwritesOpaqueAndBlendsTranslucent) {
  TGuiPixelMapMemory Map;
  Map.SetSize(4, 4);
  Map.Clear(TPixel32::FromARGB(0x40000000));
  Map.FillRect(1, 1, 3, 3, Opaque(0x00FF00));
  EXPECT_EQ(Map.Pixel(1, 1).ARGB(), 0xFF00FF00u);
  EXPECT_EQ(Map.Pixel(2, 2).ARGB(), 0xFF00FF00u);
  EXPECT_EQ(Map.Pixel(3, 3).ARGB(), 0x40000000u) << "Right and Bottom are exclusive";
  EXPECT_EQ(Map.Pixel(0, 1).ARGB(), 0x40000000u);

  Map.FillRect(Rect(0, 0, 4, 1), TPixel32::FromARGB(0x80FFFFFF));
  // Blended over a background taken as opaque: alpha ends at 255.
  EXPECT_EQ(Map.Pixel(0, 0), OpaqueBlend(TPixel32::FromARGB(0x80FFFFFF), TPixel32::FromARGB(0x40000000)));
  EXPECT_EQ(Map.Pixel(0, 0).A, 255);

  // Rectangles reaching outside the map fill only their inside part.
  Map.Clear();
  Map.FillRect(-5, -5, 2, 1, Opaque(0x0000FF));
  Map.FillRect(3, 3, 100, 100, Opaque(0x0000FF));
  Map.FillRect(10, 10, 20, 20, Opaque(0x0000FF));
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {3, 3}}));
}

TEST(GuiPixelMap, StraightLinesAndFrames) {
  TGuiPixelMapMemory Map;
  Map.SetSize(12, 6);
  Map.HorizontalLine(5, 5, 0, Opaque(1));
  EXPECT_TRUE(Touched(Map).empty()) << "an empty run draws nothing";
  Map.HorizontalLine(9, 5, 0, Opaque(1));
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{5, 0}, {6, 0}, {7, 0}, {8, 0}}));

  Map.Clear();
  Map.VerticalLine(2, 4, 1, Opaque(1));
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{2, 1}, {2, 2}, {2, 3}}));

  // A frame touches each border pixel once: a translucent colour shows no double blend.
  Map.Clear();
  const TPixel32 Half = TPixel32::FromARGB(0x80FFFFFF);
  Map.FrameRect(Rect(1, 1, 5, 4), Half);
  const TPixel32 Once = OpaqueBlend(Half, TPixel32{});
  std::vector<std::pair<int, int>> Border;
  for (int32_t Y = 0; Y < 6; ++Y)
    for (int32_t X = 0; X < 12; ++X) {
      const bool OnBorder = X >= 1 && X <= 4 && Y >= 1 && Y <= 3 && (X == 1 || X == 4 || Y == 1 || Y == 3);
      EXPECT_EQ(Map.Pixel(X, Y), OnBorder ? Once : TPixel32{}) << X << ", " << Y;
    }

  // Lines partly or wholly outside the map leave the outside out.
  Map.Clear();
  Map.HorizontalLine(-3, 2, 5, Opaque(1));
  Map.HorizontalLine(0, 5, 6, Opaque(1));
  Map.VerticalLine(11, -10, 1, Opaque(1));
  Map.VerticalLine(-1, 0, 6, Opaque(1));
  Map.FrameRect(Rect(-2, -2, 100, 100), Opaque(1));
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{11, 0}, {0, 5}, {1, 5}}));
}

TEST(GuiPixelMap, SteppedLinesLeaveOutTheEndPoint) {
  struct TCase {
    int FromX, FromY, ToX, ToY;
    std::vector<std::pair<int, int>> Pixels;  // sorted by row, then column
  };
  const TCase Cases[] = {
      {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}}},
      {3, 1, 0, 0, {{1, 0}, {2, 1}, {3, 1}}},
      {0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}}},
      {3, 3, 0, 0, {{1, 1}, {2, 2}, {3, 3}}},
      {0, 2, 2, 0, {{1, 1}, {0, 2}}},
      {1, 0, 1, 3, {{1, 0}, {1, 1}, {1, 2}}},  // vertical
      {3, 2, 0, 2, {{0, 2}, {1, 2}, {2, 2}}},  // horizontal, swapped
  };
  for (const TCase& Case : Cases) {
    TGuiPixelMapMemory Map;
    Map.SetSize(4, 4);
    Map.Line(Case.FromX, Case.FromY, Case.ToX, Case.ToY, Opaque(0xABCDEF));
    EXPECT_EQ(Touched(Map), Case.Pixels)
        << Case.FromX << "," << Case.FromY << " -> " << Case.ToX << "," << Case.ToY;
  }
  // A line leaving the map is cut at the border instead of writing past it.
  TGuiPixelMapMemory Map;
  Map.SetSize(4, 4);
  Map.Line(-2, -1, 6, 3, Opaque(1));
  for (auto [X, Y] : Touched(Map)) EXPECT_TRUE(X >= 0 && X < 4 && Y >= 0 && Y < 4);
  EXPECT_FALSE(Touched(Map).empty());
}

TEST(GuiPixelMap, GradientLineRunsFromTheLeftColour) {
  for (bool Swapped : {false, true}) {
    TGuiPixelMapMemory Map;
    Map.SetSize(6, 1);
    const TPixel32 Black = Opaque(0x000000);
    const TPixel32 White = Opaque(0xFFFFFF);
    if (Swapped)
      Map.HorizontalLine(4, 0, 0, Black, White);
    else
      Map.HorizontalLine(0, 4, 0, Black, White);
    // Weights 0, 64, 128, 191; mixed alpha 255, 254, 255, 254, blended over transparent black.
    const uint8_t Expected[] = {0, 64, 128, 189};
    for (int X = 0; X < 4; ++X) {
      EXPECT_EQ(Map.Pixel(X, 0).R, Expected[X]) << X << (Swapped ? " swapped" : "");
      EXPECT_EQ(Map.Pixel(X, 0).A, 255);
    }
    EXPECT_EQ(Map.Pixel(4, 0).ARGB(), 0u) << "ToX is not drawn";
  }
}

TEST(GuiPixelMap, DrawClipsAtEveryBorder) {
  TGuiPixelMapMemory Source;
  Source.SetSize(3, 3);
  FillNumbered(Source);

  TGuiPixelMapMemory Map;
  Map.SetSize(4, 4);
  Map.Draw(Source, -1, -2);
  EXPECT_EQ(Map.Pixel(0, 0), Source.Pixel(1, 2));
  EXPECT_EQ(Map.Pixel(1, 0), Source.Pixel(2, 2));
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}}));

  Map.Clear();
  Map.Draw(Source, 2, 3);
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{2, 3}, {3, 3}}));
  EXPECT_EQ(Map.Pixel(3, 3), Source.Pixel(1, 0));

  // Entirely outside, including offsets that would overflow a 32-bit sum: nothing, no error.
  Map.Clear();
  const std::pair<int32_t, int32_t> Outside[] = {{4, 0}, {0, 4}, {-3, 0}, {0, -3}, {INT32_MAX, 0},
                                                 {INT32_MIN, INT32_MIN}, {0, INT32_MAX}};
  for (auto [X, Y] : Outside) {
    Map.Draw(Source, X, Y);
    Map.Draw(Source, X, Y, 255);
    Map.DrawTransparent(Source, X, Y);
  }
  EXPECT_TRUE(Touched(Map).empty());

  TGuiPixelMapMemory Empty;
  Map.Draw(Empty, 0, 0);
  Empty.Draw(Source, 0, 0);
  EXPECT_TRUE(Touched(Map).empty());
}

TEST(GuiPixelMap, DrawBlendsBySourceAlphaOrByTheGivenWeight) {
  TGuiPixelMapMemory Source;
  Source.SetSize(2, 1);
  *Source.PixelPointer(0, 0) = TPixel32::FromARGB(0x80FFFFFF);
  *Source.PixelPointer(1, 0) = TPixel32::FromARGB(0x00FF0000);

  TGuiPixelMapMemory Map;
  Map.SetSize(2, 1);
  Map.Clear(Opaque(0x000000));
  Map.DrawTransparent(Source);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0xFF808080u);
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0xFF000000u);

  // With a weight the source's alpha is not used: weight 255 copies even a transparent pixel.
  Map.Clear(Opaque(0x000000));
  Map.Draw(Source, 0, 0, 255);
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0x00FF0000u);
  Map.Clear(Opaque(0x000000));
  Map.Draw(Source, 128);
  EXPECT_EQ(Map.Pixel(1, 0), WeightedMix(Source.Pixel(1, 0), Opaque(0), 128));
  Map.Clear(Opaque(0x000000));
  Map.Draw(Source, 0);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0xFF000000u);
}

TEST(GuiPixelMap, DrawByteMapMergesCoverage) {
  TGuiByteMapMemory Mask;
  Mask.SetSize(2, 2);
  Mask.SetValue(0, 0, 255);
  Mask.SetValue(1, 0, 0);
  Mask.SetValue(0, 1, 128);
  Mask.SetValue(1, 1, 255);

  TGuiPixelMapMemory Map;
  Map.SetSize(3, 3);
  const TPixel32 Red = Opaque(0xFF0000);
  Map.DrawByteMap(Mask, Red);
  // Full coverage of an opaque colour merges alpha 254, not 255.
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0xFEFF0000u);
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0u) << "coverage 0 leaves the pixel";
  EXPECT_EQ(Map.Pixel(0, 1).ARGB(), 0x7FFF0000u);  // (128 * 255) >> 8

  // Over an opaque pixel the merge is OpaqueBlend with that alpha.
  Map.Clear(Opaque(0x0000FF));
  Map.DrawByteMap(Mask, Red, 1, 1);
  EXPECT_EQ(Map.Pixel(1, 1), OpaqueBlend(TPixel32::FromARGB(0xFEFF0000), Opaque(0x0000FF)));
  EXPECT_EQ(Map.Pixel(0, 0), Opaque(0x0000FF));
  EXPECT_EQ(Map.Pixel(2, 1), Opaque(0x0000FF));

  // Negative placement and a rectangle that cuts the mask.
  Map.Clear();
  Map.DrawByteMap(Mask, Red, -1, -1);
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{0, 0}}));
  Map.Clear();
  Map.DrawByteMap(Mask, Red, Rect(1, 1, 2, 3));
  EXPECT_EQ(Touched(Map), (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}}));
  Map.Clear();
  Map.DrawByteMap(Mask, Red, Rect(5, 5, 9, 9));
  Map.DrawByteMap(Mask, Red, INT32_MIN, INT32_MAX);
  EXPECT_TRUE(Touched(Map).empty());
}

TEST(GuiPixelMap, ResizeKeepsTheTopLeftAndFiresNothing) {
  TGuiPixelMapMemory Map;
  Map.SetSize(3, 3);
  FillNumbered(Map);
  TEventLog Log;
  Log.Attach(Map);
  Map.Resize(4, 2);
  EXPECT_EQ(Map.Width(), 4);
  EXPECT_EQ(Map.Height(), 2);
  EXPECT_EQ(Map.DataSize(), 32);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biWidth, 4);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biHeight, -2);
  for (int32_t Y = 0; Y < 2; ++Y) {
    for (int32_t X = 0; X < 3; ++X) EXPECT_EQ(Map.Pixel(X, Y), Opaque((Y << 8) | X));
    EXPECT_EQ(Map.Pixel(3, Y).ARGB(), 0u);
  }
  Map.Resize(4, 2);
  Map.Resize(0, 5);
  EXPECT_TRUE(Map.IsEmpty());
  EXPECT_EQ(Log.Events, "");
}

TEST(GuiPixelMap, TurnRotatesAndTurnsBack) {
  TGuiPixelMapMemory Map;
  Map.SetSize(3, 2);
  FillNumbered(Map);
  TGuiPixelMapMemory Original;
  Original.Assign(Map);
  TEventLog Log;
  Log.Attach(Map);

  Map.Turn(true);  // counter-clockwise: (x, y) -> (y, OldWidth - 1 - x)
  ASSERT_EQ(Map.Width(), 2);
  ASSERT_EQ(Map.Height(), 3);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biHeight, -3);
  for (int32_t Y = 0; Y < 2; ++Y)
    for (int32_t X = 0; X < 3; ++X) EXPECT_EQ(Map.Pixel(Y, 2 - X), Original.Pixel(X, Y));
  Map.Turn(false);
  EXPECT_TRUE(Map.Equals(Original));

  Map.Turn(false);  // clockwise: (x, y) -> (OldHeight - 1 - y, x)
  for (int32_t Y = 0; Y < 2; ++Y)
    for (int32_t X = 0; X < 3; ++X) EXPECT_EQ(Map.Pixel(1 - Y, X), Original.Pixel(X, Y));
  Map.Turn(true);
  EXPECT_TRUE(Map.Equals(Original));
  EXPECT_EQ(Log.Events, "");
}

TEST(GuiPixelMap, AssignCopiesPixelsAndHandlersAndEqualsCompares) {
  TGuiPixelMapMemory Source;
  Source.SetSize(3, 2);
  FillNumbered(Source);
  int SourceEvents = 0;
  Source.SetOnChange([&](TGuiCustomMap*) { ++SourceEvents; });

  TGuiPixelMapMemory Copy;
  EXPECT_FALSE(Copy.Equals(Source));
  Copy.Assign(Source);
  EXPECT_TRUE(Copy.Equals(Source));
  EXPECT_TRUE(Source.Equals(Copy));
  EXPECT_NE(Copy.DataPointer(), Source.DataPointer());
  ASSERT_TRUE(static_cast<bool>(Copy.OnChange()));
  Copy.NotifyChange();
  EXPECT_EQ(SourceEvents, 1) << "the copy fires the source's handler";

  Copy.PixelPointer(2, 1)->B ^= 1;
  EXPECT_FALSE(Copy.Equals(Source));
  Copy.Assign(Copy);  // self-assignment keeps the map
  EXPECT_EQ(Copy.Width(), 3);

  // Same bytes in another shape are not equal.
  TGuiPixelMapMemory A, B;
  A.SetSize(2, 3);
  B.SetSize(3, 2);
  EXPECT_FALSE(A.Equals(B));

  TGuiPixelMapMemory Target;
  Source.AssignTo(Target);
  EXPECT_TRUE(Target.Equals(Source));
}

TEST(GuiPixelMap, AssignBetweenPixelAndByteMapsIsRefused) {
  TGuiPixelMapMemory Pixels;
  TGuiByteMapMemory Bytes;
  Pixels.SetSize(1, 1);
  try {
    Bytes.Assign(Pixels);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "Cannot assign a TGuiPixelMapMemory to a TGuiByteMapMemory");
  }
  EXPECT_THROW(Pixels.Assign(Bytes), EConvertError);
  EXPECT_FALSE(Pixels.Equals(Bytes));
  EXPECT_EQ(Bytes.Width(), 0);
}
