// The drop-shadow settings that the oversampled font, the label and the slider share.
#pragma once

#include <cstdint>

#include "platform/KVX_Graphics.h"
#include "platform/KVX_Persistent.h"

namespace kvx {

class TGuiShadow : public TPersistent {
 public:
  TGuiShadow() = default;
  std::string ClassName() const override { return "TGuiShadow"; }

  // Blur radius in output pixels. A negative value raises EArgumentError "Must be positive!",
  // a NaN or an infinity "Must be finite!"; the radius then keeps its value.
  float Blur() const { return FBlur; }
  void SetBlur(float Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int32_t OffsetX() const { return FOffset.X; }
  void SetOffsetX(int32_t Value);
  int32_t OffsetY() const { return FOffset.Y; }
  void SetOffsetY(int32_t Value);
  TPoint Offset() const { return FOffset; }
  // Both coordinates at once, one notification.
  void SetOffset(TPoint Value);
  uint8_t Opacity() const { return FOpacity; }
  void SetOpacity(uint8_t Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  // The exponent that shapes the blurred intensities (the font uses 2 to its rounded value).
  float Saturation() const { return FSaturation; }
  void SetSaturation(float Value);

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

  // From another shadow: the seven settings, with one notification when any differed. The
  // destination keeps its own OnChange: a shadow belongs to one font, and taking over the
  // source's handler would make it notify the source's font (possibly freed by then).
  void Assign(const TPersistent& Source) override;
  void AssignTo(TPersistent& Dest) const override;
  bool Equals(const TPersistent& Obj) const override;

 protected:
  virtual void NotifyChange();

 private:
  float FBlur = 0.0f;
  TColor FColor = 0;
  TPoint FOffset{1, 1};
  uint8_t FOpacity = 0xFF;
  bool FVisible = false;
  TNotifyEvent FOnChange;
  float FSaturation = 0.0f;
};

}  // namespace kvx
