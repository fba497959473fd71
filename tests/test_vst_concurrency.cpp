// Parameter changes from one thread while another processes: the values, the handler swap and
// the texts are single aligned stores, and the audio thread takes no lock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/KVX_TestHost.h"
#include "support/KVX_TestModules.h"

using namespace kvx;
using namespace kvx::test;

TEST(Concurrency, ParameterChangesRaceWithProcessing) {
  TTestHost Host;
  PVSTEffect Effect = CreateTestModule();
  ASSERT_NE(Effect, nullptr);
  TTestModule* Module = TestModuleOf(Effect);
  Dispatch(Effect, effOpen);
  Dispatch(Effect, effSetBlockSizeAndSampleRate, 0, 64, nullptr, 48000.0f);
  Dispatch(Effect, effMainsChanged, 0, 1);
  Module->Log.reserve(100000);

  constexpr int Frames = 64;
  std::atomic<bool> Stop{false};
  std::atomic<long> Blocks{0};
  std::atomic<long> BadSamples{0};
  std::thread Audio([&] {
    std::vector<float> In(Frames, 1.0f), Out0(Frames), Out1(Frames);
    std::vector<double> In64(Frames, 1.0), Out64a(Frames), Out64b(Frames);
    float* Ins[2] = {In.data(), In.data()};
    float* Outs[2] = {Out0.data(), Out1.data()};
    double* Ins64[2] = {In64.data(), In64.data()};
    double* Outs64[2] = {Out64a.data(), Out64b.data()};
    while (!Stop.load()) {
      Effect->Process32Replacing(Effect, Ins, Outs, Frames);
      Effect->Process64Replacing(Effect, Ins64, Outs64, Frames);
      Effect->Process(Effect, Ins, Outs, Frames);
      // Whatever handler ran, every sample is a gain of 0..2 (or the copy) of 1, plus what the
      // accumulating pass added.
      for (float v : Out0)
        if (!(v >= 0.0f && v <= 4.0f)) ++BadSamples;
      (void)Effect->GetParameter(Effect, 0);
      ++Blocks;
    }
  });

  for (int i = 0; i < 20000; ++i) {
    Effect->SetParameter(Effect, 0, static_cast<float>(i % 100) / 100.0f);
    Effect->SetParameter(Effect, 1, (i / 7) % 2 ? 1.0f : 0.0f);
    if (i % 50 == 0) {
      char Buffer[64];
      Dispatch(Effect, effGetParamDisplay, 0, 0, Buffer);
    }
  }
  while (Blocks.load() < 100) std::this_thread::yield();
  Stop = true;
  Audio.join();
  EXPECT_EQ(BadSamples.load(), 0);
  EXPECT_GT(Module->ProcessCalls.load(), 0);
  EXPECT_EQ(Dispatch(Effect, effClose), 1);
}
