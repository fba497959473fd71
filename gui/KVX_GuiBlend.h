// The 32-bit pixel type and the integer blend routines every drawing operation goes through.
#pragma once

#include <cstdint>

#include "platform/KVX_Graphics.h"

namespace kvx {

// One pixel: bytes B, G, R, A in memory; read as a little-endian word it is 0xAARRGGBB.
// Colours are straight (not premultiplied); A = 255 is opaque.
struct TPixel32 {
  uint8_t B = 0;
  uint8_t G = 0;
  uint8_t R = 0;
  uint8_t A = 0;

  static constexpr TPixel32 FromARGB(uint32_t Value) {
    return TPixel32{static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                    static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 24)};
  }
  constexpr uint32_t ARGB() const {
    return uint32_t{B} | (uint32_t{G} << 8) | (uint32_t{R} << 16) | (uint32_t{A} << 24);
  }
  constexpr void SetARGB(uint32_t Value) { *this = FromARGB(Value); }
  // The four bytes in memory order B, G, R, A.
  uint8_t* Bytes() { return &B; }
  const uint8_t* Bytes() const { return &B; }

  constexpr bool operator==(const TPixel32&) const = default;
};
static_assert(sizeof(TPixel32) == 4, "a pixel is four bytes");

using PPixel32 = TPixel32*;
// A run of pixels (a scan line or a whole buffer).
using PPixel32Array = TPixel32*;

// A 3-byte colour in memory order R, G, B (PNG palette entries).
struct TRGB24 {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  constexpr bool operator==(const TRGB24&) const = default;
};
static_assert(sizeof(TRGB24) == 3, "an RGB triple is three bytes");

// Resolves a system colour index to 0x00BBGGRR. The window-system layer may install its own;
// the built-in one answers the classic default scheme.
using TSystemColorFunc = uint32_t (*)(int32_t Index);
void SetSystemColorFunc(TSystemColorFunc Func);
uint32_t SystemColor(int32_t Index);

// A window-system colour (0x00BBGGRR, negative: system colour) as an opaque pixel.
TPixel32 ColorToPixel32(TColor Color);

// Routine pointer types of the blend routines.
using TBlendPixel = TPixel32 (*)(TPixel32 Foreground, TPixel32 Background);
using TBlendPixelInplace = void (*)(TPixel32 Foreground, TPixel32& Background);
using TBlendPixelLine = void (*)(TPixel32 Color, PPixel32 Destination, int32_t Count);
using TBlendLine = void (*)(const TPixel32* Source, PPixel32 Destination, int32_t Count);
using TBlendMergePixel = TPixel32 (*)(TPixel32 Foreground, TPixel32 Background, uint32_t Weight);
using TBlendMergePixelInplace = void (*)(TPixel32 Foreground, TPixel32& Background, uint32_t Weight);
using TBlendMergePixelLine = void (*)(TPixel32 Color, PPixel32 Destination, int32_t Count,
                                      uint32_t Weight);
using TBlendMergeLine = void (*)(const TPixel32* Source, PPixel32 Destination, int32_t Count,
                                 uint32_t Weight);
using TCombinePixel = TPixel32 (*)(TPixel32 Foreground, TPixel32 Background);
using TCombinePixelInplace = void (*)(TPixel32 Foreground, TPixel32& Background);
using TCombineLine = void (*)(const TPixel32* Source, PPixel32 Destination, uint32_t Count);

// The bound routines. They are set when the program is loaded, before any drawing, and never
// change afterwards; each has exactly one (portable) implementation.
//
// OpaqueBlend: Foreground over an opaque Background by the foreground's alpha; result opaque.
extern TBlendPixel OpaqueBlend;
extern TBlendPixelInplace OpaqueBlendInPlace;
extern TBlendPixelLine OpaqueBlendFill;  // Count <= 0 does nothing
extern TBlendLine OpaqueBlendRow;
// WeightedMix: Foreground and Background mixed by Weight (0..255, above 255 as 255), all four bytes.
extern TBlendMergePixel WeightedMix;
extern TBlendMergePixelInplace WeightedMixInPlace;
extern TBlendMergePixelLine WeightedMixFill;
extern TBlendMergeLine WeightedMixRow;
// AlphaMerge: a translucent Foreground over a translucent Background.
extern TCombinePixel AlphaMerge;
extern TCombinePixelInplace AlphaMergeInPlace;
extern TCombineLine AlphaMergeRow;

}  // namespace kvx
