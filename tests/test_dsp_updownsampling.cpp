// The up/down-sampler: construction, the exact per-sample operations with their denormal
// offsets, level and amplitude through a round trip, the rules for clearing states, limits,
// block forms, filter class replacement and assignment.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "dsp/KVX_DspUpDownsampling.h"

using namespace kvx;

namespace {

void Configure(TKVXUpDownsampling& R, int32_t Factor, int32_t Order = 4, double HostRate = 44100) {
  R.SetOrder(Order);
  R.SetFactor(Factor);
  R.SetSampleRate(HostRate * Factor);
}

// Gives both filters of R non-zero states.
void Dirty(TKVXUpDownsampling& R) {
  std::vector<double> Buf(R.Factor());
  R.Upsample64(0.8, Buf.data());
  R.Downsample64(Buf.data());
}

bool StatesClear(const TKVXUpDownsampling& R) {
  for (int f = 0; f < 2; ++f) {
    auto* F = dynamic_cast<TCustomButterworthFilter*>(R.Filter(f));
    for (int i = 0; i < 64; ++i)
      if (F->State(i) != 0) return false;
  }
  return true;
}

}  // namespace

TEST(DspUpDownsampling, FreshObject) {
  TKVXUpDownsampling R;
  EXPECT_EQ(R.Order(), 2);
  EXPECT_EQ(R.Factor(), 1);
  EXPECT_EQ(R.TransitionBandwidth(), 0.99);
  EXPECT_EQ(R.SampleRate(), 44100.0);
  EXPECT_EQ(R.FilterClass(), &CreateOrderFilter<TButterworthLowPassFilter>);
  for (int f = 0; f < 2; ++f) {
    auto* F = dynamic_cast<TButterworthLowPassFilter*>(R.Filter(f));
    ASSERT_NE(F, nullptr);
    EXPECT_EQ(F->Order(), 2u);
    EXPECT_EQ(F->Frequency(), 21829.5);
    EXPECT_EQ(F->SampleRate(), 44100.0);
  }
  EXPECT_TRUE(StatesClear(R));
}

TEST(DspUpDownsampling, FactorOneIsOnePassThroughEachFilter) {
  TKVXUpDownsampling R;
  R.SetOrder(4);
  TButterworthLowPassFilter Up(4), Down(4);
  Up.SetFrequency(21829.5);
  Down.SetFrequency(21829.5);
  for (double x : {0.5, -0.25, 1.0, 0.0, 0.0, 0.3}) {
    std::vector<double> Out(8);
    R.Upsample64(x, Out.data());
    EXPECT_EQ(Out[0], Up.ProcessSample64(x + 1e-34));
    EXPECT_EQ(R.Downsample64(Out.data()), Down.ProcessSample64(Out[0] + 1e-34));
  }
}

// At factor 8: the scaled first sample, Factor - 1 offsets, the widened 32-bit offset, and no
// offset after the first sample when downsampling 32-bit samples.
TEST(DspUpDownsampling, ExactOperationsAtFactorEight) {
  TKVXUpDownsampling R64, R32;
  Configure(R64, 8);
  Configure(R32, 8);
  TButterworthLowPassFilter U64(4), D64(4), U32(4), D32(4);
  for (auto* F : {&U64, &D64, &U32, &D32}) {
    F->SetSampleRate(352800);
    F->SetFrequency(21829.5);
  }
  EXPECT_EQ(R64.Filter(0)->Frequency(), 21829.5);
  const double Off32 = static_cast<double>(1e-24f);
  EXPECT_NE(Off32, 1e-24);  // the widened 32-bit value, not the 64-bit one
  // From cleared states with a zero input the offsets are the whole signal, so each one shows.
  for (double x : {0.0, 0.0, 0.0, 0.5, -0.9, 0.125, 0.0}) {
    double O64[8];
    R64.Upsample64(x, O64);
    EXPECT_EQ(O64[0], U64.ProcessSample64(8 * x + 1e-34));
    for (int k = 1; k < 8; ++k) EXPECT_EQ(O64[k], U64.ProcessSample64(-1e-34));
    double Expected = D64.ProcessSample64(O64[0] + 1e-34);
    for (int k = 1; k < 8; ++k) D64.ProcessSample64(O64[k] - 1e-34);
    EXPECT_EQ(R64.Downsample64(O64), Expected);

    const float xf = static_cast<float>(x);
    float O32[8];
    R32.Upsample32(xf, O32);
    EXPECT_EQ(O32[0], static_cast<float>(U32.ProcessSample64(8.0 * xf + Off32)));
    for (int k = 1; k < 8; ++k) EXPECT_EQ(O32[k], static_cast<float>(U32.ProcessSample64(-Off32)));
    const double E32 = D32.ProcessSample64(static_cast<double>(O32[0]) + Off32);
    for (int k = 1; k < 8; ++k) D32.ProcessSample64(static_cast<double>(O32[k]));
    EXPECT_EQ(R32.Downsample32(O32), static_cast<float>(E32));
  }
}

// Through the cascade of both filters, a low-rate component e^(j theta n) comes back multiplied
// by the sum of the cascade's response at (theta + 2 pi k) / F, k = 0 .. F - 1: the images that
// the low-pass leaves fold back when one sample of each group is kept. This is the gain the
// round trip must show; with the order-4 filters the images add less than 1 %.
std::complex<double> RoundTripGain(TKVXUpDownsampling& R, double LowFrequency, double LowRate) {
  std::complex<double> G = 0;
  for (int k = 0; k < R.Factor(); ++k) {
    double Re0, Im0, Re1, Im1;
    R.Filter(0)->Complex(LowFrequency + k * LowRate, Re0, Im0);
    R.Filter(1)->Complex(LowFrequency + k * LowRate, Re1, Im1);
    G += std::complex<double>(Re0, Im0) * std::complex<double>(Re1, Im1);
  }
  return G;
}

TEST(DspUpDownsampling, ConstantSettlesToOneAndASineKeepsItsAmplitude) {
  for (int32_t F : {1, 8, 16}) {
    TKVXUpDownsampling R, S, R32;
    Configure(R, F);
    Configure(S, F);
    Configure(R32, F);
    std::vector<double> Buf(F);
    std::vector<float> Buf32(F);
    double y = 0, Previous = 0;
    float y32 = 0;
    for (int n = 0; n < 4000; ++n) {
      R.Upsample64(1.0, Buf.data());
      Previous = y;
      y = R.Downsample64(Buf.data());
      R32.Upsample32(1.0f, Buf32.data());
      y32 = R32.Downsample32(Buf32.data());
    }
    const std::complex<double> DC = RoundTripGain(R, 0, 44100);
    EXPECT_NEAR(DC.imag(), 0.0, 1e-12);
    EXPECT_NEAR(y, Previous, 1e-12) << F;  // settled
    EXPECT_NEAR(y, DC.real(), 1e-9) << F;
    EXPECT_NEAR(y32, DC.real(), 1e-6) << F;
    EXPECT_NEAR(y, 1.0, F == 1 ? 1e-12 : 0.01) << F;

    // 1 kHz at the host rate of 44100 Hz, amplitude 0.7: the peak of the settled output.
    double Peak = 0;
    for (int n = 0; n < 8820; ++n) {
      S.Upsample64(0.7 * std::sin(2 * std::numbers::pi * 1000 * n / 44100), Buf.data());
      const double v = S.Downsample64(Buf.data());
      if (n >= 4410) Peak = std::max(Peak, std::fabs(v));
    }
    const double Amplitude = 0.7 * std::abs(RoundTripGain(S, 1000, 44100));
    EXPECT_NEAR(Peak, Amplitude, Amplitude * 1e-4) << F;
    EXPECT_NEAR(Peak, 0.7, 0.7 * 0.01) << F;
  }
}

TEST(DspUpDownsampling, WhichChangesClearTheStates) {
  TKVXUpDownsampling R;
  Configure(R, 8);
  int Changes = 0;
  R.SetOnChange([&](TObject*) { ++Changes; });

  Dirty(R);
  R.SetFactor(8);
  R.SetOrder(4);
  R.SetSampleRate(352800);
  R.SetTransitionBandwidth(0.99);
  EXPECT_FALSE(StatesClear(R));
  EXPECT_EQ(Changes, 0);

  Dirty(R);
  R.SetFactor(16);
  EXPECT_TRUE(StatesClear(R));
  EXPECT_EQ(R.Filter(0)->Frequency(), 0.99 * 0.5 * 352800 / 16);
  Dirty(R);
  R.SetOrder(6);
  EXPECT_TRUE(StatesClear(R));
  EXPECT_EQ(R.Filter(1)->Order(), 6u);
  Dirty(R);
  R.SetSampleRate(705600);
  EXPECT_TRUE(StatesClear(R));
  EXPECT_EQ(R.Filter(1)->SampleRate(), 705600.0);
  EXPECT_EQ(R.Filter(1)->Frequency(), 0.99 * 0.5 * 705600 / 16);
  Dirty(R);
  R.SetTransitionBandwidth(0.9);
  EXPECT_TRUE(StatesClear(R));
  Dirty(R);
  R.ResetStates();
  EXPECT_TRUE(StatesClear(R));
  EXPECT_EQ(Changes, 4);
}

TEST(DspUpDownsampling, FactorAndOrderLimits) {
  TKVXUpDownsampling R;
  Configure(R, 8);
  Dirty(R);
  EXPECT_THROW(R.SetFactor(0), EArgumentError);
  EXPECT_THROW(R.SetFactor(-8), EArgumentError);
  EXPECT_EQ(R.Factor(), 8);
  EXPECT_FALSE(StatesClear(R));

  R.SetOrder(100);
  EXPECT_EQ(R.Order(), 64);
  EXPECT_EQ(R.Filter(0)->Order(), 64u);
  R.SetOrder(-3);
  EXPECT_EQ(R.Order(), 0);
  EXPECT_EQ(R.Filter(1)->Order(), 0u);
  // Order 0: the filters are plain gains.
  double Buf[8];
  R.Upsample64(0.5, Buf);
  EXPECT_EQ(Buf[0], 8 * 0.5 + 1e-34);
  EXPECT_THROW(R.SetFilterClass(nullptr), EArgumentError);
}

TEST(DspUpDownsampling, BlockFormsMatchPerSampleCalls) {
  for (int32_t F : {1, 16}) {
    TKVXUpDownsampling A, B;
    Configure(A, F);
    Configure(B, F);
    const int32_t N = 256;
    std::vector<double> In(N), UpA(N * F), UpB(N * F), DownA(N), DownB(N);
    std::vector<float> In32(N), Up32A(N * F), Up32B(N * F), Down32A(N), Down32B(N);
    for (int i = 0; i < N; ++i) {
      In[i] = std::sin(i * 0.05) * 0.8;
      In32[i] = static_cast<float>(In[i]);
    }
    for (int i = 0; i < N; ++i) A.Upsample64(In[i], &UpA[i * F]);
    B.UpsampleBlock64(In.data(), UpB.data(), N);
    EXPECT_EQ(UpA, UpB);
    for (int i = 0; i < N; ++i) DownA[i] = A.Downsample64(&UpA[i * F]);
    B.DownsampleBlock64(UpB.data(), DownB.data(), N);
    EXPECT_EQ(DownA, DownB);

    A.ResetStates();
    B.ResetStates();
    for (int i = 0; i < N; ++i) A.Upsample32(In32[i], &Up32A[i * F]);
    B.UpsampleBlock32(In32.data(), Up32B.data(), N);
    EXPECT_EQ(Up32A, Up32B);
    for (int i = 0; i < N; ++i) Down32A[i] = A.Downsample32(&Up32A[i * F]);
    B.DownsampleBlock32(Up32B.data(), Down32B.data(), N);
    EXPECT_EQ(Down32A, Down32B);
  }
}

TEST(DspUpDownsampling, ReplacingTheFilterClass) {
  TKVXUpDownsampling R;
  Configure(R, 8);
  Dirty(R);
  const double S0 = dynamic_cast<TCustomButterworthFilter*>(R.Filter(0))->State(0);
  int Changes = 0;
  R.SetOnChange([&](TObject*) { ++Changes; });

  R.SetFilterClass(&CreateOrderFilter<TButterworthHighPassFilter>);
  EXPECT_EQ(Changes, 1);
  auto* H = dynamic_cast<TButterworthHighPassFilter*>(R.Filter(0));
  ASSERT_NE(H, nullptr);
  EXPECT_EQ(H->Order(), 4u);
  EXPECT_EQ(H->SampleRate(), 352800.0);
  EXPECT_EQ(H->Frequency(), 21829.5);
  // High-pass coefficients, not the low-pass's.
  EXPECT_NEAR(H->MagnitudeSquared(0), 0.0, 1e-20);
  EXPECT_NEAR(H->MagnitudeSquared(176400), 1.0, 1e-9);
  // A filter of another class runs through the general path.
  double Buf[8];
  R.Upsample64(1.0, Buf);
  EXPECT_TRUE(std::isfinite(R.Downsample64(Buf)));

  R.SetFilterClass(&CreateOrderFilter<TButterworthHighPassFilter>);
  EXPECT_EQ(Changes, 1);

  // Back to the low-pass; within one class the states travel with the settings.
  TKVXUpDownsampling Q;
  Configure(Q, 8);
  Dirty(Q);
  Q.SetFilterClass(&CreateOrderFilter<TButterworthLowPassFilter>);  // unchanged: nothing
  EXPECT_EQ(dynamic_cast<TCustomButterworthFilter*>(Q.Filter(0))->State(0), S0);
}

TEST(DspUpDownsampling, Assign) {
  TKVXUpDownsampling Src;
  Configure(Src, 16, 6, 48000);
  Src.SetTransitionBandwidth(0.9);
  Dirty(Src);
  TKVXUpDownsampling Dst;
  Dst.Assign(&Src);
  EXPECT_EQ(Dst.Factor(), 16);
  EXPECT_EQ(Dst.Order(), 6);
  EXPECT_EQ(Dst.TransitionBandwidth(), 0.9);
  EXPECT_EQ(Dst.SampleRate(), 768000.0);
  std::vector<double> A(16), B(16);
  Src.Upsample64(0.3, A.data());
  Dst.Upsample64(0.3, B.data());
  EXPECT_EQ(A, B);
  EXPECT_EQ(Src.Downsample64(A.data()), Dst.Downsample64(B.data()));
}
