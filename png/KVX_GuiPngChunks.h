// The PNG chunks: framing with big-endian length before the name, one class per known chunk
// type, the chunk list, the chunk class registry, the CRC and the zlib wrappers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/KVX_GuiBlend.h"
#include "png/KVX_ChunkClasses.h"
#include "png/KVX_GuiPngTypes.h"

namespace kvx {

// CRC-32 of the PNG chunks (reflected polynomial 0xEDB88320). Crc carries a running value.
uint32_t CalculateCRC(const uint8_t* Data, size_t Size, uint32_t Crc = 0xFFFFFFFFu);
inline uint32_t FinishCRC(uint32_t Crc) { return Crc ^ 0xFFFFFFFFu; }

// zlib wrappers, the only places that call zlib. InflateStream stops at the end of the zlib
// stream, when the inflater reports an error or makes no progress; it writes at most MaxOutput
// bytes (the rest is inflated and dropped). A wrong Adler-32 check value raises EPngError
// "Incorrect data check"; a stream that ends before its check value does not.
void InflateStream(const uint8_t* Buffer, size_t Size, TStream& Output, uint64_t MaxOutput);
void DeflateStream(const uint8_t* Buffer, size_t Size, TStream& Output, int Level);

// Bounds-checked reading of one chunk's data; a read past the data is the chunk-too-small error.
class TPngChunkReader {
 public:
  TPngChunkReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // Bytes up to a zero byte or the end of the data; at most MaxLength of them are kept.
  std::string ZeroTerminated(int MaxLength);
  size_t Remaining() const { return FSize - FPosition; }
  const uint8_t* Current() const { return FData + FPosition; }
  std::vector<uint8_t> Rest();

 private:
  void Need(size_t Count) const;
  const uint8_t* FData;
  size_t FSize;
  size_t FPosition = 0;
};

class TPngChunkWriter {
 public:
  void U8(uint8_t V) { FData.push_back(V); }
  void U16(uint16_t V);
  void U32(uint32_t V);
  void I32(int32_t V) { U32(static_cast<uint32_t>(V)); }
  void Bytes(const void* Data, size_t Size);
  void ZeroTerminated(const std::string& S);
  std::vector<uint8_t>& Data() { return FData; }

 private:
  std::vector<uint8_t> FData;
};

// PNG framing: big-endian length, name, data. The CRC is read and written by the PNG object.
class TCustomChunkPng : public TDefinedChunk {
 public:
  TCustomChunkPng();
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // Copies the content of a chunk of the same class.
  void Assign(const TCustomChunk& Source) override;

 protected:
  // Smallest data length that holds the chunk's fixed fields.
  virtual size_t MinimumDataSize() const { return 0; }
  virtual void ReadData(TPngChunkReader& Reader) = 0;
  virtual void WriteData(TPngChunkWriter& Writer) const = 0;
};

class TChunkPngImageHeader : public TCustomChunkPng {
 public:
  TChunkPngImageHeader();
  TChunkName GetClassChunkName() const override;

  uint32_t Width() const { return FWidth; }
  uint32_t Height() const { return FHeight; }
  uint8_t BitDepth() const { return FBitDepth; }
  uint8_t ColorType() const { return FColorType; }
  uint8_t CompressionMethod() const { return FCompressionMethod; }
  uint8_t FilterMethod() const { return FFilterMethod; }
  uint8_t InterlaceMethod() const { return FInterlaceMethod; }
  void SetWidth(uint32_t V) { FWidth = V; }
  void SetHeight(uint32_t V) { FHeight = V; }
  void SetBitDepth(uint8_t V) { FBitDepth = V; }
  void SetColorType(uint8_t V) { FColorType = V; }
  void SetCompressionMethod(uint8_t V) { FCompressionMethod = V; }
  void SetFilterMethod(uint8_t V) { FFilterMethod = V; }
  void SetInterlaceMethod(uint8_t V) { FInterlaceMethod = V; }

  bool HasPalette() const { return FColorType == ctIndexedColor; }
  // Bytes of one unfiltered row of Width pixels (without the filter type byte).
  uint64_t BytesPerRow() const { return BytesPerRow(FWidth); }
  uint64_t BytesPerRow(uint64_t PixelCount) const;
  // The filter distance: bytes per complete pixel, at least 1 for packed samples.
  int PixelByteSize() const;
  void ResetToDefault();
  // Copies the fields as they are, without the checks of loading.
  void Assign(const TCustomChunk& Source) override;

 protected:
  size_t MinimumDataSize() const override { return 13; }
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  uint32_t FWidth = 0;
  uint32_t FHeight = 0;
  uint8_t FBitDepth = 8;
  uint8_t FColorType = ctTrueColor;
  uint8_t FCompressionMethod = 0;
  uint8_t FFilterMethod = fmAdaptiveFilter;
  uint8_t FInterlaceMethod = imNone;
};

class TCustomChunkPngWithHeader : public TCustomChunkPng {
 public:
  explicit TCustomChunkPngWithHeader(TChunkPngImageHeader* Header);
  TChunkPngImageHeader* Header() const { return FHeader; }
  // Called when the header's colour type may have changed.
  virtual void HeaderChanged() {}

 protected:
  TChunkPngImageHeader* FHeader;
};

// Holds any chunk that has no class of its own.
class TUnknownPngChunk : public TUnknownChunk {
 public:
  TUnknownPngChunk();
};

class TChunkPngPalette : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  const TRGB24* PaletteEntriesPointer() const { return FPaletteEntries.data(); }
  int Count() const { return static_cast<int>(FPaletteEntries.size()); }
  void SetCount(int Value);
  TRGB24 GetPaletteEntry(int Index) const;
  void SetPaletteEntry(int Index, TRGB24 Value);

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  void CheckIndex(int Index) const;
  std::vector<TRGB24> FPaletteEntries;
};

// ---- tRNS ----
class TCustomPngTransparency {
 public:
  virtual ~TCustomPngTransparency() = default;
  virtual void LoadFromStream(TPngChunkReader& Reader) = 0;
  virtual void SaveToStream(TPngChunkWriter& Writer) const = 0;
  virtual size_t Size() const = 0;
};

class TPngTransparencyFormat0 : public TCustomPngTransparency {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override { GraySampleValue = Reader.U16(); }
  void SaveToStream(TPngChunkWriter& Writer) const override { Writer.U16(GraySampleValue); }
  size_t Size() const override { return 2; }
  uint16_t GraySampleValue = 0;
};

class TPngTransparencyFormat2 : public TCustomPngTransparency {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override;
  void SaveToStream(TPngChunkWriter& Writer) const override;
  size_t Size() const override { return 6; }
  uint16_t RedSampleValue = 0, GreenSampleValue = 0, BlueSampleValue = 0;
};

class TPngTransparencyFormat3 : public TCustomPngTransparency {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override;
  void SaveToStream(TPngChunkWriter& Writer) const override;
  size_t Size() const override { return FTransparency.size(); }
  int Count() const { return static_cast<int>(FTransparency.size()); }
  uint8_t Transparency(int Index) const;
  void SetTransparency(int Index, uint8_t Value);
  void SetCount(int Value);

 private:
  std::vector<uint8_t> FTransparency;
};

class TChunkPngTransparency : public TCustomChunkPngWithHeader {
 public:
  explicit TChunkPngTransparency(TChunkPngImageHeader* Header);
  TChunkName GetClassChunkName() const override;
  TCustomPngTransparency* Transparency() const { return FTransparency.get(); }
  void HeaderChanged() override;
  // A variant that does not suit the header's colour type is refused.
  void SaveToStream(TStream& Stream) override;

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  std::unique_ptr<TCustomPngTransparency> FTransparency;
};

class TChunkPngGamma : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  uint32_t Gamma() const { return FGamma; }
  void SetGamma(uint32_t V) { FGamma = V; }
  float GammaAsSingle() const { return static_cast<float>(FGamma * 1e-5); }
  void SetGammaAsSingle(float V);

 protected:
  size_t MinimumDataSize() const override { return 4; }
  void ReadData(TPngChunkReader& Reader) override { FGamma = Reader.U32(); }
  void WriteData(TPngChunkWriter& Writer) const override { Writer.U32(FGamma); }

 private:
  uint32_t FGamma = 0;
};

class TChunkPngPrimaryChromaticities : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  int32_t WhiteX = 0, WhiteY = 0, RedX = 0, RedY = 0, GreenX = 0, GreenY = 0, BlueX = 0, BlueY = 0;

 protected:
  size_t MinimumDataSize() const override { return 32; }
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

class TChunkPngStandardColorSpaceRGB : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  uint8_t RenderingIntent = 0;

 protected:
  size_t MinimumDataSize() const override { return 1; }
  void ReadData(TPngChunkReader& Reader) override { RenderingIntent = Reader.U8(); }
  void WriteData(TPngChunkWriter& Writer) const override { Writer.U8(RenderingIntent); }
};

// iCCP: the compressed profile is kept as stored so that saving writes it back.
class TChunkPngEmbeddedIccProfile : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  std::string ProfileName;
  uint8_t CompressionMethod = 0;
  std::vector<uint8_t> CompressedProfile;

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

class TChunkPngTime : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  uint16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  // Days since 1899-12-30 with the time of day as the fraction; 0 for an unset time.
  double ModifiedDateTime() const;
  void SetModifiedDateTime(double Value);

 protected:
  size_t MinimumDataSize() const override { return 7; }
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

class TChunkPngPhysicalPixelDimensions : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  uint32_t PixelsPerUnitX = 1, PixelsPerUnitY = 1;
  uint8_t PixelUnit = 0;

 protected:
  size_t MinimumDataSize() const override { return 9; }
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

class TChunkPngImageOffset : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  int32_t ImagePositionX = 0, ImagePositionY = 0;
  uint8_t UnitSpecifier = 0;

 protected:
  size_t MinimumDataSize() const override { return 9; }
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

// pCAL: the parameters are kept as stored so that saving writes them back.
class TChunkPngPixelCalibrator : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  std::string CalibratorName;
  int32_t OriginalZeroMin = 0, OriginalZeroMax = 0;
  uint8_t EquationType = 0, NumberOfParams = 0;
  std::string UnitName;
  std::vector<uint8_t> Parameters;

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

// ---- sBIT ----
class TCustomPngSignificantBits {
 public:
  virtual ~TCustomPngSignificantBits() = default;
  virtual void LoadFromStream(TPngChunkReader& Reader) = 0;
  virtual void SaveToStream(TPngChunkWriter& Writer) const = 0;
  virtual size_t Size() const = 0;
};

class TPngSignificantBitsFormat0 : public TCustomPngSignificantBits {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override { GrayBits = Reader.U8(); }
  void SaveToStream(TPngChunkWriter& Writer) const override { Writer.U8(GrayBits); }
  size_t Size() const override { return 1; }
  uint8_t GrayBits = 0;
};

class TPngSignificantBitsFormat23 : public TCustomPngSignificantBits {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override;
  void SaveToStream(TPngChunkWriter& Writer) const override;
  size_t Size() const override { return 3; }
  uint8_t RedBits = 0, GreenBits = 0, BlueBits = 0;
};

class TPngSignificantBitsFormat4 : public TCustomPngSignificantBits {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override;
  void SaveToStream(TPngChunkWriter& Writer) const override;
  size_t Size() const override { return 2; }
  uint8_t GrayBits = 0, AlphaBits = 0;
};

class TPngSignificantBitsFormat6 : public TCustomPngSignificantBits {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override;
  void SaveToStream(TPngChunkWriter& Writer) const override;
  size_t Size() const override { return 4; }
  uint8_t RedBits = 0, GreenBits = 0, BlueBits = 0, AlphaBits = 0;
};

class TChunkPngSignificantBits : public TCustomChunkPngWithHeader {
 public:
  explicit TChunkPngSignificantBits(TChunkPngImageHeader* Header);
  TChunkName GetClassChunkName() const override;
  TCustomPngSignificantBits* SignificantBits() const { return FSignificantBits.get(); }
  void HeaderChanged() override;

 protected:
  size_t MinimumDataSize() const override;
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  std::unique_ptr<TCustomPngSignificantBits> FSignificantBits;
};

// ---- bKGD ----
class TCustomPngBackgroundColor {
 public:
  virtual ~TCustomPngBackgroundColor() = default;
  virtual void LoadFromStream(TPngChunkReader& Reader) = 0;
  virtual void SaveToStream(TPngChunkWriter& Writer) const = 0;
  virtual size_t Size() const = 0;
};

class TPngBackgroundColorFormat04 : public TCustomPngBackgroundColor {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override { GraySampleValue = Reader.U16(); }
  void SaveToStream(TPngChunkWriter& Writer) const override { Writer.U16(GraySampleValue); }
  size_t Size() const override { return 2; }
  uint16_t GraySampleValue = 0;
};

class TPngBackgroundColorFormat26 : public TCustomPngBackgroundColor {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override;
  void SaveToStream(TPngChunkWriter& Writer) const override;
  size_t Size() const override { return 6; }
  uint16_t RedSampleValue = 0, GreenSampleValue = 0, BlueSampleValue = 0;
};

class TPngBackgroundColorFormat3 : public TCustomPngBackgroundColor {
 public:
  void LoadFromStream(TPngChunkReader& Reader) override { PaletteIndex = Reader.U8(); }
  void SaveToStream(TPngChunkWriter& Writer) const override { Writer.U8(PaletteIndex); }
  size_t Size() const override { return 1; }
  uint8_t PaletteIndex = 0;
};

class TChunkPngBackgroundColor : public TCustomChunkPngWithHeader {
 public:
  explicit TChunkPngBackgroundColor(TChunkPngImageHeader* Header);
  TChunkName GetClassChunkName() const override;
  TCustomPngBackgroundColor* Background() const { return FBackground.get(); }
  void HeaderChanged() override;

 protected:
  size_t MinimumDataSize() const override;
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  std::unique_ptr<TCustomPngBackgroundColor> FBackground;
};

// hIST is not interpreted; saving it is not supported.
class TChunkPngImageHistogram : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  void SaveToStream(TStream& Stream) override;

 protected:
  void ReadData(TPngChunkReader& Reader) override { FData = Reader.Rest(); }
  void WriteData(TPngChunkWriter& Writer) const override { Writer.Bytes(FData.data(), FData.size()); }

 private:
  std::vector<uint8_t> FData;
};

class TCustomDefinedChunkTextChunk : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  const std::string& Keyword() const { return FKeyword; }
  void SetKeyword(const std::string& V) { FKeyword = V.substr(0, CPngMaxKeywordLength); }
  const std::string& Text() const { return FText; }
  void SetText(const std::string& V) { FText = V; }

 protected:
  std::string FKeyword;
  std::string FText;
};

class TChunkPngTextChunk : public TCustomDefinedChunkTextChunk {
 public:
  using TCustomDefinedChunkTextChunk::TCustomDefinedChunkTextChunk;
  TChunkName GetClassChunkName() const override;

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

class TChunkPngCompressedTextChunk : public TCustomDefinedChunkTextChunk {
 public:
  using TCustomDefinedChunkTextChunk::TCustomDefinedChunkTextChunk;
  TChunkName GetClassChunkName() const override;
  uint8_t CompressionMethod = 0;

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;
};

// iTXt: the translated keyword and the text are kept as stored; saving it is not supported.
class TChunkPngInternationalTextChunk : public TCustomDefinedChunkTextChunk {
 public:
  using TCustomDefinedChunkTextChunk::TCustomDefinedChunkTextChunk;
  TChunkName GetClassChunkName() const override;
  void SaveToStream(TStream& Stream) override;
  uint8_t CompressionFlag = 0, CompressionMethod = 0;
  std::string LanguageString;

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  std::vector<uint8_t> FRest;
};

class TChunkPngImageData : public TCustomChunkPngWithHeader {
 public:
  using TCustomChunkPngWithHeader::TCustomChunkPngWithHeader;
  TChunkName GetClassChunkName() const override;
  TMemoryStream& Data() { return FData; }
  const TMemoryStream& Data() const { return FData; }

 protected:
  void ReadData(TPngChunkReader& Reader) override;
  void WriteData(TPngChunkWriter& Writer) const override;

 private:
  TMemoryStream FData;
};

class TPngChunkList {
 public:
  TPngChunkList() = default;
  ~TPngChunkList() { Clear(); }
  TPngChunkList(const TPngChunkList&) = delete;
  TPngChunkList& operator=(const TPngChunkList&) = delete;

  void Add(std::unique_ptr<TCustomChunk> Item);
  int Count() const { return static_cast<int>(FChunks.size()); }
  TCustomChunk* GetChunk(int Index) const;
  int IndexOf(const TCustomChunk* Item) const;
  void Delete(int Index);
  void Remove(const TCustomChunk* Item) { Delete(IndexOf(Item)); }
  void Clear() { FChunks.clear(); }

 private:
  void CheckIndex(int Index) const;
  std::vector<std::unique_ptr<TCustomChunk>> FChunks;
};

// The chunk class registry: one entry per chunk class, found by its 4-byte name.
using TCreatePngChunk = std::unique_ptr<TCustomChunkPngWithHeader> (*)(TChunkPngImageHeader* Header);
struct TPngChunkClass {
  TChunkName Name;
  TCreatePngChunk Create;
};
void RegisterPngChunk(const TPngChunkClass& Class);
const TPngChunkClass* FindPngChunkClass(const TChunkName& Name);
inline TChunkName MakeChunkName(const char (&S)[5]) { return {S[0], S[1], S[2], S[3]}; }

}  // namespace kvx
