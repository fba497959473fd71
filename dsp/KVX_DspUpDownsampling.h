// Integer-factor oversampling for one channel: Upsample turns one sample into Factor samples at
// the high rate (zero-stuffing with gain compensation, then a low-pass), Downsample turns Factor
// samples back into one (low-pass, then the first of each group is kept).
#pragma once

#include <cstdint>
#include <memory>

#include "dsp/KVX_DspFilterButterworth.h"

namespace kvx {

// Tiny offsets that keep the filter states out of denormal numbers.
constexpr float DenormalOffset32 = 1e-24f;
constexpr double DenormalOffset64 = 1e-34;

// Settings of a resampler; SampleRate is the high (oversampled) rate.
class TKVXResampling : public TDspSampleRatePersistent {
 public:
  TOrderFilterClass FilterClass() const { return FFilterClass; }
  void SetFilterClass(TOrderFilterClass Value);
  int32_t Factor() const { return FFactor; }
  // At least 1: a smaller factor raises EArgumentError and nothing changes.
  void SetFactor(int32_t Value);
  int32_t Order() const { return FOrder; }
  // Limited to 0 .. 64, the orders a filter can hold.
  void SetOrder(int32_t Value);
  double TransitionBandwidth() const { return FTransitionBandwidth; }
  void SetTransitionBandwidth(double Value);

  virtual void ResetStates() = 0;

 protected:
  explicit TKVXResampling(TOrderFilterClass FilterClass) : FFilterClass(FilterClass) {}

  void SampleRateChanged() override;
  virtual void FactorChanged();
  virtual void FilterClassChanged() = 0;
  virtual void OrderChanged();
  virtual void TransitionBandwidthChanged();
  virtual void UpdateFilter() = 0;
  void AssignTo(TPersistent& Dest) const override;

  TOrderFilterClass FFilterClass;
  int32_t FFactor{1};
  int32_t FOrder{0};
  double FTransitionBandwidth{0.99};
};

// The up/down-sampler: filter 0 upsamples, filter 1 downsamples. With the default filter class
// (TButterworthLowPassFilter) the per-sample calls run the filters without a virtual call.
class TKVXUpDownsampling : public TKVXResampling {
 public:
  // Order 2, factor 1, 44100 Hz, transition bandwidth 0.99 (cutoff 21829.5 Hz), states cleared.
  TKVXUpDownsampling();
  ~TKVXUpDownsampling() override;

  // Writes Factor samples from Output[0].
  void Upsample32(float Input, float* Output) {
    if (FFast[0] != nullptr)
      Upsample32With(*FFast[0], Input, Output);
    else
      Upsample32With(*FFilter[0], Input, Output);
  }
  void Upsample64(double Input, double* Output) {
    if (FFast[0] != nullptr)
      Upsample64With(*FFast[0], Input, Output);
    else
      Upsample64With(*FFilter[0], Input, Output);
  }
  // Reads Factor samples from Input[0].
  float Downsample32(const float* Input) {
    return FFast[1] != nullptr ? Downsample32With(*FFast[1], Input)
                               : Downsample32With(*FFilter[1], Input);
  }
  double Downsample64(const double* Input) {
    return FFast[1] != nullptr ? Downsample64With(*FFast[1], Input)
                               : Downsample64With(*FFilter[1], Input);
  }

  // Block forms: SampleFrames low-rate samples, SampleFrames * Factor high-rate samples. The
  // same operations as the per-sample calls in a row.
  void UpsampleBlock32(const float* Input, float* Output, int32_t SampleFrames);
  void UpsampleBlock64(const double* Input, double* Output, int32_t SampleFrames);
  void DownsampleBlock32(const float* Input, float* Output, int32_t SampleFrames);
  void DownsampleBlock64(const double* Input, double* Output, int32_t SampleFrames);

  // Clears both filters' states.
  void ResetStates() override;

  TCustomOrderFilter* Filter(int Index) const { return FFilter[Index].get(); }

 protected:
  void SampleRateChanged() override;
  void FilterClassChanged() override;
  void OrderChanged() override;
  void UpdateFilter() override;
  void AssignTo(TPersistent& Dest) const override;

 private:
  template <class TFilter>
  void Upsample32With(TFilter& Filter, float Input, float* Output) {
    const double Offset = DenormalOffset32;
    Output[0] = static_cast<float>(
        Filter.ProcessSample64(static_cast<double>(FFactor) * static_cast<double>(Input) + Offset));
    for (int32_t k = 1; k < FFactor; ++k)
      Output[k] = static_cast<float>(Filter.ProcessSample64(-Offset));
  }
  template <class TFilter>
  void Upsample64With(TFilter& Filter, double Input, double* Output) {
    Output[0] = Filter.ProcessSample64(static_cast<double>(FFactor) * Input + DenormalOffset64);
    for (int32_t k = 1; k < FFactor; ++k) Output[k] = Filter.ProcessSample64(-DenormalOffset64);
  }
  template <class TFilter>
  float Downsample32With(TFilter& Filter, const float* Input) {
    const double Result =
        Filter.ProcessSample64(static_cast<double>(Input[0]) + static_cast<double>(DenormalOffset32));
    for (int32_t k = 1; k < FFactor; ++k) Filter.ProcessSample64(static_cast<double>(Input[k]));
    return static_cast<float>(Result);
  }
  template <class TFilter>
  double Downsample64With(TFilter& Filter, const double* Input) {
    const double Result = Filter.ProcessSample64(Input[0] + DenormalOffset64);
    for (int32_t k = 1; k < FFactor; ++k) Filter.ProcessSample64(Input[k] - DenormalOffset64);
    return Result;
  }
  void UpdateFastPaths();

  std::unique_ptr<TCustomOrderFilter> FFilter[2];
  // The filters again when they are of the default class, for calls without virtual dispatch.
  TButterworthLowPassFilter* FFast[2]{nullptr, nullptr};
};

}  // namespace kvx
