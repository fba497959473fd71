// A straightforward scalar model of the overdrive, written from its formulas alone: design of the
// biquads and Butterworth low-passes, the up/down-sampler, the parameter responses and the chain.
// It shares no code with the plug-in, so a test that compares both catches a fault on either side.
#pragma once

#include <cstdint>
#include <vector>

namespace kvx::ref {

// Parameter values in the plug-in's own units (what the module stores after conversion).
struct Params {
  float Drive = 100, Tone = 0, Level = 0, Bypass = 0, Stereo = 0, Symmetric = 1, Oversampling = 1,
        Mode = 0, Input = 0, Output = 0;
  // The trim doubles for stereo only at a Drive or Mode change: this is the Stereo setting at the
  // last of those changes.
  bool TrimStereo = false;
};

// The value a linear parameter holds after the host sets host value X (each step kept in 32 bits).
float HostToParam(float X, float Min, float Max);

struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, s0 = 0, s1 = 0;
  void DesignHighpass(double SampleRate, double Frequency, double BandWidth, double GainDb);
  void DesignPeak(double SampleRate, double Frequency, double BandWidth, double GainDb);
  double Process(double x);
};

struct Butterworth4 {
  double gain = 1, c[4] = {}, s[4] = {};
  void Design(double SampleRate, double Frequency);
  double Process(double x);
};

struct Resampler {
  int Factor = 1;
  Butterworth4 Up, Down;
  void Setup(double SampleRate, int AFactor);  // high rate; clears the states
  void Upsample64(double x, double* Out);
  double Downsample64(const double* In);
  void Upsample32(float x, float* Out);
  float Downsample32(const float* In);
};

class Overdrive {
 public:
  // HostRate as announced (a 32-bit float, negative rates by magnitude); BlockSize as announced:
  // longer host blocks are split at multiples of it, as the plug-in does.
  Overdrive(float HostRate, const Params& P, int BlockSize);

  void Process64(const double* In0, const double* In1, double* Out0, double* Out1, int N);
  void Process32(const float* In0, const float* In1, float* Out0, float* Out1, int N);
  void Suspend();

  // Derived values, for checks of the parameter responses.
  double InputGain, OutputGain, Mix, Drive, Trim, LPF, HPF, Clip = 0.64;
  int Factor;
  bool Stereo, Symmetric;

 private:
  template <typename T>
  void Split(const T* In0, const T* In1, T* Out0, T* Out1, int N);
  template <typename T>
  void Piece(const T* In0, const T* In1, T* Out0, T* Out1, int N);
  template <typename T>
  void Kernel(const T* In0, const T* In1, T* Out0, T* Out1, int M);

  int FBlockSize;
  double FState[10] = {};
  Biquad FHighPass[2], FTone[2];
  Resampler FRes[2];
  std::vector<double> FIn64[2], FOut64[2];
  std::vector<float> FIn32[2], FOut32[2];
};

}  // namespace kvx::ref
