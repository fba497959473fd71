#include "dsp/KVX_DspFilter.h"

#include <algorithm>
#include <climits>
#include <typeinfo>
#include <complex>
#include <numbers>

namespace kvx {

namespace {
// sinh as (e^x - e^-x) / 2, exactly 0 for a zero argument.
double Sinh(double X) {
  if (X == 0) return 0;
  return (std::exp(X) - std::exp(-X)) * 0.5;
}
}  // namespace

// ---- TDspSampleRatePersistent ------------------------------------------------------------------

void TDspSampleRatePersistent::SetSampleRate(double Value) {
  if (Value == 0 || !std::isfinite(Value))
    throw EArgumentError("The sample rate must be a finite number other than zero");
  const double Rate = std::fabs(Value);
  if (Rate == FSampleRate) return;
  FSampleRate = Rate;
  SampleRateChanged();
}

void TDspSampleRatePersistent::SampleRateChanged() { Changed(); }

void TDspSampleRatePersistent::AssignTo(TPersistent& Dest) const {
  TDspPersistent::AssignTo(Dest);
  if (auto* D = dynamic_cast<TDspSampleRatePersistent*>(&Dest)) D->FSampleRate = FSampleRate;
}

// ---- TCustomFilter -----------------------------------------------------------------------------

int64_t TCustomFilter::ProcessSample64(int64_t) {
  throw EInvalidOperation("Integer processing is not implemented by this filter");
}

void TCustomFilter::ProcessBlock32(float* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i) Data[i] = ProcessSample32(Data[i]);
}

void TCustomFilter::ProcessBlock64(double* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i) Data[i] = ProcessSample64(Data[i]);
}

double TCustomFilter::Phase(double Frequency) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  return std::atan2(Im, Re);
}

void TCustomFilter::Complex(double Frequency, float& Real, float& Imaginary) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  Real = static_cast<float>(Re);
  Imaginary = static_cast<float>(Im);
}

void TCustomFilter::GetIR(std::vector<float>& ImpulseResponse) {
  if (ImpulseResponse.empty()) return;
  PushStates();
  ImpulseResponse[0] = static_cast<float>(ProcessSample64(1.0));
  for (size_t i = 1; i < ImpulseResponse.size(); ++i)
    ImpulseResponse[i] = static_cast<float>(ProcessSample64(0.0));
  PopStates();
}

void TCustomFilter::GetIR(std::vector<double>& ImpulseResponse) {
  if (ImpulseResponse.empty()) return;
  PushStates();
  ImpulseResponse[0] = ProcessSample64(1.0);
  for (size_t i = 1; i < ImpulseResponse.size(); ++i) ImpulseResponse[i] = ProcessSample64(0.0);
  PopStates();
}

void TCustomFilter::SampleRateChanged() {
  UpdateSampleRateDependents();
  Changed();
}

void TCustomFilter::AssignTo(TPersistent& Dest) const {
  TDspSampleRatePersistent::AssignTo(Dest);
  if (auto* D = dynamic_cast<TCustomFilter*>(&Dest)) D->FSRR = FSRR;
}

// ---- TCustomGainFrequencyFilter ----------------------------------------------------------------

void TCustomGainFrequencyFilter::SetGain(double Value) {
  if (Value == FGain_dB) return;
  FGain_dB = Value;
  GainChanged();
}

void TCustomGainFrequencyFilter::SetFrequency(double Value) {
  if (Value < 1e-10) Value = 1e-10;
  if (Value == FFrequency) return;
  FFrequency = Value;
  FrequencyChanged();
}

void TCustomGainFrequencyFilter::CalculateW0() {
  FW0 = 2 * std::numbers::pi * FFrequency * FSRR;
  FExpW0.Re = std::cos(FW0);
  FExpW0.Im = std::sin(FW0);
  // The designs need an angle below pi; cos and sin keep the unlimited one.
  if (FW0 > 3.141) FW0 = 3.141;
}

void TCustomGainFrequencyFilter::CalculateGainFactor() {
  FGainFactor = DecibelToAmplitude(0.5 * FGain_dB);
  FGainFactorSquared = FGainFactor * FGainFactor;
}

void TCustomGainFrequencyFilter::FrequencyChanged() {
  CalculateW0();
  UpdateCoefficients();
  Changed();
}

void TCustomGainFrequencyFilter::GainChanged() {
  CalculateGainFactor();
  UpdateCoefficients();
  Changed();
}

void TCustomGainFrequencyFilter::UpdateSampleRateDependents() {
  CalculateSRR();
  CalculateW0();
  UpdateCoefficients();
}

void TCustomGainFrequencyFilter::AssignTo(TPersistent& Dest) const {
  TCustomFilterWithOrder::AssignTo(Dest);
  if (auto* D = dynamic_cast<TCustomGainFrequencyFilter*>(&Dest)) {
    D->FGain_dB = FGain_dB;
    D->FGainFactor = FGainFactor;
    D->FGainFactorSquared = FGainFactorSquared;
    D->FFrequency = FFrequency;
    D->FW0 = FW0;
    D->FExpW0 = FExpW0;
  }
}

// ---- TCustomBandwidthIIRFilter -----------------------------------------------------------------

void TCustomBandwidthIIRFilter::SetBandWidth(double Value) {
  if (Value <= 0.001) Value = 0.001;
  if (Value == FBandWidth) return;
  FBandWidth = Value;
  BandwidthChanged();
}

void TCustomBandwidthIIRFilter::CalculateW0() {
  TCustomGainFrequencyFilter::CalculateW0();
  CalculateAlpha();
}

void TCustomBandwidthIIRFilter::CalculateAlpha() {
  if (FExpW0.Im == 0) {
    FAlpha = FExpW0.Im / (2 * FBandWidth);
  } else {
    FAlpha = FExpW0.Im *
             Sinh(HalfLn2 * std::sqrt((1 + FExpW0.Re) / 2) * FBandWidth * FW0 / FExpW0.Im);
  }
}

void TCustomBandwidthIIRFilter::BandwidthChanged() {
  CalculateAlpha();
  UpdateCoefficients();
  Changed();
}

void TCustomBandwidthIIRFilter::AssignTo(TPersistent& Dest) const {
  TCustomIIRFilter::AssignTo(Dest);
  if (auto* D = dynamic_cast<TCustomBandwidthIIRFilter*>(&Dest)) {
    D->SetBandWidth(FBandWidth);
    // The frequency arrived without its hook: alpha must follow it even when the bandwidth
    // was already equal.
    D->CalculateAlpha();
  }
}

// ---- TCustomOrderFilter ------------------------------------------------------------------------

void TCustomOrderFilter::SetOrder(uint32_t Value) {
  const uint32_t N = std::min(Value, GetMaxOrder());
  if (N == FOrder) return;
  FOrder = N;
  OrderChanged();
}

void TCustomOrderFilter::OrderChanged() {
  UpdateCoefficients();
  Changed();
}

void TCustomOrderFilter::AssignTo(TPersistent& Dest) const {
  TCustomGainFrequencyFilter::AssignTo(Dest);
  if (auto* D = dynamic_cast<TCustomOrderFilter*>(&Dest)) D->FOrder = FOrder;
}

// ---- TCustomBiquadIIRFilter --------------------------------------------------------------------

namespace {
// Rounds to the nearest integer, halves to even, saturating at the ends of the 64-bit range.
double RoundProduct(double X) { return std::nearbyint(X); }

int64_t ToInt64(double X) {
  if (std::isnan(X)) return 0;
  if (X >= 9223372036854775807.0) return INT64_MAX;
  if (X <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(X);
}
}  // namespace

int64_t TCustomBiquadIIRFilter::ProcessSample64(int64_t Input) {
  const double X = static_cast<double>(Input);
  const double Y = RoundProduct(FNominator[0] * X) + FState[0];
  FState[0] = RoundProduct(FNominator[1] * X) - RoundProduct(FDenominator[0] * Y) + FState[1];
  FState[1] = RoundProduct(FNominator[2] * X) - RoundProduct(FDenominator[1] * Y);
  return ToInt64(Y);
}

void TCustomBiquadIIRFilter::ProcessBlock32(float* Data, int32_t SampleCount) {
  const double B0 = FNominator[0], B1 = FNominator[1], B2 = FNominator[2];
  const double A1 = FDenominator[0], A2 = FDenominator[1];
  double S0 = FState[0], S1 = FState[1];
  for (int32_t i = 0; i < SampleCount; ++i) {
    const double X = Data[i];
    const float Y = static_cast<float>(B0 * X + S0);
    S0 = B1 * X - A1 * Y + S1;
    S1 = B2 * X - A2 * Y;
    Data[i] = Y;
  }
  FState[0] = S0;
  FState[1] = S1;
}

void TCustomBiquadIIRFilter::ProcessBlock64(double* Data, int32_t SampleCount) {
  const double B0 = FNominator[0], B1 = FNominator[1], B2 = FNominator[2];
  const double A1 = FDenominator[0], A2 = FDenominator[1];
  double S0 = FState[0], S1 = FState[1];
  for (int32_t i = 0; i < SampleCount; ++i) {
    const double X = Data[i];
    const double Y = B0 * X + S0;
    S0 = B1 * X - A1 * Y + S1;
    S1 = B2 * X - A2 * Y;
    Data[i] = Y;
  }
  FState[0] = S0;
  FState[1] = S1;
}

void TCustomBiquadIIRFilter::Complex(double Frequency, double& Real, double& Imaginary) {
  const double W = 2 * std::numbers::pi * Frequency * FSRR;
  const std::complex<double> Z1 = std::polar(1.0, -W);  // z^-1
  const std::complex<double> Z2 = Z1 * Z1;
  const std::complex<double> H = (FNominator[0] + FNominator[1] * Z1 + FNominator[2] * Z2) /
                                 (1.0 + FDenominator[0] * Z1 + FDenominator[1] * Z2);
  Real = H.real();
  Imaginary = H.imag();
}

double TCustomBiquadIIRFilter::MagnitudeSquared(double Frequency) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  return Re * Re + Im * Im;
}

double TCustomBiquadIIRFilter::MagnitudeLog10(double Frequency) {
  return 10 * std::log10(MagnitudeSquared(Frequency));
}

double TCustomBiquadIIRFilter::Real(double Frequency) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  return Re;
}

double TCustomBiquadIIRFilter::Imaginary(double Frequency) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  return Im;
}

void TCustomBiquadIIRFilter::PushStates() {
  FStateStack.insert(FStateStack.begin(), std::array<double, 2>{FState[0], FState[1]});
}

void TCustomBiquadIIRFilter::PopStates() {
  if (FStateStack.empty()) return;
  FState[0] = FStateStack.front()[0];
  FState[1] = FStateStack.front()[1];
  FStateStack.erase(FStateStack.begin());
}

void TCustomBiquadIIRFilter::SetOrder(uint32_t) { throw EInvalidOperation("Order is fixed!"); }

void TCustomBiquadIIRFilter::CalculatePoleZeroes() {
  auto Roots = [](double P, double D, TComplex32* R) {
    if (D > 0) {
      const double Q = std::sqrt(D);
      R[0] = {static_cast<float>(P), static_cast<float>(Q)};
      R[1] = {static_cast<float>(P), static_cast<float>(-Q)};
    } else {
      const double Q = std::sqrt(-D);
      R[0] = {static_cast<float>(P + Q), 0};
      R[1] = {static_cast<float>(P - Q), 0};
    }
  };
  if (FNominator[0] != 0) {
    const double P = -FNominator[1] / (2 * FNominator[0]);
    Roots(P, FNominator[2] / FNominator[0] - P * P, FZeros);
  } else {
    // A vanished numerator has no finite zeros to report.
    FZeros[0] = FZeros[1] = {0, 0};
  }
  const double P = -FDenominator[0] / 2;
  Roots(P, FDenominator[1] - P * P, FPoles);
}

void TCustomBiquadIIRFilter::AssignTo(TPersistent& Dest) const {
  TCustomBandwidthIIRFilter::AssignTo(Dest);
  auto* D = dynamic_cast<TCustomBiquadIIRFilter*>(&Dest);
  if (D == nullptr) return;
  if (typeid(*D) == typeid(*this)) {
    std::copy(std::begin(FDenominator), std::end(FDenominator), D->FDenominator);
    std::copy(std::begin(FNominator), std::end(FNominator), D->FNominator);
    std::copy(std::begin(FPoles), std::end(FPoles), D->FPoles);
    std::copy(std::begin(FZeros), std::end(FZeros), D->FZeros);
    std::copy(std::begin(FState), std::end(FState), D->FState);
    D->FStateStack = FStateStack;
  } else {
    D->CalculateCoefficients();
  }
}

}  // namespace kvx
