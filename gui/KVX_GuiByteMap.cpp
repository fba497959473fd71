#include "gui/KVX_GuiByteMap.h"

#include <algorithm>
#include <cstring>

#include "gui/KVX_GuiFileFormats.h"

namespace kvx {

namespace {

const char* const CUnit = "KVX_GuiByteMap";

}  // namespace

// ---- TGuiCustomByteMap -------------------------------------------------------------------------

TGuiCustomByteMap::TGuiCustomByteMap() : FBitmapInfo(std::make_unique<TBitmapInfo8>()) {
  FBitmapInfo->bmiHeader.biSize = 40;
  FBitmapInfo->bmiHeader.biPlanes = 1;
  FBitmapInfo->bmiHeader.biBitCount = 8;
  FBitmapInfo->bmiHeader.biCompression = BI_RGB;
  for (uint32_t i = 0; i < 256; ++i) FBitmapInfo->bmiColors[i] = i | (i << 8) | (i << 16);
}

uint8_t TGuiCustomByteMap::Value(int32_t X, int32_t Y) const { return *ValuePointer(X, Y); }

void TGuiCustomByteMap::SetValue(int32_t X, int32_t Y, uint8_t Value) {
  *ValuePointer(X, Y) = Value;
}

uint8_t* TGuiCustomByteMap::ValuePointer(int32_t X, int32_t Y) {
  KVX_ASSERT(Y >= 0 && Y < FHeight && X >= 0 && X < FWidth, CUnit);
  return FDataPointer + (static_cast<size_t>(Y) * FWidth + X);
}

const uint8_t* TGuiCustomByteMap::ValuePointer(int32_t X, int32_t Y) const {
  return const_cast<TGuiCustomByteMap*>(this)->ValuePointer(X, Y);
}

uint8_t* TGuiCustomByteMap::ScanLine(int32_t Y) {
  KVX_ASSERT(Y >= 0 && Y < FHeight, CUnit);
  return FDataPointer + static_cast<size_t>(Y) * FWidth;
}

const uint8_t* TGuiCustomByteMap::ScanLine(int32_t Y) const {
  return const_cast<TGuiCustomByteMap*>(this)->ScanLine(Y);
}

void TGuiCustomByteMap::Clear() { Clear(0); }

void TGuiCustomByteMap::Clear(uint8_t Data) {
  if (FDataPointer && FDataSize > 0) std::memset(FDataPointer, Data, static_cast<size_t>(FDataSize));
}

void TGuiCustomByteMap::Multiply(uint8_t Factor) {
  if (!FDataPointer) return;
  for (int32_t i = 0; i < FDataSize; ++i)
    FDataPointer[i] = static_cast<uint8_t>((FDataPointer[i] * Factor + 128) >> 8);
}

void TGuiCustomByteMap::Draw(const TGuiCustomByteMap& Source, int32_t X, int32_t Y) {
  const int64_t Left = std::max<int64_t>(X, 0);
  const int64_t Top = std::max<int64_t>(Y, 0);
  const int64_t Right = std::min<int64_t>(FWidth, int64_t{X} + Source.FWidth);
  const int64_t Bottom = std::min<int64_t>(FHeight, int64_t{Y} + Source.FHeight);
  if (Right <= Left || Bottom <= Top) return;
  for (int64_t Row = Top; Row < Bottom; ++Row)
    std::memmove(ScanLine(static_cast<int32_t>(Row)) + Left,
                 Source.ScanLine(static_cast<int32_t>(Row - Y)) + (Left - X),
                 static_cast<size_t>(Right - Left));
}

void TGuiCustomByteMap::Draw(const TGuiCustomByteMap& Source, int32_t X, int32_t Y, uint8_t) {
  Draw(Source, X, Y);
}

void TGuiCustomByteMap::Draw(const TGuiCustomByteMap& Source, uint8_t Alpha) {
  Draw(Source, 0, 0, Alpha);
}

void TGuiCustomByteMap::DrawTransparent(const TGuiCustomByteMap& Source) { Draw(Source, 0, 0); }

void TGuiCustomByteMap::DrawTransparent(const TGuiCustomByteMap& Source, int32_t X, int32_t Y) {
  Draw(Source, X, Y);
}

void TGuiCustomByteMap::FillRect(const TRect& Rect, uint8_t Data) {
  const int32_t Left = std::max(Rect.Left, 0);
  const int32_t Top = std::max(Rect.Top, 0);
  const int32_t Right = std::min(Rect.Right, FWidth);
  const int32_t Bottom = std::min(Rect.Bottom, FHeight);
  if (Right <= Left || Bottom <= Top) return;
  for (int32_t Row = Top; Row < Bottom; ++Row)
    std::memset(ScanLine(Row) + Left, Data, static_cast<size_t>(Right - Left));
}

void TGuiCustomByteMap::FrameRect(const TRect& Rect, uint8_t Data) {
  HorizontalLine(Rect.Left, Rect.Right, Rect.Top, Data);
  HorizontalLine(Rect.Left, Rect.Right, Rect.Bottom - 1, Data);
  VerticalLine(Rect.Left, Rect.Top + 1, Rect.Bottom - 1, Data);
  VerticalLine(Rect.Right - 1, Rect.Top + 1, Rect.Bottom - 1, Data);
}

void TGuiCustomByteMap::HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, uint8_t Data) {
  if (ToX < FromX) std::swap(FromX, ToX);
  if (Y < 0 || Y >= FHeight) return;
  FromX = std::max(FromX, 0);
  ToX = std::min(ToX, FWidth);
  if (ToX <= FromX) return;
  std::memset(ScanLine(Y) + FromX, Data, static_cast<size_t>(ToX - FromX));
}

void TGuiCustomByteMap::HorizontalLine(int32_t FromX, int32_t ToX, int32_t Y, uint8_t FromData,
                                       uint8_t ToData) {
  if (ToX < FromX) std::swap(FromX, ToX);
  if (ToX == FromX || Y < 0 || Y >= FHeight) return;
  const double Delta = static_cast<double>(ToData) - static_cast<double>(FromData);
  const float Step = 1.0f / static_cast<float>(int64_t{ToX} - FromX);
  float T = 0.0f;
  uint8_t* Row = ScanLine(Y);
  for (int64_t X = FromX; X < ToX && X < FWidth; ++X) {
    if (X >= 0) Row[X] = static_cast<uint8_t>(static_cast<int32_t>(FromData + T * Delta));
    T += Step;
  }
}

void TGuiCustomByteMap::VerticalLine(int32_t X, int32_t FromY, int32_t ToY, uint8_t Data) {
  if (ToY < FromY) std::swap(FromY, ToY);
  if (X < 0 || X >= FWidth) return;
  FromY = std::max(FromY, 0);
  ToY = std::min(ToY, FHeight);
  for (int32_t Y = FromY; Y < ToY; ++Y) FDataPointer[static_cast<size_t>(Y) * FWidth + X] = Data;
}

void TGuiCustomByteMap::Line(int32_t FromX, int32_t FromY, int32_t ToX, int32_t ToY, uint8_t Data) {
  if (FromY == ToY) return HorizontalLine(FromX, ToX, FromY, Data);
  if (FromX == ToX) return VerticalLine(FromX, FromY, ToY, Data);
  StepLine(FromX, FromY, ToX, ToY, [this, Data](int64_t X, int64_t Y) {
    if (X >= 0 && X < FWidth && Y >= 0 && Y < FHeight)
      FDataPointer[static_cast<size_t>(Y) * FWidth + X] = Data;
  });
}

void TGuiCustomByteMap::Assign(const TPersistent& Source) {
  if (auto* Map = dynamic_cast<const TGuiCustomByteMap*>(&Source)) {
    if (Map == this) return;
    SetSize(Map->FWidth, Map->FHeight);
    FBitmapInfo->bmiHeader = Map->FBitmapInfo->bmiHeader;
    KVX_ASSERT(FDataSize == Map->FDataSize, CUnit);
    if (FDataSize > 0) std::memcpy(FDataPointer, Map->FDataPointer, static_cast<size_t>(FDataSize));
    FOnChange = Map->FOnChange;
    FOnResize = Map->FOnResize;
    return;
  }
  TGuiCustomMap::Assign(Source);
}

void TGuiCustomByteMap::AssignTo(TPersistent& Dest) const {
  if (auto* Map = dynamic_cast<TGuiCustomByteMap*>(&Dest)) {
    Map->Assign(*this);
    return;
  }
  TGuiCustomMap::AssignTo(Dest);
}

bool TGuiCustomByteMap::Equals(const TPersistent& Obj) const {
  if (auto* Map = dynamic_cast<const TGuiCustomByteMap*>(&Obj)) {
    if (Map == this) return true;
    if (Map->FWidth != FWidth || Map->FHeight != FHeight || Map->FDataSize != FDataSize)
      return false;
    return FDataSize == 0 ||
           std::memcmp(Map->FDataPointer, FDataPointer, static_cast<size_t>(FDataSize)) == 0;
  }
  return TGuiCustomMap::Equals(Obj);
}

void TGuiCustomByteMap::SaveToStream(TStream& Stream) {
  constexpr uint32_t OffBits = CBitmapFileHeaderSize + sizeof(TBitmapInfo8);
  // BMP rows of 8-bit images are padded to whole 4-byte units.
  const uint32_t Stride = (static_cast<uint32_t>(FWidth) + 3) & ~3u;
  const uint64_t FileSize = OffBits + uint64_t{Stride} * static_cast<uint32_t>(FHeight);
  if (FileSize > UINT32_MAX) throw Exception("Map too large for a bitmap file!");
  WriteBitmapFileHeader(Stream, static_cast<uint32_t>(FileSize), OffBits);
  std::vector<uint8_t> Info(sizeof(TBitmapInfo8));
  FBitmapInfo->bmiHeader.WriteTo(Info.data());
  for (int i = 0; i < 256; ++i) PutUInt32LE(Info.data() + 40 + 4 * i, FBitmapInfo->bmiColors[i]);
  Stream.WriteBuffer(Info.data(), static_cast<int64_t>(Info.size()));
  std::vector<uint8_t> Row(Stride, 0);
  for (int32_t Y = 0; Y < FHeight; ++Y) {
    std::memcpy(Row.data(), ScanLine(Y), static_cast<size_t>(FWidth));
    Stream.WriteBuffer(Row.data(), Stride);
  }
}

void TGuiCustomByteMap::LoadFromStream(TStream& Stream) {
  if (TGuiFileFormatClassRef Format = FindFileFormatByStream(Stream)) {
    std::unique_ptr<TGuiCustomFileFormat> Instance = Format->Create();
    Instance->LoadFromStream(Stream);
    Instance->AssignTo(*this);
    return;
  }

  const TBitmapFileHeaders Headers = ReadBitmapHeaders(Stream);
  const TBitmapInfoHeader& Info = Headers.Info;
  if (Info.biBitCount != 8 || Info.biCompression != BI_RGB)
    throw Exception("Unsupported bitmap format!");

  // The palette follows the info header and ends where the rows begin.
  const int64_t PaletteStart = int64_t{CBitmapFileHeaderSize} + Info.biSize;
  const uint32_t PaletteCount = Info.biClrUsed == 0 ? 256 : Info.biClrUsed;
  if (PaletteCount > 256 || PaletteStart + int64_t{PaletteCount} * 4 > Headers.OffBits)
    throw Exception("Invalid bitmap header found!");

  const int32_t NewWidth = Info.biWidth;
  const int32_t NewHeight = Info.biHeight < 0 ? -Info.biHeight : Info.biHeight;
  CheckSize(NewWidth, NewHeight);
  const int64_t Stride = (int64_t{NewWidth} + 3) & ~int64_t{3};
  const int64_t Bytes = Stride * NewHeight;
  if (Headers.OffBits + Bytes > Stream.Size() - Headers.Start)
    throw EStreamError("Bitmap data too short!");

  uint8_t Palette[256 * 4] = {};
  Stream.SetPosition(Headers.Start + PaletteStart);
  Stream.ReadBuffer(Palette, PaletteCount * 4);
  // Each entry's grey level; an index beyond the palette reads as black.
  uint8_t Grey[256] = {};
  for (uint32_t i = 0; i < PaletteCount; ++i) {
    const uint32_t B = Palette[4 * i], G = Palette[4 * i + 1], R = Palette[4 * i + 2];
    Grey[i] = static_cast<uint8_t>((R * 77 + G * 150 + B * 29 + 128) >> 8);
  }

  std::vector<uint8_t> Rows(static_cast<size_t>(Bytes));
  Stream.SetPosition(Headers.Start + Headers.OffBits);
  if (Bytes > 0) Stream.ReadBuffer(Rows.data(), Bytes);

  SetSize(NewWidth, NewHeight);
  for (int32_t Y = 0; Y < NewHeight; ++Y) {
    const int32_t SourceRow = Info.biHeight < 0 ? Y : NewHeight - 1 - Y;
    const uint8_t* Source = Rows.data() + static_cast<size_t>(SourceRow) * Stride;
    uint8_t* Destination = ScanLine(Y);
    for (int32_t X = 0; X < NewWidth; ++X) Destination[X] = Grey[Source[X]];
  }
  NotifyChange();
}

void TGuiCustomByteMap::HeightUpdated(bool UpdateBuffer) {
  FBitmapInfo->bmiHeader.biHeight = -FHeight;
  if (UpdateBuffer) NotifyResize();
}

void TGuiCustomByteMap::WidthUpdated(bool UpdateBuffer) {
  FBitmapInfo->bmiHeader.biWidth = FWidth;
  if (UpdateBuffer) NotifyResize();
}

// ---- TGuiByteMapMemory -------------------------------------------------------------------------

void TGuiByteMapMemory::ReallocateBuffer() {
  const int64_t NewSize = int64_t{FWidth} * FHeight;
  KVX_ASSERT(NewSize >= 0 && NewSize <= CMaxMapDataSize, CUnit);
  if (NewSize == FDataSize) return;
  try {
    std::vector<uint8_t> Buffer(static_cast<size_t>(NewSize));
    FBuffer.swap(Buffer);
  } catch (...) {
    FBuffer = {};
    FDataPointer = nullptr;
    FDataSize = 0;
    FWidth = FHeight = 0;
    TGuiCustomByteMap::HeightUpdated(false);
    TGuiCustomByteMap::WidthUpdated(false);
    throw;
  }
  FDataSize = static_cast<int32_t>(NewSize);
  FDataPointer = FBuffer.empty() ? nullptr : FBuffer.data();
}

// As for pixel maps, the buffer matches the size before the events fire.
void TGuiByteMapMemory::HeightUpdated(bool UpdateBuffer) {
  TGuiCustomByteMap::HeightUpdated(false);
  ReallocateBuffer();
  if (UpdateBuffer) NotifyResize();
}

void TGuiByteMapMemory::WidthUpdated(bool UpdateBuffer) {
  TGuiCustomByteMap::WidthUpdated(false);
  ReallocateBuffer();
  if (UpdateBuffer) NotifyResize();
}

void TGuiByteMapMemory::Resize(int32_t Width, int32_t Height) {
  CheckSize(Width, Height);
  if (Width == FWidth && Height == FHeight) return;
  std::vector<uint8_t> Buffer(static_cast<size_t>(Width) * Height);
  const int32_t CopyWidth = std::min(Width, FWidth);
  const int32_t CopyHeight = std::min(Height, FHeight);
  for (int32_t Row = 0; Row < CopyHeight; ++Row)
    std::memcpy(Buffer.data() + static_cast<size_t>(Row) * Width,
                FDataPointer + static_cast<size_t>(Row) * FWidth, static_cast<size_t>(CopyWidth));
  FBuffer.swap(Buffer);
  FWidth = Width;
  FHeight = Height;
  FDataSize = Width * Height;
  FDataPointer = FBuffer.empty() ? nullptr : FBuffer.data();
  TGuiCustomByteMap::HeightUpdated(false);
  TGuiCustomByteMap::WidthUpdated(false);
}

void TGuiByteMapMemory::Turn(bool CounterClockwise) {
  const int32_t OldWidth = FWidth;
  const int32_t OldHeight = FHeight;
  std::vector<uint8_t> Buffer(FBuffer.size());
  for (int32_t Y = 0; Y < OldHeight; ++Y)
    for (int32_t X = 0; X < OldWidth; ++X) {
      const size_t NewX = CounterClockwise ? Y : OldHeight - 1 - Y;
      const size_t NewY = CounterClockwise ? OldWidth - 1 - X : X;
      Buffer[NewY * OldHeight + NewX] = FDataPointer[static_cast<size_t>(Y) * OldWidth + X];
    }
  FBuffer.swap(Buffer);
  FDataPointer = FBuffer.empty() ? nullptr : FBuffer.data();
  FWidth = OldHeight;
  FHeight = OldWidth;
  TGuiCustomByteMap::HeightUpdated(false);
  TGuiCustomByteMap::WidthUpdated(false);
}

// ---- the platform's paint routes ---------------------------------------------------------------

namespace {

TSurface ByteSurface(const TGuiCustomByteMap& Map) {
  return TSurface{const_cast<uint8_t*>(Map.DataPointer()), Map.Width(), Map.Height(), Map.Width(), pf8bit};
}

// The part of a map that a Rect form of PaintTo copies.
TRect PaintSource(int32_t Width, int32_t Height, const TRect& Rect) {
  return Bounds(Rect.Left, Rect.Top, std::min(Width, Rect.Width()), std::min(Height, Rect.Height()));
}

}  // namespace

void TGuiCustomByteMap::PaintTo(TCanvas& Canvas, int32_t X, int32_t Y) {
  Canvas.CopyRect(X, Y, ByteSurface(*this), ClientRect());
}

void TGuiCustomByteMap::PaintTo(TCanvas& Canvas, const TRect& Rect, int32_t X, int32_t Y) {
  const TRect Source = PaintSource(FWidth, FHeight, Rect);
  if (Source.IsEmpty()) return;
  Canvas.CopyRect(X, Y, ByteSurface(*this), Source);
}

void TGuiCustomByteMap::Draw(const TBitmap& Bitmap, int32_t, int32_t) {
  if (Bitmap.Height() == 0 || FDataPointer == nullptr) return;
  // The bitmap's rows as grey levels into the map's rows from its first byte; what does not
  // fit in the map is left out.
  TCanvas Target(ByteSurface(*this));
  Target.CopyRect(0, 0, Bitmap.Surface(), TRect{0, 0, Bitmap.Width(), Bitmap.Height()});
}

// ---- TGuiByteMapDIB ----------------------------------------------------------------------------

TGuiByteMapDIB::~TGuiByteMapDIB() { ReleaseBitmap(); }

void TGuiByteMapDIB::ReleaseBitmap() {
  FBitmap.reset();
  FDataPointer = nullptr;
  FDataSize = 0;
}

void TGuiByteMapDIB::AllocateBitmap() {
  if (FBitmap && FBitmap->Width() == FWidth && FBitmap->Height() == FHeight) return;
  ReleaseBitmap();
  const int64_t Size = int64_t{FWidth} * FHeight;
  KVX_ASSERT(Size >= 0 && Size <= CMaxMapDataSize, CUnit);
  if (Size == 0) return;
  try {
    FBitmap = std::make_unique<TBitmap>(FWidth, FHeight, pf8bit);
  } catch (const std::bad_alloc&) {
    ReleaseBitmap();
    throw Exception("Could not create the bitmap of a byte map");
  }
  FDataPointer = FBitmap->ScanLine(0);
  FDataSize = static_cast<int32_t>(Size);
}

void TGuiByteMapDIB::SizeUpdated() { TGuiCustomByteMap::SizeUpdated(); }

// As for memory maps, the bitmap matches the size before the events fire.
void TGuiByteMapDIB::HeightUpdated(bool UpdateBuffer) {
  TGuiCustomByteMap::HeightUpdated(false);
  AllocateBitmap();
  if (UpdateBuffer) NotifyResize();
}

void TGuiByteMapDIB::WidthUpdated(bool UpdateBuffer) {
  TGuiCustomByteMap::WidthUpdated(false);
  AllocateBitmap();
  if (UpdateBuffer) NotifyResize();
}

void TGuiByteMapDIB::PaintTo(TCanvas& Canvas, int32_t X, int32_t Y) {
  if (!FBitmap) return;
  Canvas.BitBlt(X, Y, FWidth, FHeight, FBitmap->Canvas(), 0, 0);
}

void TGuiByteMapDIB::PaintTo(TCanvas& Canvas, const TRect& Rect, int32_t X, int32_t Y) {
  if (!FBitmap) return;
  const TRect Source = PaintSource(FWidth, FHeight, Rect);
  if (Source.IsEmpty()) return;
  Canvas.BitBlt(X, Y, Source.Width(), Source.Height(), FBitmap->Canvas(), Source.Left, Source.Top);
}

void TGuiByteMapDIB::Draw(const TBitmap&, int32_t, int32_t) {}

void TGuiByteMapDIB::Resize(int32_t Width, int32_t Height) {
  CheckSize(Width, Height);
  if (Width == FWidth && Height == FHeight) return;
  std::vector<uint8_t> Old(FDataPointer, FDataPointer + FDataSize);
  const int32_t OldWidth = FWidth, OldHeight = FHeight;
  FWidth = Width;
  FHeight = Height;
  TGuiCustomByteMap::HeightUpdated(false);
  TGuiCustomByteMap::WidthUpdated(false);
  AllocateBitmap();
  const int32_t CopyWidth = std::min(Width, OldWidth), CopyHeight = std::min(Height, OldHeight);
  for (int32_t Row = 0; Row < CopyHeight && FDataPointer != nullptr; ++Row)
    std::memcpy(FDataPointer + static_cast<size_t>(Row) * Width, Old.data() + static_cast<size_t>(Row) * OldWidth,
                static_cast<size_t>(CopyWidth));
}

void TGuiByteMapDIB::Turn(bool CounterClockwise) {
  const int32_t OldWidth = FWidth, OldHeight = FHeight;
  std::vector<uint8_t> Rotated(static_cast<size_t>(FDataSize));
  for (int32_t Y = 0; Y < OldHeight; ++Y)
    for (int32_t X = 0; X < OldWidth; ++X) {
      const size_t NewX = CounterClockwise ? Y : OldHeight - 1 - Y;
      const size_t NewY = CounterClockwise ? OldWidth - 1 - X : X;
      Rotated[NewY * OldHeight + NewX] = FDataPointer[static_cast<size_t>(Y) * OldWidth + X];
    }
  // The bitmap keeps the geometry it was created with; only the bytes and the sizes turn.
  if (!Rotated.empty()) std::memcpy(FDataPointer, Rotated.data(), Rotated.size());
  FWidth = OldHeight;
  FHeight = OldWidth;
  TGuiCustomByteMap::HeightUpdated(false);
  TGuiCustomByteMap::WidthUpdated(false);
}

}  // namespace kvx
