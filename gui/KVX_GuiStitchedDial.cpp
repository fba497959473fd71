#include "gui/KVX_GuiStitchedDial.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/KVX_Forms.h"
#include "platform/KVX_NumberFormat.h"

namespace kvx {

float DialMapCurve(float X, float Exponent) {
  const float Magnitude = std::pow(std::fabs(X), Exponent);
  return X < 0 ? -Magnitude : Magnitude;
}

float DialUnmapCurve(float X, float Exponent) {
  const float Magnitude = std::pow(std::fabs(X), 1.0f / Exponent);
  return X < 0 ? -Magnitude : Magnitude;
}

float DialWrapPosition(float P, float Fallback) {
  if (!std::isfinite(P)) return Fallback;
  if (P > 1) return P - std::ceil(P - 1);
  if (P < 0) return P + std::ceil(-P);
  return P;
}

int32_t DialGlyphOfPosition(float P, int32_t GlyphCount, int32_t Fallback) {
  const double Glyph = std::nearbyint(double{P} * (static_cast<double>(GlyphCount) - 1));
  if (!(Glyph >= INT32_MIN && Glyph <= INT32_MAX)) return Fallback;
  return static_cast<int32_t>(Glyph);
}

namespace {

std::string Bound(double Value) { return FloatToStrGeneral(Value, 9, "."); }

}  // namespace

TCustomGuiStitchedDial::TCustomGuiStitchedDial(TComponent* AOwner) : TGuiCustomStitchedControl(AOwner) {
  // The dial reports its click on the press; a second report on the release would double it.
  FControlStyle.Exclude(csClickEvents);
  CalculateRange();
}

float TCustomGuiStitchedDial::NormalizedValue() const { return (FValue - FMinimum) * FRangeReciprocal; }

float TCustomGuiStitchedDial::PositionToValue(float Position) const {
  return FMinimum + UnmapCurve(Position) * FRange;
}

float TCustomGuiStitchedDial::ClampToRange(float Value) const {
  if (Value < FMinimum) return FMinimum;
  if (Value > FMaximum) return FMaximum;
  return Value;
}

void TCustomGuiStitchedDial::SetValue(float Value) {
  if (std::isnan(Value)) return;
  Value = ClampToRange(Value);
  if (Value == FValue) return;
  FValue = Value;
  ValueChanged();
}

void TCustomGuiStitchedDial::SetDefaultValue(float Value) {
  if (std::isnan(Value)) return;
  Value = ClampToRange(Value);
  if (Value == FDefaultValue) return;
  FDefaultValue = Value;
  DefaultValueChanged();
}

void TCustomGuiStitchedDial::SetMax(float Value) {
  // An infinite bound would make the range infinite and every position not a number.
  if (!std::isfinite(Value) || Value == FMaximum) return;
  if (Value < FMinimum && !IsLoading())
    throw EInvalidOperation("Max must lie between " + Bound(double{FMinimum} + 1) + " and 2147483647");
  FMaximum = Value;
  MaxChanged();
}

void TCustomGuiStitchedDial::SetMin(float Value) {
  if (!std::isfinite(Value) || Value == FMinimum) return;
  if (Value > FMaximum && !IsLoading())
    throw EInvalidOperation("Min must lie between -2147483647 and " + Bound(double{FMaximum} - 1));
  FMinimum = Value;
  MinChanged();
}

void TCustomGuiStitchedDial::SetCurveMapping(float Value) {
  if (!std::isfinite(Value) || Value == FCurveMapping) return;
  FCurveMapping = Value;
  CurveMappingChanged();
}

void TCustomGuiStitchedDial::CalculateRange() {
  FRange = FMaximum - FMinimum;
  FRangeReciprocal = FRange != 0 ? 1 / FRange : 1;
}

void TCustomGuiStitchedDial::UpdateCurveExponent() { FCurveMappingExp = std::pow(2.0f, FCurveMapping); }

void TCustomGuiStitchedDial::UpdateGlyphFromValue() {
  const float P = MapCurve(NormalizedValue());
  // A range too wide for 32-bit floats gives no position; the last one stays.
  if (std::isnan(P)) return;
  FNormalizedPosition = P;
  if (!FImageItem) return;
  const int32_t Glyph = DialGlyphOfPosition(P, GlyphCount(), FGlyphIndex);
  if (Glyph != FGlyphIndex) SetGlyphIndex(Glyph);
}

void TCustomGuiStitchedDial::ChangePosition(float Amount) {
  const float P = FNormalizedPosition + Amount;
  if (std::isnan(P)) return;
  if (FWrap) {
    FNormalizedPosition = DialWrapPosition(P, FNormalizedPosition);
  } else {
    FNormalizedPosition = std::clamp(P, 0.0f, 1.0f);
  }
  SetValue(PositionToValue(FNormalizedPosition));
}

void TCustomGuiStitchedDial::ValueChanged() {
  UpdateGlyphFromValue();
  DoChange();
  RequestBufferUpdateUnlessLocked();
}

void TCustomGuiStitchedDial::MaxChanged() {
  if (FValue > FMaximum) FValue = FMaximum;
  CalculateRange();
  UpdateGlyphFromValue();
  RequestBufferUpdateUnlessLocked();
}

void TCustomGuiStitchedDial::MinChanged() {
  if (FMinimum > FValue) FValue = FMinimum;
  CalculateRange();
  UpdateGlyphFromValue();
  RequestBufferUpdateUnlessLocked();
}

void TCustomGuiStitchedDial::CurveMappingChanged() {
  UpdateCurveExponent();
  UpdateGlyphFromValue();
  RequestBufferUpdateUnlessLocked();
}

void TCustomGuiStitchedDial::DefaultValueChanged() {
  if (!FImageItem) return;
  // The default glyph scales by the glyph count itself (not the count - 1 of the shown glyph);
  // the stitched control's setter clamps it to the last glyph.
  const float P = MapCurve((FDefaultValue - FMinimum) * FRangeReciprocal);
  SetDefaultGlyphIndex(DialGlyphOfPosition(P, GlyphCount() + 1, FDefaultGlyphIndex));
}

void TCustomGuiStitchedDial::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    SetFocus();
    FOldMousePos = TPoint{X, Y};
    Click();
  } else if (Button == mbRight && Shift.Contains(ssCtrl)) {
    SetValue(FDefaultValue);
  }
  if (Enabled()) TGuiCustomStitchedControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGuiStitchedDial::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TGuiCustomStitchedControl::MouseMove(Shift, X, Y);
  if (FIgnoreNextMouseMove) {
    FIgnoreNextMouseMove = false;
    return;
  }
  const bool Dragging = Shift.Contains(ssLeft);
  if (FLockCursor && Dragging) TScreen::SetCursor(crNone);
  if (Dragging) {
    float Pixels = static_cast<float>(FOldMousePos.Y - Y);
    if (Shift.Contains(ssShift)) Pixels *= 0.1f;
    ChangePosition(Pixels / FScrollRange);
  }
  const TPoint Here{X, Y};
  if (FLockCursor && Dragging) {
    FOldMousePos = Centre();
    // A pointer already at the centre is not moved, so no echo would come to be skipped.
    if (!(Here == FOldMousePos)) {
      FIgnoreNextMouseMove = true;
      TScreen::SetCursorPos(ClientToScreen(FOldMousePos));
    }
  } else {
    FOldMousePos = Here;
  }
}

void TCustomGuiStitchedDial::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    FOldMousePos = TPoint{X, Y};
    if (FLockCursor && TScreen::Cursor() == crNone) TScreen::SetCursorPos(ClientToScreen(Centre()));
    TScreen::SetCursor(crDefault);
  }
  if (Enabled()) TGuiCustomStitchedControl::MouseUp(Button, Shift, X, Y);
}

bool TCustomGuiStitchedDial::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  float Amount = FWheelStep * static_cast<float>(WheelDelta);
  if (Shift.Contains(ssShift)) Amount = FWheelStep * 0.1f * static_cast<float>(WheelDelta);
  ChangePosition(Amount / (FScrollRange * 120));
  return TGuiCustomStitchedControl::DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TCustomGuiStitchedDial::Loaded() {
  TGuiCustomStitchedControl::Loaded();
  // Max may have been read straight into its field.
  CalculateRange();
  if (!FImageItem) return;
  const float P = MapCurve(NormalizedValue());
  if (!std::isnan(P)) FNormalizedPosition = P;
  FGlyphIndex = GlyphCount() == 0 ? -1 : DialGlyphOfPosition(FNormalizedPosition, GlyphCount(), -1);
}

void TCustomGuiStitchedDial::DefineProperties(TFiler& Filer) {
  TGuiCustomStitchedControl::DefineProperties(Filer);
  // Read straight into the fields, as a layout does before the after-load step derives the
  // rest; a stored value that is no finite 32-bit float is ignored.
  const auto Field = [&Filer](const char* Name, float& Stored) {
    Filer.DefineFloatProperty(
        Name,
        [&Stored](double V) {
          if (std::isfinite(V) && std::fabs(V) <= std::numeric_limits<float>::max())
            Stored = static_cast<float>(V);
        },
        [&Stored] { return double{Stored}; }, Stored == 0);
  };
  Field("Max", FMaximum);
  Field("DefaultValue", FDefaultValue);
  Field("Value", FValue);
}

}  // namespace kvx
