// The stitched dial on a headless form of the editor's size: one drag step from injected input to
// presented pixels, and a plain repaint of the dial, in microseconds.
#include <benchmark/benchmark.h>

#include <memory>

#include "gui/KVX_GuiStitchedDial.h"
#include "gui/KVX_GuiStitchedPngList.h"
#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"

using namespace kvx;

namespace {

constexpr int32_t CKnob = 59;
constexpr int32_t CGlyphs = 100;

struct TDialScene {
  std::unique_ptr<TForm> Form;
  THeadlessWindowBackend* Backend = nullptr;
  TGuiStitchedDial* Dial = nullptr;

  TDialScene() {
    Form = std::make_unique<TForm>(nullptr, std::make_unique<THeadlessWindowBackend>());
    Backend = static_cast<THeadlessWindowBackend*>(Form->Backend());
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(0, 0, 254, 353);
    // A face picture behind the knob, as in the editor.
    auto* Face = new TImage(Form.get());
    Face->SetParent(Form.get());
    Face->SetBounds(0, 0, 254, 353);
    TBitmap Picture(254, 353);
    for (int32_t y = 0; y < 353; ++y)
      for (int32_t x = 0; x < 254; ++x) Picture.Canvas().SetPixel(x, y, 0xFF000000u | uint32_t(x * 3 + y));
    Face->Picture().SetBitmap(Picture);

    auto* List = new TGuiStitchedPNGList(Form.get());
    TGuiStitchedPNGCollectionItem* Item = List->Add();
    TGuiPixelMapMemory Knob;
    Knob.SetSize(CKnob, CKnob * CGlyphs);
    // Round knob glyphs: opaque inside a circle, transparent corners, so blending does work.
    for (int32_t y = 0; y < Knob.Height(); ++y)
      for (int32_t x = 0; x < CKnob; ++x) {
        const int32_t Dx = x - CKnob / 2, Dy = y % CKnob - CKnob / 2;
        const bool Inside = Dx * Dx + Dy * Dy < (CKnob / 2) * (CKnob / 2);
        Knob.PixelPointer(x, y)->SetARGB(Inside ? 0xFF404040u + uint32_t(y / CKnob) : 0x20000000u);
      }
    Item->SetStitchKind(skVertical);
    Item->SetGlyphCount(CGlyphs);
    Item->SetPixelMap(Knob);

    Dial = new TGuiStitchedDial(Form.get());
    Dial->SetParent(Form.get());
    Dial->SetBounds(31, 37, CKnob, CKnob);
    Dial->SetTransparent(true);
    Dial->SetImageList(List);
    Dial->SetImageIndex(0);
    Dial->SetValue(50);
    Form->Show();
    Form->ProcessMessages();
  }
};

// One pointer move of a drag, four pixels up or down (every step moves the glyph), through the
// form's dispatch, the dial's value, glyph and buffer, the composition and the presentation.
void BM_DialDragStep(benchmark::State& State) {
  TDialScene Scene;
  const int32_t X = 31 + CKnob / 2, Y = 37 + CKnob / 2;
  Scene.Backend->InjectMouseDown(X, Y);
  Scene.Form->ProcessMessages();
  bool Up = true;
  for (auto _ : State) {
    Scene.Backend->InjectMouseMove(X, Up ? Y - 4 : Y);
    Scene.Form->ProcessMessages();
    Up = !Up;
  }
  benchmark::DoNotOptimize(Scene.Backend->ScreenPixel(X, Y));
  Scene.Backend->InjectMouseUp(X, Y);
  Scene.Form->ProcessMessages();
}
BENCHMARK(BM_DialDragStep)->Unit(benchmark::kMicrosecond);

// The dial repainted with nothing changed: a copy of its composed map to the screen.
void BM_DialPlainRepaint(benchmark::State& State) {
  TDialScene Scene;
  for (auto _ : State) {
    Scene.Dial->Invalidate();
    Scene.Form->ProcessMessages();
  }
  benchmark::DoNotOptimize(Scene.Backend->ScreenPixel(40, 40));
}
BENCHMARK(BM_DialPlainRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
