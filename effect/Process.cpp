#include "effect/Process.h"

namespace kvx {

namespace {

// Binds a notify event to a member function of the effect.
template <void (TProcessModule::*Method)(TBasicVSTModule*)>
TVSTNotifyEvent NotifyHandler() {
  return [](TBasicVSTModule* Sender) { (static_cast<TProcessModule*>(Sender)->*Method)(Sender); };
}

// Binds a parameter change event to a member function of the effect.
template <void (TProcessModule::*Method)(TBasicVSTModule*, const int32_t, float&)>
[[maybe_unused]] TParameterChangeEvent ParameterHandler() {
  return [](TBasicVSTModule* Sender, const int32_t Index, float& Value) {
    (static_cast<TProcessModule*>(Sender)->*Method)(Sender, Index, Value);
  };
}

// One row of the parameter table.
TVSTParameterConfiguration Parameter(const char* Name, const char* ShortLabel, const char* Units,
                                     float Min, float Max, bool Switch, float SmallStep,
                                     float LargeStep, int32_t LargeStepInteger) {
  TVSTParameterConfiguration p;
  p.CurveFactor = 1.0f;
  p.DisplayName = Name;
  p.Flags = Switch ? TVstParameterPropertiesFlags{ppfParameterIsSwitch}
                   : TVstParameterPropertiesFlags{ppfParameterUsesIntegerMinMax,
                                                  ppfParameterUsesFloatStep,
                                                  ppfParameterUsesIntStep};
  p.LargeStepFloat = LargeStep;
  p.LargeStepInteger = LargeStepInteger;
  p.Max = Max;
  p.MaxInteger = static_cast<int32_t>(Max);
  p.Min = Min;
  p.MinInteger = static_cast<int32_t>(Min);
  p.ShortLabel = ShortLabel;
  p.SmallStepFloat = SmallStep;
  p.StepFloat = 1.0f;
  p.Units = Units;
  p.Curve = ctLinear;
  p.SmoothingFactor = 0.0f;
  p.StepInteger = 1;
  p.CanBeAutomated = true;
  return p;
}

TVSTModuleConfiguration MakeConfiguration() {
  TVSTModuleConfiguration c;
  c.OnCreate = NotifyHandler<&TProcessModule::VSTModuleCreate>();
  c.Flags = TEffFlags{effFlagsCanMono, effFlagsCanReplacing, effFlagsCanDoubleReplacing};
  c.Version = "0.7";
  c.EffectName = "KVX ub37t v0.7";
  c.ProductName = "KVX ub37t v0.7";
  c.VendorName = "KVX";
  c.VersionMajor = 0;
  c.VersionMinor = 7;
  c.PlugCategory = vpcEffect;
  c.CanDos = AllVstCanDos();
  c.SampleRate = 44100.0f;
  c.IORatio = 1.0f;
  c.UniqueID = std::string("37t\0", 4);
  c.Programs = {TVSTProgramConfiguration{std::string()}};
  c.ParameterProperties = {
      Parameter("Drive", "Drive", "%", 0, 100, false, 0.5f, 2, 2),
      Parameter("Tone", "Tone", "dB", -15, 15, false, 0.5f, 2, 2),
      Parameter("Level", "Level", "%", 0, 100, false, 0.5f, 2, 2),
      Parameter("Bypass", "Bypass", "On/Off", 0, 1, true, 1, 1, 1),
      Parameter("Stereo", "Stereo", "On/Off", 0, 1, true, 1, 1, 1),
      Parameter("Symmetric", "Symmetr", "On/Off", 0, 1, true, 1, 1, 1),
      Parameter("Oversampling", "Oversam", "1x/8x/16x", 1, 16, false, 1, 1, 1),
      Parameter("Mode", "Mode", "On/Off", 0, 1, true, 1, 1, 1),
      Parameter("Input", "Input", "dB *0,1", -200, 200, false, 0.5f, 2, 2),
      Parameter("Output", "Output", "dB *0,1", -100, 100, false, 0.5f, 2, 2),
  };
  c.ParameterCategories = {"Highpass Filter"};
  c.ProcessPrecisition = pp64;
  return c;
}

}  // namespace

const TVSTModuleConfiguration& ProcessModuleConfiguration() {
  static const TVSTModuleConfiguration Configuration = MakeConfiguration();
  return Configuration;
}

TProcessModule::TProcessModule() : TVSTModule("TProcessModule", &ProcessModuleConfiguration()) {}

TProcessModule::~TProcessModule() = default;

void TProcessModule::VSTModuleCreate(TBasicVSTModule*) {
  SetFlags(Flags() | effFlagsHasEditor);
  // The editor window class is set here once the editor exists.
  for (int32_t i = 0; i < CParameterCount; ++i) SetParameter(i, CDefaultValues[static_cast<size_t>(i)]);
  // Program 0 holds the same values without running a handler.
  for (int32_t i = 0; i < CParameterCount; ++i)
    Programs()[0].SetParameter(i, CDefaultValues[static_cast<size_t>(i)]);
}

void TProcessModule::SetParamsToDefault() {
  for (int32_t i = 0; i < CParameterCount; ++i) SetParameter(i, CDefaultValues[static_cast<size_t>(i)]);
}

}  // namespace kvx
