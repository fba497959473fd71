#include "dsp/KVX_DspFilterBasics.h"

#include <cmath>

namespace kvx {

namespace {
constexpr double r2 = 1.4142135623730951;
}

double ShelfK(const TComplex64& ExpW0, double W0) {
  // W0 is the limited angle: it reaches 3.141 exactly when the frequency is at or above it.
  if (W0 >= 3.141) return std::tan(0.5 * 3.141);
  return ExpW0.Im / (1 + ExpW0.Re);
}

void TBasicGainFilter::CalculateCoefficients() {
  FNominator[0] = FGainFactorSquared;
  FNominator[1] = 0;
  FNominator[2] = 0;
  FDenominator[0] = 0;
  FDenominator[1] = 0;
}

void TBasicGainFilter::ProcessBlock32(float* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i) Data[i] = TBasicGainFilter::ProcessSample32(Data[i]);
}

void TBasicGainFilter::ProcessBlock64(double* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i) Data[i] = TBasicGainFilter::ProcessSample64(Data[i]);
}

void TBasicPeakFilter::CalculateCoefficients() {
  const double A = FGainFactor, c = FExpW0.Re, Alpha = FAlpha;
  const double t = 1 / (A + Alpha);
  FDenominator[0] = -2 * c * A * t;
  FDenominator[1] = (A - Alpha) * t;
  FNominator[0] = (A + Alpha * FGainFactorSquared) * t;
  FNominator[1] = FDenominator[0];
  FNominator[2] = (A - Alpha * FGainFactorSquared) * t;
}

void TBasicLowcutFilter::CalculateCoefficients() {
  const double c = FExpW0.Re;
  const double t = 1 / (1 + FAlpha);
  FNominator[0] = FGainFactorSquared * (1 + c) * 0.5 * t;
  FNominator[1] = -2 * FNominator[0];
  FNominator[2] = FNominator[0];
  FDenominator[0] = -2 * c * t;
  FDenominator[1] = (1 - FAlpha) * t;
}

void TBasicHighcutFilter::CalculateCoefficients() {
  const double c = FExpW0.Re;
  const double t = 1 / (1 + FAlpha);
  FNominator[0] = FGainFactorSquared * (1 - c) * 0.5 * t;
  FNominator[1] = 2 * FNominator[0];
  FNominator[2] = FNominator[0];
  FDenominator[0] = -2 * c * t;
  FDenominator[1] = (1 - FAlpha) * t;
}

void TBasicHighcutFilter::ProcessBlock32(float* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i)
    Data[i] = TBasicHighcutFilter::ProcessSample32(Data[i]);
}

void TBasicHighcutFilter::ProcessBlock64(double* Data, int32_t SampleCount) {
  for (int32_t i = 0; i < SampleCount; ++i)
    Data[i] = TBasicHighcutFilter::ProcessSample64(Data[i]);
}

void TBasicBandpassFilter::CalculateCoefficients() {
  const double c = FExpW0.Re;
  const double t = 1 / (1 + FAlpha);
  FNominator[0] = FGainFactorSquared * FAlpha * t;
  FNominator[1] = 0;
  FNominator[2] = -FNominator[0];
  FDenominator[0] = -2 * c * t;
  FDenominator[1] = (1 - FAlpha) * t;
}

void TBasicNotchFilter::CalculateCoefficients() {
  const double c = FExpW0.Re;
  const double t = 1 / (1 + FAlpha);
  FDenominator[0] = -2 * c * t;
  FDenominator[1] = (1 - FAlpha) * t;
  FNominator[0] = FGainFactorSquared * t;
  FNominator[1] = FDenominator[0] * FGainFactorSquared;
  FNominator[2] = FNominator[0];
}

void TBasicAllpassFilter::CalculateCoefficients() {
  const double c = FExpW0.Re;
  const double t = 1 / (1 + FAlpha);
  FDenominator[0] = -2 * c * t;
  FDenominator[1] = (1 - FAlpha) * t;
  FNominator[0] = FDenominator[1] * FGainFactorSquared;
  FNominator[1] = FDenominator[0] * FGainFactorSquared;
  FNominator[2] = FGainFactorSquared;
}

void TBasicLowShelfFilter::CalculateCoefficients() {
  const double A = FGainFactor, c = FExpW0.Re;
  const double SqrtA2Alpha = 2 * std::sqrt(A) * FAlpha;
  const double t = 1 / ((A + 1) + (A - 1) * c + SqrtA2Alpha);
  FNominator[0] = A * ((A + 1) - (A - 1) * c + SqrtA2Alpha) * t;
  FNominator[1] = 2 * A * ((A - 1) - (A + 1) * c) * t;
  FNominator[2] = A * ((A + 1) - (A - 1) * c - SqrtA2Alpha) * t;
  FDenominator[0] = -2 * ((A - 1) + (A + 1) * c) * t;
  FDenominator[1] = ((A + 1) + (A - 1) * c - SqrtA2Alpha) * t;
}

void TBasicLowShelfAFilter::CalculateCoefficients() {
  const double A = FGainFactor, A2 = FGainFactorSquared, B = FBandWidth;
  const double K = ShelfK(FExpW0, FW0), K2 = K * K;
  const double t = 1 / (1 + K * B + K2);
  FNominator[0] = (1 + r2 * A * K + A2 * K2) * t;
  FNominator[1] = 2 * (A2 * K2 - 1) * t;
  FNominator[2] = (1 - r2 * A * K + A2 * K2) * t;
  FDenominator[0] = 2 * (K2 - 1) * t;
  FDenominator[1] = (1 - K * B + K2) * t;
}

void TBasicLowShelfBFilter::CalculateCoefficients() {
  const double A = FGainFactor, A2 = FGainFactorSquared, B = FBandWidth;
  const double K = ShelfK(FExpW0, FW0), K2 = K * K;
  const double t = A / (r2 * K + A * (1 + K2 / A2));
  FNominator[0] = (1 + K * B + K2) * t;
  FNominator[1] = 2 * (K2 - 1) * t;
  FNominator[2] = (1 - K * B + K2) * t;
  FDenominator[0] = 2 * (K2 / A2 - 1) * t;
  FDenominator[1] = (1 - r2 * K / A + K2 / A2) * t;
}

void TBasicHighShelfAFilter::CalculateCoefficients() {
  const double A = FGainFactor, A2 = FGainFactorSquared, B = FBandWidth;
  const double K = ShelfK(FExpW0, FW0), K2 = K * K;
  const double t = 1 / (1 + K * B + K2);
  FNominator[0] = (A2 + r2 * A * K + K2) * t;
  FNominator[1] = 2 * (K2 - A2) * t;
  FNominator[2] = (A2 - r2 * A * K + K2) * t;
  FDenominator[0] = 2 * (K2 - 1) * t;
  FDenominator[1] = (1 - K * B + K2) * t;
}

void TBasicHighShelfBFilter::CalculateCoefficients() {
  const double A = FGainFactor, A2 = FGainFactorSquared, B = FBandWidth;
  const double K = ShelfK(FExpW0, FW0), K2 = K * K;
  const double t = 1 / (1 + r2 * A * K + A2 * K2);
  FNominator[0] = A2 * (1 + K * B + K2) * t;
  FNominator[1] = 2 * A2 * (K2 - 1) * t;
  FNominator[2] = A2 * (1 - K * B + K2) * t;
  FDenominator[0] = 2 * (A2 * K2 - 1) * t;
  FDenominator[1] = (1 - r2 * A * K + A2 * K2) * t;
}

}  // namespace kvx
