// The module class an effect derives from: it applies the effect's stored configuration property
// by property at construction, in the stored order, and fires OnCreate once the object is
// complete. InstantiateModule creates a module for a host.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/KVX_VSTModuleWithDsp.h"

namespace kvx {

// One parameter property as stored; unset fields keep the class defaults. Applied in this order:
// CurveFactor, DisplayName, Flags, LargeStepFloat, LargeStepInteger, Max, MaxInteger, Min,
// MinInteger, ShortLabel, SmallStepFloat, StepFloat, Units, the module reference, then the
// remaining fields (Curve, SmoothingFactor, StepInteger, CanBeAutomated, ReportVST2Properties,
// UseDefaultString2ParameterHandler, Category) and the OnParameterChange binding.
struct TVSTParameterConfiguration {
  std::optional<float> CurveFactor;
  std::optional<std::string> DisplayName;
  std::optional<TVstParameterPropertiesFlags> Flags;
  std::optional<float> LargeStepFloat;
  std::optional<int32_t> LargeStepInteger;
  std::optional<float> Max;
  std::optional<int32_t> MaxInteger;
  std::optional<float> Min;
  std::optional<int32_t> MinInteger;
  std::optional<std::string> ShortLabel;
  std::optional<float> SmallStepFloat;
  std::optional<float> StepFloat;
  std::optional<std::string> Units;
  std::optional<TCurveType> Curve;
  std::optional<float> SmoothingFactor;
  std::optional<int32_t> StepInteger;
  std::optional<bool> CanBeAutomated;
  std::optional<bool> ReportVST2Properties;
  std::optional<bool> UseDefaultString2ParameterHandler;
  std::optional<std::string> Category;
  TParameterChangeEvent OnParameterChange;
};

struct TVSTProgramConfiguration {
  std::optional<std::string> DisplayName;
};

// A module class's stored configuration, applied in the order of the fields.
struct TVSTModuleConfiguration {
  TVSTNotifyEvent OnCreate;
  std::optional<TEffFlags> Flags;
  std::optional<std::string> Version;
  std::optional<std::string> EffectName;
  std::optional<std::string> ProductName;
  std::optional<std::string> VendorName;
  std::optional<int32_t> VersionMajor;
  std::optional<int32_t> VersionMinor;
  std::optional<TVstPluginCategory> PlugCategory;
  std::optional<TVstCanDos> CanDos;
  std::optional<float> SampleRate;
  std::optional<float> IORatio;
  std::optional<std::string> UniqueID;
  std::vector<TVSTProgramConfiguration> Programs;
  std::vector<TVSTParameterConfiguration> ParameterProperties;
  std::vector<std::string> ParameterCategories;
  std::optional<TProcessPrecision> ProcessPrecisition;
  // The event bindings, applied last.
  TVSTNotifyEvent OnOpen;
  TVSTNotifyEvent OnClose;
  TVSTNotifyEvent OnInitialize;
  TBlockSizeChangeEvent OnBlockSizeChange;
  TProcessAudio32Event OnProcess = nullptr;
  TProcessAudio32Event OnProcess32Replacing = nullptr;
  TProcessAudio64Event OnProcess64Replacing = nullptr;
  TSampleRateChangeEvent OnSampleRateChange;
  TSoftBypassEvent OnSoftBypass;
  TVSTNotifyEvent OnSuspend;
  TVSTNotifyEvent OnResume;
};

class TVSTModule : public TDspVSTModule {
 public:
  // A plain module without a configuration.
  TVSTModule();
  // A module of the class ClassName with its stored configuration; a null configuration raises
  // EVstError "Resource <ClassName> not found".
  TVSTModule(const char* ClassName, const TVSTModuleConfiguration* Configuration);
  // Frees an editor window that is still open before the lower layers go.
  ~TVSTModule() override;

  // Fires OnCreate.
  void AfterConstruction() override;

  TVSTNotifyEvent OnCreate;
  TVSTNotifyEvent OnInitialize;

 private:
  void ApplyConfiguration(const TVSTModuleConfiguration& Configuration);
};

// Constructs a module of one class.
using TModuleClass = std::unique_ptr<TBasicVSTModule> (*)();

template <class TModule>
std::unique_ptr<TBasicVSTModule> ModuleClass() {
  return std::make_unique<TModule>();
}

// Creates a module of the class, completes it and connects it to the host; answers its record,
// or null when any step fails (the module is then freed at once). The module belongs to the
// library's module owner until effClose frees it.
PVSTEffect InstantiateModule(TAudioMasterCallbackFunc AudioMaster, TModuleClass ModuleClass) noexcept;

}  // namespace kvx
