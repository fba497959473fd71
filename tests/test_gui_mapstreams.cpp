// Saving and loading maps: the BMP form, the file-format registry, files, and the "Data"
// property of a form stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiFileFormats.h"
#include "gui/KVX_GuiPixelMap.h"
#include "support/KVX_TestFilers.h"

using namespace kvx;

namespace {

uint32_t U32(const std::vector<uint8_t>& B, size_t At) {
  return B[At] | (B[At + 1] << 8) | (B[At + 2] << 16) | (uint32_t{B[At + 3]} << 24);
}
uint16_t U16(const std::vector<uint8_t>& B, size_t At) { return static_cast<uint16_t>(B[At] | (B[At + 1] << 8)); }

void Put16(std::vector<uint8_t>& B, uint16_t V) {
  B.push_back(static_cast<uint8_t>(V));
  B.push_back(static_cast<uint8_t>(V >> 8));
}
void Put32(std::vector<uint8_t>& B, uint32_t V) {
  for (int i = 0; i < 4; ++i) B.push_back(static_cast<uint8_t>(V >> (8 * i)));
}

// A BMP as other programs write it: 40-byte header, no colour entry unless given.
std::vector<uint8_t> MakeBmp(int32_t Width, int32_t Height, uint16_t BitCount,
                             const std::vector<uint8_t>& Palette, const std::vector<uint8_t>& Pixels,
                             uint32_t Compression = 0) {
  std::vector<uint8_t> B;
  const uint32_t Offset = 54 + static_cast<uint32_t>(Palette.size());
  Put16(B, 0x4D42);
  Put32(B, Offset + static_cast<uint32_t>(Pixels.size()));
  Put32(B, 0);
  Put32(B, Offset);
  Put32(B, 40);
  Put32(B, static_cast<uint32_t>(Width));
  Put32(B, static_cast<uint32_t>(Height));
  Put16(B, 1);
  Put16(B, BitCount);
  Put32(B, Compression);
  for (int i = 0; i < 5; ++i) Put32(B, 0);
  B.insert(B.end(), Palette.begin(), Palette.end());
  B.insert(B.end(), Pixels.begin(), Pixels.end());
  return B;
}

std::string LoadError(TGuiCustomMap& Map, std::vector<uint8_t> Data) {
  TMemoryStream Stream(std::move(Data));
  try {
    Map.LoadFromStream(Stream);
  } catch (const Exception& E) {
    return E.what();
  }
  return "";
}

void FillNumbered(TGuiCustomPixelMap& Map) {
  for (int32_t Y = 0; Y < Map.Height(); ++Y)
    for (int32_t X = 0; X < Map.Width(); ++X)
      *Map.PixelPointer(X, Y) = TPixel32{static_cast<uint8_t>(X), static_cast<uint8_t>(Y), 0x55,
                                         static_cast<uint8_t>(X * 16 + Y)};
}

std::string TempPath(const std::string& Name) {
  return std::string(KVX_BUILD_DIR) + "/test_gui_mapstreams_" + Name;
}

}  // namespace

// ---- BMP ---------------------------------------------------------------------------------------

TEST(GuiMapStreams, TwoByOnePixelMapIsA66ByteBmp) {
  TGuiPixelMapMemory Map;
  Map.SetSize(2, 1);
  *Map.PixelPointer(0, 0) = TPixel32::FromARGB(0x11223344);
  *Map.PixelPointer(1, 0) = TPixel32::FromARGB(0x80FFEEDD);
  TMemoryStream Stream;
  Map.SaveToStream(Stream);
  const std::vector<uint8_t>& B = Stream.Data();
  ASSERT_EQ(B.size(), 66u);
  EXPECT_EQ(U16(B, 0), 0x4D42);  // "BM"
  EXPECT_EQ(U32(B, 2), 66u);     // file size
  EXPECT_EQ(U32(B, 6), 0u);      // reserved
  EXPECT_EQ(U32(B, 10), 58u);    // data offset
  EXPECT_EQ(U32(B, 14), 40u);    // header size
  EXPECT_EQ(static_cast<int32_t>(U32(B, 18)), 2);
  EXPECT_EQ(static_cast<int32_t>(U32(B, 22)), -1);  // top-down
  EXPECT_EQ(U16(B, 26), 1);
  EXPECT_EQ(U16(B, 28), 32);
  EXPECT_EQ(U32(B, 30), 0u);  // BI_RGB
  for (size_t i = 34; i < 58; ++i) EXPECT_EQ(B[i], 0) << i;
  EXPECT_EQ(U32(B, 58), 0x11223344u);
  EXPECT_EQ(U32(B, 62), 0x80FFEEDDu);
}

TEST(GuiMapStreams, LoadFromStreamReadsBackWhatSaveToStreamWrites) {
  TGuiPixelMapMemory Map;
  Map.SetSize(5, 3);
  FillNumbered(Map);
  TMemoryStream Stream;
  Stream.WriteBuffer("prefix", 6);  // a map need not start the stream
  Map.SaveToStream(Stream);
  Stream.WriteBuffer("after", 5);

  TGuiPixelMapMemory Loaded;
  int Changes = 0;
  Loaded.SetOnChange([&](TGuiCustomMap*) { ++Changes; });
  Stream.SetPosition(6);
  Loaded.LoadFromStream(Stream);
  EXPECT_TRUE(Loaded.Equals(Map)) << "alpha included";
  EXPECT_GE(Changes, 1);
  EXPECT_EQ(Stream.Position(), 6 + 58 + 5 * 3 * 4) << "the stream stops after the pixels";

  // An empty map round-trips as well.
  TGuiPixelMapMemory Empty;
  TMemoryStream EmptyStream;
  Empty.SaveToStream(EmptyStream);
  EXPECT_EQ(EmptyStream.Size(), 58);
  EmptyStream.SetPosition(0);
  Loaded.LoadFromStream(EmptyStream);
  EXPECT_TRUE(Loaded.IsEmpty());
}

TEST(GuiMapStreams, BottomUpAndBitfieldBmpsOfOtherProgramsLoad) {
  // 2 x 2, bottom-up: the first stored row is the bottom one.
  const std::vector<uint8_t> Pixels = {1, 2, 3, 4, 5, 6, 7, 8,  //
                                       9, 10, 11, 12, 13, 14, 15, 16};
  TGuiPixelMapMemory Map;
  TMemoryStream Stream(MakeBmp(2, 2, 32, {}, Pixels));
  Map.LoadFromStream(Stream);
  ASSERT_EQ(Map.Width(), 2);
  ASSERT_EQ(Map.Height(), 2);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0x0C0B0A09u);
  EXPECT_EQ(Map.Pixel(1, 1).ARGB(), 0x08070605u);

  std::vector<uint8_t> Masks;
  Put32(Masks, 0x00FF0000);
  Put32(Masks, 0x0000FF00);
  Put32(Masks, 0x000000FF);
  TMemoryStream Bitfields(MakeBmp(2, -2, 32, Masks, Pixels, 3));
  Map.LoadFromStream(Bitfields);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0x04030201u);

  std::vector<uint8_t> OtherMasks;
  Put32(OtherMasks, 0x000000FF);
  Put32(OtherMasks, 0x0000FF00);
  Put32(OtherMasks, 0x00FF0000);
  EXPECT_EQ(LoadError(Map, MakeBmp(2, -2, 32, OtherMasks, Pixels, 3)), "Unsupported bitmap format!");
}

TEST(GuiMapStreams, BadBmpStreamsRaiseAndKeepTheMap) {
  TGuiPixelMapMemory Saved;
  Saved.SetSize(2, 1);
  TMemoryStream Stream;
  Saved.SaveToStream(Stream);
  const std::vector<uint8_t> Good = Stream.Data();

  TGuiPixelMapMemory Map;
  Map.SetSize(1, 1);
  Map.Clear(TPixel32::FromARGB(0x12345678));
  const std::string Invalid = "Invalid bitmap header found!";

  EXPECT_EQ(LoadError(Map, {}), Invalid);
  EXPECT_EQ(LoadError(Map, std::vector<uint8_t>(Good.begin(), Good.begin() + 13)), Invalid);
  // "BM" and a file header, but fewer than the 58 header bytes the loader reads.
  EXPECT_EQ(LoadError(Map, std::vector<uint8_t>(Good.begin(), Good.begin() + 57)), Invalid);
  std::vector<uint8_t> NotBm = Good;
  NotBm[0] = 'X';
  EXPECT_EQ(LoadError(Map, NotBm), Invalid);
  std::vector<uint8_t> SmallHeader = Good;
  SmallHeader[14] = 12;  // an old 12-byte core header is not read as a 40-byte one
  EXPECT_EQ(LoadError(Map, SmallHeader), Invalid);
  std::vector<uint8_t> NegativeWidth = Good;
  NegativeWidth[21] = 0xFF;
  EXPECT_EQ(LoadError(Map, NegativeWidth), Invalid);
  std::vector<uint8_t> BadOffset = Good;
  BadOffset[10] = 20;
  EXPECT_EQ(LoadError(Map, BadOffset), Invalid);

  // Pixel data shorter than the header promises.
  EXPECT_EQ(LoadError(Map, std::vector<uint8_t>(Good.begin(), Good.end() - 1)), "Bitmap data too short!");
  // A header claiming a huge image in a tiny stream is refused before anything is allocated.
  std::vector<uint8_t> Huge = Good;
  Huge[18] = 0x30, Huge[19] = 0x75, Huge[22] = 0x30, Huge[23] = 0x75;  // 30000 x 30000 (bottom-up)
  Huge[24] = Huge[25] = 0;
  EXPECT_EQ(LoadError(Map, Huge), "Map size too large!");
  std::vector<uint8_t> Big = Good;
  Big[18] = 0x00, Big[19] = 0x10, Big[22] = 0x00, Big[23] = 0x10;  // 4096 x 4096
  Big[24] = Big[25] = 0;
  EXPECT_EQ(LoadError(Map, Big), "Bitmap data too short!");

  // Formats this map cannot read.
  EXPECT_EQ(LoadError(Map, MakeBmp(1, 1, 24, {}, {1, 2, 3, 0})), "Unsupported bitmap format!");
  EXPECT_EQ(LoadError(Map, MakeBmp(1, 1, 32, {}, {1, 2, 3, 4}, 1)), "Unsupported bitmap format!");

  EXPECT_EQ(Map.Width(), 1);
  EXPECT_EQ(Map.Pixel(0, 0).ARGB(), 0x12345678u);
}

TEST(GuiMapStreams, ByteMapBmpPadsRowsAndReadsBack) {
  TGuiByteMapMemory Map;
  Map.SetSize(3, 2);
  for (int32_t i = 0; i < 6; ++i) Map.DataPointer()[i] = static_cast<uint8_t>(40 * i + 1);
  TMemoryStream Stream;
  Map.SaveToStream(Stream);
  const std::vector<uint8_t>& B = Stream.Data();
  ASSERT_EQ(B.size(), 14u + 1064u + 2 * 4u);
  EXPECT_EQ(U32(B, 2), B.size());
  EXPECT_EQ(U32(B, 10), 1078u);
  EXPECT_EQ(U16(B, 28), 8);
  EXPECT_EQ(static_cast<int32_t>(U32(B, 22)), -2);
  EXPECT_EQ(U32(B, 54 + 4 * 200), 0x00C8C8C8u);  // grey colour table
  EXPECT_EQ(B[1078 + 3], 0) << "row padding";
  EXPECT_EQ(B[1078 + 4], 121);

  TGuiByteMapMemory Loaded;
  Stream.SetPosition(0);
  Loaded.LoadFromStream(Stream);
  EXPECT_TRUE(Loaded.Equals(Map));

  // An 8-bit BMP with a colour palette of another program reads the grey of each entry.
  std::vector<uint8_t> Palette;
  Put32(Palette, 0x00000000);
  Put32(Palette, 0x00FFFFFF);
  Put32(Palette, 0x00FF0000);  // red
  std::vector<uint8_t> Header = MakeBmp(2, 1, 8, Palette, {1, 2, 0, 0});
  Header[46] = 3;  // three colours used
  TMemoryStream Colour(Header);
  Loaded.LoadFromStream(Colour);
  ASSERT_EQ(Loaded.Width(), 2);
  EXPECT_EQ(Loaded.Value(0, 0), 255);
  EXPECT_EQ(Loaded.Value(1, 0), 77);

  Header[46] = 0;  // 256 entries claimed, but the pixels start after three
  EXPECT_EQ(LoadError(Loaded, Header), "Invalid bitmap header found!");
  TGuiPixelMapMemory Pixels;
  Pixels.SetSize(1, 1);
  TMemoryStream PixelBmp;
  Pixels.SaveToStream(PixelBmp);
  EXPECT_EQ(LoadError(Loaded, PixelBmp.Data()), "Unsupported bitmap format!");
  EXPECT_EQ(LoadError(Loaded, {'B', 'M', 0}), "Invalid bitmap header found!");
}

TEST(GuiMapStreams, FilesRoundTrip) {
  TGuiPixelMapMemory Map;
  Map.SetSize(4, 4);
  FillNumbered(Map);
  const std::string Path = TempPath("map.bmp");
  Map.SaveToFile(Path);
  TGuiPixelMapMemory Loaded;
  Loaded.LoadFromFile(Path);
  EXPECT_TRUE(Loaded.Equals(Map));
  std::remove(Path.c_str());
  EXPECT_THROW(Loaded.LoadFromFile(TempPath("missing.bmp")), EStreamError);
}

// ---- the file-format registry ------------------------------------------------------------------

namespace {

// A small format of its own: "FAKE", width, height (one byte each), one pixel colour.
class TFakeFormat : public TGuiCustomFileFormat {
 public:
  std::string ClassName() const override { return "TFakeFormat"; }
  static bool CanLoad(TStream& Stream) {
    char Magic[4] = {};
    return Stream.Read(Magic, 4) == 4 && std::string(Magic, 4) == "FAKE";
  }
  static bool CanHandleExtension(const std::string& Extension) { return Extension == ".fake"; }

  int32_t Width() const override { return FWidth; }
  void SetWidth(int32_t Value) override { FWidth = Value; }
  int32_t Height() const override { return FHeight; }
  void SetHeight(int32_t Value) override { FHeight = Value; }

  void LoadFromStream(TStream& Stream) override {
    uint8_t B[10];
    Stream.ReadBuffer(B, 10);
    FWidth = B[4], FHeight = B[5];
    FColor = TPixel32{B[6], B[7], B[8], B[9]};
  }
  void SaveToStream(TStream& Stream) override {
    const uint8_t B[10] = {'F', 'A', 'K', 'E', static_cast<uint8_t>(FWidth),
                           static_cast<uint8_t>(FHeight), FColor.B, FColor.G, FColor.R, FColor.A};
    Stream.WriteBuffer(B, 10);
  }
  void Assign(const TPersistent& Source) override {
    if (auto* Map = dynamic_cast<const TGuiCustomPixelMap*>(&Source)) {
      FWidth = Map->Width(), FHeight = Map->Height();
      FColor = Map->IsEmpty() ? TPixel32{} : Map->Pixel(0, 0);
      return;
    }
    TGuiCustomFileFormat::Assign(Source);
  }
  void AssignTo(TPersistent& Dest) const override {
    if (auto* Map = dynamic_cast<TGuiCustomPixelMap*>(&Dest)) {
      Map->SetSize(FWidth, FHeight);
      Map->Clear(FColor);
      return;
    }
    TGuiCustomFileFormat::AssignTo(Dest);
  }

 private:
  int32_t FWidth = 0, FHeight = 0;
  TPixel32 FColor;
};

// Registers the fake format for one test.
struct TFakeRegistration {
  TFakeRegistration() { RegisterFileFormat(FileFormatClassOf<TFakeFormat>("TFakeFormat")); }
  ~TFakeRegistration() { UnregisterFileFormat(FileFormatClassOf<TFakeFormat>("TFakeFormat")); }
};

}  // namespace

TEST(GuiFileFormats, RegistryFindsFormatsByStreamAndExtension) {
  const TGuiFileFormatClass& Fake = FileFormatClassOf<TFakeFormat>("TFakeFormat");
  EXPECT_EQ(FindFileFormatByExtension(".fake"), nullptr);
  {
    TFakeRegistration Registration;
    EXPECT_EQ(FindFileFormatByExtension(".fake"), &Fake);
    EXPECT_EQ(FindFileFormatByExtension(".bmp"), nullptr);
    EXPECT_THROW(RegisterFileFormat(Fake), EAssertionFailed) << "a class is registered once";

    TMemoryStream Stream(std::vector<uint8_t>{'x', 'F', 'A', 'K', 'E', 1, 1, 0, 0, 0, 0});
    Stream.SetPosition(1);
    EXPECT_EQ(FindFileFormatByStream(Stream), &Fake);
    EXPECT_EQ(Stream.Position(), 1) << "the probe leaves the position";
    Stream.SetPosition(0);
    EXPECT_EQ(FindFileFormatByStream(Stream), nullptr);
    EXPECT_EQ(Stream.Position(), 0);
  }
  EXPECT_EQ(FindFileFormatByExtension(".fake"), nullptr);
  EXPECT_EQ(ExtractFileExt("/a.b/c.PNG"), ".PNG");
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
}

TEST(GuiFileFormats, MapsLoadAndSaveThroughARegisteredFormat) {
  TFakeRegistration Registration;
  TGuiPixelMapMemory Map;
  TMemoryStream Stream(std::vector<uint8_t>{'F', 'A', 'K', 'E', 3, 2, 10, 20, 30, 40});
  Map.LoadFromStream(Stream);
  ASSERT_EQ(Map.Width(), 3);
  ASSERT_EQ(Map.Height(), 2);
  EXPECT_EQ(Map.Pixel(2, 1), (TPixel32{10, 20, 30, 40}));

  // The format saves files with its extension; other names get the BMP form.
  const std::string Fake = TempPath("map.fake");
  const std::string Bmp = TempPath("map.bmp");
  Map.SaveToFile(Fake);
  Map.SaveToFile(Bmp);
  TMemoryStream FakeFile, BmpFile;
  FakeFile.LoadFromFile(Fake);
  BmpFile.LoadFromFile(Bmp);
  EXPECT_EQ(FakeFile.Size(), 10);
  EXPECT_EQ(BmpFile.Size(), 58 + 24);
  TGuiPixelMapMemory Loaded;
  Loaded.LoadFromFile(Fake);
  EXPECT_TRUE(Loaded.Equals(Map));
  std::remove(Fake.c_str());
  std::remove(Bmp.c_str());

  // A format that assigns itself only to pixel maps refuses byte maps.
  TGuiByteMapMemory Bytes;
  Stream.SetPosition(0);
  EXPECT_THROW(Bytes.LoadFromStream(Stream), EConvertError);
}

// ---- the "Data" property -----------------------------------------------------------------------

namespace {

using TTestWriter = test::TBinaryPropertyWriter;
using TTestReader = test::TBinaryPropertyReader;

}  // namespace

TEST(GuiMapPersistence, DataPropertyHoldsSizeAndPixels) {
  TGuiPixelMapMemory Map;
  Map.SetSize(3, 2);
  FillNumbered(Map);
  TTestWriter Writer;
  Map.DefineProperties(Writer);
  ASSERT_EQ(Writer.Properties.count("Data"), 1u);
  const std::vector<uint8_t>& Data = Writer.Properties["Data"];
  ASSERT_EQ(Data.size(), 8u + 24u);
  EXPECT_EQ(U32(Data, 0), 3u);
  EXPECT_EQ(U32(Data, 4), 2u);

  TTestReader Reader;
  Reader.Properties = Writer.Properties;
  TGuiPixelMapMemory Loaded;
  int Changes = 0;
  Loaded.SetOnChange([&](TGuiCustomMap*) { ++Changes; });
  Loaded.DefineProperties(Reader);
  EXPECT_TRUE(Loaded.Equals(Map));
  EXPECT_GE(Changes, 2) << "the resize and the read both notify";

  // Byte maps store one byte per value.
  TGuiByteMapMemory Bytes;
  Bytes.SetSize(2, 2);
  Bytes.Clear(9);
  TTestWriter ByteWriter;
  Bytes.DefineProperties(ByteWriter);
  EXPECT_EQ(ByteWriter.Properties["Data"].size(), 8u + 4u);
  TTestReader ByteReader;
  ByteReader.Properties = ByteWriter.Properties;
  TGuiByteMapMemory BytesLoaded;
  BytesLoaded.DefineProperties(ByteReader);
  EXPECT_TRUE(BytesLoaded.Equals(Bytes));
}

TEST(GuiMapPersistence, DataIsWrittenOnlyWhenTheAncestorDiffers) {
  TGuiPixelMapMemory Map;
  TTestWriter Empty;
  Map.DefineProperties(Empty);
  EXPECT_TRUE(Empty.Properties.empty()) << "an empty map writes nothing";

  Map.SetSize(2, 2);
  TGuiPixelMapMemory Same;
  Same.Assign(Map);
  TTestWriter WithEqualAncestor;
  WithEqualAncestor.SetAncestor(&Same);
  Map.DefineProperties(WithEqualAncestor);
  EXPECT_TRUE(WithEqualAncestor.Properties.empty());

  Same.PixelPointer(1, 1)->A = 1;
  TTestWriter WithOtherAncestor;
  WithOtherAncestor.SetAncestor(&Same);
  Map.DefineProperties(WithOtherAncestor);
  EXPECT_EQ(WithOtherAncestor.Properties.count("Data"), 1u);

  TGuiByteMapMemory OtherKind;
  OtherKind.SetSize(2, 2);
  TTestWriter WithOtherKind;
  WithOtherKind.SetAncestor(&OtherKind);
  Map.DefineProperties(WithOtherKind);
  EXPECT_EQ(WithOtherKind.Properties.count("Data"), 1u);
}

TEST(GuiMapPersistence, BadDataIsRefusedBeforeAllocatingAndStillNotifies) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
  };
  auto Sized = [](uint32_t W, uint32_t H, size_t Bytes) {
    std::vector<uint8_t> D;
    Put32(D, W);
    Put32(D, H);
    D.resize(D.size() + Bytes, 0xAB);
    return D;
  };
  const TCase Cases[] = {
      {"short size", {1, 0, 0, 0, 1}},
      {"short pixels", Sized(2, 2, 15)},
      {"negative width", Sized(0xFFFFFFFF, 1, 4)},
      {"negative height", Sized(1, 0x80000000, 4)},
      {"huge", Sized(0x10000, 0x10000, 16)},
      {"large but short", Sized(4000, 4000, 16)},
  };
  for (const TCase& Case : Cases) {
    TGuiPixelMapMemory Map;
    Map.SetSize(1, 1);
    int Changes = 0;
    Map.SetOnChange([&](TGuiCustomMap*) { ++Changes; });
    TMemoryStream Stream(Case.Data);
    EXPECT_THROW(Map.ReadPixelData(Stream), Exception) << Case.Name;
    EXPECT_EQ(Changes, 1) << Case.Name;
    EXPECT_EQ(Map.Width(), 1) << Case.Name;
  }
  // Exactly the promised bytes are enough; an empty map is valid data.
  TGuiPixelMapMemory Map;
  TMemoryStream Exact(Sized(2, 2, 16));
  Map.ReadPixelData(Exact);
  EXPECT_EQ(Map.Pixel(1, 1).ARGB(), 0xABABABABu);
  TMemoryStream Zero(Sized(0, 7, 0));
  Map.ReadPixelData(Zero);
  EXPECT_EQ(Map.Height(), 7);
  EXPECT_TRUE(Map.IsEmpty());
}

// Every byte of small valid files set to the values that break sizes and offsets: the loaders
// either load or raise, and never read or write outside a buffer (run under ASan).
TEST(GuiMapStreams, DamagedBmpsAndDataNeverReadOutside) {
  TGuiPixelMapMemory Pixels;
  Pixels.SetSize(3, 2);
  FillNumbered(Pixels);
  TGuiByteMapMemory Bytes;
  Bytes.SetSize(3, 2);
  Bytes.Clear(7);
  TMemoryStream PixelBmp, ByteBmp, PixelData;
  Pixels.SaveToStream(PixelBmp);
  Bytes.SaveToStream(ByteBmp);
  Pixels.WritePixelData(PixelData);

  const uint8_t Values[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
  int Loaded = 0, Refused = 0;
  auto Try = [&](TGuiCustomMap& Map, const std::vector<uint8_t>& Data, bool Property) {
    TMemoryStream Stream(Data);
    try {
      if (Property)
        Map.ReadPixelData(Stream);
      else
        Map.LoadFromStream(Stream);
      ++Loaded;
      EXPECT_EQ(Map.DataSize(), Map.Width() * Map.Height() * Map.ElementSize());
    } catch (const Exception&) {
      ++Refused;
    }
  };
  for (const auto* Source : {&PixelBmp.Data(), &ByteBmp.Data(), &PixelData.Data()}) {
    const size_t Limit = std::min<size_t>(Source->size(), 80);  // headers and the first pixels
    for (size_t At = 0; At < Limit; ++At)
      for (uint8_t V : Values) {
        std::vector<uint8_t> Damaged = *Source;
        Damaged[At] = V;
        TGuiPixelMapMemory PixelMap;
        TGuiByteMapMemory ByteMap;
        const bool Property = Source == &PixelData.Data();
        Try(PixelMap, Damaged, Property);
        Try(ByteMap, Damaged, Property);
      }
  }
  EXPECT_GT(Loaded, 0);
  EXPECT_GT(Refused, 0);
}
