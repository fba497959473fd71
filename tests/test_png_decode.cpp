// Decoding PNG image data into pixel maps: layouts, Adam7, the mapping table, filters and the
// limits that keep hostile files from reading or writing out of bounds or hanging.
#include <gtest/gtest.h>

#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPng.h"
#include "support/png_support.h"

using namespace kvx;
using namespace kvx::test;

namespace {

TBytes Image(uint32_t W, uint32_t H, uint8_t Depth, uint8_t ColorType, const TBytes& Raw,
             std::initializer_list<TBytes> Extra = {}, uint8_t Interlace = 0) {
  TBytes chunks = PngHeaderChunk(W, H, Depth, ColorType, Interlace);
  for (const TBytes& e : Extra) chunks.insert(chunks.end(), e.begin(), e.end());
  return PngFile({chunks, PngChunk("IDAT", ZlibCompress(Raw))});
}

void Load(TPortableNetworkGraphicPixel32& Png, const TBytes& File) {
  TMemoryStream s(File);
  Png.LoadFromStream(s);
}

void Decode(const TBytes& File, TGuiPixelMapMemory& Map) {
  TPortableNetworkGraphicPixel32 png;
  Load(png, File);
  png.AssignTo(Map);
}

TPixel32 Px(uint8_t R, uint8_t G, uint8_t B, uint8_t A = 255) { return TPixel32{B, G, R, A}; }

TEST(PngDecode, TrueColorAlphaReordersBytesWithAndWithoutNeutralGamma) {
  TBytes raw{0};
  for (int i = 0; i < 256; ++i)
    raw.insert(raw.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i ^ 0x55), uint8_t(i * 7)});
  for (bool gamma : {false, true}) {
    TGuiPixelMapMemory map;
    if (gamma)
      Decode(Image(256, 1, 8, 6, raw, {PngChunk("gAMA", BigEndian32(45455))}), map);
    else
      Decode(Image(256, 1, 8, 6, raw), map);
    ASSERT_EQ(map.Width(), 256);
    for (int i = 0; i < 256; ++i)
      ASSERT_EQ(map.Pixel(i, 0), Px(uint8_t(i), uint8_t(255 - i), uint8_t(i ^ 0x55), uint8_t(i * 7)))
          << "byte " << i << (gamma ? " with gAMA" : "");
  }
}

TEST(PngDecode, MappingTableFollowsGammaButNeverAlpha) {
  // 16-bit grey+alpha: only the high bytes count, the grey through the table.
  const std::vector<uint8_t> table = ReferenceGammaTable(100000);
  TGuiPixelMapMemory map;
  Decode(Image(1, 1, 16, 4, {0, 0x12, 0x34, 0x40, 0xFF}, {PngChunk("gAMA", BigEndian32(100000))}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(table[0x12], table[0x12], table[0x12], 0x40));
  ASSERT_NE(table[0x12], 0x12);
  // A gAMA of 0 counts as absent.
  Decode(Image(1, 1, 16, 0, {0, 0x12, 0x34}, {PngChunk("gAMA", BigEndian32(0))}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(0x12, 0x12, 0x12));
}

TEST(PngDecode, Adam7SmallImagesFillEveryPixel) {
  // 2 x 2: pass 1 gives (0, 0), pass 6 (1, 0), pass 7 row 1; the other passes are empty.
  TGuiPixelMapMemory map;
  Decode(Image(2, 2, 8, 2, {0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12}, {}, 1), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(1, 2, 3));
  EXPECT_EQ(map.Pixel(1, 0), Px(4, 5, 6));
  EXPECT_EQ(map.Pixel(0, 1), Px(7, 8, 9));
  EXPECT_EQ(map.Pixel(1, 1), Px(10, 11, 12));
  // 1 x 1 reads one row, in pass 1.
  TPortableNetworkGraphicPixel32 png;
  Load(png, Image(1, 1, 8, 0, {0, 0x99}, {}, 1));
  EXPECT_EQ(PngImageDataSize(png.ImageHeader()), 2u);
  png.AssignTo(map);
  EXPECT_EQ(map.Pixel(0, 0), Px(0x99, 0x99, 0x99));
}

TEST(PngDecode, PaletteImages) {
  const TBytes plte = PngChunk("PLTE", {10, 20, 30, 40, 50, 60});
  TGuiPixelMapMemory map;
  // tRNS is not applied: palette images decode opaque.
  Decode(Image(2, 1, 8, 3, {0, 0, 1}, {plte, PngChunk("tRNS", {0, 128})}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(10, 20, 30));
  EXPECT_EQ(map.Pixel(1, 0), Px(40, 50, 60));
  // Indices at or beyond the palette get opaque black, at every bit depth.
  Decode(Image(4, 1, 2, 3, {0, 0b00011011}, {plte}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(10, 20, 30));
  EXPECT_EQ(map.Pixel(1, 0), Px(40, 50, 60));
  EXPECT_EQ(map.Pixel(2, 0), Px(0, 0, 0));
  EXPECT_EQ(map.Pixel(3, 0), Px(0, 0, 0));
  Decode(Image(1, 1, 8, 3, {0, 255}, {plte}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(0, 0, 0));
  // Without PLTE the indices read a grey ramp of the bit depth.
  Decode(Image(4, 1, 2, 3, {0, 0b00011011}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(0, 0, 0));
  EXPECT_EQ(map.Pixel(1, 0), Px(85, 85, 85));
  EXPECT_EQ(map.Pixel(2, 0), Px(170, 170, 170));
  EXPECT_EQ(map.Pixel(3, 0), Px(255, 255, 255));
  Decode(Image(2, 1, 8, 3, {0, 1, 254}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(1, 1, 1));
  EXPECT_EQ(map.Pixel(1, 0), Px(254, 254, 254));
}

TEST(PngDecode, PaethPredictorTies) {
  EXPECT_EQ(PaethPredictor(7, 7, 7), 7);
  EXPECT_EQ(PaethPredictor(10, 20, 15), 15);  // pa = pb = 5, pc = 0
  EXPECT_EQ(PaethPredictor(10, 20, 10), 20);  // pa = 10, pb = 0
  EXPECT_EQ(PaethPredictor(20, 10, 15), 15);
  EXPECT_EQ(PaethPredictor(3, 9, 6), 6);
  EXPECT_EQ(PaethPredictor(5, 9, 5), 9);  // pa = 4, pb = 0: b
  EXPECT_EQ(PaethPredictor(9, 5, 5), 9);  // pa = 0 ties nothing: a
}

TEST(PngDecode, UnknownFilterTypeStopsWithRowsBeforeKept) {
  TGuiPixelMapMemory map;
  try {
    Decode(Image(1, 2, 8, 0, {0, 0x33, 5, 0x44}), map);
    FAIL() << "filter type 5 must raise";
  } catch (const EPngError&) {
    FAIL() << "the filter error is not a PNG error";
  } catch (const Exception&) {
  }
  EXPECT_EQ(map.Pixel(0, 0), Px(0x33, 0x33, 0x33));
  EXPECT_EQ(map.Pixel(0, 1).ARGB(), 0u);
}

TEST(PngDecode, MissingOrShortImageDataEnds) {
  TGuiPixelMapMemory map;
  // No IDAT at all: the inflater ends at once and decoding reports the missing rows.
  TPortableNetworkGraphicPixel32 png;
  Load(png, PngFile({PngHeaderChunk(3, 3, 8, 6)}));
  EXPECT_THROW(png.AssignTo(map), Exception);
  EXPECT_EQ(map.Width(), 3);
  // One row of two: row 0 is decoded, row 1 stays transparent black.
  EXPECT_THROW(Decode(Image(1, 2, 8, 0, {0, 0x50}), map), Exception);
  EXPECT_EQ(map.Pixel(0, 0), Px(0x50, 0x50, 0x50));
  EXPECT_EQ(map.Pixel(0, 1).ARGB(), 0u);
  // A cut-off zlib stream ends inflation too.
  TBytes packed = ZlibCompress(TBytes(40, 0));
  packed.resize(packed.size() / 2);
  TPortableNetworkGraphicPixel32 cut;
  Load(cut, PngFile({PngHeaderChunk(3, 3, 8, 0), PngChunk("IDAT", packed)}));
  EXPECT_THROW(cut.AssignTo(map), Exception);
}

TEST(PngDecode, InflationStopsAtTheImageSize) {
  // 1 x 1 grey whose zlib stream holds 64 MiB, followed by junk in the same IDAT.
  TBytes packed = ZlibCompress(TBytes(64u << 20, 0));
  packed.insert(packed.end(), {1, 2, 3, 4});
  TPortableNetworkGraphicPixel32 png;
  Load(png, PngFile({PngHeaderChunk(1, 1, 8, 0), PngChunk("IDAT", packed)}));
  TMemoryStream out;
  png.DecompressImageData(out);
  EXPECT_EQ(out.Size(), 2);
  TGuiPixelMapMemory map;
  png.AssignTo(map);
  EXPECT_EQ(map.Pixel(0, 0), Px(0, 0, 0));
  // Bytes after the end of the zlib stream are not image data.
  TBytes tail = ZlibCompress({0, 7});
  tail.insert(tail.end(), {0, 8});
  Load(png, PngFile({PngHeaderChunk(1, 2, 8, 0), PngChunk("IDAT", tail)}));
  png.DecompressImageData(out = TMemoryStream());
  EXPECT_EQ(out.Size(), 2);
}

// Deflate expands a byte to at most 1032: image data too small to hold the declared image is
// refused before the map or the decoder allocates anything, while the most compressible real
// image still decodes.
TEST(PngDecode, ImageDataThatCannotHoldTheImageIsRefusedBeforeAllocating) {
  struct Case {
    uint32_t W, H;
    uint8_t Depth, ColorType, Interlace;
  };
  // 268435456 x 1 RGBA16 (2 GiB of rows), 16384 x 16384 grey, and an interlaced one.
  for (const Case& c : {Case{1u << 28, 1, 16, 6, 0}, Case{16384, 16384, 8, 0, 0}, Case{8192, 8192, 8, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << c.W << " x " << c.H);
    TPortableNetworkGraphicPixel32 png;
    Load(png, Image(c.W, c.H, c.Depth, c.ColorType, {0, 0, 0, 0}, {}, c.Interlace));
    TGuiPixelMapMemory map;
    try {
      png.AssignTo(map);
      FAIL() << "decoded";
    } catch (const EPngError& e) {
      EXPECT_STREQ(e.what(), "Image data too short");
    }
    EXPECT_EQ(map.Width(), 0);
    TMemoryStream out;
    EXPECT_THROW(png.DecompressImageData(out), EPngError);
    EXPECT_EQ(out.Size(), 0);
  }
  // 4096 x 4096 zero bytes deflate as tightly as deflate can; the image must still load.
  const uint32_t side = 4096;
  const TBytes packed = ZlibCompress(TBytes(size_t{side} * (side + 1), 0));
  ASSERT_LT(packed.size() * 1000, size_t{side} * (side + 1)) << "not a strongly compressed image";
  TPortableNetworkGraphicPixel32 png;
  Load(png, PngFile({PngHeaderChunk(side, side, 8, 0), PngChunk("IDAT", packed)}));
  TGuiPixelMapMemory map;
  png.AssignTo(map);
  EXPECT_EQ(map.Pixel(side - 1, side - 1), Px(0, 0, 0));
}

// The zlib stream is read to its end: a wrong Adler-32 check value is an error even when the
// image bytes came out before it, and a stream that ends before its check value still decodes.
TEST(PngDecode, AdlerCheckValueIsVerified) {
  const TBytes raw{0, 0x10, 0x20, 0x30, 0x40, 0, 0x50, 0x60, 0x70, 0x80};
  const TBytes good = ZlibCompress(raw, 0);  // stored: a flipped data bit is no deflate error
  auto decode = [](const TBytes& Packed, TGuiPixelMapMemory& Map) {
    TPortableNetworkGraphicPixel32 png;
    Load(png, PngFile({PngHeaderChunk(4, 2, 8, 0), PngChunk("IDAT", Packed)}));
    png.AssignTo(Map);
  };
  TGuiPixelMapMemory map;
  decode(good, map);
  EXPECT_EQ(map.Pixel(3, 1), Px(0x80, 0x80, 0x80));
  // One flipped bit in the image bytes, another in the check value itself.
  for (size_t at : {good.size() - 8, good.size() - 1}) {
    SCOPED_TRACE(at);
    TBytes bad = good;
    bad[at] ^= 0x04;
    try {
      decode(bad, map);
      FAIL() << "decoded";
    } catch (const EPngError& e) {
      EXPECT_STREQ(e.what(), "Incorrect data check");
    }
  }
  // Without its check value (cut off, or cut in half) the stream decodes as before.
  for (size_t cut : {4u, 2u}) {
    TBytes shorter(good.begin(), good.end() - static_cast<std::ptrdiff_t>(cut));
    decode(shorter, map);
    EXPECT_EQ(map.Pixel(3, 1), Px(0x80, 0x80, 0x80));
  }
}

TEST(PngDecode, SizesAreCheckedBeforeAnythingIsAllocatedOrWritten) {
  // A map smaller than the image is refused and not touched.
  TPortableNetworkGraphicPixel32 png;
  Load(png, Image(2, 2, 8, 0, {0, 1, 2, 0, 3, 4}));
  TGuiPixelMapMemory small;
  small.SetSize(2, 1);
  small.Clear(Px(9, 9, 9));
  EXPECT_THROW(png.DrawToPixelMap(small), EPngError);
  EXPECT_EQ(small.Pixel(1, 0), Px(9, 9, 9));
  // A larger map keeps what lies outside the image.
  TGuiPixelMapMemory large;
  large.SetSize(3, 3);
  large.Clear(Px(9, 9, 9));
  png.DrawToPixelMap(large);
  EXPECT_EQ(large.Pixel(1, 1), Px(4, 4, 4));
  EXPECT_EQ(large.Pixel(2, 2), Px(9, 9, 9));

  // Images above the pixel cap are refused before the map is sized.
  struct Case {
    uint32_t W, H;
    uint8_t ColorType, Depth;
  };
  const Case huge[] = {{65536, 65536, 6, 8}, {0x7FFFFFFF, 1, 6, 16}, {1, 0x7FFFFFFF, 0, 1}, {1u << 30, 1u << 1, 6, 8}};
  for (const Case& c : huge) {
    TPortableNetworkGraphicPixel32 big;
    Load(big, Image(c.W, c.H, c.Depth, c.ColorType, {0, 0, 0, 0, 0}));
    TGuiPixelMapMemory map;
    EXPECT_THROW(big.AssignTo(map), EPngError) << c.W << " x " << c.H;
    EXPECT_EQ(map.Width(), 0);
    EXPECT_THROW(big.DrawToPixelMap(small), EPngError);
  }
  // Row sizes are computed in 64 bits: no wrap at a width of 2^30.
  TChunkPngImageHeader header;
  header.SetWidth(1u << 30);
  header.SetColorType(ctTrueColorAlpha);
  EXPECT_EQ(header.BytesPerRow(), uint64_t{1} << 32);
  header.SetBitDepth(16);
  header.SetWidth(0x7FFFFFFF);
  EXPECT_EQ(header.BytesPerRow(), uint64_t{0x7FFFFFFF} * 8);
}

TEST(PngDecode, GreyBelowEightBitsExpands) {
  TGuiPixelMapMemory map;
  Decode(Image(8, 1, 1, 0, {0, 0b10100000}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(255, 255, 255));
  EXPECT_EQ(map.Pixel(1, 0), Px(0, 0, 0));
  EXPECT_EQ(map.Pixel(2, 0), Px(255, 255, 255));
  Decode(Image(3, 1, 4, 0, {0, 0x1F, 0x70}), map);
  EXPECT_EQ(map.Pixel(0, 0), Px(17, 17, 17));
  EXPECT_EQ(map.Pixel(1, 0), Px(255, 255, 255));
  EXPECT_EQ(map.Pixel(2, 0), Px(119, 119, 119));
}

TEST(PngDecode, UnsupportedCombinationsRaiseBeforeWriting) {
  // Header fields changed after loading reach the decoder choice.
  TPortableNetworkGraphicPixel32 png;
  Load(png, Image(1, 1, 8, 0, {0, 1}));
  TGuiPixelMapMemory map;
  map.SetSize(1, 1);
  map.Clear(Px(5, 5, 5));
  png.ImageHeader().SetBitDepth(3);
  EXPECT_THROW(png.DrawToPixelMap(map), EPngError);
  png.ImageHeader().SetBitDepth(8);
  png.ImageHeader().SetInterlaceMethod(2);
  EXPECT_THROW(png.DrawToPixelMap(map), EPngError);
  EXPECT_EQ(map.Pixel(0, 0), Px(5, 5, 5));
}

}  // namespace
