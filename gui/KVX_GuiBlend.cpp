#include "gui/KVX_GuiBlend.h"

#include "platform/KVX_Graphics.h"

#include <bit>
#include <cstring>

namespace kvx {

namespace {

// System colours resolve through the window system's one table unless a caller installs its own.
uint32_t DefaultSystemColor(int32_t Index) { return GetSysColor(Index); }

TSystemColorFunc GSystemColorFunc = DefaultSystemColor;

constexpr uint32_t CMaskLow = 0x00FF00FF;
constexpr uint32_t CMaskHigh = 0xFF00FF00;
constexpr uint32_t CBias = 0x00800080;

// Every byte c of Word becomes (c * Weight + 128) >> 8, two bytes per multiply. Weight <= 255
// keeps each product below 65536, so nothing carries into the neighbouring byte.
inline uint32_t ScaleBytes(uint32_t Word, uint32_t Weight) {
  const uint32_t Low = (((Word & CMaskLow) * Weight + CBias) & CMaskHigh) >> 8;
  const uint32_t High = (((Word >> 8) & CMaskLow) * Weight + CBias) & CMaskHigh;
  return Low | High;
}

TPixel32 OpaqueBlendNative(TPixel32 Foreground, TPixel32 Background) {
  const uint32_t Alpha = Foreground.A;
  if (Alpha == 0) return Background;
  if (Alpha == 0xFF) return Foreground;
  const uint32_t Result =
      ScaleBytes(Foreground.ARGB(), Alpha) + ScaleBytes(Background.ARGB(), 0xFF - Alpha);
  return TPixel32::FromARGB(Result | 0xFF000000);
}

void OpaqueBlendInPlaceNative(TPixel32 Foreground, TPixel32& Background) {
  Background = OpaqueBlendNative(Foreground, Background);
}

void OpaqueBlendFillNative(TPixel32 Color, PPixel32 Destination, int32_t Count) {
  if (Count <= 0 || Color.A == 0) return;
  if (Color.A == 0xFF) {
    for (int32_t i = 0; i < Count; ++i) Destination[i] = Color;
    return;
  }
  const uint32_t Alpha = Color.A;
  const uint32_t Fore = ScaleBytes(Color.ARGB(), Alpha);
  for (int32_t i = 0; i < Count; ++i) {
    const uint32_t Back = ScaleBytes(Destination[i].ARGB(), 0xFF - Alpha);
    Destination[i] = TPixel32::FromARGB((Fore + Back) | 0xFF000000);
  }
}

void OpaqueBlendRowNative(const TPixel32* Source, PPixel32 Destination, int32_t Count) {
  if (Count <= 0) return;
  // Runs are processed as words without branches, so that the compiler may blend several
  // pixels at once; the early outs for alpha 0 and 255 become selects with the same results.
  // The word form is the pixel's memory form on little-endian machines only.
  if constexpr (std::endian::native == std::endian::little) {
    static_assert(sizeof(TPixel32) == sizeof(uint32_t));
    for (int32_t i = 0; i < Count; ++i) {
      uint32_t Fore, Back;
      std::memcpy(&Fore, Source + i, 4);
      std::memcpy(&Back, Destination + i, 4);
      const uint32_t Alpha = Fore >> 24;
      const uint32_t Blended =
          (ScaleBytes(Fore, Alpha) + ScaleBytes(Back, 0xFF - Alpha)) | 0xFF000000;
      const uint32_t Result = Alpha == 0 ? Back : Alpha == 0xFF ? Fore : Blended;
      std::memcpy(static_cast<void*>(Destination + i), &Result, 4);
    }
  } else {
    for (int32_t i = 0; i < Count; ++i) Destination[i] = OpaqueBlendNative(Source[i], Destination[i]);
  }
}

TPixel32 WeightedMixNative(TPixel32 Foreground, TPixel32 Background, uint32_t Weight) {
  if (Weight == 0) return Background;
  if (Weight >= 0xFF) return Foreground;
  return TPixel32::FromARGB(ScaleBytes(Foreground.ARGB(), Weight) +
                            ScaleBytes(Background.ARGB(), 0xFF - Weight));
}

void WeightedMixInPlaceNative(TPixel32 Foreground, TPixel32& Background, uint32_t Weight) {
  Background = WeightedMixNative(Foreground, Background, Weight);
}

void WeightedMixFillNative(TPixel32 Color, PPixel32 Destination, int32_t Count, uint32_t Weight) {
  if (Count <= 0 || Weight == 0) return;
  if (Weight >= 0xFF) {
    for (int32_t i = 0; i < Count; ++i) Destination[i] = Color;
    return;
  }
  const uint32_t Fore = ScaleBytes(Color.ARGB(), Weight);
  for (int32_t i = 0; i < Count; ++i)
    Destination[i] = TPixel32::FromARGB(Fore + ScaleBytes(Destination[i].ARGB(), 0xFF - Weight));
}

void WeightedMixRowNative(const TPixel32* Source, PPixel32 Destination, int32_t Count,
                          uint32_t Weight) {
  if (Count <= 0 || Weight == 0) return;
  if (Weight >= 0xFF) {
    for (int32_t i = 0; i < Count; ++i) Destination[i] = Source[i];
    return;
  }
  for (int32_t i = 0; i < Count; ++i)
    Destination[i] = TPixel32::FromARGB(ScaleBytes(Source[i].ARGB(), Weight) +
                                        ScaleBytes(Destination[i].ARGB(), 0xFF - Weight));
}

TPixel32 AlphaMergeNative(TPixel32 Foreground, TPixel32 Background) {
  if (Foreground.A == 0xFF) return Foreground;
  if (Foreground.A == 0) return Background;
  if (Background.A == 0) return Foreground;
  if (Background.A == 0xFF) return OpaqueBlendNative(Foreground, Background);

  const int32_t X = 65025 - (0xFF - Foreground.A) * (0xFF - Background.A);
  const int32_t W = Foreground.A * 65025 / X;
  TPixel32 Result;
  Result.A = static_cast<uint8_t>((X + 128) >> 8);
  auto Merge = [W](int32_t F, int32_t B) {
    return static_cast<uint8_t>(B + ((W * (F - B + 0xFF) + 127) >> 8) - W + 1);
  };
  Result.R = Merge(Foreground.R, Background.R);
  Result.G = Merge(Foreground.G, Background.G);
  Result.B = Merge(Foreground.B, Background.B);
  return Result;
}

void AlphaMergeInPlaceNative(TPixel32 Foreground, TPixel32& Background) {
  Background = AlphaMergeNative(Foreground, Background);
}

void AlphaMergeRowNative(const TPixel32* Source, PPixel32 Destination, uint32_t Count) {
  for (uint32_t i = 0; i < Count; ++i) Destination[i] = AlphaMergeNative(Source[i], Destination[i]);
}

}  // namespace

void SetSystemColorFunc(TSystemColorFunc Func) {
  GSystemColorFunc = Func ? Func : DefaultSystemColor;
}

uint32_t SystemColor(int32_t Index) { return GSystemColorFunc(Index); }

TPixel32 ColorToPixel32(TColor Color) {
  uint32_t Value = static_cast<uint32_t>(Color);
  if (Color < 0) Value = SystemColor(static_cast<int32_t>(Value & 0xFF));
  return TPixel32{static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 8),
                  static_cast<uint8_t>(Value), 0xFF};
}

constinit TBlendPixel OpaqueBlend = OpaqueBlendNative;
constinit TBlendPixelInplace OpaqueBlendInPlace = OpaqueBlendInPlaceNative;
constinit TBlendPixelLine OpaqueBlendFill = OpaqueBlendFillNative;
constinit TBlendLine OpaqueBlendRow = OpaqueBlendRowNative;
constinit TBlendMergePixel WeightedMix = WeightedMixNative;
constinit TBlendMergePixelInplace WeightedMixInPlace = WeightedMixInPlaceNative;
constinit TBlendMergePixelLine WeightedMixFill = WeightedMixFillNative;
constinit TBlendMergeLine WeightedMixRow = WeightedMixRowNative;
constinit TCombinePixel AlphaMerge = AlphaMergeNative;
constinit TCombinePixelInplace AlphaMergeInPlace = AlphaMergeInPlaceNative;
constinit TCombineLine AlphaMergeRow = AlphaMergeRowNative;

}  // namespace kvx
