// The map base shared by 32-bit pixel maps and 8-bit byte maps: size, events, the size-change
// protocol, file and form-stream persistence.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/KVX_Graphics.h"
#include "platform/KVX_Persistent.h"
#include "platform/KVX_Streams.h"

namespace kvx {

class TGuiCustomMap;

// An event of a map; Sender is the map.
using TGuiMapEvent = std::function<void(TGuiCustomMap* Sender)>;

// The 40-byte header that describes a map's buffer to the platform (and to BMP files).
struct TBitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // negative: rows stored top-down
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // BI_RGB
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;

  // The header as the 40 little-endian bytes of the file form, and back.
  void WriteTo(uint8_t* Bytes) const;
  static TBitmapInfoHeader ReadFrom(const uint8_t* Bytes);
};
static_assert(sizeof(TBitmapInfoHeader) == 40, "the info header is 40 bytes");

constexpr uint16_t CBitmapFileType = 0x4D42;  // "BM"
constexpr uint32_t CBitmapFileHeaderSize = 14;
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

// The largest buffer a map holds, in bytes.
constexpr int64_t CMaxMapDataSize = INT32_MAX;

class TGuiCustomMap : public TPersistent {
 public:
  TGuiCustomMap() = default;
  ~TGuiCustomMap() override = default;

  std::string ClassName() const override { return "TGuiCustomMap"; }

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // Negative values raise EArgumentError "Width may not be negative!" ("Height ...") and keep
  // the size; an unchanged value does nothing.
  void SetWidth(int32_t Value);
  void SetHeight(int32_t Value);
  // Checks Width first, then Height; calls SizeUpdated when either changed.
  virtual void SetSize(int32_t Width, int32_t Height);
  TRect ClientRect() const { return TRect{0, 0, FWidth, FHeight}; }
  // Size of the buffer in bytes: Width x Height x bytes per element.
  int32_t DataSize() const { return FDataSize; }
  virtual int32_t ElementSize() const = 0;

  const TGuiMapEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TGuiMapEvent Value) { FOnChange = std::move(Value); }
  const TGuiMapEvent& OnResize() const { return FOnResize; }
  void SetOnResize(TGuiMapEvent Value) { FOnResize = std::move(Value); }

  virtual bool IsEmpty() const { return FDataSize == 0; }
  // Fires OnChange when assigned.
  virtual void NotifyChange();
  // Fires OnResize when assigned, then NotifyChange.
  virtual void NotifyResize();

  // All bytes 0.
  virtual void Clear() = 0;
  // Changes the size keeping the top-left content; fires no events.
  virtual void Resize(int32_t Width, int32_t Height) = 0;
  // Rotates by 90 degrees; Width and Height swap; fires no events.
  virtual void Turn(bool CounterClockwise = false) = 0;

  virtual void LoadFromFile(const std::string& FileName);
  // A registered format for the file name's extension saves the file; else SaveToStream.
  virtual void SaveToFile(const std::string& FileName);
  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;

  // The form-stream property "Data": Width and Height as 32-bit values, then the buffer.
  void DefineProperties(TFiler& Filer) override;
  virtual void ReadPixelData(TStream& Stream);
  virtual void WritePixelData(TStream& Stream);

 protected:
  // The buffer's first byte (null while empty).
  virtual uint8_t* RawData() = 0;
  const uint8_t* RawData() const { return const_cast<TGuiCustomMap*>(this)->RawData(); }

  virtual void SizeUpdated();
  // The size fields have changed; with UpdateBuffer set the hook also notifies.
  virtual void HeightUpdated(bool UpdateBuffer) = 0;
  virtual void WidthUpdated(bool UpdateBuffer) = 0;

  // Raises the negative-size errors and refuses a buffer above CMaxMapDataSize.
  void CheckSize(int64_t Width, int64_t Height) const;

  // The BMP headers at the stream's position: "BM", the file header and the 40-byte info header.
  // Raises "Invalid bitmap header found!" when the stream does not hold them.
  struct TBitmapFileHeaders {
    int64_t Start = 0;  // stream position of "BM"
    uint32_t OffBits = 0;
    TBitmapInfoHeader Info;
  };
  static TBitmapFileHeaders ReadBitmapHeaders(TStream& Stream);
  static void WriteBitmapFileHeader(TStream& Stream, uint32_t FileSize, uint32_t OffBits);

  int32_t FDataSize = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  TGuiMapEvent FOnChange;
  TGuiMapEvent FOnResize;
};

// The stepped line shared by the maps for lines that are neither horizontal nor vertical:
// max(|dx|, |dy|) points from (FromX, FromY), the end point excluded. Plot(X, Y) gets each.
template <class TPlot>
void StepLine(int64_t FromX, int64_t FromY, int64_t ToX, int64_t ToY, TPlot&& Plot) {
  const int64_t Dx = ToX - FromX;
  const int64_t Dy = ToY - FromY;
  const int64_t Sx = Dx < 0 ? -1 : 1;
  const int64_t Sy = Dy < 0 ? -1 : 1;
  const int64_t Adx = Dx < 0 ? -Dx : Dx;
  const int64_t Ady = Dy < 0 ? -Dy : Dy;
  const bool XMajor = Ady < Adx;
  const int64_t StraightX = XMajor ? Sx : 0;
  const int64_t StraightY = XMajor ? 0 : Sy;
  const int64_t Major = XMajor ? Adx : Ady;
  const int64_t Minor = XMajor ? Ady : Adx;
  int64_t Error = Major >> 1;
  int64_t X = FromX;
  int64_t Y = FromY;
  Plot(X, Y);
  for (int64_t i = 1; i < Major; ++i) {
    Error -= Minor;
    if (Error < 0) {
      Error += Major;
      X += Sx;
      Y += Sy;
    } else {
      X += StraightX;
      Y += StraightY;
    }
    Plot(X, Y);
  }
}

// Little-endian integers in streams.
void WriteUInt16LE(TStream& Stream, uint16_t Value);
void WriteUInt32LE(TStream& Stream, uint32_t Value);
uint16_t GetUInt16LE(const uint8_t* Bytes);
uint32_t GetUInt32LE(const uint8_t* Bytes);
void PutUInt32LE(uint8_t* Bytes, uint32_t Value);

}  // namespace kvx
