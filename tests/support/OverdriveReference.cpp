#include "support/OverdriveReference.h"

#include <algorithm>
#include <cmath>

namespace kvx::ref {

namespace {

constexpr double kPi = 3.141592653589793;

double DbToAmp(double x) { return x > -1000 ? std::exp(x * 0.11512925464970228) : 0.0; }

struct W0Alpha {
  double c, s, w0, alpha, A, A2;
};

W0Alpha Prepare(double SampleRate, double Frequency, double BandWidth, double GainDb) {
  W0Alpha r{};
  const double srr = 1.0 / SampleRate;
  r.w0 = 2 * kPi * Frequency * srr;
  r.c = std::cos(r.w0);
  r.s = std::sin(r.w0);
  if (r.w0 > 3.141) r.w0 = 3.141;
  if (r.s == 0) {
    r.alpha = 0;
  } else {
    const double x = std::log(2.0) / 2 * std::sqrt((1 + r.c) / 2) * BandWidth * r.w0 / r.s;
    r.alpha = r.s * ((std::exp(x) - std::exp(-x)) / 2);
  }
  r.A = DbToAmp(0.5 * GainDb);
  r.A2 = r.A * r.A;
  return r;
}

// The one-pole coefficient of the smoothing stages for frequency F at the oversampled rate.
double OnePole(double F, double HostRate, int Factor) {
  const double r = 0.999;
  const double q = r * r - 1;
  const double w = F * 0.647 / (HostRate * Factor);
  const double a = 2 - r * r * 2 * std::cos(w);
  const double b = a * a - q * q * 4;
  return (std::sqrt(b) - a) / (q * 2);
}

constexpr float kOffset32 = 1e-24f;
constexpr double kOffset64 = 1e-34;

}  // namespace

float HostToParam(float X, float Min, float Max) {
  float x = X < 0 ? 0.0f : X > 1 ? 1.0f : X;
  return static_cast<float>(static_cast<double>(x) * (static_cast<double>(Max) - Min) + Min);
}

void Biquad::DesignHighpass(double SampleRate, double Frequency, double BandWidth, double GainDb) {
  const W0Alpha p = Prepare(SampleRate, Frequency, BandWidth, GainDb);
  const double t = 1 / (1 + p.alpha);
  b0 = p.A2 * (1 + p.c) * 0.5 * t;
  b1 = -2 * b0;
  b2 = b0;
  a1 = -2 * p.c * t;
  a2 = (1 - p.alpha) * t;
}

void Biquad::DesignPeak(double SampleRate, double Frequency, double BandWidth, double GainDb) {
  const W0Alpha p = Prepare(SampleRate, Frequency, BandWidth, GainDb);
  const double t = 1 / (p.A + p.alpha);
  a1 = -2 * p.c * p.A * t;
  a2 = (p.A - p.alpha) * t;
  b0 = (p.A + p.alpha * p.A2) * t;
  b1 = a1;
  b2 = (p.A - p.alpha * p.A2) * t;
}

double Biquad::Process(double x) {
  const double y = b0 * x + s0;
  s0 = b1 * x - a1 * y + s1;
  s1 = b2 * x - a2 * y;
  return y;
}

void Butterworth4::Design(double SampleRate, double Frequency) {
  const double w0 = 1.0 / SampleRate * 2 * kPi * Frequency;
  const double K = std::tan(0.5 * w0);
  const double K2 = K * K;
  const double half = 0.5 * kPi * (1.0 / 4);
  const double cr = std::cos(half), ci = std::sin(half);
  double pr = cr, pi = ci;
  gain = 1;
  for (int i = 0; i < 3; i += 2) {
    const double e = 2 * pi * K;
    const double nr = pr * (cr * cr - ci * ci) - 2 * pi * ci * cr;
    const double ni = pi * (cr * cr - ci * ci) + 2 * pr * ci * cr;
    pr = nr;
    pi = ni;
    const double t = 1 / (K2 + e + 1);
    gain = gain * t * K2;
    c[i] = (1 - K2) * 2 * t;
    c[i + 1] = (e - K2 - 1) * t;
  }
}

double Butterworth4::Process(double x) {
  double u = gain * x;
  for (int k = 0; k < 2; ++k) {
    double& a = s[2 * k];
    double& b = s[2 * k + 1];
    const double y = u + a;
    a = 2 * u + c[2 * k] * y + b;
    b = u + c[2 * k + 1] * y;
    u = y;
  }
  return u;
}

void Resampler::Setup(double SampleRate, int AFactor) {
  Factor = AFactor;
  const double f = 0.99 * 0.5 * SampleRate / Factor;
  Up = Butterworth4{};
  Down = Butterworth4{};
  Up.Design(SampleRate, f);
  Down.Design(SampleRate, f);
}

void Resampler::Upsample64(double x, double* Out) {
  Out[0] = Up.Process(Factor * x + kOffset64);
  for (int k = 1; k < Factor; ++k) Out[k] = Up.Process(-kOffset64);
}

double Resampler::Downsample64(const double* In) {
  const double r = Down.Process(In[0] + kOffset64);
  for (int k = 1; k < Factor; ++k) Down.Process(In[k] - kOffset64);
  return r;
}

void Resampler::Upsample32(float x, float* Out) {
  Out[0] = static_cast<float>(Up.Process(Factor * static_cast<double>(x) + static_cast<double>(kOffset32)));
  for (int k = 1; k < Factor; ++k) Out[k] = static_cast<float>(Up.Process(-static_cast<double>(kOffset32)));
}

float Resampler::Downsample32(const float* In) {
  const double r = Down.Process(static_cast<double>(In[0]) + static_cast<double>(kOffset32));
  for (int k = 1; k < Factor; ++k) Down.Process(static_cast<double>(In[k]));
  return static_cast<float>(r);
}

Overdrive::Overdrive(float HostRate, const Params& P, int BlockSize) : FBlockSize(BlockSize) {
  const double host = std::fabs(static_cast<double>(HostRate));
  float os = P.Oversampling;
  if (os > 1 && os < 16) os = 8;
  Factor = static_cast<int>(std::nearbyint(os));
  const bool mode = P.Mode > 0.5f;
  Stereo = P.Stereo > 0.5f;
  Symmetric = P.Symmetric > 0.5f;
  const double d = P.Drive;
  const double ctrim = mode ? 0.59 : 0.45;
  const double x = 0.5 - 0.005 * d;
  Trim = ctrim * (150 * (x * x * x * x) + 0.55);
  if (P.TrimStereo) Trim *= 2;
  Drive = std::pow(10.0, 0.03 * d - 1);
  const double lv = static_cast<double>(P.Level) / 21.5443;
  Mix = std::nearbyint(lv * lv * lv * 0.01 * 10000) * 0.0001;
  InputGain = DbToAmp(static_cast<double>(P.Input) / 10);
  OutputGain = DbToAmp(static_cast<double>(P.Output) / 10);
  LPF = OnePole(3000, host, Factor);
  HPF = OnePole(mode ? 250 : 20, host, Factor);
  const double tone = P.Tone;
  const double toneGain = tone > 0 ? tone * 11.42 / 15 : tone * 13.35 / 15;
  const double toneBw = tone * 0.1 / 15 + 3.6;
  // The filters run at the oversampled rate, narrowed to 32 bits as the module passes it.
  const double rate = static_cast<float>(host * Factor);
  for (int c = 0; c < 2; ++c) {
    FHighPass[c].DesignHighpass(rate, mode ? 100 : 275, 2, 0);
    FTone[c].DesignPeak(rate, 1700, toneBw, toneGain);
    FRes[c].Setup(rate, Factor);
  }
}

void Overdrive::Suspend() {
  for (double& s : FState) s = 0;
}

template <typename T>
void Overdrive::Split(const T* In0, const T* In1, T* Out0, T* Out1, int N) {
  for (int done = 0; done < N;) {
    const int n = std::min(FBlockSize, N - done);
    Piece(In0 + done, In1 + done, Out0 + done, Out1 + done, n);
    done += n;
  }
  if (N == 0) Piece(In0, In1, Out0, Out1, 0);
}

void Overdrive::Process64(const double* In0, const double* In1, double* Out0, double* Out1, int N) {
  Split(In0, In1, Out0, Out1, N);
}

void Overdrive::Process32(const float* In0, const float* In1, float* Out0, float* Out1, int N) {
  Split(In0, In1, Out0, Out1, N);
}

template <typename T>
void Overdrive::Piece(const T* In0, const T* In1, T* Out0, T* Out1, int N) {
  const int F = Factor;
  const T* in[2] = {In0, In1};
  T* out[2] = {Out0, Out1};
  T* wi[2];
  T* wo[2];
  for (int c = 0; c < 2; ++c) {
    if constexpr (sizeof(T) == 8) {
      FIn64[c].assign(static_cast<size_t>(N) * F + 1, 0.0);
      FOut64[c].assign(static_cast<size_t>(N) * F + 1, 0.0);
      wi[c] = FIn64[c].data();
      wo[c] = FOut64[c].data();
    } else {
      FIn32[c].assign(static_cast<size_t>(N) * F + 1, 0.0f);
      FOut32[c].assign(static_cast<size_t>(N) * F + 1, 0.0f);
      wi[c] = FIn32[c].data();
      wo[c] = FOut32[c].data();
    }
  }
  for (int c = 0; c < 2; ++c)
    for (int j = 0; j < N; ++j) {
      if constexpr (sizeof(T) == 8)
        FRes[c].Upsample64(InputGain * in[c][j], wi[c] + static_cast<size_t>(j) * F);
      else
        FRes[c].Upsample32(static_cast<float>(InputGain * in[c][j]), wi[c] + static_cast<size_t>(j) * F);
    }
  Kernel(wi[0], wi[1], wo[0], wo[1], N * F);
  for (int c = 0; c < 2; ++c)
    for (int j = 0; j < N; ++j) {
      if constexpr (sizeof(T) == 8)
        out[c][j] = OutputGain * FRes[c].Downsample64(wo[c] + static_cast<size_t>(j) * F);
      else
        out[c][j] = static_cast<float>(OutputGain * FRes[c].Downsample32(wo[c] + static_cast<size_t>(j) * F));
    }
}

template <typename T>
void Overdrive::Kernel(const T* In0, const T* In1, T* Out0, T* Out1, int M) {
  double s[10];
  for (int i = 0; i < 10; ++i) s[i] = FState[i];
  const double cL = LPF, cH = HPF, D = Drive;
  double g = (1 - cL) * (1 - cL);
  g = g * g * Trim;
  const double m = Mix;
  auto sat = [&](double h) {
    double y = h / (std::fabs(h) + 1);
    if (!Symmetric && y < -Clip) y = -Clip;
    return y;
  };
  for (int i = 0; i < M; ++i) {
    const double x0 = In0[i], x1 = In1[i];
    if (Stereo) {
      const double y0 = sat(FHighPass[0].Process(D * x0));
      const double y1 = sat(FHighPass[1].Process(D * x1));
      s[0] = cL * s[0] + g * y0;
      s[5] = cL * s[5] + g * y1;
      s[1] = cL * s[1] + s[0];
      s[6] = cL * s[6] + s[5];
      s[2] = cL * s[2] + s[1];
      s[7] = cL * s[7] + s[6];
      s[3] = cL * s[3] + s[2];
      s[8] = cL * s[8] + s[7];
      s[4] = cH * (s[4] - s[3]) + s[3];
      s[9] = cH * (s[9] - s[8]) + s[8];
      const double w0 = s[3] - s[4], w1 = s[8] - s[9];
      Out0[i] = static_cast<T>(FTone[0].Process(w0 * m + x0 * (1 - m)));
      Out1[i] = static_cast<T>(FTone[1].Process(w1 * m + x1 * (1 - m)));
    } else {
      const double y = sat(FHighPass[0].Process(D * (x0 + x1)));
      s[0] = cL * s[0] + g * y;
      s[1] = cL * s[1] + s[0];
      s[2] = cL * s[2] + s[1];
      s[3] = cL * s[3] + s[2];
      s[4] = cH * (s[4] - s[3]) + s[3];
      const double w = s[3] - s[4];
      Out0[i] = static_cast<T>(FTone[0].Process(w * m + x0 * (1 - m)));
      Out1[i] = static_cast<T>(FTone[1].Process(w * m + x1 * (1 - m)));
    }
  }
  if (std::fabs(s[0]) < 1e-10)
    for (int i = 0; i < 5; ++i) FState[i] = 0;
  else
    for (int i = 0; i < 5; ++i) FState[i] = s[i];
  if (std::fabs(s[5]) < 1e-10 || !Stereo)
    for (int i = 5; i < 10; ++i) FState[i] = 0;
  else
    for (int i = 5; i < 10; ++i) FState[i] = s[i];
}

}  // namespace kvx::ref
