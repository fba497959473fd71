#include "dsp/KVX_DspFilterButterworth.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <typeinfo>

namespace kvx {

namespace {
// Above this angle the bilinear prewarp tan(w0/2) turns negative and the filter unstable; cutoffs
// at or above half the sample rate are held just below it, as the other designs hold w0.
constexpr double MaxW0 = 3.141;
}  // namespace

// ---- TCustomButterworthFilter ------------------------------------------------------------------

TCustomButterworthFilter::TCustomButterworthFilter(uint32_t Order)
    : TCustomOrderFilter(std::min(Order, MaxOrder)) {
  // The general w0 of the base construction has no meaning here: this class keeps its own.
  FExpW0 = {0, 0};
  if (FOrder > 0) CalculateOrderValues();
  TCustomButterworthFilter::CalculateW0();
}

void TCustomButterworthFilter::CalculateOrderValues() {
  FOrderInv = 1.0 / FOrder;
  FPiHalfOrderInv = 0.5 * std::numbers::pi * FOrderInv;
  FExpOrdPiHalf.Re = std::cos(FPiHalfOrderInv);
  FExpOrdPiHalf.Im = std::sin(FPiHalfOrderInv);
}

void TCustomButterworthFilter::CalculateW0() {
  FW0 = FSRR * 2 * std::numbers::pi * (FFrequency * FDownsampleFak);
  if (FW0 > MaxW0) FW0 = MaxW0;
  FTanW0 = std::tan(0.5 * FW0);
}

void TCustomButterworthFilter::OrderChanged() {
  if (FOrder > 0) {
    CalculateOrderValues();
    UpdateCoefficients();
    Changed();
  } else {
    FFilterGain = FGainFactor;
  }
}

void TCustomButterworthFilter::SetFilterValues(float AFrequency, float AGain) {
  FFrequency = AFrequency;
  FGain_dB = AGain;
  FGainFactor = std::exp(static_cast<double>(AGain) * 0.057564627325);
  CalculateW0();
}

void TCustomButterworthFilter::SetDownsampleAmount(int32_t Value) {
  // 2^31 does not fit the multiplier.
  Value = std::clamp(Value, 0, 30);
  if (Value == FDownsamplePow) return;
  FDownsamplePow = Value;
  FDownsampleFak = static_cast<int32_t>(std::nearbyint(std::pow(2.0, Value)));
  CalculateW0();
}

double TCustomButterworthFilter::Real(double Frequency) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  return Re;
}

double TCustomButterworthFilter::Imaginary(double Frequency) {
  double Re, Im;
  Complex(Frequency, Re, Im);
  return Im;
}

double TCustomButterworthFilter::MagnitudeLog10(double Frequency) {
  return 10 * std::log10(MagnitudeSquared(Frequency));
}

void TCustomButterworthFilter::PushStates() {
  std::array<double, MaxOrder> Entry;
  std::copy(std::begin(FState), std::end(FState), Entry.begin());
  FStateStack.insert(FStateStack.begin(), Entry);
}

void TCustomButterworthFilter::PopStates() {
  if (FStateStack.empty()) return;
  std::copy(FStateStack.front().begin(), FStateStack.front().end(), FState);
  FStateStack.erase(FStateStack.begin());
}

void TCustomButterworthFilter::ResetStates() { std::fill(FState, FState + FOrder, 0.0); }

void TCustomButterworthFilter::ResetStatesInt64() {
  FState[0] = 0;
  FState[1] = 0;
}

void TCustomButterworthFilter::AssignTo(TPersistent& Dest) const {
  TCustomOrderFilter::AssignTo(Dest);
  auto* D = dynamic_cast<TCustomButterworthFilter*>(&Dest);
  if (D == nullptr) return;
  D->FDownsamplePow = FDownsamplePow;
  D->FDownsampleFak = FDownsampleFak;
  D->FOrderInv = FOrderInv;
  D->FPiHalfOrderInv = FPiHalfOrderInv;
  D->FExpOrdPiHalf = FExpOrdPiHalf;
  D->FTanW0 = FTanW0;
  if (typeid(*D) == typeid(*this)) {
    D->FFilterGain = FFilterGain;
    std::copy(std::begin(FCoeffs), std::end(FCoeffs), D->FCoeffs);
    std::copy(std::begin(FState), std::end(FState), D->FState);
    D->FStateStack = FStateStack;
  } else {
    // The source's coefficients belong to its own design: the destination computes its own.
    D->CalculateCoefficients();
  }
}

// ---- frequency response ------------------------------------------------------------------------

namespace {
// H(e^jw) of the cascade: Gain * prod (1 + Sign z^-1)^2 / (1 - c0 z^-1 - c1 z^-2), and for odd
// orders (1 + Sign z^-1) / (1 - c0 z^-1).
std::complex<double> CascadeResponse(double W, double Gain, const double* Coeffs, uint32_t Order,
                                     double Sign) {
  const std::complex<double> Z1 = std::polar(1.0, -W);
  const std::complex<double> Z2 = Z1 * Z1;
  const std::complex<double> N1 = 1.0 + Sign * Z1;
  std::complex<double> H = Gain;
  const uint32_t Sections = Order / 2;
  for (uint32_t k = 0; k < Sections; ++k)
    H *= (N1 * N1) / (1.0 - Coeffs[2 * k] * Z1 - Coeffs[2 * k + 1] * Z2);
  if (Order & 1) H *= N1 / (1.0 - Coeffs[2 * Sections] * Z1);
  return H;
}
}  // namespace

void TCustomButterworthLowPassFilter::Complex(double Frequency, double& Real, double& Imaginary) {
  const auto H = CascadeResponse(2 * std::numbers::pi * Frequency * FSRR, FFilterGain, FCoeffs,
                                 FOrder, 1.0);
  Real = H.real();
  Imaginary = H.imag();
}

double TCustomButterworthLowPassFilter::MagnitudeSquared(double Frequency) {
  return std::norm(CascadeResponse(2 * std::numbers::pi * Frequency * FSRR, FFilterGain, FCoeffs,
                                   FOrder, 1.0));
}

double TCustomButterworthLowPassFilter::Phase(double Frequency) {
  return std::arg(CascadeResponse(2 * std::numbers::pi * Frequency * FSRR, FFilterGain, FCoeffs,
                                  FOrder, 1.0));
}

void TCustomButterworthHighPassFilter::Complex(double Frequency, double& Real, double& Imaginary) {
  const auto H = CascadeResponse(2 * std::numbers::pi * Frequency * FSRR, FFilterGain, FCoeffs,
                                 FOrder, -1.0);
  Real = H.real();
  Imaginary = H.imag();
}

double TCustomButterworthHighPassFilter::MagnitudeSquared(double Frequency) {
  return std::norm(CascadeResponse(2 * std::numbers::pi * Frequency * FSRR, FFilterGain, FCoeffs,
                                   FOrder, -1.0));
}

double TCustomButterworthHighPassFilter::Phase(double Frequency) {
  return std::arg(CascadeResponse(2 * std::numbers::pi * Frequency * FSRR, FFilterGain, FCoeffs,
                                  FOrder, -1.0));
}

// ---- coefficient designs -----------------------------------------------------------------------

void TCustomButterworthLowPassFilter::CalculateCoefficients() {
  const uint32_t N = FOrder;
  if (N == 0) {
    // Order 0 is a plain gain, and follows the gain.
    FFilterGain = FGainFactor;
    return;
  }
  const double K = FTanW0, K2 = K * K;
  const double c = FExpOrdPiHalf.Re, s = FExpOrdPiHalf.Im;
  const double RotRe = c * c - s * s, RotIm = 2 * s * c;
  FFilterGain = FGainFactorSquared;
  TComplex64 p = FExpOrdPiHalf;
  uint32_t i = 0;
  for (; i + 1 < N; i += 2) {
    const double e = 2 * p.Im * K;
    const double Re = p.Re * RotRe - p.Im * RotIm;
    p.Im = p.Im * RotRe + p.Re * RotIm;
    p.Re = Re;
    const double t = 1 / (K2 + e + 1);
    FFilterGain = FFilterGain * t * K2;
    FCoeffs[i] = (1 - K2) * 2 * t;
    FCoeffs[i + 1] = (e - K2 - 1) * t;
  }
  if (i < N) {
    const double t = 1 / (K + 1);
    FFilterGain = FFilterGain * t * K;
    FCoeffs[i] = (1 - K) * t;
  }
}

void TCustomButterworthHighPassFilter::CalculateCoefficients() {
  const uint32_t N = FOrder;
  if (N == 0) {
    // Order 0 is a plain gain, and follows the gain.
    FFilterGain = FGainFactor;
    return;
  }
  const double K = FTanW0, K2 = K * K;
  const double c = FExpOrdPiHalf.Re, s = FExpOrdPiHalf.Im;
  const double RotRe = c * c - s * s, RotIm = 2 * s * c;
  FFilterGain = FGainFactor * FGainFactor;
  TComplex64 p = FExpOrdPiHalf;
  uint32_t i = 0;
  for (; i + 1 < N; i += 2) {
    const double e = 2 * p.Im * K;
    const double Re = p.Re * RotRe - p.Im * RotIm;
    p.Im = p.Im * RotRe + p.Re * RotIm;
    p.Re = Re;
    const double t = 1 / (K2 + e + 1);
    FFilterGain = FFilterGain * t;
    FCoeffs[i] = (1 - K2) * 2 * t;
    FCoeffs[i + 1] = (e - K2 - 1) * t;
  }
  if (i < N) {
    const double t = 1 / (K + 1);
    FFilterGain = FFilterGain * t;
    FCoeffs[i] = (1 - K) * t;
  }
}

// ---- block processing --------------------------------------------------------------------------

void TCustomButterworthLowPassFilter::ProcessBlock32(float* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i)
    Data[i] = TCustomButterworthLowPassFilter::ProcessSample32(Data[i]);
}

void TCustomButterworthLowPassFilter::ProcessBlock64(double* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i)
    Data[i] = TCustomButterworthLowPassFilter::ProcessSample64(Data[i]);
}

void TCustomButterworthHighPassFilter::ProcessBlock32(float* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i)
    Data[i] = TCustomButterworthHighPassFilter::ProcessSample32(Data[i]);
}

void TCustomButterworthHighPassFilter::ProcessBlock64(double* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i)
    Data[i] = TCustomButterworthHighPassFilter::ProcessSample64(Data[i]);
}

}  // namespace kvx
