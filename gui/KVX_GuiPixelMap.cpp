#include "gui/KVX_GuiPixelMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiFileFormats.h"
#include "platform/KVX_Controls.h"

namespace kvx {

namespace {

const char* const CUnit = "KVX_GuiPixelMap";

// The part of this map covered by a source of SourceWidth x SourceHeight placed at (X, Y),
// further limited to columns below RightLimit and rows below BottomLimit.
struct TClipArea {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
};

TClipArea ClipPlacement(int32_t Width, int32_t Height, int64_t X, int64_t Y, int64_t SourceWidth,
                        int64_t SourceHeight, int64_t RightLimit = INT64_MAX,
                        int64_t BottomLimit = INT64_MAX) {
  TClipArea Area;
  Area.Left = static_cast<int32_t>(std::max<int64_t>(X, 0));
  Area.Top = static_cast<int32_t>(std::max<int64_t>(Y, 0));
  Area.Right = static_cast<int32_t>(
      std::clamp<int64_t>(std::min({int64_t{Width}, X + SourceWidth, RightLimit}), 0, Width));
  Area.Bottom = static_cast<int32_t>(
      std::clamp<int64_t>(std::min({int64_t{Height}, Y + SourceHeight, BottomLimit}), 0, Height));
  return Area;
}

}  // namespace

// ---- TGuiCustomPixelMap ------------------------------------------------------------------------

TGuiCustomPixelMap::TGuiCustomPixelMap() {
  FBitmapInfo.bmiHeader.biSize = 40;
  FBitmapInfo.bmiHeader.biPlanes = 1;
  FBitmapInfo.bmiHeader.biBitCount = 32;
  FBitmapInfo.bmiHeader.biCompression = BI_RGB;
}

TPixel32 TGuiCustomPixelMap::Pixel(int32_t X, int32_t Y) const {
  return *PixelPointer(X, Y);
}

void TGuiCustomPixelMap::SetPixel(int32_t X, int32_t Y, TPixel32 Value) {
  OpaqueBlendInPlace(Value, *PixelPointer(X, Y));
}

PPixel32 TGuiCustomPixelMap::PixelPointer(int32_t X, int32_t Y) {
  KVX_ASSERT(Y >= 0 && Y < FHeight && X >= 0 && X < FWidth, CUnit);
  return FDataPointer + (static_cast<size_t>(Y) * FWidth + X);
}

const TPixel32* TGuiCustomPixelMap::PixelPointer(int32_t X, int32_t Y) const {
  return const_cast<TGuiCustomPixelMap*>(this)->PixelPointer(X, Y);
}

PPixel32Array TGuiCustomPixelMap::ScanLine(int32_t Y) {
  KVX_ASSERT(Y >= 0 && Y < FHeight, CUnit);
  return FDataPointer + static_cast<size_t>(Y) * FWidth;
}

const TPixel32* TGuiCustomPixelMap::ScanLine(int32_t Y) const {
  return const_cast<TGuiCustomPixelMap*>(this)->ScanLine(Y);
}

void TGuiCustomPixelMap::Clear() {
  if (FDataPointer) std::fill_n(FDataPointer, static_cast<size_t>(FDataSize) / 4, TPixel32{});
}

void TGuiCustomPixelMap::Clear(TPixel32 Color) {
  if (!FDataPointer) return;
  std::fill_n(FDataPointer, static_cast<size_t>(FDataSize) / 4, Color);
}

void TGuiCustomPixelMap::Clear(TColor Color) { Clear(ColorToPixel32(Color)); }

void TGuiCustomPixelMap::MakeOpaque() { ResetAlpha(0xFF); }

void TGuiCustomPixelMap::ResetAlpha(uint8_t Value) {
  if (!FDataPointer) return;
  const size_t Count = static_cast<size_t>(FDataSize) / 4;
  for (size_t i = 0; i < Count; ++i) FDataPointer[i].A = Value;
}

void TGuiCustomPixelMap::Draw(const TGuiCustomPixelMap& Source, int32_t X, int32_t Y) {
  const TClipArea Area = ClipPlacement(FWidth, FHeight, X, Y, Source.FWidth, Source.FHeight);
  if (Area.IsEmpty()) return;
  const int32_t Count = Area.Right - Area.Left;
  for (int32_t Row = Area.Top; Row < Area.Bottom; ++Row)
    OpaqueBlendRow(Source.ScanLine(Row - Y) + (Area.Left - X), ScanLine(Row) + Area.Left, Count);
}

void TGuiCustomPixelMap::Draw(const TGuiCustomPixelMap& Source, int32_t X, int32_t Y,
                              uint8_t Alpha) {
  const TClipArea Area = ClipPlacement(FWidth, FHeight, X, Y, Source.FWidth, Source.FHeight);
  if (Area.IsEmpty()) return;
  const int32_t Count = Area.Right - Area.Left;
  for (int32_t Row = Area.Top; Row < Area.Bottom; ++Row)
    WeightedMixRow(Source.ScanLine(Row - Y) + (Area.Left - X), ScanLine(Row) + Area.Left, Count,
                   Alpha);
}

void TGuiCustomPixelMap::Draw(const TGuiCustomPixelMap& Source, uint8_t Alpha) {
  Draw(Source, 0, 0, Alpha);
}

void TGuiCustomPixelMap::DrawTransparent(const TGuiCustomPixelMap& Source) { Draw(Source, 0, 0); }

void TGuiCustomPixelMap::DrawTransparent(const TGuiCustomPixelMap& Source, int32_t X, int32_t Y) {
  Draw(Source, X, Y);
}

void TGuiCustomPixelMap::DrawByteMap(const TGuiCustomByteMap& ByteMap, TPixel32 Color) {
  DrawByteMap(ByteMap, Color, 0, 0);
}

void TGuiCustomPixelMap::DrawByteMap(const TGuiCustomByteMap& ByteMap, TPixel32 Color, int32_t X,
                                     int32_t Y) {
  DrawByteMap(ByteMap, Color, TRect{X, Y, INT32_MAX, INT32_MAX});
}

void TGuiCustomPixelMap::DrawByteMap(const TGuiCustomByteMap& ByteMap, TPixel32 Color,
                                     const TRect& Rect) {
  const TClipArea Area = ClipPlacement(FWidth, FHeight, Rect.Left, Rect.Top, ByteMap.Width(),
                                       ByteMap.Height(), Rect.Right, Rect.Bottom);
  if (Area.IsEmpty()) return;
  TPixel32 Coverage = Color;
  for (int32_t Row = Area.Top; Row < Area.Bottom; ++Row) {
    const uint8_t* Values = ByteMap.ScanLine(Row - Rect.Top) + (Area.Left - Rect.Left);
    PPixel32 Destination = ScanLine(Row) + Area.Left;
    for (int32_t i = 0; i < Area.Right - Area.Left; ++i) {
      // A plain shift: an opaque colour at full coverage merges with alpha 254.
      Coverage.A = static_cast<uint8_t>((Values[i] * Color.A) >> 8);
      AlphaMergeInPlace(Coverage, Destination[i]);
    }
  }
}

void TGuiCustomPixelMap::FillRect(const TRect& Rect, TPixel32 Color) {
  FillRect(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, Color);
}

void TGuiCustomPixelMap::FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                                  TPixel32 Color) {
  Left = std::max(Left, 0);
  Top = std::max(Top, 0);
  Right = std::min(Right, FWidth);
  Bottom = std::min(Bottom, FHeight);
  if (Right <= Left || Bottom <= Top) return;
  for (int32_t Row = Top; Row < Bottom; ++Row) {
    PPixel32 Destination = ScanLine(Row) + Left;
    if (Color.A < 0xFF)
      OpaqueBlendFill(Color, Destination, Right - Left);
    else
      std::fill_n(Destination, Right - Left, Color);
  }
}

void TGuiCustomPixelMap::FrameRect(const TRect& Rect, TPixel32 Color) {
  HorizontalLine(Rect.Left, Rect.Right, Rect.Top, Color);
  HorizontalLine(Rect.Left, Rect.Right, Rect.Bottom - 1, Color);
  VerticalLine(Rect.Left, Rect.Top + 1, Rect.Bottom - 1, Color);
  VerticalLine(Rect.Right - 1, Rect.Top + 1, Rect.Bottom - 1, Color);
}

void TGuiCustomPixelMap::HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, TPixel32 Color) {
  if (ToX < FromX) std::swap(FromX, ToX);
  if (Y < 0 || Y >= FHeight) return;
  FromX = std::max(FromX, 0);
  ToX = std::min(ToX, FWidth);
  if (ToX <= FromX) return;
  OpaqueBlendFill(Color, ScanLine(Y) + FromX, ToX - FromX);
}

void TGuiCustomPixelMap::HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, TPixel32 FromColor,
                                        TPixel32 ToColor) {
  if (ToX < FromX) std::swap(FromX, ToX);
  if (ToX == FromX || Y < 0 || Y >= FHeight) return;
  // The weight runs from 0 at FromX in steps accumulated as 32-bit floats.
  const float Step = 1.0f / static_cast<float>(int64_t{ToX} - FromX);
  float T = 0.0f;
  PPixel32 Row = ScanLine(Y);
  for (int64_t X = FromX; X < ToX; ++X) {
    if (X >= 0 && X < FWidth) {
      const float Weight = std::nearbyint(T * 255.0f);
      const uint32_t W = static_cast<uint32_t>(std::clamp(Weight, 0.0f, 255.0f));
      OpaqueBlendInPlace(WeightedMix(ToColor, FromColor, W), Row[X]);
    } else if (X >= FWidth) {
      break;
    }
    T += Step;
  }
}

void TGuiCustomPixelMap::VerticalLine(int32_t X, int32_t FromY, int32_t ToY, TPixel32 Color) {
  if (ToY < FromY) std::swap(FromY, ToY);
  if (X < 0 || X >= FWidth) return;
  FromY = std::max(FromY, 0);
  ToY = std::min(ToY, FHeight);
  for (int32_t Y = FromY; Y < ToY; ++Y) OpaqueBlendInPlace(Color, FDataPointer[static_cast<size_t>(Y) * FWidth + X]);
}

void TGuiCustomPixelMap::Line(int32_t FromX, int32_t FromY, int32_t ToX, int32_t ToY,
                              TPixel32 Color) {
  if (FromY == ToY) return HorizontalLine(FromX, ToX, FromY, Color);
  if (FromX == ToX) return VerticalLine(FromX, FromY, ToY, Color);

  StepLine(FromX, FromY, ToX, ToY, [this, Color](int64_t X, int64_t Y) {
    if (X >= 0 && X < FWidth && Y >= 0 && Y < FHeight)
      OpaqueBlendInPlace(Color, FDataPointer[static_cast<size_t>(Y) * FWidth + X]);
  });
}

void TGuiCustomPixelMap::Assign(const TPersistent& Source) {
  if (auto* Map = dynamic_cast<const TGuiCustomPixelMap*>(&Source)) {
    if (Map == this) return;
    SetSize(Map->FWidth, Map->FHeight);
    FBitmapInfo = Map->FBitmapInfo;
    KVX_ASSERT(FDataSize == Map->FDataSize, CUnit);
    if (FDataSize > 0) std::memcpy(FDataPointer, Map->FDataPointer, static_cast<size_t>(FDataSize));
    FOnChange = Map->FOnChange;
    FOnResize = Map->FOnResize;
    return;
  }
  TGuiCustomMap::Assign(Source);
}

void TGuiCustomPixelMap::AssignTo(TPersistent& Dest) const {
  if (auto* Map = dynamic_cast<TGuiCustomPixelMap*>(&Dest)) {
    Map->Assign(*this);
    return;
  }
  TGuiCustomMap::AssignTo(Dest);
}

bool TGuiCustomPixelMap::Equals(const TPersistent& Obj) const {
  if (auto* Map = dynamic_cast<const TGuiCustomPixelMap*>(&Obj)) {
    if (Map == this) return true;
    if (Map->FWidth != FWidth || Map->FHeight != FHeight) return false;
    if (Map->FDataSize != FDataSize) return false;
    return FDataSize == 0 ||
           std::memcmp(Map->FDataPointer, FDataPointer, static_cast<size_t>(FDataSize)) == 0;
  }
  return TGuiCustomMap::Equals(Obj);
}

void TGuiCustomPixelMap::SaveToStream(TStream& Stream) {
  constexpr uint32_t OffBits = CBitmapFileHeaderSize + sizeof(TBitmapInfo32);
  WriteBitmapFileHeader(Stream, OffBits + static_cast<uint32_t>(FDataSize), OffBits);
  uint8_t Info[sizeof(TBitmapInfo32)] = {};
  FBitmapInfo.bmiHeader.WriteTo(Info);
  PutUInt32LE(Info + 40, FBitmapInfo.bmiColors[0]);
  Stream.WriteBuffer(Info, sizeof(Info));
  if (FDataSize > 0) Stream.WriteBuffer(FDataPointer, FDataSize);
}

void TGuiCustomPixelMap::LoadFromStream(TStream& Stream) {
  if (TGuiFileFormatClassRef Format = FindFileFormatByStream(Stream)) {
    std::unique_ptr<TGuiCustomFileFormat> Instance = Format->Create();
    Instance->LoadFromStream(Stream);
    Instance->AssignTo(*this);
    return;
  }

  const TBitmapFileHeaders Headers = ReadBitmapHeaders(Stream);
  const TBitmapInfoHeader& Info = Headers.Info;
  if (Info.biBitCount != 32) throw Exception("Unsupported bitmap format!");
  if (Info.biCompression == BI_BITFIELDS) {
    // Only the masks of the plain B, G, R, A byte order.
    uint8_t Masks[12];
    Stream.SetPosition(Headers.Start + CBitmapFileHeaderSize + 40);
    if (Stream.Read(Masks, 12) != 12 || GetUInt32LE(Masks) != 0x00FF0000 ||
        GetUInt32LE(Masks + 4) != 0x0000FF00 || GetUInt32LE(Masks + 8) != 0x000000FF)
      throw Exception("Unsupported bitmap format!");
  } else if (Info.biCompression != BI_RGB) {
    throw Exception("Unsupported bitmap format!");
  }

  const int32_t NewWidth = Info.biWidth;
  const int32_t NewHeight = Info.biHeight < 0 ? -Info.biHeight : Info.biHeight;
  CheckSize(NewWidth, NewHeight);
  const int64_t Bytes = int64_t{NewWidth} * NewHeight * 4;
  if (Headers.OffBits + Bytes > Stream.Size() - Headers.Start)
    throw EStreamError("Bitmap data too short!");

  std::vector<TPixel32> Pixels(static_cast<size_t>(NewWidth) * NewHeight);
  Stream.SetPosition(Headers.Start + Headers.OffBits);
  if (Bytes > 0) Stream.ReadBuffer(Pixels.data(), Bytes);

  SetSize(NewWidth, NewHeight);
  KVX_ASSERT(FDataSize == Bytes, CUnit);
  for (int32_t Row = 0; Row < NewHeight; ++Row) {
    // A positive height stores the rows bottom-up.
    const int32_t SourceRow = Info.biHeight < 0 ? Row : NewHeight - 1 - Row;
    std::copy_n(Pixels.data() + static_cast<size_t>(SourceRow) * NewWidth, NewWidth, ScanLine(Row));
  }
  NotifyChange();
}

void TGuiCustomPixelMap::HeightUpdated(bool UpdateBuffer) {
  FBitmapInfo.bmiHeader.biHeight = -FHeight;
  if (UpdateBuffer) NotifyResize();
}

void TGuiCustomPixelMap::WidthUpdated(bool UpdateBuffer) {
  FBitmapInfo.bmiHeader.biWidth = FWidth;
  if (UpdateBuffer) NotifyResize();
}

// ---- TGuiPixelMapMemory ------------------------------------------------------------------------

void TGuiPixelMapMemory::ReallocateBuffer() {
  const int64_t NewSize = int64_t{FWidth} * FHeight * 4;
  KVX_ASSERT(NewSize >= 0 && NewSize <= CMaxMapDataSize, CUnit);
  if (NewSize == FDataSize) return;
  try {
    std::vector<TPixel32> Buffer(static_cast<size_t>(NewSize / 4));
    FBuffer.swap(Buffer);
  } catch (...) {
    // Without memory the map becomes empty rather than larger than its buffer.
    FBuffer = {};
    FDataPointer = nullptr;
    FDataSize = 0;
    FWidth = FHeight = 0;
    TGuiCustomPixelMap::HeightUpdated(false);
    TGuiCustomPixelMap::WidthUpdated(false);
    throw;
  }
  FDataSize = static_cast<int32_t>(NewSize);
  FDataPointer = FBuffer.empty() ? nullptr : FBuffer.data();
}

// The buffer follows the size before anyone is told, so that OnResize and OnChange handlers
// always find a buffer that matches Width and Height.
void TGuiPixelMapMemory::HeightUpdated(bool UpdateBuffer) {
  TGuiCustomPixelMap::HeightUpdated(false);
  ReallocateBuffer();
  if (UpdateBuffer) NotifyResize();
}

void TGuiPixelMapMemory::WidthUpdated(bool UpdateBuffer) {
  TGuiCustomPixelMap::WidthUpdated(false);
  ReallocateBuffer();
  if (UpdateBuffer) NotifyResize();
}

void TGuiPixelMapMemory::Resize(int32_t Width, int32_t Height) {
  CheckSize(Width, Height);
  if (Width == FWidth && Height == FHeight) return;
  // The part outside the old content starts transparent black.
  std::vector<TPixel32> Buffer(static_cast<size_t>(Width) * Height);
  const int32_t CopyWidth = std::min(Width, FWidth);
  const int32_t CopyHeight = std::min(Height, FHeight);
  for (int32_t Row = 0; Row < CopyHeight; ++Row)
    std::copy_n(FDataPointer + static_cast<size_t>(Row) * FWidth, CopyWidth,
                Buffer.data() + static_cast<size_t>(Row) * Width);
  FBuffer.swap(Buffer);
  FWidth = Width;
  FHeight = Height;
  FDataSize = Width * Height * 4;
  FDataPointer = FBuffer.empty() ? nullptr : FBuffer.data();
  TGuiCustomPixelMap::HeightUpdated(false);
  TGuiCustomPixelMap::WidthUpdated(false);
}

void TGuiPixelMapMemory::Turn(bool CounterClockwise) {
  const int32_t OldWidth = FWidth;
  const int32_t OldHeight = FHeight;
  std::vector<TPixel32> Buffer(FBuffer.size());
  // New rows are OldHeight wide.
  for (int32_t Y = 0; Y < OldHeight; ++Y)
    for (int32_t X = 0; X < OldWidth; ++X) {
      const TPixel32 Value = FDataPointer[static_cast<size_t>(Y) * OldWidth + X];
      const size_t NewX = CounterClockwise ? Y : OldHeight - 1 - Y;
      const size_t NewY = CounterClockwise ? OldWidth - 1 - X : X;
      Buffer[NewY * OldHeight + NewX] = Value;
    }
  FBuffer.swap(Buffer);
  FDataPointer = FBuffer.empty() ? nullptr : FBuffer.data();
  FWidth = OldHeight;
  FHeight = OldWidth;
  TGuiCustomPixelMap::HeightUpdated(false);
  TGuiCustomPixelMap::WidthUpdated(false);
}

// ---- the platform's paint routes ---------------------------------------------------------------

namespace {

TSurface PixelSurface(const TGuiCustomPixelMap& Map) {
  return TSurface{reinterpret_cast<uint8_t*>(const_cast<TPixel32*>(Map.DataPointer())), Map.Width(),
                  Map.Height(), Map.Width() * 4, pf32bit};
}

}  // namespace

void TGuiCustomPixelMap::PaintTo(TCanvas& Canvas, int32_t X, int32_t Y) {
  Canvas.CopyRect(X, Y, PixelSurface(*this), ClientRect());
}

void TGuiCustomPixelMap::PaintTo(TCanvas& Canvas, const TRect& Rect, int32_t X, int32_t Y) {
  const int32_t W = std::min(FWidth, Rect.Width());
  const int32_t H = std::min(FHeight, Rect.Height());
  if (W <= 0 || H <= 0) return;
  Canvas.CopyRect(X, Y, PixelSurface(*this), Bounds(Rect.Left, Rect.Top, W, H));
}

void TGuiCustomPixelMap::Draw(const TBitmap& Bitmap, int32_t X, int32_t Y) {
  if (Bitmap.Height() == 0 || FDataPointer == nullptr) return;
  // The copy goes through a canvas over this map, so a bitmap that does not fit is clipped
  // instead of writing past the buffer.
  TCanvas Target(PixelSurface(*this));
  Target.CopyRect(X, Y, Bitmap.Surface(), TRect{0, 0, Bitmap.Width(), Bitmap.Height()});
}

void TGuiCustomPixelMap::CopyParentImage(const TControl& Control) {
  TWinControl* Parent = Control.Parent();
  if (Parent == nullptr || FWidth == 0 || FHeight == 0) return;
  TBitmap Image(FWidth, FHeight, pf32bit);
  TCanvas& C = Image.Canvas();
  C.SaveDC();
  C.SetViewportOrg(-Control.Left(), -Control.Top());
  C.IntersectClipRect(Parent->ClientRect());
  Parent->EraseBackground(C);
  Parent->PaintWindow(C);
  C.RestoreDC();
  // The windowless siblings below the control, bottom first.
  const TRect Own = Control.BoundsRect();
  for (int32_t i = 0; i < Parent->ControlCount(); ++i) {
    TControl* Child = Parent->Control(i);
    if (Child == &Control) break;
    if (Child->IsWindowed() || !Child->Visible() || !Intersects(Child->BoundsRect(), Own)) continue;
    C.SaveDC();
    C.SetViewportOrg(Child->Left() - Control.Left(), Child->Top() - Control.Top());
    C.IntersectClipRect(TRect{0, 0, Child->Width(), Child->Height()});
    Child->PaintControl(C);
    C.RestoreDC();
  }
  Draw(Image);
}

}  // namespace kvx
