// Butterworth low-pass and high-pass filters of orders 1 to 64 by the bilinear transform: one
// overall gain, then a cascade of second-order sections and, for odd orders, one first-order
// section. The published classes are final, so a caller that holds one runs the cascade inline.
#pragma once

#include <array>
#include <vector>

#include "dsp/KVX_DspFilter.h"

namespace kvx {

class TCustomButterworthFilter : public TCustomOrderFilter {
 public:
  static constexpr uint32_t MaxOrder = 64;

  using TCustomFilter::Complex;

  double Real(double Frequency) override;
  double Imaginary(double Frequency) override;
  double MagnitudeLog10(double Frequency) override;

  void PushStates() override;
  void PopStates() override;
  // Clears the states the current order uses.
  void ResetStates() override;
  void ResetStatesInt64() override;
  // Gain := 0 dB.
  void Reset() override { SetGain(0); }
  uint32_t GetMaxOrder() const override { return MaxOrder; }

  // Stores frequency and gain and recomputes w0 only: no squared gain factor, no coefficients,
  // no notification.
  virtual void SetFilterValues(float AFrequency, float AGain);

  int32_t DownsampleAmount() const { return FDownsamplePow; }
  // The cutoff is multiplied by 2^Value (0 .. 30; negative values become 0).
  void SetDownsampleAmount(int32_t Value);
  int32_t DownsampleFaktor() const { return FDownsampleFak; }

  double FilterGain() const { return FFilterGain; }
  double TanW0() const { return FTanW0; }
  double Coefficient(int Index) const { return FCoeffs[Index]; }
  double State(int Index) const { return FState[Index]; }
  void SetState(int Index, double Value) { FState[Index] = Value; }
  size_t StateStackDepth() const { return FStateStack.size(); }

 protected:
  // Order is limited to 0 .. 64.
  explicit TCustomButterworthFilter(uint32_t Order);

  void CalculateW0() override;
  void OrderChanged() override;
  void AssignTo(TPersistent& Dest) const override;
  // The values derived from the order alone.
  void CalculateOrderValues();

  int32_t FDownsamplePow{0};
  int32_t FDownsampleFak{1};
  double FFilterGain{1};
  double FOrderInv{0};
  double FPiHalfOrderInv{0};
  TComplex64 FExpOrdPiHalf{0, 0};
  double FTanW0{0};
  double FCoeffs[MaxOrder]{};
  double FState[MaxOrder]{};
  std::vector<std::array<double, MaxOrder>> FStateStack;
};

class TCustomButterworthLowPassFilter : public TCustomButterworthFilter {
 public:
  explicit TCustomButterworthLowPassFilter(uint32_t Order = 0) : TCustomButterworthFilter(Order) {
    TCustomButterworthLowPassFilter::CalculateCoefficients();
  }

  float ProcessSample32(float Input) override {
    double U = static_cast<float>(FFilterGain * static_cast<double>(Input));
    const uint32_t Sections = FOrder / 2;
    for (uint32_t k = 0; k < Sections; ++k) {
      double& A = FState[2 * k];
      double& B = FState[2 * k + 1];
      const double Y = static_cast<float>(U + A);
      A = 2 * U + FCoeffs[2 * k] * Y + B;
      B = U + FCoeffs[2 * k + 1] * Y;
      U = Y;
    }
    if (FOrder & 1) {
      double& A = FState[2 * Sections];
      const double Y = static_cast<float>(U + A);
      A = U + FCoeffs[2 * Sections] * Y;
      U = Y;
    }
    return static_cast<float>(U);
  }
  double ProcessSample64(double Input) override {
    double U = FFilterGain * Input;
    const uint32_t Sections = FOrder / 2;
    for (uint32_t k = 0; k < Sections; ++k) {
      double& A = FState[2 * k];
      double& B = FState[2 * k + 1];
      const double Y = U + A;
      A = 2 * U + FCoeffs[2 * k] * Y + B;
      B = U + FCoeffs[2 * k + 1] * Y;
      U = Y;
    }
    if (FOrder & 1) {
      double& A = FState[2 * Sections];
      const double Y = U + A;
      A = U + FCoeffs[2 * Sections] * Y;
      U = Y;
    }
    return U;
  }
  using TCustomButterworthFilter::ProcessSample64;
  void ProcessBlock32(float* Data, int32_t SampleCount) override;
  void ProcessBlock64(double* Data, int32_t SampleCount) override;

  double MagnitudeSquared(double Frequency) override;
  double Phase(double Frequency) override;
  void Complex(double Frequency, double& Real, double& Imaginary) override;

 protected:
  void CalculateCoefficients() override;
};

class TCustomButterworthHighPassFilter : public TCustomButterworthFilter {
 public:
  explicit TCustomButterworthHighPassFilter(uint32_t Order = 0) : TCustomButterworthFilter(Order) {
    TCustomButterworthHighPassFilter::CalculateCoefficients();
  }

  float ProcessSample32(float Input) override {
    double U = static_cast<float>(FFilterGain * static_cast<double>(Input));
    const uint32_t Sections = FOrder / 2;
    for (uint32_t k = 0; k < Sections; ++k) {
      double& A = FState[2 * k];
      double& B = FState[2 * k + 1];
      const double Y = static_cast<float>(U + A);
      A = -2 * U + FCoeffs[2 * k] * Y + B;
      B = U + FCoeffs[2 * k + 1] * Y;
      U = Y;
    }
    if (FOrder & 1) {
      double& A = FState[2 * Sections];
      const double Y = static_cast<float>(U + A);
      A = -U + FCoeffs[2 * Sections] * Y;
      U = Y;
    }
    return static_cast<float>(U);
  }
  double ProcessSample64(double Input) override {
    double U = FFilterGain * Input;
    const uint32_t Sections = FOrder / 2;
    for (uint32_t k = 0; k < Sections; ++k) {
      double& A = FState[2 * k];
      double& B = FState[2 * k + 1];
      const double Y = U + A;
      A = -2 * U + FCoeffs[2 * k] * Y + B;
      B = U + FCoeffs[2 * k + 1] * Y;
      U = Y;
    }
    if (FOrder & 1) {
      double& A = FState[2 * Sections];
      const double Y = U + A;
      A = -U + FCoeffs[2 * Sections] * Y;
      U = Y;
    }
    return U;
  }
  using TCustomButterworthFilter::ProcessSample64;
  void ProcessBlock32(float* Data, int32_t SampleCount) override;
  void ProcessBlock64(double* Data, int32_t SampleCount) override;

  double MagnitudeSquared(double Frequency) override;
  double Phase(double Frequency) override;
  void Complex(double Frequency, double& Real, double& Imaginary) override;

 protected:
  void CalculateCoefficients() override;
};

// The Butterworth low-pass with its parameters published; the resampler's default filter class.
class TButterworthLowPassFilter final : public TCustomButterworthLowPassFilter {
 public:
  explicit TButterworthLowPassFilter(uint32_t Order = 0) : TCustomButterworthLowPassFilter(Order) {}
};

class TButterworthHighPassFilter final : public TCustomButterworthHighPassFilter {
 public:
  explicit TButterworthHighPassFilter(uint32_t Order = 0)
      : TCustomButterworthHighPassFilter(Order) {}
};

}  // namespace kvx
