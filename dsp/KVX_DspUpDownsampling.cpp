#include "dsp/KVX_DspUpDownsampling.h"

#include <algorithm>
#include <typeinfo>
#include <utility>

namespace kvx {

// ---- TKVXResampling ----------------------------------------------------------------------------

void TKVXResampling::SetFilterClass(TOrderFilterClass Value) {
  if (Value == nullptr) throw EArgumentError("A filter class is required");
  if (Value == FFilterClass) return;
  FFilterClass = Value;
  FilterClassChanged();
}

void TKVXResampling::SetFactor(int32_t Value) {
  if (Value < 1) throw EArgumentError("The factor must be at least 1");
  if (Value == FFactor) return;
  FFactor = Value;
  FactorChanged();
}

void TKVXResampling::SetOrder(int32_t Value) {
  Value = std::clamp(Value, 0, static_cast<int32_t>(TCustomButterworthFilter::MaxOrder));
  if (Value == FOrder) return;
  FOrder = Value;
  OrderChanged();
}

void TKVXResampling::SetTransitionBandwidth(double Value) {
  if (Value == FTransitionBandwidth) return;
  FTransitionBandwidth = Value;
  TransitionBandwidthChanged();
}

void TKVXResampling::SampleRateChanged() {
  UpdateFilter();
  Changed();
}

void TKVXResampling::FactorChanged() {
  UpdateFilter();
  Changed();
}

void TKVXResampling::OrderChanged() {
  UpdateFilter();
  Changed();
}

void TKVXResampling::TransitionBandwidthChanged() {
  UpdateFilter();
  Changed();
}

void TKVXResampling::AssignTo(TPersistent& Dest) const {
  TDspSampleRatePersistent::AssignTo(Dest);
  if (auto* D = dynamic_cast<TKVXResampling*>(&Dest)) {
    D->FFactor = FFactor;
    D->FOrder = FOrder;
    D->FTransitionBandwidth = FTransitionBandwidth;
  }
}

// ---- TKVXUpDownsampling ------------------------------------------------------------------------

TKVXUpDownsampling::TKVXUpDownsampling()
    : TKVXResampling(&CreateOrderFilter<TButterworthLowPassFilter>) {
  // The filters start at order 0 with their own defaults; the order setter below gives them
  // their order, clears them and sets their cutoff.
  FFilter[0] = FFilterClass(0);
  FFilter[1] = FFilterClass(0);
  UpdateFastPaths();
  SetOrder(2);
}

TKVXUpDownsampling::~TKVXUpDownsampling() {
  FFast[0] = nullptr;
  FFilter[0].reset();
  FFast[1] = nullptr;
  FFilter[1].reset();
}

void TKVXUpDownsampling::UpdateFastPaths() {
  for (int i = 0; i < 2; ++i) {
    TCustomOrderFilter* F = FFilter[i].get();
    FFast[i] = (F != nullptr && typeid(*F) == typeid(TButterworthLowPassFilter))
                   ? static_cast<TButterworthLowPassFilter*>(F)
                   : nullptr;
  }
}

void TKVXUpDownsampling::ResetStates() {
  FFilter[0]->ResetStates();
  FFilter[1]->ResetStates();
}

void TKVXUpDownsampling::UpdateFilter() {
  const double Cutoff = FTransitionBandwidth * 0.5 * SampleRate() / FFactor;
  KVX_ASSERT(FFilter[0] != nullptr && FFilter[1] != nullptr, "KVX_DspUpDownsampling");
  FFilter[0]->SetFrequency(Cutoff);
  FFilter[1]->SetFrequency(Cutoff);
  FFilter[0]->ResetStates();
  FFilter[1]->ResetStates();
}

void TKVXUpDownsampling::OrderChanged() {
  FFilter[0]->SetOrder(static_cast<uint32_t>(FOrder));
  FFilter[1]->SetOrder(static_cast<uint32_t>(FOrder));
  FFilter[0]->ResetStates();
  FFilter[1]->ResetStates();
  TKVXResampling::OrderChanged();
}

void TKVXUpDownsampling::SampleRateChanged() {
  FFilter[0]->SetSampleRate(SampleRate());
  FFilter[1]->SetSampleRate(SampleRate());
  UpdateFilter();
  Changed();
}

void TKVXUpDownsampling::FilterClassChanged() {
  for (int i = 0; i < 2; ++i) {
    std::unique_ptr<TCustomOrderFilter> New = FFilterClass(static_cast<uint32_t>(FOrder));
    if (FFilter[i] != nullptr) New->Assign(FFilter[i].get());
    FFast[i] = nullptr;
    std::swap(FFilter[i], New);
    // New now holds the old filter and frees it here.
  }
  UpdateFastPaths();
  Changed();
}

void TKVXUpDownsampling::AssignTo(TPersistent& Dest) const {
  TKVXResampling::AssignTo(Dest);
  if (auto* D = dynamic_cast<TKVXUpDownsampling*>(&Dest)) {
    D->FFilter[0]->Assign(FFilter[0].get());
    D->FFilter[1]->Assign(FFilter[1].get());
  }
}

// ---- block forms -------------------------------------------------------------------------------

void TKVXUpDownsampling::UpsampleBlock32(const float* Input, float* Output, int32_t SampleFrames) {
  const int32_t F = FFactor;
  if (FFast[0] != nullptr) {
    for (int32_t j = 0; j < SampleFrames; ++j) Upsample32With(*FFast[0], Input[j], Output + j * F);
  } else {
    for (int32_t j = 0; j < SampleFrames; ++j) Upsample32With(*FFilter[0], Input[j], Output + j * F);
  }
}

void TKVXUpDownsampling::UpsampleBlock64(const double* Input, double* Output, int32_t SampleFrames) {
  const int32_t F = FFactor;
  if (FFast[0] != nullptr) {
    for (int32_t j = 0; j < SampleFrames; ++j) Upsample64With(*FFast[0], Input[j], Output + j * F);
  } else {
    for (int32_t j = 0; j < SampleFrames; ++j) Upsample64With(*FFilter[0], Input[j], Output + j * F);
  }
}

void TKVXUpDownsampling::DownsampleBlock32(const float* Input, float* Output, int32_t SampleFrames) {
  const int32_t F = FFactor;
  if (FFast[1] != nullptr) {
    for (int32_t j = 0; j < SampleFrames; ++j) Output[j] = Downsample32With(*FFast[1], Input + j * F);
  } else {
    for (int32_t j = 0; j < SampleFrames; ++j) Output[j] = Downsample32With(*FFilter[1], Input + j * F);
  }
}

void TKVXUpDownsampling::DownsampleBlock64(const double* Input, double* Output, int32_t SampleFrames) {
  const int32_t F = FFactor;
  if (FFast[1] != nullptr) {
    for (int32_t j = 0; j < SampleFrames; ++j) Output[j] = Downsample64With(*FFast[1], Input + j * F);
  } else {
    for (int32_t j = 0; j < SampleFrames; ++j) Output[j] = Downsample64With(*FFilter[1], Input + j * F);
  }
}

}  // namespace kvx
