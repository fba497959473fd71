#include "gui/KVX_GuiSlider.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include <cstring>

#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_NumberFormat.h"

namespace kvx {

namespace {
const char* const CUnit = "KVX_GuiSlider";
}  // namespace

float FastSqrt(float X) {
  const uint32_t Bits = std::bit_cast<uint32_t>(X);
  const float Y0 = std::bit_cast<float>(((Bits - 0x800000u) >> 1) + 0x20000000u);
  const float T = Y0 + X / Y0;
  return 0.25f * T + X / T;
}

float MapCurve(float X, float Exponent) {
  return std::copysign(std::pow(std::fabs(X), Exponent), X);
}

float UnmapCurve(float X, float Exponent) {
  return std::copysign(std::pow(std::fabs(X), 1.0f / Exponent), X);
}

namespace {

// A weight or alpha from a fraction: rounded, halves to even, kept within a byte.
uint32_t ByteOf(double Fraction) {
  const double Scaled = std::nearbyint(Fraction * 255.0);
  if (!(Scaled > 0.0)) return 0;
  return Scaled >= 255.0 ? 255u : static_cast<uint32_t>(Scaled);
}

}  // namespace

void DrawSlider(TGuiCustomPixelMap& Map, const TSliderAppearance& Look) {
  const int32_t W = Map.Width();
  const int32_t H = Map.Height();
  if (W <= 0 || H <= 0 || !Map.DataPointer()) return;

  const TPixel32 Slide = ColorToPixel32(Look.SlideColor);
  const TPixel32 Back = ColorToPixel32(Look.Color);
  const float BorderWidth = std::isfinite(Look.BorderWidth) ? std::max(Look.BorderWidth, 0.0f) : 0.0f;
  const TPixel32 Border = BorderWidth > 0 ? ColorToPixel32(Look.BorderColor) : Slide;

  // The columns left of P take the slide colour.
  const double Range = double{Look.Max} - Look.Min;
  double Fraction = Range > 0 ? (double{Look.Value} - Look.Min) / Range : 0.0;
  Fraction = std::isnan(Fraction) ? 0.0 : std::clamp(Fraction, 0.0, 1.0);
  const double Exponent = std::isfinite(Look.CurveMappingExp) && Look.CurveMappingExp > 0
                              ? Look.CurveMappingExp
                              : 1.0;
  const int32_t P = static_cast<int32_t>(std::nearbyint(W * std::pow(Fraction, 1.0 / Exponent)));
  const auto Fill = [&](int32_t Column) { return Column < P ? Slide : Back; };

  double R = std::isfinite(Look.BorderRadius) ? std::max<double>(Look.BorderRadius, 0.0) : 0.0;
  R = std::min({R, W * 0.5, H * 0.5});
  const double B = BorderWidth > 1 ? BorderWidth : 1.0;

  if (R == 0) {
    // Square corners: rectangle fills, whole border rings, the fraction as one translucent ring.
    const int32_t N = static_cast<int32_t>(std::min<double>(BorderWidth, std::max(W, H)));
    Map.FillRect(N, N, P, H - N, Slide);
    Map.FillRect(std::max(P, N), N, W - N, H - N, Back);
    for (int32_t i = 0; i < N && 2 * i < W && 2 * i < H; ++i)
      Map.FrameRect(TRect{i, i, W - i, H - i}, Border);
    if (2 * N < W && 2 * N < H) {
      TPixel32 Ring = Border;
      Ring.A = static_cast<uint8_t>(ByteOf(BorderWidth - N));
      if (Ring.A > 0) Map.FrameRect(TRect{N, N, W - N, H - N}, Ring);
    }
    return;
  }

  const double In = std::max(R - B, 0.0);
  const double InStart = std::max(R - B - 1, 0.0);
  const double OutStart = std::max(R - 1, 0.0);
  const auto Blend = [&](int32_t X, int32_t Y, TPixel32 C) {
    OpaqueBlendInPlace(C, *Map.PixelPointer(X, Y));
  };

  // Corner rows, mirrored top and bottom.
  const int32_t CornerRows = static_cast<int32_t>(std::nearbyint(R));
  for (int32_t i = 0; i < CornerRows; ++i) {
    const double Dy = i - R + 1;
    const double Dy2 = Dy * Dy;
    const double W2 = R * R - Dy2;
    if (W2 <= 0) continue;
    const double F = std::sqrt(W2) - 0.5;
    // A whole radius and an even width put the right end one column past the row: clip.
    const int32_t X0 = std::max(0, static_cast<int32_t>(std::nearbyint(R - F - 1)));
    const int32_t X1 = std::min(W - 1, static_cast<int32_t>(std::nearbyint((W - 1) - R + F + 1)));
    for (int32_t j = X0; j <= X1; ++j) {
      double D2 = Dy2;
      if (j < R - 1) {
        D2 += (j - R + 1) * (j - R + 1);
      } else if (j > (W - 1) - R + 1) {
        const double Dx = j - W + 1 + R - 1;
        D2 += Dx * Dx;
      }
      TPixel32 C = Fill(j);
      if (D2 >= InStart * InStart) {
        const double Distance = FastSqrt(static_cast<float>(D2));
        if (D2 > In * In) {
          C = Border;
          if (D2 >= OutStart * OutStart) C.A = static_cast<uint8_t>(ByteOf(R - Distance));
        } else {
          C = WeightedMix(Border, C, ByteOf(1.0 - (In - Distance)));
        }
      }
      // Blended twice where the two rows are one.
      Blend(j, i, C);
      Blend(j, H - 1 - i, C);
    }
  }

  // Middle rows: the border with its fractional inner edge, the fill inside.
  const double Bottom = (H - 1) - B;
  const double Right = (W - 1) - B;
  for (int32_t i = CornerRows; i <= H - CornerRows - 1; ++i) {
    const bool Partial = (B - 1 <= i && i < B) || (Bottom < i && i <= Bottom + 1);
    const double Fi = i < B ? B - i : i - Bottom;
    for (int32_t j = 0; j < W; ++j) {
      TPixel32 C = Border;
      const bool OuterColumn = j < B - 1 || j > Right + 1;
      if (i < B - 1 || i > Bottom + 1 || OuterColumn) {
        C = Border;
      } else if (!Partial) {
        if (j < B)
          C = WeightedMix(Border, Fill(j), ByteOf(B - j));
        else if (j > Right)
          C = WeightedMix(Border, Fill(j), ByteOf(j - Right));
        else
          C = Fill(j);
      } else if (j < B) {
        C = WeightedMix(Border, Fill(j), ByteOf(Fi + (B - j) * (1 - Fi)));
      } else if (j > Right) {
        C = WeightedMix(Border, Fill(j), ByteOf(Fi + (j - W + 1 + B) * (1 - Fi)));
      } else {
        C = WeightedMix(Border, Fill(j), ByteOf(Fi));
      }
      Blend(j, i, C);
    }
  }
}

// ---- TCustomGuiSlider -------------------------------------------------------------------------

namespace {

bool Same(float A, float B) { return std::memcmp(&A, &B, sizeof(float)) == 0; }

std::string BoundText(double Value) { return FloatToStrGeneral(Value, 10, "."); }

}  // namespace

TCustomGuiSlider::TCustomGuiSlider(TComponent* AOwner) : TCustomControl(AOwner) {
  // The bar covers its whole rectangle, takes no keyboard focus and is named by nobody.
  FControlStyle.Include(csOpaque);
  FControlStyle.Exclude(csSetCaption);
  SetTabStop(false);
  SetColor(clBtnFace);
}

void TCustomGuiSlider::SetBorderColor(TColor Value) {
  if (FBorderColor == Value) return;
  FBorderColor = Value;
  BorderColorChanged();
}

void TCustomGuiSlider::SetBorderRadius(float Value) {
  if (!std::isfinite(Value) || Same(FBorderRadius, Value)) return;
  FBorderRadius = Value;
  BorderRadiusChanged();
}

void TCustomGuiSlider::SetBorderWidth(float Value) {
  if (!std::isfinite(Value) || Same(FBorderWidth, Value)) return;
  FBorderWidth = Value;
  BorderWidthChanged();
}

void TCustomGuiSlider::SetCurveMapping(float Value) {
  if (!std::isfinite(Value) || Same(FCurveMapping, Value)) return;
  FCurveMapping = Value;
  CurveMappingChanged();
}

void TCustomGuiSlider::SetDefaultValue(float Value) {
  if (!std::isfinite(Value)) return;
  if (!Loading()) Value = std::clamp(Value, FMinimum, FMaximum);
  FDefaultValue = Value;
}

void TCustomGuiSlider::SetDigits(int32_t Value) {
  if (FDigits == Value) return;
  FDigits = Value;
  DigitsChanged();
}

void TCustomGuiSlider::SetDirection(TSliderDirection Value) {
  if (FDirection == Value) return;
  FDirection = Value;
  DirectionChanged();
}

void TCustomGuiSlider::SetMin(float Value) {
  if (!std::isfinite(Value) || Same(FMinimum, Value)) return;
  if (Value > FMaximum && !Loading())
    throw ESliderRangeError("Min must lie between " + BoundText(-2147483647.0) + " and " +
                                BoundText(double{FMaximum} - 1),
                            -2147483647.0, double{FMaximum} - 1);
  FMinimum = Value;
  MinChanged();
}

void TCustomGuiSlider::SetMax(float Value) {
  if (!std::isfinite(Value) || Same(FMaximum, Value)) return;
  if (Value < FMinimum && !Loading())
    throw ESliderRangeError("Max must lie between " + BoundText(double{FMinimum} + 1) + " and " +
                                BoundText(2147483647.0),
                            double{FMinimum} + 1, 2147483647.0);
  FMaximum = Value;
  MaxChanged();
}

void TCustomGuiSlider::SetShowText(bool Value) {
  if (FShowText == Value) return;
  FShowText = Value;
  ShowTextChanged();
}

void TCustomGuiSlider::SetSlideColor(TColor Value) {
  if (FSlideColor == Value) return;
  FSlideColor = Value;
  SlideColorChanged();
}

void TCustomGuiSlider::SetValue(float Value) {
  if (std::isnan(Value)) return;
  if (Value < FMinimum)
    Value = FMinimum;
  else if (Value > FMaximum)
    Value = FMaximum;
  if (Same(FValue, Value)) return;
  FValue = Value;
  ValueChanged();
}

void TCustomGuiSlider::SetCaption(const std::string& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  CaptionChanged();
}

void TCustomGuiSlider::CaptionChanged() {
  if (FShowText) RequestBufferUpdate();
}

void TCustomGuiSlider::CurveMappingChanged() {
  // Kept where 2^x is a finite, normal float, so that x^(1/E) stays defined.
  FCurveMappingExp = std::exp2(std::clamp(FCurveMapping, -126.0f, 127.0f));
  RequestBufferUpdate();
}

void TCustomGuiSlider::DirectionChanged() { RequestBufferUpdate(); }

void TCustomGuiSlider::DigitsChanged() {
  if (FShowText) RequestBufferUpdate();
}

void TCustomGuiSlider::ValueChanged() {
  if (OnChange && !Loading()) OnChange(this);
  RequestBufferUpdate();
}

void TCustomGuiSlider::MaxChanged() {
  if (FValue > FMaximum) FValue = FMaximum;
  if (FDefaultValue > FMaximum) FDefaultValue = FMaximum;
  RequestBufferUpdate();
}

void TCustomGuiSlider::MinChanged() {
  if (FValue < FMinimum) FValue = FMinimum;
  if (FDefaultValue < FMinimum) FDefaultValue = FMinimum;
  RequestBufferUpdate();
}

void TCustomGuiSlider::BorderRadiusChanged() { RequestBufferUpdate(); }
void TCustomGuiSlider::BorderWidthChanged() { RequestBufferUpdate(); }
void TCustomGuiSlider::BorderColorChanged() { RequestBufferUpdate(); }
void TCustomGuiSlider::RequestBufferUpdate() { Invalidate(); }
void TCustomGuiSlider::SlideColorChanged() { RequestBufferUpdate(); }
void TCustomGuiSlider::ShowTextChanged() { RequestBufferUpdate(); }

void TCustomGuiSlider::SetValueFromPosition(int32_t X) {
  // A slider one pixel wide has no second end to divide by: its one column is the left end.
  const float F = Width() > 1 ? static_cast<float>(X) / static_cast<float>(Width() - 1) : 0.0f;
  float V = FMinimum + MapCurve(F) * (FMaximum - FMinimum);
  if (std::isnan(V)) V = FMinimum;
  SetValue(std::clamp(V, FMinimum, FMaximum));
}

TSliderAppearance TCustomGuiSlider::Appearance() const {
  TSliderAppearance Look;
  Look.SlideColor = FSlideColor;
  Look.Color = Color();
  Look.BorderColor = FBorderColor;
  Look.BorderWidth = FBorderWidth;
  Look.BorderRadius = FBorderRadius;
  Look.Value = FValue;
  Look.Min = FMinimum;
  Look.Max = FMaximum;
  Look.CurveMappingExp = FCurveMappingExp;
  return Look;
}

void TCustomGuiSlider::Assign(const TPersistent& Source) {
  auto* Slider = dynamic_cast<const TCustomGuiSlider*>(&Source);
  if (!Slider) {
    TCustomControl::Assign(Source);
    return;
  }
  if (Slider == this) return;
  FAutoColor = Slider->FAutoColor;
  FBorderColor = Slider->FBorderColor;
  FBorderRadius = Slider->FBorderRadius;
  FBorderWidth = Slider->FBorderWidth;
  FCaption = Slider->FCaption;
  FCurveMapping = Slider->FCurveMapping;
  FCurveMappingExp = Slider->FCurveMappingExp;
  FDefaultValue = Slider->FDefaultValue;
  FMaximum = Slider->FMaximum;
  FMinimum = Slider->FMinimum;
  FSlideColor = Slider->FSlideColor;
  FValue = Slider->FValue;
  OnPaint = Slider->OnPaint;
  OnChange = Slider->OnChange;
  RequestBufferUpdate();
}

void TCustomGuiSlider::DefineProperties(TFiler& Filer) {
  TCustomControl::DefineProperties(Filer);
  const auto Define = [&](const char* Name, float& Field) {
    Filer.DefineFloatProperty(
        Name,
        [&Field](double Value) {
          if (std::isfinite(Value)) Field = static_cast<float>(Value);
        },
        [&Field] { return static_cast<double>(Field); }, Field == 0);
  };
  Define("Value", FValue);
  Define("DefaultValue", FDefaultValue);
  Define("Max", FMaximum);
}

// ---- TCustomGuiSliderGDI ----------------------------------------------------------------------

TCustomGuiSliderGDI::TCustomGuiSliderGDI(TComponent* AOwner)
    : TCustomGuiSlider(AOwner),
      FBuffer(std::make_unique<TGuiPixelMapMemory>()),
      FBackBuffer(std::make_unique<TGuiPixelMapMemory>()),
      FGuiFont(std::make_unique<TGuiOversampledGDIFont>()) {
  FGuiFont->SetOnChange([this](TObject*) { RequestBufferUpdate(); });
  FGuiFont->SetFont(Font());
}

TCustomGuiSliderGDI::~TCustomGuiSliderGDI() = default;

void TCustomGuiSliderGDI::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  TransparencyChanged();
}

void TCustomGuiSliderGDI::RequestBufferUpdate() {
  FUpdateBuffer = true;
  Invalidate();
}

// What lies behind the bar is another picture now, not only another composition.
void TCustomGuiSliderGDI::TransparencyChanged() { RequestBackBufferUpdate(); }

void TCustomGuiSliderGDI::RequestBackBufferUpdate() {
  FUpdateBackBuffer = true;
  RequestBufferUpdate();
}

void TCustomGuiSliderGDI::RebuildBackBuffer() {
  FUpdateBackBuffer = false;
  if (FTransparent)
    FBackBuffer->CopyParentImage(*this);
  else
    FBackBuffer->FillRect(FBackBuffer->ClientRect(), ColorToPixel32(Color()));
  FUpdateBuffer = true;
}

std::string TCustomGuiSliderGDI::ValueText() {
  const int Digits = std::clamp(FDigits, 1, 17);
  std::string Text = FloatToStrGeneral(FValue, Digits, UserDecimalSeparator());
  if (!FCaption.empty()) Text = FCaption + ": " + Text;
  if (OnGetText) OnGetText(this, Text);
  return Text;
}

void TCustomGuiSliderGDI::RebuildBuffer() {
  FUpdateBuffer = false;
  if (!FBuffer || !FBackBuffer) return;
  // The maps follow every resize; a map that did not would make the copy below overrun.
  KVX_ASSERT(FBuffer->Width() == FBackBuffer->Width() && FBuffer->Height() == FBackBuffer->Height(),
             CUnit);
  KVX_ASSERT(FBuffer->Width() == Width() && FBuffer->Height() == Height(), CUnit);
  if (FBuffer->DataSize() > 0)
    std::memcpy(FBuffer->DataPointer(), FBackBuffer->DataPointer(),
                static_cast<size_t>(FBuffer->DataSize()));
  DrawSlider(*FBuffer, Appearance());
  if (FShowText) {
    const std::string Text = ValueText();
    const TTextExtent Extent = FGuiFont->TextExtent(Text);
    FGuiFont->TextOut(Text, FBuffer.get(), (Width() - Extent.cx) / 2, (Height() - Extent.cy) / 2);
  }
}

void TCustomGuiSliderGDI::Paint() {
  if (FUpdateBackBuffer) RebuildBackBuffer();
  if (FUpdateBuffer) RebuildBuffer();
  if (OnPaint) OnPaint(this);
  if (FBuffer) FBuffer->PaintTo(Canvas());
}

void TCustomGuiSliderGDI::SizeBuffers() {
  FBuffer->SetSize(Width(), Height());
  FBackBuffer->SetSize(Width(), Height());
  RequestBackBufferUpdate();
}

void TCustomGuiSliderGDI::Resize() {
  TCustomGuiSlider::Resize();
  SizeBuffers();
}

void TCustomGuiSliderGDI::Loaded() {
  TCustomGuiSlider::Loaded();
  SizeBuffers();
}

void TCustomGuiSliderGDI::FontChanged() {
  TCustomGuiSlider::FontChanged();
  FGuiFont->SetFont(Font());
}

// The track is drawn in the colour, and an opaque slider's background is filled with it.
void TCustomGuiSliderGDI::ColorChanged() {
  TCustomGuiSlider::ColorChanged();
  RequestBackBufferUpdate();
}

void TCustomGuiSliderGDI::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (!FReadOnly && Button == mbLeft) SetValueFromPosition(X);
  TCustomGuiSlider::MouseDown(Button, Shift, X, Y);
}

void TCustomGuiSliderGDI::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (!FReadOnly && Shift.Contains(ssLeft)) SetValueFromPosition(X);
  TCustomGuiSlider::MouseMove(Shift, X, Y);
}

void TCustomGuiSliderGDI::Assign(const TPersistent& Source) {
  TCustomGuiSlider::Assign(Source);
  auto* Slider = dynamic_cast<const TCustomGuiSliderGDI*>(&Source);
  if (!Slider || Slider == this) return;
  FTransparent = Slider->FTransparent;
  // Pixels only between maps of one size: this slider's maps keep its own size (and their own
  // handlers), so that the next rebuild copies within them.
  const auto CopyPixels = [](TGuiPixelMapMemory& To, const TGuiPixelMapMemory& From) {
    if (To.Width() != From.Width() || To.Height() != From.Height()) return false;
    if (To.DataSize() > 0)
      std::memcpy(To.DataPointer(), From.DataPointer(), static_cast<size_t>(To.DataSize()));
    return true;
  };
  const bool Copied = CopyPixels(*FBuffer, *Slider->FBuffer) & CopyPixels(*FBackBuffer, *Slider->FBackBuffer);
  if (!Copied) {
    RequestBackBufferUpdate();
  } else {
    FUpdateBuffer = Slider->FUpdateBuffer;
    FUpdateBackBuffer = Slider->FUpdateBackBuffer;
    Invalidate();
  }
}

}  // namespace kvx
