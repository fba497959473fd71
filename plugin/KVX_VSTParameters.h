// Parameter properties: what describes one parameter of a module (names, unit label, range,
// curve, host information) with the conversions between the host's 0..1 and the parameter's own
// units; the module's collection of them; parameter categories; and the value array that holds
// live parameter values.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_Types.h"
#include "plugin/KVX_VSTEffect.h"

namespace kvx {

class TBasicVSTModule;
class TVSTModuleWithPrograms;
class TCustomVstParameterProperties;
class TCustomVstParameterCategories;

enum TCurveType : uint8_t { ctLinear, ctLogarithmic, ctExponential, ctFrequencyScale };

using TVstParameterPropertiesFlags = TSet<TVstParameterPropertiesFlag, uint8_t>;

using TParameterChangeEvent =
    std::function<void(TBasicVSTModule* Sender, const int32_t Index, float& Value)>;
using TCustomParameterLabelEvent =
    std::function<void(TBasicVSTModule* Sender, const int32_t Index, std::string& PreDefined)>;
using TCustomParameterDisplayEvent =
    std::function<void(TBasicVSTModule* Sender, const int32_t Index, std::string& PreDefined)>;
using TString2ParameterEvent = std::function<void(
    TBasicVSTModule* Sender, const int32_t Index, const std::string& ParameterString, float& Value)>;

// Parameter values in the parameters' own units. Each value is a single aligned store, read and
// written from any thread; resizing happens while the module is configured, never during
// processing.
class TParameterValueArray {
 public:
  TParameterValueArray() = default;
  TParameterValueArray(const TParameterValueArray& Other) { *this = Other; }
  TParameterValueArray& operator=(const TParameterValueArray& Other);

  int32_t Count() const { return FCount; }
  // Value i, or 0 outside the array.
  float Get(int32_t Index) const;
  // Ignored outside the array.
  void Set(int32_t Index, float Value);
  // New entries are 0.
  void Resize(int32_t NewCount);

 private:
  std::unique_ptr<std::atomic<float>[]> FValues;
  int32_t FCount = 0;
};

class TCustomVstParameterProperty {
 public:
  TCustomVstParameterProperty(TCustomVstParameterProperties* Collection, int32_t Index);

  TCustomVstParameterProperties* Collection() const { return FCollection; }
  int32_t Index() const { return FIndex; }
  TVSTModuleWithPrograms* VSTModule() const { return FVSTModule; }
  void SetVSTModule(TVSTModuleWithPrograms* Value) { FVSTModule = Value; }

  const std::string& DisplayName() const { return FDisplayName; }
  // Keeps the first 64 characters; a short label that is empty or follows the name follows it.
  void SetDisplayName(const std::string& Value);
  const std::string& ShortLabel() const { return FShortLabel; }
  // Keeps the first 7 characters.
  void SetShortLabel(const std::string& Value);
  const std::string& Units() const { return FUnits; }
  void SetUnits(const std::string& Value) { FUnits = Value; }

  float Min() const { return FMin; }
  void SetMin(float Value) { FMin = Value; }
  float Max() const { return FMax; }
  void SetMax(float Value) { FMax = Value; }
  TCurveType Curve() const { return FCurve; }
  // A logarithmic curve over a range not starting at 0 takes Max / Min as its factor.
  void SetCurve(TCurveType Value);
  float CurveFactor() const { return FCurveFactor; }
  void SetCurveFactor(float Value);
  float SmoothingFactor() const { return FSmoothingFactor; }
  // 0 <= Value < 1; anything else leaves 0.
  void SetSmoothingFactor(float Value);

  bool CanBeAutomated() const { return FCanBeAutomated; }
  void SetCanBeAutomated(bool Value) { FCanBeAutomated = Value; }
  bool ReportVST2Properties() const { return FV2Properties; }
  void SetReportVST2Properties(bool Value) { FV2Properties = Value; }
  bool UseDefaultString2ParameterHandler() const { return FUseDefaultStr2Param; }
  void SetUseDefaultString2ParameterHandler(bool Value) { FUseDefaultStr2Param = Value; }
  TVstParameterPropertiesFlags Flags() const { return FFlags; }
  void SetFlags(TVstParameterPropertiesFlags Value) { FFlags = Value; }
  float StepFloat() const { return FStepFloat; }
  void SetStepFloat(float Value) { FStepFloat = Value; }
  float SmallStepFloat() const { return FSmallStepFloat; }
  void SetSmallStepFloat(float Value) { FSmallStepFloat = Value; }
  float LargeStepFloat() const { return FLargeStepFloat; }
  void SetLargeStepFloat(float Value) { FLargeStepFloat = Value; }
  int32_t MinInteger() const { return FMinInteger; }
  void SetMinInteger(int32_t Value) { FMinInteger = Value; }
  int32_t MaxInteger() const { return FMaxInteger; }
  void SetMaxInteger(int32_t Value) { FMaxInteger = Value; }
  int32_t StepInteger() const { return FStepInteger; }
  void SetStepInteger(int32_t Value) { FStepInteger = Value; }
  int32_t LargeStepInteger() const { return FLargeStepInteger; }
  void SetLargeStepInteger(int32_t Value) { FLargeStepInteger = Value; }
  int32_t CC() const { return FCC; }
  void SetCC(int32_t Value) { FCC = Value; }

  const std::string& Category() const { return FCategoryString; }
  // A non-empty name (first 23 characters) adds the category when the module lacks it.
  void SetCategory(const std::string& Value);
  // 1-based position of the category in the module's categories, 0 for none.
  int32_t CategoryIndex() const;
  void SetCategoryIndex(int32_t Value);

  // Host value (0..1) to parameter value; advances the smoothing state.
  float VSTParameter2Parameter(float Value);
  // Parameter value to host value, 0..1.
  float Parameter2VSTParameter(float Value) const;
  float Smooth(float Value);

  TParameterChangeEvent OnParameterChange;
  TCustomParameterLabelEvent OnCustomParameterLabel;
  TCustomParameterDisplayEvent OnCustomParameterDisplay;
  TString2ParameterEvent OnStringToParameter;

 private:
  friend class TCustomVstParameterProperties;
  TCustomVstParameterProperties* FCollection;
  int32_t FIndex;
  std::atomic<float> FSmoothStates{0.0f};
  float FMin = 0.0f;
  float FMax = 1.0f;
  TCurveType FCurve = ctLinear;
  float FCurveFactor = 1.0f;
  float FInvCurveFactor = 1.0f;
  std::string FDisplayName;
  std::string FUnits;
  float FSmoothingFactor = 0.0f;
  bool FCanBeAutomated = true;
  bool FV2Properties = false;
  float FStepFloat = 1.0f;
  float FSmallStepFloat = 0.5f;
  float FLargeStepFloat = 2.0f;
  TVstParameterPropertiesFlags FFlags;
  int32_t FMinInteger = 0;
  int32_t FMaxInteger = 100;
  int32_t FStepInteger = 1;
  int32_t FLargeStepInteger = 10;
  int32_t FCC = -1;
  std::string FShortLabel;
  std::string FCategoryString;
  bool FUseDefaultStr2Param = false;
  TVSTModuleWithPrograms* FVSTModule;
};

// The module's parameter properties; the position of an item is the host's parameter index.
class TCustomVstParameterProperties {
 public:
  explicit TCustomVstParameterProperties(TVSTModuleWithPrograms* Module) : FVSTModule(Module) {}
  TVSTModuleWithPrograms* VSTModule() const { return FVSTModule; }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TCustomVstParameterProperty* Items(int32_t Index) const;
  TCustomVstParameterProperty& operator[](int32_t Index) const { return *Items(Index); }
  // Appends a property named "Parameter n"; the module grows its value arrays.
  TCustomVstParameterProperty* Add();
  void Delete(int32_t Index);
  void Clear();

 private:
  TVSTModuleWithPrograms* FVSTModule;
  std::vector<std::unique_ptr<TCustomVstParameterProperty>> FItems;
};

class TCustomVstParameterCategory {
 public:
  TCustomVstParameterCategory(TCustomVstParameterCategories* Collection, int32_t Index);
  TCustomVstParameterCategories* Collection() const { return FCollection; }
  int32_t Index() const { return FIndex; }
  TVSTModuleWithPrograms* VSTModule() const;
  const std::string& DisplayName() const { return FDisplayName; }
  // Keeps the first 24 characters.
  void SetDisplayName(const std::string& Value);
  int32_t ParametersInCategory() const { return FParametersInCategory; }
  void SetParametersInCategory(int32_t Value) { FParametersInCategory = Value; }

 private:
  friend class TCustomVstParameterCategories;
  TCustomVstParameterCategories* FCollection;
  int32_t FIndex;
  std::string FDisplayName;
  int32_t FParametersInCategory = 0;
};

class TCustomVstParameterCategories {
 public:
  explicit TCustomVstParameterCategories(TVSTModuleWithPrograms* Module) : FVSTModule(Module) {}
  TVSTModuleWithPrograms* VSTModule() const { return FVSTModule; }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TCustomVstParameterCategory* Items(int32_t Index) const;
  TCustomVstParameterCategory& operator[](int32_t Index) const { return *Items(Index); }
  TCustomVstParameterCategory* Add();
  void Delete(int32_t Index);
  void Clear();
  bool CategoryExists(const std::string& Name) const { return CategoryIndex(Name) >= 0; }
  // Position of the first category of that name, or -1.
  int32_t CategoryIndex(const std::string& Name) const;
  // Recounts the parameter properties of each category.
  void CheckParametersInUse();

 private:
  TVSTModuleWithPrograms* FVSTModule;
  std::vector<std::unique_ptr<TCustomVstParameterCategory>> FItems;
};

}  // namespace kvx
