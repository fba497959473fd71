// 8-bit single-channel maps (coverage and intensity masks).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/KVX_GuiCustomMap.h"

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

}  // namespace kvx
