// Filters that transform a byte map or a pixel map in place, and the saturation filter that
// reshapes the intensities of a blurred shadow through a lookup table.
#pragma once

#include <array>
#include <cstdint>

#include "platform/KVX_Persistent.h"

namespace kvx {

class TGuiCustomByteMap;
class TGuiCustomPixelMap;

class TGuiCustomFilter : public TPersistent {
 public:
  TGuiCustomFilter() = default;
  std::string ClassName() const override { return "TGuiCustomFilter"; }
  virtual void Filter(TGuiCustomByteMap& ByteMap) = 0;
  virtual void Filter(TGuiCustomPixelMap& PixelMap) = 0;
};

// Every byte b becomes table[b]. Value 0 is the identity, a positive Value raises the mid
// intensities and a negative one lowers them; 0 and 255 stay fixed for every Value.
class TGuiSaturationFilter : public TGuiCustomFilter {
 public:
  TGuiSaturationFilter();
  std::string ClassName() const override { return "TGuiSaturationFilter"; }

  float Value() const { return FValue; }
  // A NaN or an infinity counts as 0 (the identity): the table stays defined.
  void SetValue(float Value);
  const std::array<uint8_t, 256>& LookUpTable() const { return FLookUpTable; }

  void Filter(TGuiCustomByteMap& ByteMap) override;
  // All four bytes of every pixel, alpha included.
  void Filter(TGuiCustomPixelMap& PixelMap) override;

 protected:
  virtual void ValueChanged();
  virtual void CalculateLookupTable();

 private:
  std::array<uint8_t, 256> FLookUpTable{};
  float FValue = 0.0f;
};

}  // namespace kvx
