// Fonts of the controls: text rasterised by the platform at N times its size into an 8-bit
// coverage map, averaged down by N in both directions and blended in the font colour, with an
// optional blurred drop shadow beneath it. Smooth text that does not depend on the platform's
// own antialiasing.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "gui/KVX_GuiBlend.h"
#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiFilters.h"
#include "gui/KVX_GuiFiltersBlur.h"
#include "gui/KVX_GuiShadow.h"
#include "platform/KVX_Font.h"

namespace kvx {

class TGuiCustomPixelMap;

enum TFontOversampling : uint8_t { foNone, fo2x, fo3x, fo4x, fo6x, fo8x, fo12x, fo16x };
enum TFontTurn : uint8_t { ftNone, ftClockwise, ftCounterClockwise };

// 1, 2, 3, 4, 6, 8, 12, 16.
int32_t FontOversamplingFactor(TFontOversampling Value);

class TGuiCustomFont : public TPersistent {
 public:
  TGuiCustomFont();
  ~TGuiCustomFont() override;
  std::string ClassName() const override { return "TGuiCustomFont"; }

  bool Antialiasing() const { return FAntiAliasing; }
  void SetAntialiasing(bool Value);
  // Overall text opacity.
  uint8_t Alpha() const { return FAlpha; }
  void SetAlpha(uint8_t Value) { FAlpha = Value; }
  // The font's own shadow; setting one copies its settings into it.
  TGuiShadow& Shadow() { return *FShadow; }
  const TGuiShadow& Shadow() const { return *FShadow; }
  void SetShadow(const TGuiShadow& Value);
  // The shadow's colour with its opacity as alpha.
  TPixel32 ShadowColor() const { return FShadowColor; }
  const TGuiSaturationFilter& SaturationFilter() const { return *FSaturation; }

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

  // The size of Text in output pixels.
  virtual TTextExtent TextExtent(std::string_view Text) = 0;
  // Draws Text with its top-left at (X, Y) onto PixelMap (a null map only renders).
  virtual void TextOut(std::string_view Text, TGuiCustomPixelMap* PixelMap, int32_t X,
                       int32_t Y) = 0;

 protected:
  virtual void AntialiasingChanged();
  virtual void ShadowChanged();
  virtual void NotifyChange();

  bool FAntiAliasing = false;
  uint8_t FAlpha = 0xFF;
  std::unique_ptr<TGuiShadow> FShadow;
  TPixel32 FShadowColor{0, 0, 0, 0xFF};
  std::unique_ptr<TGuiSaturationFilter> FSaturation;
  std::unique_ptr<TGuiCustomBlurFilter> FBlurFilter;
  TNotifyEvent FOnChange;
};

// A font drawn by the platform into an 8-bit buffer.
class TGuiCustomGDIFont : public TGuiCustomFont {
 public:
  TGuiCustomGDIFont();
  ~TGuiCustomGDIFont() override;
  std::string ClassName() const override { return "TGuiCustomGDIFont"; }

  TFont& Font() { return *FFont; }
  const TFont& Font() const { return *FFont; }
  // Copies the description.
  void SetFont(const TFont& Value) { FFont->Assign(Value); }
  TFontTurn FontTurn() const { return FFontTurn; }
  void SetFontTurn(TFontTurn Value);

  // The buffer the text was last rasterised into (its size stays until the next text).
  const TGuiCustomByteMap& Buffer() const { return *FBuffer; }
  // The platform font in use, made when first needed.
  const TPlatformFont& FontHandle();

 protected:
  void AntialiasingChanged() override;
  virtual void FontChanged();
  // Makes sure that the next text uses the current description: the platform font is made
  // again when it is next needed.
  virtual void SelectFont();
  virtual void FontTurnChanged();
  // The description the platform font is made from.
  virtual const TFont& RasterFont() const { return *FFont; }
  // The output quality for the Antialiasing setting.
  TFontQuality RasterQuality() const { return FAntiAliasing ? fqAntialiased : fqNonAntialiased; }

  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TGuiByteMapMemory> FBuffer;
  std::unique_ptr<TGuiByteMapMemory> FShadowBuffer;
  std::unique_ptr<TPlatformFont> FFontHandle;
  TFontTurn FFontTurn = ftNone;
};

// The platform draws at FOSFactor times the size; Downsample averages the result back.
class TGuiCustomOversampledGDIFont : public TGuiCustomGDIFont {
 public:
  // The shadow's margin in buffer pixels is at most this, and a text whose buffer would exceed
  // CMaxBufferBytes draws nothing.
  static constexpr int32_t CMaxShadowMargin = 1024;
  static constexpr int64_t CMaxBufferBytes = int64_t{1} << 26;

  TGuiCustomOversampledGDIFont();
  std::string ClassName() const override { return "TGuiCustomOversampledGDIFont"; }

  TFontOversampling FontOversampling() const { return FFontOversampling; }
  void SetFontOversampling(TFontOversampling Value);
  int32_t OSFactor() const { return FOSFactor; }
  // The description at FOSFactor times the size in points.
  const TFont& ScaledFont() const { return *FScaledFont; }

  TTextExtent TextExtent(std::string_view Text) override;
  void TextOut(std::string_view Text, TGuiCustomPixelMap* PixelMap, int32_t X,
               int32_t Y) override;

  // In place: the top-left (Width div N) x (Height div N) part becomes the average of the
  // N x N blocks, in box steps of 2, 3 or 4; the map keeps its size.
  virtual void Downsample(TGuiCustomByteMap& ByteMap);

 protected:
  void AntialiasingChanged() override;
  void FontChanged() override;
  virtual void FontOversamplingChanged();
  virtual void UpdateScaledFont();
  const TFont& RasterFont() const override { return *FScaledFont; }

 private:
  // Draws the downsampled top-left part of Map in Color with its top-left at (X, Y), turned by
  // FontTurn: only that part is turned, through a copy, so that the text stays where it is drawn.
  void DrawDownsampled(const TGuiCustomByteMap& Map, TGuiCustomPixelMap& PixelMap, TPixel32 Color,
                       int32_t X, int32_t Y);

  TFontOversampling FFontOversampling = foNone;
  int32_t FOSFactor = 1;
  std::unique_ptr<TFont> FScaledFont;
  std::unique_ptr<TGuiByteMapMemory> FTurnBuffer;
};

class TGuiOversampledGDIFont : public TGuiCustomOversampledGDIFont {
 public:
  std::string ClassName() const override { return "TGuiOversampledGDIFont"; }
};

}  // namespace kvx
