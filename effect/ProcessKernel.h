// The overdrive's audio path for one piece of a host block: upsampling, the chain at the
// oversampled rate and downsampling.
//
// Both channels run side by side as the two lanes of one 128-bit vector, so every recursion of
// both channels (resampler low-passes, high-pass, smoothing stages, tone filter) advances in one
// instruction stream, and the states stay in locals for the whole piece. The three stages run
// over chunks of 32 oversampled samples kept on the stack: each stage then runs at the speed of
// its own recursion, and no work buffer is needed. Every lane computes exactly the operations of
// the scalar formulas in the same order (no fused multiply-add, no reassociation), so the
// results are those of the filter classes to the last bit.
#pragma once

#include <cstdint>

namespace kvx {

using TDouble2 = double __attribute__((vector_size(16)));

// Two biquads (one per lane) in the two-state form.
struct TBiquadLanes {
  TDouble2 B0, B1, B2, A1, A2;  // b0, b1, b2 and the normalized a1, a2
  TDouble2 S0, S1;
};

// Two order-4 Butterworth low-passes (one per lane): the input gain and two sections.
struct TButterworth4Lanes {
  TDouble2 Gain;
  TDouble2 C[4];
  TDouble2 S[4];
};

// Everything one piece reads and advances. The module fills it at block start from its filter
// objects and parameter values, and stores the states back at block end.
struct TOverdrivePiece {
  int Factor = 1;           // 1, 8 or 16
  bool Stereo = false;      // two chains, or one chain fed with the sum of both inputs
  bool Symmetric = true;    // false: negative clamp at -Clip
  double InputGain = 1, OutputGain = 1, Drive = 100, Trim = 0.2475, Mix = 0, Clip = 0.64;
  double LPF = 0, HPF = 0;  // smoothing and DC-blocking coefficients
  TButterworth4Lanes Up{}, Down{};
  TBiquadLanes HighPass{}, Tone{};
  double Chain[10] = {};    // smoothing chain states: 0..4 channel 0 (and mono), 5..9 channel 1
};

// Processes N host frames of both channels. Inputs that are not finite, or that would overflow
// once scaled by the input gain and the factor, enter the upsampler as silence. At the end the
// block-end rule of the chains applies, and any state that is not finite is cleared, so that no
// input can leave the effect silenced for the rest of the session.
void ProcessOverdrivePiece64(TOverdrivePiece& P, const double* In0, const double* In1, double* Out0,
                             double* Out1, int32_t N);
void ProcessOverdrivePiece32(TOverdrivePiece& P, const float* In0, const float* In1, float* Out0,
                             float* Out1, int32_t N);

}  // namespace kvx
