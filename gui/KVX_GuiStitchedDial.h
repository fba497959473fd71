// The stitched dial: a knob holding a value between Min and Max, shown as one glyph of a
// stitched picture and moved by vertical drags and the wheel.
#pragma once

#include <cstdint>
#include <functional>

#include "gui/KVX_GuiStitchedControls.h"

namespace kvx {

// The dial's power curve with exponent E (2 raised to CurveMapping): |x|^E keeping the sign of x,
// and its inverse |x|^(1/E).
float DialMapCurve(float X, float Exponent);
float DialUnmapCurve(float X, float Exponent);

// A wrapping dial's position brought back into 0..1 in one step, with the results of stepping
// by whole turns: above 1 it becomes P - ceil(P - 1) (so 1 stays 1 and 2 becomes 1), below 0
// P + ceil(-P). A position that is not finite cannot be wrapped and answers Fallback.
float DialWrapPosition(float P, float Fallback);

// The glyph nearest to position P (0..1) of GlyphCount glyphs, halves to even, or Fallback when
// P is not a number or the product is outside the 32-bit range.
int32_t DialGlyphOfPosition(float P, int32_t GlyphCount, int32_t Fallback);

using TQuantizeEvent = std::function<void(TObject* Sender, double& Value)>;

// Value, normalized position p (0..1) and glyph are tied together: p is the value's place in the
// range after the power curve, the glyph is p scaled to the glyph count. Drags and wheel steps
// move p; the value follows from p. Nothing that is not a number is ever stored as Min, Max,
// Value, DefaultValue, CurveMapping or p.
class TCustomGuiStitchedDial : public TGuiCustomStitchedControl {
 public:
  explicit TCustomGuiStitchedDial(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TCustomGuiStitchedDial"; }

  float Value() const { return FValue; }
  // Clamped to Min..Max; a change redraws and fires OnChange.
  void SetValue(float Value);
  float DefaultValue() const { return FDefaultValue; }
  void SetDefaultValue(float Value);
  float Max() const { return FMaximum; }
  // Below Min (outside loading) raises EInvalidOperation naming the allowed bounds.
  void SetMax(float Value);
  float Min() const { return FMinimum; }
  // Above Max (outside loading) raises EInvalidOperation naming the allowed bounds.
  void SetMin(float Value);
  float CurveMapping() const { return FCurveMapping; }
  void SetCurveMapping(float Value);
  // Vertical pointer travel in pixels for the whole range.
  float ScrollRange() const { return FScrollRange; }
  void SetScrollRange(float Value) { FScrollRange = Value; }
  // Position step per wheel notch, in units of 1 / ScrollRange.
  float WheelStep() const { return FWheelStep; }
  void SetWheelStep(float Value) { FWheelStep = Value; }
  // While dragging, hide the pointer and hold it at the dial's centre.
  bool LockCursor() const { return FLockCursor; }
  void SetLockCursor(bool Value) { FLockCursor = Value; }
  // The position wraps around 0..1 instead of stopping at the ends.
  bool Wrap() const { return FWrap; }
  void SetWrap(bool Value) { FWrap = Value; }
  // Declared for the layout; no operation of the dial calls it.
  TQuantizeEvent OnQuantizeValue;

  float NormalizedPosition() const { return FNormalizedPosition; }
  // (Value - Min) / (Max - Min), 0 for an empty range.
  float NormalizedValue() const;
  // Moves the position by Amount (position units), wrapping or stopping at the ends, and sets
  // Value from it.
  void ChangePosition(float Amount);
  float PositionToValue(float Position) const;
  float MapCurve(float X) const { return DialMapCurve(X, FCurveMappingExp); }
  float UnmapCurve(float X) const { return DialUnmapCurve(X, FCurveMappingExp); }
  // The position and, with an item, the glyph follow the value.
  void UpdateGlyphFromValue();

  // Max, DefaultValue and Value are also kept as float properties when they are 0, which a
  // layout stream would otherwise leave out.
  void DefineProperties(TFiler& Filer) override;

 protected:
  virtual void CalculateRange();
  virtual void CurveMappingChanged();
  virtual void DefaultValueChanged();
  virtual void MaxChanged();
  virtual void MinChanged();
  virtual void ValueChanged();
  void UpdateCurveExponent();

  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override;
  void Loaded() override;

  bool FLockCursor = false;
  bool FIgnoreNextMouseMove = false;
  bool FWrap = false;
  float FMaximum = 100;
  float FMinimum = 0;
  float FNormalizedPosition = 0;
  float FValue = 0;
  float FDefaultValue = 0;
  float FRange = 100;
  float FRangeReciprocal = 0.01f;
  float FCurveMapping = 0;
  float FCurveMappingExp = 1;
  float FScrollRange = 400;
  float FWheelStep = 1;
  TPoint FOldMousePos;

 private:
  TPoint Centre() const { return TPoint{Width() / 2, Height() / 2}; }
  // Below Min gives Min, else above Max gives Max.
  float ClampToRange(float Value) const;
};

class TGuiStitchedDial : public TCustomGuiStitchedDial {
 public:
  using TCustomGuiStitchedDial::TCustomGuiStitchedDial;
  std::string ClassName() const override { return "TGuiStitchedDial"; }
};

}  // namespace kvx
