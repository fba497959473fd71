// One thread processes without pause while another changes every parameter, announces block sizes
// and sample rates, switches bypass and suspends and resumes: nothing may race (ThreadSanitizer
// runs this suite), and the output stays finite.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "effect/Process.h"
#include "support/KVX_TestHost.h"

using namespace kvx;
using kvx::test::Dispatch;


TEST(OverdriveConcurrency, ChangesWhileProcessingDoNotRace) {
  PVSTEffect e = InstantiateModule(&kvx::test::QuietHostCallback, ModuleClass<TProcessModule>);
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100);
  Dispatch(e, effSetBlockSize, 0, 256);
  Dispatch(e, effMainsChanged, 0, 1);

  std::atomic<bool> done{false};
  std::atomic<bool> finite{true};
  std::atomic<long> blocks{0};
  std::atomic<long> progress{0};
  std::thread audio([&] {
    std::vector<double> l(512), r(512), o0(512), o1(512);
    std::vector<float> fl(512), fr(512), f0(512), f1(512);
    for (int i = 0; i < 512; ++i) {
      l[i] = 0.5 * std::sin(i * 0.05);
      r[i] = 0.5 * std::sin(i * 0.031);
      fl[i] = static_cast<float>(l[i]);
      fr[i] = static_cast<float>(r[i]);
    }
    double* in64[2] = {l.data(), r.data()};
    double* out64[2] = {o0.data(), o1.data()};
    float* in32[2] = {fl.data(), fr.data()};
    float* out32[2] = {f0.data(), f1.data()};
    long n = 0;
    while (!done.load() || n < 200) {
      const int32_t frames = 64 + static_cast<int32_t>(n % 7) * 64;
      if (n % 3 == 0)
        e->Process32Replacing(e, in32, out32, frames);
      else
        e->Process64Replacing(e, in64, out64, frames);
      if (!std::isfinite(o0[10]) || !std::isfinite(o1[frames - 1]) || !std::isfinite(f0[5]))
        finite = false;
      ++n;
      progress.store(n);
    }
    blocks = n;
  });

  const float oversampling[3] = {0.0f, 0.5f, 1.0f};
  // Keep changing until both sides have done a fair share of work at the same time.
  for (int round = 0; round < 300 || progress.load() < 1000; ++round) {
    for (int32_t p = 0; p < 10; ++p)
      e->SetParameter(e, p, static_cast<float>((round * 7 + p * 3) % 11) / 10.0f);
    e->SetParameter(e, 6, oversampling[round % 3]);
    if (round % 5 == 0) Dispatch(e, effSetBlockSize, 0, 64 << (round % 4));
    if (round % 7 == 0) Dispatch(e, effSetSampleRate, 0, 0, nullptr, round % 2 ? 48000.0f : 96000.0f);
    if (round % 11 == 0) Dispatch(e, effSetBypass, 0, round % 2);
    if (round % 13 == 0) {
      Dispatch(e, effMainsChanged, 0, 0);
      Dispatch(e, effMainsChanged, 0, 1);
    }
    (void)e->GetParameter(e, round % 10);
  }
  done = true;
  audio.join();
  EXPECT_TRUE(finite.load());
  EXPECT_GE(blocks.load(), 1000);
  Dispatch(e, effClose);
}
