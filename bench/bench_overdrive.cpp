// Real-time factor of the plug-in, driven through its effect record as a host drives it:
// 44.1 kHz, 512-frame blocks, 1x/8x/16x, stereo and mono, 32-bit and 64-bit.
// Counters: rt = seconds of audio per second of CPU; ns_per_os_frame = CPU time per oversampled
// stereo frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/lib/KVX_HostSystem.h"
#include "plugin/KVX_VSTEffect.h"

using namespace kvx;

namespace {

intptr_t Host(PVSTEffect, int32_t Opcode, int32_t, intptr_t, void*, float) {
  return Opcode == amVersion ? 2400 : 0;
}

struct TPlugin {
  void* Library = nullptr;
  PVSTEffect Effect = nullptr;
  TPlugin() {
    std::string reason;
    Library = LoadPluginLibrary(KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX, reason);
    if (!Library) return;
    auto entry = reinterpret_cast<PVSTEffect (*)(TAudioMasterCallbackFunc)>(PluginLibrarySymbol(Library, "VSTPluginMain"));
    Effect = entry ? entry(&Host) : nullptr;
    if (Effect) Effect->Dispatcher(Effect, effOpen, 0, 0, nullptr, 0);
  }
  ~TPlugin() {
    if (Effect) Effect->Dispatcher(Effect, effClose, 0, 0, nullptr, 0);
    if (Library) UnloadPluginLibrary(Library);
  }
};

template <typename T>
void BM_Overdrive(benchmark::State& State) {
  const int factor = static_cast<int>(State.range(0));
  const bool stereo = State.range(1) != 0;
  TPlugin plugin;
  if (!plugin.Effect) {
    State.SkipWithError("the plug-in could not be loaded");
    return;
  }
  PVSTEffect e = plugin.Effect;
  e->SetParameter(e, 2, 0.7f);                                                // Level 70
  e->SetParameter(e, 4, stereo ? 1.0f : 0.0f);                                // Stereo
  e->SetParameter(e, 6, factor == 1 ? 0.0f : factor == 8 ? 0.5f : 1.0f);      // Oversampling
  e->Dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100);
  e->Dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0);
  e->Dispatcher(e, effSetProcessPrecision, 0, sizeof(T) == 8 ? 1 : 0, nullptr, 0);
  e->Dispatcher(e, effMainsChanged, 0, 1, nullptr, 0);
  constexpr int n = 512;
  std::vector<T> l(n), r(n), o0(n), o1(n);
  for (int i = 0; i < n; ++i) {
    l[i] = static_cast<T>(0.5 * std::sin(i * 0.031));
    r[i] = static_cast<T>(0.4 * std::sin(i * 0.017 + 1));
  }
  T* in[2] = {l.data(), r.data()};
  T* out[2] = {o0.data(), o1.data()};
  for (auto _ : State) {
    if constexpr (sizeof(T) == 8)
      e->Process64Replacing(e, in, out, n);
    else
      e->Process32Replacing(e, in, out, n);
    benchmark::DoNotOptimize(o0.data());
    benchmark::ClobberMemory();
  }
  const double frames = static_cast<double>(State.iterations()) * n;
  State.counters["rt"] = benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
  State.counters["ns_per_os_frame"] =
      benchmark::Counter(frames * factor, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Overdrive, double)->ArgsProduct({{1, 8, 16}, {1, 0}})->ArgNames({"factor", "stereo"});
BENCHMARK_TEMPLATE(BM_Overdrive, float)->ArgsProduct({{1, 8, 16}, {1, 0}})->ArgNames({"factor", "stereo"});
