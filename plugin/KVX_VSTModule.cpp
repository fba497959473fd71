#include "plugin/KVX_VSTModule.h"

namespace kvx {

TVSTModule::TVSTModule() = default;

TVSTModule::TVSTModule(const char* ClassName, const TVSTModuleConfiguration* Configuration) {
  if (Configuration == nullptr)
    throw EVstError(std::string("Resource ") + (ClassName != nullptr ? ClassName : "") + " not found");
  ApplyConfiguration(*Configuration);
  if (OnInitialize) OnInitialize(this);
  ParameterCategories().CheckParametersInUse();
}

TVSTModule::~TVSTModule() { CloseEditor(); }

void TVSTModule::AfterConstruction() {
  TDspVSTModule::AfterConstruction();
  if (OnCreate) OnCreate(this);
}

void TVSTModule::ApplyConfiguration(const TVSTModuleConfiguration& c) {
  OnCreate = c.OnCreate;
  if (c.Flags) SetFlags(*c.Flags);
  if (c.Version) SetVersion(*c.Version);
  if (c.EffectName) SetEffectName(*c.EffectName);
  if (c.ProductName) SetProductName(*c.ProductName);
  if (c.VendorName) SetVendorName(*c.VendorName);
  if (c.VersionMajor) SetVersionMajor(*c.VersionMajor);
  if (c.VersionMinor) SetVersionMinor(*c.VersionMinor);
  if (c.PlugCategory) SetPlugCategory(*c.PlugCategory);
  if (c.CanDos) SetCanDos(*c.CanDos);
  if (c.SampleRate) SetSampleRate(*c.SampleRate);
  if (c.IORatio) SetIORatio(*c.IORatio);
  if (c.UniqueID) SetUniqueID(*c.UniqueID);
  for (const TVSTProgramConfiguration& p : c.Programs) {
    TCustomVstProgram* Program = Programs().Add();
    if (p.DisplayName) Program->SetDisplayName(*p.DisplayName);
  }
  for (const TVSTParameterConfiguration& p : c.ParameterProperties) {
    TCustomVstParameterProperty* Item = ParameterProperties().Add();
    if (p.CurveFactor) Item->SetCurveFactor(*p.CurveFactor);
    if (p.DisplayName) Item->SetDisplayName(*p.DisplayName);
    if (p.Flags) Item->SetFlags(*p.Flags);
    if (p.LargeStepFloat) Item->SetLargeStepFloat(*p.LargeStepFloat);
    if (p.LargeStepInteger) Item->SetLargeStepInteger(*p.LargeStepInteger);
    if (p.Max) Item->SetMax(*p.Max);
    if (p.MaxInteger) Item->SetMaxInteger(*p.MaxInteger);
    if (p.Min) Item->SetMin(*p.Min);
    if (p.MinInteger) Item->SetMinInteger(*p.MinInteger);
    if (p.ShortLabel) Item->SetShortLabel(*p.ShortLabel);
    if (p.SmallStepFloat) Item->SetSmallStepFloat(*p.SmallStepFloat);
    if (p.StepFloat) Item->SetStepFloat(*p.StepFloat);
    if (p.Units) Item->SetUnits(*p.Units);
    Item->SetVSTModule(this);
    if (p.Curve) Item->SetCurve(*p.Curve);
    if (p.SmoothingFactor) Item->SetSmoothingFactor(*p.SmoothingFactor);
    if (p.StepInteger) Item->SetStepInteger(*p.StepInteger);
    if (p.CanBeAutomated) Item->SetCanBeAutomated(*p.CanBeAutomated);
    if (p.ReportVST2Properties) Item->SetReportVST2Properties(*p.ReportVST2Properties);
    if (p.UseDefaultString2ParameterHandler)
      Item->SetUseDefaultString2ParameterHandler(*p.UseDefaultString2ParameterHandler);
    if (p.Category) Item->SetCategory(*p.Category);
    Item->OnParameterChange = p.OnParameterChange;
  }
  for (const std::string& Name : c.ParameterCategories) {
    if (ParameterCategories().CategoryExists(Name)) continue;
    ParameterCategories().Add()->SetDisplayName(Name);
  }
  if (c.ProcessPrecisition) SetProcessPrecisition(*c.ProcessPrecisition);
  OnOpen = c.OnOpen;
  OnClose = c.OnClose;
  OnInitialize = c.OnInitialize;
  OnBlockSizeChange = c.OnBlockSizeChange;
  SetOnProcess(c.OnProcess);
  SetOnProcess32Replacing(c.OnProcess32Replacing);
  SetOnProcess64Replacing(c.OnProcess64Replacing);
  OnSampleRateChange = c.OnSampleRateChange;
  OnSoftBypass = c.OnSoftBypass;
  OnSuspend = c.OnSuspend;
  OnResume = c.OnResume;
}

PVSTEffect InstantiateModule(TAudioMasterCallbackFunc AudioMaster, TModuleClass ModuleClass) noexcept {
  try {
    if (ModuleClass == nullptr) return nullptr;
    std::unique_ptr<TBasicVSTModule> Module = ModuleClass();
    if (!Module) return nullptr;
    Module->AfterConstruction();
    Module->SetAudioMaster(AudioMaster);
    AdoptModule(Module.get());
    return Module.release()->Effect();
  } catch (...) {
    // The unique_ptr has freed a module that failed on the way.
    return nullptr;
  }
}

}  // namespace kvx
