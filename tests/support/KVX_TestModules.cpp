#include "support/KVX_TestModules.h"

#include <sstream>

#include "support/KVX_TestHost.h"

namespace kvx::test {

std::atomic<int> TTestWindow::Alive{0};
std::atomic<int> TTestModule::Destroyed{0};

TTestWindow::TTestWindow(TCustomVSTModule* Owner_) : Owner(Owner_) {
  SetClientSize(254, 353);
  ++Alive;
}

TTestWindow::~TTestWindow() { --Alive; }

std::unique_ptr<TTopLevelWindow> TTestWindow::Create(TCustomVSTModule* Owner) {
  return std::make_unique<TTestWindow>(Owner);
}

namespace {

std::string Format(const char* Name, double Value) {
  std::ostringstream s;
  s << Name << ' ' << Value;
  return s.str();
}

TTestModule* Self(TBasicVSTModule* Sender) { return static_cast<TTestModule*>(Sender); }

TVSTParameterConfiguration Param(const char* Name, float Min, float Max, const char* Units) {
  TVSTParameterConfiguration p;
  p.DisplayName = Name;
  p.Min = Min;
  p.Max = Max;
  p.Units = Units;
  return p;
}

}  // namespace

TVSTModuleConfiguration TTestModule::Configuration(const TTestModuleOptions& Options) {
  TVSTModuleConfiguration c;
  c.OnCreate = [](TBasicVSTModule* Sender) {
    TTestModule* m = Self(Sender);
    m->Log.push_back("Create");
    if (m->FOptions.FailInCreate) throw Exception("creation failed");
    if (m->FOptions.WithEditor) {
      m->SetFlags(m->Flags() | effFlagsHasEditor);
      m->SetEditorFormClass(&TTestWindow::Create);
    }
  };
  TEffFlags Flags{effFlagsCanReplacing, effFlagsCanDoubleReplacing};
  if (Options.ProgramChunks) Flags.Include(effFlagsProgramChunks);
  c.Flags = Flags;
  c.EffectName = "Test Module";
  c.VendorName = "KVX Tests";
  c.VersionMajor = 1;
  c.VersionMinor = 2;
  c.PlugCategory = vpcEffect;
  c.CanDos = AllVstCanDos();
  c.UniqueID = "KVXt";
  for (int i = 0; i < Options.Programs; ++i)
    c.Programs.push_back(TVSTProgramConfiguration{"Program " + std::to_string(i)});
  TVSTParameterConfiguration Gain = Param("Gain", 0, 2, "x");
  Gain.OnParameterChange = [](TBasicVSTModule* Sender, const int32_t Index, float& Value) {
    Self(Sender)->Gain.store(Value);
    Self(Sender)->Log.push_back(Format(("Param " + std::to_string(Index)).c_str(), Value));
  };
  TVSTParameterConfiguration Bypass = Param("Bypass", 0, 1, "On/Off");
  Bypass.Flags = TVstParameterPropertiesFlags{ppfParameterIsSwitch};
  Bypass.OnParameterChange = [](TBasicVSTModule* Sender, const int32_t Index, float& Value) {
    TTestModule* m = Self(Sender);
    m->Log.push_back(Format(("Param " + std::to_string(Index)).c_str(), Value));
    if (Value > 0.5f) {
      m->SetOnProcess32Replacing(ProcessHandler32<&TTestModule::Bypass32>());
      m->SetOnProcess64Replacing(ProcessHandler64<&TTestModule::Bypass64>());
    } else {
      m->SetOnProcess32Replacing(ProcessHandler32<&TTestModule::Process32>());
      m->SetOnProcess64Replacing(ProcessHandler64<&TTestModule::Process64>());
    }
  };
  TVSTParameterConfiguration Freq = Param("Freq", 20, 20000, "Hz");
  Freq.UseDefaultString2ParameterHandler = true;
  TVSTParameterConfiguration Limited = Param("Limited", 0, 1, "");
  Limited.OnParameterChange = [](TBasicVSTModule*, const int32_t, float& Value) {
    if (Value > 0.5f) Value = 0.5f;
  };
  TVSTParameterConfiguration Fixed = Param("Fixed", -1, 1, "");
  Fixed.CanBeAutomated = false;
  c.ParameterProperties = {Gain, Bypass, Freq, Limited, Fixed};
  c.OnClose = [](TBasicVSTModule* Sender) { Self(Sender)->Log.push_back("Close"); };
  c.OnBlockSizeChange = [](TBasicVSTModule* Sender, int32_t BlockSize) {
    Self(Sender)->Log.push_back(Format("BlockSize", BlockSize));
  };
  c.OnSampleRateChange = [](TBasicVSTModule* Sender, float SampleRate) {
    Self(Sender)->Log.push_back(Format("SampleRate", SampleRate));
  };
  c.OnSoftBypass = [](TBasicVSTModule* Sender, bool isBypass) {
    Self(Sender)->Log.push_back(Format("SoftBypass", isBypass));
  };
  c.OnSuspend = [](TBasicVSTModule* Sender) { Self(Sender)->Log.push_back("Suspend"); };
  c.OnProcess32Replacing = ProcessHandler32<&TTestModule::Process32>();
  c.OnProcess64Replacing = ProcessHandler64<&TTestModule::Process64>();
  return c;
}

TTestModule::TTestModule(const TTestModuleOptions& Options)
    : TVSTModule("TTestModule", [&] {
        static thread_local TVSTModuleConfiguration c;
        c = Configuration(Options);
        return &c;
      }()),
      FOptions(Options) {}

TTestModule::~TTestModule() { ++Destroyed; }

void TTestModule::Count(uint32_t SampleFrames) {
  const int n = ProcessCalls.fetch_add(1);
  if (n < 16) Frames[n].store(SampleFrames);
}

void TTestModule::Process32(const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs,
                            uint32_t SampleFrames) {
  Count(SampleFrames);
  const float g = Gain.load(std::memory_order_relaxed);
  for (int c = 0; c < 2; ++c)
    for (uint32_t i = 0; i < SampleFrames; ++i) Outputs[c][i] = Inputs[c][i] * g;
}

void TTestModule::Bypass32(const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs,
                           uint32_t SampleFrames) {
  Count(SampleFrames);
  for (int c = 0; c < 2; ++c)
    for (uint32_t i = 0; i < SampleFrames; ++i) Outputs[c][i] = Inputs[c][i];
}

void TTestModule::Process64(const PKVXDoubleFixedArray* Inputs, const PKVXDoubleFixedArray* Outputs,
                            uint32_t SampleFrames) {
  Count(SampleFrames);
  const double g = Gain.load(std::memory_order_relaxed);
  for (int c = 0; c < 2; ++c)
    for (uint32_t i = 0; i < SampleFrames; ++i) Outputs[c][i] = Inputs[c][i] * g;
}

void TTestModule::Bypass64(const PKVXDoubleFixedArray* Inputs, const PKVXDoubleFixedArray* Outputs,
                           uint32_t SampleFrames) {
  Count(SampleFrames);
  for (int c = 0; c < 2; ++c)
    for (uint32_t i = 0; i < SampleFrames; ++i) Outputs[c][i] = Inputs[c][i];
}

namespace {
thread_local TTestModuleOptions GOptions;
std::unique_ptr<TBasicVSTModule> TestModuleClass() { return std::make_unique<TTestModule>(GOptions); }
}  // namespace

PVSTEffect CreateTestModule(const TTestModuleOptions& Options) {
  GOptions = Options;
  return InstantiateModule(&TTestHost::Callback, &TestModuleClass);
}

TTestModule* TestModuleOf(PVSTEffect Effect) {
  return dynamic_cast<TTestModule*>(TBasicVSTModule::ModuleOf(Effect));
}

}  // namespace kvx::test
