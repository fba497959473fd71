// The editor of the plug-in, headless: opening it (from effEditOpen to the first finished
// surface) the first time in the process and again, one idle pump with nothing changed, and one
// knob drag step from input to presented pixels.
//
// Goals: first open <= 40 ms, reopen <= 10 ms, idle pump <= 20 us, drag step <= 1 ms.
#include <benchmark/benchmark.h>

#include <chrono>

#include "editor/GUI.h"
#include "gui/KVX_GuiStitchedDial.h"
#include "platform/KVX_HeadlessBackend.h"
#include "ub37t/KVX_Ub37t.h"

using namespace kvx;

namespace {

intptr_t QuietHost(PVSTEffect, int32_t Opcode, int32_t, intptr_t, void*, float) {
  return Opcode == 1 ? 2400 : 0;  // amVersion
}

intptr_t Dispatch(PVSTEffect Effect, int32_t Opcode, void* ptr = nullptr) {
  return Effect->Dispatcher(Effect, Opcode, 0, 0, ptr, 0.0f);
}

void* const CParent = reinterpret_cast<void*>(intptr_t{0x4711});

struct TPlugin {
  PVSTEffect Effect = InstantiateModule(&QuietHost, &Ub37tModuleClass);
  TPlugin() { Dispatch(Effect, effOpen); }
  ~TPlugin() { Dispatch(Effect, effClose); }
  TProcessModule& Module() const { return *static_cast<TProcessModule*>(Effect->User); }
  TWndGUI* Window() const { return dynamic_cast<TWndGUI*>(Module().EditorForm()); }
  // effEditOpen, then the host's first idle: the surface is composed and presented.
  void OpenAndShow() {
    Dispatch(Effect, effEditOpen, CParent);
    Dispatch(Effect, effEditIdle);
  }
};

// The first open of the process: whatever is decoded or rasterised once is done here.
void BM_EditorFirstOpen(benchmark::State& State) {
  TPlugin Plugin;
  for (auto _ : State) {
    const auto Start = std::chrono::steady_clock::now();
    Plugin.OpenAndShow();
    State.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    Dispatch(Plugin.Effect, effEditClose);
  }
}
BENCHMARK(BM_EditorFirstOpen)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EditorReopen(benchmark::State& State) {
  TPlugin Plugin;
  Plugin.OpenAndShow();
  Dispatch(Plugin.Effect, effEditClose);
  for (auto _ : State) {
    const auto Start = std::chrono::steady_clock::now();
    Plugin.OpenAndShow();
    State.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    Dispatch(Plugin.Effect, effEditClose);
  }
}
BENCHMARK(BM_EditorReopen)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EditorIdlePump(benchmark::State& State) {
  TPlugin Plugin;
  Plugin.OpenAndShow();
  Dispatch(Plugin.Effect, effEditIdle);
  for (auto _ : State) Dispatch(Plugin.Effect, effEditIdle);
  Dispatch(Plugin.Effect, effEditClose);
}
BENCHMARK(BM_EditorIdlePump)->Unit(benchmark::kMicrosecond);

// The Level knob held and moved 4 pixels per step, up the whole range and down again, so that
// every step shows the next glyph: the dial, the module's parameter road and the repaint
// presented.
void BM_EditorKnobDragStep(benchmark::State& State) {
  TPlugin Plugin;
  Plugin.OpenAndShow();
  TWndGUI& W = *Plugin.Window();
  auto& Backend = static_cast<THeadlessWindowBackend&>(*W.Backend());
  const TPoint P = W.DialLevel->ClientToParent(TPoint{29, 29}, &W);
  Backend.InjectMouseMove(P.X, P.Y);
  Backend.InjectMouseDown(P.X, P.Y);
  Dispatch(Plugin.Effect, effEditIdle);
  int32_t Step = 0;
  for (auto _ : State) {
    const int32_t Phase = (++Step * 4) % 800;
    Backend.InjectMouseMove(P.X, P.Y - (Phase < 400 ? Phase : 800 - Phase));
    Dispatch(Plugin.Effect, effEditIdle);
  }
  benchmark::DoNotOptimize(Plugin.Module().GetParameter(2));
  Backend.InjectMouseUp(P.X, P.Y);
  Dispatch(Plugin.Effect, effEditIdle);
  Dispatch(Plugin.Effect, effEditClose);
}
BENCHMARK(BM_EditorKnobDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace
