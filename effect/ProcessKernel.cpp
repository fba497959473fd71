#include "effect/ProcessKernel.h"

#include <cmath>
#include <type_traits>

namespace kvx {

namespace {

using TInt2 = int64_t __attribute__((vector_size(16)));
using TFloat2 = float __attribute__((vector_size(8)));

// Tiny offsets the resamplers add so that silence never decays into denormal numbers.
constexpr float cDenormalOffset32 = 1e-24f;
constexpr double cDenormalOffset64 = 1e-34;

inline TDouble2 Splat(double v) { return TDouble2{v, v}; }

inline TDouble2 Abs(TDouble2 v) {
  const TInt2 mask = {INT64_MAX, INT64_MAX};
  return reinterpret_cast<TDouble2>(reinterpret_cast<TInt2>(v) & mask);
}

// Lanes where Cond is set take A, the others B.
inline TDouble2 Select(TInt2 Cond, TDouble2 A, TDouble2 B) {
  return reinterpret_cast<TDouble2>((Cond & reinterpret_cast<TInt2>(A)) |
                                    (~Cond & reinterpret_cast<TInt2>(B)));
}

// Rounds both lanes to 32-bit floats and widens them again.
inline TDouble2 Round32(TDouble2 v) {
  return __builtin_convertvector(__builtin_convertvector(v, TFloat2), TDouble2);
}

// The order-4 Butterworth low-pass: input gain, then two sections
// y = u + a; a = 2u + c0*y + b; b = u + c1*y.
struct TButterworthRegs {
  TDouble2 Gain, C0, C1, C2, C3, S0, S1, S2, S3;

  explicit TButterworthRegs(const TButterworth4Lanes& F)
      : Gain(F.Gain), C0(F.C[0]), C1(F.C[1]), C2(F.C[2]), C3(F.C[3]),
        S0(F.S[0]), S1(F.S[1]), S2(F.S[2]), S3(F.S[3]) {}

  void Store(TButterworth4Lanes& F) const {
    F.S[0] = S0;
    F.S[1] = S1;
    F.S[2] = S2;
    F.S[3] = S3;
  }

  inline TDouble2 Process(TDouble2 x) {
    TDouble2 u = Gain * x;
    TDouble2 y = u + S0;
    S0 = Splat(2) * u + C0 * y + S1;
    S1 = u + C1 * y;
    u = y;
    y = u + S2;
    S2 = Splat(2) * u + C2 * y + S3;
    S3 = u + C3 * y;
    return y;
  }
};

// A biquad in the two-state form: y = b0*x + s0; s0 = b1*x - a1*y + s1; s1 = b2*x - a2*y.
template <typename V>
struct TBiquadRegs {
  V B0, B1, B2, A1, A2, S0, S1;

  inline V Process(V x) {
    const V y = B0 * x + S0;
    S0 = B1 * x - A1 * y + S1;
    S1 = B2 * x - A2 * y;
    return y;
  }
};

TBiquadRegs<TDouble2> Load(const TBiquadLanes& B) {
  return {B.B0, B.B1, B.B2, B.A1, B.A2, B.S0, B.S1};
}

void Store(const TBiquadRegs<TDouble2>& R, TBiquadLanes& B) {
  B.S0 = R.S0;
  B.S1 = R.S1;
}

// The chain's first-stage test: a chain whose first smoothing stage fell below 1e-10 is cleared
// instead of decaying into denormal numbers; channel 1's chain is cleared in mono operation.
void BlockEnd(TOverdrivePiece& P, const double (&S)[10]) {
  const bool keep0 = !(std::fabs(S[0]) < 1e-10);
  const bool keep1 = !(std::fabs(S[5]) < 1e-10 || !P.Stereo);
  for (int i = 0; i < 5; ++i) P.Chain[i] = keep0 ? S[i] : 0.0;
  for (int i = 5; i < 10; ++i) P.Chain[i] = keep1 ? S[i] : 0.0;
}

// Clears, lane by lane, the states of any recursion that holds a value that is not finite.
template <int Count>
void ClearIfNotFinite(TDouble2* States) {
  for (int lane = 0; lane < 2; ++lane) {
    bool finite = true;
    for (int i = 0; i < Count; ++i) finite = finite && std::isfinite(States[i][lane]);
    if (!finite)
      for (int i = 0; i < Count; ++i) States[i][lane] = 0;
  }
}

void Sanitize(TOverdrivePiece& P) {
  ClearIfNotFinite<4>(P.Up.S);
  ClearIfNotFinite<4>(P.Down.S);
  TDouble2 hp[2] = {P.HighPass.S0, P.HighPass.S1};
  ClearIfNotFinite<2>(hp);
  P.HighPass.S0 = hp[0];
  P.HighPass.S1 = hp[1];
  TDouble2 tone[2] = {P.Tone.S0, P.Tone.S1};
  ClearIfNotFinite<2>(tone);
  P.Tone.S0 = tone[0];
  P.Tone.S1 = tone[1];
  for (int c = 0; c < 2; ++c) {
    bool finite = true;
    for (int i = 0; i < 5; ++i) finite = finite && std::isfinite(P.Chain[5 * c + i]);
    if (!finite)
      for (int i = 0; i < 5; ++i) P.Chain[5 * c + i] = 0;
  }
}

template <typename T, int F, bool Stereo>
void Run(TOverdrivePiece& P, const T* In0, const T* In1, T* Out0, T* Out1, int32_t N) {
  constexpr bool Single = std::is_same_v<T, float>;
  // The offsets the resamplers add: the first sample of each group gets +offset; the upsampler's
  // zeros are -offset, the downsampler subtracts it from the other samples in 64 bits only.
  constexpr double offset = Single ? static_cast<double>(cDenormalOffset32) : cDenormalOffset64;
  const TDouble2 upFirstOffset = Splat(offset);
  const TDouble2 upZero = Splat(-offset);
  const TDouble2 factor = Splat(static_cast<double>(F));

  TButterworthRegs up(P.Up), down(P.Down);
  TBiquadRegs<TDouble2> tone = Load(P.Tone);
  TBiquadRegs<TDouble2> hp2 = Load(P.HighPass);
  TBiquadRegs<double> hp1{P.HighPass.B0[0], P.HighPass.B1[0], P.HighPass.B2[0], P.HighPass.A1[0],
                          P.HighPass.A2[0], P.HighPass.S0[0], P.HighPass.S1[0]};

  const double cL = P.LPF, cH = P.HPF;
  double g = (1 - cL) * (1 - cL);
  g = g * g * P.Trim;
  const double m = P.Mix, dry = 1 - m;
  const double clip = -P.Clip;
  const bool clamp = !P.Symmetric;
  const double inGain = P.InputGain, outGain = P.OutputGain;

  // Chain states: lane 0 channel 0 (or mono), lane 1 channel 1.
  TDouble2 s0 = {P.Chain[0], P.Chain[5]}, s1 = {P.Chain[1], P.Chain[6]},
           s2 = {P.Chain[2], P.Chain[7]}, s3 = {P.Chain[3], P.Chain[8]},
           s4 = {P.Chain[4], P.Chain[9]};
  const TDouble2 vcL = Splat(cL), vcH = Splat(cH), vg = Splat(g), vm = Splat(m), vdry = Splat(dry),
                 vD = Splat(P.Drive), vclip = Splat(clip), one = Splat(1);

  // One sample at the oversampled rate: the chain from the upsampled input w to the tone filter.
  auto chain = [&](TDouble2 w) -> TDouble2 {
    TDouble2 wet;
    if constexpr (Stereo) {
      const TDouble2 h = hp2.Process(vD * w);
      TDouble2 y = h / (Abs(h) + one);
      if (clamp) y = Select(y < vclip, vclip, y);
      s0 = vcL * s0 + vg * y;
      s1 = vcL * s1 + s0;
      s2 = vcL * s2 + s1;
      s3 = vcL * s3 + s2;
      s4 = vcH * (s4 - s3) + s3;
      wet = s3 - s4;
    } else {
      const double h = hp1.Process(P.Drive * (w[0] + w[1]));
      double y = h / (std::fabs(h) + 1);
      if (clamp && y < clip) y = clip;
      double c0 = s0[0], c1 = s1[0], c2 = s2[0], c3 = s3[0], c4 = s4[0];
      c0 = cL * c0 + g * y;
      c1 = cL * c1 + c0;
      c2 = cL * c2 + c1;
      c3 = cL * c3 + c2;
      c4 = cH * (c4 - c3) + c3;
      s0[0] = c0;
      s1[0] = c1;
      s2[0] = c2;
      s3[0] = c3;
      s4[0] = c4;
      wet = Splat(c3 - c4);
    }
    TDouble2 o = tone.Process(wet * vm + w * vdry);
    if constexpr (Single) o = Round32(o);
    return o;
  };

  auto upsampled = [&](TDouble2 x) {
    TDouble2 w = up.Process(x);
    if constexpr (Single) w = Round32(w);
    return w;
  };

  // Input gain; a value that is not finite, or that overflows once scaled by the factor, enters
  // as silence.
  auto input = [&](int32_t j) -> TDouble2 {
    if constexpr (Single) {
      float a = static_cast<float>(inGain * static_cast<double>(In0[j]));
      float b = static_cast<float>(inGain * static_cast<double>(In1[j]));
      if (!std::isfinite(a)) a = 0;
      if (!std::isfinite(b)) b = 0;
      return TDouble2{static_cast<double>(a), static_cast<double>(b)};
    } else {
      double a = inGain * In0[j], b = inGain * In1[j];
      if (!std::isfinite(F * a)) a = 0;
      if (!std::isfinite(F * b)) b = 0;
      return TDouble2{a, b};
    }
  };
  auto output = [&](int32_t j, TDouble2 r) {
    if constexpr (Single) {
      const TDouble2 y = Round32(r);
      Out0[j] = static_cast<float>(outGain * y[0]);
      Out1[j] = static_cast<float>(outGain * y[1]);
    } else {
      Out0[j] = outGain * r[0];
      Out1[j] = outGain * r[1];
    }
  };

  // The three stages run over small chunks: each stage then goes at the speed of its own
  // recursions instead of waiting for the whole chain's latency sample by sample.
  constexpr int32_t FramesPerChunk = F >= 32 ? 1 : 32 / F;
  TDouble2 w[FramesPerChunk * F];
  for (int32_t j0 = 0; j0 < N; j0 += FramesPerChunk) {
    const int32_t n = N - j0 < FramesPerChunk ? N - j0 : FramesPerChunk;
    TDouble2* p = w;
    for (int32_t j = 0; j < n; ++j) {
      *p++ = upsampled(factor * input(j0 + j) + upFirstOffset);
      for (int k = 1; k < F; ++k) *p++ = upsampled(upZero);
    }
    for (int32_t i = 0; i < n * F; ++i) w[i] = chain(w[i]);
    p = w;
    for (int32_t j = 0; j < n; ++j) {
      // The first sample of each group is kept; the others only advance the filter.
      const TDouble2 r = down.Process(*p++ + upFirstOffset);
      for (int k = 1; k < F; ++k) {
        if constexpr (Single)
          down.Process(*p++);
        else
          down.Process(*p++ - upFirstOffset);
      }
      output(j0 + j, r);
    }
  }

  up.Store(P.Up);
  down.Store(P.Down);
  Store(tone, P.Tone);
  if constexpr (Stereo) {
    Store(hp2, P.HighPass);
  } else {
    P.HighPass.S0[0] = hp1.S0;
    P.HighPass.S1[0] = hp1.S1;
  }
  const double s[10] = {s0[0], s1[0], s2[0], s3[0], s4[0], s0[1], s1[1], s2[1], s3[1], s4[1]};
  BlockEnd(P, s);
  Sanitize(P);
}

template <typename T, int F>
void RunFactor(TOverdrivePiece& P, const T* In0, const T* In1, T* Out0, T* Out1, int32_t N) {
  if (P.Stereo)
    Run<T, F, true>(P, In0, In1, Out0, Out1, N);
  else
    Run<T, F, false>(P, In0, In1, Out0, Out1, N);
}

template <typename T>
void Dispatch(TOverdrivePiece& P, const T* In0, const T* In1, T* Out0, T* Out1, int32_t N) {
  switch (P.Factor) {
    case 8: RunFactor<T, 8>(P, In0, In1, Out0, Out1, N); break;
    case 16: RunFactor<T, 16>(P, In0, In1, Out0, Out1, N); break;
    default: RunFactor<T, 1>(P, In0, In1, Out0, Out1, N); break;
  }
}

}  // namespace

void ProcessOverdrivePiece64(TOverdrivePiece& P, const double* In0, const double* In1, double* Out0,
                             double* Out1, int32_t N) {
  Dispatch(P, In0, In1, Out0, Out1, N);
}

void ProcessOverdrivePiece32(TOverdrivePiece& P, const float* In0, const float* In1, float* Out0,
                             float* Out1, int32_t N) {
  Dispatch(P, In0, In1, Out0, Out1, N);
}

}  // namespace kvx
