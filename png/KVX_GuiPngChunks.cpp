#include "png/KVX_GuiPngChunks.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>

namespace kvx {

// ---- CRC and zlib -------------------------------------------------------------------------------

namespace {

// Eight tables for eight bytes per step; table 0 is the classic byte-wise table.
struct TCrcTable {
  uint32_t Entries[8][256];
  TCrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      Entries[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
      for (int t = 1; t < 8; ++t) Entries[t][n] = (Entries[t - 1][n] >> 8) ^ Entries[0][Entries[t - 1][n] & 0xFF];
  }
};

const TCrcTable& CrcTable() {
  static const TCrcTable table;
  return table;
}

// Built when the unit starts, so that no later first use races.
[[maybe_unused]] const TCrcTable& GCrcTableAtStart = CrcTable();

}  // namespace

uint32_t CalculateCRC(const uint8_t* Data, size_t Size, uint32_t Crc) {
  const auto& t = CrcTable().Entries;
  while (Size >= 8) {
    const uint32_t lo = Crc ^ (uint32_t{Data[0]} | uint32_t{Data[1]} << 8 | uint32_t{Data[2]} << 16 | uint32_t{Data[3]} << 24);
    Crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][Data[4]] ^
          t[2][Data[5]] ^ t[1][Data[6]] ^ t[0][Data[7]];
    Data += 8;
    Size -= 8;
  }
  while (Size-- > 0) Crc = t[0][(Crc ^ *Data++) & 0xFF] ^ (Crc >> 8);
  return Crc;
}

void InflateStream(const uint8_t* Buffer, size_t Size, TStream& Output, uint64_t MaxOutput) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EPngError("Error during decompression");
  uint8_t work[32768];
  size_t fed = 0;
  uint64_t produced = 0;
  try {
    // The stream is inflated to its end even when the output is complete earlier, so that the
    // inflater reaches the Adler-32 check value and verifies it; what lies beyond MaxOutput is
    // dropped.
    for (;;) {
      if (z.avail_in == 0 && fed < Size) {
        const size_t n = std::min<size_t>(Size - fed, 1u << 30);
        z.next_in = const_cast<Bytef*>(Buffer + fed);
        z.avail_in = static_cast<uInt>(n);
        fed += n;
      }
      z.next_out = work;
      z.avail_out = sizeof work;
      const uInt inBefore = z.avail_in;
      const int r = inflate(&z, Z_NO_FLUSH);
      const uInt made = sizeof work - z.avail_out;
      const uint64_t keep = std::min<uint64_t>(made, MaxOutput - produced);
      if (keep > 0) Output.WriteBuffer(work, static_cast<int64_t>(keep));
      produced += keep;
      if (r == Z_STREAM_END) break;
      // A check value that is there and wrong means corrupt data that decoded without a
      // complaint: refuse it. A stream cut before its check value is taken as it is.
      if (r == Z_DATA_ERROR && z.msg && std::strcmp(z.msg, "incorrect data check") == 0)
        throw EPngError("Incorrect data check");
      // Another error of the inflater (corrupt or missing data) and a step without progress end
      // inflation; whatever was produced stays.
      if (r != Z_OK) break;
      if (made == 0 && inBefore == z.avail_in) break;
    }
  } catch (...) {
    inflateEnd(&z);
    throw;
  }
  if (inflateEnd(&z) > 0) throw EPngError("Error on stream validation");
}

void DeflateStream(const uint8_t* Buffer, size_t Size, TStream& Output, int Level) {
  z_stream z{};
  if (deflateInit(&z, Level) != Z_OK) throw EPngError("Error during compression");
  uint8_t work[32768];
  size_t fed = 0;
  try {
    for (;;) {
      if (z.avail_in == 0 && fed < Size) {
        const size_t n = std::min<size_t>(Size - fed, 1u << 30);
        z.next_in = const_cast<Bytef*>(Buffer + fed);
        z.avail_in = static_cast<uInt>(n);
        fed += n;
      }
      z.next_out = work;
      z.avail_out = sizeof work;
      const int r = deflate(&z, fed < Size ? Z_NO_FLUSH : Z_FINISH);
      const uInt made = sizeof work - z.avail_out;
      if (made > 0) Output.WriteBuffer(work, made);
      if (r == Z_STREAM_END) break;
      if (r != Z_OK && r != Z_BUF_ERROR) throw EPngError("Error during compression");
    }
  } catch (...) {
    deflateEnd(&z);
    throw;
  }
  if (deflateEnd(&z) != Z_OK) throw EPngError("Error on stream validation");
}

// ---- reader and writer --------------------------------------------------------------------------

void TPngChunkReader::Need(size_t Count) const {
  if (FSize - FPosition < Count) throw EPngError("Chunk too small");
}

uint8_t TPngChunkReader::U8() {
  Need(1);
  return FData[FPosition++];
}

uint16_t TPngChunkReader::U16() {
  Need(2);
  const uint16_t v = ReadBigEndian16(FData + FPosition);
  FPosition += 2;
  return v;
}

uint32_t TPngChunkReader::U32() {
  Need(4);
  const uint32_t v = ReadBigEndian32(FData + FPosition);
  FPosition += 4;
  return v;
}

std::string TPngChunkReader::ZeroTerminated(int MaxLength) {
  const uint8_t* start = FData + FPosition;
  const uint8_t* end = FData + FSize;
  // An empty chunk has no data pointer at all; memchr must not see it.
  const uint8_t* zero =
      start == end ? nullptr : static_cast<const uint8_t*>(std::memchr(start, 0, static_cast<size_t>(end - start)));
  const size_t length = static_cast<size_t>((zero ? zero : end) - start);
  FPosition += length + (zero ? 1 : 0);
  return std::string(reinterpret_cast<const char*>(start), std::min<size_t>(length, static_cast<size_t>(MaxLength)));
}

std::vector<uint8_t> TPngChunkReader::Rest() {
  std::vector<uint8_t> v(FData + FPosition, FData + FSize);
  FPosition = FSize;
  return v;
}

void TPngChunkWriter::U16(uint16_t V) {
  FData.push_back(static_cast<uint8_t>(V >> 8));
  FData.push_back(static_cast<uint8_t>(V));
}

void TPngChunkWriter::U32(uint32_t V) {
  uint8_t b[4];
  WriteBigEndian32(b, V);
  FData.insert(FData.end(), b, b + 4);
}

void TPngChunkWriter::Bytes(const void* Data, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Data);
  FData.insert(FData.end(), p, p + Size);
}

void TPngChunkWriter::ZeroTerminated(const std::string& S) {
  // An embedded zero would end the string early for every reader: write up to it.
  const size_t n = std::min(S.find('\0'), S.size());
  Bytes(S.data(), n);
  U8(0);
}

// ---- framing ------------------------------------------------------------------------------------

TCustomChunkPng::TCustomChunkPng() { FChunkFlags = TChunkFlags{cfSizeFirst, cfReversedByteOrder}; }

void TCustomChunkPng::LoadFromStream(TStream& Stream) {
  TDefinedChunk::LoadFromStream(Stream);
  if (static_cast<uint64_t>(Stream.Remaining()) < FChunkSize || Stream.Remaining() < 0)
    throw EPngError("Chunk data beyond the end of the stream");
  if (FChunkSize < MinimumDataSize()) throw EPngError("Chunk too small");
  std::vector<uint8_t> data(FChunkSize);
  Stream.ReadBuffer(data.data(), FChunkSize);
  TPngChunkReader reader(data.data(), data.size());
  ReadData(reader);
}

void TCustomChunkPng::SaveToStream(TStream& Stream) {
  TPngChunkWriter writer;
  WriteData(writer);
  if (writer.Data().size() > 0x7FFFFFFFu) throw EPngError("Chunk too large");
  FChunkSize = static_cast<uint32_t>(writer.Data().size());
  InitChunkName();
  WriteHeader(Stream);
  Stream.WriteBuffer(writer.Data().data(), static_cast<int64_t>(writer.Data().size()));
}

void TCustomChunkPng::Assign(const TCustomChunk& Source) {
  TDefinedChunk::Assign(Source);
  if (typeid(Source) != typeid(*this)) return;
  TPngChunkWriter writer;
  static_cast<const TCustomChunkPng&>(Source).WriteData(writer);
  TPngChunkReader reader(writer.Data().data(), writer.Data().size());
  ReadData(reader);
}

TUnknownPngChunk::TUnknownPngChunk() { FChunkFlags = TChunkFlags{cfSizeFirst, cfReversedByteOrder}; }

TCustomChunkPngWithHeader::TCustomChunkPngWithHeader(TChunkPngImageHeader* Header) : FHeader(Header) {
  if (!Header) throw EPngError("Chunk needs an image header");
}

// ---- IHDR ---------------------------------------------------------------------------------------

TChunkPngImageHeader::TChunkPngImageHeader() { InitChunkName(); }
TChunkName TChunkPngImageHeader::GetClassChunkName() const { return MakeChunkName("IHDR"); }

void TChunkPngImageHeader::ResetToDefault() {
  FWidth = FHeight = 0;
  FBitDepth = 8;
  FColorType = ctTrueColor;
  FCompressionMethod = 0;
  FFilterMethod = fmAdaptiveFilter;
  FInterlaceMethod = imNone;
}

void TChunkPngImageHeader::Assign(const TCustomChunk& Source) {
  TDefinedChunk::Assign(Source);
  if (const auto* h = dynamic_cast<const TChunkPngImageHeader*>(&Source)) {
    FWidth = h->FWidth;
    FHeight = h->FHeight;
    FBitDepth = h->FBitDepth;
    FColorType = h->FColorType;
    FCompressionMethod = h->FCompressionMethod;
    FFilterMethod = h->FFilterMethod;
    FInterlaceMethod = h->FInterlaceMethod;
  }
}

void TChunkPngImageHeader::ReadData(TPngChunkReader& Reader) {
  FWidth = Reader.U32();
  FHeight = Reader.U32();
  FBitDepth = Reader.U8();
  FColorType = Reader.U8();
  FCompressionMethod = Reader.U8();
  FFilterMethod = Reader.U8();
  FInterlaceMethod = Reader.U8();
  if (FWidth == 0 || FHeight == 0 || FWidth > CPngMaxDimension || FHeight > CPngMaxDimension)
    throw EPngError("Invalid image size");
  switch (FColorType) {
    case ctGrayscale:
      if (FBitDepth != 1 && FBitDepth != 2 && FBitDepth != 4 && FBitDepth != 8 && FBitDepth != 16)
        throw EPngError("Invalid bit depth for grayscale images");
      break;
    case ctTrueColor:
    case ctGrayscaleAlpha:
    case ctTrueColorAlpha:
      if (FBitDepth != 8 && FBitDepth != 16) throw EPngError("Invalid bit depth for this colour type");
      break;
    case ctIndexedColor:
      if (FBitDepth != 1 && FBitDepth != 2 && FBitDepth != 4 && FBitDepth != 8)
        throw EPngError("Invalid bit depth for palette images");
      break;
    default:
      break;
  }
  if (FCompressionMethod != 0) throw EPngError("Unsupported compression method");
  if (FFilterMethod != 0) throw EPngError("Unsupported filter method");
  if (FInterlaceMethod > 1) throw EPngError("Unsupported interlace method");
}

void TChunkPngImageHeader::WriteData(TPngChunkWriter& Writer) const {
  Writer.U32(FWidth);
  Writer.U32(FHeight);
  Writer.U8(FBitDepth);
  Writer.U8(FColorType);
  Writer.U8(FCompressionMethod);
  Writer.U8(FFilterMethod);
  Writer.U8(FInterlaceMethod);
}

uint64_t TChunkPngImageHeader::BytesPerRow(uint64_t PixelCount) const {
  const uint64_t depth = FBitDepth;
  switch (FColorType) {
    case ctGrayscale:
    case ctIndexedColor: return (PixelCount * depth + 7) / 8;
    case ctTrueColor: return depth / 8 * 3 * PixelCount;
    case ctGrayscaleAlpha: return depth / 8 * 2 * PixelCount;
    case ctTrueColorAlpha: return depth / 8 * 4 * PixelCount;
    default: throw EPngError("Unsupported colour type");
  }
}

int TChunkPngImageHeader::PixelByteSize() const {
  switch (FColorType) {
    case ctGrayscale: return FBitDepth == 16 ? 2 : 1;
    case ctIndexedColor: return 1;
    case ctTrueColor: return FBitDepth * 3 / 8;
    case ctGrayscaleAlpha: return FBitDepth / 4;
    case ctTrueColorAlpha: return FBitDepth / 2;
    default: return 0;
  }
}

// ---- PLTE ---------------------------------------------------------------------------------------

TChunkName TChunkPngPalette::GetClassChunkName() const { return MakeChunkName("PLTE"); }

void TChunkPngPalette::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) throw EPngError("Palette index out of range (" + std::to_string(Index) + ")");
}

void TChunkPngPalette::SetCount(int Value) {
  if (Value > 256) throw EPngError("Palette holds more than 256 entries");
  FPaletteEntries.resize(static_cast<size_t>(std::max(0, Value)), TRGB24{0, 0, 0});
}

TRGB24 TChunkPngPalette::GetPaletteEntry(int Index) const {
  CheckIndex(Index);
  return FPaletteEntries[static_cast<size_t>(Index)];
}

void TChunkPngPalette::SetPaletteEntry(int Index, TRGB24 Value) {
  CheckIndex(Index);
  FPaletteEntries[static_cast<size_t>(Index)] = Value;
}

void TChunkPngPalette::ReadData(TPngChunkReader& Reader) {
  if (Reader.Remaining() % 3 != 0) throw EPngError("Palette size is not a multiple of 3");
  if (Reader.Remaining() / 3 > 256) throw EPngError("Palette holds more than 256 entries");
  FPaletteEntries.resize(Reader.Remaining() / 3);
  for (TRGB24& e : FPaletteEntries) {
    e.R = Reader.U8();
    e.G = Reader.U8();
    e.B = Reader.U8();
  }
}

void TChunkPngPalette::WriteData(TPngChunkWriter& Writer) const {
  for (const TRGB24& e : FPaletteEntries) {
    Writer.U8(e.R);
    Writer.U8(e.G);
    Writer.U8(e.B);
  }
}

// ---- tRNS ---------------------------------------------------------------------------------------

void TPngTransparencyFormat2::LoadFromStream(TPngChunkReader& Reader) {
  RedSampleValue = Reader.U16();
  GreenSampleValue = Reader.U16();
  BlueSampleValue = Reader.U16();
}

void TPngTransparencyFormat2::SaveToStream(TPngChunkWriter& Writer) const {
  Writer.U16(RedSampleValue);
  Writer.U16(GreenSampleValue);
  Writer.U16(BlueSampleValue);
}

void TPngTransparencyFormat3::LoadFromStream(TPngChunkReader& Reader) {
  if (Reader.Remaining() > 256) throw EPngError("Transparency holds more than 256 entries");
  FTransparency = Reader.Rest();
}

void TPngTransparencyFormat3::SaveToStream(TPngChunkWriter& Writer) const {
  Writer.Bytes(FTransparency.data(), FTransparency.size());
}

uint8_t TPngTransparencyFormat3::Transparency(int Index) const {
  if (Index < 0 || Index >= Count()) throw EPngError("Transparency index out of range (" + std::to_string(Index) + ")");
  return FTransparency[static_cast<size_t>(Index)];
}

void TPngTransparencyFormat3::SetTransparency(int Index, uint8_t Value) {
  if (Index < 0 || Index >= Count()) throw EPngError("Transparency index out of range (" + std::to_string(Index) + ")");
  FTransparency[static_cast<size_t>(Index)] = Value;
}

void TPngTransparencyFormat3::SetCount(int Value) {
  if (Value > 256) throw EPngError("Transparency holds more than 256 entries");
  FTransparency.resize(static_cast<size_t>(std::max(0, Value)), 255);
}

namespace {

std::unique_ptr<TCustomPngTransparency> TransparencyFor(uint8_t ColorType) {
  switch (ColorType) {
    case ctGrayscale: return std::make_unique<TPngTransparencyFormat0>();
    case ctTrueColor: return std::make_unique<TPngTransparencyFormat2>();
    case ctIndexedColor: return std::make_unique<TPngTransparencyFormat3>();
    default: return nullptr;
  }
}

bool TransparencySuits(const TCustomPngTransparency* T, uint8_t ColorType) {
  switch (ColorType) {
    case ctGrayscale: return dynamic_cast<const TPngTransparencyFormat0*>(T) != nullptr;
    case ctTrueColor: return dynamic_cast<const TPngTransparencyFormat2*>(T) != nullptr;
    case ctIndexedColor: return dynamic_cast<const TPngTransparencyFormat3*>(T) != nullptr;
    default: return T == nullptr;
  }
}

}  // namespace

TChunkPngTransparency::TChunkPngTransparency(TChunkPngImageHeader* Header)
    : TCustomChunkPngWithHeader(Header), FTransparency(TransparencyFor(Header->ColorType())) {
  InitChunkName();
}

TChunkName TChunkPngTransparency::GetClassChunkName() const { return MakeChunkName("tRNS"); }

void TChunkPngTransparency::HeaderChanged() {
  if (!TransparencySuits(FTransparency.get(), FHeader->ColorType()))
    FTransparency = TransparencyFor(FHeader->ColorType());
}

void TChunkPngTransparency::ReadData(TPngChunkReader& Reader) {
  if (FTransparency) FTransparency->LoadFromStream(Reader);
}

void TChunkPngTransparency::WriteData(TPngChunkWriter& Writer) const {
  if (FTransparency) FTransparency->SaveToStream(Writer);
}

void TChunkPngTransparency::SaveToStream(TStream& Stream) {
  if (!FTransparency || !TransparencySuits(FTransparency.get(), FHeader->ColorType()))
    throw EPngError("Transparency does not suit the colour type");
  TCustomChunkPngWithHeader::SaveToStream(Stream);
}

// ---- gAMA, cHRM, sRGB, iCCP ---------------------------------------------------------------------

TChunkName TChunkPngGamma::GetClassChunkName() const { return MakeChunkName("gAMA"); }

void TChunkPngGamma::SetGammaAsSingle(float V) {
  const double g = std::nearbyint(static_cast<double>(V) * 1e5);
  FGamma = g <= 0 ? 0u : g >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(g);
}

TChunkName TChunkPngPrimaryChromaticities::GetClassChunkName() const { return MakeChunkName("cHRM"); }

void TChunkPngPrimaryChromaticities::ReadData(TPngChunkReader& Reader) {
  for (int32_t* f : {&WhiteX, &WhiteY, &RedX, &RedY, &GreenX, &GreenY, &BlueX, &BlueY}) *f = Reader.I32();
}

void TChunkPngPrimaryChromaticities::WriteData(TPngChunkWriter& Writer) const {
  for (int32_t f : {WhiteX, WhiteY, RedX, RedY, GreenX, GreenY, BlueX, BlueY}) Writer.I32(f);
}

TChunkName TChunkPngStandardColorSpaceRGB::GetClassChunkName() const { return MakeChunkName("sRGB"); }

TChunkName TChunkPngEmbeddedIccProfile::GetClassChunkName() const { return MakeChunkName("iCCP"); }

void TChunkPngEmbeddedIccProfile::ReadData(TPngChunkReader& Reader) {
  ProfileName = Reader.ZeroTerminated(CPngMaxKeywordLength);
  CompressionMethod = Reader.U8();
  CompressedProfile = Reader.Rest();
}

void TChunkPngEmbeddedIccProfile::WriteData(TPngChunkWriter& Writer) const {
  Writer.ZeroTerminated(ProfileName);
  Writer.U8(CompressionMethod);
  Writer.Bytes(CompressedProfile.data(), CompressedProfile.size());
}

// ---- tIME ---------------------------------------------------------------------------------------

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t Y, int M, int D) {
  Y -= M <= 2;
  const int64_t era = (Y >= 0 ? Y : Y - 399) / 400;
  const int64_t yoe = Y - era * 400;
  const int64_t doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t Z, int64_t& Y, int& M, int& D) {
  Z += 719468;
  const int64_t era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const int64_t doe = Z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  D = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  M = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  Y = yoe + era * 400 + (M <= 2);
}

constexpr int64_t CDateDelta = 25569;  // days from 1899-12-30 to 1970-01-01

}  // namespace

TChunkName TChunkPngTime::GetClassChunkName() const { return MakeChunkName("tIME"); }

double TChunkPngTime::ModifiedDateTime() const {
  if (Month < 1 || Month > 12 || Day < 1 || Day > 31) return 0;
  const int64_t days = DaysFromCivil(Year, Month, Day) + CDateDelta;
  return static_cast<double>(days) + (Hour * 3600.0 + Minute * 60.0 + Second) / 86400.0;
}

void TChunkPngTime::SetModifiedDateTime(double Value) {
  if (!std::isfinite(Value) || std::fabs(Value) > 1e8) throw EPngError("Invalid date");
  const double day = std::floor(Value);
  int64_t seconds = static_cast<int64_t>(std::nearbyint((Value - day) * 86400.0));
  int64_t days = static_cast<int64_t>(day) - CDateDelta;
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  int64_t y;
  int m, d;
  CivilFromDays(days, y, m, d);
  if (y < 0 || y > 65535) throw EPngError("Invalid date");
  Year = static_cast<uint16_t>(y);
  Month = static_cast<uint8_t>(m);
  Day = static_cast<uint8_t>(d);
  Hour = static_cast<uint8_t>(seconds / 3600);
  Minute = static_cast<uint8_t>(seconds / 60 % 60);
  Second = static_cast<uint8_t>(seconds % 60);
}

void TChunkPngTime::ReadData(TPngChunkReader& Reader) {
  Year = Reader.U16();
  Month = Reader.U8();
  Day = Reader.U8();
  Hour = Reader.U8();
  Minute = Reader.U8();
  Second = Reader.U8();
}

void TChunkPngTime::WriteData(TPngChunkWriter& Writer) const {
  Writer.U16(Year);
  for (uint8_t v : {Month, Day, Hour, Minute, Second}) Writer.U8(v);
}

// ---- pHYs, oFFs, pCAL ---------------------------------------------------------------------------

TChunkName TChunkPngPhysicalPixelDimensions::GetClassChunkName() const { return MakeChunkName("pHYs"); }

void TChunkPngPhysicalPixelDimensions::ReadData(TPngChunkReader& Reader) {
  PixelsPerUnitX = Reader.U32();
  PixelsPerUnitY = Reader.U32();
  PixelUnit = Reader.U8();
}

void TChunkPngPhysicalPixelDimensions::WriteData(TPngChunkWriter& Writer) const {
  Writer.U32(PixelsPerUnitX);
  Writer.U32(PixelsPerUnitY);
  Writer.U8(PixelUnit);
}

TChunkName TChunkPngImageOffset::GetClassChunkName() const { return MakeChunkName("oFFs"); }

void TChunkPngImageOffset::ReadData(TPngChunkReader& Reader) {
  ImagePositionX = Reader.I32();
  ImagePositionY = Reader.I32();
  UnitSpecifier = Reader.U8();
}

void TChunkPngImageOffset::WriteData(TPngChunkWriter& Writer) const {
  Writer.I32(ImagePositionX);
  Writer.I32(ImagePositionY);
  Writer.U8(UnitSpecifier);
}

TChunkName TChunkPngPixelCalibrator::GetClassChunkName() const { return MakeChunkName("pCAL"); }

void TChunkPngPixelCalibrator::ReadData(TPngChunkReader& Reader) {
  CalibratorName = Reader.ZeroTerminated(CPngMaxKeywordLength);
  OriginalZeroMin = Reader.I32();
  OriginalZeroMax = Reader.I32();
  EquationType = Reader.U8();
  NumberOfParams = Reader.U8();
  UnitName = Reader.ZeroTerminated(CPngMaxKeywordLength);
  Parameters = Reader.Rest();
}

void TChunkPngPixelCalibrator::WriteData(TPngChunkWriter& Writer) const {
  Writer.ZeroTerminated(CalibratorName);
  Writer.I32(OriginalZeroMin);
  Writer.I32(OriginalZeroMax);
  Writer.U8(EquationType);
  Writer.U8(NumberOfParams);
  Writer.ZeroTerminated(UnitName);
  Writer.Bytes(Parameters.data(), Parameters.size());
}

// ---- sBIT ---------------------------------------------------------------------------------------

void TPngSignificantBitsFormat23::LoadFromStream(TPngChunkReader& Reader) {
  RedBits = Reader.U8();
  GreenBits = Reader.U8();
  BlueBits = Reader.U8();
}

void TPngSignificantBitsFormat23::SaveToStream(TPngChunkWriter& Writer) const {
  for (uint8_t v : {RedBits, GreenBits, BlueBits}) Writer.U8(v);
}

void TPngSignificantBitsFormat4::LoadFromStream(TPngChunkReader& Reader) {
  GrayBits = Reader.U8();
  AlphaBits = Reader.U8();
}

void TPngSignificantBitsFormat4::SaveToStream(TPngChunkWriter& Writer) const {
  Writer.U8(GrayBits);
  Writer.U8(AlphaBits);
}

void TPngSignificantBitsFormat6::LoadFromStream(TPngChunkReader& Reader) {
  RedBits = Reader.U8();
  GreenBits = Reader.U8();
  BlueBits = Reader.U8();
  AlphaBits = Reader.U8();
}

void TPngSignificantBitsFormat6::SaveToStream(TPngChunkWriter& Writer) const {
  for (uint8_t v : {RedBits, GreenBits, BlueBits, AlphaBits}) Writer.U8(v);
}

namespace {

std::unique_ptr<TCustomPngSignificantBits> SignificantBitsFor(uint8_t ColorType) {
  switch (ColorType) {
    case ctGrayscale: return std::make_unique<TPngSignificantBitsFormat0>();
    case ctTrueColor:
    case ctIndexedColor: return std::make_unique<TPngSignificantBitsFormat23>();
    case ctGrayscaleAlpha: return std::make_unique<TPngSignificantBitsFormat4>();
    case ctTrueColorAlpha: return std::make_unique<TPngSignificantBitsFormat6>();
    default: return nullptr;
  }
}

bool SignificantBitsSuit(const TCustomPngSignificantBits* S, uint8_t ColorType) {
  switch (ColorType) {
    case ctGrayscale: return dynamic_cast<const TPngSignificantBitsFormat0*>(S) != nullptr;
    case ctTrueColor:
    case ctIndexedColor: return dynamic_cast<const TPngSignificantBitsFormat23*>(S) != nullptr;
    case ctGrayscaleAlpha: return dynamic_cast<const TPngSignificantBitsFormat4*>(S) != nullptr;
    case ctTrueColorAlpha: return dynamic_cast<const TPngSignificantBitsFormat6*>(S) != nullptr;
    default: return S == nullptr;
  }
}

}  // namespace

TChunkPngSignificantBits::TChunkPngSignificantBits(TChunkPngImageHeader* Header)
    : TCustomChunkPngWithHeader(Header), FSignificantBits(SignificantBitsFor(Header->ColorType())) {
  InitChunkName();
}

TChunkName TChunkPngSignificantBits::GetClassChunkName() const { return MakeChunkName("sBIT"); }

void TChunkPngSignificantBits::HeaderChanged() {
  if (!SignificantBitsSuit(FSignificantBits.get(), FHeader->ColorType()))
    FSignificantBits = SignificantBitsFor(FHeader->ColorType());
}

size_t TChunkPngSignificantBits::MinimumDataSize() const {
  return FSignificantBits ? FSignificantBits->Size() : 0;
}

void TChunkPngSignificantBits::ReadData(TPngChunkReader& Reader) {
  if (FSignificantBits) FSignificantBits->LoadFromStream(Reader);
}

void TChunkPngSignificantBits::WriteData(TPngChunkWriter& Writer) const {
  if (FSignificantBits) FSignificantBits->SaveToStream(Writer);
}

// ---- bKGD ---------------------------------------------------------------------------------------

void TPngBackgroundColorFormat26::LoadFromStream(TPngChunkReader& Reader) {
  RedSampleValue = Reader.U16();
  GreenSampleValue = Reader.U16();
  BlueSampleValue = Reader.U16();
}

void TPngBackgroundColorFormat26::SaveToStream(TPngChunkWriter& Writer) const {
  Writer.U16(RedSampleValue);
  Writer.U16(GreenSampleValue);
  Writer.U16(BlueSampleValue);
}

namespace {

std::unique_ptr<TCustomPngBackgroundColor> BackgroundFor(uint8_t ColorType) {
  switch (ColorType) {
    case ctGrayscale:
    case ctGrayscaleAlpha: return std::make_unique<TPngBackgroundColorFormat04>();
    case ctTrueColor:
    case ctTrueColorAlpha: return std::make_unique<TPngBackgroundColorFormat26>();
    case ctIndexedColor: return std::make_unique<TPngBackgroundColorFormat3>();
    default: return nullptr;
  }
}

bool BackgroundSuits(const TCustomPngBackgroundColor* B, uint8_t ColorType) {
  switch (ColorType) {
    case ctGrayscale:
    case ctGrayscaleAlpha: return dynamic_cast<const TPngBackgroundColorFormat04*>(B) != nullptr;
    case ctTrueColor:
    case ctTrueColorAlpha: return dynamic_cast<const TPngBackgroundColorFormat26*>(B) != nullptr;
    case ctIndexedColor: return dynamic_cast<const TPngBackgroundColorFormat3*>(B) != nullptr;
    default: return B == nullptr;
  }
}

}  // namespace

TChunkPngBackgroundColor::TChunkPngBackgroundColor(TChunkPngImageHeader* Header)
    : TCustomChunkPngWithHeader(Header), FBackground(BackgroundFor(Header->ColorType())) {
  InitChunkName();
}

TChunkName TChunkPngBackgroundColor::GetClassChunkName() const { return MakeChunkName("bKGD"); }

void TChunkPngBackgroundColor::HeaderChanged() {
  if (!BackgroundSuits(FBackground.get(), FHeader->ColorType())) FBackground = BackgroundFor(FHeader->ColorType());
}

size_t TChunkPngBackgroundColor::MinimumDataSize() const { return FBackground ? FBackground->Size() : 0; }

void TChunkPngBackgroundColor::ReadData(TPngChunkReader& Reader) {
  if (FBackground) FBackground->LoadFromStream(Reader);
}

void TChunkPngBackgroundColor::WriteData(TPngChunkWriter& Writer) const {
  if (FBackground) FBackground->SaveToStream(Writer);
}

// ---- hIST, text chunks, IDAT --------------------------------------------------------------------

TChunkName TChunkPngImageHistogram::GetClassChunkName() const { return MakeChunkName("hIST"); }

void TChunkPngImageHistogram::SaveToStream(TStream& Stream) {
  FChunkSize = 0;
  InitChunkName();
  WriteHeader(Stream);
  throw Exception("Saving this chunk type is not supported");
}

TChunkName TChunkPngTextChunk::GetClassChunkName() const { return MakeChunkName("tEXt"); }

void TChunkPngTextChunk::ReadData(TPngChunkReader& Reader) {
  FKeyword = Reader.ZeroTerminated(CPngMaxKeywordLength);
  const std::vector<uint8_t> rest = Reader.Rest();
  FText.assign(rest.begin(), rest.end());
}

void TChunkPngTextChunk::WriteData(TPngChunkWriter& Writer) const {
  Writer.ZeroTerminated(FKeyword);
  Writer.Bytes(FText.data(), FText.size());
}

TChunkName TChunkPngCompressedTextChunk::GetClassChunkName() const { return MakeChunkName("zTXt"); }

void TChunkPngCompressedTextChunk::ReadData(TPngChunkReader& Reader) {
  FKeyword = Reader.ZeroTerminated(CPngMaxKeywordLength);
  CompressionMethod = Reader.U8();
  FText.clear();
  if (CompressionMethod != 0) return;
  TMemoryStream text;
  InflateStream(Reader.Current(), Reader.Remaining(), text, CPngMaxTextSize);
  FText.assign(text.Memory(), text.Memory() + text.Size());
}

void TChunkPngCompressedTextChunk::WriteData(TPngChunkWriter& Writer) const {
  Writer.ZeroTerminated(FKeyword);
  Writer.U8(0);
  TMemoryStream packed;
  DeflateStream(reinterpret_cast<const uint8_t*>(FText.data()), FText.size(), packed, 9);
  Writer.Bytes(packed.Memory(), static_cast<size_t>(packed.Size()));
}

TChunkName TChunkPngInternationalTextChunk::GetClassChunkName() const { return MakeChunkName("iTXt"); }

void TChunkPngInternationalTextChunk::SaveToStream(TStream&) {
  throw EPngError("Saving this chunk type is not supported");
}

void TChunkPngInternationalTextChunk::ReadData(TPngChunkReader& Reader) {
  FKeyword = Reader.ZeroTerminated(CPngMaxKeywordLength);
  CompressionFlag = Reader.U8();
  CompressionMethod = Reader.U8();
  LanguageString = Reader.ZeroTerminated(CPngMaxLanguageLength);
  FRest = Reader.Rest();
}

void TChunkPngInternationalTextChunk::WriteData(TPngChunkWriter& Writer) const {
  Writer.ZeroTerminated(FKeyword);
  Writer.U8(CompressionFlag);
  Writer.U8(CompressionMethod);
  Writer.ZeroTerminated(LanguageString);
  Writer.Bytes(FRest.data(), FRest.size());
}

TChunkName TChunkPngImageData::GetClassChunkName() const { return MakeChunkName("IDAT"); }

void TChunkPngImageData::ReadData(TPngChunkReader& Reader) {
  FData.Clear();
  FData.WriteBuffer(Reader.Current(), static_cast<int64_t>(Reader.Remaining()));
  FData.SetPosition(0);
}

void TChunkPngImageData::WriteData(TPngChunkWriter& Writer) const {
  Writer.Bytes(FData.Memory(), static_cast<size_t>(FData.Size()));
}

// ---- chunk list ---------------------------------------------------------------------------------

void TPngChunkList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) throw EPngError("Chunk index out of range (" + std::to_string(Index) + ")");
}

void TPngChunkList::Add(std::unique_ptr<TCustomChunk> Item) { FChunks.push_back(std::move(Item)); }

TCustomChunk* TPngChunkList::GetChunk(int Index) const {
  CheckIndex(Index);
  return FChunks[static_cast<size_t>(Index)].get();
}

int TPngChunkList::IndexOf(const TCustomChunk* Item) const {
  for (size_t i = 0; i < FChunks.size(); ++i)
    if (FChunks[i].get() == Item) return static_cast<int>(i);
  return -1;
}

void TPngChunkList::Delete(int Index) {
  CheckIndex(Index);
  FChunks.erase(FChunks.begin() + Index);
}

// ---- registry -----------------------------------------------------------------------------------

namespace {

template <typename T>
std::unique_ptr<TCustomChunkPngWithHeader> CreateChunk(TChunkPngImageHeader* Header) {
  auto c = std::make_unique<T>(Header);
  return c;
}

std::vector<TPngChunkClass>& Registry() {
  static std::vector<TPngChunkClass> classes;
  return classes;
}

struct TRegisterChunks {
  TRegisterChunks() {
    RegisterPngChunk({MakeChunkName("IDAT"), &CreateChunk<TChunkPngImageData>});
    RegisterPngChunk({MakeChunkName("PLTE"), &CreateChunk<TChunkPngPalette>});
    RegisterPngChunk({MakeChunkName("gAMA"), &CreateChunk<TChunkPngGamma>});
    RegisterPngChunk({MakeChunkName("sRGB"), &CreateChunk<TChunkPngStandardColorSpaceRGB>});
    RegisterPngChunk({MakeChunkName("cHRM"), &CreateChunk<TChunkPngPrimaryChromaticities>});
    RegisterPngChunk({MakeChunkName("tIME"), &CreateChunk<TChunkPngTime>});
    RegisterPngChunk({MakeChunkName("tRNS"), &CreateChunk<TChunkPngTransparency>});
    RegisterPngChunk({MakeChunkName("iCCP"), &CreateChunk<TChunkPngEmbeddedIccProfile>});
    RegisterPngChunk({MakeChunkName("pHYs"), &CreateChunk<TChunkPngPhysicalPixelDimensions>});
    RegisterPngChunk({MakeChunkName("tEXt"), &CreateChunk<TChunkPngTextChunk>});
    RegisterPngChunk({MakeChunkName("zTXt"), &CreateChunk<TChunkPngCompressedTextChunk>});
    RegisterPngChunk({MakeChunkName("iTXt"), &CreateChunk<TChunkPngInternationalTextChunk>});
    RegisterPngChunk({MakeChunkName("hIST"), &CreateChunk<TChunkPngImageHistogram>});
    RegisterPngChunk({MakeChunkName("bKGD"), &CreateChunk<TChunkPngBackgroundColor>});
    RegisterPngChunk({MakeChunkName("sBIT"), &CreateChunk<TChunkPngSignificantBits>});
    RegisterPngChunk({MakeChunkName("oFFs"), &CreateChunk<TChunkPngImageOffset>});
    RegisterPngChunk({MakeChunkName("pCAL"), &CreateChunk<TChunkPngPixelCalibrator>});
  }
};

void EnsureRegistered() { static TRegisterChunks once; }

[[maybe_unused]] const bool GChunksRegisteredAtStart = (EnsureRegistered(), true);

}  // namespace

void RegisterPngChunk(const TPngChunkClass& Class) {
  for (const TPngChunkClass& c : Registry())
    KVX_ASSERT(c.Create != Class.Create && c.Name != Class.Name, "KVX_GuiPngChunks");
  Registry().push_back(Class);
}

const TPngChunkClass* FindPngChunkClass(const TChunkName& Name) {
  EnsureRegistered();
  for (const TPngChunkClass& c : Registry())
    if (c.Name == Name) return &c;
  return nullptr;
}

}  // namespace kvx
