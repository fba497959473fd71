#include "png/KVX_GuiPngCoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>

namespace kvx {

namespace {

constexpr double COneBy255 = 0.00392156862745098;

constexpr int CAdam7StartRow[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr int CAdam7StartColumn[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int CAdam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};
constexpr int CAdam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

uint64_t Adam7PassWidth(uint64_t Width, int Pass) {
  const uint64_t step = CAdam7ColumnStep[Pass], start = CAdam7StartColumn[Pass];
  return (Width + step - start - 1) / step;
}

uint8_t RoundToByte(double V) {
  const double r = std::nearbyint(V);
  return r <= 0 ? 0 : r >= 255 ? 255 : static_cast<uint8_t>(r);
}

void CheckPixelCount(const TChunkPngImageHeader& Header) {
  if (uint64_t{Header.Width()} * Header.Height() > CPngMaxPixels) throw EPngError("Image too large");
}

}  // namespace

uint8_t PaethPredictor(uint8_t a, uint8_t b, uint8_t c) {
  const int pa = std::abs(int{b} - int{c});
  const int pb = std::abs(int{a} - int{c});
  const int pc = std::abs(int{a} + int{b} - 2 * int{c});
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// ---- coder base ---------------------------------------------------------------------------------

TCustomPngCoder::TCustomPngCoder(TStream& Stream, TChunkPngImageHeader& Header, TChunkPngGamma* Gamma,
                                 TChunkPngPalette* Palette)
    : FStream(&Stream), FHeader(&Header), FGamma(Gamma), FPalette(Palette) {
  BuildMappingTable();
}

void TCustomPngCoder::BuildMappingTable() {
  const bool gamma = FGamma && FGamma->Gamma() != 0;
  const double exponent = gamma ? 1.0 / (FGamma->Gamma() * 2.2e-5) : 1.0;
  if (FHeader->HasPalette()) {
    // 256 entries always, so that any index finds an entry; those beyond the palette (or the
    // grey ramp) stay black.
    FMappingTable.assign(256 * 3, 0);
    if (FPalette) {
      const TRGB24* p = FPalette->PaletteEntriesPointer();
      for (int i = 0; i < FPalette->Count(); ++i) {
        const uint8_t c[3] = {p[i].R, p[i].G, p[i].B};
        for (int k = 0; k < 3; ++k)
          FMappingTable[static_cast<size_t>(i) * 3 + k] =
              gamma ? RoundToByte(std::pow(c[k] * COneBy255, exponent) * 255) : c[k];
      }
    } else {
      const int depth = std::clamp<int>(FHeader->BitDepth(), 1, 8);
      const int m = (1 << depth) - 1;
      const float step = 1.0f / static_cast<float>(m);
      for (int d = 0; d <= m; ++d) {
        const double v = static_cast<double>(d) * static_cast<double>(step);
        const uint8_t g = gamma ? RoundToByte(std::pow(v, exponent) * 255) : RoundToByte(v * 255);
        std::memset(&FMappingTable[static_cast<size_t>(d) * 3], g, 3);
      }
    }
  } else {
    FMappingTable.resize(256);
    for (int i = 0; i < 256; ++i)
      FMappingTable[i] = gamma ? RoundToByte(std::pow(i * COneBy255, exponent) * 255) : static_cast<uint8_t>(i);
  }
}

// ---- decoders -----------------------------------------------------------------------------------

void TCustomPngDecoder::ReverseFilter(uint8_t Type, uint8_t* Row, const uint8_t* Previous, size_t Length,
                                      size_t Distance) {
  uint8_t* r = Row + 1;
  const uint8_t* p = Previous + 1;
  const size_t d = std::min(Distance, Length);
  switch (Type) {
    case afmNone:
      break;
    case afmSub:
      for (size_t i = d; i < Length; ++i) r[i] = static_cast<uint8_t>(r[i] + r[i - d]);
      break;
    case afmUp:
      for (size_t i = 0; i < Length; ++i) r[i] = static_cast<uint8_t>(r[i] + p[i]);
      break;
    case afmAverage:
      for (size_t i = 0; i < d; ++i) r[i] = static_cast<uint8_t>(r[i] + (p[i] >> 1));
      for (size_t i = d; i < Length; ++i) r[i] = static_cast<uint8_t>(r[i] + ((r[i - d] + p[i]) >> 1));
      break;
    case afmPaeth:
      for (size_t i = 0; i < d; ++i) r[i] = static_cast<uint8_t>(r[i] + p[i]);
      for (size_t i = d; i < Length; ++i) r[i] = static_cast<uint8_t>(r[i] + PaethPredictor(r[i - d], p[i], p[i - d]));
      break;
    default:
      throw Exception("Unknown filter type (" + std::to_string(Type) + ")");
  }
}

void TCustomPngDecoder::ReadRow(uint8_t* Buffer, size_t Count) {
  if (FStream->Read(Buffer, static_cast<int64_t>(Count)) != static_cast<int64_t>(Count))
    throw Exception("Image data too short");
}

TPixel32* TCustomPngDecoder::RowOf(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback, uint32_t Y) {
  TPixel32* row = ScanLineCallback ? ScanLineCallback(Bitmap, static_cast<int32_t>(Y)) : nullptr;
  if (!row) throw EPngError("No scan line to decode into");
  return row;
}

TCustomPngNonInterlacedDecoder::TCustomPngNonInterlacedDecoder(TStream& Stream, TChunkPngImageHeader& Header,
                                                               TChunkPngGamma* Gamma, TChunkPngPalette* Palette)
    : TCustomPngDecoder(Stream, Header, Gamma, Palette) {
  CheckPixelCount(Header);
  FBytesPerRow = static_cast<size_t>(Header.BytesPerRow());
  FRowByteSize = FBytesPerRow + 1;
  FRowBuffer[0].resize(FRowByteSize);
  FRowBuffer[1].resize(FRowByteSize);
}

void TCustomPngNonInterlacedDecoder::DecodeToScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) {
  uint8_t* current = FRowBuffer[0].data();
  uint8_t* previous = FRowBuffer[1].data();
  std::memset(previous, 0, FRowByteSize);
  const size_t distance = static_cast<size_t>(std::max(1, FHeader->PixelByteSize()));
  for (uint32_t y = 0; y < FHeader->Height(); ++y) {
    ReadRow(current, FRowByteSize);
    ReverseFilter(current[0], current, previous, FBytesPerRow, distance);
    TransferRow(current + 1, RowOf(Bitmap, ScanLineCallback, y));
    std::swap(current, previous);
  }
}

TCustomPngAdam7Decoder::TCustomPngAdam7Decoder(TStream& Stream, TChunkPngImageHeader& Header, TChunkPngGamma* Gamma,
                                               TChunkPngPalette* Palette)
    : TCustomPngDecoder(Stream, Header, Gamma, Palette) {
  CheckPixelCount(Header);
  const size_t size = static_cast<size_t>(Header.BytesPerRow()) + 1;
  FRowBuffer[0].resize(size);
  FRowBuffer[1].resize(size);
}

void TCustomPngAdam7Decoder::DecodeToScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) {
  uint8_t* current = FRowBuffer[0].data();
  uint8_t* previous = FRowBuffer[1].data();
  const size_t distance = static_cast<size_t>(std::max(1, FHeader->PixelByteSize()));
  for (int pass = 0; pass < 7; ++pass) {
    const size_t length = static_cast<size_t>(FHeader->BytesPerRow(Adam7PassWidth(FHeader->Width(), pass)));
    std::memset(previous, 0, length + 1);
    if (length == 0) continue;
    for (uint64_t y = CAdam7StartRow[pass]; y < FHeader->Height(); y += CAdam7RowStep[pass]) {
      ReadRow(current, length + 1);
      ReverseFilter(current[0], current, previous, length, distance);
      TransferRow(pass, current + 1, RowOf(Bitmap, ScanLineCallback, static_cast<uint32_t>(y)));
      std::swap(current, previous);
    }
  }
}

template <TPngPixelLayout Layout>
void TPngAdam7DecoderOf<Layout>::TransferRow(int Pass, const uint8_t* Source, TPixel32* Destination) {
  TransferPixels(Layout, Source, Destination + CAdam7StartColumn[Pass], Adam7PassWidth(FHeader->Width(), Pass),
                 CAdam7ColumnStep[Pass], FMappingTable.data());
}

template class TPngAdam7DecoderOf<plGray1>;
template class TPngAdam7DecoderOf<plGray2>;
template class TPngAdam7DecoderOf<plGray4>;
template class TPngAdam7DecoderOf<plGray8>;
template class TPngAdam7DecoderOf<plGray16>;
template class TPngAdam7DecoderOf<plGrayAlpha8>;
template class TPngAdam7DecoderOf<plGrayAlpha16>;
template class TPngAdam7DecoderOf<plTrueColor8>;
template class TPngAdam7DecoderOf<plTrueColor16>;
template class TPngAdam7DecoderOf<plTrueColorAlpha8>;
template class TPngAdam7DecoderOf<plTrueColorAlpha16>;
template class TPngAdam7DecoderOf<plPalette1>;
template class TPngAdam7DecoderOf<plPalette2>;
template class TPngAdam7DecoderOf<plPalette4>;
template class TPngAdam7DecoderOf<plPalette8>;

void TPngPaletteBGRADecoder::TransferRow(const uint8_t* Source, TPixel32* Destination) {
  const TPngPixelLayout layout = FHeader->BitDepth() == 1 ? plPalette1 : FHeader->BitDepth() == 2 ? plPalette2 : plPalette4;
  TransferPixels(layout, Source, Destination, FHeader->Width(), 1, FMappingTable.data());
}

namespace {

inline void Put(TPixel32* D, uint8_t B, uint8_t G, uint8_t R, uint8_t A) {
  D->B = B;
  D->G = G;
  D->R = R;
  D->A = A;
}

template <int Bits>
inline unsigned Packed(const uint8_t* S, uint64_t I) {
  constexpr unsigned perByte = 8 / Bits;
  const unsigned shift = 8 - Bits * (1 + static_cast<unsigned>(I % perByte));
  return (S[I / perByte] >> shift) & ((1u << Bits) - 1);
}

template <int Bits>
void TransferGray(const uint8_t* S, TPixel32* D, uint64_t Count, uint64_t Step, const uint8_t* Map) {
  constexpr unsigned scale = 255 / ((1u << Bits) - 1);
  for (uint64_t i = 0; i < Count; ++i, D += Step) {
    const uint8_t g = Map[Packed<Bits>(S, i) * scale];
    Put(D, g, g, g, 255);
  }
}

template <int Bits>
void TransferPalette(const uint8_t* S, TPixel32* D, uint64_t Count, uint64_t Step, const uint8_t* Map) {
  for (uint64_t i = 0; i < Count; ++i, D += Step) {
    const uint8_t* e = Map + Packed<Bits>(S, i) * 3;
    Put(D, e[2], e[1], e[0], 255);
  }
}

}  // namespace

void TransferPixels(TPngPixelLayout Layout, const uint8_t* S, TPixel32* D, uint64_t Count, uint64_t Step,
                    const uint8_t* M) {
  switch (Layout) {
    case plGray1: TransferGray<1>(S, D, Count, Step, M); break;
    case plGray2: TransferGray<2>(S, D, Count, Step, M); break;
    case plGray4: TransferGray<4>(S, D, Count, Step, M); break;
    case plGray8:
      for (uint64_t i = 0; i < Count; ++i, D += Step) Put(D, M[S[i]], M[S[i]], M[S[i]], 255);
      break;
    case plGray16:
      for (uint64_t i = 0; i < Count; ++i, D += Step) Put(D, M[S[2 * i]], M[S[2 * i]], M[S[2 * i]], 255);
      break;
    case plGrayAlpha8:
      for (uint64_t i = 0; i < Count; ++i, D += Step) {
        const uint8_t g = M[S[2 * i]];
        Put(D, g, g, g, S[2 * i + 1]);
      }
      break;
    case plGrayAlpha16:
      for (uint64_t i = 0; i < Count; ++i, D += Step) {
        const uint8_t g = M[S[4 * i]];
        Put(D, g, g, g, S[4 * i + 2]);
      }
      break;
    case plTrueColor8:
      for (uint64_t i = 0; i < Count; ++i, D += Step, S += 3) Put(D, M[S[2]], M[S[1]], M[S[0]], 255);
      break;
    case plTrueColor16:
      for (uint64_t i = 0; i < Count; ++i, D += Step, S += 6) Put(D, M[S[4]], M[S[2]], M[S[0]], 255);
      break;
    case plTrueColorAlpha8:
      for (uint64_t i = 0; i < Count; ++i, D += Step, S += 4) Put(D, M[S[2]], M[S[1]], M[S[0]], S[3]);
      break;
    case plTrueColorAlpha16:
      for (uint64_t i = 0; i < Count; ++i, D += Step, S += 8) Put(D, M[S[4]], M[S[2]], M[S[0]], S[6]);
      break;
    case plPalette1: TransferPalette<1>(S, D, Count, Step, M); break;
    case plPalette2: TransferPalette<2>(S, D, Count, Step, M); break;
    case plPalette4: TransferPalette<4>(S, D, Count, Step, M); break;
    case plPalette8: TransferPalette<8>(S, D, Count, Step, M); break;
  }
}

uint64_t PngImageDataSize(const TChunkPngImageHeader& Header) {
  CheckPixelCount(Header);
  if (Header.InterlaceMethod() != imAdam7) return uint64_t{Header.Height()} * (Header.BytesPerRow() + 1);
  uint64_t total = 0;
  for (int pass = 0; pass < 7; ++pass) {
    const uint64_t length = Header.BytesPerRow(Adam7PassWidth(Header.Width(), pass));
    if (length == 0 || Header.Height() <= static_cast<uint32_t>(CAdam7StartRow[pass])) continue;
    const uint64_t rows = (Header.Height() - CAdam7StartRow[pass] + CAdam7RowStep[pass] - 1) / CAdam7RowStep[pass];
    total += rows * (length + 1);
  }
  return total;
}

std::unique_ptr<TCustomPngDecoder> CreatePngDecoder(TStream& Stream, TChunkPngImageHeader& Header,
                                                    TChunkPngGamma* Gamma, TChunkPngPalette* Palette) {
  const bool adam7 = Header.InterlaceMethod() == imAdam7;
  if (Header.InterlaceMethod() > imAdam7) throw EPngError("Unsupported image format");
  const int depth = Header.BitDepth();
  TPngPixelLayout layout;
  switch (Header.ColorType()) {
    case ctGrayscale:
      switch (depth) {
        case 1: layout = plGray1; break;
        case 2: layout = plGray2; break;
        case 4: layout = plGray4; break;
        case 8: layout = plGray8; break;
        case 16: layout = plGray16; break;
        default: throw EPngError("Unsupported image format");
      }
      break;
    case ctTrueColor:
    case ctGrayscaleAlpha:
    case ctTrueColorAlpha: {
      if (depth != 8 && depth != 16) throw EPngError("Unsupported image format");
      const bool wide = depth == 16;
      layout = Header.ColorType() == ctTrueColor ? (wide ? plTrueColor16 : plTrueColor8)
               : Header.ColorType() == ctGrayscaleAlpha ? (wide ? plGrayAlpha16 : plGrayAlpha8)
                                                          : (wide ? plTrueColorAlpha16 : plTrueColorAlpha8);
      break;
    }
    case ctIndexedColor:
      switch (depth) {
        case 1: layout = plPalette1; break;
        case 2: layout = plPalette2; break;
        case 4: layout = plPalette4; break;
        case 8: layout = plPalette8; break;
        default: throw EPngError("Unsupported image format");
      }
      break;
    default:
      throw EPngError("Unsupported image format");
  }
#define KVX_MAKE(Class) std::make_unique<Class>(Stream, Header, Gamma, Palette)
  if (adam7) {
    switch (layout) {
      case plGray1: return KVX_MAKE(TPngAdam7Grayscale1bitRGBADecoder);
      case plGray2: return KVX_MAKE(TPngAdam7Grayscale2bitRGBADecoder);
      case plGray4: return KVX_MAKE(TPngAdam7Grayscale4bitRGBADecoder);
      case plGray8: return KVX_MAKE(TPngAdam7Grayscale8bitRGBADecoder);
      case plGray16: return KVX_MAKE(TPngAdam7Grayscale16bitRGBADecoder);
      case plGrayAlpha8: return KVX_MAKE(TPngAdam7GrayscaleAlpha8bitRGBADecoder);
      case plGrayAlpha16: return KVX_MAKE(TPngAdam7GrayscaleAlpha16bitRGBADecoder);
      case plTrueColor8: return KVX_MAKE(TPngAdam7TrueColor8bitBGRADecoder);
      case plTrueColor16: return KVX_MAKE(TPngAdam7TrueColor16bitBGRADecoder);
      case plTrueColorAlpha8: return KVX_MAKE(TPngAdam7TrueColorAlpha8bitBGRADecoder);
      case plTrueColorAlpha16: return KVX_MAKE(TPngAdam7TrueColorAlpha16bitBGRADecoder);
      case plPalette1: return KVX_MAKE(TPngAdam7Palette1bitBGRADecoder);
      case plPalette2: return KVX_MAKE(TPngAdam7Palette2bitBGRADecoder);
      case plPalette4: return KVX_MAKE(TPngAdam7Palette4bitBGRADecoder);
      case plPalette8: return KVX_MAKE(TPngAdam7Palette8bitBGRADecoder);
    }
  }
  switch (layout) {
    case plGray1: return KVX_MAKE(TPngGrayscale1bitRGBADecoder);
    case plGray2: return KVX_MAKE(TPngGrayscale2bitRGBADecoder);
    case plGray4: return KVX_MAKE(TPngGrayscale4bitRGBADecoder);
    case plGray8: return KVX_MAKE(TPngGrayscale8bitRGBADecoder);
    case plGray16: return KVX_MAKE(TPngGrayscale16bitRGBADecoder);
    case plGrayAlpha8: return KVX_MAKE(TPngGrayscaleAlpha8bitRGBADecoder);
    case plGrayAlpha16: return KVX_MAKE(TPngGrayscaleAlpha16bitRGBADecoder);
    case plTrueColor8: return KVX_MAKE(TPngTrueColor8bitBGRADecoder);
    case plTrueColor16: return KVX_MAKE(TPngTrueColor16bitBGRADecoder);
    case plTrueColorAlpha8: return KVX_MAKE(TPngTrueColorAlpha8bitBGRADecoder);
    case plTrueColorAlpha16: return KVX_MAKE(TPngTrueColorAlpha16bitBGRADecoder);
    case plPalette1:
    case plPalette2:
    case plPalette4: return KVX_MAKE(TPngPaletteBGRADecoder);
    case plPalette8: return KVX_MAKE(TPngPalette8bitBGRADecoder);
  }
#undef KVX_MAKE
  throw EPngError("Unsupported image format");
}

// ---- encoders -----------------------------------------------------------------------------------

TCustomPngNonInterlacedEncoder::TCustomPngNonInterlacedEncoder(TStream& Stream, TChunkPngImageHeader& Header,
                                                               TChunkPngGamma* Gamma, TChunkPngPalette* Palette)
    : TCustomPngEncoder(Stream, Header, Gamma, Palette) {
  CheckPixelCount(Header);
  FBytesPerRow = static_cast<size_t>(Header.BytesPerRow());
  FRowByteSize = FBytesPerRow + 1;
  FRowBuffer[0].assign(FRowByteSize, 0);
  FRowBuffer[1].assign(FRowByteSize, 0);
}

int TCustomPngNonInterlacedEncoder::PaletteLookup(TPixel32 Pixel) {
  if (FLastIndex != -2 && Pixel.R == FLastPixel.R && Pixel.G == FLastPixel.G && Pixel.B == FLastPixel.B)
    return FLastIndex;
  int index = -1;
  if (FPalette) {
    const TRGB24* p = FPalette->PaletteEntriesPointer();
    for (int i = 0; i < FPalette->Count(); ++i)
      if (p[i].R == Pixel.R && p[i].G == Pixel.G && p[i].B == Pixel.B) {
        index = i;
        break;
      }
  }
  FLastPixel = Pixel;
  FLastIndex = index;
  return index;
}

void TCustomPngNonInterlacedEncoder::EncodeFromScanline(TPersistent* Bitmap, const TScanLineCallback& ScanLineCallback) {
  uint8_t* current = FRowBuffer[0].data();
  uint8_t* previous = FRowBuffer[1].data();
  std::memset(previous, 0, FRowByteSize);
  std::vector<uint8_t> candidate(FRowByteSize), best(FRowByteSize);
  const size_t n = FBytesPerRow;
  const size_t d = std::min(n, static_cast<size_t>(std::max(1, FHeader->PixelByteSize())));
  const bool unfiltered = FHeader->ColorType() == ctIndexedColor;
  auto sum = [n](const uint8_t* r) {
    uint64_t s = 0;
    for (size_t i = 0; i < n; ++i) s += r[i];
    return s;
  };
  for (uint32_t y = 0; y < FHeader->Height(); ++y) {
    const TPixel32* source = ScanLineCallback ? ScanLineCallback(Bitmap, static_cast<int32_t>(y)) : nullptr;
    if (!source) throw EPngError("No scan line to encode from");
    PackRow(source, current + 1);
    if (unfiltered) {
      current[0] = afmNone;
      FStream->WriteBuffer(current, static_cast<int64_t>(FRowByteSize));
    } else {
      const uint8_t* r = current + 1;
      const uint8_t* p = previous + 1;
      std::memcpy(best.data(), current, FRowByteSize);
      best[0] = afmNone;
      uint64_t bestSum = sum(r);
      uint8_t* c = candidate.data() + 1;
      for (uint8_t type = afmSub; type <= afmPaeth; ++type) {
        switch (type) {
          case afmSub:
            for (size_t i = 0; i < d; ++i) c[i] = r[i];
            for (size_t i = d; i < n; ++i) c[i] = static_cast<uint8_t>(r[i] - r[i - d]);
            break;
          case afmUp:
            for (size_t i = 0; i < n; ++i) c[i] = static_cast<uint8_t>(r[i] - p[i]);
            break;
          case afmAverage:
            for (size_t i = 0; i < d; ++i) c[i] = static_cast<uint8_t>(r[i] - (p[i] >> 1));
            for (size_t i = d; i < n; ++i) c[i] = static_cast<uint8_t>(r[i] - ((r[i - d] + p[i]) >> 1));
            break;
          default:
            for (size_t i = 0; i < d; ++i) c[i] = static_cast<uint8_t>(r[i] - p[i]);
            for (size_t i = d; i < n; ++i) c[i] = static_cast<uint8_t>(r[i] - PaethPredictor(r[i - d], p[i], p[i - d]));
            break;
        }
        const uint64_t s = sum(c);
        if (s < bestSum) {
          bestSum = s;
          candidate[0] = type;
          std::swap(candidate, best);
          c = candidate.data() + 1;
        }
      }
      FStream->WriteBuffer(best.data(), static_cast<int64_t>(FRowByteSize));
    }
    std::swap(current, previous);
  }
}

template <int Bits>
void TPngGrayscaleEncoderOf<Bits>::PackRow(const TPixel32* Source, uint8_t* Destination) {
  const uint32_t w = FHeader->Width();
  if constexpr (Bits == 8) {
    for (uint32_t x = 0; x < w; ++x) Destination[x] = Source[x].R;
  } else {
    constexpr unsigned perByte = 8 / Bits;
    constexpr unsigned mask = (1u << Bits) - 1;
    for (uint32_t x = 0; x < w; ++x) {
      const unsigned shift = 8 - Bits * (1 + x % perByte);
      uint8_t& b = Destination[x / perByte];
      b = static_cast<uint8_t>((b & ~(mask << shift)) | ((unsigned{Source[x].R} >> (8 - Bits)) << shift));
    }
  }
}

template <int Bits>
void TPngPaletteEncoderOf<Bits>::PackRow(const TPixel32* Source, uint8_t* Destination) {
  const uint32_t w = FHeader->Width();
  constexpr unsigned perByte = 8 / Bits;
  constexpr unsigned mask = (1u << Bits) - 1;
  for (uint32_t x = 0; x < w; ++x) {
    const unsigned index = static_cast<unsigned>(PaletteLookup(Source[x])) & mask;
    if constexpr (Bits == 8) {
      Destination[x] = static_cast<uint8_t>(index);
    } else {
      const unsigned shift = 8 - Bits * (1 + x % perByte);
      uint8_t& b = Destination[x / perByte];
      b = static_cast<uint8_t>((b & ~(mask << shift)) | (index << shift));
    }
  }
}

template class TPngGrayscaleEncoderOf<1>;
template class TPngGrayscaleEncoderOf<2>;
template class TPngGrayscaleEncoderOf<4>;
template class TPngGrayscaleEncoderOf<8>;
template class TPngPaletteEncoderOf<1>;
template class TPngPaletteEncoderOf<2>;
template class TPngPaletteEncoderOf<4>;
template class TPngPaletteEncoderOf<8>;

void TPngRGBAGrayscaleAlpha8bitEncoder::PackRow(const TPixel32* Source, uint8_t* Destination) {
  for (uint32_t x = 0; x < FHeader->Width(); ++x) {
    Destination[2 * x] = Source[x].R;
    Destination[2 * x + 1] = Source[x].A;
  }
}

void TPngBGRATrueColor8bitEncoder::PackRow(const TPixel32* Source, uint8_t* Destination) {
  for (uint32_t x = 0; x < FHeader->Width(); ++x, Destination += 3) {
    Destination[0] = Source[x].R;
    Destination[1] = Source[x].G;
    Destination[2] = Source[x].B;
  }
}

void TPngBGRATrueColorAlpha8bitEncoder::PackRow(const TPixel32* Source, uint8_t* Destination) {
  for (uint32_t x = 0; x < FHeader->Width(); ++x, Destination += 4) {
    Destination[0] = Source[x].R;
    Destination[1] = Source[x].G;
    Destination[2] = Source[x].B;
    Destination[3] = Source[x].A;
  }
}

std::unique_ptr<TCustomPngEncoder> CreatePngEncoder(TStream& Stream, TChunkPngImageHeader& Header,
                                                    TChunkPngPalette* Palette) {
#define KVX_MAKE(Class) std::make_unique<Class>(Stream, Header, nullptr, Palette)
  const int depth = Header.BitDepth();
  switch (Header.ColorType()) {
    case ctGrayscale:
      if (depth == 1) return KVX_MAKE(TPngRGBAGrayscale1bitEncoder);
      if (depth == 2) return KVX_MAKE(TPngRGBAGrayscale2bitEncoder);
      if (depth == 4) return KVX_MAKE(TPngRGBAGrayscale4bitEncoder);
      if (depth == 8) return KVX_MAKE(TPngRGBAGrayscale8bitEncoder);
      break;
    case ctGrayscaleAlpha:
      if (depth == 8) return KVX_MAKE(TPngRGBAGrayscaleAlpha8bitEncoder);
      break;
    case ctTrueColor:
      if (depth == 8) return KVX_MAKE(TPngBGRATrueColor8bitEncoder);
      break;
    case ctTrueColorAlpha:
      if (depth == 8) return KVX_MAKE(TPngBGRATrueColorAlpha8bitEncoder);
      break;
    case ctIndexedColor:
      if (depth == 1) return KVX_MAKE(TPngBGRAPalette1bitEncoder);
      if (depth == 2) return KVX_MAKE(TPngBGRAPalette2bitEncoder);
      if (depth == 4) return KVX_MAKE(TPngBGRAPalette4bitEncoder);
      if (depth == 8) return KVX_MAKE(TPngBGRAPalette8bitEncoder);
      break;
    default:
      break;
  }
#undef KVX_MAKE
  throw EPngError("Unsupported image format");
}

}  // namespace kvx
