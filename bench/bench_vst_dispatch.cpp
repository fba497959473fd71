// Cost of the record's process entries around a handler that copies: the checks, the handler in
// force and (for the accumulating entry) the scratch pass and the sum.
#include <benchmark/benchmark.h>

#include <vector>

#include "plugin/KVX_VSTModule.h"

using namespace kvx;

namespace {

class TCopyModule : public TVSTModule {
 public:
  TCopyModule() { SetOnProcess32Replacing(ProcessHandler32<&TCopyModule::Copy>()); }
  void Copy(const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs, uint32_t Frames) {
    for (int c = 0; c < 2; ++c)
      for (uint32_t i = 0; i < Frames; ++i) Outputs[c][i] = Inputs[c][i];
  }
};

intptr_t Host(PVSTEffect, int32_t Opcode, int32_t, intptr_t, void*, float) {
  return Opcode == amVersion ? 2400 : 0;
}

template <bool Accumulating>
void BM_ProcessEntry(benchmark::State& State) {
  const auto Frames = static_cast<int32_t>(State.range(0));
  PVSTEffect Effect = InstantiateModule(&Host, &ModuleClass<TCopyModule>);
  Effect->Dispatcher(Effect, effSetBlockSize, 0, Frames, nullptr, 0);
  Effect->Dispatcher(Effect, effOpen, 0, 0, nullptr, 0);
  std::vector<float> In(static_cast<size_t>(Frames), 0.5f), Out0(In.size()), Out1(In.size());
  float* Ins[2] = {In.data(), In.data()};
  float* Outs[2] = {Out0.data(), Out1.data()};
  for (auto _ : State) {
    if (Accumulating)
      Effect->Process(Effect, Ins, Outs, Frames);
    else
      Effect->Process32Replacing(Effect, Ins, Outs, Frames);
    benchmark::DoNotOptimize(Out0.data());
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations() * Frames);
  Effect->Dispatcher(Effect, effClose, 0, 0, nullptr, 0);
}

}  // namespace

BENCHMARK_TEMPLATE(BM_ProcessEntry, false)->Arg(1)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_ProcessEntry, true)->Arg(1)->Arg(64)->Arg(1024);
