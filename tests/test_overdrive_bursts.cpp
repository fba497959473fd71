// A parameter that jumps while audio runs must not make the effect burst: the plug-in, loaded as a
// host loads it, plays a steady two-tone fully wet, one parameter jumps, and the peak of the blocks
// right after the jump may rise at most 3 dB above the steady levels before and after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/LoadedPlugin.h"

using kvx::test::TLoadedPlugin;

namespace {

enum : int32_t { pDrive, pTone, pLevel, pBypass, pStereo, pSymmetric, pOversampling, pMode, pInput, pOutput };

constexpr float cRate = 44100;
constexpr int32_t cBlock = 512;
constexpr int cWindowBlocks = 40;  // blocks measured after the jump
constexpr float c8x = 7.0f / 15;   // host value of Oversampling 8 (1..16 over 0..1)

struct TJump {
  const char* Name;
  int32_t Index;
  float From, To;  // host values
  // Another parameter away from its default for the whole run (-1: none), as a host value.
  int32_t HeldIndex = -1;
  float HeldValue = 0;
};

// Every parameter from 0 to 1 and back, the factor between each pair of its three values, Drive
// halfway down, both in stereo, and the factor with the tone filter at both ends of its range
// (where that filter's states matter).
std::vector<TJump> Jumps() {
  static const char* const names[10] = {"Drive", "Tone", "Level", "Bypass", "Stereo", "Symmetric",
                                        "Oversampling", "Mode", "Input", "Output"};
  std::vector<TJump> jumps;
  for (int32_t i = 0; i < 10; ++i) {
    jumps.push_back({names[i], i, 0.0f, 1.0f});
    jumps.push_back({names[i], i, 1.0f, 0.0f});
  }
  jumps.push_back({"Oversampling", pOversampling, 0.0f, c8x});
  jumps.push_back({"Oversampling", pOversampling, c8x, 0.0f});
  jumps.push_back({"Oversampling", pOversampling, c8x, 1.0f});
  jumps.push_back({"Oversampling", pOversampling, 1.0f, c8x});
  jumps.push_back({"Drive", pDrive, 1.0f, 0.5f});
  // Two chains: both channels' states must follow.
  jumps.push_back({"Drive in stereo", pDrive, 1.0f, 0.0f, pStereo, 1.0f});
  jumps.push_back({"Oversampling in stereo", pOversampling, 0.0f, 1.0f, pStereo, 1.0f});
  for (float tone : {0.0f, 1.0f})
    for (auto [from, to] : {std::pair{0.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, c8x}, {c8x, 1.0f}})
      jumps.push_back({tone > 0 ? "Oversampling at Tone +15" : "Oversampling at Tone -15", pOversampling, from, to,
                       pTone, tone});
  return jumps;
}

// The host's steady input, the same on both channels: two tones of -18 dBFS each, above the
// high-pass corners, so that the chain is driven well into saturation.
template <typename T>
void FillTwoTone(std::vector<T>& L, std::vector<T>& R, int64_t Start) {
  const double amplitude = std::pow(10.0, -18.0 / 20);
  for (size_t i = 0; i < L.size(); ++i) {
    const double t = static_cast<double>(Start + static_cast<int64_t>(i)) / cRate;
    L[i] = R[i] = static_cast<T>(amplitude * (std::sin(2 * M_PI * 500 * t) + std::sin(2 * M_PI * 1500 * t)));
  }
}

struct TLevels {
  double Before, Window, After;  // peaks, linear
};

// Plays the two-tone at Level 100 with the parameter at From until it is steady, measures the
// steady peak, jumps to To, measures the window after the jump and then the new steady peak.
template <typename T>
TLevels Measure(const TJump& J) {
  TLoadedPlugin plugin;
  plugin.SetParameter(pLevel, 1.0f);
  if (J.HeldIndex >= 0) plugin.SetParameter(J.HeldIndex, J.HeldValue);
  plugin.SetParameter(J.Index, J.From);
  plugin.Start(cRate, cBlock, sizeof(T) == 8);
  std::vector<T> l(cBlock), r(cBlock), o0(cBlock), o1(cBlock);
  int64_t position = 0;
  auto peakOver = [&](int Blocks) {
    double peak = 0;
    for (int b = 0; b < Blocks; ++b) {
      FillTwoTone(l, r, position);
      if constexpr (sizeof(T) == 8) plugin.Process64(l.data(), r.data(), o0.data(), o1.data(), cBlock);
      else plugin.Process32(l.data(), r.data(), o0.data(), o1.data(), cBlock);
      position += cBlock;
      for (int32_t i = 0; i < cBlock; ++i)
        peak = std::max({peak, std::fabs(static_cast<double>(o0[i])), std::fabs(static_cast<double>(o1[i]))});
    }
    return peak;
  };
  TLevels levels{};
  peakOver(40);  // settles
  levels.Before = peakOver(20);
  plugin.SetParameter(J.Index, J.To);
  levels.Window = peakOver(cWindowBlocks);
  levels.After = peakOver(20);
  return levels;
}

double Db(double Amplitude) { return 20 * std::log10(Amplitude); }

template <typename T>
void ExpectNoBursts(const char* Precision) {
  for (const TJump& j : Jumps()) {
    const TLevels m = Measure<T>(j);
    const double steady = std::max(m.Before, m.After);
    ASSERT_GT(steady, 1e-3) << j.Name << ": the case plays silence and would prove nothing";
    EXPECT_LE(Db(m.Window), Db(steady) + 3.0)
        << Precision << " " << j.Name << " " << j.From << " -> " << j.To << ": steady " << Db(m.Before)
        << " dBFS before, " << Db(m.After) << " dBFS after, peak " << Db(m.Window) << " dBFS after the jump";
  }
}

}  // namespace

TEST(OverdriveBursts, AJumpRisesAtMost3dBAboveTheSteadyLevels64) { ExpectNoBursts<double>("64-bit"); }

TEST(OverdriveBursts, AJumpRisesAtMost3dBAboveTheSteadyLevels32) { ExpectNoBursts<float>("32-bit"); }
