#include "effect/Process.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/KVX_System.h"

namespace kvx {

namespace {

using TParameterMethod = void (TProcessModule::*)(TBasicVSTModule*, const int32_t, float&);

// Binds a notify event to a member function of the effect.
template <void (TProcessModule::*Method)(TBasicVSTModule*)>
TVSTNotifyEvent NotifyHandler() {
  return [](TBasicVSTModule* Sender) { (static_cast<TProcessModule*>(Sender)->*Method)(Sender); };
}

// Binds a parameter change event to a member function of the effect.
template <TParameterMethod Method>
TParameterChangeEvent ParameterHandler() {
  return [](TBasicVSTModule* Sender, const int32_t Index, float& Value) {
    (static_cast<TProcessModule*>(Sender)->*Method)(Sender, Index, Value);
  };
}

// One row of the parameter table.
TVSTParameterConfiguration Parameter(const char* Name, const char* ShortLabel, const char* Units,
                                     float Min, float Max, bool Switch, float SmallStep,
                                     float LargeStep, int32_t LargeStepInteger,
                                     TParameterChangeEvent OnChange) {
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
  p.OnParameterChange = std::move(OnChange);
  return p;
}

TVSTModuleConfiguration MakeConfiguration() {
  using M = TProcessModule;
  TVSTModuleConfiguration c;
  c.OnCreate = NotifyHandler<&M::VSTModuleCreate>();
  c.Flags = TEffFlags{effFlagsCanMono, effFlagsCanReplacing, effFlagsCanDoubleReplacing};
  c.Version = "0.7";
  c.EffectName = "KVX ub37t v0.7";
  c.ProductName = "KVX ub37t v0.7";
  c.VendorName = "KVX";
  c.VersionMajor = 0;
  c.VersionMinor = 7;
  c.PlugCategory = vpcEffect;
  // Only what the effect does: an insert or a send with two inputs and two outputs, the host's
  // bypass, an editor that keeps to the host's window rules, and the vendor extension. No MIDI, no offline or non-real-time processing, no other
  // channel layout: a host that is told so adds MIDI ports and layouts the effect never uses.
  c.CanDos = TVstCanDos{vcdPlugAsChannelInsert, vcdPlugAsSend,           vcd2in2out,
                        vcdBypass,              vcdConformsToWindowRules, vcdCockosExtension};
  c.SampleRate = 44100.0f;
  c.IORatio = 1.0f;
  c.UniqueID = std::string("37t\0", 4);
  c.Programs = {TVSTProgramConfiguration{std::string()}};
  c.ParameterProperties = {
      Parameter("Drive", "Drive", "%", 0, 100, false, 0.5f, 2, 2, ParameterHandler<&M::ParamDriveChange>()),
      Parameter("Tone", "Tone", "dB", -15, 15, false, 0.5f, 2, 2, ParameterHandler<&M::ParamToneChange>()),
      Parameter("Level", "Level", "%", 0, 100, false, 0.5f, 2, 2, ParameterHandler<&M::ParamLevelChange>()),
      Parameter("Bypass", "Bypass", "On/Off", 0, 1, true, 1, 1, 1, ParameterHandler<&M::ParamBypassChange>()),
      Parameter("Stereo", "Stereo", "On/Off", 0, 1, true, 1, 1, 1, ParameterHandler<&M::ParamStereoChange>()),
      Parameter("Symmetric", "Symmetr", "On/Off", 0, 1, true, 1, 1, 1,
                ParameterHandler<&M::ParamSymmetricChange>()),
      Parameter("Oversampling", "Oversam", "1x/8x/16x", 1, 16, false, 1, 1, 1,
                ParameterHandler<&M::ParamOversamplingChange>()),
      Parameter("Mode", "Mode", "On/Off", 0, 1, true, 1, 1, 1, ParameterHandler<&M::ParamModeChange>()),
      Parameter("Input", "Input", "dB *0,1", -200, 200, false, 0.5f, 2, 2, ParameterHandler<&M::ParamInputChange>()),
      Parameter("Output", "Output", "dB *0,1", -100, 100, false, 0.5f, 2, 2,
                ParameterHandler<&M::ParamOutputChange>()),
  };
  c.ParameterCategories = {"Highpass Filter"};
  c.ProcessPrecisition = pp64;
  c.OnClose = NotifyHandler<&M::VSTModuleClose>();
  c.OnBlockSizeChange = [](TBasicVSTModule* Sender, int32_t BlockSize) {
    static_cast<M*>(Sender)->VSTModuleBlockSizeChange(Sender, BlockSize);
  };
  c.OnProcess32Replacing = ProcessHandler32<&M::VSTModuleProcess32Replacing>();
  c.OnProcess64Replacing = ProcessHandler64<&M::VSTModuleProcess64Replacing>();
  c.OnSampleRateChange = [](TBasicVSTModule* Sender, float SampleRate) {
    static_cast<M*>(Sender)->VSTModuleSampleRateChange(Sender, SampleRate);
  };
  c.OnSoftBypass = [](TBasicVSTModule* Sender, bool isBypass) {
    static_cast<M*>(Sender)->VSTModuleSoftBypass(Sender, isBypass);
  };
  c.OnSuspend = NotifyHandler<&M::VSTModuleSuspend>();
  return c;
}

constexpr auto relaxed = std::memory_order_relaxed;

inline TDouble2 Lanes(double a, double b) { return TDouble2{a, b}; }

}  // namespace

const TVSTModuleConfiguration& ProcessModuleConfiguration() {
  static const TVSTModuleConfiguration Configuration = MakeConfiguration();
  return Configuration;
}

TProcessModule::TProcessModule(TEditorFormClass EditorClass)
    : TVSTModule("TProcessModule", &ProcessModuleConfiguration()), FEditorClass(EditorClass) {}

TProcessModule::~TProcessModule() {
  // The window reads this module while it lives: it goes before any of the effect's state.
  CloseEditor();
  // A module freed without effClose still frees its filters in the documented order.
  VSTModuleClose(this);
}

// ---- creation and destruction ---------------------------------------------------------------

void TProcessModule::VSTModuleCreate(TBasicVSTModule*) {
  FOSFactor.store(1, relaxed);
  FTempBufferSize.store(0, relaxed);
  FHostBlockSize.store(1024, relaxed);
  FHostSampleRate.store(44100.0f, relaxed);
  CLP.store(3000, relaxed);
  CHP.store(20, relaxed);
  CalculateSmoothingCoefficients();
  CTrim.store(0.45, relaxed);
  FClip.store(0.64, relaxed);
  for (int c = 0; c < 2; ++c) {
    FHighPass[c] = std::make_unique<TBasicHighpassFilter>();
    FHighPass[c]->SetBandWidth(2);
    FHighPass[c]->SetFrequency(275);
    FTone[c] = std::make_unique<TBasicPeakFilter>();
    FTone[c]->SetFrequency(1700);
    FTone[c]->SetGain(0);
    FTone[c]->SetBandWidth(3.6);
    FUpDownSampling[c] = std::make_unique<TKVXUpDownsampling>();
    FUpDownSampling[c]->SetFilterClass(&CreateOrderFilter<TButterworthLowPassFilter>);
    FUpDownSampling[c]->SetTransitionBandwidth(0.99);
    FUpDownSampling[c]->SetFactor(FOSFactor.load(relaxed));
    FUpDownSampling[c]->SetOrder(4);
    FUpFilter[c] = dynamic_cast<TCustomButterworthFilter*>(FUpDownSampling[c]->Filter(0));
    FDownFilter[c] = dynamic_cast<TCustomButterworthFilter*>(FUpDownSampling[c]->Filter(1));
    // The fused kernel runs order-4 Butterworth low-passes.
    KVX_ASSERT(FUpFilter[c] && FDownFilter[c] && FUpFilter[c]->Order() == 4, "Process");
  }
  FWantHighPassFrequency.store(275.0, relaxed);
  FWantToneGain.store(0.0, relaxed);
  FWantToneBandWidth.store(3.6, relaxed);
  FWantFilterRate.store(44100.0f, relaxed);
  FWantFactor.store(1, relaxed);
  // Only where the window system has a native backend for it (not yet on Windows).
  if (NativeEditorAvailable()) {
    SetFlags(Flags() | effFlagsHasEditor);
    SetEditorFormClass(FEditorClass);
  }
  const int32_t factor = FOSFactor.load(relaxed);
  for (int32_t i = 0; i < CParameterCount; ++i)
    SetParameter(i, i == 6 ? static_cast<float>(factor) : CDefaultValues[static_cast<size_t>(i)]);
  // Program 0 holds the same values without running a handler.
  for (int32_t i = 0; i < CParameterCount; ++i)
    Programs()[0].SetParameter(i, CDefaultValues[static_cast<size_t>(i)]);
  // No audio thread exists yet: bring the filters to the defaults now.
  ApplyPendingChanges();
  FStatesLPF = FLPF.load(relaxed);
  FStatesDrive = FDrive.load(relaxed);
}

void TProcessModule::VSTModuleClose(TBasicVSTModule*) {
  for (int c = 0; c < 2; ++c) {
    FUpFilter[c] = nullptr;
    FDownFilter[c] = nullptr;
    FHighPass[c].reset();
    FUpDownSampling[c].reset();
    FTone[c].reset();
  }
}

void TProcessModule::SetParamsToDefault() {
  for (int32_t i = 0; i < CParameterCount; ++i) SetParameter(i, CDefaultValues[static_cast<size_t>(i)]);
}

// ---- parameter response ---------------------------------------------------------------------

double TProcessModule::CalculateOnePoleCoefficient(double Frequency) const {
  const double r = 0.999;
  const double q = r * r - 1;
  const double w = Frequency * 0.647 /
                   (static_cast<double>(FHostSampleRate.load(relaxed)) * FOSFactor.load(relaxed));
  const double a = 2 - r * r * 2 * std::cos(w);
  const double b = a * a - q * q * 4;
  return (std::sqrt(b) - a) / (q * 2);
}

void TProcessModule::CalculateSmoothingCoefficients() {
  FLPF.store(CalculateOnePoleCoefficient(CLP.load(relaxed)), relaxed);
  FHPF.store(CalculateOnePoleCoefficient(CHP.load(relaxed)), relaxed);
}

void TProcessModule::CalculateTrim(double Drive) {
  const double x = 0.5 - 0.005 * Drive;
  double trim = CTrim.load(relaxed);
  trim = trim * (150 * (x * x * x * x) + 0.55);
  if (FStereo.load(relaxed)) trim = trim * 2;
  FTrim.store(trim, relaxed);
}

void TProcessModule::CalculateDriveGain(double Drive) {
  FDrive.store(std::pow(10.0, 0.03 * Drive - 1), relaxed);
}

void TProcessModule::PublishSettings() { FSettingsVersion.fetch_add(1, std::memory_order_release); }

void TProcessModule::ParamDriveChange(TBasicVSTModule*, const int32_t, float& Value) {
  CalculateTrim(Value);
  CalculateDriveGain(Value);
  EditorUpdate(0);
}

void TProcessModule::ParamToneChange(TBasicVSTModule*, const int32_t, float& Value) {
  const double v = Value;
  FWantToneGain.store(v > 0 ? v * 11.42 / 15 : v * 13.35 / 15, relaxed);
  FWantToneBandWidth.store(v * 0.1 / 15 + 3.6, relaxed);
  PublishSettings();
  EditorUpdate(1);
}

void TProcessModule::ParamLevelChange(TBasicVSTModule*, const int32_t, float& Value) {
  const double x = static_cast<double>(Value) / 21.5443;
  FEffectMix.store(std::nearbyint(x * x * x * 0.01 * 10000) * 0.0001, relaxed);
  EditorUpdate(2);
}

void TProcessModule::ParamBypassChange(TBasicVSTModule*, const int32_t, float& Value) {
  FBypass.store(Value > 0.5f, relaxed);
  EditorUpdate(3);
  ChooseProcessRoutines();
}

void TProcessModule::ChooseProcessRoutines() {
  if (FBypass.load(relaxed)) {
    SetOnProcess32Replacing(ProcessHandler32<&TProcessModule::VSTModuleProcessBypass32>());
    SetOnProcess64Replacing(ProcessHandler64<&TProcessModule::VSTModuleProcessBypass64>());
  } else {
    SetOnProcess32Replacing(ProcessHandler32<&TProcessModule::VSTModuleProcess32Replacing>());
    SetOnProcess64Replacing(ProcessHandler64<&TProcessModule::VSTModuleProcess64Replacing>());
  }
}

void TProcessModule::ParamStereoChange(TBasicVSTModule*, const int32_t, float& Value) {
  FStereo.store(Value > 0.5f, relaxed);
  EditorUpdate(4);
}

void TProcessModule::ParamSymmetricChange(TBasicVSTModule*, const int32_t, float& Value) {
  FSymmetric.store(Value > 0.5f, relaxed);
  EditorUpdate(5);
}

void TProcessModule::ParamOversamplingChange(TBasicVSTModule*, const int32_t, float& Value) {
  if (Value > 1 && Value < 16) Value = 8;
  ApplyOSFactor(static_cast<int32_t>(std::nearbyint(Value)));
  EditorUpdate(6);
}

void TProcessModule::ApplyOSFactor(int32_t Factor) {
  FOSFactor.store(Factor, relaxed);
  FWantFactor.store(Factor, relaxed);
  SetTempBufferSize(static_cast<int32_t>(
      std::min<int64_t>(static_cast<int64_t>(FHostBlockSize.load(relaxed)) * Factor,
                        std::numeric_limits<int32_t>::max())));
  SampleRateChange(static_cast<float>(static_cast<double>(FHostSampleRate.load(relaxed)) * Factor));
}

void TProcessModule::SampleRateChange(float Rate) {
  CalculateSmoothingCoefficients();
  FWantFilterRate.store(Rate, relaxed);
  PublishSettings();
}

void TProcessModule::ParamModeChange(TBasicVSTModule*, const int32_t, float& Value) {
  const bool mode = Value > 0.5f;
  FMode.store(mode, relaxed);
  CLP.store(3000, relaxed);
  CHP.store(mode ? 250 : 20, relaxed);
  CalculateSmoothingCoefficients();
  FWantHighPassFrequency.store(mode ? 100.0 : 275.0, relaxed);
  PublishSettings();
  CTrim.store(mode ? 0.59 : 0.45, relaxed);
  CalculateTrim(GetParameter(0));
  EditorUpdate(7);
}

void TProcessModule::ParamInputChange(TBasicVSTModule*, const int32_t, float& Value) {
  FInputGain.store(DecibelToAmplitude(static_cast<double>(Value) / 10), relaxed);
  EditorUpdate(8);
}

void TProcessModule::ParamOutputChange(TBasicVSTModule*, const int32_t, float& Value) {
  FOutputGain.store(DecibelToAmplitude(static_cast<double>(Value) / 10), relaxed);
  EditorUpdate(9);
}

// ---- host notifications ---------------------------------------------------------------------

void TProcessModule::VSTModuleSampleRateChange(TBasicVSTModule*, float SampleRate) {
  const float rate = std::fabs(SampleRate);
  FHostSampleRate.store(rate, relaxed);
  SampleRateChange(static_cast<float>(static_cast<double>(rate) * FOSFactor.load(relaxed)));
}

void TProcessModule::VSTModuleSoftBypass(TBasicVSTModule*, bool isBypass) {
  SetParameter(3, isBypass ? 1.0f : 0.0f);
}

void TProcessModule::VSTModuleBlockSizeChange(TBasicVSTModule*, int32_t BlockSize) {
  FHostBlockSize.store(BlockSize, relaxed);
  SetTempBufferSize(static_cast<int32_t>(std::min<int64_t>(
      static_cast<int64_t>(BlockSize) * FOSFactor.load(relaxed), std::numeric_limits<int32_t>::max())));
}

void TProcessModule::SetTempBufferSize(int32_t Value) { FTempBufferSize.store(Value, relaxed); }

void TProcessModule::VSTModuleSuspend(TBasicVSTModule*) {
  FSuspendCount.fetch_add(1, std::memory_order_release);
}

// ---- audio thread ---------------------------------------------------------------------------

void TProcessModule::ApplyPendingChanges() {
  if (!FHighPass[0]) return;
  const uint32_t suspends = FSuspendCount.load(std::memory_order_acquire);
  if (suspends != FAppliedSuspendCount) {
    FAppliedSuspendCount = suspends;
    std::fill(std::begin(FFilterState), std::end(FFilterState), 0.0);
  }
  const uint32_t version = FSettingsVersion.load(std::memory_order_acquire);
  if (version == FAppliedVersion) return;
  FAppliedVersion = version;
  // The setters recompute coefficients only for values that changed, and the resamplers clear
  // their states only when their factor or rate really changed, as at any other time.
  const double hp = FWantHighPassFrequency.load(relaxed);
  const double toneGain = FWantToneGain.load(relaxed);
  const double toneBandWidth = FWantToneBandWidth.load(relaxed);
  const float rate = FWantFilterRate.load(relaxed);
  const int32_t factor = FWantFactor.load(relaxed);
  for (int c = 0; c < 2; ++c) {
    FHighPass[c]->SetFrequency(hp);
    FTone[c]->SetGain(toneGain);
    FTone[c]->SetBandWidth(toneBandWidth);
    FUpDownSampling[c]->SetFactor(factor);
  }
  if (rate > 0 && std::isfinite(rate)) {
    // A new rate redesigns the high-pass and the tone filter from scratch. Their states belong to
    // the old design: carried into the new one they ring out well above the signal (a factor
    // change at a strong tone setting rose 7 dB), so the filters start again from rest, as the
    // resamplers do.
    const bool newRate = FHighPass[0]->SampleRate() != static_cast<double>(rate);
    for (int c = 0; c < 2; ++c) {
      FHighPass[c]->SetSampleRate(rate);
      FTone[c]->SetSampleRate(rate);
      if (newRate) {
        FHighPass[c]->ResetStates();
        FTone[c]->ResetStates();
      }
    }
    for (int c = 0; c < 2; ++c) FUpDownSampling[c]->SetSampleRate(rate);
  }
}

void TProcessModule::LoadPiece(TOverdrivePiece& P) {
  P.Factor = FUpDownSampling[0]->Factor();
  P.Stereo = FStereo.load(relaxed);
  P.Symmetric = FSymmetric.load(relaxed);
  P.InputGain = FInputGain.load(relaxed);
  P.OutputGain = FOutputGain.load(relaxed);
  P.Drive = FDrive.load(relaxed);
  P.Trim = FTrim.load(relaxed);
  P.Mix = FEffectMix.load(relaxed);
  P.Clip = FClip.load(relaxed);
  P.LPF = FLPF.load(relaxed);
  P.HPF = FHPF.load(relaxed);
  auto butterworth = [](TButterworth4Lanes& L, const TCustomButterworthFilter& A,
                        const TCustomButterworthFilter& B) {
    L.Gain = Lanes(A.FilterGain(), B.FilterGain());
    for (int i = 0; i < 4; ++i) {
      L.C[i] = Lanes(A.Coefficient(i), B.Coefficient(i));
      L.S[i] = Lanes(A.State(i), B.State(i));
    }
  };
  butterworth(P.Up, *FUpFilter[0], *FUpFilter[1]);
  butterworth(P.Down, *FDownFilter[0], *FDownFilter[1]);
  auto biquad = [](TBiquadLanes& L, const TCustomBiquadIIRFilter& A, const TCustomBiquadIIRFilter& B) {
    L.B0 = Lanes(A.Nominator(0), B.Nominator(0));
    L.B1 = Lanes(A.Nominator(1), B.Nominator(1));
    L.B2 = Lanes(A.Nominator(2), B.Nominator(2));
    L.A1 = Lanes(A.Denominator(0), B.Denominator(0));
    L.A2 = Lanes(A.Denominator(1), B.Denominator(1));
    L.S0 = Lanes(A.State(0), B.State(0));
    L.S1 = Lanes(A.State(1), B.State(1));
  };
  biquad(P.HighPass, *FHighPass[0], *FHighPass[1]);
  biquad(P.Tone, *FTone[0], *FTone[1]);
  std::copy(std::begin(FFilterState), std::end(FFilterState), P.Chain);
}

void TProcessModule::StorePiece(const TOverdrivePiece& P) {
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < 4; ++i) {
      FUpFilter[c]->SetState(i, P.Up.S[i][c]);
      FDownFilter[c]->SetState(i, P.Down.S[i][c]);
    }
    FHighPass[c]->SetState(0, P.HighPass.S0[c]);
    FHighPass[c]->SetState(1, P.HighPass.S1[c]);
    FTone[c]->SetState(0, P.Tone.S0[c]);
    FTone[c]->SetState(1, P.Tone.S1[c]);
  }
  std::copy(std::begin(P.Chain), std::end(P.Chain), FFilterState);
  // Channel 1's chain only survives a block that ends in stereo operation.
  if (!FStereo.load(relaxed)) std::fill(FFilterState + 5, FFilterState + 10, 0.0);
}

// The chain's states keep the scale of the values they were computed with. For a steady input y
// the smoothing stages hold s_k = Trim * y * (1 - LPF)^(3 - k), so a coefficient that moves
// towards 1 (a higher factor, a lower rate) leaves the first three stages far too large for it,
// and the integrators amplify them into a burst; the high-pass after the drive gain holds states
// in units of the old drive. Both are brought to the new scale here, where the new values are
// taken: the smoothing chain keeps its steady state, the high-pass continues as if it had always
// seen the new drive. The last stage and the DC-blocking state are left as they are. Nothing
// changes while the values stay, so between changes the output is exactly the formulas'.
void TProcessModule::CarryStatesOver(TOverdrivePiece& P) {
  if (P.LPF != FStatesLPF) {
    const double ratio = (1 - P.LPF) / (1 - FStatesLPF);
    if (std::isfinite(ratio) && ratio > 0) {
      const double ratio2 = ratio * ratio;
      const double ratio3 = ratio2 * ratio;
      for (int c = 0; c < 2; ++c) {
        double* s = P.Chain + 5 * c;
        s[0] *= ratio3;
        s[1] *= ratio2;
        s[2] *= ratio;
      }
    }
    FStatesLPF = P.LPF;
  }
  if (P.Drive != FStatesDrive) {
    const double ratio = P.Drive / FStatesDrive;
    if (std::isfinite(ratio)) {
      P.HighPass.S0 *= ratio;
      P.HighPass.S1 *= ratio;
    }
    FStatesDrive = P.Drive;
  }
}

template <typename T>
void TProcessModule::ProcessReplacing(const T* const* Inputs, T* const* Outputs, uint32_t SampleFrames) {
  if (!FHighPass[0]) return;
  ApplyPendingChanges();
  TOverdrivePiece piece;
  LoadPiece(piece);
  CarryStatesOver(piece);
  // Host blocks longer than the announced size are processed in pieces of that size, so the
  // chains' block-end rule falls where it would for blocks of the announced size.
  const int32_t pieceFrames = std::clamp(FHostBlockSize.load(relaxed), 1, CMaxPieceFrames);
  const T* in0 = Inputs[0];
  const T* in1 = Inputs[1];
  T* out0 = Outputs[0];
  T* out1 = Outputs[1];
  uint32_t done = 0;
  do {
    const int32_t n = static_cast<int32_t>(std::min<uint32_t>(pieceFrames, SampleFrames - done));
    if constexpr (sizeof(T) == 8)
      ProcessOverdrivePiece64(piece, in0 + done, in1 + done, out0 + done, out1 + done, n);
    else
      ProcessOverdrivePiece32(piece, in0 + done, in1 + done, out0 + done, out1 + done, n);
    done += static_cast<uint32_t>(n);
  } while (done < SampleFrames);
  StorePiece(piece);
}

void TProcessModule::VSTModuleProcess32Replacing(const PKVXSingleFixedArray* Inputs,
                                                 const PKVXSingleFixedArray* Outputs,
                                                 uint32_t SampleFrames) {
  ProcessReplacing<float>(Inputs, Outputs, SampleFrames);
}

void TProcessModule::VSTModuleProcess64Replacing(const PKVXDoubleFixedArray* Inputs,
                                                 const PKVXDoubleFixedArray* Outputs,
                                                 uint32_t SampleFrames) {
  ProcessReplacing<double>(Inputs, Outputs, SampleFrames);
}

namespace {

// Copies every channel the effect has both an input and an output for; in-place buffers stay.
template <typename T>
void BypassCopy(const T* const* Inputs, T* const* Outputs, int32_t Channels, uint32_t SampleFrames) {
  for (int32_t i = 0; i < Channels; ++i)
    if (Inputs[i] != Outputs[i]) std::memmove(Outputs[i], Inputs[i], SampleFrames * sizeof(T));
}

}  // namespace

void TProcessModule::VSTModuleProcessBypass32(const PKVXSingleFixedArray* Inputs,
                                              const PKVXSingleFixedArray* Outputs,
                                              uint32_t SampleFrames) {
  BypassCopy<float>(Inputs, Outputs, std::min(Record().numInputs, Record().numOutputs), SampleFrames);
}

void TProcessModule::VSTModuleProcessBypass64(const PKVXDoubleFixedArray* Inputs,
                                              const PKVXDoubleFixedArray* Outputs,
                                              uint32_t SampleFrames) {
  BypassCopy<double>(Inputs, Outputs, std::min(Record().numInputs, Record().numOutputs), SampleFrames);
}

}  // namespace kvx
