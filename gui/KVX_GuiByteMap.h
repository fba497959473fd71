// 8-bit single-channel maps (coverage and intensity masks).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/KVX_GuiCustomMap.h"
#include "platform/KVX_Canvas.h"

namespace kvx {

// The 40-byte header followed by a 256-entry grey colour table (entry i: blue, green, red i).
struct TBitmapInfo8 {
  TBitmapInfoHeader bmiHeader;
  uint32_t bmiColors[256];
};
static_assert(sizeof(TBitmapInfo8) == 1064, "the byte map info block is 1064 bytes");

// Width x Height bytes, rows top to bottom, each exactly Width bytes; value (X, Y) is byte
// X + Y * Width of DataPointer().
class TGuiCustomByteMap : public TGuiCustomMap {
 public:
  TGuiCustomByteMap();
  std::string ClassName() const override { return "TGuiCustomByteMap"; }
  int32_t ElementSize() const override { return 1; }

  const TBitmapInfo8& BitmapInfo() const { return *FBitmapInfo; }

  // Access. Coordinates outside the map fail an assertion.
  uint8_t Value(int32_t X, int32_t Y) const;
  uint8_t GetValue(int32_t X, int32_t Y) const { return Value(X, Y); }
  void SetValue(int32_t X, int32_t Y, uint8_t Value);
  uint8_t* ValuePointer(int32_t X, int32_t Y);
  const uint8_t* ValuePointer(int32_t X, int32_t Y) const;
  uint8_t* GetValuePointer(int32_t X, int32_t Y) { return ValuePointer(X, Y); }
  uint8_t* ScanLine(int32_t Y);
  const uint8_t* ScanLine(int32_t Y) const;
  uint8_t* GetScanLine(int32_t Y) { return ScanLine(Y); }
  const uint8_t* GetScanLine(int32_t Y) const { return ScanLine(Y); }
  // Null while the map is empty.
  uint8_t* DataPointer() { return FDataPointer; }
  const uint8_t* DataPointer() const { return FDataPointer; }

  void Clear() override;
  // Every byte := Data.
  virtual void Clear(uint8_t Data);
  // Every byte v := (v * Factor + 128) >> 8.
  virtual void Multiply(uint8_t Factor);

  // Copies Source placed at (X, Y), clipped to this map.
  virtual void Draw(const TGuiCustomByteMap& Source, int32_t X, int32_t Y);
  // The same copy: a byte map has no colour to weigh Alpha against.
  virtual void Draw(const TGuiCustomByteMap& Source, int32_t X, int32_t Y, uint8_t Alpha);
  virtual void Draw(const TGuiCustomByteMap& Source, uint8_t Alpha);
  virtual void DrawTransparent(const TGuiCustomByteMap& Source);
  virtual void DrawTransparent(const TGuiCustomByteMap& Source, int32_t X, int32_t Y);

  // ---- the platform's paint routes ----
  // The bytes as grey levels copied to the canvas at (X, Y), clipped by the canvas.
  virtual void PaintTo(TCanvas& Canvas) { PaintTo(Canvas, 0, 0); }
  virtual void PaintTo(TCanvas& Canvas, int32_t X, int32_t Y);
  // The part from (Rect.Left, Rect.Top) of min(Width, Rect width) x min(Height, Rect height).
  virtual void PaintTo(TCanvas& Canvas, const TRect& Rect, int32_t X, int32_t Y);
  // A platform bitmap converted to grey levels into the map from its first byte (X and Y are
  // not used, as the platform's conversion fills the buffer from its start). A DIB map does
  // nothing.
  virtual void Draw(const TBitmap& Bitmap) { Draw(Bitmap, 0, 0); }
  virtual void Draw(const TBitmap& Bitmap, int32_t X, int32_t Y);

  // Shapes set bytes. Everything outside the map is left out.
  void FillRect(const TRect& Rect, uint8_t Data);
  void FrameRect(const TRect& Rect, uint8_t Data);
  void HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, uint8_t Data);
  // A gradient from FromData at the left end towards ToData.
  void HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, uint8_t FromData, uint8_t ToData);
  void VerticalLine(int32_t X, int32_t FromY, int32_t ToY, uint8_t Data);
  void Line(int32_t FromX, int32_t FromY, int32_t ToX, int32_t ToY, uint8_t Data);

  // From a byte map: size, bytes and the OnChange and OnResize handlers.
  void Assign(const TPersistent& Source) override;
  void AssignTo(TPersistent& Dest) const override;
  bool Equals(const TPersistent& Obj) const override;

  // An 8-bit grey BMP: file header, the 1064 info bytes (rows top-down), rows padded to 4 bytes.
  void SaveToStream(TStream& Stream) override;
  // A registered file format first; else an uncompressed 8-bit BMP, each value the grey
  // level of its palette entry.
  void LoadFromStream(TStream& Stream) override;

 protected:
  uint8_t* RawData() override { return FDataPointer; }
  void HeightUpdated(bool UpdateBuffer) override;
  void WidthUpdated(bool UpdateBuffer) override;

  uint8_t* FDataPointer = nullptr;
  std::unique_ptr<TBitmapInfo8> FBitmapInfo;
};

// A byte map that owns its bytes in process memory.
class TGuiByteMapMemory : public TGuiCustomByteMap {
 public:
  TGuiByteMapMemory() = default;
  std::string ClassName() const override { return "TGuiByteMapMemory"; }

  void Resize(int32_t Width, int32_t Height) override;
  void Turn(bool CounterClockwise = false) override;

 protected:
  virtual void ReallocateBuffer();
  void HeightUpdated(bool UpdateBuffer) override;
  void WidthUpdated(bool UpdateBuffer) override;

 private:
  std::vector<uint8_t> FBuffer;
};

// A byte map whose bytes live in an 8-bit platform bitmap, so the platform's text output can
// draw into them through Handle(): the map's rows are the bitmap's rows. The platform
// addresses rows in whole 4-byte units, so a map drawn into through Handle() must have a
// Width that is a multiple of 4. Every size change releases the bitmap and, for a non-empty
// size, creates a new zero-filled one: Handle() changes with it.
class TGuiByteMapDIB : public TGuiCustomByteMap {
 public:
  TGuiByteMapDIB() = default;
  ~TGuiByteMapDIB() override;
  std::string ClassName() const override { return "TGuiByteMapDIB"; }

  // The canvas of the bitmap (grey levels), null while the map is empty.
  TCanvas* Handle() const { return FBitmap ? &FBitmap->Canvas() : nullptr; }
  // The bitmap itself, null while the map is empty.
  TBitmap* Bitmap() const { return FBitmap.get(); }

  void PaintTo(TCanvas& Canvas, int32_t X, int32_t Y) override;
  void PaintTo(TCanvas& Canvas, const TRect& Rect, int32_t X, int32_t Y) override;
  using TGuiCustomByteMap::PaintTo;
  void Draw(const TBitmap& Bitmap, int32_t X, int32_t Y) override;
  using TGuiCustomByteMap::Draw;
  // Keeps the content in the top-left corner (the bitmap is recreated).
  void Resize(int32_t Width, int32_t Height) override;
  // Rotates through a temporary buffer into the existing bitmap, whose geometry stays.
  void Turn(bool CounterClockwise = false) override;

 protected:
  void SizeUpdated() override;
  void HeightUpdated(bool UpdateBuffer) override;
  void WidthUpdated(bool UpdateBuffer) override;

 private:
  void ReleaseBitmap();
  void AllocateBitmap();
  std::unique_ptr<TBitmap> FBitmap;
};

}  // namespace kvx
