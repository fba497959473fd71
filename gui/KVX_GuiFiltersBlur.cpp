#include "gui/KVX_GuiFiltersBlur.h"

#include <algorithm>
#include <cmath>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiPixelMap.h"

namespace kvx {

namespace {
// Above this many entries (r = 63 needs 256 * 64^2 = 1 MiB) a plain division is cheaper than
// filling and caching the table.
constexpr int64_t CMaxDivisionTable = int64_t{1} << 20;
}  // namespace

void TGuiCustomBlurFilter::SetRadius(float Value) {
  if (!(Value > 0.0f)) throw EArgumentError("Radius must be larger than zero!");
  if (FRadius == Value) return;
  FRadius = Value;
  RadiusChanged();
}

void TGuiCustomBlurFilter::RadiusChanged() { FRadiusReciprocal = 1.0f / FRadius; }

void TGuiStackBlurFilter::RadiusChanged() {
  TGuiCustomBlurFilter::RadiusChanged();
  FKernelSize = FRadius >= static_cast<float>(CMaxKernelSize)
                    ? CMaxKernelSize
                    : static_cast<int32_t>(std::nearbyint(FRadius));
  KernelSizeChanged();
}

const uint8_t* TGuiStackBlurFilter::DivisionTable(int Slot, int32_t R) {
  const int64_t DivSum = int64_t{R + 1} * (R + 1);
  if (256 * DivSum > CMaxDivisionTable) return nullptr;
  std::vector<uint8_t>& Table = FDivision[Slot];
  if (FDivisionRadius[Slot] != R) {
    Table.resize(static_cast<size_t>(256 * DivSum));
    for (int64_t s = 0; s < 256 * DivSum; ++s) Table[s] = static_cast<uint8_t>(s / DivSum);
    FDivisionRadius[Slot] = R;
  }
  return Table.data();
}

void TGuiStackBlurFilter::BlurLine(uint8_t* Line, int32_t Count, int64_t Step, int32_t R,
                                   const uint8_t* Division) {
  const int64_t Div = 2 * int64_t{R} + 1;
  const int64_t DivSum = int64_t{R + 1} * (R + 1);
  const int64_t Last = Count - 1;
  uint8_t* Stack = FStack.data();
  auto At = [&](int64_t i) -> uint8_t& { return Line[i * Step]; };

  int64_t Sum = 0, InSum = 0, OutSum = 0;
  for (int64_t j = -R; j <= R; ++j) {
    const uint8_t v = At(std::clamp<int64_t>(j, 0, Last));
    Stack[j + R] = v;
    Sum += v * (R + 1 - (j < 0 ? -j : j));
    if (j <= 0)
      OutSum += v;
    else
      InSum += v;
  }
  int64_t Sp = R;
  for (int64_t x = 0; x < Count; ++x) {
    At(x) = Division ? Division[Sum] : static_cast<uint8_t>(Sum / DivSum);
    Sum -= OutSum;
    // The oldest entry of the ring: sp - r, one step past the newest.
    int64_t Start = Sp + R + 1;
    if (Start >= Div) Start -= Div;
    OutSum -= Stack[Start];
    // Always ahead of the value written, except at the last one, where it is no longer used.
    const uint8_t v = At(std::min<int64_t>(x + R + 1, Last));
    Stack[Start] = v;
    InSum += v;
    Sum += InSum;
    if (++Sp >= Div) Sp = 0;
    const uint8_t u = Stack[Sp];
    OutSum += u;
    InSum -= u;
  }
}

void TGuiStackBlurFilter::BlurPlane(uint8_t* Data, int32_t Width, int32_t Height, int32_t Step) {
  if (FKernelSize <= 0 || !Data || Width <= 0 || Height <= 0) return;
  const int32_t RH = std::min(FKernelSize, Width);
  const int32_t RV = std::min(FKernelSize, Height);
  const size_t StackSize = 2 * static_cast<size_t>(std::max(RH, RV)) + 1;
  if (FStack.size() < StackSize) FStack.resize(StackSize);

  const uint8_t* Division = DivisionTable(0, RH);
  const int64_t RowStride = int64_t{Width} * Step;
  for (int32_t y = 0; y < Height; ++y) BlurLine(Data + y * RowStride, Width, Step, RH, Division);
  Division = DivisionTable(1, RV);
  // Each column's values are a whole row apart.
  for (int32_t x = 0; x < Width; ++x) BlurLine(Data + int64_t{x} * Step, Height, RowStride, RV, Division);
}

void TGuiStackBlurFilter::Filter(TGuiCustomByteMap& ByteMap) {
  BlurPlane(ByteMap.DataPointer(), ByteMap.Width(), ByteMap.Height(), 1);
}

void TGuiStackBlurFilter::Filter(TGuiCustomPixelMap& PixelMap) {
  if (!PixelMap.DataPointer()) return;
  BlurPlane(&PixelMap.DataPointer()->A, PixelMap.Width(), PixelMap.Height(), 4);
}

}  // namespace kvx
