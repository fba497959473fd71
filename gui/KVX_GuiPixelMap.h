// 32-bit off-screen images: the pixel map base with its drawing operations and the map that
// keeps its pixels in process memory.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/KVX_GuiBlend.h"
#include "gui/KVX_GuiCustomMap.h"
#include "platform/KVX_Canvas.h"

namespace kvx {

class TGuiCustomByteMap;
class TControl;

// The header and one (unused) colour entry: 44 bytes, as written into BMP files.
struct TBitmapInfo32 {
  TBitmapInfoHeader bmiHeader;
  uint32_t bmiColors[1] = {0};
};
static_assert(sizeof(TBitmapInfo32) == 44, "the pixel map info block is 44 bytes");

// A 32-bit image: Width x Height pixels, rows top to bottom without padding; pixel (X, Y) is
// element X + Y * Width of DataPointer().
class TGuiCustomPixelMap : public TGuiCustomMap {
 public:
  TGuiCustomPixelMap();
  std::string ClassName() const override { return "TGuiCustomPixelMap"; }
  int32_t ElementSize() const override { return 4; }

  // The buffer description: 32 bits per pixel, width Width, height -Height (top-down).
  const TBitmapInfo32& BitmapInfo() const { return FBitmapInfo; }

  // Pixel access. Coordinates outside the map fail an assertion.
  TPixel32 Pixel(int32_t X, int32_t Y) const;
  TPixel32 GetPixel(int32_t X, int32_t Y) const { return Pixel(X, Y); }
  // Blends Value into the pixel (OpaqueBlendInPlace): setting a pixel does not overwrite it.
  void SetPixel(int32_t X, int32_t Y, TPixel32 Value);
  PPixel32 PixelPointer(int32_t X, int32_t Y);
  const TPixel32* PixelPointer(int32_t X, int32_t Y) const;
  PPixel32 GetPixelPointer(int32_t X, int32_t Y) { return PixelPointer(X, Y); }
  PPixel32Array ScanLine(int32_t Y);
  const TPixel32* ScanLine(int32_t Y) const;
  PPixel32Array GetScanLine(int32_t Y) { return ScanLine(Y); }
  const TPixel32* GetScanLine(int32_t Y) const { return ScanLine(Y); }
  // Null while the map is empty.
  PPixel32Array DataPointer() { return FDataPointer; }
  const TPixel32* DataPointer() const { return FDataPointer; }

  // Every byte 0 (transparent black).
  void Clear() override;
  // Every pixel := Color, without blending.
  virtual void Clear(TPixel32 Color);
  virtual void Clear(TColor Color);
  virtual void MakeOpaque();
  // A of every pixel := Value; the colours stay.
  virtual void ResetAlpha(uint8_t Value = 0xFF);

  // Map on map: Source placed with its top-left at (X, Y), clipped to this map.
  // OpaqueBlendRow of every source row onto the destination row.
  virtual void Draw(const TGuiCustomPixelMap& Source, int32_t X, int32_t Y);
  // WeightedMixRow with weight Alpha; the source's own alpha is not a weight here.
  virtual void Draw(const TGuiCustomPixelMap& Source, int32_t X, int32_t Y, uint8_t Alpha);
  virtual void Draw(const TGuiCustomPixelMap& Source, uint8_t Alpha);
  virtual void DrawTransparent(const TGuiCustomPixelMap& Source);
  virtual void DrawTransparent(const TGuiCustomPixelMap& Source, int32_t X, int32_t Y);
  // The byte map as coverage of Color: each value v merges (Color.RGB, (v * Color.A) >> 8).
  virtual void DrawByteMap(const TGuiCustomByteMap& ByteMap, TPixel32 Color);
  virtual void DrawByteMap(const TGuiCustomByteMap& ByteMap, TPixel32 Color, int32_t X, int32_t Y);
  // Placed at (Rect.Left, Rect.Top), clipped further to Rect.Right and Rect.Bottom.
  virtual void DrawByteMap(const TGuiCustomByteMap& ByteMap, TPixel32 Color, const TRect& Rect);

  // ---- the platform's paint routes ----
  // The whole map copied (no blending) to the canvas at (X, Y), clipped by the canvas.
  virtual void PaintTo(TCanvas& Canvas) { PaintTo(Canvas, 0, 0); }
  virtual void PaintTo(TCanvas& Canvas, int32_t X, int32_t Y);
  // The part from (Rect.Left, Rect.Top) of min(Width, Rect width) x min(Height, Rect height).
  virtual void PaintTo(TCanvas& Canvas, const TRect& Rect, int32_t X, int32_t Y);
  // A platform bitmap copied in at (X, Y): 32 bits unchanged, 24 bits with A = 255, 8 bits as
  // grey with A = 255. The bitmap must fit inside the map at (X, Y); nothing happens for an
  // empty bitmap or map.
  virtual void Draw(const TBitmap& Bitmap) { Draw(Bitmap, 0, 0); }
  virtual void Draw(const TBitmap& Bitmap, int32_t X, int32_t Y);
  // Fills the map with what the control's parent shows behind the control: the parent's
  // background and own painting, then its visible windowless children below the control that
  // overlap it. Nothing happens without a parent.
  void CopyParentImage(const TControl& Control);

  // Shapes. Everything outside the map is left out.
  // Color.A < 255 blends (OpaqueBlendFill) row by row; an opaque colour overwrites.
  void FillRect(const TRect& Rect, TPixel32 Color);
  void FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, TPixel32 Color);
  void FrameRect(const TRect& Rect, TPixel32 Color);
  // Columns min(FromX, ToX) up to max(FromX, ToX) - 1 of row Y, blended.
  void HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, TPixel32 Color);
  // A gradient from FromColor at the left end towards ToColor, blended.
  void HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, TPixel32 FromColor, TPixel32 ToColor);
  // Rows min(FromY, ToY) up to max(FromY, ToY) - 1 of column X, blended.
  void VerticalLine(int32_t X, int32_t FromY, int32_t ToY, TPixel32 Color);
  // A stepped line of max(|dx|, |dy|) pixels from (FromX, FromY); the end point is not drawn.
  void Line(int32_t FromX, int32_t FromY, int32_t ToX, int32_t ToY, TPixel32 Color);

  // Copying: from a pixel map the size, the pixels and the OnChange and OnResize handlers.
  void Assign(const TPersistent& Source) override;
  void AssignTo(TPersistent& Dest) const override;
  // Same width, same height and byte-identical pixels; identity for anything else.
  bool Equals(const TPersistent& Obj) const override;

  // A 32-bit BMP: file header, the 44 info bytes (rows top-down), the pixels.
  void SaveToStream(TStream& Stream) override;
  // A registered file format first (PNG); else a 32-bit BMP.
  void LoadFromStream(TStream& Stream) override;

 protected:
  uint8_t* RawData() override { return reinterpret_cast<uint8_t*>(FDataPointer); }
  void HeightUpdated(bool UpdateBuffer) override;
  void WidthUpdated(bool UpdateBuffer) override;

  PPixel32Array FDataPointer = nullptr;
  TBitmapInfo32 FBitmapInfo;
};

// A pixel map that owns its buffer in process memory.
class TGuiPixelMapMemory : public TGuiCustomPixelMap {
 public:
  TGuiPixelMapMemory() = default;
  std::string ClassName() const override { return "TGuiPixelMapMemory"; }

  void Resize(int32_t Width, int32_t Height) override;
  void Turn(bool CounterClockwise = false) override;

 protected:
  // The buffer follows the size: new pixels are cleared, an unchanged byte size keeps them.
  virtual void ReallocateBuffer();
  void HeightUpdated(bool UpdateBuffer) override;
  void WidthUpdated(bool UpdateBuffer) override;

 private:
  std::vector<TPixel32> FBuffer;
};

}  // namespace kvx
