#include "gui/KVX_GuiCustomMap.h"

#include <memory>

#include "gui/KVX_GuiFileFormats.h"

namespace kvx {

namespace {

const char* const CInvalidBitmapHeader = "Invalid bitmap header found!";

int32_t GetInt32LE(const uint8_t* Bytes) { return static_cast<int32_t>(GetUInt32LE(Bytes)); }

}  // namespace

void WriteUInt16LE(TStream& Stream, uint16_t Value) {
  const uint8_t Bytes[2] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8)};
  Stream.WriteBuffer(Bytes, 2);
}

void WriteUInt32LE(TStream& Stream, uint32_t Value) {
  uint8_t Bytes[4];
  PutUInt32LE(Bytes, Value);
  Stream.WriteBuffer(Bytes, 4);
}

uint16_t GetUInt16LE(const uint8_t* Bytes) {
  return static_cast<uint16_t>(Bytes[0] | (Bytes[1] << 8));
}

uint32_t GetUInt32LE(const uint8_t* Bytes) {
  return uint32_t{Bytes[0]} | (uint32_t{Bytes[1]} << 8) | (uint32_t{Bytes[2]} << 16) |
         (uint32_t{Bytes[3]} << 24);
}

void PutUInt32LE(uint8_t* Bytes, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Bytes[i] = static_cast<uint8_t>(Value >> (8 * i));
}

void TBitmapInfoHeader::WriteTo(uint8_t* Bytes) const {
  PutUInt32LE(Bytes + 0, biSize);
  PutUInt32LE(Bytes + 4, static_cast<uint32_t>(biWidth));
  PutUInt32LE(Bytes + 8, static_cast<uint32_t>(biHeight));
  Bytes[12] = static_cast<uint8_t>(biPlanes);
  Bytes[13] = static_cast<uint8_t>(biPlanes >> 8);
  Bytes[14] = static_cast<uint8_t>(biBitCount);
  Bytes[15] = static_cast<uint8_t>(biBitCount >> 8);
  PutUInt32LE(Bytes + 16, biCompression);
  PutUInt32LE(Bytes + 20, biSizeImage);
  PutUInt32LE(Bytes + 24, static_cast<uint32_t>(biXPelsPerMeter));
  PutUInt32LE(Bytes + 28, static_cast<uint32_t>(biYPelsPerMeter));
  PutUInt32LE(Bytes + 32, biClrUsed);
  PutUInt32LE(Bytes + 36, biClrImportant);
}

TBitmapInfoHeader TBitmapInfoHeader::ReadFrom(const uint8_t* Bytes) {
  TBitmapInfoHeader Header;
  Header.biSize = GetUInt32LE(Bytes + 0);
  Header.biWidth = GetInt32LE(Bytes + 4);
  Header.biHeight = GetInt32LE(Bytes + 8);
  Header.biPlanes = GetUInt16LE(Bytes + 12);
  Header.biBitCount = GetUInt16LE(Bytes + 14);
  Header.biCompression = GetUInt32LE(Bytes + 16);
  Header.biSizeImage = GetUInt32LE(Bytes + 20);
  Header.biXPelsPerMeter = GetInt32LE(Bytes + 24);
  Header.biYPelsPerMeter = GetInt32LE(Bytes + 28);
  Header.biClrUsed = GetUInt32LE(Bytes + 32);
  Header.biClrImportant = GetUInt32LE(Bytes + 36);
  return Header;
}

void TGuiCustomMap::CheckSize(int64_t Width, int64_t Height) const {
  if (Width < 0) throw EArgumentError("Width may not be negative!");
  if (Height < 0) throw EArgumentError("Height may not be negative!");
  if (Width * Height * ElementSize() > CMaxMapDataSize) throw EArgumentError("Map size too large!");
}

void TGuiCustomMap::SetWidth(int32_t Value) {
  if (Value < 0) throw EArgumentError("Width may not be negative!");
  if (Value == FWidth) return;
  CheckSize(Value, FHeight);
  FWidth = Value;
  WidthUpdated(true);
}

void TGuiCustomMap::SetHeight(int32_t Value) {
  if (Value < 0) throw EArgumentError("Height may not be negative!");
  if (Value == FHeight) return;
  CheckSize(FWidth, Value);
  FHeight = Value;
  HeightUpdated(true);
}

void TGuiCustomMap::SetSize(int32_t Width, int32_t Height) {
  CheckSize(Width, Height);
  if (Width == FWidth && Height == FHeight) return;
  FWidth = Width;
  FHeight = Height;
  SizeUpdated();
}

void TGuiCustomMap::NotifyChange() {
  if (FOnChange) FOnChange(this);
}

void TGuiCustomMap::NotifyResize() {
  if (FOnResize) FOnResize(this);
  NotifyChange();
}

void TGuiCustomMap::SizeUpdated() {
  HeightUpdated(false);
  WidthUpdated(false);
  NotifyResize();
}

void TGuiCustomMap::LoadFromFile(const std::string& FileName) {
  TFileStream Stream(FileName, fmOpenRead);
  LoadFromStream(Stream);
}

void TGuiCustomMap::SaveToFile(const std::string& FileName) {
  if (TGuiFileFormatClassRef Format = FindFileFormatByExtension(ExtractFileExt(FileName))) {
    std::unique_ptr<TGuiCustomFileFormat> Instance = Format->Create();
    Instance->Assign(*this);
    Instance->SaveToFile(FileName);
    return;
  }
  TFileStream Stream(FileName, fmCreate);
  SaveToStream(Stream);
}

void TGuiCustomMap::DefineProperties(TFiler& Filer) {
  TPersistent::DefineProperties(Filer);
  // Written only when there is something to write that the ancestor does not already hold.
  const TPersistent* Ancestor = Filer.Ancestor();
  const bool HasData = FDataSize > 0 && !(Ancestor && Equals(*Ancestor));
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& Stream) { ReadPixelData(Stream); },
      [this](TStream& Stream) { WritePixelData(Stream); }, HasData);
}

void TGuiCustomMap::WritePixelData(TStream& Stream) {
  KVX_ASSERT(int64_t{FDataSize} == int64_t{FWidth} * FHeight * ElementSize(), "KVX_GuiCustomMap");
  WriteUInt32LE(Stream, static_cast<uint32_t>(FWidth));
  WriteUInt32LE(Stream, static_cast<uint32_t>(FHeight));
  if (FDataSize > 0) Stream.WriteBuffer(RawData(), FDataSize);
}

void TGuiCustomMap::ReadPixelData(TStream& Stream) {
  try {
    uint8_t Size[8];
    Stream.ReadBuffer(Size, 8);
    const int32_t NewWidth = GetInt32LE(Size);
    const int32_t NewHeight = GetInt32LE(Size + 4);
    CheckSize(NewWidth, NewHeight);
    // Refuse before allocating what the property cannot hold.
    if (int64_t{NewWidth} * NewHeight * ElementSize() > Stream.Remaining())
      throw EStreamError("Map data too short!");
    SetSize(NewWidth, NewHeight);
    KVX_ASSERT(int64_t{FDataSize} == int64_t{FWidth} * FHeight * ElementSize(), "KVX_GuiCustomMap");
    if (FDataSize > 0) Stream.ReadBuffer(RawData(), FDataSize);
  } catch (...) {
    NotifyChange();
    throw;
  }
  NotifyChange();
}

TGuiCustomMap::TBitmapFileHeaders TGuiCustomMap::ReadBitmapHeaders(TStream& Stream) {
  TBitmapFileHeaders Headers;
  Headers.Start = Stream.Position();
  // The file header and the 44 bytes of the smallest info block we accept.
  uint8_t Bytes[CBitmapFileHeaderSize + 44];
  if (Stream.Remaining() < static_cast<int64_t>(sizeof(Bytes)))
    throw Exception(CInvalidBitmapHeader);
  Stream.ReadBuffer(Bytes, sizeof(Bytes));
  if (GetUInt16LE(Bytes) != CBitmapFileType) throw Exception(CInvalidBitmapHeader);
  Headers.OffBits = GetUInt32LE(Bytes + 10);
  Headers.Info = TBitmapInfoHeader::ReadFrom(Bytes + CBitmapFileHeaderSize);
  if (Headers.Info.biSize < 40 || Headers.Info.biWidth < 0 ||
      Headers.Info.biHeight == INT32_MIN || Headers.OffBits < CBitmapFileHeaderSize + 40)
    throw Exception(CInvalidBitmapHeader);
  return Headers;
}

void TGuiCustomMap::WriteBitmapFileHeader(TStream& Stream, uint32_t FileSize, uint32_t OffBits) {
  WriteUInt16LE(Stream, CBitmapFileType);
  WriteUInt32LE(Stream, FileSize);
  WriteUInt16LE(Stream, 0);
  WriteUInt16LE(Stream, 0);
  WriteUInt32LE(Stream, OffBits);
}

}  // namespace kvx
