// Blur filters: the radius base and the stack blur, a sliding triangular average that costs the
// same per pixel whatever the radius.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/KVX_GuiFilters.h"

namespace kvx {

class TGuiCustomBlurFilter : public TGuiCustomFilter {
 public:
  TGuiCustomBlurFilter() = default;
  std::string ClassName() const override { return "TGuiCustomBlurFilter"; }

  float Radius() const { return FRadius; }
  // A value that is not above 0 (NaN included) raises EArgumentError "Radius must be larger than
  // zero!" and keeps the radius.
  void SetRadius(float Value);
  float RadiusReciprocal() const { return FRadiusReciprocal; }

 protected:
  virtual void RadiusChanged();

  float FRadius = 1.0f;
  float FRadiusReciprocal = 1.0f;
};

// Each pass replaces a value by the average of its 2r + 1 neighbours along the row (then the
// column) with the triangular weights r + 1 - |offset|, edges extended by repeating the first and
// last value; r is the radius rounded to the nearest integer.
//
// A radius beyond a line's length only piles more weight onto the repeated end values, so each
// pass limits r to the length of its lines (and to CMaxKernelSize). Working memory (the stack
// and, for small radii, a division table) is kept between calls and only allocated when the
// radius in use grows beyond what is held: repeated blurs at one radius do not allocate. Sums are
// 64-bit: 255 * (r + 1)^2 does not fit 32 bits for large radii.
class TGuiStackBlurFilter : public TGuiCustomBlurFilter {
 public:
  static constexpr int32_t CMaxKernelSize = 65535;

  TGuiStackBlurFilter() = default;
  std::string ClassName() const override { return "TGuiStackBlurFilter"; }

  int32_t KernelSize() const { return FKernelSize; }

  void Filter(TGuiCustomByteMap& ByteMap) override;
  // The alpha byte of every pixel only; B, G and R stay.
  void Filter(TGuiCustomPixelMap& PixelMap) override;

 protected:
  void RadiusChanged() override;
  virtual void KernelSizeChanged() {}

 private:
  // Values Count apart by Step bytes, starting at Line.
  void BlurLine(uint8_t* Line, int32_t Count, int64_t Step, int32_t R, const uint8_t* Division);
  // Both passes over Width x Height values Step bytes apart (the row stride is Width * Step).
  void BlurPlane(uint8_t* Data, int32_t Width, int32_t Height, int32_t Step);
  // The division table for R (null when R is too large for a table: divide instead). Slot 0
  // serves the horizontal pass, slot 1 the vertical one, so that both passes keep theirs.
  const uint8_t* DivisionTable(int Slot, int32_t R);

  int32_t FKernelSize = 1;
  std::vector<uint8_t> FStack;
  std::vector<uint8_t> FDivision[2];
  int32_t FDivisionRadius[2] = {-1, -1};
};

}  // namespace kvx
