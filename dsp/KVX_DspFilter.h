// Filter base classes: sample rate ownership, the common filter interface (per-sample and
// per-block processing, state stack, frequency response) and the parameter layers gain/frequency,
// bandwidth and order with the values derived from them. Every setter recomputes what depends on
// it, so a filter is always ready to process.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "dsp/KVX_Classes.h"

namespace kvx {

// A complex number of two 64-bit floats.
struct TComplex64 {
  double Re;
  double Im;
};

// A complex number of two 32-bit floats.
struct TComplex32 {
  float Re;
  float Im;
};

// 10^(x/20) for x > -1000, else 0.
inline double DecibelToAmplitude(double Value) {
  if (Value > -1000) return std::exp(Value * 0.11512925464970228);
  return 0;
}

// ln(2)/2, the bandwidth constant of the biquad designs.
inline constexpr double HalfLn2 = std::numbers::ln2 / 2;

class TDspPersistent : public TNotifiablePersistent {};

// Owns a sample rate (Hz), 44100 after construction.
class TDspSampleRatePersistent : public TDspPersistent {
 public:
  TDspSampleRatePersistent() = default;

  double SampleRate() const { return FSampleRate; }
  // 0 (and a value that is not a number or infinite) is refused with EArgumentError and the old
  // rate stays; negative rates are taken by magnitude.
  void SetSampleRate(double Value);

 protected:
  virtual void SampleRateChanged();
  void AssignTo(TPersistent& Dest) const override;

  double FSampleRate{44100};
};

// The common interface of every filter. Operations without an implementation in a class raise
// EInvalidOperation.
class TCustomFilter : public TDspSampleRatePersistent {
 public:
  TCustomFilter() { FSRR = 1 / FSampleRate; }

  virtual float ProcessSample32(float Input) {
    return static_cast<float>(ProcessSample64(static_cast<double>(Input)));
  }
  virtual double ProcessSample64(double Input) = 0;
  // Integer processing: every product is rounded to an integer before it is added.
  virtual int64_t ProcessSample64(int64_t Input);
  // In place: Data[i] := ProcessSample32(Data[i]).
  virtual void ProcessBlock32(float* Data, int32_t SampleCount);
  virtual void ProcessBlock64(double* Data, int32_t SampleCount);

  // Frequency response at Frequency (Hz) for the current coefficients.
  virtual double MagnitudeSquared(double Frequency) = 0;
  virtual double MagnitudeLog10(double Frequency) = 0;
  virtual double Real(double Frequency) = 0;
  virtual double Imaginary(double Frequency) = 0;
  virtual double Phase(double Frequency);
  virtual void Complex(double Frequency, double& Real, double& Imaginary) = 0;
  virtual void Complex(double Frequency, float& Real, float& Imaginary);

  virtual void PushStates() = 0;
  virtual void PopStates() = 0;
  virtual void ResetStates() = 0;
  virtual void ResetStatesInt64() = 0;
  virtual void Reset() = 0;

  // The impulse response into the whole array, leaving the states as they were.
  void GetIR(std::vector<float>& ImpulseResponse);
  void GetIR(std::vector<double>& ImpulseResponse);

  double SRR() const { return FSRR; }

 protected:
  virtual void CalculateSRR() { FSRR = 1 / FSampleRate; }
  virtual void UpdateSampleRateDependents() { CalculateSRR(); }
  void SampleRateChanged() override;
  void AssignTo(TPersistent& Dest) const override;

  double FSRR{0};
};

// A filter with an order and a coefficient calculation.
class TCustomFilterWithOrder : public TCustomFilter {
 public:
  virtual uint32_t Order() const = 0;
  virtual void SetOrder(uint32_t Value) = 0;

 protected:
  virtual void CalculateCoefficients() = 0;
  virtual void UpdateCoefficients() { CalculateCoefficients(); }
};

// Gain (dB) and frequency (Hz) with the derived gain factors and normalized angular frequency.
class TCustomGainFrequencyFilter : public TCustomFilterWithOrder {
 public:
  TCustomGainFrequencyFilter() { TCustomGainFrequencyFilter::CalculateW0(); }

  double Gain() const { return FGain_dB; }
  void SetGain(double Value);
  double Frequency() const { return FFrequency; }
  // Values below 1e-10 Hz become 1e-10 Hz.
  void SetFrequency(double Value);

  double GainFactor() const { return FGainFactor; }
  double GainFactorSquared() const { return FGainFactorSquared; }
  double W0() const { return FW0; }
  TComplex64 ExpW0() const { return FExpW0; }

 protected:
  virtual void CalculateW0();
  virtual void CalculateGainFactor();
  virtual void FrequencyChanged();
  virtual void GainChanged();
  void UpdateSampleRateDependents() override;
  void AssignTo(TPersistent& Dest) const override;

  double FGain_dB{0};
  double FGainFactor{1};
  double FGainFactorSquared{1};
  double FFrequency{1000};
  double FW0{0};
  TComplex64 FExpW0{0, 0};
};

class TCustomIIRFilter : public TCustomGainFrequencyFilter {};

// Bandwidth in octaves (at least 0.001) and the alpha derived from it.
class TCustomBandwidthIIRFilter : public TCustomIIRFilter {
 public:
  TCustomBandwidthIIRFilter() { TCustomBandwidthIIRFilter::CalculateAlpha(); }

  double BandWidth() const { return FBandWidth; }
  void SetBandWidth(double Value);
  double Alpha() const { return FAlpha; }

 protected:
  void CalculateW0() override;
  virtual void CalculateAlpha();
  virtual void BandwidthChanged();
  void AssignTo(TPersistent& Dest) const override;

  double FBandWidth{1};
  double FAlpha{0};
};

// A filter of variable order, limited by GetMaxOrder.
class TCustomOrderFilter : public TCustomGainFrequencyFilter {
 public:
  // Stores the order; the class that knows its maximum order limits it and finishes construction.
  explicit TCustomOrderFilter(uint32_t Order) : FOrder(Order) {}

  uint32_t Order() const override { return FOrder; }
  // Limited to GetMaxOrder (compared as unsigned numbers).
  void SetOrder(uint32_t Value) override;
  virtual uint32_t GetMaxOrder() const = 0;

 protected:
  virtual void OrderChanged();
  void AssignTo(TPersistent& Dest) const override;

  uint32_t FOrder{0};
};

// A class reference for order filters: constructs the class with the given order.
using TOrderFilterClass = std::unique_ptr<TCustomOrderFilter> (*)(uint32_t Order);

template <class T>
std::unique_ptr<TCustomOrderFilter> CreateOrderFilter(uint32_t Order) {
  return std::make_unique<T>(Order);
}

// A second-order IIR section with 64-bit coefficients and two 64-bit states:
//   y := b0*x + s0;  s0 := b1*x - a1*y + s1;  s1 := b2*x - a2*y
// with the transfer function (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2). The descendants
// supply the coefficient design. A descendant that changes ProcessSample64 must also change the
// block forms, which run the section above directly.
class TCustomBiquadIIRFilter : public TCustomBandwidthIIRFilter {
 public:
  using TCustomFilter::Complex;

  float ProcessSample32(float Input) override {
    const double X = Input;
    const float Y = static_cast<float>(FNominator[0] * X + FState[0]);
    FState[0] = FNominator[1] * X - FDenominator[0] * Y + FState[1];
    FState[1] = FNominator[2] * X - FDenominator[1] * Y;
    return Y;
  }
  double ProcessSample64(double Input) override {
    const double Y = FNominator[0] * Input + FState[0];
    FState[0] = FNominator[1] * Input - FDenominator[0] * Y + FState[1];
    FState[1] = FNominator[2] * Input - FDenominator[1] * Y;
    return Y;
  }
  int64_t ProcessSample64(int64_t Input) override;
  void ProcessBlock32(float* Data, int32_t SampleCount) override;
  void ProcessBlock64(double* Data, int32_t SampleCount) override;

  double MagnitudeSquared(double Frequency) override;
  double MagnitudeLog10(double Frequency) override;
  double Real(double Frequency) override;
  double Imaginary(double Frequency) override;
  void Complex(double Frequency, double& Real, double& Imaginary) override;

  void PushStates() override;
  void PopStates() override;
  void ResetStates() override {
    FState[0] = 0;
    FState[1] = 0;
  }
  void ResetStatesInt64() override { ResetStates(); }
  // Gain := 0 dB.
  void Reset() override { SetGain(0); }

  // Always 2; writing it raises EInvalidOperation "Order is fixed!".
  uint32_t Order() const override { return 2; }
  void SetOrder(uint32_t Value) override;

  // b0, b1, b2 and a1, a2.
  double Nominator(int Index) const { return FNominator[Index]; }
  double Denominator(int Index) const { return FDenominator[Index]; }
  double State(int Index) const { return FState[Index]; }
  void SetState(int Index, double Value) { FState[Index] = Value; }
  TComplex32 Pole(int Index) const { return FPoles[Index]; }
  TComplex32 Zero(int Index) const { return FZeros[Index]; }
  size_t StateStackDepth() const { return FStateStack.size(); }

 protected:
  TCustomBiquadIIRFilter() = default;
  // The last steps of construction, once the most derived class has computed its coefficients.
  void FinishConstruction() {
    TCustomBiquadIIRFilter::CalculatePoleZeroes();
    ResetStates();
  }
  virtual void CalculatePoleZeroes();
  void AssignTo(TPersistent& Dest) const override;

  double FDenominator[2]{};
  double FNominator[3]{};
  TComplex32 FPoles[2]{};
  TComplex32 FZeros[2]{};
  double FState[2]{};
  std::vector<std::array<double, 2>> FStateStack;
};

// A biquad with its parameters published.
class TBiquadIIRFilter : public TCustomBiquadIIRFilter {
 protected:
  TBiquadIIRFilter() = default;
};

}  // namespace kvx
