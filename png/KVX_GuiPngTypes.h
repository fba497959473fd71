// Value types of the PNG codec: header enumerations, storage formats and the fixed sizes and
// limits every PNG unit shares.
#pragma once

#include <cstdint>

namespace kvx {

// The colour types a PNG header names; the header keeps the raw byte, so unknown values survive
// until rows are sized or decoded.
enum TColorType : uint8_t {
  ctGrayscale = 0,
  ctTrueColor = 2,
  ctIndexedColor = 3,
  ctGrayscaleAlpha = 4,
  ctTrueColorAlpha = 6
};

enum TFilterMethod : uint8_t { fmAdaptiveFilter = 0 };

enum TInterlaceMethod : uint8_t { imNone = 0, imAdam7 = 1 };

// The scanline filter types of the adaptive filter method.
enum TAdaptiveFilterMethod : uint8_t { afmNone, afmSub, afmUp, afmAverage, afmPaeth };

// Steers the choice of colour type and bit depth when a pixel map is encoded.
enum TPngStorageFormat : uint8_t { psfAuto, psfGrayscale, psfPalette, psfRGB, psfRGBA };

// Largest width or height a PNG header may carry.
constexpr uint32_t CPngMaxDimension = 0x7FFFFFFFu;
// Largest image (in pixels) that is decoded into or encoded from a pixel map; larger images are
// refused before anything is allocated.
constexpr uint64_t CPngMaxPixels = uint64_t{1} << 28;
// Largest text a compressed text chunk may inflate to.
constexpr uint64_t CPngMaxTextSize = uint64_t{1} << 20;
// Longest zero-terminated keyword and language strings kept from a chunk.
constexpr int CPngMaxKeywordLength = 80;
constexpr int CPngMaxLanguageLength = 10;

}  // namespace kvx
