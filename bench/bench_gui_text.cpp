// Text and slider drawing in microseconds: an editor label rendered at 16 times oversampling
// (rasterise, shadow, downsample, blend), the slider's full redraw, and a stack blur.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiFiltersBlur.h"
#include "gui/KVX_GuiFont.h"
#include "gui/KVX_GuiPixelMap.h"
#include "gui/KVX_GuiSlider.h"

using namespace kvx;

namespace {

// "by KVX" as the editor sets it: height 14, bold, white, 16 times; with a shadow of the
// given blur (0: no shadow).
void BM_Label16x(benchmark::State& State) {
  TGuiOversampledGDIFont Font;
  TFont Description;
  Description.SetName("Lucida Console");
  Description.SetHeight(14);
  Description.SetStyle({fsBold});
  Description.SetColor(0xFFFFFF);
  Font.SetFont(Description);
  Font.SetFontOversampling(fo16x);
  if (State.range(0) > 0) {
    Font.Shadow().SetVisible(true);
    Font.Shadow().SetBlur(static_cast<float>(State.range(0)));
  }
  TGuiPixelMapMemory Map;
  Map.SetSize(62, 23);
  for (auto _ : State) {
    Map.Clear(TPixel32{40, 60, 80, 255});
    Font.TextOut("by KVX", &Map, 8, 4);
    benchmark::DoNotOptimize(Map.DataPointer());
  }
}
BENCHMARK(BM_Label16x)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

// The editor's slider: background copy and the whole bar (235 x 7, radius 3.5).
void BM_SliderRedraw(benchmark::State& State) {
  TGuiPixelMapMemory Background, Map;
  Background.SetSize(235, 7);
  Background.Clear(TPixel32{255, 255, 255, 255});
  Map.SetSize(235, 7);
  TSliderAppearance Look;
  Look.SlideColor = 0x729B6A;
  Look.Color = 0xFFFFFF;
  Look.BorderColor = 0;
  Look.BorderWidth = 0;
  Look.BorderRadius = 10;
  Look.Min = -200;
  Look.Max = 200;
  float Value = -200;
  for (auto _ : State) {
    Map.Draw(Background, 0, 0);
    Look.Value = Value;
    DrawSlider(Map, Look);
    Value = Value >= 200 ? -200 : Value + 7;
    benchmark::DoNotOptimize(Map.DataPointer());
  }
}
BENCHMARK(BM_SliderRedraw)->Unit(benchmark::kMicrosecond);

// A stack blur of radius 8 on a 256 x 64 byte map.
void BM_StackBlur(benchmark::State& State) {
  TGuiByteMapMemory Map;
  Map.SetSize(256, 64);
  uint32_t Seed = 99;
  for (int32_t i = 0; i < Map.DataSize(); ++i) {
    Seed = Seed * 1664525u + 1013904223u;
    Map.DataPointer()[i] = static_cast<uint8_t>(Seed >> 24);
  }
  TGuiStackBlurFilter Blur;
  Blur.SetRadius(static_cast<float>(State.range(0)));
  for (auto _ : State) {
    Blur.Filter(Map);
    benchmark::DoNotOptimize(Map.DataPointer());
  }
}
BENCHMARK(BM_StackBlur)->Arg(8)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
