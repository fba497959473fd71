// The plug-in, loaded as a host loads it, renders exactly what the formulas of the overdrive give:
// every case runs through the effect record and through the scalar model written from the
// formulas, and both are compared sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/LoadedPlugin.h"
#include "support/OverdriveReference.h"

using namespace kvx;
using kvx::test::TLoadedPlugin;

namespace {

enum : int32_t { pDrive, pTone, pLevel, pBypass, pStereo, pSymmetric, pOversampling, pMode, pInput, pOutput };

struct TRange {
  float Min, Max;
  bool Switch;
};
constexpr TRange cRanges[10] = {{0, 100, false},  {-15, 15, false}, {0, 100, false}, {0, 1, true},
                                {0, 1, true},     {0, 1, true},     {1, 16, false},  {0, 1, true},
                                {-200, 200, false}, {-100, 100, false}};

struct TCase {
  const char* Name;
  float Rate;
  int32_t BlockSize;   // announced
  int32_t HostBlock;   // what the host then passes per call
  std::vector<std::pair<int32_t, float>> HostValues;
  bool SuspendMidStream = false;
};

// A deterministic test signal: two partials, a decaying burst and a little noise, different per
// channel, with peaks above full scale.
std::vector<double> Signal(int32_t N, int Channel) {
  std::vector<double> s(N);
  uint32_t seed = 12345u + 977u * Channel;
  for (int32_t i = 0; i < N; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.05;
    const double t = i / 44100.0;
    s[i] = 0.6 * std::sin(2 * M_PI * (110.0 + 55 * Channel) * t) + 0.3 * std::sin(2 * M_PI * 1870.0 * t) +
           1.4 * std::exp(-t * 20) * std::sin(2 * M_PI * 330 * t) + noise;
  }
  return s;
}

ref::Params ParamsOf(const TCase& C) {
  float v[10] = {100, 0, 0, 0, 0, 1, 1, 0, 0, 0};
  bool trimStereo = false;
  for (auto [index, x] : C.HostValues) {
    v[index] = ref::HostToParam(x, cRanges[index].Min, cRanges[index].Max);
    if (cRanges[index].Switch) v[index] = std::nearbyint(v[index]);
    if (index == pDrive || index == pMode) trimStereo = v[pStereo] > 0.5f;
  }
  ref::Params p;
  p.TrimStereo = trimStereo;
  p.Drive = v[0], p.Tone = v[1], p.Level = v[2], p.Bypass = v[3], p.Stereo = v[4], p.Symmetric = v[5];
  p.Oversampling = v[6], p.Mode = v[7], p.Input = v[8], p.Output = v[9];
  return p;
}

// Host value of a linear parameter value.
float Host(int32_t Index, float Value) {
  return (Value - cRanges[Index].Min) / (cRanges[Index].Max - cRanges[Index].Min);
}

const std::vector<TCase>& Cases() {
  static const std::vector<TCase> cases = {
      {"Defaults", 44100, 512, 512, {}},
      {"FullyWet1x", 44100, 512, 512, {{pLevel, 1.0f}}},
      {"StereoAsymmetricMode8x", 44100, 256, 256,
       {{pLevel, 0.8f}, {pStereo, 1}, {pSymmetric, 0}, {pMode, 1}, {pOversampling, Host(pOversampling, 8)}}},
      {"StereoAsymmetricMode16x", 48000, 256, 256,
       {{pLevel, 0.9f}, {pStereo, 1}, {pSymmetric, 0}, {pMode, 1}, {pOversampling, 1.0f}, {pTone, 0.8f}}},
      {"Gains", 44100, 512, 512,
       {{pLevel, 0.7f}, {pInput, Host(pInput, 60)}, {pOutput, Host(pOutput, -35)}, {pTone, 0.25f}, {pDrive, 0.4f}}},
      {"Rate48k", 48000, 512, 512, {{pLevel, 0.75f}, {pTone, 0.9f}}},
      {"Rate96k8x", 96000, 512, 512, {{pLevel, 0.75f}, {pOversampling, 0.5f}, {pStereo, 1}}},
      {"HostBlocksLongerThanAnnounced", 44100, 100, 450, {{pLevel, 0.85f}, {pOversampling, 0.5f}, {pStereo, 1}}},
      {"SuspendMidStream", 44100, 512, 512, {{pLevel, 0.6f}, {pStereo, 1}}, true},
      {"MonoDifferentInputs", 44100, 333, 333, {{pLevel, 0.66f}, {pSymmetric, 0}, {pDrive, 0.6f}}},
  };
  return cases;
}

class OverdriveRender : public ::testing::TestWithParam<size_t> {};

template <typename T>
void Render(const TCase& C, bool Double, std::vector<T>& Plugin0, std::vector<T>& Plugin1,
            std::vector<T>& Ref0, std::vector<T>& Ref1, const std::vector<double>& L,
            const std::vector<double>& R) {
  const int32_t n = static_cast<int32_t>(L.size());
  std::vector<T> in0(L.begin(), L.end()), in1(R.begin(), R.end());
  Plugin0.assign(n, 0);
  Plugin1.assign(n, 0);
  Ref0.assign(n, 0);
  Ref1.assign(n, 0);

  TLoadedPlugin plugin;
  for (auto [index, x] : C.HostValues) plugin.SetParameter(index, x);
  plugin.Start(C.Rate, C.BlockSize, Double);
  ref::Overdrive model(C.Rate, ParamsOf(C), C.BlockSize);

  const int32_t half = (n / 2 / C.HostBlock) * C.HostBlock;
  for (int32_t done = 0; done < n;) {
    if (C.SuspendMidStream && done == half) {
      plugin.Suspend();
      plugin.Resume();
      model.Suspend();
    }
    const int32_t len = std::min(C.HostBlock, n - done);
    if constexpr (sizeof(T) == 8) {
      plugin.Process64(in0.data() + done, in1.data() + done, Plugin0.data() + done, Plugin1.data() + done, len);
      model.Process64(in0.data() + done, in1.data() + done, Ref0.data() + done, Ref1.data() + done, len);
    } else {
      plugin.Process32(in0.data() + done, in1.data() + done, Plugin0.data() + done, Plugin1.data() + done, len);
      model.Process32(in0.data() + done, in1.data() + done, Ref0.data() + done, Ref1.data() + done, len);
    }
    done += len;
  }
}

}  // namespace

TEST_P(OverdriveRender, EqualsTheFormulasIn64Bit) {
  const TCase& c = Cases()[GetParam()];
  const int32_t n = 6000;
  const auto l = Signal(n, 0), r = Signal(n, 1);
  std::vector<double> p0, p1, r0, r1;
  Render(c, true, p0, p1, r0, r1, l, r);
  double peak = 0;
  for (int32_t i = 0; i < n; ++i) peak = std::max({peak, std::fabs(r0[i]), std::fabs(r1[i])});
  ASSERT_GT(peak, 1e-3) << "the case renders silence and would prove nothing";
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_NEAR(p0[i], r0[i], 1e-12 * peak) << c.Name << " left, sample " << i;
    ASSERT_NEAR(p1[i], r1[i], 1e-12 * peak) << c.Name << " right, sample " << i;
  }
}

TEST_P(OverdriveRender, EqualsTheFormulasIn32Bit) {
  const TCase& c = Cases()[GetParam()];
  const int32_t n = 6000;
  const auto l = Signal(n, 0), r = Signal(n, 1);
  std::vector<float> p0, p1, r0, r1;
  Render(c, false, p0, p1, r0, r1, l, r);
  float peak = 0;
  for (int32_t i = 0; i < n; ++i) peak = std::max({peak, std::fabs(r0[i]), std::fabs(r1[i])});
  ASSERT_GT(peak, 1e-3f);
  // A few ulps of the signal's peak: the designs may round differently in the last bit, which a
  // 32-bit narrowing can carry one step further.
  const float tolerance = 4 * std::numeric_limits<float>::epsilon() * peak;
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_NEAR(p0[i], r0[i], tolerance) << c.Name << " left, sample " << i;
    ASSERT_NEAR(p1[i], r1[i], tolerance) << c.Name << " right, sample " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, OverdriveRender, ::testing::Range<size_t>(0, 10),
                         [](const auto& Info) { return std::string(Cases()[Info.param].Name); });

TEST(OverdriveRender, MonoGivesBothOutputsTheSameDistortedComponent) {
  // Fully wet in mono: whatever the inputs, both outputs carry one chain (tone filters equal).
  TLoadedPlugin plugin;
  plugin.SetParameter(pLevel, 1.0f);
  plugin.Start(44100, 512);
  const int32_t n = 2048;
  auto l = Signal(n, 0), r = Signal(n, 1);
  std::vector<double> o0(n), o1(n);
  for (int32_t i = 0; i < n; i += 512) plugin.Process64(l.data() + i, r.data() + i, o0.data() + i, o1.data() + i, 512);
  double peak = 0;
  for (int32_t i = 0; i < n; ++i) peak = std::max(peak, std::fabs(o0[i]));
  EXPECT_GT(peak, 0.01);
  // No dry signal is left at Level 100, so both tone filters and downsamplers see the same input.
  EXPECT_EQ(o0, o1);
}

TEST(OverdriveRender, BypassIsBitExactInBothPrecisions) {
  TLoadedPlugin plugin;
  plugin.SetParameter(pLevel, 1.0f);
  plugin.SetParameter(pBypass, 1.0f);
  plugin.Start(44100, 256);
  auto l = Signal(1024, 0), r = Signal(1024, 1);
  std::vector<double> o0(1024), o1(1024);
  plugin.Process64(l.data(), r.data(), o0.data(), o1.data(), 1024);
  EXPECT_EQ(std::memcmp(o0.data(), l.data(), 1024 * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(o1.data(), r.data(), 1024 * sizeof(double)), 0);
  std::vector<float> f0(l.begin(), l.end()), f1(r.begin(), r.end()), g0(1024), g1(1024);
  plugin.Process32(f0.data(), f1.data(), g0.data(), g1.data(), 1024);
  EXPECT_EQ(std::memcmp(g0.data(), f0.data(), 1024 * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(g1.data(), f1.data(), 1024 * sizeof(float)), 0);
  // In place as well.
  std::vector<double> inplace = l;
  double* io[2] = {inplace.data(), inplace.data()};
  plugin.Effect()->Process64Replacing(plugin.Effect(), io, io, 1024);
  EXPECT_EQ(std::memcmp(inplace.data(), l.data(), 1024 * sizeof(double)), 0);
}

TEST(OverdriveRender, NonFiniteInputDoesNotSilenceTheSession) {
  for (int precision : {32, 64}) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(), 1e308}) {
      TLoadedPlugin plugin;
      plugin.SetParameter(pLevel, 0.8f);
      plugin.SetParameter(pStereo, 1.0f);
      plugin.SetParameter(pOversampling, 1.0f);
      plugin.SetParameter(pInput, 1.0f);  // +20 dB, so 1e308 overflows once scaled
      plugin.Start(44100, 256, precision == 64);
      auto l = Signal(256, 0), r = Signal(256, 1);
      for (auto& v : l) v *= 0.1;
      for (auto& v : r) v *= 0.1;
      l[17] = bad;
      r[100] = bad;
      std::vector<double> o0(256), o1(256);
      std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end()), g0(256), g1(256);
      auto run = [&] {
        if (precision == 64) {
          plugin.Process64(l.data(), r.data(), o0.data(), o1.data(), 256);
        } else {
          plugin.Process32(fl.data(), fr.data(), g0.data(), g1.data(), 256);
          std::copy(g0.begin(), g0.end(), o0.begin());
          std::copy(g1.begin(), g1.end(), o1.begin());
        }
      };
      run();
      // The next blocks are clean: the output is finite and not silent.
      l = Signal(256, 0);
      r = Signal(256, 1);
      fl.assign(l.begin(), l.end());
      fr.assign(r.begin(), r.end());
      for (int block = 0; block < 4; ++block) run();
      double peak = 0;
      for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(std::isfinite(o0[i]) && std::isfinite(o1[i])) << bad << " at " << precision << " bits";
        peak = std::max({peak, std::fabs(o0[i]), std::fabs(o1[i])});
      }
      EXPECT_GT(peak, 0.01) << bad << " at " << precision << " bits";
    }
  }
}
