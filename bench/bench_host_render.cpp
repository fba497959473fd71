// Rendering through a plug-in the way vsthost does: one second of stereo noise at 44.1 kHz in
// 512-frame blocks, through our plug-in and through the test gain (which shows the host's own
// cost per block); and synthesizing the demo riff.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "host/lib/KVX_HostRender.h"

using namespace kvx;

namespace {

TAudioData Noise() {
  TAudioData d;
  d.SampleRate = 44100;
  d.Channels.assign(2, std::vector<double>(44100));
  uint32_t state = 1;
  for (auto& ch : d.Channels)
    for (double& s : ch) {
      state = state * 1664525u + 1013904223u;
      s = 0.5 * (static_cast<double>(state >> 8) / 8388608.0 - 1.0);
    }
  return d;
}

void Render(benchmark::State& State, const std::string& File, TProcessPrecision Precision) {
  if (!std::filesystem::exists(File)) {
    State.SkipWithError(("missing " + File).c_str());
    return;
  }
  TVstHostPlugin plugin(File);
  plugin.Open();
  const TAudioData input = Noise();
  TRenderOptions options;
  options.Precision = Precision;
  options.TailSeconds = 0;
  for (auto _ : State) benchmark::DoNotOptimize(RenderAudio(plugin, input, options).Output.Frames());
  State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(input.Frames()));
}

void BM_RenderOurPlugin32(benchmark::State& S) { Render(S, KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX, pp32); }
void BM_RenderOurPlugin64(benchmark::State& S) { Render(S, KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX, pp64); }
void BM_RenderTestGain32(benchmark::State& S) { Render(S, KVX_BUILD_DIR "/testplugins/gain" KVX_MODULE_SUFFIX, pp32); }

void BM_SynthesizeDemoRiff(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(SynthesizeDemoRiff(44100).Frames());
}

}  // namespace

BENCHMARK(BM_RenderOurPlugin32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderOurPlugin64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTestGain32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesizeDemoRiff)->Unit(benchmark::kMillisecond);
