// Cost per sample of the DSP paths the overdrive runs: the biquads, the order-4 Butterworth
// low-pass and an up+down pass through the resampler. The counter "per_sample" is the time per
// processed sample (per host-rate sample for the resampler).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "dsp/KVX_DspFilterBasics.h"
#include "dsp/KVX_DspUpDownsampling.h"

using namespace kvx;

namespace {

constexpr int kBlock = 1024;

std::vector<double> Signal(int Count) {
  std::vector<double> V(Count);
  for (int i = 0; i < Count; ++i) V[i] = 0.5 * std::sin(i * 0.01) + 0.25 * std::sin(i * 0.37);
  return V;
}

void PerSample(benchmark::State& State, int64_t SamplesPerIteration) {
  State.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(SamplesPerIteration), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

// The final class called directly: the section runs inline.
void BM_BiquadPeak_Sample64(benchmark::State& State) {
  TBasicPeakFilter F;
  F.SetFrequency(1700);
  F.SetGain(11.42);
  F.SetBandWidth(3.7);
  const std::vector<double> In = Signal(kBlock);
  std::vector<double> Out(kBlock);
  for (auto _ : State) {
    for (int i = 0; i < kBlock; ++i) Out[i] = F.ProcessSample64(In[i]);
    benchmark::DoNotOptimize(Out.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_BiquadPeak_Sample64);

// The same through the base interface, one virtual call per sample, for comparison.
void BM_BiquadPeak_Sample64Virtual(benchmark::State& State) {
  TBasicPeakFilter Peak;
  Peak.SetFrequency(1700);
  TCustomFilter* F = &Peak;
  benchmark::DoNotOptimize(F);
  const std::vector<double> In = Signal(kBlock);
  std::vector<double> Out(kBlock);
  for (auto _ : State) {
    for (int i = 0; i < kBlock; ++i) Out[i] = F->ProcessSample64(In[i]);
    benchmark::DoNotOptimize(Out.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_BiquadPeak_Sample64Virtual);

void BM_BiquadPeak_Block64(benchmark::State& State) {
  TBasicPeakFilter F;
  F.SetFrequency(1700);
  const std::vector<double> In = Signal(kBlock);
  std::vector<double> Buf(kBlock);
  for (auto _ : State) {
    Buf = In;
    F.ProcessBlock64(Buf.data(), kBlock);
    benchmark::DoNotOptimize(Buf.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_BiquadPeak_Block64);

void BM_ButterworthLP4_Sample64(benchmark::State& State) {
  TButterworthLowPassFilter F(4);
  F.SetSampleRate(352800);
  F.SetFrequency(21829.5);
  const std::vector<double> In = Signal(kBlock);
  std::vector<double> Out(kBlock);
  for (auto _ : State) {
    for (int i = 0; i < kBlock; ++i) Out[i] = F.ProcessSample64(In[i]);
    benchmark::DoNotOptimize(Out.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_ButterworthLP4_Sample64);

void BM_ButterworthLP4_Sample32(benchmark::State& State) {
  TButterworthLowPassFilter F(4);
  F.SetSampleRate(352800);
  F.SetFrequency(21829.5);
  const std::vector<double> Src = Signal(kBlock);
  const std::vector<float> In(Src.begin(), Src.end());
  std::vector<float> Out(kBlock);
  for (auto _ : State) {
    for (int i = 0; i < kBlock; ++i) Out[i] = F.ProcessSample32(In[i]);
    benchmark::DoNotOptimize(Out.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_ButterworthLP4_Sample32);

// One host block upsampled and downsampled again at factor Arg, order 4; per host sample.
void BM_UpDown64(benchmark::State& State) {
  const int F = static_cast<int>(State.range(0));
  TKVXUpDownsampling R;
  R.SetOrder(4);
  R.SetFactor(F);
  R.SetSampleRate(44100.0 * F);
  const std::vector<double> In = Signal(kBlock);
  std::vector<double> High(kBlock * F), Out(kBlock);
  for (auto _ : State) {
    for (int i = 0; i < kBlock; ++i) R.Upsample64(In[i], &High[i * F]);
    for (int i = 0; i < kBlock; ++i) Out[i] = R.Downsample64(&High[i * F]);
    benchmark::DoNotOptimize(Out.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_UpDown64)->Arg(1)->Arg(8)->Arg(16);

void BM_UpDown32Block(benchmark::State& State) {
  const int F = static_cast<int>(State.range(0));
  TKVXUpDownsampling R;
  R.SetOrder(4);
  R.SetFactor(F);
  R.SetSampleRate(44100.0 * F);
  const std::vector<double> Src = Signal(kBlock);
  const std::vector<float> In(Src.begin(), Src.end());
  std::vector<float> High(kBlock * F), Out(kBlock);
  for (auto _ : State) {
    R.UpsampleBlock32(In.data(), High.data(), kBlock);
    R.DownsampleBlock32(High.data(), Out.data(), kBlock);
    benchmark::DoNotOptimize(Out.data());
  }
  PerSample(State, kBlock);
}
BENCHMARK(BM_UpDown32Block)->Arg(16);

}  // namespace
