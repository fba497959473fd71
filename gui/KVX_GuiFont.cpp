#include "gui/KVX_GuiFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gui/KVX_GuiPixelMap.h"

namespace kvx {

int32_t FontOversamplingFactor(TFontOversampling Value) {
  static constexpr int32_t Factors[] = {1, 2, 3, 4, 6, 8, 12, 16};
  return Value <= fo16x ? Factors[Value] : 1;
}

// ---- TGuiCustomFont ---------------------------------------------------------------------------

TGuiCustomFont::TGuiCustomFont()
    : FShadow(std::make_unique<TGuiShadow>()),
      FSaturation(std::make_unique<TGuiSaturationFilter>()),
      FBlurFilter(std::make_unique<TGuiStackBlurFilter>()) {
  FShadow->SetOnChange([this](TObject*) { ShadowChanged(); });
}

TGuiCustomFont::~TGuiCustomFont() = default;

void TGuiCustomFont::SetAntialiasing(bool Value) {
  if (FAntiAliasing == Value) return;
  FAntiAliasing = Value;
  AntialiasingChanged();
}

void TGuiCustomFont::SetShadow(const TGuiShadow& Value) { FShadow->Assign(Value); }

void TGuiCustomFont::AntialiasingChanged() { NotifyChange(); }

void TGuiCustomFont::ShadowChanged() {
  FShadowColor = ColorToPixel32(FShadow->Color());
  FShadowColor.A = FShadow->Opacity();
  // 2 to the rounded exponent, an exact power of two. Beyond 52 the table's t rounds to 0, and
  // below -126 the power is no longer a normal float.
  const float Saturation = std::isfinite(FShadow->Saturation()) ? FShadow->Saturation() : 0.0f;
  const int Exponent = static_cast<int>(std::clamp(std::nearbyint(Saturation), -126.0f, 52.0f));
  FSaturation->SetValue(std::ldexp(1.0f, Exponent));
  NotifyChange();
}

void TGuiCustomFont::NotifyChange() {
  if (FOnChange) FOnChange(this);
}

// ---- TGuiCustomGDIFont ------------------------------------------------------------------------

TGuiCustomGDIFont::TGuiCustomGDIFont()
    : FFont(std::make_unique<TFont>()), FBuffer(std::make_unique<TGuiByteMapMemory>()) {
  FBuffer->SetSize(8, 8);
  FFont->OnChange = [this](TObject*) { FontChanged(); };
}

TGuiCustomGDIFont::~TGuiCustomGDIFont() = default;

void TGuiCustomGDIFont::SetFontTurn(TFontTurn Value) {
  if (FFontTurn == Value) return;
  FFontTurn = Value;
  FontTurnChanged();
}

const TPlatformFont& TGuiCustomGDIFont::FontHandle() {
  if (!FFontHandle) {
    TFont Description;
    Description.Assign(RasterFont());
    Description.SetQuality(RasterQuality());
    FFontHandle = std::make_unique<TPlatformFont>(Description);
  }
  return *FFontHandle;
}

void TGuiCustomGDIFont::AntialiasingChanged() {
  TGuiCustomFont::AntialiasingChanged();
  SelectFont();
}

void TGuiCustomGDIFont::FontChanged() {
  SelectFont();
  NotifyChange();
}

void TGuiCustomGDIFont::SelectFont() { FFontHandle.reset(); }

void TGuiCustomGDIFont::FontTurnChanged() { NotifyChange(); }

// ---- TGuiCustomOversampledGDIFont -------------------------------------------------------------

TGuiCustomOversampledGDIFont::TGuiCustomOversampledGDIFont()
    : FScaledFont(std::make_unique<TFont>()), FTurnBuffer(std::make_unique<TGuiByteMapMemory>()) {
  TGuiCustomOversampledGDIFont::UpdateScaledFont();
}

void TGuiCustomOversampledGDIFont::SetFontOversampling(TFontOversampling Value) {
  if (FFontOversampling == Value) return;
  FFontOversampling = Value;
  FontOversamplingChanged();
}

void TGuiCustomOversampledGDIFont::AntialiasingChanged() {
  // The quality only changes how the scaled font is rasterised.
  TGuiCustomGDIFont::AntialiasingChanged();
}

void TGuiCustomOversampledGDIFont::FontChanged() {
  UpdateScaledFont();
  NotifyChange();
}

void TGuiCustomOversampledGDIFont::FontOversamplingChanged() {
  FOSFactor = FontOversamplingFactor(FFontOversampling);
  UpdateScaledFont();
  NotifyChange();
}

void TGuiCustomOversampledGDIFont::UpdateScaledFont() {
  // Through the size in points, as the platform scales fonts: height 14 is 11 points, at 16
  // times 176 points or 235 pixels.
  FScaledFont->Assign(*FFont);
  const int64_t Points = int64_t{FOSFactor} * FontPointsFromHeight(FFont->Height());
  FScaledFont->SetHeight(
      FontHeightFromPoints(static_cast<int32_t>(std::clamp<int64_t>(Points, -(1 << 24), 1 << 24))));
  SelectFont();
}

TTextExtent TGuiCustomOversampledGDIFont::TextExtent(std::string_view Text) {
  const TTextExtent Extent = FontHandle().TextExtent(Text);
  return TTextExtent{Extent.cx / FOSFactor, Extent.cy / FOSFactor};
}

void TGuiCustomOversampledGDIFont::Downsample(TGuiCustomByteMap& ByteMap) {
  uint8_t* Data = ByteMap.DataPointer();
  if (!Data) return;
  const int64_t Stride = ByteMap.Width();
  int32_t Width = ByteMap.Width();
  int32_t Height = ByteMap.Height();
  // One k x k box step over the top-left Width x Height values; the result lands in the
  // top-left (Width div k) x (Height div k). Every value written has been read already.
  const auto Step = [&](int32_t K) {
    const int32_t OutWidth = Width / K;
    const int32_t OutHeight = Height / K;
    const uint32_t Area = static_cast<uint32_t>(K * K);
    for (int32_t i = 0; i < OutHeight; ++i) {
      uint8_t* Out = Data + i * Stride;
      const uint8_t* In = Data + int64_t{K} * i * Stride;
      for (int32_t j = 0; j < OutWidth; ++j) {
        uint32_t Sum = 0;
        for (int32_t y = 0; y < K; ++y) {
          const uint8_t* Row = In + y * Stride + int64_t{K} * j;
          for (int32_t x = 0; x < K; ++x) Sum += Row[x];
        }
        Out[j] = static_cast<uint8_t>(Sum / Area);
      }
    }
    Width = OutWidth;
    Height = OutHeight;
  };
  switch (FFontOversampling) {
    case foNone: break;
    case fo2x: Step(2); break;
    case fo3x: Step(3); break;
    case fo4x: Step(4); break;
    case fo6x: Step(3), Step(2); break;
    case fo8x: Step(4), Step(2); break;
    case fo12x: Step(4), Step(3); break;
    case fo16x: Step(4), Step(4); break;
  }
}

namespace {
// A drawing position far outside any map is as good as one at a bound that leaves room for the
// text's size, so that no sum of positions overflows.
int32_t Place(int64_t Position) { return static_cast<int32_t>(std::clamp<int64_t>(Position, -(1 << 30), 1 << 30)); }
}  // namespace

void TGuiCustomOversampledGDIFont::DrawDownsampled(const TGuiCustomByteMap& Map,
                                                   TGuiCustomPixelMap& PixelMap, TPixel32 Color,
                                                   int32_t X, int32_t Y) {
  const int32_t Width = Map.Width() / FOSFactor;
  const int32_t Height = Map.Height() / FOSFactor;
  if (FFontTurn == ftNone) {
    PixelMap.DrawByteMap(Map, Color, TRect{X, Y, X + Width, Y + Height});
    return;
  }
  FTurnBuffer->SetSize(Width, Height);
  for (int32_t Row = 0; Row < Height; ++Row)
    std::memcpy(FTurnBuffer->ScanLine(Row), Map.ScanLine(Row), static_cast<size_t>(Width));
  FTurnBuffer->Turn(FFontTurn == ftCounterClockwise);
  PixelMap.DrawByteMap(*FTurnBuffer, Color, X, Y);
}

void TGuiCustomOversampledGDIFont::TextOut(std::string_view Text, TGuiCustomPixelMap* PixelMap,
                                           int32_t X, int32_t Y) {
  const TPlatformFont& Platform = FontHandle();
  if (!Platform.HasFace()) return;
  const TTextExtent Extent = Platform.TextExtent(Text);
  if (Extent.cx <= 0 || Extent.cy <= 0) return;
  int64_t Cx = Extent.cx;
  int64_t Cy = Extent.cy;
  const int32_t N = FOSFactor;

  // The shadow needs room around the text to spread into.
  int32_t Margin = 0;
  if (FShadow->Visible()) {
    const double Blur = std::nearbyint(static_cast<double>(FShadow->Blur()));
    Margin = static_cast<int32_t>(std::min<double>(N * Blur, CMaxShadowMargin) / N) * N;
    Cx += 2 * Margin;
    Cy += 2 * Margin;
  }
  // A multiple of 4, 1 to 4 more than the text.
  const int64_t BufferWidth = (Cx & ~int64_t{3}) + 4;
  const int64_t BufferHeight = (Cy & ~int64_t{3}) + 4;
  if (BufferWidth * BufferHeight > CMaxBufferBytes) return;
  const int32_t OldSize = FBuffer->DataSize();
  FBuffer->SetSize(static_cast<int32_t>(BufferWidth), static_cast<int32_t>(BufferHeight));
  // A new buffer starts at 0; one of the same size is reused.
  if (FBuffer->DataSize() == OldSize) FBuffer->Clear();
  Platform.TextOut(Text, Margin, Margin,
                   TByteRows{FBuffer->DataPointer(), FBuffer->Width(), FBuffer->Height(),
                             FBuffer->Width()});
  if (FAlpha != 0xFF) FBuffer->Multiply(FAlpha);

  const int32_t Inset = Margin / N;
  if (FShadow->Visible()) {
    if (!FShadowBuffer) FShadowBuffer = std::make_unique<TGuiByteMapMemory>();
    FShadowBuffer->SetSize(FBuffer->Width(), FBuffer->Height());
    std::memcpy(FShadowBuffer->DataPointer(), FBuffer->DataPointer(),
                static_cast<size_t>(FBuffer->DataSize()));
    if (FShadow->Blur() > 0) {
      FBlurFilter->SetRadius(static_cast<float>(N) * FShadow->Blur());
      FBlurFilter->Filter(*FShadowBuffer);
      const float Saturation = FShadow->Saturation();
      if (std::isfinite(Saturation) && Saturation != 0) FSaturation->Filter(*FShadowBuffer);
    }
    Downsample(*FShadowBuffer);
    if (PixelMap)
      DrawDownsampled(*FShadowBuffer, *PixelMap, FShadowColor,
                      Place(int64_t{X} + FShadow->OffsetX() - Inset),
                      Place(int64_t{Y} + FShadow->OffsetY() - Inset));
  }
  Downsample(*FBuffer);
  if (PixelMap)
    DrawDownsampled(*FBuffer, *PixelMap, ColorToPixel32(FFont->Color()), Place(int64_t{X} - Inset),
                    Place(int64_t{Y} - Inset));
}

}  // namespace kvx
