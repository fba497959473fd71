#include "gui/KVX_GuiShadow.h"

#include <cmath>
#include <cstring>

namespace kvx {

namespace {
// Bitwise, so that a stored -0 or a changed sign of zero counts as a change like any other.
bool SameFloat(float A, float B) { return std::memcmp(&A, &B, sizeof(float)) == 0; }
}  // namespace

void TGuiShadow::SetBlur(float Value) {
  if (!std::isfinite(Value)) throw EArgumentError("Must be finite!");
  if (Value < 0.0f) throw EArgumentError("Must be positive!");
  if (SameFloat(FBlur, Value)) return;
  FBlur = Value;
  NotifyChange();
}

void TGuiShadow::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  NotifyChange();
}

void TGuiShadow::SetOffsetX(int32_t Value) { SetOffset(TPoint{Value, FOffset.Y}); }

void TGuiShadow::SetOffsetY(int32_t Value) { SetOffset(TPoint{FOffset.X, Value}); }

void TGuiShadow::SetOffset(TPoint Value) {
  if (FOffset == Value) return;
  FOffset = Value;
  NotifyChange();
}

void TGuiShadow::SetOpacity(uint8_t Value) {
  if (FOpacity == Value) return;
  FOpacity = Value;
  NotifyChange();
}

void TGuiShadow::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  NotifyChange();
}

void TGuiShadow::SetSaturation(float Value) {
  if (SameFloat(FSaturation, Value)) return;
  FSaturation = Value;
  NotifyChange();
}

void TGuiShadow::NotifyChange() {
  if (FOnChange) FOnChange(this);
}

void TGuiShadow::Assign(const TPersistent& Source) {
  if (auto* Shadow = dynamic_cast<const TGuiShadow*>(&Source)) {
    if (Shadow == this || Equals(*Shadow)) return;
    FBlur = Shadow->FBlur;
    FColor = Shadow->FColor;
    FOffset = Shadow->FOffset;
    FOpacity = Shadow->FOpacity;
    FVisible = Shadow->FVisible;
    FSaturation = Shadow->FSaturation;
    NotifyChange();
    return;
  }
  TPersistent::Assign(Source);
}

void TGuiShadow::AssignTo(TPersistent& Dest) const {
  if (auto* Shadow = dynamic_cast<TGuiShadow*>(&Dest)) {
    Shadow->Assign(*this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

bool TGuiShadow::Equals(const TPersistent& Obj) const {
  if (auto* Shadow = dynamic_cast<const TGuiShadow*>(&Obj))
    return SameFloat(FBlur, Shadow->FBlur) && FColor == Shadow->FColor &&
           FOffset == Shadow->FOffset && FOpacity == Shadow->FOpacity &&
           FVisible == Shadow->FVisible && SameFloat(FSaturation, Shadow->FSaturation);
  return TPersistent::Equals(Obj);
}

}  // namespace kvx
