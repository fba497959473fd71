#include "png/KVX_GuiPng.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace kvx {

namespace {

constexpr uint8_t CPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t CIendChunk[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

bool IsName(const TChunkName& Name, const char (&S)[5]) { return std::memcmp(Name.data(), S, 4) == 0; }

// Writes a chunk with its CRC: the chunk saves itself to a scratch stream first.
void WriteChunk(TStream& Stream, TCustomChunk& Chunk) {
  TMemoryStream scratch;
  Chunk.SaveToStream(scratch);
  Stream.WriteBuffer(scratch.Memory(), scratch.Size());
  uint8_t crc[4];
  WriteBigEndian32(crc, FinishCRC(CalculateCRC(scratch.Memory() + 4, static_cast<size_t>(scratch.Size() - 4))));
  Stream.WriteBuffer(crc, 4);
}

// Must precede PLTE in a file.
bool PrecedesPalette(const TCustomChunk& Chunk) {
  const std::string name = Chunk.ChunkName();
  return name == "iCCP" || name == "sRGB";
}

template <class T>
void CopyOptional(std::unique_ptr<T>& Own, const T* Source, TChunkPngImageHeader* Header) {
  if (!Source) {
    Own.reset();
    return;
  }
  if (!Own) Own = std::make_unique<T>(Header);
  Own->HeaderChanged();  // the header may have a new colour type by now
  Own->Assign(*Source);
}

}  // namespace

TPortableNetworkGraphic::TPortableNetworkGraphic()
    : FImageHeader(std::make_unique<TChunkPngImageHeader>()),
      FDataChunkList(std::make_unique<TPngChunkList>()),
      FAdditionalChunkList(std::make_unique<TPngChunkList>()) {}

// The lists hold chunks that refer to the header: free them first.
TPortableNetworkGraphic::~TPortableNetworkGraphic() {
  FDataChunkList.reset();
  FAdditionalChunkList.reset();
}

void TPortableNetworkGraphic::SetWidth(int32_t) { throw EPngError("Width cannot be set"); }
void TPortableNetworkGraphic::SetHeight(int32_t) { throw EPngError("Height cannot be set"); }
void TPortableNetworkGraphic::SetBitDepth(uint8_t) { throw EPngError("Bit depth cannot be set"); }
void TPortableNetworkGraphic::SetCompressionMethod(uint8_t) { throw EPngError("Compression method cannot be set"); }
void TPortableNetworkGraphic::SetFilterMethod(uint8_t) { throw EPngError("Filter method cannot be set"); }
void TPortableNetworkGraphic::SetInterlaceMethod(uint8_t) { throw EPngError("Interlace method cannot be set"); }
void TPortableNetworkGraphic::SetGamma(float) { throw EPngError("Gamma cannot be set"); }

float TPortableNetworkGraphic::Gamma() const { return FGammaChunk ? FGammaChunk->GammaAsSingle() : 1.0f; }

void TPortableNetworkGraphic::SetCompressionLevel(uint8_t Value) {
  if (Value < 1 || Value > 9) throw EPngError("Compression level must be 1 to 9");
  if (Value == FCompressionLevel) return;
  FCompressionLevel = Value;
  Recompress();
}

TRGB24 TPortableNetworkGraphic::GetPaletteEntry(int Index) const {
  if (!FPaletteChunk) throw EPngError("No palette (" + std::to_string(Index) + ")");
  return FPaletteChunk->GetPaletteEntry(Index);
}

void TPortableNetworkGraphic::SetPixelsPerUnitX(uint32_t Value) {
  if (Value == 0) throw EPngError("Pixels per unit must not be 0");
  if (!FPhysicalDimensions) FPhysicalDimensions = std::make_unique<TChunkPngPhysicalPixelDimensions>(FImageHeader.get());
  FPhysicalDimensions->PixelsPerUnitX = Value;
}

void TPortableNetworkGraphic::SetPixelsPerUnitY(uint32_t Value) {
  if (Value == 0) throw EPngError("Pixels per unit must not be 0");
  if (!FPhysicalDimensions) FPhysicalDimensions = std::make_unique<TChunkPngPhysicalPixelDimensions>(FImageHeader.get());
  FPhysicalDimensions->PixelsPerUnitY = Value;
}

void TPortableNetworkGraphic::SetPixelUnit(uint8_t Value) {
  if (Value > 1) throw EPngError("Unknown pixel unit");
  if (!FPhysicalDimensions) FPhysicalDimensions = std::make_unique<TChunkPngPhysicalPixelDimensions>(FImageHeader.get());
  FPhysicalDimensions->PixelUnit = Value;
}

void TPortableNetworkGraphic::SetModifiedTime(double Value) {
  if (FTimeChunk) FTimeChunk->SetModifiedDateTime(Value);
}

void TPortableNetworkGraphic::SetSignificantBitsChunk(const TChunkPngSignificantBits* Value) {
  CopyOptional(FSignificantBits, Value, FImageHeader.get());
}

void TPortableNetworkGraphic::SetPrimaryChromaticitiesChunk(const TChunkPngPrimaryChromaticities* Value) {
  CopyOptional(FChromaChunk, Value, FImageHeader.get());
}

bool TPortableNetworkGraphic::CanLoad(TStream& Stream) {
  const int64_t start = Stream.Position();
  uint8_t head[4] = {};
  const bool ok = Stream.Read(head, 4) == 4 && std::memcmp(head, CPngSignature, 4) == 0;
  Stream.SetPosition(start);
  return ok;
}

bool TPortableNetworkGraphic::CanLoad(const std::string& FileName) {
  try {
    TFileStream f(FileName, fmOpenRead);
    return CanLoad(f);
  } catch (const EStreamError&) {
    return false;
  }
}

bool TPortableNetworkGraphic::CanHandleExtension(const std::string& Extension) {
  return Extension.find("png") != std::string::npos;
}

void TPortableNetworkGraphic::ClearChunks() {
  FDataChunkList->Clear();
  FAdditionalChunkList->Clear();
  FImageHeader->ResetToDefault();
  FPaletteChunk.reset();
  FGammaChunk.reset();
  FTimeChunk.reset();
  FSignificantBits.reset();
  FPhysicalDimensions.reset();
  FChromaChunk.reset();
}

void TPortableNetworkGraphic::LoadFromStream(TStream& Stream) {
  ClearChunks();
  uint8_t signature[8];
  if (Stream.Remaining() < 8 || Stream.Read(signature, 8) != 8 || std::memcmp(signature, CPngSignature, 8) != 0)
    throw EPngError("Invalid PNG file");

  TMemoryStream scratch;
  bool first = true;
  while (Stream.Remaining() > 0) {
    // Length, name, data and CRC must all be there before anything is read.
    uint8_t head[8];
    if (Stream.Remaining() < 12 || Stream.Read(head, 8) != 8) throw EPngError("Invalid PNG file");
    const uint32_t length = ReadBigEndian32(head);
    TChunkName name;
    std::memcpy(name.data(), head + 4, 4);
    if (length > 0x7FFFFFFFu || static_cast<uint64_t>(Stream.Remaining()) < uint64_t{length} + 4)
      throw EPngError("Invalid PNG file");
    if (first != IsName(name, "IHDR")) throw EPngError("Invalid PNG file");

    scratch.SetSize(int64_t{length} + 8);
    std::memcpy(scratch.Memory(), head, 8);
    Stream.ReadBuffer(scratch.Memory() + 8, length);
    uint8_t crc[4];
    Stream.ReadBuffer(crc, 4);
    if (FinishCRC(CalculateCRC(scratch.Memory() + 4, size_t{length} + 4)) != ReadBigEndian32(crc))
      throw EPngError("CRC error");
    if (IsName(name, "IEND")) return;  // whatever follows is ignored

    scratch.SetPosition(0);
    if (first) {
      FImageHeader->LoadFromStream(scratch);
      first = false;
    } else {
      ReadChunk(scratch, name);
    }
  }
  if (first) throw EPngError("Invalid PNG file");
}

void TPortableNetworkGraphic::ReadChunk(TStream& Scratch, const TChunkName& Name) {
  TChunkPngImageHeader* header = FImageHeader.get();
  auto single = [&](auto& Field, const char* Message) {
    using T = typename std::remove_reference_t<decltype(Field)>::element_type;
    if (Field) throw EPngError(Message);
    auto chunk = std::make_unique<T>(header);
    chunk->LoadFromStream(Scratch);
    Field = std::move(chunk);
  };
  if (IsName(Name, "IHDR")) throw EPngError("Invalid PNG file: second IHDR chunk");
  if (IsName(Name, "IDAT")) {
    auto chunk = std::make_unique<TChunkPngImageData>(header);
    chunk->LoadFromStream(Scratch);
    FDataChunkList->Add(std::move(chunk));
  } else if (IsName(Name, "gAMA")) {
    single(FGammaChunk, "Duplicate gAMA chunk");
  } else if (IsName(Name, "cHRM")) {
    single(FChromaChunk, "Duplicate cHRM chunk");
  } else if (IsName(Name, "tIME")) {
    single(FTimeChunk, "Duplicate tIME chunk");
  } else if (IsName(Name, "sBIT")) {
    single(FSignificantBits, "Duplicate sBIT chunk");
  } else if (IsName(Name, "pHYs")) {
    single(FPhysicalDimensions, "Duplicate pHYs chunk");
  } else if (IsName(Name, "PLTE")) {
    single(FPaletteChunk, "Duplicate PLTE chunk");
  } else if (const TPngChunkClass* cls = FindPngChunkClass(Name)) {
    auto chunk = cls->Create(header);
    chunk->LoadFromStream(Scratch);
    FAdditionalChunkList->Add(std::move(chunk));
  } else if (static_cast<uint8_t>(Name[0]) >= 0x80) {
    throw EPngError("Invalid chunk name");
  } else {
    auto chunk = std::make_unique<TUnknownPngChunk>();
    chunk->LoadFromStream(Scratch);
    FAdditionalChunkList->Add(std::move(chunk));
  }
}

void TPortableNetworkGraphic::SaveToStream(TStream& Stream) {
  if (FImageHeader->Width() == 0 || FImageHeader->Height() == 0) throw EPngError("Cannot save an empty image");
  Stream.WriteBuffer(CPngSignature, 8);
  WriteChunk(Stream, *FImageHeader);
  if (FPhysicalDimensions) WriteChunk(Stream, *FPhysicalDimensions);
  if (FSignificantBits) WriteChunk(Stream, *FSignificantBits);
  if (FGammaChunk) WriteChunk(Stream, *FGammaChunk);
  if (FChromaChunk) WriteChunk(Stream, *FChromaChunk);
  for (int i = 0; i < FAdditionalChunkList->Count(); ++i)
    if (PrecedesPalette(*FAdditionalChunkList->GetChunk(i))) WriteChunk(Stream, *FAdditionalChunkList->GetChunk(i));
  if (FPaletteChunk) WriteChunk(Stream, *FPaletteChunk);
  for (int i = 0; i < FAdditionalChunkList->Count(); ++i)
    if (!PrecedesPalette(*FAdditionalChunkList->GetChunk(i))) WriteChunk(Stream, *FAdditionalChunkList->GetChunk(i));
  for (int i = 0; i < FDataChunkList->Count(); ++i) WriteChunk(Stream, *FDataChunkList->GetChunk(i));
  Stream.WriteBuffer(CIendChunk, 12);
}

void TPortableNetworkGraphic::Assign(const TPersistent& Source) {
  const auto* png = dynamic_cast<const TPortableNetworkGraphic*>(&Source);
  if (!png) {
    TGuiCustomFileFormat::Assign(Source);
    return;
  }
  if (png == this) return;
  TChunkPngImageHeader* header = FImageHeader.get();
  FImageHeader->Assign(*png->FImageHeader);
  CopyOptional(FPaletteChunk, png->FPaletteChunk.get(), header);
  CopyOptional(FGammaChunk, png->FGammaChunk.get(), header);
  CopyOptional(FTimeChunk, png->FTimeChunk.get(), header);
  CopyOptional(FSignificantBits, png->FSignificantBits.get(), header);
  CopyOptional(FPhysicalDimensions, png->FPhysicalDimensions.get(), header);
  CopyOptional(FChromaChunk, png->FChromaChunk.get(), header);
  auto copyList = [header](const TPngChunkList& From, TPngChunkList& To) {
    To.Clear();
    for (int i = 0; i < From.Count(); ++i) {
      const TCustomChunk* chunk = From.GetChunk(i);
      const TPngChunkClass* cls = nullptr;
      if (dynamic_cast<const TCustomChunkPngWithHeader*>(chunk)) {
        TChunkName name;
        std::memcpy(name.data(), chunk->ChunkName().data(), 4);
        cls = FindPngChunkClass(name);
      }
      std::unique_ptr<TCustomChunk> copy;
      if (cls)
        copy = cls->Create(header);
      else
        copy = std::make_unique<TUnknownPngChunk>();
      copy->Assign(*chunk);
      To.Add(std::move(copy));
    }
  };
  copyList(*png->FDataChunkList, *FDataChunkList);
  copyList(*png->FAdditionalChunkList, *FAdditionalChunkList);
}

void TPortableNetworkGraphic::GatherImageData(TStream& Output) const {
  for (int i = 0; i < FDataChunkList->Count(); ++i) {
    const auto* chunk = dynamic_cast<const TChunkPngImageData*>(FDataChunkList->GetChunk(i));
    if (chunk) Output.WriteBuffer(chunk->Data().Memory(), chunk->Data().Size());
  }
}

namespace {

// Deflate codes a match of 258 bytes in no fewer than 2 bits, so one compressed byte inflates to
// at most 1032 bytes; the slack covers the first literals and keeps tiny images out of reach.
constexpr uint64_t CDeflateMaxExpansion = 1032;
constexpr uint64_t CDeflateSlack = 1024;

uint64_t InflatedBound(uint64_t CompressedBytes) { return CompressedBytes * CDeflateMaxExpansion + CDeflateSlack; }

}  // namespace

void TPortableNetworkGraphic::CheckImageDataSize() const {
  uint64_t compressed = 0;
  for (int i = 0; i < FDataChunkList->Count(); ++i)
    if (const auto* chunk = dynamic_cast<const TChunkPngImageData*>(FDataChunkList->GetChunk(i)))
      compressed += static_cast<uint64_t>(chunk->Data().Size());
  if (InflatedBound(compressed) < PngImageDataSize(*FImageHeader)) throw EPngError("Image data too short");
}

void TPortableNetworkGraphic::DecompressImageData(TStream& Output) const {
  if (FImageHeader->CompressionMethod() != 0) throw EPngError("Unsupported compression method");
  CheckImageDataSize();
  TMemoryStream gathered;
  GatherImageData(gathered);
  const uint64_t expected = PngImageDataSize(*FImageHeader);
  // Appending to a memory stream: size it once for what the data can inflate to, so the output
  // does not grow step by step.
  auto* memory = dynamic_cast<TMemoryStream*>(&Output);
  if (memory && memory->Position() != memory->Size()) memory = nullptr;
  if (memory) {
    const uint64_t bound = InflatedBound(static_cast<uint64_t>(gathered.Size()));
    memory->SetSize(memory->Position() + static_cast<int64_t>(std::min(expected, bound)));
  }
  InflateStream(gathered.Memory(), static_cast<size_t>(gathered.Size()), Output, expected);
  if (memory) memory->SetSize(memory->Position());
}

void TPortableNetworkGraphic::CompressImageData(TStream& Input) {
  FImageHeader->SetCompressionMethod(0);
  TMemoryStream raw;
  raw.LoadFromStream(Input);
  auto chunk = std::make_unique<TChunkPngImageData>(FImageHeader.get());
  DeflateStream(raw.Memory(), static_cast<size_t>(raw.Size()), chunk->Data(), FCompressionLevel);
  chunk->Data().SetPosition(0);
  FDataChunkList->Clear();
  FDataChunkList->Add(std::move(chunk));
}

void TPortableNetworkGraphic::Recompress() {
  if (FDataChunkList->Count() == 0) return;
  TMemoryStream raw;
  DecompressImageData(raw);
  raw.SetPosition(0);
  CompressImageData(raw);
}

// ---- pixel maps ---------------------------------------------------------------------------------

TPixel32* TPortableNetworkGraphicPixel32::GetScanLineCallback(TPersistent* Bitmap, int32_t Line) {
  auto* map = dynamic_cast<TGuiCustomPixelMap*>(Bitmap);
  if (!map || Line < 0 || Line >= map->Height() || !map->DataPointer()) return nullptr;
  return map->GetScanLine(Line);
}

void TPortableNetworkGraphicPixel32::DrawToPixelMap(TGuiCustomPixelMap& PixelMap) const {
  const TChunkPngImageHeader& header = *FImageHeader;
  if (uint64_t{header.Width()} * header.Height() > CPngMaxPixels) throw EPngError("Image too large");
  if (header.Width() == 0 || header.Height() == 0) return;
  if (uint64_t{header.Width()} > static_cast<uint64_t>(PixelMap.Width()) ||
      uint64_t{header.Height()} > static_cast<uint64_t>(PixelMap.Height()))
    throw EPngError("Pixel map too small for the image");
  TMemoryStream data;
  DecompressImageData(data);
  data.SetPosition(0);
  std::unique_ptr<TCustomPngDecoder> decoder =
      CreatePngDecoder(data, *FImageHeader, FGammaChunk.get(), FPaletteChunk.get());
  decoder->DecodeToScanline(&PixelMap, &GetScanLineCallback);
}

void TPortableNetworkGraphicPixel32::AssignTo(TPersistent& Dest) const {
  auto* map = dynamic_cast<TGuiCustomPixelMap*>(&Dest);
  if (!map) {
    TPortableNetworkGraphic::AssignTo(Dest);
    return;
  }
  // The size is checked before the map allocates anything.
  if (uint64_t{FImageHeader->Width()} * FImageHeader->Height() > CPngMaxPixels) throw EPngError("Image too large");
  if (int64_t{Width()} * Height() != 0) CheckImageDataSize();
  map->SetSize(Width(), Height());
  if (int64_t{Width()} * Height() != 0) DrawToPixelMap(*map);
}

void TPortableNetworkGraphicPixel32::Assign(const TPersistent& Source) {
  if (const auto* map = dynamic_cast<const TGuiCustomPixelMap*>(&Source)) {
    EncodeFromPixelMap(*map);
    return;
  }
  TPortableNetworkGraphic::Assign(Source);
}

void TPortableNetworkGraphicPixel32::DefineProperties(TFiler& Filer) {
  TPortableNetworkGraphic::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& Stream) { ReadData(Stream); }, [this](TStream& Stream) { WriteData(Stream); },
      int64_t{Width()} * Height() != 0);
}

void TPortableNetworkGraphicPixel32::EncodeFromPixelMap(const TGuiCustomPixelMap& PixelMap) {
  const uint64_t count = uint64_t(PixelMap.Width()) * uint64_t(PixelMap.Height());
  if (count > CPngMaxPixels) throw EPngError("Image too large");

  // What the pixels need: the colours in first-seen order while they fit a palette, whether all
  // of them are grey, and whether any pixel is translucent.
  std::vector<TRGB24> colors;
  std::unordered_map<uint32_t, int> known;
  bool grey = true, palette = true, alpha = false;
  const TPixel32* px = PixelMap.DataPointer();
  auto isGrey = [](TPixel32 p) { return p.R == p.G && p.G == p.B; };
  auto addColor = [&](TPixel32 p) {
    const uint32_t key = p.ARGB() & 0x00FFFFFFu;
    if (known.count(key)) return;
    if (colors.size() < 256) {
      known.emplace(key, static_cast<int>(colors.size()));
      colors.push_back(TRGB24{p.R, p.G, p.B});
      if (!isGrey(p)) grey = false;
    } else {
      palette = false;
      // The colour that overflows the palette counts for grey too, else a grey decision could
      // be taken on an image with colours missing from its palette.
      if (!isGrey(p)) grey = false;
    }
  };
  switch (FStorageFormat) {
    case psfAuto: {
      uint8_t alphaValue = 255;
      for (uint64_t i = 0; i < count; ++i) {
        // A translucent non-grey image is stored with alpha whatever its colours are.
        if (alpha && !grey) break;
        const TPixel32 p = px[i];
        if (p.A != 255) {
          if (!alpha)
            alphaValue = p.A;
          else if (palette && p.A != alphaValue)
            palette = false;
          alpha = true;
        }
        if (palette)
          addColor(p);
        else if (!isGrey(p))
          grey = false;
      }
      break;
    }
    case psfGrayscale:
      palette = false;
      for (uint64_t i = 0; i < count && !alpha; ++i) alpha = px[i].A != 255;
      break;
    case psfPalette:
      for (uint64_t i = 0; i < count && palette; ++i) addColor(px[i]);
      for (uint64_t i = 0; i < count && !alpha; ++i) alpha = px[i].A != 255;
      grey = false;
      break;
    case psfRGB:
      grey = palette = false;
      break;
    case psfRGBA:
      grey = palette = false;
      alpha = true;
      break;
  }

  uint8_t colorType, bitDepth = 8;
  if (FStorageFormat == psfGrayscale) {
    colorType = alpha ? ctGrayscaleAlpha : ctGrayscale;
  } else if (FStorageFormat == psfPalette && palette) {
    colorType = ctIndexedColor;
  } else if (grey && alpha) {
    colorType = ctGrayscaleAlpha;
  } else if (alpha) {
    // A palette holds no alpha for our decoder: translucent images keep it in colour type 6.
    colorType = ctTrueColorAlpha;
  } else if (grey || palette) {
    colorType = ctIndexedColor;
  } else {
    colorType = ctTrueColor;
  }
  if (colorType == ctIndexedColor) {
    const size_t n = colors.size();
    bitDepth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  }

  TChunkPngImageHeader& header = *FImageHeader;
  header.SetWidth(static_cast<uint32_t>(PixelMap.Width()));
  header.SetHeight(static_cast<uint32_t>(PixelMap.Height()));
  header.SetBitDepth(bitDepth);
  header.SetColorType(colorType);
  header.SetCompressionMethod(0);
  header.SetFilterMethod(fmAdaptiveFilter);
  header.SetInterlaceMethod(imNone);

  // Chunks of an earlier image that describe its colours no longer fit.
  FGammaChunk.reset();
  FSignificantBits.reset();
  if (colorType != ctIndexedColor) FPaletteChunk.reset();
  for (int i = FAdditionalChunkList->Count() - 1; i >= 0; --i) {
    const std::string name = FAdditionalChunkList->GetChunk(i)->ChunkName();
    if (name == "tRNS" || name == "bKGD" || name == "hIST" || name == "sBIT") FAdditionalChunkList->Delete(i);
    else if (auto* c = dynamic_cast<TCustomChunkPngWithHeader*>(FAdditionalChunkList->GetChunk(i))) c->HeaderChanged();
  }
  if (colorType == ctIndexedColor) {
    KVX_ASSERT(colors.size() <= 256, "KVX_GuiPng");
    if (!FPaletteChunk) FPaletteChunk = std::make_unique<TChunkPngPalette>(FImageHeader.get());
    FPaletteChunk->SetCount(static_cast<int>(colors.size()));
    for (size_t i = 0; i < colors.size(); ++i) FPaletteChunk->SetPaletteEntry(static_cast<int>(i), colors[i]);
  }

  if (count == 0) {
    FDataChunkList->Clear();
    return;
  }
  TMemoryStream raw;
  std::unique_ptr<TCustomPngEncoder> encoder = CreatePngEncoder(raw, header, FPaletteChunk.get());
  encoder->EncodeFromScanline(const_cast<TGuiCustomPixelMap*>(&PixelMap), &GetScanLineCallback);
  raw.SetPosition(0);
  CompressImageData(raw);
}

const TGuiFileFormatClass& PortableNetworkGraphicFormatClass() {
  return FileFormatClassOf<TPortableNetworkGraphicPixel32>("TPortableNetworkGraphicPixel32");
}

namespace {

// Registered when the unit starts, so that pixel maps load PNG streams.
struct TRegisterPng {
  TRegisterPng() { RegisterFileFormat(PortableNetworkGraphicFormatClass()); }
} GRegisterPng;

}  // namespace

}  // namespace kvx
