// The PNG coders: the mapping table, scanline filters, the decoders (one class per colour type
// and bit depth, non-interlaced and Adam7) and the non-interlaced encoders.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gui/KVX_GuiBlend.h"
#include "platform/KVX_Persistent.h"
#include "png/KVX_GuiPngChunks.h"

namespace kvx {

// Answers the address of row Line of Bitmap (a pixel row of at least the image's width), or
// null when Bitmap has no such row.
using TScanLineCallback = std::function<TPixel32*(TPersistent* Bitmap, int32_t Line)>;

uint8_t PaethPredictor(uint8_t a, uint8_t b, uint8_t c);

class TCustomPngCoder {
 public:
  TCustomPngCoder(TStream& Stream, TChunkPngImageHeader& Header, TChunkPngGamma* Gamma,
                  TChunkPngPalette* Palette);
  virtual ~TCustomPngCoder() = default;
  TCustomPngCoder(const TCustomPngCoder&) = delete;
  TCustomPngCoder& operator=(const TCustomPngCoder&) = delete;

  const std::vector<uint8_t>& MappingTable() const { return FMappingTable; }

 protected:
  // Colour bytes are looked up here: 256 entries, or 256 RGB triples for palette images.
  virtual void BuildMappingTable();

  TStream* FStream;
  TChunkPngImageHeader* FHeader;
  TChunkPngGamma* FGamma;
  TChunkPngPalette* FPalette;
  std::vector<uint8_t> FRowBuffer[2];
  std::vector<uint8_t> FMappingTable;
};

class TCustomPngDecoder : public TCustomPngCoder {
 public:
  using TCustomPngCoder::TCustomPngCoder;
  virtual void DecodeToScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) = 0;

 protected:
  // Undoes the filter of Row (byte 0 the filter type, bytes 1..Length the data) against
  // Previous; an unknown filter type raises Exception.
  static void ReverseFilter(uint8_t Type, uint8_t* Row, const uint8_t* Previous, size_t Length,
                            size_t Distance);
  // Reads one filtered row; fewer bytes than asked raise Exception.
  void ReadRow(uint8_t* Buffer, size_t Count);
  TPixel32* RowOf(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback, uint32_t Y);
};

class TCustomPngNonInterlacedDecoder : public TCustomPngDecoder {
 public:
  TCustomPngNonInterlacedDecoder(TStream& Stream, TChunkPngImageHeader& Header, TChunkPngGamma* Gamma,
                                 TChunkPngPalette* Palette);
  void DecodeToScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) override;

 protected:
  virtual void TransferRow(const uint8_t* Source, TPixel32* Destination) = 0;
  size_t FBytesPerRow;
  size_t FRowByteSize;
};

class TCustomPngAdam7Decoder : public TCustomPngDecoder {
 public:
  TCustomPngAdam7Decoder(TStream& Stream, TChunkPngImageHeader& Header, TChunkPngGamma* Gamma,
                         TChunkPngPalette* Palette);
  void DecodeToScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) override;

 protected:
  virtual void TransferRow(int Pass, const uint8_t* Source, TPixel32* Destination) = 0;
};

// The pixel layouts the decoders read.
enum TPngPixelLayout : uint8_t {
  plGray1, plGray2, plGray4, plGray8, plGray16, plGrayAlpha8, plGrayAlpha16, plTrueColor8,
  plTrueColor16, plTrueColorAlpha8, plTrueColorAlpha16, plPalette1, plPalette2, plPalette4,
  plPalette8
};

// Writes Count pixels of Layout from Source to Destination[0], Destination[Step], ...
void TransferPixels(TPngPixelLayout Layout, const uint8_t* Source, TPixel32* Destination, uint64_t Count,
                    uint64_t Step, const uint8_t* Map);

template <TPngPixelLayout Layout>
class TPngNonInterlacedDecoderOf : public TCustomPngNonInterlacedDecoder {
 public:
  using TCustomPngNonInterlacedDecoder::TCustomPngNonInterlacedDecoder;

 protected:
  void TransferRow(const uint8_t* Source, TPixel32* Destination) override {
    TransferPixels(Layout, Source, Destination, FHeader->Width(), 1, FMappingTable.data());
  }
};

template <TPngPixelLayout Layout>
class TPngAdam7DecoderOf : public TCustomPngAdam7Decoder {
 public:
  using TCustomPngAdam7Decoder::TCustomPngAdam7Decoder;

 protected:
  void TransferRow(int Pass, const uint8_t* Source, TPixel32* Destination) override;
};

#define KVX_PNG_DECODER(Name, Base, Layout) \
  class Name final : public Base<Layout> {  \
   public:                                  \
    using Base<Layout>::Base;               \
  };
KVX_PNG_DECODER(TPngGrayscale1bitRGBADecoder, TPngNonInterlacedDecoderOf, plGray1)
KVX_PNG_DECODER(TPngGrayscale2bitRGBADecoder, TPngNonInterlacedDecoderOf, plGray2)
KVX_PNG_DECODER(TPngGrayscale4bitRGBADecoder, TPngNonInterlacedDecoderOf, plGray4)
KVX_PNG_DECODER(TPngGrayscale8bitRGBADecoder, TPngNonInterlacedDecoderOf, plGray8)
KVX_PNG_DECODER(TPngGrayscale16bitRGBADecoder, TPngNonInterlacedDecoderOf, plGray16)
KVX_PNG_DECODER(TPngGrayscaleAlpha8bitRGBADecoder, TPngNonInterlacedDecoderOf, plGrayAlpha8)
KVX_PNG_DECODER(TPngGrayscaleAlpha16bitRGBADecoder, TPngNonInterlacedDecoderOf, plGrayAlpha16)
KVX_PNG_DECODER(TPngTrueColor8bitBGRADecoder, TPngNonInterlacedDecoderOf, plTrueColor8)
KVX_PNG_DECODER(TPngTrueColor16bitBGRADecoder, TPngNonInterlacedDecoderOf, plTrueColor16)
KVX_PNG_DECODER(TPngTrueColorAlpha8bitBGRADecoder, TPngNonInterlacedDecoderOf, plTrueColorAlpha8)
KVX_PNG_DECODER(TPngTrueColorAlpha16bitBGRADecoder, TPngNonInterlacedDecoderOf, plTrueColorAlpha16)
KVX_PNG_DECODER(TPngPalette8bitBGRADecoder, TPngNonInterlacedDecoderOf, plPalette8)
KVX_PNG_DECODER(TPngAdam7Grayscale1bitRGBADecoder, TPngAdam7DecoderOf, plGray1)
KVX_PNG_DECODER(TPngAdam7Grayscale2bitRGBADecoder, TPngAdam7DecoderOf, plGray2)
KVX_PNG_DECODER(TPngAdam7Grayscale4bitRGBADecoder, TPngAdam7DecoderOf, plGray4)
KVX_PNG_DECODER(TPngAdam7Grayscale8bitRGBADecoder, TPngAdam7DecoderOf, plGray8)
KVX_PNG_DECODER(TPngAdam7Grayscale16bitRGBADecoder, TPngAdam7DecoderOf, plGray16)
KVX_PNG_DECODER(TPngAdam7GrayscaleAlpha8bitRGBADecoder, TPngAdam7DecoderOf, plGrayAlpha8)
KVX_PNG_DECODER(TPngAdam7GrayscaleAlpha16bitRGBADecoder, TPngAdam7DecoderOf, plGrayAlpha16)
KVX_PNG_DECODER(TPngAdam7TrueColor8bitBGRADecoder, TPngAdam7DecoderOf, plTrueColor8)
KVX_PNG_DECODER(TPngAdam7TrueColor16bitBGRADecoder, TPngAdam7DecoderOf, plTrueColor16)
KVX_PNG_DECODER(TPngAdam7TrueColorAlpha8bitBGRADecoder, TPngAdam7DecoderOf, plTrueColorAlpha8)
KVX_PNG_DECODER(TPngAdam7TrueColorAlpha16bitBGRADecoder, TPngAdam7DecoderOf, plTrueColorAlpha16)
KVX_PNG_DECODER(TPngAdam7Palette1bitBGRADecoder, TPngAdam7DecoderOf, plPalette1)
KVX_PNG_DECODER(TPngAdam7Palette2bitBGRADecoder, TPngAdam7DecoderOf, plPalette2)
KVX_PNG_DECODER(TPngAdam7Palette4bitBGRADecoder, TPngAdam7DecoderOf, plPalette4)
KVX_PNG_DECODER(TPngAdam7Palette8bitBGRADecoder, TPngAdam7DecoderOf, plPalette8)
#undef KVX_PNG_DECODER

// Non-interlaced palette images of 1, 2 and 4 bits.
class TPngPaletteBGRADecoder final : public TCustomPngNonInterlacedDecoder {
 public:
  using TCustomPngNonInterlacedDecoder::TCustomPngNonInterlacedDecoder;

 protected:
  void TransferRow(const uint8_t* Source, TPixel32* Destination) override;
};

// Picks and creates the decoder for the header; unsupported combinations raise EPngError.
std::unique_ptr<TCustomPngDecoder> CreatePngDecoder(TStream& Stream, TChunkPngImageHeader& Header,
                                                    TChunkPngGamma* Gamma, TChunkPngPalette* Palette);
// Bytes of decompressed image data the header's image holds (rows with their filter bytes).
uint64_t PngImageDataSize(const TChunkPngImageHeader& Header);

// ---- encoders ----

class TCustomPngEncoder : public TCustomPngCoder {
 public:
  using TCustomPngCoder::TCustomPngCoder;
  virtual void EncodeFromScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) = 0;
};

class TCustomPngNonInterlacedEncoder : public TCustomPngEncoder {
 public:
  TCustomPngNonInterlacedEncoder(TStream& Stream, TChunkPngImageHeader& Header, TChunkPngGamma* Gamma,
                                 TChunkPngPalette* Palette);
  void EncodeFromScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) override;

 protected:
  // The index of the first palette entry with the pixel's R, G and B, or -1.
  virtual int PaletteLookup(TPixel32 Pixel);
  virtual void PackRow(const TPixel32* Source, uint8_t* Destination) = 0;
  size_t FBytesPerRow;
  size_t FRowByteSize;

 private:
  TPixel32 FLastPixel{};
  int FLastIndex = -2;
};

template <int Bits>
class TPngGrayscaleEncoderOf : public TCustomPngNonInterlacedEncoder {
 public:
  using TCustomPngNonInterlacedEncoder::TCustomPngNonInterlacedEncoder;

 protected:
  void PackRow(const TPixel32* Source, uint8_t* Destination) override;
};

template <int Bits>
class TPngPaletteEncoderOf : public TCustomPngNonInterlacedEncoder {
 public:
  using TCustomPngNonInterlacedEncoder::TCustomPngNonInterlacedEncoder;

 protected:
  void PackRow(const TPixel32* Source, uint8_t* Destination) override;
};

class TPngRGBAGrayscale1bitEncoder final : public TPngGrayscaleEncoderOf<1> {
 public:
  using TPngGrayscaleEncoderOf<1>::TPngGrayscaleEncoderOf;
};
class TPngRGBAGrayscale2bitEncoder final : public TPngGrayscaleEncoderOf<2> {
 public:
  using TPngGrayscaleEncoderOf<2>::TPngGrayscaleEncoderOf;
};
class TPngRGBAGrayscale4bitEncoder final : public TPngGrayscaleEncoderOf<4> {
 public:
  using TPngGrayscaleEncoderOf<4>::TPngGrayscaleEncoderOf;
};
class TPngRGBAGrayscale8bitEncoder final : public TPngGrayscaleEncoderOf<8> {
 public:
  using TPngGrayscaleEncoderOf<8>::TPngGrayscaleEncoderOf;
};
class TPngBGRAPalette1bitEncoder final : public TPngPaletteEncoderOf<1> {
 public:
  using TPngPaletteEncoderOf<1>::TPngPaletteEncoderOf;
};
class TPngBGRAPalette2bitEncoder final : public TPngPaletteEncoderOf<2> {
 public:
  using TPngPaletteEncoderOf<2>::TPngPaletteEncoderOf;
};
class TPngBGRAPalette4bitEncoder final : public TPngPaletteEncoderOf<4> {
 public:
  using TPngPaletteEncoderOf<4>::TPngPaletteEncoderOf;
};
class TPngBGRAPalette8bitEncoder final : public TPngPaletteEncoderOf<8> {
 public:
  using TPngPaletteEncoderOf<8>::TPngPaletteEncoderOf;
};

class TPngRGBAGrayscaleAlpha8bitEncoder final : public TCustomPngNonInterlacedEncoder {
 public:
  using TCustomPngNonInterlacedEncoder::TCustomPngNonInterlacedEncoder;

 protected:
  void PackRow(const TPixel32* Source, uint8_t* Destination) override;
};

class TPngBGRATrueColor8bitEncoder final : public TCustomPngNonInterlacedEncoder {
 public:
  using TCustomPngNonInterlacedEncoder::TCustomPngNonInterlacedEncoder;

 protected:
  void PackRow(const TPixel32* Source, uint8_t* Destination) override;
};

class TPngBGRATrueColorAlpha8bitEncoder final : public TCustomPngNonInterlacedEncoder {
 public:
  using TCustomPngNonInterlacedEncoder::TCustomPngNonInterlacedEncoder;

 protected:
  void PackRow(const TPixel32* Source, uint8_t* Destination) override;
};

// Picks and creates the encoder for the header; unsupported combinations raise EPngError.
std::unique_ptr<TCustomPngEncoder> CreatePngEncoder(TStream& Stream, TChunkPngImageHeader& Header,
                                                    TChunkPngPalette* Palette);

}  // namespace kvx
