// Throughput of the blend routines on rows of typical artwork, in Mpixel/s.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "gui/KVX_GuiBlend.h"

using namespace kvx;

namespace {

// Artwork-like rows: mostly transparent or opaque, with antialiased edges in between.
std::vector<TPixel32> MakeSource(size_t Count, int Mix) {
  std::vector<TPixel32> Row(Count);
  uint32_t Seed = 12345;
  for (auto& P : Row) {
    Seed = Seed * 1664525u + 1013904223u;
    const uint32_t Kind = (Seed >> 24) % 4;
    uint8_t A;
    if (Mix == 0)
      A = static_cast<uint8_t>(Seed >> 8);  // every alpha
    else
      A = Kind == 0 ? 0 : Kind == 1 ? 255 : static_cast<uint8_t>(Seed >> 8);
    P = TPixel32{static_cast<uint8_t>(Seed), static_cast<uint8_t>(Seed >> 5),
                 static_cast<uint8_t>(Seed >> 11), A};
  }
  return Row;
}

void ReportPixels(benchmark::State& State, size_t Count) {
  State.counters["Mpixel"] = benchmark::Counter(
      static_cast<double>(State.iterations()) * static_cast<double>(Count) / 1e6,
      benchmark::Counter::kIsRate);
}

void BM_OpaqueBlendRow(benchmark::State& State) {
  const size_t Count = static_cast<size_t>(State.range(0));
  const auto Source = MakeSource(Count, static_cast<int>(State.range(1)));
  std::vector<TPixel32> Destination(Count, TPixel32{40, 80, 120, 255});
  for (auto _ : State) {
    OpaqueBlendRow(Source.data(), Destination.data(), static_cast<int32_t>(Count));
    benchmark::DoNotOptimize(Destination.data());
    benchmark::ClobberMemory();
  }
  ReportPixels(State, Count);
}
// Row lengths of a control (254) and of a large map; mix 0: every alpha, 1: artwork mix.
BENCHMARK(BM_OpaqueBlendRow)->Args({254, 0})->Args({254, 1})->Args({4096, 0})->Args({4096, 1});

void BM_WeightedMixRow(benchmark::State& State) {
  const size_t Count = static_cast<size_t>(State.range(0));
  const auto Source = MakeSource(Count, 0);
  std::vector<TPixel32> Destination(Count, TPixel32{40, 80, 120, 255});
  for (auto _ : State) {
    WeightedMixRow(Source.data(), Destination.data(), static_cast<int32_t>(Count), 100);
    benchmark::DoNotOptimize(Destination.data());
    benchmark::ClobberMemory();
  }
  ReportPixels(State, Count);
}
BENCHMARK(BM_WeightedMixRow)->Arg(4096);

void BM_AlphaMergeRow(benchmark::State& State) {
  const size_t Count = static_cast<size_t>(State.range(0));
  const auto Source = MakeSource(Count, 0);
  const auto Background = MakeSource(Count, 1);
  std::vector<TPixel32> Destination = Background;
  for (auto _ : State) {
    State.PauseTiming();
    Destination = Background;
    State.ResumeTiming();
    AlphaMergeRow(Source.data(), Destination.data(), static_cast<uint32_t>(Count));
    benchmark::DoNotOptimize(Destination.data());
  }
  ReportPixels(State, Count);
}
BENCHMARK(BM_AlphaMergeRow)->Arg(4096);

}  // namespace
