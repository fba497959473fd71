// The canvas and platform bitmaps, and the maps' paint routes onto them: PaintTo, Draw(Bitmap)
// and the byte map kept in a platform bitmap.
#include <gtest/gtest.h>

#include <cstring>

#include "gui/KVX_GuiBlend.h"
#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Canvas.h"

using namespace kvx;

namespace {

// Every pixel distinct and opaque: (X, Y) holds 0xFF00YYXX.
void FillNumbered(TGuiCustomPixelMap& Map) {
  for (int32_t Y = 0; Y < Map.Height(); ++Y)
    for (int32_t X = 0; X < Map.Width(); ++X)
      *Map.PixelPointer(X, Y) = TPixel32::FromARGB(0xFF000000u | static_cast<uint32_t>((Y << 8) | X));
}

constexpr uint32_t Numbered(int32_t X, int32_t Y) { return 0xFF000000u | static_cast<uint32_t>((Y << 8) | X); }

// The positions of the target's pixels that are not zero.
std::vector<std::pair<int, int>> Written(const TBitmap& B) {
  std::vector<std::pair<int, int>> Result;
  for (int32_t Y = 0; Y < B.Height(); ++Y)
    for (int32_t X = 0; X < B.Width(); ++X)
      if (B.Canvas().Pixel(X, Y) != 0) Result.emplace_back(X, Y);
  return Result;
}

TEST(Canvas, SavedStatesOriginAndClipNest) {
  TBitmap B(10, 10, pf32bit);
  TCanvas& C = B.Canvas();
  EXPECT_EQ(C.ClipRect(), Rect(0, 0, 10, 10));
  const int32_t Outer = C.SaveDC();
  C.SetViewportOrg(2, 3);
  C.IntersectClipRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(C.DeviceClipRect(), Rect(2, 3, 6, 7));
  C.SaveDC();
  C.SetViewportOrg(5, 5);
  C.IntersectClipRect(Rect(-10, -10, 10, 10));  // cannot widen the clip
  EXPECT_EQ(C.DeviceClipRect(), Rect(2, 3, 6, 7));
  C.FillRectARGB(Rect(-5, -5, 0, 0), 0xFF112233);  // device 0..5 x 0..5, clipped to 2..5 x 3..5
  C.RestoreDC(Outer);
  EXPECT_EQ(C.ViewportOrg(), (TPoint{0, 0}));
  EXPECT_EQ(C.ClipRect(), Rect(0, 0, 10, 10));
  std::vector<std::pair<int, int>> Expected;
  for (int Y = 3; Y < 5; ++Y)
    for (int X = 2; X < 5; ++X) Expected.emplace_back(X, Y);
  EXPECT_EQ(Written(B), Expected);
  C.RestoreDC();  // nothing saved any more: no effect
  EXPECT_EQ(C.ClipRect(), Rect(0, 0, 10, 10));
}

TEST(Canvas, BlendingMatchesTheMapsOpaqueBlendAndFormatsConvert) {
  // Straight alpha over an opaque destination gives what the maps' blend routine gives.
  const uint32_t Source[] = {0x80FF0000, 0x00FFFFFF, 0xFF00FF00, 0x40123456};
  TSurface S{reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(Source)), 4, 1, 16, pf32bit};
  TBitmap B(4, 1, pf32bit);
  B.Canvas().FillRectARGB(Rect(0, 0, 4, 1), 0xFF0000FF);
  B.Canvas().BlendRect(0, 0, S, Rect(0, 0, 4, 1));
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(B.Canvas().Pixel(i, 0), OpaqueBlend(TPixel32::FromARGB(Source[i]), TPixel32::FromARGB(0xFF0000FF)).ARGB())
        << i;
  // 32 -> 24 -> 32 keeps the colour and makes it opaque; 32 -> 8 is the grey level.
  TBitmap Rgb(4, 1, pf24bit), Grey(4, 1, pf8bit);
  Rgb.Canvas().CopyRect(0, 0, S, Rect(0, 0, 4, 1));
  Grey.Canvas().CopyRect(0, 0, S, Rect(0, 0, 4, 1));
  EXPECT_EQ(Rgb.Canvas().Pixel(3, 0), 0xFF123456u);
  EXPECT_EQ(Grey.Canvas().Pixel(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Grey.Canvas().Pixel(2, 0), 0xFF959595u);  // green weighs 150/256
  Grey.Canvas().FillRect(Rect(0, 0, 1, 1), clNone);
  EXPECT_EQ(Grey.Canvas().Pixel(0, 0), 0xFF4D4D4Du);  // red 255 * 77/256, untouched by clNone
}

TEST(Bitmap, RowsAreWholeFourByteUnitsAndStartZeroed) {
  struct {
    int32_t Width;
    TPixelFormat Format;
    int32_t Stride;
  } const Cases[] = {{5, pf8bit, 8}, {8, pf8bit, 8}, {3, pf24bit, 12}, {5, pf24bit, 16}, {3, pf32bit, 12}};
  for (const auto& C : Cases) {
    TBitmap B(C.Width, 2, C.Format);
    EXPECT_EQ(B.Stride(), C.Stride) << C.Width;
    EXPECT_EQ(B.ScanLine(1) - B.ScanLine(0), C.Stride);
    EXPECT_EQ(B.ScanLine(1)[0], 0);
  }
  TBitmap B(2, 2, pf32bit);
  EXPECT_THROW(B.SetSize(-1, 2), EArgumentError);
  EXPECT_THROW(B.ScanLine(2), EAssertionFailed);
}

// ---- pixel maps ------------------------------------------------------------------------------

TEST(PixelMapPaint, PaintToCopiesAtAPositionClippedToTheCanvas) {
  TGuiPixelMapMemory Map;
  Map.SetSize(4, 3);
  FillNumbered(Map);
  struct {
    const char* Name;
    TPoint Origin;
    TPoint At;
    TRect Part;  // empty: the whole map
    TPoint Probe;
    uint32_t Expected;
    size_t Count;
  } const Cases[] = {
      {"whole map at 1, 2", {0, 0}, {1, 2}, {}, {1, 2}, Numbered(0, 0), 12},
      {"at the right edge", {0, 0}, {7, 8}, {}, {9, 9}, Numbered(2, 1), 6},
      {"above and left of the canvas", {0, 0}, {-1, -1}, {}, {0, 0}, Numbered(1, 1), 6},
      {"through the viewport origin", {3, 3}, {0, 0}, {}, {3, 3}, Numbered(0, 0), 12},
      {"a part", {0, 0}, {0, 0}, Rect(1, 1, 3, 3), {0, 0}, Numbered(1, 1), 4},
      {"a part larger than the map", {0, 0}, {0, 0}, Rect(2, 1, 10, 10), {1, 1}, Numbered(3, 2), 4},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TBitmap Target(10, 10, pf32bit);
    Target.Canvas().SetViewportOrg(C.Origin);
    if (C.Part.IsEmpty())
      Map.PaintTo(Target.Canvas(), C.At.X, C.At.Y);
    else
      Map.PaintTo(Target.Canvas(), C.Part, C.At.X, C.At.Y);
    Target.Canvas().SetViewportOrg(0, 0);
    EXPECT_EQ(Target.Canvas().Pixel(C.Probe.X, C.Probe.Y), C.Expected);
    EXPECT_EQ(Written(Target).size(), C.Count);
  }
  // The copy is SRCCOPY: a transparent pixel replaces what the canvas held.
  Map.Clear();
  TBitmap Target(4, 3, pf32bit);
  Target.Canvas().FillRectARGB(Rect(0, 0, 4, 3), 0xFFFFFFFF);
  Map.PaintTo(Target.Canvas());
  EXPECT_TRUE(Written(Target).empty());
}

TEST(PixelMapPaint, DrawBitmapConvertsEachFormatAndClipsWhatDoesNotFit) {
  TGuiPixelMapMemory Map;
  Map.SetSize(3, 2);
  TBitmap Rgb(2, 1, pf24bit), Grey(2, 1, pf8bit), Argb32(4, 4, pf32bit);
  Rgb.ScanLine(0)[0] = 0x11;  // B
  Rgb.ScanLine(0)[1] = 0x22;  // G
  Rgb.ScanLine(0)[2] = 0x33;  // R
  Grey.ScanLine(0)[1] = 0x7F;
  Argb32.Canvas().FillRectARGB(Rect(0, 0, 4, 4), 0x40ABCDEF);
  Map.Draw(Rgb, 1, 0);
  EXPECT_EQ(Map.Pixel(1, 0).ARGB(), 0xFF332211u);
  Map.Draw(Grey, 0, 1);
  EXPECT_EQ(Map.Pixel(1, 1).ARGB(), 0xFF7F7F7Fu);
  Map.Draw(Argb32, 2, 1);  // copied unchanged, alpha included; only one pixel fits
  EXPECT_EQ(Map.Pixel(2, 1).ARGB(), 0x40ABCDEFu);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0u);
  TBitmap Empty;
  Map.Draw(Empty);
  TGuiPixelMapMemory None;
  None.Draw(Argb32);  // no buffer: nothing happens
  EXPECT_TRUE(None.IsEmpty());
}

// ---- byte maps -------------------------------------------------------------------------------

TEST(ByteMapPaint, MemoryMapsPaintGreyAndTakeBitmapsFromTheirFirstByte) {
  TGuiByteMapMemory Map;
  Map.SetSize(3, 2);
  Map.SetValue(2, 1, 200);
  TBitmap Target(4, 4, pf32bit);
  Map.PaintTo(Target.Canvas(), 1, 1);
  EXPECT_EQ(Target.Canvas().Pixel(3, 2), 0xFFC8C8C8u);
  EXPECT_EQ(Target.Canvas().Pixel(1, 1), 0xFF000000u);
  Map.PaintTo(Target.Canvas(), Rect(2, 1, 3, 2), 0, 0);
  EXPECT_EQ(Target.Canvas().Pixel(0, 0), 0xFFC8C8C8u);
  // A 32-bit bitmap converted to grey levels, X and Y not used, cut to the map.
  TBitmap Source(5, 1, pf32bit);
  Source.Canvas().FillRectARGB(Rect(0, 0, 5, 1), 0xFFFFFFFF);
  Map.Draw(Source, 2, 1);
  EXPECT_EQ(Map.Value(0, 0), 255);
  EXPECT_EQ(Map.Value(2, 0), 255);
  EXPECT_EQ(Map.Value(0, 1), 0);
}

TEST(ByteMapDIB, ItsBytesAreTheRowsOfAPlatformBitmap) {
  TGuiByteMapDIB Map;
  EXPECT_EQ(Map.Handle(), nullptr);
  Map.SetSize(8, 8);
  TCanvas* First = Map.Handle();
  ASSERT_NE(First, nullptr);
  // Drawing through the handle is drawing into the map.
  First->FillRectARGB(Rect(2, 3, 4, 4), 0xFFFFFFFF);
  EXPECT_EQ(Map.Value(2, 3), 255);
  EXPECT_EQ(Map.Value(4, 3), 0);
  EXPECT_EQ(Map.DataPointer(), Map.Bitmap()->ScanLine(0));
  Map.Multiply(128);
  EXPECT_EQ(First->Pixel(3, 3), 0xFF808080u);
  // Same byte count, new geometry: a new zero-filled bitmap.
  Map.SetSize(16, 4);
  ASSERT_NE(Map.Handle(), nullptr);
  EXPECT_EQ(Map.Bitmap()->Width(), 16);
  EXPECT_EQ(Map.Value(2, 3), 0);
  EXPECT_EQ(Map.DataSize(), 64);
  Map.SetSize(0, 0);
  EXPECT_EQ(Map.Handle(), nullptr);
  EXPECT_EQ(Map.DataPointer(), nullptr);
}

TEST(ByteMapDIB, PaintsItsBitmapAndCopiesIntoMemoryMaps) {
  TGuiByteMapDIB Map;
  Map.SetSize(4, 2);
  Map.Handle()->FillRectARGB(Rect(1, 0, 2, 1), 0xFF404040);
  TBitmap Target(6, 3, pf32bit);
  Map.PaintTo(Target.Canvas(), 2, 1);
  EXPECT_EQ(Target.Canvas().Pixel(3, 1), 0xFF404040u);
  EXPECT_EQ(Target.Canvas().Pixel(2, 1), 0xFF000000u);
  Map.PaintTo(Target.Canvas(), Rect(1, 0, 9, 9), 0, 0);
  EXPECT_EQ(Target.Canvas().Pixel(0, 0), 0xFF404040u);
  TGuiByteMapMemory Copy;
  Copy.Assign(Map);
  EXPECT_EQ(Copy.Value(1, 0), 0x40);
  EXPECT_TRUE(Copy.Equals(Map));
  // Turning keeps the bitmap; Resize keeps the top-left content in a new one.
  TCanvas* Before = Map.Handle();
  Map.Turn(false);
  EXPECT_EQ(Map.Handle(), Before);
  EXPECT_EQ(Map.Width(), 2);
  EXPECT_EQ(Map.Value(1, 1), 0x40);
  Map.Resize(4, 4);
  EXPECT_EQ(Map.Value(1, 1), 0x40);
  EXPECT_EQ(Map.Bitmap()->Width(), 4);
}

}  // namespace
