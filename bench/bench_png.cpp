// PNG decoding throughput (MB/s of decoded pixels) for a 1024 x 1024 RGBA image, side by side
// with libpng on the same file, and the row blend the stitched controls draw with.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <csetjmp>
#include <vector>

#include "gui/KVX_GuiBlend.h"
#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPng.h"

#ifdef KVX_HAVE_LIBPNG
#include <png.h>
#endif

using namespace kvx;

namespace {

constexpr int CSize = 1024;

// Artwork-like content: smooth gradients, a soft alpha edge and a little noise.
const std::vector<uint8_t>& TestFile() {
  static const std::vector<uint8_t> file = [] {
    TGuiPixelMapMemory map;
    map.SetSize(CSize, CSize);
    uint32_t seed = 12345;
    for (int y = 0; y < CSize; ++y) {
      TPixel32* row = map.GetScanLine(y);
      for (int x = 0; x < CSize; ++x) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = static_cast<int>(seed >> 29);
        const int dx = x - CSize / 2, dy = y - CSize / 2;
        const int r2 = (dx * dx + dy * dy) >> 10;
        row[x] = TPixel32{static_cast<uint8_t>((x >> 2) + noise), static_cast<uint8_t>((y >> 2) + noise),
                          static_cast<uint8_t>(r2 + noise), static_cast<uint8_t>(r2 < 200 ? 255 : r2 < 255 ? 255 - (r2 - 200) * 4 : 0)};
      }
    }
    TPortableNetworkGraphicPixel32 png;
    png.SetCompressionLevel(6);
    png.Assign(map);
    TMemoryStream s;
    png.SaveToStream(s);
    return s.Data();
  }();
  return file;
}

void DecodeKvx(TGuiPixelMapMemory& Map) {
  TMemoryStream s(TestFile());
  TPortableNetworkGraphicPixel32 png;
  png.LoadFromStream(s);
  png.AssignTo(Map);
}

#ifdef KVX_HAVE_LIBPNG
struct TReader {
  const uint8_t* Data;
  size_t Size, Position;
};

void ReadCallback(png_structp Png, png_bytep Out, png_size_t Count) {
  auto* r = static_cast<TReader*>(png_get_io_ptr(Png));
  if (r->Size - r->Position < Count) png_error(Png, "eof");
  std::memcpy(Out, r->Data + r->Position, Count);
  r->Position += Count;
}

// The same work as ours: file bytes in, 8-bit RGBA rows out.
bool DecodeLibpng(std::vector<png_bytep>* Rows) {
  TReader reader{TestFile().data(), TestFile().size(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, ReadCallback);
  png_read_info(png, info);
  png_read_update_info(png, info);
  png_read_image(png, Rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

struct TLibpngTarget {
  std::vector<uint8_t> Pixels = std::vector<uint8_t>(size_t{CSize} * CSize * 4);
  std::vector<png_bytep> Rows = std::vector<png_bytep>(CSize);
  TLibpngTarget() {
    for (int y = 0; y < CSize; ++y) Rows[y] = Pixels.data() + static_cast<size_t>(y) * CSize * 4;
  }
};
#endif

void BM_PngDecodeKvx(benchmark::State& State) {
  TestFile();  // encoded once, outside the timing
  TGuiPixelMapMemory map;
  for (auto _ : State) {
    DecodeKvx(map);
    benchmark::DoNotOptimize(map.DataPointer());
  }
  State.SetBytesProcessed(State.iterations() * int64_t{CSize} * CSize * 4);
  State.counters["file_kB"] = static_cast<double>(TestFile().size()) / 1024;
}
BENCHMARK(BM_PngDecodeKvx)->Unit(benchmark::kMillisecond);

#ifdef KVX_HAVE_LIBPNG
void BM_PngDecodeLibpng(benchmark::State& State) {
  TestFile();
  TLibpngTarget target;
  for (auto _ : State) {
    if (!DecodeLibpng(&target.Rows)) State.SkipWithError("libpng failed");
    benchmark::DoNotOptimize(target.Pixels.data());
  }
  State.SetBytesProcessed(State.iterations() * int64_t{CSize} * CSize * 4);
}
BENCHMARK(BM_PngDecodeLibpng)->Unit(benchmark::kMillisecond);

// Both decoders alternately in one loop; ratio = our time / libpng's time (goal: at most 2).
void BM_PngDecodeRatio(benchmark::State& State) {
  TestFile();
  TGuiPixelMapMemory map;
  TLibpngTarget target;
  double ours = 0, theirs = 0;
  for (auto _ : State) {
    const auto t0 = std::chrono::steady_clock::now();
    DecodeKvx(map);
    const auto t1 = std::chrono::steady_clock::now();
    DecodeLibpng(&target.Rows);
    const auto t2 = std::chrono::steady_clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    theirs += std::chrono::duration<double>(t2 - t1).count();
  }
  const double mb = static_cast<double>(State.iterations()) * CSize * CSize * 4 / 1e6;
  State.counters["kvx_MBps"] = mb / ours;
  State.counters["libpng_MBps"] = mb / theirs;
  State.counters["ratio"] = ours / theirs;
}
BENCHMARK(BM_PngDecodeRatio)->Unit(benchmark::kMillisecond);
#endif

void BM_OpaqueBlendRow(benchmark::State& State) {
  const int count = CSize * CSize;
  std::vector<TPixel32> source(count), destination(count);
  for (int i = 0; i < count; ++i) {
    source[i] = TPixel32{uint8_t(i), uint8_t(i >> 3), uint8_t(i >> 6), uint8_t(i * 7)};
    destination[i] = TPixel32{uint8_t(i >> 2), 9, uint8_t(i), 255};
  }
  for (auto _ : State) {
    OpaqueBlendRow(source.data(), destination.data(), count);
    benchmark::DoNotOptimize(destination.data());
  }
  State.counters["Mpixel_per_s"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * count / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OpaqueBlendRow)->Unit(benchmark::kMillisecond);

// A file of many small chunks (1.5 MB of 100000 private ancillary chunks before a 1 x 1 image):
// loading it from a file costs what the stream does per field, from memory what parsing does.
const std::string& ManyChunksFile() {
  static const std::string path = [] {
    TMemoryStream s;
    auto chunk = [&s](const char* Name, const std::vector<uint8_t>& Data) {
      std::vector<uint8_t> bytes(8 + Data.size());
      WriteBigEndian32(bytes.data(), static_cast<uint32_t>(Data.size()));
      std::memcpy(bytes.data() + 4, Name, 4);
      std::copy(Data.begin(), Data.end(), bytes.begin() + 8);
      s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      uint8_t crc[4];
      WriteBigEndian32(crc, FinishCRC(CalculateCRC(bytes.data() + 4, bytes.size() - 4)));
      s.WriteBuffer(crc, 4);
    };
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    s.WriteBuffer(signature, 8);
    chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0});
    for (int i = 0; i < 100000; ++i) chunk("prVt", {uint8_t(i), uint8_t(i >> 8), 7});
    chunk("IEND", {});
    const std::string name = KVX_BUILD_DIR "/bench/many_chunks.png";
    s.SaveToFile(name);
    return name;
  }();
  return path;
}

void BM_PngLoadManyChunksFromFile(benchmark::State& State) {
  for (auto _ : State) {
    TPortableNetworkGraphicPixel32 png;
    png.LoadFromFile(ManyChunksFile());
    benchmark::DoNotOptimize(png.AdditionalChunkList().Count());
  }
}
BENCHMARK(BM_PngLoadManyChunksFromFile)->Unit(benchmark::kMillisecond);

void BM_PngLoadManyChunksFromMemory(benchmark::State& State) {
  TMemoryStream file;
  file.LoadFromFile(ManyChunksFile());
  for (auto _ : State) {
    file.SetPosition(0);
    TPortableNetworkGraphicPixel32 png;
    png.LoadFromStream(file);
    benchmark::DoNotOptimize(png.AdditionalChunkList().Count());
  }
}
BENCHMARK(BM_PngLoadManyChunksFromMemory)->Unit(benchmark::kMillisecond);

}  // namespace
