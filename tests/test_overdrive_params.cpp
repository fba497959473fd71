// How the effect's state follows its parameters and the host's announcements, checked on the
// module itself (in process, through its record where the host's road matters).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/Process.h"
#include "platform/KVX_System.h"
#include "support/KVX_TestHost.h"

using namespace kvx;
using kvx::test::Dispatch;
using kvx::test::TTestHost;

namespace {

class Effect : public ::testing::Test {
 protected:
  void SetUp() override {
    Record = InstantiateModule(&TTestHost::Callback, ModuleClass<TProcessModule>);
    ASSERT_NE(Record, nullptr);
    Dispatch(Record, effOpen);
    M = static_cast<TProcessModule*>(Record->User);
    Host.Clear();
  }
  void TearDown() override {
    if (Record) Dispatch(Record, effClose);
  }
  void Set(int32_t Index, float Value) { M->SetParameter(Index, Value); }
  void Process(int32_t N, double Level = 0.3) {
    std::vector<double> l(N), r(N), o0(N), o1(N);
    for (int32_t i = 0; i < N; ++i) {
      l[i] = Level * std::sin(i * 0.05);
      r[i] = Level * std::cos(i * 0.07);
    }
    double* in[2] = {l.data(), r.data()};
    double* out[2] = {o0.data(), o1.data()};
    Record->Process64Replacing(Record, in, out, N);
  }

  TTestHost Host;
  PVSTEffect Record = nullptr;
  TProcessModule* M = nullptr;
};

}  // namespace

TEST_F(Effect, StartsAtItsDefaults) {
  const float expected[10] = {100, 0, 0, 0, 0, 1, 1, 0, 0, 0};
  for (int32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(M->GetParameter(i), expected[i]) << i;
    EXPECT_EQ(M->Programs()[0].Parameter(i), expected[i]) << i;
  }
  EXPECT_DOUBLE_EQ(M->Drive(), 100.0);
  EXPECT_DOUBLE_EQ(M->Trim(), 0.2475);
  EXPECT_EQ(M->EffectMix(), 0.0);
  EXPECT_EQ(M->InputGain(), 1.0);
  EXPECT_EQ(M->OutputGain(), 1.0);
  EXPECT_EQ(M->OSFactor(), 1);
  EXPECT_TRUE(M->Symmetric());
  EXPECT_FALSE(M->Stereo());
  EXPECT_FALSE(M->Bypass());
  EXPECT_EQ(M->Tone(0)->Gain(), 0.0);
  EXPECT_EQ(M->Tone(1)->BandWidth(), 3.6);
  EXPECT_EQ(M->HighPass(1)->Frequency(), 275.0);
  EXPECT_EQ(M->HighPass(0)->BandWidth(), 2.0);
  EXPECT_EQ(M->UpDownSampling(0)->Order(), 4);
  EXPECT_EQ(M->Flags().Contains(effFlagsHasEditor), NativeEditorAvailable());
  // Creation sets the defaults before the host is connected: no amAutomate.
  EXPECT_EQ(Host.Count(amAutomate), 0);
}

TEST_F(Effect, DriveSetsGainAndTrim) {
  struct {
    float Drive;
    bool Mode;
    double WantDrive, WantTrim;
  } cases[] = {{0, false, 0.1, 4.46625}, {50, false, 3.16228, 0.511172}, {100, true, 100.0, 0.3245}};
  for (auto c : cases) {
    Set(7, c.Mode ? 1.0f : 0.0f);
    Set(0, c.Drive);
    EXPECT_NEAR(M->Drive(), c.WantDrive, 5e-6) << c.Drive;
    EXPECT_NEAR(M->Trim(), c.WantTrim, 5e-7) << c.Drive;
  }
}

TEST_F(Effect, StereoDoublesTheTrimOnlyAtTheNextDriveOrModeChange) {
  Set(4, 1);
  EXPECT_DOUBLE_EQ(M->Trim(), 0.2475);
  Set(5, 0);
  Set(2, 40);
  EXPECT_DOUBLE_EQ(M->Trim(), 0.2475);
  Set(0, 100);
  EXPECT_DOUBLE_EQ(M->Trim(), 0.495);
  Set(4, 0);
  Set(7, 1);
  Set(7, 0);
  EXPECT_DOUBLE_EQ(M->Trim(), 0.2475);
}

TEST_F(Effect, ToneSetsGainAndBandwidthOfBothFilters) {
  struct {
    float Tone;
    double Gain, BandWidth;
  } cases[] = {{-15, -13.35, 3.5}, {0, 0, 3.6}, {15, 11.42, 3.7}, {7.5, 5.71, 3.65}};
  for (auto c : cases) {
    Set(1, c.Tone);
    M->ApplyPendingChanges();
    for (int ch = 0; ch < 2; ++ch) {
      EXPECT_NEAR(M->Tone(ch)->Gain(), c.Gain, 1e-12) << c.Tone;
      EXPECT_NEAR(M->Tone(ch)->BandWidth(), c.BandWidth, 1e-12) << c.Tone;
      EXPECT_EQ(M->Tone(ch)->Frequency(), 1700.0);
    }
  }
}

TEST_F(Effect, LevelIsRoundedToFourDecimals) {
  Set(2, 100);
  EXPECT_EQ(M->EffectMix(), 1.0);
  Set(2, 50);
  EXPECT_EQ(M->EffectMix(), 0.125);
  Set(2, 0);
  EXPECT_EQ(M->EffectMix(), 0.0);
}

TEST_F(Effect, OversamplingFactorIsOneEightOrSixteen) {
  struct {
    float Value;
    float ReadBack;
    int32_t Factor;
  } cases[] = {{4, 8, 8}, {16, 16, 16}, {1, 1, 1}, {8.5f, 8, 8}, {15.9f, 8, 8}, {1.01f, 8, 8}};
  for (auto c : cases) {
    Set(6, 1);
    Set(6, c.Value);
    M->ApplyPendingChanges();
    EXPECT_EQ(M->GetParameter(6), c.ReadBack) << c.Value;
    EXPECT_EQ(M->OSFactor(), c.Factor) << c.Value;
    EXPECT_EQ(M->UpDownSampling(1)->Factor(), c.Factor) << c.Value;
    // Every filter runs at the oversampled rate, the resampler cutoff stays at 0.495 x host rate.
    EXPECT_EQ(M->HighPass(0)->SampleRate(), 44100.0 * c.Factor);
    EXPECT_EQ(M->Tone(1)->SampleRate(), 44100.0 * c.Factor);
    EXPECT_EQ(M->UpDownSampling(0)->SampleRate(), 44100.0 * c.Factor);
    EXPECT_EQ(M->TempBufferSize(), 1024 * c.Factor);
  }
}

TEST_F(Effect, OnePoleCoefficientsFollowRateAndFactor) {
  // At 44100 Hz, for 3000, 20 and 250 Hz at factors 1, 8 and 16.
  struct {
    double Frequency;
    int32_t Factor;
    double Want;
  } cases[] = {{3000, 1, 0.3877042361}, {3000, 8, 0.8843944944}, {3000, 16, 0.9403952154},
               {20, 1, 0.9934652179},   {20, 8, 0.9991808058},   {20, 16, 0.9995903191},
               {250, 1, 0.9213364270},  {250, 8, 0.9898082133},  {250, 16, 0.9948910392}};
  for (auto c : cases) {
    Set(6, static_cast<float>(c.Factor));
    EXPECT_NEAR(M->CalculateOnePoleCoefficient(c.Frequency), c.Want, 5e-11) << c.Frequency << " " << c.Factor;
  }
  Set(6, 16);
  EXPECT_NEAR(M->LPF(), 0.9403952154, 5e-11);
  EXPECT_NEAR(M->HPF(), 0.9995903191, 5e-11);
}

TEST_F(Effect, ModeSwitchesVoicing) {
  Set(7, 1);
  M->ApplyPendingChanges();
  EXPECT_EQ(M->HighPass(0)->Frequency(), 100.0);
  EXPECT_EQ(M->HighPass(1)->Frequency(), 100.0);
  EXPECT_EQ(M->CutoffHP(), 250);
  EXPECT_EQ(M->TrimBase(), 0.59);
  EXPECT_NEAR(M->HPF(), 0.9213364270, 5e-11);
  Set(7, 0);
  M->ApplyPendingChanges();
  EXPECT_EQ(M->HighPass(0)->Frequency(), 275.0);
  EXPECT_EQ(M->CutoffHP(), 20);
  EXPECT_EQ(M->TrimBase(), 0.45);
  EXPECT_EQ(M->CutoffLP(), 3000);
}

TEST_F(Effect, InputAndOutputAreTenthsOfADecibel) {
  Set(8, -200);
  Set(9, 100);
  EXPECT_NEAR(M->InputGain(), 0.1, 1e-15);
  EXPECT_NEAR(M->OutputGain(), std::sqrt(10.0), 1e-14);
  Set(9, 0);
  EXPECT_EQ(M->OutputGain(), 1.0);
  Set(8, 200);
  EXPECT_NEAR(M->InputGain(), 10.0, 1e-13);
}

TEST_F(Effect, NegativeHostRateIsTakenByMagnitude) {
  Set(6, 8);
  Dispatch(Record, effSetSampleRate, 0, 0, nullptr, -48000.0f);
  M->ApplyPendingChanges();
  EXPECT_EQ(M->HostSampleRate(), 48000.0f);
  EXPECT_EQ(M->HighPass(0)->SampleRate(), 384000.0);
  EXPECT_EQ(M->UpDownSampling(1)->SampleRate(), 384000.0);
  EXPECT_NEAR(M->UpDownSampling(1)->Filter(0)->Frequency(), 0.495 * 48000, 1e-9);
}

TEST_F(Effect, MonoBlockRestartsChannelOnesChain) {
  Set(2, 100);
  Set(4, 1);
  Process(256);
  EXPECT_NE(M->FilterState(5), 0.0);
  EXPECT_NE(M->FilterState(0), 0.0);
  const double hp1 = M->HighPass(1)->State(0);
  Set(4, 0);
  Process(256);
  for (int i = 5; i < 10; ++i) EXPECT_EQ(M->FilterState(i), 0.0) << i;
  EXPECT_NE(M->FilterState(0), 0.0);
  // In mono the second high-pass is left untouched.
  EXPECT_EQ(M->HighPass(1)->State(0), hp1);
}

TEST_F(Effect, SuspendClearsOnlyTheChains) {
  Set(4, 1);
  Process(256);
  const double tone = M->Tone(0)->State(0);
  Dispatch(Record, effMainsChanged, 0, 0);
  Dispatch(Record, effMainsChanged, 0, 1);
  M->ApplyPendingChanges();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(M->FilterState(i), 0.0) << i;
  EXPECT_EQ(M->Tone(0)->State(0), tone);
}

TEST_F(Effect, SoftBypassFromTheHost) {
  EXPECT_EQ(Dispatch(Record, effSetBypass, 0, 1), 1);
  EXPECT_EQ(M->GetParameter(3), 1.0f);
  EXPECT_TRUE(M->Bypass());
  bool reported = false;
  for (const auto& call : Host.Calls())
    if (call.Opcode == amAutomate && call.Index == 3 && call.opt == 1.0f) reported = true;
  EXPECT_TRUE(reported);
  std::vector<float> l(64, 0.25f), r(64, -0.5f), o0(64), o1(64);
  float* in[2] = {l.data(), r.data()};
  float* out[2] = {o0.data(), o1.data()};
  Record->Process32Replacing(Record, in, out, 64);
  EXPECT_EQ(o0, l);
  EXPECT_EQ(o1, r);
  Dispatch(Record, effSetBypass, 0, 0);
  EXPECT_FALSE(M->Bypass());
  Record->Process32Replacing(Record, in, out, 64);
  EXPECT_NE(o1, r);
}

TEST_F(Effect, SetParamsToDefaultRestoresTheDerivedState) {
  const float changed[10] = {12, -7, 33, 1, 1, 0, 16, 1, 55, -20};
  for (int32_t i = 0; i < 10; ++i) Set(i, changed[i]);
  M->SetParamsToDefault();
  M->ApplyPendingChanges();
  const float expected[10] = {100, 0, 0, 0, 0, 1, 1, 0, 0, 0};
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(M->GetParameter(i), expected[i]) << i;
  EXPECT_DOUBLE_EQ(M->Drive(), 100.0);
  EXPECT_DOUBLE_EQ(M->Trim(), 0.2475);
  EXPECT_EQ(M->EffectMix(), 0.0);
  EXPECT_EQ(M->OSFactor(), 1);
  EXPECT_FALSE(M->Bypass());
  EXPECT_EQ(M->Tone(0)->Gain(), 0.0);
  EXPECT_EQ(M->Tone(0)->BandWidth(), 3.6);
  EXPECT_EQ(M->HighPass(0)->Frequency(), 275.0);
  EXPECT_EQ(M->HighPass(0)->SampleRate(), 44100.0);
  EXPECT_EQ(M->InputGain(), 1.0);
}
