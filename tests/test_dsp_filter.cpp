// Filter base layers: setters and their rules, derived values, change notification, assignment.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "dsp/KVX_DspFilterBasics.h"
#include "dsp/KVX_DspUpDownsampling.h"

using namespace kvx;

namespace {

// Counts OnChange calls of one object.
struct ChangeCounter {
  int Count = 0;
  TObject* LastSender = nullptr;
  void Attach(TNotifiablePersistent& Object) {
    Object.SetOnChange([this](TObject* Sender) {
      ++Count;
      LastSender = Sender;
    });
  }
};

}  // namespace

TEST(DspFilterBase, DecibelToAmplitude) {
  EXPECT_DOUBLE_EQ(DecibelToAmplitude(0), 1.0);
  EXPECT_NEAR(DecibelToAmplitude(20), 10.0, 1e-13);
  EXPECT_NEAR(DecibelToAmplitude(-6), 0.5011872336272722, 1e-15);
  EXPECT_GT(DecibelToAmplitude(-999), 0.0);
  EXPECT_EQ(DecibelToAmplitude(-1000), 0.0);
  EXPECT_EQ(DecibelToAmplitude(-1e6), 0.0);
}

TEST(DspFilterBase, FreshFilterHasTheDocumentedDefaults) {
  TBasicPeakFilter F;
  EXPECT_EQ(F.SampleRate(), 44100.0);
  EXPECT_EQ(F.SRR(), 1 / 44100.0);
  EXPECT_EQ(F.Frequency(), 1000.0);
  EXPECT_EQ(F.Gain(), 0.0);
  EXPECT_EQ(F.BandWidth(), 1.0);
  EXPECT_EQ(F.GainFactor(), 1.0);
  EXPECT_EQ(F.GainFactorSquared(), 1.0);
  const double W0 = 2 * std::numbers::pi * 1000 * (1 / 44100.0);
  EXPECT_EQ(F.W0(), W0);
  EXPECT_EQ(F.ExpW0().Re, std::cos(W0));
  EXPECT_EQ(F.ExpW0().Im, std::sin(W0));
  // Alpha was computed from the final w0 during construction.
  EXPECT_NEAR(F.Alpha(),
              std::sin(W0) * std::sinh(std::log(2.0) / 2 * std::sqrt((1 + std::cos(W0)) / 2) * W0 /
                                       std::sin(W0)),
              1e-16);
  EXPECT_EQ(F.State(0), 0.0);
  EXPECT_EQ(F.State(1), 0.0);
  EXPECT_EQ(F.UpdateCount(), 0);
}

TEST(DspFilterBase, SampleRateSetter) {
  TBasicLowcutFilter F;
  ChangeCounter C;
  C.Attach(F);
  F.SetSampleRate(-48000);
  EXPECT_EQ(F.SampleRate(), 48000.0);
  EXPECT_EQ(F.SRR(), 1 / 48000.0);
  EXPECT_EQ(F.W0(), 2 * std::numbers::pi * 1000 * (1 / 48000.0));
  EXPECT_EQ(C.Count, 1);
  EXPECT_EQ(C.LastSender, &F);

  const double B0 = F.Nominator(0);
  F.SetSampleRate(48000);
  F.SetSampleRate(-48000);
  EXPECT_EQ(C.Count, 1);
  EXPECT_EQ(F.Nominator(0), B0);

  EXPECT_THROW(F.SetSampleRate(0), EArgumentError);
  EXPECT_THROW(F.SetSampleRate(std::nan("")), EArgumentError);
  EXPECT_THROW(F.SetSampleRate(INFINITY), EArgumentError);
  EXPECT_EQ(F.SampleRate(), 48000.0);
  EXPECT_EQ(F.SRR(), 1 / 48000.0);
  EXPECT_EQ(C.Count, 1);
}

TEST(DspFilterBase, FrequencyAndGainSetters) {
  TBasicPeakFilter F;
  ChangeCounter C;
  C.Attach(F);
  F.SetFrequency(1000);
  F.SetGain(0);
  EXPECT_EQ(C.Count, 0);

  F.SetGain(6);
  EXPECT_EQ(C.Count, 1);
  EXPECT_NEAR(F.GainFactor(), 1.4125375446227544, 1e-15);
  EXPECT_NEAR(F.GainFactorSquared(), 1.9952623149688797, 1e-14);
  EXPECT_EQ(F.GainFactorSquared(), F.GainFactor() * F.GainFactor());

  // Gain is not limited.
  F.SetGain(-2000);
  EXPECT_EQ(F.Gain(), -2000.0);
  EXPECT_EQ(F.GainFactor(), 0.0);

  F.SetFrequency(0);
  EXPECT_EQ(F.Frequency(), 1e-10);
  F.SetFrequency(-5);
  EXPECT_EQ(F.Frequency(), 1e-10);
  EXPECT_EQ(C.Count, 3);  // -2000 dB, then 0 Hz; -5 Hz gives the same floor

  // Above the limit w0 is held at 3.141 while cos and sin keep the unlimited angle.
  F.SetFrequency(22049);
  const double W = 2 * std::numbers::pi * 22049 * (1 / 44100.0);
  EXPECT_NEAR(W, 3.14145, 1e-5);
  EXPECT_EQ(F.W0(), 3.141);
  EXPECT_EQ(F.ExpW0().Re, std::cos(W));
  EXPECT_EQ(F.ExpW0().Im, std::sin(W));
}

TEST(DspFilterBase, BandwidthFloorAndAlpha) {
  TBasicHighpassFilter F;
  F.SetBandWidth(0);
  EXPECT_EQ(F.BandWidth(), 0.001);
  F.SetBandWidth(-3);
  EXPECT_EQ(F.BandWidth(), 0.001);
  F.SetBandWidth(0.0011);
  EXPECT_EQ(F.BandWidth(), 0.0011);

  // An unchanged (or equally floored) bandwidth does nothing.
  ChangeCounter C;
  C.Attach(F);
  F.SetBandWidth(0.0011);
  EXPECT_EQ(C.Count, 0);
  F.SetBandWidth(0.0005);
  F.SetBandWidth(0.0002);
  EXPECT_EQ(C.Count, 1);
  F.SetOnChange(nullptr);

  struct Case {
    double Frequency, BandWidth, Alpha;
  };
  for (const Case& c : {Case{275, 2, 0.0293803}, Case{1700, 3.6, 0.384543}}) {
    F.SetFrequency(c.Frequency);
    F.SetBandWidth(c.BandWidth);
    EXPECT_NEAR(F.Alpha(), c.Alpha, 5e-7) << c.Frequency;
  }
}

TEST(DspFilterBase, BeginUpdateSilencesNotificationButNotRecomputation) {
  TBasicPeakFilter F;
  ChangeCounter C;
  C.Attach(F);
  F.BeginUpdate();
  F.BeginUpdate();
  const double B0 = F.Nominator(0);
  F.SetGain(6);
  F.SetFrequency(2000);
  F.SetSampleRate(96000);
  EXPECT_NE(F.Nominator(0), B0);
  EXPECT_EQ(C.Count, 0);
  F.EndUpdate();
  F.EndUpdate();
  EXPECT_EQ(C.Count, 0);  // reaching 0 does not notify
  F.SetGain(3);
  EXPECT_EQ(C.Count, 1);
}

TEST(DspFilterBase, UnpairedEndUpdateIsAnAssertionFailure) {
  TBasicPeakFilter F;
  try {
    F.EndUpdate();
    FAIL() << "no error";
  } catch (const EAssertionFailed& E) {
    EXPECT_EQ(std::string(E.what()).rfind("Unpaired TThreadPersistent.EndUpdate", 0), 0u) << E.what();
  }
  EXPECT_EQ(F.UpdateCount(), 0);
  F.BeginUpdate();
  F.EndUpdate();
  EXPECT_THROW(F.EndUpdate(), EAssertionFailed);
  EXPECT_EQ(F.UpdateCount(), 0);
}

namespace {
class TUnrelated : public TPersistent {};
}  // namespace

TEST(DspFilterBase, AssignBetweenUnrelatedClassesIsRefused) {
  TBasicPeakFilter F;
  TUnrelated U;
  EXPECT_THROW(F.Assign(&U), EInvalidOperation);
  EXPECT_THROW(U.Assign(&F), EInvalidOperation);
  EXPECT_THROW(F.Assign(nullptr), EInvalidOperation);
}
