// Butterworth filters: construction, worked designs, the section recursions to the last bit,
// response and stability over all orders, order and cutoff limits, states and assignment.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/KVX_DspFilterButterworth.h"

using namespace kvx;

namespace {

std::vector<double> Noise(size_t Count, unsigned Seed = 3) {
  std::mt19937 Gen(Seed);
  std::uniform_real_distribution<double> D(-1.0, 1.0);
  std::vector<double> V(Count);
  for (double& x : V) x = D(Gen);
  return V;
}

template <class T>
void Configure(T& F, uint32_t Order, double Rate, double Cutoff) {
  F.SetOrder(Order);
  F.SetSampleRate(Rate);
  F.SetFrequency(Cutoff);
}

// Poles of every section: z^2 - c0 z - c1 and z - c0.
double LargestPoleRadius(const TCustomButterworthFilter& F) {
  double R = 0;
  const uint32_t N = F.Order();
  for (uint32_t k = 0; k < N / 2; ++k) {
    const double c0 = F.Coefficient(2 * k), c1 = F.Coefficient(2 * k + 1);
    const std::complex<double> Disc = std::sqrt(std::complex<double>(c0 * c0 + 4 * c1));
    R = std::max({R, std::abs((c0 + Disc) / 2.0), std::abs((c0 - Disc) / 2.0)});
  }
  if (N & 1) R = std::max(R, std::abs(F.Coefficient(N - 1)));
  return R;
}

}  // namespace

TEST(DspButterworth, FreshFilter) {
  TButterworthLowPassFilter F(4);
  EXPECT_EQ(F.Order(), 4u);
  EXPECT_EQ(F.SampleRate(), 44100.0);
  EXPECT_EQ(F.Frequency(), 1000.0);
  EXPECT_EQ(F.Gain(), 0.0);
  EXPECT_EQ(F.DownsampleAmount(), 0);
  EXPECT_EQ(F.DownsampleFaktor(), 1);
  EXPECT_EQ(F.TanW0(), std::tan(0.5 * ((1 / 44100.0) * 2 * std::numbers::pi * 1000.0)));
  EXPECT_NEAR(F.TanW0(), std::tan(std::numbers::pi * 1000 / 44100), 1e-16);
  // A fresh filter equals one brought to the same settings through its setters.
  TButterworthLowPassFilter G(2);
  G.SetFrequency(500);
  G.SetOrder(4);
  G.SetFrequency(1000);
  EXPECT_EQ(F.FilterGain(), G.FilterGain());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(F.Coefficient(i), G.Coefficient(i));
  for (int i = 0; i < 64; ++i) EXPECT_EQ(F.State(i), 0.0);
  EXPECT_NEAR(F.MagnitudeSquared(0), 1.0, 1e-12);

  // Order 0 is a plain gain of the gain factor.
  TButterworthLowPassFilter Zero;
  EXPECT_EQ(Zero.Order(), 0u);
  EXPECT_EQ(Zero.ProcessSample64(0.75), 0.75);
  TButterworthHighPassFilter HighZero(0);
  EXPECT_EQ(HighZero.ProcessSample64(-0.5), -0.5);
  Zero.SetGain(6);
  EXPECT_EQ(Zero.ProcessSample64(1.0), Zero.GainFactor());
  EXPECT_NEAR(Zero.GainFactor(), std::pow(10, 6.0 / 40), 1e-15);
}

TEST(DspButterworth, WorkedDesignsOfTheResampler) {
  struct Case {
    double Rate, K, KTol, Gain, GainTol, C[4];
  };
  // Tolerances: half a unit of the last digit given.
  for (const Case& c :
       {Case{44100, 63.65674, 5e-6, 0.9597822, 5e-8, {-1.9752696, -0.9762448, -1.9426382, -0.9435973}},
        Case{352800, 0.1968720, 5e-8, 0.000900495, 5e-10,
             {1.6162953, -0.7466378, 1.3707244, -0.4812634}}}) {
    TButterworthLowPassFilter F(4);
    F.SetSampleRate(c.Rate);
    F.SetFrequency(21829.5);
    EXPECT_NEAR(F.TanW0(), c.K, c.KTol) << c.Rate;
    EXPECT_NEAR(F.FilterGain(), c.Gain, c.GainTol) << c.Rate;
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(F.Coefficient(i), c.C[i], 5e-8) << c.Rate << " " << i;
    EXPECT_NEAR(F.MagnitudeSquared(0), 1.0, 1e-12);
    // The damping of the sections: 2 sin(pi/8) and 2 sin(3 pi/8).
    const double K = F.TanW0(), K2 = K * K;
    for (int k = 0; k < 2; ++k) {
      const double e = 2 * std::sin((2 * k + 1) * std::numbers::pi / 8) * K;
      EXPECT_NEAR(F.Coefficient(2 * k + 1), (e - K2 - 1) / (K2 + e + 1), 1e-12);
    }
  }
}

TEST(DspButterworth, OrderOneIsASingleFirstOrderSection) {
  TButterworthLowPassFilter F(1);
  const double K = F.TanW0();
  EXPECT_NEAR(F.FilterGain(), K / (1 + K), 1e-16);
  EXPECT_NEAR(F.Coefficient(0), (1 - K) / (1 + K), 1e-16);
}

// The recursions of the sections, computed here from the coefficients, in both precisions.
TEST(DspButterworth, SectionRecursionsToTheLastBit) {
  for (double Sign : {1.0, -1.0}) {
    std::unique_ptr<TCustomButterworthFilter> F64, F32;
    if (Sign > 0) {
      F64 = std::make_unique<TButterworthLowPassFilter>(5);
      F32 = std::make_unique<TButterworthLowPassFilter>(5);
    } else {
      F64 = std::make_unique<TButterworthHighPassFilter>(5);
      F32 = std::make_unique<TButterworthHighPassFilter>(5);
    }
    for (auto* F : {F64.get(), F32.get()}) {
      F->SetFrequency(3000);
      F->SetGain(2);
    }
    const double G = F64->FilterGain();
    double C[5], S[5] = {}, T[5] = {};
    for (int i = 0; i < 5; ++i) C[i] = F64->Coefficient(i);
    for (double x : Noise(400)) {
      double u = G * x;
      for (int k = 0; k < 2; ++k) {
        const double y = u + S[2 * k];
        S[2 * k] = Sign * 2 * u + C[2 * k] * y + S[2 * k + 1];
        S[2 * k + 1] = u + C[2 * k + 1] * y;
        u = y;
      }
      {
        const double y = u + S[4];
        S[4] = Sign * u + C[4] * y;
        u = y;
      }
      ASSERT_EQ(F64->ProcessSample64(x), u);

      const float xf = static_cast<float>(x);
      double v = static_cast<float>(G * static_cast<double>(xf));
      for (int k = 0; k < 2; ++k) {
        const double y = static_cast<float>(v + T[2 * k]);
        T[2 * k] = Sign * 2 * v + C[2 * k] * y + T[2 * k + 1];
        T[2 * k + 1] = v + C[2 * k + 1] * y;
        v = y;
      }
      {
        const double y = static_cast<float>(v + T[4]);
        T[4] = Sign * v + C[4] * y;
        v = y;
      }
      ASSERT_EQ(F32->ProcessSample32(xf), static_cast<float>(v));
    }
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(F64->State(i), S[i]);
      EXPECT_EQ(F32->State(i), T[i]);
    }
    for (int i = 5; i < 64; ++i) EXPECT_EQ(F64->State(i), 0.0);
  }
}

TEST(DspButterworth, BlockFormsAndVirtualCallsMatch) {
  TButterworthLowPassFilter F(4);
  F.SetFrequency(5000);
  const std::vector<double> In = Noise(2000, 9);
  std::vector<double> Ref(In.size());
  TCustomFilter& Base = F;
  F.PushStates();
  for (size_t i = 0; i < In.size(); ++i) Ref[i] = Base.ProcessSample64(In[i]);
  F.PopStates();
  F.PushStates();
  for (size_t i = 0; i < In.size(); ++i) EXPECT_EQ(F.ProcessSample64(In[i]), Ref[i]);
  F.PopStates();
  std::vector<double> B = In;
  F.ProcessBlock64(B.data(), static_cast<int32_t>(B.size()));
  EXPECT_EQ(B, Ref);

  TButterworthHighPassFilter H(7);
  H.SetFrequency(200);
  std::vector<float> Ref32(In.size()), B32(In.begin(), In.end());
  H.PushStates();
  for (size_t i = 0; i < In.size(); ++i) Ref32[i] = H.ProcessSample32(static_cast<float>(In[i]));
  H.PopStates();
  H.ProcessBlock32(B32.data(), static_cast<int32_t>(B32.size()));
  EXPECT_EQ(B32, Ref32);
}

TEST(DspButterworth, MinusThreeDecibelsAtTheCutoffForEveryOrder) {
  for (uint32_t N = 1; N <= 64; ++N) {
    for (double Fc : {100.0, 1000.0, 15000.0}) {
      TButterworthLowPassFilter L(N);
      TButterworthHighPassFilter H(N);
      L.SetFrequency(Fc);
      H.SetFrequency(Fc);
      EXPECT_NEAR(L.MagnitudeLog10(Fc), -3.0103, 1e-3) << N << " " << Fc;
      EXPECT_NEAR(H.MagnitudeLog10(Fc), -3.0103, 1e-3) << N << " " << Fc;
      EXPECT_NEAR(L.MagnitudeSquared(0), 1.0, 1e-9) << N;
      EXPECT_NEAR(H.MagnitudeSquared(22050), 1.0, 1e-9) << N;
      EXPECT_LT(L.MagnitudeSquared(22050), 1e-12);
      EXPECT_LT(H.MagnitudeSquared(0), 1e-20);
    }
  }
  // Gain scales the pass band by 10^(gain/20).
  TButterworthLowPassFilter L(3);
  L.SetGain(6);
  EXPECT_NEAR(std::sqrt(L.MagnitudeSquared(0)), std::pow(10, 6.0 / 20), 1e-12);
  double Re, Im;
  L.Complex(500.0, Re, Im);
  EXPECT_EQ(L.Real(500), Re);
  EXPECT_EQ(L.Imaginary(500), Im);
  EXPECT_EQ(L.Phase(500), std::atan2(Im, Re));
}

TEST(DspButterworth, EveryOrderStableDownToTenHertzAt705600) {
  for (uint32_t N = 1; N <= 64; ++N) {
    for (double Fc : {10.0, 100.0, 21829.5, 300000.0, 352799.0}) {
      TButterworthLowPassFilter L(N);
      TButterworthHighPassFilter H(N);
      Configure(L, N, 705600, Fc);
      Configure(H, N, 705600, Fc);
      EXPECT_LT(LargestPoleRadius(L), 1.0) << N << " " << Fc;
      EXPECT_LT(LargestPoleRadius(H), 1.0) << N << " " << Fc;
    }
  }
}

TEST(DspButterworth, CutoffAtOrAboveHalfTheRateIsHeldBelowIt) {
  for (double Fc : {22050.0, 22100.0, 40000.0, 1e6}) {
    TButterworthLowPassFilter L(4);
    L.SetFrequency(Fc);
    EXPECT_GT(L.TanW0(), 0.0) << Fc;
    EXPECT_TRUE(std::isfinite(L.TanW0()));
    EXPECT_LT(LargestPoleRadius(L), 1.0);
    EXPECT_NEAR(L.MagnitudeSquared(0), 1.0, 1e-9);
    double y = 0;
    for (int i = 0; i < 200000; ++i) y = L.ProcessSample64(1.0);
    EXPECT_NEAR(y, 1.0, 1e-6) << Fc;
  }
  // Just below the limit the design is untouched.
  TButterworthLowPassFilter L(2);
  L.SetFrequency(22000);
  EXPECT_EQ(L.TanW0(), std::tan(0.5 * ((1 / 44100.0) * 2 * std::numbers::pi * 22000.0)));
}

TEST(DspButterworth, OrderLimits) {
  TButterworthLowPassFilter F(100);  // would write past the coefficients
  EXPECT_EQ(F.Order(), 64u);
  TButterworthHighPassFilter H(static_cast<uint32_t>(-1));
  EXPECT_EQ(H.Order(), 64u);
  int Changes = 0;
  F.SetOnChange([&](TObject*) { ++Changes; });
  F.SetOrder(200);
  EXPECT_EQ(Changes, 0);
  F.SetOrder(5);
  EXPECT_EQ(F.Order(), 5u);
  EXPECT_EQ(Changes, 1);
  F.SetOrder(5);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(F.GetMaxOrder(), 64u);
}

TEST(DspButterworth, StatesResetAndStack) {
  TButterworthLowPassFilter F(3);
  for (int i = 0; i < 64; ++i) F.SetState(i, i + 1.0);
  F.ResetStates();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(F.State(i), 0.0);
  EXPECT_EQ(F.State(3), 4.0);
  F.SetOrder(6);  // an order change keeps the states
  EXPECT_EQ(F.State(3), 4.0);
  F.ResetStatesInt64();
  EXPECT_EQ(F.State(2), 0.0);

  TButterworthLowPassFilter G(6);
  for (double x : Noise(20)) G.ProcessSample64(x);
  double Saved[6];
  for (int i = 0; i < 6; ++i) Saved[i] = G.State(i);
  G.PushStates();
  G.ProcessSample64(1.0);
  G.PushStates();
  G.ProcessSample64(-1.0);
  G.PopStates();
  G.PopStates();
  G.PopStates();  // empty
  for (int i = 0; i < 6; ++i) EXPECT_EQ(G.State(i), Saved[i]);

  G.SetGain(5);
  G.Reset();
  EXPECT_EQ(G.Gain(), 0.0);
  EXPECT_THROW(G.ProcessSample64(int64_t{5}), EInvalidOperation);
}

TEST(DspButterworth, DownsampleAmountAndFilterValues) {
  TButterworthLowPassFilter F(2);
  F.SetDownsampleAmount(2);
  EXPECT_EQ(F.DownsampleFaktor(), 4);
  EXPECT_EQ(F.TanW0(), std::tan(0.5 * ((1 / 44100.0) * 2 * std::numbers::pi * 4000.0)));
  F.SetDownsampleAmount(-3);
  EXPECT_EQ(F.DownsampleAmount(), 0);
  EXPECT_EQ(F.DownsampleFaktor(), 1);
  F.SetDownsampleAmount(40);
  EXPECT_EQ(F.DownsampleAmount(), 30);
  EXPECT_EQ(F.DownsampleFaktor(), 1 << 30);
  F.SetDownsampleAmount(0);

  int Changes = 0;
  F.SetOnChange([&](TObject*) { ++Changes; });
  const double C0 = F.Coefficient(0);
  F.SetFilterValues(2000.0f, 6.0f);
  EXPECT_EQ(F.Frequency(), 2000.0);
  EXPECT_EQ(F.Gain(), 6.0);
  EXPECT_EQ(F.GainFactor(), std::exp(6.0 * 0.057564627325));
  EXPECT_EQ(F.GainFactorSquared(), 1.0);
  EXPECT_EQ(F.Coefficient(0), C0);
  EXPECT_EQ(F.TanW0(), std::tan(0.5 * ((1 / 44100.0) * 2 * std::numbers::pi * 2000.0)));
  EXPECT_EQ(Changes, 0);
}

TEST(DspButterworth, AssignWithinAClassAndAcrossClasses) {
  TButterworthLowPassFilter Src(5);
  Src.SetSampleRate(96000);
  Src.SetFrequency(8000);
  Src.SetGain(3);
  for (double x : Noise(30)) Src.ProcessSample64(x);

  TButterworthLowPassFilter Same(2);
  Same.Assign(&Src);
  EXPECT_EQ(Same.Order(), 5u);
  EXPECT_EQ(Same.FilterGain(), Src.FilterGain());
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Same.Coefficient(i), Src.Coefficient(i));
    EXPECT_EQ(Same.State(i), Src.State(i));
  }
  EXPECT_EQ(Same.ProcessSample64(0.1), Src.ProcessSample64(0.1));

  // A high-pass receiving the low-pass's settings computes high-pass coefficients.
  TButterworthHighPassFilter Other(2);
  Other.Assign(&Src);
  TButterworthHighPassFilter Fresh(5);
  Fresh.SetSampleRate(96000);
  Fresh.SetFrequency(8000);
  Fresh.SetGain(3);
  EXPECT_EQ(Other.Order(), 5u);
  EXPECT_EQ(Other.FilterGain(), Fresh.FilterGain());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Other.Coefficient(i), Fresh.Coefficient(i));
  EXPECT_NEAR(Other.MagnitudeLog10(8000), 3 - 3.0103, 1e-3);  // 3 dB of gain
}
