// The biquad family: worked designs, designs checked through their frequency response, the
// two-state processing form to the last bit, the state stack, order and assignment.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "dsp/KVX_DspFilterBasics.h"

using namespace kvx;

namespace {

std::vector<double> Noise(size_t Count, unsigned Seed = 1) {
  std::mt19937 Gen(Seed);
  std::uniform_real_distribution<double> D(-1.0, 1.0);
  std::vector<double> V(Count);
  for (double& x : V) x = D(Gen);
  return V;
}

// Both poles of 1 + a1 z^-1 + a2 z^-2 inside the unit circle.
bool PolesInside(double A1, double A2) {
  const std::complex<double> Disc = std::sqrt(std::complex<double>(A1 * A1 - 4 * A2));
  return std::abs((-A1 + Disc) / 2.0) < 1 && std::abs((-A1 - Disc) / 2.0) < 1;
}

template <class T>
std::unique_ptr<TCustomBiquadIIRFilter> Make(double Frequency, double Gain, double BandWidth) {
  auto F = std::make_unique<T>();
  F->SetFrequency(Frequency);
  F->SetGain(Gain);
  F->SetBandWidth(BandWidth);
  return F;
}

}  // namespace

TEST(DspBiquad, HighpassWorkedNumbers) {
  TBasicHighpassFilter F;
  F.SetBandWidth(2);
  F.SetFrequency(275);
  EXPECT_NEAR(F.Nominator(0), 0.9710855, 5e-8);
  EXPECT_NEAR(F.Nominator(1), -1.9421710, 5e-8);
  EXPECT_NEAR(F.Nominator(2), 0.9710855, 5e-8);
  EXPECT_NEAR(F.Denominator(0), -1.9414254, 5e-8);
  EXPECT_NEAR(F.Denominator(1), 0.9429165, 5e-8);
  EXPECT_EQ(F.Nominator(1), -2 * F.Nominator(0));
  EXPECT_EQ(F.Nominator(2), F.Nominator(0));
  EXPECT_NEAR(F.MagnitudeSquared(22050), 1.0, 1e-12);
}

TEST(DspBiquad, PeakWorkedNumbers) {
  TBasicPeakFilter F;
  F.SetFrequency(1700);
  F.SetGain(11.42);
  F.SetBandWidth(3.7);
  EXPECT_NEAR(F.Nominator(0), 1.4681833, 5e-8);
  EXPECT_NEAR(F.Nominator(1), -1.6078978, 5e-8);
  EXPECT_EQ(F.Nominator(1), F.Denominator(0));
  EXPECT_NEAR(F.Nominator(2), 0.1880593, 5e-8);
  EXPECT_NEAR(F.Denominator(1), 0.6562426, 5e-8);
  EXPECT_NEAR(std::sqrt(F.MagnitudeSquared(1700)), 3.72, 0.005);
}

TEST(DspBiquad, PeakAtZeroGainPassesTheSignal) {
  TBasicPeakFilter F;
  F.SetFrequency(1700);
  F.SetBandWidth(3.7);
  EXPECT_NEAR(F.Nominator(0), 1.0, 1e-15);
  EXPECT_EQ(F.Nominator(1), F.Denominator(0));
  EXPECT_NEAR(F.Nominator(2), F.Denominator(1), 1e-15);
  for (double x : Noise(2000)) EXPECT_NEAR(F.ProcessSample64(x), x, 1e-12);
}

// Designs checked by what they are for: (design, gain, frequency at which to look, expected
// magnitude there).
TEST(DspBiquad, DesignsThroughTheirFrequencyResponse) {
  using Maker = std::function<std::unique_ptr<TCustomBiquadIIRFilter>(double)>;
  struct Case {
    const char* Name;
    Maker Create;
    double Gain, At;
    double Magnitude;  // negative: A^2 sin w0 / (2 alpha), the value at the cutoff
  };
  const double Fc = 1000, Bw = 1.5;
  auto Mk = [&](auto Tag) {
    using T = decltype(Tag);
    return Maker([=](double G) { return Make<T>(Fc, G, Bw); });
  };
  std::vector<Case> Cases;
  for (double G : {0.0, 6.0, -13.35, 11.42}) {
    const double A2 = std::pow(10, G / 20);
    Cases.push_back({"peak centre", Mk(TBasicPeakFilter{}), G, Fc, A2});
    Cases.push_back({"peak far", Mk(TBasicPeakFilter{}), G, 1e-3, 1.0});
    Cases.push_back({"lowcut pass", Mk(TBasicLowcutFilter{}), G, 22050, A2});
    Cases.push_back({"lowcut stop", Mk(TBasicLowcutFilter{}), G, 1e-3, 0.0});
    Cases.push_back({"lowcut cutoff", Mk(TBasicLowcutFilter{}), G, Fc, -1});
    Cases.push_back({"highcut pass", Mk(TBasicHighcutFilter{}), G, 0, A2});
    Cases.push_back({"highcut stop", Mk(TBasicHighcutFilter{}), G, 22050, 0.0});
    Cases.push_back({"highcut cutoff", Mk(TBasicHighcutFilter{}), G, Fc, -1});
    Cases.push_back({"bandpass centre", Mk(TBasicBandpassFilter{}), G, Fc, A2});
    Cases.push_back({"bandpass DC", Mk(TBasicBandpassFilter{}), G, 0, 0.0});
    Cases.push_back({"notch centre", Mk(TBasicNotchFilter{}), G, Fc, 0.0});
    Cases.push_back({"notch DC", Mk(TBasicNotchFilter{}), G, 0, A2});
    for (double f : {0.0, 100.0, 1000.0, 5000.0, 22050.0})
      Cases.push_back({"allpass", Mk(TBasicAllpassFilter{}), G, f, A2});
    Cases.push_back({"low shelf DC", Mk(TBasicLowShelfFilter{}), G, 0, A2});
    Cases.push_back({"low shelf top", Mk(TBasicLowShelfFilter{}), G, 22050, 1});
    Cases.push_back({"low shelf A DC", Mk(TBasicLowShelfAFilter{}), G, 0, A2});
    Cases.push_back({"low shelf A top", Mk(TBasicLowShelfAFilter{}), G, 22050, 1});
    Cases.push_back({"low shelf B DC", Mk(TBasicLowShelfBFilter{}), G, 0, A2});
    Cases.push_back({"low shelf B top", Mk(TBasicLowShelfBFilter{}), G, 22050, 1});
    Cases.push_back({"high shelf A DC", Mk(TBasicHighShelfAFilter{}), G, 0, 1});
    Cases.push_back({"high shelf A top", Mk(TBasicHighShelfAFilter{}), G, 22050, A2});
    Cases.push_back({"high shelf B DC", Mk(TBasicHighShelfBFilter{}), G, 0, 1});
    Cases.push_back({"high shelf B top", Mk(TBasicHighShelfBFilter{}), G, 22050, A2});
    Cases.push_back({"gain", Mk(TBasicGainFilter{}), G, 3000, A2});
  }
  for (const Case& c : Cases) {
    auto F = c.Create(c.Gain);
    double Expected = c.Magnitude;
    if (Expected < 0) Expected = F->GainFactorSquared() * F->ExpW0().Im / (2 * F->Alpha());
    const double M = std::sqrt(F->MagnitudeSquared(c.At));
    EXPECT_NEAR(M, Expected, 1e-6 * std::max(1.0, Expected)) << c.Name << " gain " << c.Gain;
    EXPECT_TRUE(PolesInside(F->Denominator(0), F->Denominator(1))) << c.Name;
    // The parts agree with the magnitude and the phase.
    double Re, Im;
    F->Complex(c.At, Re, Im);
    EXPECT_NEAR(Re * Re + Im * Im, F->MagnitudeSquared(c.At), 1e-12);
    EXPECT_EQ(F->Real(c.At), Re);
    EXPECT_EQ(F->Imaginary(c.At), Im);
    EXPECT_EQ(F->Phase(c.At), std::atan2(Im, Re));
    if (M > 1e-6) {
      EXPECT_NEAR(F->MagnitudeLog10(c.At), 20 * std::log10(M), 1e-9) << c.Name;
    }
  }
}

TEST(DspBiquad, ProcessingFormToTheLastBit) {
  TBasicPeakFilter F;
  F.SetFrequency(1700);
  F.SetGain(11.42);
  F.SetBandWidth(3.7);
  const double b0 = F.Nominator(0), b1 = F.Nominator(1), b2 = F.Nominator(2);
  const double a1 = F.Denominator(0), a2 = F.Denominator(1);
  TBasicPeakFilter G;
  G.Assign(&F);
  double s0 = 0, s1 = 0, t0 = 0, t1 = 0;
  for (double x : Noise(500)) {
    const double y = b0 * x + s0;
    s0 = b1 * x - a1 * y + s1;
    s1 = b2 * x - a2 * y;
    EXPECT_EQ(F.ProcessSample64(x), y);

    const float xf = static_cast<float>(x);
    const double xw = xf;
    const float yf = static_cast<float>(b0 * xw + t0);
    t0 = b1 * xw - a1 * static_cast<double>(yf) + t1;
    t1 = b2 * xw - a2 * static_cast<double>(yf);
    EXPECT_EQ(G.ProcessSample32(xf), yf);
  }
  EXPECT_EQ(F.State(0), s0);
  EXPECT_EQ(F.State(1), s1);
  EXPECT_EQ(G.State(0), t0);
  EXPECT_EQ(G.State(1), t1);
}

TEST(DspBiquad, HighcutRunsItsOwnNumeratorShape) {
  TBasicHighcutFilter F;
  F.SetFrequency(3000);
  F.SetBandWidth(0.7);
  const double b0 = F.Nominator(0), a1 = F.Denominator(0), a2 = F.Denominator(1);
  EXPECT_EQ(F.Nominator(1), 2 * b0);
  double s0 = 0, s1 = 0;
  for (double x : Noise(300)) {
    const double u = b0 * x;
    const double y = u + s0;
    s0 = 2 * u - a1 * y + s1;
    s1 = u - a2 * y;
    EXPECT_EQ(F.ProcessSample64(x), y);
  }
  TBasicHighcutFilter G;
  G.SetFrequency(3000);
  G.SetBandWidth(0.7);
  double t0 = 0, t1 = 0;
  for (double x : Noise(300)) {
    const float u = static_cast<float>(b0 * static_cast<double>(static_cast<float>(x)));
    const float y = static_cast<float>(u + t0);
    t0 = 2 * static_cast<double>(u) - a1 * y + t1;
    t1 = u - a2 * y;
    EXPECT_EQ(G.ProcessSample32(static_cast<float>(x)), y);
  }
}

TEST(DspBiquad, GainFilterScalesWithoutStates) {
  TBasicGainFilter F;
  F.SetGain(-7);
  for (double x : {0.25, -1.0, 3.5}) EXPECT_EQ(F.ProcessSample64(x), x * F.GainFactorSquared());
  EXPECT_EQ(F.State(0), 0.0);
  EXPECT_EQ(F.Nominator(0), F.GainFactorSquared());
}

// The block forms, the final-class calls and the calls through the base interface give the
// same numbers, for every processing form of the family.
TEST(DspBiquad, BlockAndVirtualCallsMatchPerSampleCalls) {
  std::vector<std::unique_ptr<TCustomBiquadIIRFilter>> Filters;
  Filters.push_back(Make<TBasicPeakFilter>(1700, 5, 2));
  Filters.push_back(Make<TBasicHighcutFilter>(3000, 2, 1));
  Filters.push_back(Make<TBasicGainFilter>(3000, -4, 1));
  Filters.push_back(Make<TBasicHighpassFilter>(275, 0, 2));
  const std::vector<double> In = Noise(1000, 7);
  for (auto& F : Filters) {
    F->PushStates();
    std::vector<double> Ref(In.size());
    std::vector<float> Ref32(In.size());
    for (size_t i = 0; i < In.size(); ++i) Ref[i] = F->ProcessSample64(In[i]);
    F->PopStates();
    F->PushStates();
    for (size_t i = 0; i < In.size(); ++i) Ref32[i] = F->ProcessSample32(static_cast<float>(In[i]));
    F->PopStates();
    F->PushStates();
    std::vector<double> B = In;
    F->ProcessBlock64(B.data(), static_cast<int32_t>(B.size()));
    EXPECT_EQ(B, Ref);
    F->PopStates();
    std::vector<float> B32(In.begin(), In.end());
    F->ProcessBlock32(B32.data(), static_cast<int32_t>(B32.size()));
    EXPECT_EQ(B32, Ref32);
  }
  // The final class called directly equals the call through the base.
  TBasicHighpassFilter H;
  H.SetFrequency(275);
  H.SetBandWidth(2);
  TCustomFilter& Base = *Filters[3];
  Base.ResetStates();
  for (double x : In) EXPECT_EQ(H.ProcessSample64(x), Base.ProcessSample64(x));
}

TEST(DspBiquad, IntegerProcessingRoundsEveryProduct) {
  TBasicPeakFilter F;
  F.SetGain(6);
  F.SetFrequency(500);
  const double b0 = F.Nominator(0), b1 = F.Nominator(1), b2 = F.Nominator(2);
  const double a1 = F.Denominator(0), a2 = F.Denominator(1);
  double s0 = 0, s1 = 0;
  for (int64_t x : {1000, -2000, 3, 0, 0, 123456, -7, 0}) {
    const double X = static_cast<double>(x);
    const double y = std::nearbyint(b0 * X) + s0;
    s0 = std::nearbyint(b1 * X) - std::nearbyint(a1 * y) + s1;
    s1 = std::nearbyint(b2 * X) - std::nearbyint(a2 * y);
    EXPECT_EQ(F.ProcessSample64(x), static_cast<int64_t>(y));
  }
}

TEST(DspBiquad, StatesSurviveParameterChangesAndTheStack) {
  TBasicPeakFilter F;
  for (double x : Noise(10)) F.ProcessSample64(x);
  const double S0 = F.State(0), S1 = F.State(1);
  F.SetFrequency(3000);
  F.SetGain(-3);
  F.SetBandWidth(2);
  F.SetSampleRate(48000);
  EXPECT_EQ(F.State(0), S0);
  EXPECT_EQ(F.State(1), S1);

  F.PushStates();
  F.ProcessSample64(0.5);
  F.PushStates();
  F.ProcessSample64(-0.5);
  EXPECT_EQ(F.StateStackDepth(), 2u);
  F.PopStates();
  F.PopStates();
  EXPECT_EQ(F.State(0), S0);
  EXPECT_EQ(F.State(1), S1);
  F.PopStates();  // empty: nothing happens
  EXPECT_EQ(F.State(0), S0);

  F.ResetStates();
  EXPECT_EQ(F.State(0), 0.0);
  EXPECT_EQ(F.State(1), 0.0);
  F.Reset();
  EXPECT_EQ(F.Gain(), 0.0);
}

TEST(DspBiquad, ImpulseResponseLeavesTheStates) {
  TBasicHighcutFilter F;
  F.SetFrequency(2000);
  std::vector<double> IR(4000);
  F.GetIR(IR);
  double Sum = 0;
  for (double v : IR) Sum += v;
  EXPECT_NEAR(Sum, 1.0, 1e-9);  // the DC gain
  EXPECT_EQ(IR[0], F.Nominator(0));

  F.ProcessSample64(0.3);
  const double S0 = F.State(0), S1 = F.State(1);
  std::vector<float> IR32(10);
  F.GetIR(IR32);
  EXPECT_EQ(F.State(0), S0);
  EXPECT_EQ(F.State(1), S1);
  EXPECT_EQ(F.StateStackDepth(), 0u);
  std::vector<float> Empty;
  F.GetIR(Empty);
  EXPECT_EQ(F.StateStackDepth(), 0u);
}

TEST(DspBiquad, OrderIsFixed) {
  TBasicPeakFilter F;
  EXPECT_EQ(F.Order(), 2u);
  try {
    F.SetOrder(4);
    FAIL();
  } catch (const EInvalidOperation& E) {
    EXPECT_STREQ(E.what(), "Order is fixed!");
  }
  EXPECT_EQ(F.Order(), 2u);
}

TEST(DspBiquad, PolesAndZerosOfTheFreshFilter) {
  TBasicNotchFilter F;  // zeros on the unit circle at 1000 Hz, poles inside
  const double W = F.W0();
  EXPECT_NEAR(F.Zero(0).Re, std::cos(W), 1e-6);
  EXPECT_NEAR(F.Zero(0).Im, std::sin(W), 1e-6);
  EXPECT_NEAR(F.Zero(1).Im, -std::sin(W), 1e-6);
  EXPECT_NEAR(F.Pole(0).Re * F.Pole(0).Re + F.Pole(0).Im * F.Pole(0).Im, F.Denominator(1), 1e-6);
}

TEST(DspBiquad, AssignCopiesWithinAClassAndRecomputesAcrossClasses) {
  TBasicPeakFilter Src;
  Src.SetSampleRate(48000);
  Src.SetFrequency(2500);
  Src.SetGain(4);
  Src.SetBandWidth(1.5);
  Src.ProcessSample64(0.7);
  Src.PushStates();

  TBasicPeakFilter Same;
  Same.Assign(&Src);
  EXPECT_EQ(Same.SampleRate(), 48000.0);
  EXPECT_EQ(Same.Frequency(), 2500.0);
  EXPECT_EQ(Same.Gain(), 4.0);
  EXPECT_EQ(Same.BandWidth(), 1.5);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Same.Nominator(i), Src.Nominator(i));
  EXPECT_EQ(Same.State(0), Src.State(0));
  EXPECT_EQ(Same.StateStackDepth(), 1u);

  // Another design: its own coefficients for the copied settings, as a fresh one would have.
  TBasicLowcutFilter Other;
  Other.Assign(&Src);
  TBasicLowcutFilter Fresh;
  Fresh.SetSampleRate(48000);
  Fresh.SetFrequency(2500);
  Fresh.SetGain(4);
  Fresh.SetBandWidth(1.5);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Other.Nominator(i), Fresh.Nominator(i));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Other.Denominator(i), Fresh.Denominator(i));
  EXPECT_EQ(Other.Alpha(), Fresh.Alpha());

  // Equal bandwidth but another frequency: alpha still follows the copied frequency.
  TBasicPeakFilter Dest;
  Dest.SetBandWidth(1.5);
  Dest.Assign(&Src);
  EXPECT_EQ(Dest.Alpha(), Src.Alpha());
  Dest.SetGain(-2);
  Src.SetGain(-2);
  EXPECT_EQ(Dest.Nominator(0), Src.Nominator(0));
}

// At and above half the sample rate the shelves' K stays positive and the filters stable.
TEST(DspBiquad, ShelfCutoffAtOrAboveNyquistStaysStable) {
  std::vector<std::unique_ptr<TCustomBiquadIIRFilter>> Shelves;
  Shelves.push_back(std::make_unique<TBasicLowShelfAFilter>());
  Shelves.push_back(std::make_unique<TBasicLowShelfBFilter>());
  Shelves.push_back(std::make_unique<TBasicHighShelfAFilter>());
  Shelves.push_back(std::make_unique<TBasicHighShelfBFilter>());
  for (auto& F : Shelves) {
    F->SetGain(9);
    for (double f : {22049.0, 22050.0, 30000.0, 44100.0, 60000.0}) {
      F->SetFrequency(f);
      EXPECT_TRUE(PolesInside(F->Denominator(0), F->Denominator(1))) << f;
      EXPECT_TRUE(std::isfinite(F->Nominator(0)));
      double y = 0;
      for (int i = 0; i < 5000; ++i) y = F->ProcessSample64(i % 2 ? 1.0 : -1.0);
      EXPECT_TRUE(std::isfinite(y)) << f;
      F->ResetStates();
    }
  }
}
