// The PNG image object: loads and saves the container, decodes into pixel maps and encodes
// pixel maps, and registers itself as a loadable file format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gui/KVX_GuiFileFormats.h"
#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPngChunks.h"
#include "png/KVX_GuiPngCoder.h"

namespace kvx {

class TPortableNetworkGraphic : public TGuiCustomFileFormat {
 public:
  TPortableNetworkGraphic();
  ~TPortableNetworkGraphic() override;
  std::string ClassName() const override { return "TPortableNetworkGraphic"; }

  // The header's size; setting it, or any other header property, is refused.
  int32_t Width() const override { return static_cast<int32_t>(FImageHeader->Width() & CPngMaxDimension); }
  void SetWidth(int32_t Value) override;
  int32_t Height() const override { return static_cast<int32_t>(FImageHeader->Height() & CPngMaxDimension); }
  void SetHeight(int32_t Value) override;
  uint8_t BitDepth() const { return FImageHeader->BitDepth(); }
  void SetBitDepth(uint8_t Value);
  uint8_t ColorType() const { return FImageHeader->ColorType(); }
  uint8_t CompressionMethod() const { return FImageHeader->CompressionMethod(); }
  void SetCompressionMethod(uint8_t Value);
  uint8_t FilterMethod() const { return FImageHeader->FilterMethod(); }
  void SetFilterMethod(uint8_t Value);
  uint8_t InterlaceMethod() const { return FImageHeader->InterlaceMethod(); }
  void SetInterlaceMethod(uint8_t Value);
  float Gamma() const;
  void SetGamma(float Value);

  uint8_t CompressionLevel() const { return FCompressionLevel; }
  // 1..9, else EPngError; a new level recompresses the image data.
  void SetCompressionLevel(uint8_t Value);

  int PaletteEntryCount() const { return FPaletteChunk ? FPaletteChunk->Count() : 0; }
  TRGB24 GetPaletteEntry(int Index) const;

  uint32_t PixelsPerUnitX() const { return FPhysicalDimensions ? FPhysicalDimensions->PixelsPerUnitX : 1; }
  void SetPixelsPerUnitX(uint32_t Value);
  uint32_t PixelsPerUnitY() const { return FPhysicalDimensions ? FPhysicalDimensions->PixelsPerUnitY : 1; }
  void SetPixelsPerUnitY(uint32_t Value);
  uint8_t PixelUnit() const { return FPhysicalDimensions ? FPhysicalDimensions->PixelUnit : 0; }
  void SetPixelUnit(uint8_t Value);
  double ModifiedTime() const { return FTimeChunk ? FTimeChunk->ModifiedDateTime() : 0; }
  // Changes an existing tIME chunk only.
  void SetModifiedTime(double Value);

  TChunkPngSignificantBits* SignificantBitsChunk() const { return FSignificantBits.get(); }
  // Null frees the chunk; a chunk is copied (into a new one if needed).
  void SetSignificantBitsChunk(const TChunkPngSignificantBits* Value);
  TChunkPngPrimaryChromaticities* PrimaryChromaticitiesChunk() const { return FChromaChunk.get(); }
  void SetPrimaryChromaticitiesChunk(const TChunkPngPrimaryChromaticities* Value);

  bool HasGammaInformation() const { return FGammaChunk != nullptr; }
  bool HasModifiedTimeInformation() const { return FTimeChunk != nullptr; }
  bool HasPhysicalPixelDimensionsInformation() const { return FPhysicalDimensions != nullptr; }
  void RemoveGammaInformation() { FGammaChunk.reset(); }
  void RemoveModifiedTimeInformation() { FTimeChunk.reset(); }
  void RemovePhysicalPixelDimensionsInformation() { FPhysicalDimensions.reset(); }

  TChunkPngImageHeader& ImageHeader() const { return *FImageHeader; }
  TChunkPngPalette* PaletteChunk() const { return FPaletteChunk.get(); }
  TChunkPngGamma* GammaChunk() const { return FGammaChunk.get(); }
  TChunkPngTime* TimeChunk() const { return FTimeChunk.get(); }
  TChunkPngPhysicalPixelDimensions* PhysicalDimensionsChunk() const { return FPhysicalDimensions.get(); }
  TPngChunkList& DataChunkList() const { return *FDataChunkList; }
  TPngChunkList& AdditionalChunkList() const { return *FAdditionalChunkList; }

  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);
  // True when the extension contains "png" (case-sensitive).
  static bool CanHandleExtension(const std::string& Extension);

  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void Assign(const TPersistent& Source) override;

  virtual void ClearChunks();
  virtual void Recompress();

  // All IDAT data in list order.
  void GatherImageData(TStream& Output) const;
  // Inflates the image data, keeping the bytes the header's image holds. Image data that
  // cannot inflate to that size is refused first (CheckImageDataSize).
  void DecompressImageData(TStream& Output) const;
  // EPngError "Image data too short" when the IDAT bytes, at deflate's greatest expansion, cannot
  // hold the header's image: a tiny file that declares a huge image is refused before anything
  // is allocated for it.
  void CheckImageDataSize() const;
  // Deflates Input (from its start) into one IDAT chunk that replaces the present ones.
  void CompressImageData(TStream& Input);

 protected:
  void ReadChunk(TStream& Scratch, const TChunkName& Name);

  uint8_t FCompressionLevel = 9;
  std::unique_ptr<TChunkPngImageHeader> FImageHeader;
  std::unique_ptr<TChunkPngPalette> FPaletteChunk;
  std::unique_ptr<TChunkPngGamma> FGammaChunk;
  std::unique_ptr<TChunkPngTime> FTimeChunk;
  std::unique_ptr<TChunkPngSignificantBits> FSignificantBits;
  std::unique_ptr<TChunkPngPhysicalPixelDimensions> FPhysicalDimensions;
  std::unique_ptr<TChunkPngPrimaryChromaticities> FChromaChunk;
  std::unique_ptr<TPngChunkList> FDataChunkList;
  std::unique_ptr<TPngChunkList> FAdditionalChunkList;
};

// The PNG object the GUI uses: decodes into and encodes from 32-bit pixel maps.
class TPortableNetworkGraphicPixel32 : public TPortableNetworkGraphic {
 public:
  std::string ClassName() const override { return "TPortableNetworkGraphicPixel32"; }

  TPngStorageFormat StorageFormat() const { return FStorageFormat; }
  void SetStorageFormat(TPngStorageFormat Value) { FStorageFormat = Value; }

  // Decodes the image into the map's top-left Width x Height pixels, overwriting them. A map
  // smaller than the image is refused before anything is written.
  virtual void DrawToPixelMap(TGuiCustomPixelMap& PixelMap) const;
  // A pixel map gets the image's size and pixels; anything else goes to the base class.
  void AssignTo(TPersistent& Dest) const override;
  // A pixel map is encoded; anything else as for any PNG object.
  void Assign(const TPersistent& Source) override;
  // The address of row Line of Bitmap if it is a pixel map with that row, else null.
  static TPixel32* GetScanLineCallback(TPersistent* Bitmap, int32_t Line);

  // The form-stream property "Data": the complete PNG file.
  void DefineProperties(TFiler& Filer) override;
  virtual void ReadData(TStream& Stream) { LoadFromStream(Stream); }
  virtual void WriteData(TStream& Stream) { SaveToStream(Stream); }

 protected:
  void EncodeFromPixelMap(const TGuiCustomPixelMap& PixelMap);

  TPngStorageFormat FStorageFormat = psfAuto;
};

// The registry entry of the PNG format.
const TGuiFileFormatClass& PortableNetworkGraphicFormatClass();

}  // namespace kvx
