// Encoding pixel maps: the format choice, row filters, round trips through our decoder, and
// libpng reading every file we write the same way.
#include <gtest/gtest.h>

#include <functional>

#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPng.h"
#include "support/png_support.h"

using namespace kvx;
using namespace kvx::test;

namespace {

TPixel32 Px(uint8_t R, uint8_t G, uint8_t B, uint8_t A = 255) { return TPixel32{B, G, R, A}; }

void Fill(TGuiPixelMapMemory& Map, int W, int H, const std::function<TPixel32(int, int)>& F) {
  Map.SetSize(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) Map.GetScanLine(y)[x] = F(x, y);
}

TBytes Save(TPortableNetworkGraphic& Png) {
  TMemoryStream s;
  Png.SaveToStream(s);
  return s.Data();
}

void Reload(const TBytes& File, TGuiPixelMapMemory& Map) {
  TPortableNetworkGraphicPixel32 png;
  TMemoryStream s(File);
  png.LoadFromStream(s);
  png.AssignTo(Map);
}

struct Case {
  const char* Name;
  TPngStorageFormat Format;
  int W, H;
  std::function<TPixel32(int, int)> Pixel;
  uint8_t ColorType, BitDepth;
  bool SamePixels;  // reloads to the very same pixels
};

const Case kCases[] = {
    {"3 opaque colours", psfAuto, 5, 3, [](int x, int y) { return (x + y) % 3 == 0 ? Px(255, 0, 0) : (x + y) % 3 == 1 ? Px(0, 0, 255) : Px(1, 2, 3); }, 3, 2, true},
    {"16 opaque colours", psfAuto, 16, 2, [](int x, int) { return Px(uint8_t(x * 16), 7, uint8_t(255 - x)); }, 3, 4, true},
    {"2 opaque colours", psfAuto, 9, 3, [](int x, int y) { return (x ^ y) & 1 ? Px(9, 8, 7) : Px(200, 100, 50); }, 3, 1, true},
    {"200 opaque colours", psfAuto, 200, 2, [](int x, int) { return Px(uint8_t(x), uint8_t(x / 2), 99); }, 3, 8, true},
    {"all grey opaque", psfAuto, 64, 4, [](int x, int y) { return Px(uint8_t(x * 4 + y), uint8_t(x * 4 + y), uint8_t(x * 4 + y)); }, 3, 8, true},
    {"many opaque colours", psfAuto, 64, 64, [](int x, int y) { return Px(uint8_t(x * 4), uint8_t(y * 4), uint8_t(x ^ y)); }, 2, 8, true},
    {"two translucent alphas, many colours", psfAuto, 40, 40, [](int x, int y) { return Px(uint8_t(x * 6), uint8_t(y * 6), 5, (x + y) & 1 ? 100 : 200); }, 6, 8, true},
    {"one translucent alpha, few colours", psfAuto, 8, 8, [](int x, int) { return Px(x & 1 ? 255 : 0, 0, 0, 128); }, 6, 8, true},
    {"grey with alpha", psfAuto, 16, 16, [](int x, int y) { return Px(uint8_t(x * 16), uint8_t(x * 16), uint8_t(x * 16), uint8_t(y * 16)); }, 4, 8, true},
    {"256 greys then a colour", psfAuto, 257, 2, [](int x, int y) { return x == 256 && y == 0 ? Px(255, 0, 0) : Px(uint8_t(x), uint8_t(x), uint8_t(x)); }, 2, 8, true},
    {"forced grey", psfGrayscale, 10, 3, [](int x, int) { return Px(uint8_t(x * 20), uint8_t(x * 20), uint8_t(x * 20)); }, 0, 8, true},
    {"forced grey with alpha", psfGrayscale, 10, 3, [](int x, int y) { return Px(uint8_t(x * 20), uint8_t(x * 20), uint8_t(x * 20), uint8_t(y * 100)); }, 4, 8, true},
    {"forced palette", psfPalette, 10, 3, [](int x, int) { return Px(uint8_t(x), 0, uint8_t(x * 3)); }, 3, 4, true},
    {"forced palette, too many colours", psfPalette, 300, 1, [](int x, int) { return Px(uint8_t(x), uint8_t(x >> 8), 0); }, 2, 8, true},
    {"forced RGB", psfRGB, 4, 4, [](int x, int y) { return Px(uint8_t(x), uint8_t(y), 0); }, 2, 8, true},
    {"forced RGBA", psfRGBA, 4, 4, [](int x, int y) { return Px(uint8_t(x), uint8_t(y), 0, uint8_t(x * 60)); }, 6, 8, true},
};

class PngEncode : public ::testing::TestWithParam<Case> {};

TEST_P(PngEncode, ChoosesTheFormatAndRoundTrips) {
  const Case& c = GetParam();
  TGuiPixelMapMemory map;
  Fill(map, c.W, c.H, c.Pixel);
  TPortableNetworkGraphicPixel32 png;
  png.SetStorageFormat(c.Format);
  png.Assign(map);
  EXPECT_EQ(png.ColorType(), c.ColorType);
  EXPECT_EQ(png.BitDepth(), c.BitDepth);
  EXPECT_EQ(png.Width(), c.W);
  EXPECT_FALSE(png.HasGammaInformation());
  const TBytes file = Save(png);

  TGuiPixelMapMemory back;
  Reload(file, back);
  if (c.SamePixels) {
    EXPECT_TRUE(back.Equals(map)) << c.Name;
  }

  // The rest of the world reads the same pixels.
  if (!HaveLibpng()) GTEST_SKIP() << "libpng not available";
  uint32_t w, h;
  std::vector<TPixel32> reference;
  std::string error;
  ASSERT_TRUE(DecodeWithLibpng(file, w, h, reference, error)) << c.Name << ": " << error;
  ASSERT_EQ(w, uint32_t(c.W));
  ASSERT_EQ(h, uint32_t(c.H));
  for (int i = 0; i < c.W * c.H; ++i)
    ASSERT_EQ(back.DataPointer()[i].ARGB(), reference[size_t(i)].ARGB()) << c.Name << " pixel " << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, PngEncode, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string n = info.param.Name;
  for (char& ch : n)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
});

TEST(PngEncodeDetails, PaletteHoldsTheColoursInFirstSeenOrder) {
  TGuiPixelMapMemory map;
  Fill(map, 4, 1, [](int x, int) { return x == 0 ? Px(5, 5, 5) : x == 1 ? Px(1, 2, 3) : x == 2 ? Px(5, 5, 5) : Px(0, 0, 9); });
  TPortableNetworkGraphicPixel32 png;
  png.Assign(map);
  ASSERT_EQ(png.PaletteEntryCount(), 3);
  EXPECT_EQ(png.GetPaletteEntry(0), (TRGB24{5, 5, 5}));
  EXPECT_EQ(png.GetPaletteEntry(1), (TRGB24{1, 2, 3}));
  EXPECT_EQ(png.GetPaletteEntry(2), (TRGB24{0, 0, 9}));
}

TEST(PngEncodeDetails, FilterChoiceTakesTheSmallestSumAndPaletteRowsStayUnfiltered) {
  // Row 0: a ramp, Sub is smallest; row 1 repeats row 0, Up gives zeros.
  TGuiPixelMapMemory map;
  Fill(map, 8, 2, [](int x, int) { return x == 7 ? Px(1, 200, 3) : Px(uint8_t(100 + x), uint8_t(100 + x), uint8_t(100 + x)); });
  TPortableNetworkGraphicPixel32 png;
  png.SetStorageFormat(psfRGB);
  png.Assign(map);
  TMemoryStream raw;
  png.DecompressImageData(raw);
  ASSERT_EQ(raw.Size(), 2 * (1 + 8 * 3));
  EXPECT_EQ(raw.Memory()[0], afmSub);
  EXPECT_EQ(raw.Memory()[25], afmUp);

  png.SetStorageFormat(psfPalette);
  png.Assign(map);
  TMemoryStream indexed;
  png.DecompressImageData(indexed);
  const uint64_t row = png.ImageHeader().BytesPerRow() + 1;
  EXPECT_EQ(indexed.Memory()[0], afmNone);
  EXPECT_EQ(indexed.Memory()[row], afmNone);
}

TEST(PngEncodeDetails, PackedGreyEncodersTakeTheHighBitsOfRed) {
  TGuiPixelMapMemory map;
  Fill(map, 5, 1, [](int x, int) { return Px(uint8_t(x * 60), 0, 0); });  // R: 0, 60, 120, 180, 240
  struct Depth {
    uint8_t Bits;
    TBytes Packed;
  };
  const Depth depths[] = {{1, {0b00011000}}, {2, {0b00000110, 0b11000000}}, {4, {0x03, 0x7B, 0xF0}}};
  for (const Depth& d : depths) {
    TChunkPngImageHeader header;
    header.SetWidth(5);
    header.SetHeight(1);
    header.SetColorType(ctGrayscale);
    header.SetBitDepth(d.Bits);
    TMemoryStream out;
    auto encoder = CreatePngEncoder(out, header, nullptr);
    encoder->EncodeFromScanline(&map, &TPortableNetworkGraphicPixel32::GetScanLineCallback);
    ASSERT_EQ(out.Size(), int64_t(d.Packed.size() + 1)) << int(d.Bits);
    // Row 0 against a zero previous row: Up is None, Paeth is Sub.
    TBytes row(out.Memory() + 1, out.Memory() + out.Size());
    const uint8_t type = out.Memory()[0];
    for (size_t i = 1; i < row.size(); ++i)
      if (type == afmSub || type == afmPaeth)
        row[i] = uint8_t(row[i] + row[i - 1]);
      else if (type == afmAverage)
        row[i] = uint8_t(row[i] + (row[i - 1] >> 1));
    EXPECT_EQ(row, d.Packed) << int(d.Bits) << " filter " << int(type);
  }
  TChunkPngImageHeader wide;
  wide.SetWidth(1);
  wide.SetHeight(1);
  wide.SetBitDepth(16);
  TMemoryStream out;
  EXPECT_THROW(CreatePngEncoder(out, wide, nullptr), EPngError);
}

TEST(PngEncodeDetails, AssigningAMapDropsChunksOfTheEarlierImage) {
  TPortableNetworkGraphicPixel32 png;
  TMemoryStream file(ReadFileBytes(std::string(KVX_PNGSUITE_DIR) + "/tbbn3p08.png"));
  png.LoadFromStream(file);
  ASSERT_GT(png.PaletteEntryCount(), 0);
  png.AdditionalChunkList().Add(std::make_unique<TChunkPngTextChunk>(&png.ImageHeader()));
  dynamic_cast<TChunkPngTextChunk*>(png.AdditionalChunkList().GetChunk(png.AdditionalChunkList().Count() - 1))->SetKeyword("Kept");
  TGuiPixelMapMemory map;
  Fill(map, 30, 30, [](int x, int y) { return Px(uint8_t(x * 8), uint8_t(y * 8), uint8_t(x + y)); });
  png.Assign(map);
  EXPECT_EQ(png.ColorType(), ctTrueColor);
  EXPECT_EQ(png.PaletteEntryCount(), 0);
  EXPECT_EQ(png.SignificantBitsChunk(), nullptr);
  for (int i = 0; i < png.AdditionalChunkList().Count(); ++i) {
    const std::string name = png.AdditionalChunkList().GetChunk(i)->ChunkName();
    EXPECT_TRUE(name != "tRNS" && name != "bKGD" && name != "hIST") << name;
  }
  EXPECT_EQ(png.AdditionalChunkList().GetChunk(png.AdditionalChunkList().Count() - 1)->ChunkName(), "tEXt");
  const TBytes saved = Save(png);
  TGuiPixelMapMemory back;
  Reload(saved, back);
  EXPECT_TRUE(back.Equals(map));
  uint32_t w, h;
  std::vector<TPixel32> reference;
  std::string error;
  if (HaveLibpng()) {
    EXPECT_TRUE(DecodeWithLibpng(saved, w, h, reference, error)) << error;
  }
}

class TCaptureFiler : public TFiler {
 public:
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override {
    FName = Name;
    FRead = ReadData;
    FWrite = WriteData;
    FHasData = HasData;
  }
  std::string FName;
  TStreamProc FRead, FWrite;
  bool FHasData = false;
};

TEST(PngEncodeDetails, DataPropertyCarriesTheWholeFile) {
  TPortableNetworkGraphicPixel32 empty;
  TCaptureFiler filer;
  empty.DefineProperties(filer);
  EXPECT_EQ(filer.FName, "Data");
  EXPECT_FALSE(filer.FHasData);

  TGuiPixelMapMemory map;
  Fill(map, 3, 2, [](int x, int y) { return Px(uint8_t(x), uint8_t(y), 7); });
  TPortableNetworkGraphicPixel32 png;
  png.Assign(map);
  png.DefineProperties(filer);
  ASSERT_TRUE(filer.FHasData);
  TMemoryStream data;
  filer.FWrite(data);
  EXPECT_EQ(data.Data(), Save(png));
  TPortableNetworkGraphicPixel32 loaded;
  loaded.DefineProperties(filer);
  data.SetPosition(0);
  filer.FRead(data);
  TGuiPixelMapMemory back;
  loaded.AssignTo(back);
  EXPECT_TRUE(back.Equals(map));
}

}  // namespace
