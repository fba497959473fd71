// The form's compositor: a full repaint of a 254 x 353 editor-sized form with ten controls,
// and the repaint after one control changed.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"

using namespace kvx;

namespace {

// A control that fills itself with one colour.
template <class TBase>
class TSolid : public TBase {
 public:
  TSolid(TComponent* AOwner, TColor Fill) : TBase(AOwner), FFill(Fill) {}

 protected:
  void Paint() override { this->Canvas().FillRect(this->ClientRect(), FFill); }

 private:
  TColor FFill;
};

// Form > panel (254 x 353) > a face picture with alpha, four windowless controls and four
// windowed ones: ten controls, laid out like the editor's front face.
struct TBenchForm {
  TBenchForm() {
    Form = std::make_unique<TForm>(nullptr, std::make_unique<THeadlessWindowBackend>());
    Form->SetBounds(0, 0, 254, 353);
    auto* Panel = new TPanel(Form.get());
    Panel->SetBevelOuter(bvNone);
    Panel->SetBounds(0, 0, 254, 353);
    Panel->SetParent(Form.get());
    auto* Face = new TImage(Form.get());
    TBitmap Art(254, 353, pf32bit);
    for (int32_t Y = 0; Y < 353; ++Y)
      for (int32_t X = 0; X < 254; ++X)
        Art.Canvas().SetPixel(X, Y, (static_cast<uint32_t>((X + Y) & 0xFF) << 24) | 0x336699u);
    Face->Picture().SetBitmap(Art);
    Face->SetTransparent(true);
    Face->SetBounds(0, 0, 254, 353);
    Face->SetParent(Panel);
    const TRect Windowless[] = {Bounds(158, 172, 62, 23), Bounds(8, 327, 200, 10), Bounds(194, 89, 35, 35),
                                Bounds(118, 296, 18, 14)};
    for (const TRect& R : Windowless) {
      auto* C = new TSolid<TGraphicControl>(Form.get(), 0x202020);
      C->SetBoundsRect(R);
      C->SetParent(Panel);
      Changing = C;
    }
    const TRect Windowed[] = {Bounds(31, 37, 59, 59), Bounds(97, 37, 59, 59), Bounds(163, 37, 59, 59),
                              Bounds(80, 201, 94, 94)};
    for (const TRect& R : Windowed) {
      auto* C = new TSolid<TCustomControl>(Form.get(), 0x404040);
      C->SetBoundsRect(R);
      C->SetParent(Panel);
      ChangingWindowed = C;
    }
    Form->Show();
    Form->Update();
  }
  std::unique_ptr<TForm> Form;
  TControl* Changing = nullptr;
  TControl* ChangingWindowed = nullptr;
};

void BM_FullRepaint(benchmark::State& State) {
  TBenchForm B;
  for (auto _ : State) {
    // Every control invalid: the whole form is composed and presented.
    for (int32_t i = 0; i < B.Form->ControlCount(); ++i) B.Form->Control(i)->Invalidate();
    B.Form->Invalidate();
    B.Form->Update();
  }
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond);

void BM_RepaintOneWindowless(benchmark::State& State) {
  TBenchForm B;
  for (auto _ : State) {
    B.Changing->Invalidate();
    B.Form->Update();
  }
}
BENCHMARK(BM_RepaintOneWindowless)->Unit(benchmark::kMicrosecond);

void BM_RepaintOneWindowed(benchmark::State& State) {
  TBenchForm B;
  for (auto _ : State) {
    B.ChangingWindowed->Invalidate();
    B.Form->Update();
  }
}
BENCHMARK(BM_RepaintOneWindowed)->Unit(benchmark::kMicrosecond);

}  // namespace
