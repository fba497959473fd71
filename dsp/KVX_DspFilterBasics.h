// The biquad family: one coefficient design per class on the common second-order section.
// Notation of the designs: c = cos w0, s = sin w0, alpha, A = 10^(gain/40), K = tan(w0/2),
// B = bandwidth. The concrete classes are final, so a caller that holds one runs the section
// without a virtual call.
#pragma once

#include "dsp/KVX_DspFilter.h"

namespace kvx {

// K = s / (1 + c) of the shelf designs. At and above half the sample rate the angle is limited
// (as w0 is) so that K stays positive and the shelf stable.
double ShelfK(const TComplex64& ExpW0, double W0Unlimited);

// A plain gain of A^2; processes without states.
class TBasicGainFilter final : public TBiquadIIRFilter {
 public:
  TBasicGainFilter() {
    TBasicGainFilter::CalculateCoefficients();
    FinishConstruction();
  }
  using TCustomBiquadIIRFilter::ProcessSample64;
  float ProcessSample32(float Input) override {
    return static_cast<float>(static_cast<double>(Input) * FGainFactorSquared);
  }
  double ProcessSample64(double Input) override { return Input * FGainFactorSquared; }
  void ProcessBlock32(float* Data, int32_t SampleCount) override;
  void ProcessBlock64(double* Data, int32_t SampleCount) override;

 protected:
  void CalculateCoefficients() override;
};

// Peak (bell) filter: gain A^2 at the centre frequency.
class TBasicPeakFilter final : public TBiquadIIRFilter {
 public:
  TBasicPeakFilter() {
    TBasicPeakFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// High-pass of second order (low cut).
class TBasicLowcutFilter : public TBiquadIIRFilter {
 public:
  TBasicLowcutFilter() {
    TBasicLowcutFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// Low-pass of second order (high cut), run with its numerator shape 1, 2, 1.
class TBasicHighcutFilter final : public TBiquadIIRFilter {
 public:
  TBasicHighcutFilter() {
    TBasicHighcutFilter::CalculateCoefficients();
    FinishConstruction();
  }
  using TCustomBiquadIIRFilter::ProcessSample64;
  float ProcessSample32(float Input) override {
    const float U = static_cast<float>(FNominator[0] * static_cast<double>(Input));
    const float Y = static_cast<float>(U + FState[0]);
    FState[0] = 2 * static_cast<double>(U) - FDenominator[0] * Y + FState[1];
    FState[1] = U - FDenominator[1] * Y;
    return Y;
  }
  double ProcessSample64(double Input) override {
    const double U = FNominator[0] * Input;
    const double Y = U + FState[0];
    FState[0] = 2 * U - FDenominator[0] * Y + FState[1];
    FState[1] = U - FDenominator[1] * Y;
    return Y;
  }
  void ProcessBlock32(float* Data, int32_t SampleCount) override;
  void ProcessBlock64(double* Data, int32_t SampleCount) override;

 protected:
  void CalculateCoefficients() override;
};

// Band-pass with peak gain A^2.
class TBasicBandpassFilter final : public TBiquadIIRFilter {
 public:
  TBasicBandpassFilter() {
    TBasicBandpassFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// Notch: zero gain at the centre frequency.
class TBasicNotchFilter final : public TBiquadIIRFilter {
 public:
  TBasicNotchFilter() {
    TBasicNotchFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// Allpass of magnitude A^2.
class TBasicAllpassFilter final : public TBiquadIIRFilter {
 public:
  TBasicAllpassFilter() {
    TBasicAllpassFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// Low shelf from alpha.
class TBasicLowShelfFilter final : public TBiquadIIRFilter {
 public:
  TBasicLowShelfFilter() {
    TBasicLowShelfFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// Low shelf, variant A, from K = tan(w0/2).
class TBasicLowShelfAFilter final : public TBiquadIIRFilter {
 public:
  TBasicLowShelfAFilter() {
    TBasicLowShelfAFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// Low shelf, variant B, from K = tan(w0/2).
class TBasicLowShelfBFilter final : public TBiquadIIRFilter {
 public:
  TBasicLowShelfBFilter() {
    TBasicLowShelfBFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// High shelf, variant A, from K = tan(w0/2).
class TBasicHighShelfAFilter final : public TBiquadIIRFilter {
 public:
  TBasicHighShelfAFilter() {
    TBasicHighShelfAFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// High shelf, variant B, from K = tan(w0/2).
class TBasicHighShelfBFilter final : public TBiquadIIRFilter {
 public:
  TBasicHighShelfBFilter() {
    TBasicHighShelfBFilter::CalculateCoefficients();
    FinishConstruction();
  }

 protected:
  void CalculateCoefficients() override;
};

// The high-pass the overdrive runs before its saturator: the low-cut design.
class TBasicHighpassFilter final : public TBasicLowcutFilter {};

}  // namespace kvx
