#include "plugin/KVX_VSTParameters.h"

#include <cmath>

#include "plugin/KVX_VSTModuleWithPrograms.h"

namespace kvx {

// ---- TParameterValueArray ------------------------------------------------------------------------

TParameterValueArray& TParameterValueArray::operator=(const TParameterValueArray& Other) {
  if (this == &Other) return *this;
  Resize(Other.FCount);
  for (int32_t i = 0; i < FCount; ++i) Set(i, Other.Get(i));
  return *this;
}

float TParameterValueArray::Get(int32_t Index) const {
  if (Index < 0 || Index >= FCount) return 0.0f;
  return FValues[Index].load(std::memory_order_relaxed);
}

void TParameterValueArray::Set(int32_t Index, float Value) {
  if (Index < 0 || Index >= FCount) return;
  FValues[Index].store(Value, std::memory_order_relaxed);
}

void TParameterValueArray::Resize(int32_t NewCount) {
  if (NewCount < 0) NewCount = 0;
  if (NewCount == FCount) return;
  auto Values = std::make_unique<std::atomic<float>[]>(static_cast<size_t>(NewCount));
  for (int32_t i = 0; i < NewCount; ++i)
    Values[i].store(i < FCount ? FValues[i].load(std::memory_order_relaxed) : 0.0f,
                    std::memory_order_relaxed);
  FValues = std::move(Values);
  FCount = NewCount;
}

// ---- TCustomVstParameterProperty -----------------------------------------------------------------

TCustomVstParameterProperty::TCustomVstParameterProperty(TCustomVstParameterProperties* Collection,
                                                         int32_t Index)
    : FCollection(Collection),
      FIndex(Index),
      FDisplayName("Parameter " + std::to_string(Index + 1)),
      FVSTModule(Collection != nullptr ? Collection->VSTModule() : nullptr) {}

void TCustomVstParameterProperty::SetDisplayName(const std::string& Value) {
  const std::string Name = CutCharacters(Value, 64);
  if (Name == FDisplayName) return;
  if (FShortLabel.empty() || FShortLabel == FDisplayName) SetShortLabel(Name);
  FDisplayName = Name;
}

void TCustomVstParameterProperty::SetShortLabel(const std::string& Value) {
  FShortLabel = CutBytes(Value, 7);
}

void TCustomVstParameterProperty::SetCurve(TCurveType Value) {
  if (Value == FCurve) return;
  FCurve = Value;
  if (FCurve == ctLogarithmic && FMin != 0.0f) SetCurveFactor(FMax / FMin);
}

void TCustomVstParameterProperty::SetCurveFactor(float Value) {
  if (Value == FCurveFactor) return;
  FCurveFactor = Value;
  FInvCurveFactor = 1.0f / Value;
}

void TCustomVstParameterProperty::SetSmoothingFactor(float Value) {
  try {
    if (!(Value >= 0.0f)) throw EArgumentError("SmoothingFactor needs to be above or equal zero");
    if (!(Value < 1.0f))
      throw EArgumentError("SmoothingFactor needs to be below one! (0 = no smoothing)");
    FSmoothingFactor = Value;
  } catch (const EArgumentError&) {
    FSmoothingFactor = 0.0f;
  }
}

void TCustomVstParameterProperty::SetCategory(const std::string& Value) {
  if (FVSTModule == nullptr) return;
  TCustomVstParameterCategories& Categories = FVSTModule->ParameterCategories();
  if (Value.empty()) {
    FCategoryString.clear();
  } else {
    FCategoryString = CutBytes(Value, 23);
    if (!Categories.CategoryExists(FCategoryString)) {
      TCustomVstParameterCategory* Category = Categories.Add();
      Category->SetDisplayName(FCategoryString);
      Category->SetParametersInCategory(1);
    }
  }
  Categories.CheckParametersInUse();
}

int32_t TCustomVstParameterProperty::CategoryIndex() const {
  if (FVSTModule == nullptr || FCategoryString.empty()) return 0;
  return 1 + FVSTModule->ParameterCategories().CategoryIndex(FCategoryString);
}

void TCustomVstParameterProperty::SetCategoryIndex(int32_t Value) {
  if (FVSTModule == nullptr) return;
  TCustomVstParameterCategories& Categories = FVSTModule->ParameterCategories();
  if (Value >= 1 && Value <= Categories.Count())
    SetCategory(Categories[Value - 1].DisplayName());
  else
    SetCategory(std::string());
}

float TCustomVstParameterProperty::Smooth(float Value) {
  const float State = FSmoothStates.load(std::memory_order_relaxed);
  const auto v = static_cast<float>(static_cast<double>(Value) +
                                    static_cast<double>(FSmoothingFactor) *
                                        (static_cast<double>(State) - static_cast<double>(Value)));
  FSmoothStates.store(v, std::memory_order_relaxed);
  return v;
}

// Arithmetic in 64-bit floats; every step's result is kept as a 32-bit float.
float TCustomVstParameterProperty::VSTParameter2Parameter(float Value) {
  float x = Value;
  if (x < 0.0f) x = 0.0f;
  if (x > 1.0f) x = 1.0f;
  const double cf = FCurveFactor;
  switch (FCurve) {
    case ctLinear:
      break;
    case ctLogarithmic:
      x = static_cast<float>((std::exp(x * std::log(cf + 1.0)) - 1.0) * static_cast<double>(FInvCurveFactor));
      break;
    case ctExponential:
      x = static_cast<float>(std::log2(cf * x + 1.0) / std::log2(cf + 1.0));
      break;
    case ctFrequencyScale: {
      const double r = static_cast<double>(FMax) / static_cast<double>(FMin);
      x = static_cast<float>((std::exp(x * std::log(r + 1.0)) - 1.0) / r);
      break;
    }
  }
  float v = static_cast<float>(static_cast<double>(x) * (static_cast<double>(FMax) - FMin) + FMin);
  v = Smooth(v);
  if (FFlags.Contains(ppfParameterIsSwitch)) v = static_cast<float>(std::nearbyint(static_cast<double>(v)));
  return v;
}

float TCustomVstParameterProperty::Parameter2VSTParameter(float Value) const {
  // An empty range has no position in it: the host sees 0.
  if (FMax == FMin) return 0.0f;
  auto x = static_cast<float>((static_cast<double>(Value) - FMin) /
                              (static_cast<double>(FMax) - FMin));
  const double cf = FCurveFactor;
  switch (FCurve) {
    case ctLinear:
      break;
    case ctLogarithmic:
      KVX_ASSERT(cf * x + 1.0 >= 0.0, "KVX_VSTParameters");
      x = static_cast<float>(std::log2(cf * x + 1.0) / std::log2(cf + 1.0));
      break;
    case ctExponential:
      // The inverse of log2(cf x + 1) / log2(cf + 1).
      x = static_cast<float>((std::exp2(x * std::log2(cf + 1.0)) - 1.0) / cf);
      break;
    case ctFrequencyScale: {
      // The inverse of ((r + 1)^x - 1) / r.
      const double r = static_cast<double>(FMax) / static_cast<double>(FMin);
      x = static_cast<float>(std::log(r * x + 1.0) / std::log(r + 1.0));
      break;
    }
  }
  if (!(x >= 0.0f)) x = 0.0f;  // also for results that are not numbers
  if (x > 1.0f) x = 1.0f;
  return x;
}

// ---- TCustomVstParameterProperties ---------------------------------------------------------------

TCustomVstParameterProperty* TCustomVstParameterProperties::Items(int32_t Index) const {
  KVX_ASSERT(Index >= 0 && Index < Count(), "KVX_VSTParameters");
  return FItems[static_cast<size_t>(Index)].get();
}

TCustomVstParameterProperty* TCustomVstParameterProperties::Add() {
  FItems.push_back(std::make_unique<TCustomVstParameterProperty>(this, Count()));
  if (FVSTModule != nullptr) FVSTModule->ParameterCountChanged();
  return FItems.back().get();
}

void TCustomVstParameterProperties::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  FItems.erase(FItems.begin() + Index);
  for (int32_t i = Index; i < Count(); ++i) FItems[static_cast<size_t>(i)]->FIndex = i;
  if (FVSTModule != nullptr) FVSTModule->ParameterCountChanged();
}

void TCustomVstParameterProperties::Clear() {
  FItems.clear();
  if (FVSTModule != nullptr) FVSTModule->ParameterCountChanged();
}

// ---- categories ----------------------------------------------------------------------------------

TCustomVstParameterCategory::TCustomVstParameterCategory(TCustomVstParameterCategories* Collection,
                                                         int32_t Index)
    : FCollection(Collection), FIndex(Index), FDisplayName("Category " + std::to_string(Index + 1)) {}

TVSTModuleWithPrograms* TCustomVstParameterCategory::VSTModule() const {
  return FCollection != nullptr ? FCollection->VSTModule() : nullptr;
}

void TCustomVstParameterCategory::SetDisplayName(const std::string& Value) {
  FDisplayName = CutCharacters(Value, 24);
}

TCustomVstParameterCategory* TCustomVstParameterCategories::Items(int32_t Index) const {
  KVX_ASSERT(Index >= 0 && Index < Count(), "KVX_VSTParameters");
  return FItems[static_cast<size_t>(Index)].get();
}

TCustomVstParameterCategory* TCustomVstParameterCategories::Add() {
  FItems.push_back(std::make_unique<TCustomVstParameterCategory>(this, Count()));
  return FItems.back().get();
}

void TCustomVstParameterCategories::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  FItems.erase(FItems.begin() + Index);
  for (int32_t i = Index; i < Count(); ++i) FItems[static_cast<size_t>(i)]->FIndex = i;
}

void TCustomVstParameterCategories::Clear() { FItems.clear(); }

int32_t TCustomVstParameterCategories::CategoryIndex(const std::string& Name) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (FItems[static_cast<size_t>(i)]->DisplayName() == Name) return i;
  return -1;
}

void TCustomVstParameterCategories::CheckParametersInUse() {
  if (FVSTModule == nullptr) return;
  const TCustomVstParameterProperties& Properties = FVSTModule->ParameterProperties();
  for (auto& Category : FItems) {
    int32_t n = 0;
    for (int32_t p = 0; p < Properties.Count(); ++p)
      if (Properties[p].Category() == Category->DisplayName()) ++n;
    Category->SetParametersInCategory(n);
  }
}

}  // namespace kvx
