#include "png_support.h"

#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef KVX_HAVE_LIBPNG
#include <png.h>
#endif

namespace kvx::test {

TBytes BigEndian32(uint32_t V) {
  return {static_cast<uint8_t>(V >> 24), static_cast<uint8_t>(V >> 16), static_cast<uint8_t>(V >> 8),
          static_cast<uint8_t>(V)};
}

TBytes Concat(std::initializer_list<TBytes> Parts) {
  TBytes out;
  for (const TBytes& p : Parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TBytes PngChunk(const std::string& Name, const TBytes& Data) {
  TBytes body(Name.begin(), Name.end());
  body.insert(body.end(), Data.begin(), Data.end());
  const uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
  return Concat({BigEndian32(static_cast<uint32_t>(Data.size())), body, BigEndian32(crc)});
}

TBytes PngHeaderChunk(uint32_t Width, uint32_t Height, uint8_t BitDepth, uint8_t ColorType, uint8_t Interlace) {
  return PngChunk("IHDR", Concat({BigEndian32(Width), BigEndian32(Height), TBytes{BitDepth, ColorType, 0, 0, Interlace}}));
}

TBytes PngFile(std::initializer_list<TBytes> Chunks, bool WithEnd) {
  TBytes out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (const TBytes& c : Chunks) out.insert(out.end(), c.begin(), c.end());
  if (WithEnd) {
    const TBytes end = PngChunk("IEND", {});
    out.insert(out.end(), end.begin(), end.end());
  }
  return out;
}

TBytes ZlibCompress(const TBytes& Raw, int Level) {
  uLongf size = compressBound(static_cast<uLong>(Raw.size()));
  TBytes out(size);
  if (compress2(out.data(), &size, Raw.data(), static_cast<uLong>(Raw.size()), Level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

TBytes ReadFileBytes(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot open " + Path);
  return TBytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReferenceGammaTable(uint32_t Gamma) {
  std::vector<uint8_t> t(256);
  for (int i = 0; i < 256; ++i) {
    if (Gamma == 0) {
      t[i] = static_cast<uint8_t>(i);
    } else {
      const double e = 1.0 / (Gamma * 2.2e-5);
      const double v = std::nearbyint(std::pow(i * 0.00392156862745098, e) * 255);
      t[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
  return t;
}

#ifdef KVX_HAVE_LIBPNG

bool HaveLibpng() { return true; }

namespace {

struct TReader {
  const uint8_t* Data;
  size_t Size;
  size_t Position;
};

struct TResult {
  uint32_t Width = 0, Height = 0;
  int Channels = 0;
  int SourceColorType = 0;
  uint32_t Gamma = 0;
  std::vector<uint8_t> Bytes;
  std::vector<png_bytep> Rows;
  char Error[256] = {};
};

void ReadCallback(png_structp Png, png_bytep Out, png_size_t Count) {
  auto* r = static_cast<TReader*>(png_get_io_ptr(Png));
  if (r->Size - r->Position < Count) png_error(Png, "read past the end");
  std::memcpy(Out, r->Data + r->Position, Count);
  r->Position += Count;
}

void ErrorCallback(png_structp Png, png_const_charp Message) {
  auto* result = static_cast<TResult*>(png_get_error_ptr(Png));
  std::strncpy(result->Error, Message, sizeof result->Error - 1);
  png_longjmp(Png, 1);
}

void WarningCallback(png_structp, png_const_charp) {}

// Only plain locals set before setjmp live across it; everything else is in *Result.
bool RunLibpng(TReader* Reader, TResult* Result) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, Result, ErrorCallback, WarningCallback);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return false;
  }
  png_set_read_fn(png, Reader, ReadCallback);
  png_read_info(png, info);
  Result->SourceColorType = png_get_color_type(png, info);
  png_fixed_point gamma = 0;
  if (png_get_gAMA_fixed(png, info, &gamma)) Result->Gamma = static_cast<uint32_t>(gamma);
  if (Result->SourceColorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (Result->SourceColorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
    png_set_expand_gray_1_2_4_to_8(png);
  png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  Result->Width = png_get_image_width(png, info);
  Result->Height = png_get_image_height(png, info);
  Result->Channels = png_get_channels(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  Result->Bytes.assign(rowBytes * Result->Height, 0);
  Result->Rows.resize(Result->Height);
  for (uint32_t y = 0; y < Result->Height; ++y) Result->Rows[y] = Result->Bytes.data() + rowBytes * y;
  png_read_image(png, Result->Rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool DecodeWithLibpng(const TBytes& File, uint32_t& Width, uint32_t& Height, std::vector<TPixel32>& Pixels,
                      std::string& Error) {
  TReader reader{File.data(), File.size(), 0};
  TResult result;
  if (!RunLibpng(&reader, &result)) {
    Error = result.Error;
    return false;
  }
  Width = result.Width;
  Height = result.Height;
  const std::vector<uint8_t> map = ReferenceGammaTable(result.Gamma);
  // tRNS may have given palette or grey output an alpha channel: it is not applied.
  const bool sourceAlpha = (result.SourceColorType & PNG_COLOR_MASK_ALPHA) != 0;
  Pixels.resize(size_t{Width} * Height);
  const int n = result.Channels;
  for (size_t i = 0; i < Pixels.size(); ++i) {
    const uint8_t* s = result.Bytes.data() + i * n;
    TPixel32& p = Pixels[i];
    if (n <= 2) {
      p.B = p.G = p.R = map[s[0]];
      p.A = (n == 2 && sourceAlpha) ? s[1] : 255;
    } else {
      p.R = map[s[0]];
      p.G = map[s[1]];
      p.B = map[s[2]];
      p.A = (n == 4 && sourceAlpha) ? s[3] : 255;
    }
  }
  return true;
}

#else

bool HaveLibpng() { return false; }

bool DecodeWithLibpng(const TBytes&, uint32_t&, uint32_t&, std::vector<TPixel32>&, std::string& Error) {
  Error = "libpng not available";
  return false;
}

#endif

}  // namespace kvx::test
