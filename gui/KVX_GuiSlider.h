// The slider: a thin horizontal bar filled with the slide colour up to its value, with rounded,
// antialiased ends, drawn procedurally (no artwork) and set by clicking or dragging along it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gui/KVX_GuiBlend.h"
#include "gui/KVX_GuiFont.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Controls.h"
#include "platform/KVX_Graphics.h"

namespace kvx {

class TGuiCustomPixelMap;

// A square root good to about 1e-5 relative: a first guess from the exponent bits and two
// Newton steps. The corner pixels need one per pixel.
float FastSqrt(float X);

// x^E and x^(1/E), keeping the sign of x.
float MapCurve(float X, float Exponent);
float UnmapCurve(float X, float Exponent);

// What the bar is drawn from.
struct TSliderAppearance {
  TColor SlideColor = 0x606060;
  TColor Color = 0xFFFFFF;  // the track
  TColor BorderColor = 0x202020;
  float BorderWidth = 1.0f;   // pixels; the fractional part is drawn translucent
  float BorderRadius = 0.0f;  // pixels; 0 or below: square corners
  float Value = 50.0f;
  float Min = 0.0f;
  float Max = 100.0f;
  float CurveMappingExp = 1.0f;
};

// Draws the bar over the whole map: the track filled with the slide colour in the columns left
// of the value's position, a border of BorderWidth, and for a radius above 0 round ends whose
// outer edge fades out and whose inner edge fades into the fill. Every write lies inside the
// map; a degenerate range (Max = Min) or a value that is not a number counts as the left end.
void DrawSlider(TGuiCustomPixelMap& Map, const TSliderAppearance& Look);

enum TSliderDirection : uint8_t { sdLeftToRight };

using TSliderGetTextEvent = std::function<void(TObject* Sender, std::string& Text)>;

// A range setter that would put Min above Max: the bounds the value had to lie within.
class ESliderRangeError : public EInvalidOperation {
 public:
  ESliderRangeError(const std::string& Message, double Lower, double Upper)
      : EInvalidOperation(Message), FLower(Lower), FUpper(Upper) {}
  double Lower() const { return FLower; }
  double Upper() const { return FUpper; }

 private:
  double FLower;
  double FUpper;
};

// The value model and the appearance settings. Every float setting refuses NaN (and, but for
// Value, which clamps, the infinities) by keeping its value: no such number reaches a rounding
// or the drawing.
class TCustomGuiSlider : public TCustomControl {
 public:
  explicit TCustomGuiSlider(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TCustomGuiSlider"; }

  // Stored only: it changes nothing.
  bool AutoColor() const { return FAutoColor; }
  void SetAutoColor(bool Value) { FAutoColor = Value; }
  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor Value);
  float BorderRadius() const { return FBorderRadius; }
  void SetBorderRadius(float Value);
  float BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(float Value);
  float CurveMapping() const { return FCurveMapping; }
  void SetCurveMapping(float Value);
  // 2 to CurveMapping.
  float CurveMappingExp() const { return FCurveMappingExp; }
  float DefaultValue() const { return FDefaultValue; }
  // Clamped to Min..Max outside loading; stored without notification or redraw.
  void SetDefaultValue(float Value);
  int32_t Digits() const { return FDigits; }
  void SetDigits(int32_t Value);
  TSliderDirection Direction() const { return FDirection; }
  void SetDirection(TSliderDirection Value);
  float Min() const { return FMinimum; }
  // Above Max (outside loading): ESliderRangeError with the bounds -2147483647 and Max - 1.
  void SetMin(float Value);
  float Max() const { return FMaximum; }
  // Below Min (outside loading): ESliderRangeError with the bounds Min + 1 and 2147483647.
  void SetMax(float Value);
  bool ShowText() const { return FShowText; }
  void SetShowText(bool Value);
  TColor SlideColor() const { return FSlideColor; }
  void SetSlideColor(TColor Value);
  float Value() const { return FValue; }
  // Clamped to Min..Max.
  void SetValue(float Value);
  // The slider's own caption, shown before the value when ShowText is on.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }

  float MapCurve(float X) const { return kvx::MapCurve(X, FCurveMappingExp); }
  float UnmapCurve(float X) const { return kvx::UnmapCurve(X, FCurveMappingExp); }

  // From another slider: the appearance, the range, the value and the OnPaint and OnChange
  // handlers.
  void Assign(const TPersistent& Source) override;
  // Value, DefaultValue and Max, each as a float property when it is 0 (the value a plain
  // property does not write), read back directly into its field.
  void DefineProperties(TFiler& Filer) override;

  TSliderGetTextEvent OnGetText;
  TNotifyEvent OnChange;
  TNotifyEvent OnPaint;

 protected:
  bool Loading() const { return ComponentState().Contains(csLoading); }

  virtual void CaptionChanged();
  virtual void CurveMappingChanged();
  virtual void DirectionChanged();
  virtual void DigitsChanged();
  virtual void ValueChanged();
  virtual void MaxChanged();
  virtual void MinChanged();
  virtual void BorderRadiusChanged();
  virtual void BorderWidthChanged();
  virtual void BorderColorChanged();
  // Redraw: here only an invalidation.
  virtual void RequestBufferUpdate();
  virtual void SlideColorChanged();
  virtual void ShowTextChanged();

  // The value at column X: f = X / (Width - 1) through the curve, clamped to Min..Max.
  void SetValueFromPosition(int32_t X);
  TSliderAppearance Appearance() const;

  bool FAutoColor = false;
  TColor FBorderColor = 0x202020;
  float FBorderRadius = 0.0f;
  float FBorderWidth = 1.0f;
  float FCurveMapping = 0.0f;
  float FCurveMappingExp = 1.0f;
  float FDefaultValue = 50.0f;
  int32_t FDigits = 4;
  TSliderDirection FDirection = sdLeftToRight;
  float FMinimum = 0.0f;
  float FMaximum = 100.0f;
  bool FShowText = false;
  TColor FSlideColor = 0x606060;
  float FValue = 50.0f;
  std::string FCaption;
  bool FReadOnly = false;
};

// The buffers, the drawing, the text and the mouse.
class TCustomGuiSliderGDI : public TCustomGuiSlider {
 public:
  explicit TCustomGuiSliderGDI(TComponent* AOwner = nullptr);
  ~TCustomGuiSliderGDI() override;
  std::string ClassName() const override { return "TCustomGuiSliderGDI"; }

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TFontOversampling FontOversampling() const { return FGuiFont->FontOversampling(); }
  void SetFontOversampling(TFontOversampling Value) { FGuiFont->SetFontOversampling(Value); }
  TGuiShadow& FontShadow() { return FGuiFont->Shadow(); }
  void SetFontShadow(const TGuiShadow& Value) { FGuiFont->SetShadow(Value); }

  // The composed bar and what lies behind it.
  const TGuiCustomPixelMap& Buffer() const { return *FBuffer; }
  const TGuiCustomPixelMap& BackBuffer() const { return *FBackBuffer; }
  TGuiOversampledGDIFont& GuiFont() { return *FGuiFont; }

  // A GDI slider also takes over Transparent and, where they have this slider's size, both
  // buffers' pixels.
  void Assign(const TPersistent& Source) override;

 protected:
  void RequestBufferUpdate() override;
  virtual void TransparencyChanged();
  virtual void RequestBackBufferUpdate();
  virtual void RebuildBuffer();
  virtual void RebuildBackBuffer();
  // The text shown with ShowText: the value with Digits significant digits, after the caption.
  std::string ValueText();

  void Paint() override;
  void Resize() override;
  void Loaded() override;
  void FontChanged() override;
  void ColorChanged() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  void SizeBuffers();

  std::unique_ptr<TGuiPixelMapMemory> FBuffer;
  std::unique_ptr<TGuiPixelMapMemory> FBackBuffer;
  std::unique_ptr<TGuiOversampledGDIFont> FGuiFont;
  bool FUpdateBuffer = false;
  bool FUpdateBackBuffer = false;
  bool FTransparent = false;
};

class TGuiSliderGDI : public TCustomGuiSliderGDI {
 public:
  using TCustomGuiSliderGDI::TCustomGuiSliderGDI;
  std::string ClassName() const override { return "TGuiSliderGDI"; }
};

class TGuiSlider : public TCustomGuiSliderGDI {
 public:
  using TCustomGuiSliderGDI::TCustomGuiSliderGDI;
  std::string ClassName() const override { return "TGuiSlider"; }
};

}  // namespace kvx
