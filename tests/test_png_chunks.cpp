// The PNG container: framing, chunk classes, CRC checks and the loader's bounds.
#include <gtest/gtest.h>

#include <cstring>

#include "png/KVX_ChunkClasses.h"
#include "png/KVX_GuiPng.h"
#include "support/png_support.h"

using namespace kvx;
using namespace kvx::test;

namespace {

const TBytes kHeader = PngHeaderChunk(2, 2, 8, 2);

void LoadInto(TPortableNetworkGraphic& Png, const TBytes& File) {
  TMemoryStream s(File);
  Png.LoadFromStream(s);
}

TEST(PngCrc, MatchesTheKnownIendValue) {
  const uint8_t name[4] = {'I', 'E', 'N', 'D'};
  EXPECT_EQ(FinishCRC(CalculateCRC(name, 4)), 0xAE426082u);
}

TEST(PngContainer, HeaderAndEndOnlyLoadWithoutImageData) {
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader}));
  EXPECT_EQ(png.Width(), 2);
  EXPECT_EQ(png.Height(), 2);
  EXPECT_EQ(png.BitDepth(), 8);
  EXPECT_EQ(png.DataChunkList().Count(), 0);
  // A missing IEND is not an error either; what follows IEND is ignored.
  EXPECT_NO_THROW(LoadInto(png, PngFile({kHeader}, false)));
  TBytes trailing = PngFile({kHeader});
  trailing.insert(trailing.end(), {1, 2, 3});
  EXPECT_NO_THROW(LoadInto(png, trailing));
}

TEST(PngContainer, RefusesBrokenFraming) {
  struct Case {
    const char* What;
    TBytes File;
  };
  TBytes badSignature = PngFile({kHeader});
  badSignature[6] = 0x0D;
  TBytes lengthBeyond = PngFile({kHeader, PngChunk("tEXt", {'a', 0, 'b'})});
  lengthBeyond[33 + 3] = 0x40;  // tEXt length now beyond the stream
  TBytes hugeLength = PngFile({kHeader});
  hugeLength[33] = 0xFF;  // IEND length 0xFF000000
  const Case cases[] = {
      {"short stream", {0x89, 'P', 'N', 'G'}},
      {"bad signature", badSignature},
      {"first chunk not IHDR", PngFile({PngChunk("gAMA", BigEndian32(45455)), kHeader})},
      {"second IHDR", PngFile({kHeader, kHeader})},
      {"length beyond the stream", lengthBeyond},
      {"huge length", hugeLength},
      {"truncated chunk header", Concat({PngFile({kHeader}, false), TBytes{0, 0, 0}})},
      {"IHDR too small", PngFile({PngChunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0})})},
      {"bit 7 in an unknown name", PngFile({kHeader, PngChunk("\xE1xYz", {1})})},
  };
  for (const Case& c : cases) {
    TPortableNetworkGraphicPixel32 png;
    EXPECT_THROW(LoadInto(png, c.File), EPngError) << c.What;
  }
}

TEST(PngContainer, ChecksTheHeaderFields) {
  struct Case {
    uint8_t Depth, ColorType, Compression, Filter, Interlace;
    uint32_t Width;
    bool Valid;
  };
  const Case cases[] = {
      {16, 0, 0, 0, 0, 1, true},  {3, 0, 0, 0, 0, 1, false},  {4, 2, 0, 0, 0, 1, false},
      {8, 3, 0, 0, 0, 1, true},   {16, 3, 0, 0, 0, 1, false}, {8, 5, 0, 0, 0, 1, true},
      {8, 2, 1, 0, 0, 1, false},  {8, 2, 0, 1, 0, 1, false},  {8, 2, 0, 0, 2, 1, false},
      {8, 2, 0, 0, 1, 1, true},   {8, 2, 0, 0, 0, 0, false},  {8, 2, 0, 0, 0, 0x80000000u, false},
      {8, 2, 0, 0, 0, 0x7FFFFFFFu, true},
  };
  for (const Case& c : cases) {
    const TBytes ihdr = PngChunk("IHDR", Concat({BigEndian32(c.Width), BigEndian32(1),
                                                 TBytes{c.Depth, c.ColorType, c.Compression, c.Filter, c.Interlace}}));
    TPortableNetworkGraphicPixel32 png;
    if (c.Valid)
      EXPECT_NO_THROW(LoadInto(png, PngFile({ihdr}))) << int(c.Depth) << "/" << int(c.ColorType);
    else
      EXPECT_THROW(LoadInto(png, PngFile({ihdr})), EPngError) << int(c.Depth) << "/" << int(c.ColorType);
  }
  // Colour type 5 passes the header and fails once rows are sized.
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({PngHeaderChunk(1, 1, 8, 5), PngChunk("IDAT", ZlibCompress({0, 0}))}));
  TGuiPixelMapMemory map;
  EXPECT_THROW(png.AssignTo(map), EPngError);
}

TEST(PngContainer, CorruptedCrcAnywhereIsRefused) {
  const TBytes file = PngFile({kHeader, PngChunk("gAMA", BigEndian32(45455)), PngChunk("tEXt", {'k', 0, 'v'}),
                               PngChunk("IDAT", ZlibCompress(TBytes(14, 0)))});
  {
    TPortableNetworkGraphicPixel32 png;
    ASSERT_NO_THROW(LoadInto(png, file));
  }
  // The last byte of each chunk's CRC: IHDR, gAMA, tEXt, IDAT and IEND.
  std::vector<size_t> crcEnds;
  for (size_t at = 8; at < file.size();) {
    const uint32_t length = ReadBigEndian32(&file[at]);
    at += 12 + length;
    crcEnds.push_back(at - 1);
  }
  ASSERT_EQ(crcEnds.size(), 5u);
  for (size_t end : crcEnds) {
    TBytes bad = file;
    bad[end] ^= 0x01;
    TPortableNetworkGraphicPixel32 png;
    EXPECT_THROW(LoadInto(png, bad), EPngError) << "CRC ending at " << end;
  }
  // A flipped data byte is caught by the same check.
  TBytes bad = file;
  bad[8 + 8 + 3] ^= 0x10;
  TPortableNetworkGraphicPixel32 png;
  EXPECT_THROW(LoadInto(png, bad), EPngError);
}

TEST(PngContainer, SingleChunksRefuseDuplicatesTextChunksDoNot) {
  const std::pair<const char*, size_t> singles[] = {{"gAMA", 4}, {"cHRM", 32}, {"tIME", 7},
                                                   {"sBIT", 3}, {"pHYs", 9}, {"PLTE", 3}};
  for (const auto& [name, size] : singles) {
    const TBytes data(size, 1);
    const TBytes once = PngChunk(name, data);
    TPortableNetworkGraphicPixel32 png;
    EXPECT_NO_THROW(LoadInto(png, PngFile({kHeader, once}))) << name;
    EXPECT_THROW(LoadInto(png, PngFile({kHeader, once, once})), EPngError) << name;
  }
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("tEXt", {'a', 0, 'x'}), PngChunk("tEXt", {'b', 0, 'y'})}));
  ASSERT_EQ(png.AdditionalChunkList().Count(), 2);
  auto* second = dynamic_cast<TChunkPngTextChunk*>(png.AdditionalChunkList().GetChunk(1));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Keyword(), "b");
  EXPECT_EQ(second->Text(), "y");
}

TEST(PngContainer, UnknownChunksAreKeptWithTheirData) {
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("vpAg", {1, 2, 3}), PngChunk("ZZZZ", {9})}));
  ASSERT_EQ(png.AdditionalChunkList().Count(), 2);
  auto* a = dynamic_cast<TUnknownPngChunk*>(png.AdditionalChunkList().GetChunk(0));
  auto* b = dynamic_cast<TUnknownPngChunk*>(png.AdditionalChunkList().GetChunk(1));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->ChunkName(), "vpAg");
  EXPECT_EQ(a->DataStream().Size(), 3);
  EXPECT_EQ(a->GetData(2), 3);
  EXPECT_THROW(a->GetData(3), Exception);
  EXPECT_EQ(b->ChunkName(), "ZZZZ");
}

TEST(PngContainer, GathersImageDataInListOrder) {
  const TBytes first(65535, 0xA1), second(2520, 0xB2);
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("IDAT", first), PngChunk("IDAT", second)}));
  TMemoryStream gathered;
  png.GatherImageData(gathered);
  ASSERT_EQ(gathered.Size(), 65535 + 2520);
  EXPECT_EQ(gathered.Memory()[65534], 0xA1);
  EXPECT_EQ(gathered.Memory()[65535], 0xB2);
}

// Every field is read against the chunk's own data length, including the string-first chunks.
TEST(PngChunks, FieldsBeyondTheDataAreRefused) {
  struct Case {
    const char* Name;
    TBytes Data;
  };
  const Case tooShort[] = {
      {"gAMA", {0, 0, 1}},
      {"cHRM", TBytes(31, 0)},
      {"sRGB", {}},
      {"tIME", TBytes(6, 1)},
      {"pHYs", TBytes(8, 1)},
      {"oFFs", TBytes(8, 1)},
      {"sBIT", {8, 8}},  // colour type 2 needs three
      {"bKGD", TBytes(5, 0)},
      {"tRNS", TBytes(5, 0)},
      {"zTXt", {'k', 'e', 'y', 0}},
      {"zTXt", {'k', 'e', 'y'}},
      {"iCCP", {'n', 'a', 'm', 'e', 0}},
      {"iTXt", {'k', 0, 0}},
      {"pCAL", {'c', 0, 0, 0, 0, 1, 0, 0, 0}},
      {"PLTE", {1, 2, 3, 4}},
      {"PLTE", TBytes(257 * 3, 0)},
  };
  for (const Case& c : tooShort) {
    TPortableNetworkGraphicPixel32 png;
    EXPECT_THROW(LoadInto(png, PngFile({kHeader, PngChunk(c.Name, c.Data)})), EPngError)
        << c.Name << " with " << c.Data.size() << " bytes";
  }
}

// Chunks whose data starts with a zero-terminated string, with no data at all (found by the
// fuzzer: the empty chunk's missing data pointer reached memchr).
TEST(PngChunks, EmptyStringFirstChunks) {
  {
    TPortableNetworkGraphicPixel32 png;
    EXPECT_NO_THROW(LoadInto(png, PngFile({kHeader, PngChunk("tEXt", {})})));
  }
  for (const char* name : {"zTXt", "iCCP", "iTXt", "pCAL"}) {
    TPortableNetworkGraphicPixel32 png;
    EXPECT_THROW(LoadInto(png, PngFile({kHeader, PngChunk(name, {})})), EPngError) << name;
  }
}

TEST(PngChunks, ReadTheirFields) {
  TBytes text = {'T', 'i', 't', 'l', 'e', 0, 0};
  const TBytes packed = ZlibCompress({'h', 'e', 'l', 'l', 'o'});
  text.insert(text.end(), packed.begin(), packed.end());
  const std::string longKey(100, 'k');
  TBytes longText(longKey.begin(), longKey.end());
  longText.insert(longText.end(), {0, 'v'});
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("gAMA", BigEndian32(45455)), PngChunk("zTXt", text),
                         PngChunk("tIME", {0x07, 0xD0, 1, 2, 3, 4, 5}), PngChunk("tEXt", longText),
                         PngChunk("sBIT", {5, 6, 7}), PngChunk("pHYs", Concat({BigEndian32(2835), BigEndian32(2836), {1}}))}));
  EXPECT_FLOAT_EQ(png.Gamma(), 0.45455f);
  auto* z = dynamic_cast<TChunkPngCompressedTextChunk*>(png.AdditionalChunkList().GetChunk(0));
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->Keyword(), "Title");
  EXPECT_EQ(z->Text(), "hello");
  auto* t = dynamic_cast<TChunkPngTextChunk*>(png.AdditionalChunkList().GetChunk(1));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Keyword(), std::string(80, 'k'));  // cut to its limit, the text still found
  EXPECT_EQ(t->Text(), "v");
  ASSERT_TRUE(png.HasModifiedTimeInformation());
  EXPECT_EQ(png.TimeChunk()->Year, 2000);
  EXPECT_EQ(png.TimeChunk()->Second, 5);
  // 2000-01-02 03:04:05 as days since 1899-12-30.
  EXPECT_NEAR(png.ModifiedTime(), 36527 + (3 * 3600 + 4 * 60 + 5) / 86400.0, 1e-9);
  auto* bits = dynamic_cast<TPngSignificantBitsFormat23*>(png.SignificantBitsChunk()->SignificantBits());
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits->BlueBits, 7);
  EXPECT_EQ(png.PixelsPerUnitY(), 2836u);
  EXPECT_EQ(png.PixelUnit(), 1);
}

TEST(PngChunks, CompressedTextIsCappedAndEnds) {
  // 4 MiB of text inflates to at most 1 MiB; trailing bytes after the zlib stream are ignored.
  TBytes data = {'k', 0, 0};
  const TBytes packed = ZlibCompress(TBytes(4u << 20, 'a'));
  data.insert(data.end(), packed.begin(), packed.end());
  data.insert(data.end(), {0xDE, 0xAD});
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("zTXt", data)}));
  auto* z = dynamic_cast<TChunkPngCompressedTextChunk*>(png.AdditionalChunkList().GetChunk(0));
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->Text().size(), 1u << 20);
  // Garbage in place of the zlib stream ends inflation with what was produced.
  TBytes garbage = {'k', 0, 0, 0x12, 0x34, 0x56};
  EXPECT_NO_THROW(LoadInto(png, PngFile({kHeader, PngChunk("zTXt", garbage)})));
}

TEST(PngSave, WritesChunksThatLoadBackAndRefusesUnsupportedOnes) {
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("sRGB", {0}), PngChunk("PLTE", {1, 2, 3}), PngChunk("gAMA", BigEndian32(50000)),
                         PngChunk("iCCP", {'p', 0, 0, 0x78, 0x9C}), PngChunk("oFFs", Concat({BigEndian32(5), BigEndian32(7), {0}})),
                         PngChunk("vpAg", {4, 5}), PngChunk("IDAT", ZlibCompress(TBytes(14, 0)))}));
  TMemoryStream out;
  png.SaveToStream(out);
  // sRGB and iCCP are written before PLTE, the rest after it.
  std::vector<std::string> order;
  for (size_t at = 8; at + 8 <= static_cast<size_t>(out.Size());) {
    order.emplace_back(reinterpret_cast<const char*>(out.Memory() + at + 4), 4);
    at += 12 + ReadBigEndian32(out.Memory() + at);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "gAMA", "sRGB", "iCCP", "PLTE", "oFFs", "vpAg", "IDAT", "IEND"}));
  TPortableNetworkGraphicPixel32 again;
  out.SetPosition(0);
  again.LoadFromStream(out);
  EXPECT_EQ(again.PaletteEntryCount(), 1);
  EXPECT_EQ(again.GetPaletteEntry(0), (TRGB24{1, 2, 3}));
  auto* icc = dynamic_cast<TChunkPngEmbeddedIccProfile*>(again.AdditionalChunkList().GetChunk(1));
  ASSERT_NE(icc, nullptr);
  EXPECT_EQ(icc->CompressedProfile, (TBytes{0x78, 0x9C}));

  for (const char* name : {"iTXt", "hIST"}) {
    TPortableNetworkGraphicPixel32 p;
    LoadInto(p, PngFile({kHeader, PngChunk(name, {'k', 0, 0, 0, 0})}));
    TMemoryStream s;
    EXPECT_THROW(p.SaveToStream(s), Exception) << name;
  }
  TPortableNetworkGraphicPixel32 empty;
  TMemoryStream s;
  EXPECT_THROW(empty.SaveToStream(s), EPngError);
}

TEST(PngObject, PropertiesAndAssign) {
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({kHeader, PngChunk("gAMA", BigEndian32(45455)), PngChunk("vpAg", {7}),
                         PngChunk("tEXt", {'a', 0, 'b'}), PngChunk("IDAT", ZlibCompress(TBytes(14, 3)))}));
  EXPECT_THROW(png.SetWidth(3), EPngError);
  EXPECT_THROW(png.SetGamma(1), EPngError);
  EXPECT_THROW(png.SetCompressionLevel(0), EPngError);
  EXPECT_THROW(png.SetPixelsPerUnitX(0), EPngError);
  EXPECT_THROW(png.SetPixelUnit(2), EPngError);
  EXPECT_THROW(png.GetPaletteEntry(0), EPngError);
  EXPECT_EQ(png.PixelsPerUnitX(), 1u);
  png.SetPixelsPerUnitX(100);
  EXPECT_TRUE(png.HasPhysicalPixelDimensionsInformation());

  TGuiPixelMapMemory before;
  png.AssignTo(before);
  png.SetCompressionLevel(1);  // recompresses
  TGuiPixelMapMemory after;
  png.AssignTo(after);
  EXPECT_TRUE(before.Equals(after));

  // Assign copies the chunks, unknown ones included; each copy refers to the new header.
  TPortableNetworkGraphicPixel32 copy;
  copy.Assign(png);
  EXPECT_EQ(copy.Width(), 2);
  EXPECT_TRUE(copy.HasGammaInformation());
  EXPECT_EQ(copy.PixelsPerUnitX(), 100u);
  ASSERT_EQ(copy.AdditionalChunkList().Count(), 2);
  EXPECT_EQ(copy.AdditionalChunkList().GetChunk(0)->ChunkName(), "vpAg");
  auto* text = dynamic_cast<TChunkPngTextChunk*>(copy.AdditionalChunkList().GetChunk(1));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Header(), &copy.ImageHeader());
  EXPECT_EQ(text->Text(), "b");
  TGuiPixelMapMemory copied;
  copy.AssignTo(copied);
  EXPECT_TRUE(before.Equals(copied));

  // An empty object copies too, and empties the copy.
  TPortableNetworkGraphicPixel32 empty;
  EXPECT_NO_THROW(copy.Assign(empty));
  EXPECT_EQ(copy.Width(), 0);
  EXPECT_FALSE(copy.HasGammaInformation());
  EXPECT_EQ(copy.DataChunkList().Count(), 0);
}

TEST(PngObject, TransparencyThatDoesNotSuitCopiesButDoesNotSave) {
  // tRNS has no variant for colour type 6: it is read as nothing, copied, and refused on saving.
  TPortableNetworkGraphicPixel32 png;
  LoadInto(png, PngFile({PngHeaderChunk(1, 1, 8, 6), PngChunk("tRNS", {1, 2}), PngChunk("IDAT", ZlibCompress({0, 1, 2, 3, 4}))}));
  TPortableNetworkGraphicPixel32 copy;
  EXPECT_NO_THROW(copy.Assign(png));
  EXPECT_EQ(copy.AdditionalChunkList().Count(), 1);
  TMemoryStream s;
  EXPECT_THROW(copy.SaveToStream(s), EPngError);
}

TEST(PngObject, FormatClassOperations) {
  TMemoryStream png(PngFile({kHeader}));
  png.SetPosition(0);
  EXPECT_TRUE(TPortableNetworkGraphic::CanLoad(png));
  EXPECT_EQ(png.Position(), 0);
  TMemoryStream bmp(TBytes{'B', 'M', 0, 0, 0});
  EXPECT_FALSE(TPortableNetworkGraphic::CanLoad(bmp));
  EXPECT_TRUE(TPortableNetworkGraphic::CanHandleExtension(".png"));
  EXPECT_FALSE(TPortableNetworkGraphic::CanHandleExtension(".PNG"));
  EXPECT_EQ(FindFileFormatByStream(png), &PortableNetworkGraphicFormatClass());
}

TEST(PngChunkList, IndexChecksAndRegistry) {
  TPngChunkList list;
  auto* raw = new TUnknownPngChunk();
  list.Add(std::unique_ptr<TCustomChunk>(raw));
  EXPECT_EQ(list.IndexOf(raw), 0);
  EXPECT_THROW(list.GetChunk(1), EPngError);
  EXPECT_THROW(list.Delete(-1), EPngError);
  list.Remove(raw);
  EXPECT_EQ(list.Count(), 0);
  ASSERT_NE(FindPngChunkClass(MakeChunkName("pCAL")), nullptr);
  EXPECT_EQ(FindPngChunkClass(MakeChunkName("IHDR")), nullptr);
  EXPECT_THROW(RegisterPngChunk(*FindPngChunkClass(MakeChunkName("tEXt"))), EAssertionFailed);
  TChunkPngImageHeader header;
  EXPECT_THROW(TChunkPngGamma(nullptr), EPngError);
  TChunkPngGamma gamma(&header);
  try {
    gamma.SetChunkName("gAM");
    FAIL() << "a defined chunk keeps its name";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Chunk name must always be 'gAMA'");
  }
  TChunkPngPalette palette(&header);
  EXPECT_THROW(palette.SetCount(257), EPngError);
  palette.SetCount(2);
  EXPECT_THROW(palette.GetPaletteEntry(2), EPngError);
}

TEST(ChunkFramingVariants, SizeOrderPadAndIncludedHeader) {
  // Name first, little-endian size counting the header, odd data padded.
  TMemoryStream s;
  s.WriteBuffer("abcd", 4);
  const uint8_t size[4] = {11, 0, 0, 0};
  s.WriteBuffer(size, 4);
  s.WriteBuffer("xyz\0", 4);
  s.WriteBuffer("next", 4);
  s.SetPosition(0);
  TUnknownChunk chunk;
  chunk.SetChunkFlags(TChunkFlags{cfPadSize, cfIncludeChunkInSize});
  chunk.LoadFromStream(s);
  EXPECT_EQ(chunk.ChunkName(), "abcd");
  EXPECT_EQ(chunk.DataStream().Size(), 3);
  EXPECT_EQ(s.Position(), 12);
  TMemoryStream out;
  chunk.SaveToStream(out);
  ASSERT_EQ(out.Size(), 12);
  EXPECT_EQ(std::memcmp(out.Memory(), "abcd\x0b\0\0\0xyz\0", 12), 0);

  // Big-endian size first; a size beyond the stream is refused before any copy.
  TMemoryStream t(Concat({BigEndian32(100), TBytes{'d', 'a', 't', 'a', 1}}));
  TUnknownPngChunk png;
  EXPECT_THROW(png.LoadFromStream(t), EAssertionFailed);
}

}  // namespace
