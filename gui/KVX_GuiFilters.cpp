#include "gui/KVX_GuiFilters.h"

#include <cmath>
#include <cstring>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiPixelMap.h"

namespace kvx {

TGuiSaturationFilter::TGuiSaturationFilter() { CalculateLookupTable(); }

void TGuiSaturationFilter::SetValue(float Value) {
  if (!std::isfinite(Value)) Value = 0.0f;
  if (std::memcmp(&FValue, &Value, sizeof(float)) == 0) return;
  FValue = Value;
  ValueChanged();
}

void TGuiSaturationFilter::ValueChanged() { CalculateLookupTable(); }

void TGuiSaturationFilter::CalculateLookupTable() {
  const double V = FValue;
  // t lies in [-1, 0) for V >= 0 and below -1 for V < 0.
  const double T = 1.0 - 2.0 * (std::fabs(V) + 1.0) / (std::fabs(V) + V + 1.0);
  for (int i = 0; i < 256; ++i) {
    const double Denominator = i - T * (255 - i);
    const double Entry = 255.0 * i / Denominator;
    // A Value so large that t rounds to 0 leaves 0 / 0 at the first entry; the ends are fixed
    // points for every Value, so that is where such an entry belongs.
    if (!std::isfinite(Entry)) {
      FLookUpTable[i] = i < 128 ? 0 : 255;
      continue;
    }
    FLookUpTable[i] = static_cast<uint8_t>(std::nearbyint(std::fmin(std::fmax(Entry, 0.0), 255.0)));
  }
}

void TGuiSaturationFilter::Filter(TGuiCustomByteMap& ByteMap) {
  uint8_t* Data = ByteMap.DataPointer();
  if (!Data) return;
  for (int32_t i = 0; i < ByteMap.DataSize(); ++i) Data[i] = FLookUpTable[Data[i]];
}

void TGuiSaturationFilter::Filter(TGuiCustomPixelMap& PixelMap) {
  if (!PixelMap.DataPointer()) return;
  uint8_t* Data = PixelMap.DataPointer()->Bytes();
  for (int32_t i = 0; i < PixelMap.DataSize(); ++i) Data[i] = FLookUpTable[Data[i]];
}

}  // namespace kvx
