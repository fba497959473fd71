// The overdrive effect module: what it declares to the host (identity, flags, can-dos, program,
// the ten parameters with their defaults), how its state follows the parameters and the host's
// announcements, and its processing.
//
// Threads. Parameter handlers and host announcements run on whatever thread the host calls from
// (its audio thread included, between process calls); the process routines run on the audio
// thread. The hand-over between them takes no lock and never allocates:
// - Gains, coefficients and flags that the chain reads (FInputGain, FOutputGain, FEffectMix,
//   FDrive, FTrim, FClip, FLPF, FHPF, FStereo, FSymmetric, FOSFactor, ...) are atomics: a handler
//   stores them at once, a reader on any thread sees them at once, and the audio thread takes
//   them at the start of its next block.
// - The filter objects (FHighPass, FTone, FUpDownSampling) and the chain states (FFilterState)
//   belong to the audio thread. A handler that changes a filter setting (Tone, Mode, sample rate,
//   oversampling factor) stores the wanted setting in an atomic and bumps FSettingsVersion; the
//   audio thread applies the settings through the filters' own setters at its next block start,
//   before it reads any coefficient. A suspend bumps FSuspendCount, and the audio thread clears
//   the chain states at its next block start, so no reset can be overwritten by a running block.
// - When the smoothing coefficient or the drive differs from the one the states were computed
//   with, the audio thread rescales those states at its block start (see CarryStatesOver); a new
//   rate starts the high-pass and tone filters from rest, as it does the resamplers.
// - Each handler ends by telling the open editor through FEditorLink (effect/ProcessEditor.h):
//   on the editor's thread the window updates at once, on any other thread the parameter is only
//   marked in an atomic set, and the window applies the marks at its next pump.
// - The oversampled signal lives in small chunks on the audio thread's stack (see
//   ProcessKernel.h), so there are no work buffers to reallocate: neither a factor change nor a
//   block-size announcement allocates.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "dsp/KVX_DspFilterBasics.h"
#include "dsp/KVX_DspFilterButterworth.h"
#include "dsp/KVX_DspUpDownsampling.h"
#include "effect/ProcessEditor.h"
#include "effect/ProcessKernel.h"
#include "plugin/KVX_VSTModule.h"

namespace kvx {

class TProcessModule : public TVSTModule {
 public:
  static constexpr int32_t CParameterCount = 10;
  // Drive, Tone, Level, Bypass, Stereo, Symmetric, Oversampling, Mode, Input, Output.
  static constexpr std::array<float, CParameterCount> CDefaultValues = {100, 0, 0, 0, 0,
                                                                        1, 1, 0, 0, 0};
  // Host blocks are processed in pieces of at most this many frames, so that an absurd announced
  // block size changes nothing but the piece length.
  static constexpr int32_t CMaxPieceFrames = 1 << 16;

  // EditorClass builds the editor window; the create handler makes it the module's
  // EditorFormClass. The effect does not know its editor: whoever ties the plug-in together
  // passes it (without one, effEditOpen opens nothing).
  explicit TProcessModule(TEditorFormClass EditorClass = nullptr);
  ~TProcessModule() override;

  // The open editor's view of the module, fed by the parameter handlers from any thread.
  TProcessEditorLink& EditorLink() { return FEditorLink; }

  // Sets the ten parameters, in index order, to their defaults through the parameter setter, so
  // that every handler runs.
  void SetParamsToDefault();

  // ---- module events ----
  void VSTModuleCreate(TBasicVSTModule* Sender);
  void VSTModuleClose(TBasicVSTModule* Sender);
  void VSTModuleBlockSizeChange(TBasicVSTModule* Sender, int32_t BlockSize);
  void VSTModuleSampleRateChange(TBasicVSTModule* Sender, float SampleRate);
  void VSTModuleSuspend(TBasicVSTModule* Sender);
  void VSTModuleSoftBypass(TBasicVSTModule* Sender, bool isBypass);

  // ---- process routines (audio thread) ----
  void VSTModuleProcess32Replacing(const PKVXSingleFixedArray* Inputs,
                                   const PKVXSingleFixedArray* Outputs, uint32_t SampleFrames);
  void VSTModuleProcess64Replacing(const PKVXDoubleFixedArray* Inputs,
                                   const PKVXDoubleFixedArray* Outputs, uint32_t SampleFrames);
  void VSTModuleProcessBypass32(const PKVXSingleFixedArray* Inputs,
                                const PKVXSingleFixedArray* Outputs, uint32_t SampleFrames);
  void VSTModuleProcessBypass64(const PKVXDoubleFixedArray* Inputs,
                                const PKVXDoubleFixedArray* Outputs, uint32_t SampleFrames);

  // ---- parameter handlers ----
  void ParamDriveChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamToneChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamLevelChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamBypassChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamStereoChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamSymmetricChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamOversamplingChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamModeChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamInputChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);
  void ParamOutputChange(TBasicVSTModule* Sender, const int32_t Index, float& Value);

  // ---- derived state (readable from any thread) ----
  bool Stereo() const { return FStereo.load(std::memory_order_relaxed); }
  bool Bypass() const { return FBypass.load(std::memory_order_relaxed); }
  bool Symmetric() const { return FSymmetric.load(std::memory_order_relaxed); }
  bool Mode() const { return FMode.load(std::memory_order_relaxed); }
  int32_t OSFactor() const { return FOSFactor.load(std::memory_order_relaxed); }
  double InputGain() const { return FInputGain.load(std::memory_order_relaxed); }
  double OutputGain() const { return FOutputGain.load(std::memory_order_relaxed); }
  double EffectMix() const { return FEffectMix.load(std::memory_order_relaxed); }
  double Drive() const { return FDrive.load(std::memory_order_relaxed); }
  double Trim() const { return FTrim.load(std::memory_order_relaxed); }
  double Clip() const { return FClip.load(std::memory_order_relaxed); }
  double LPF() const { return FLPF.load(std::memory_order_relaxed); }
  double HPF() const { return FHPF.load(std::memory_order_relaxed); }
  int32_t CutoffLP() const { return CLP.load(std::memory_order_relaxed); }
  int32_t CutoffHP() const { return CHP.load(std::memory_order_relaxed); }
  double TrimBase() const { return CTrim.load(std::memory_order_relaxed); }
  float HostSampleRate() const { return FHostSampleRate.load(std::memory_order_relaxed); }
  int32_t HostBlockSize() const { return FHostBlockSize.load(std::memory_order_relaxed); }
  // Samples per channel that one announced host block holds at the current factor.
  int32_t TempBufferSize() const { return FTempBufferSize.load(std::memory_order_relaxed); }
  void SetTempBufferSize(int32_t Value);

  // The filter objects and chain states belong to the audio thread; read them only where no
  // process call can run, after ApplyPendingChanges.
  const TBasicHighpassFilter* HighPass(int Channel) const { return FHighPass[Channel].get(); }
  const TBasicPeakFilter* Tone(int Channel) const { return FTone[Channel].get(); }
  const TKVXUpDownsampling* UpDownSampling(int Channel) const {
    return FUpDownSampling[Channel].get();
  }
  double FilterState(int Index) const { return FFilterState[Index]; }
  // Brings the filters and chain states up to the latest settings: done by the audio thread at
  // every block start, and by anyone else only where no process call can run.
  void ApplyPendingChanges();

  // ---- parameter response ----
  double CalculateOnePoleCoefficient(double Frequency) const;
  void CalculateSmoothingCoefficients();
  void CalculateTrim(double Drive);
  void CalculateDriveGain(double Drive);
  void ChooseProcessRoutines();
  void ApplyOSFactor(int32_t Factor);
  void SampleRateChange(float Rate);

 private:
  template <typename T>
  void ProcessReplacing(const T* const* Inputs, T* const* Outputs, uint32_t SampleFrames);
  void LoadPiece(TOverdrivePiece& P);
  void StorePiece(const TOverdrivePiece& P);
  void CarryStatesOver(TOverdrivePiece& P);
  void PublishSettings();
  // Last step of a parameter handler: the open editor shows the change.
  void EditorUpdate(int32_t Index) { FEditorLink.Update(Index); }

  std::atomic<double> FInputGain{1.0};
  std::atomic<double> FOutputGain{1.0};
  std::atomic<double> FEffectMix{0.0};
  std::unique_ptr<TBasicHighpassFilter> FHighPass[2];
  std::unique_ptr<TKVXUpDownsampling> FUpDownSampling[2];
  double FFilterState[10] = {};
  std::atomic<double> FLPF{0.0};
  std::atomic<double> FHPF{0.0};
  std::atomic<double> FTrim{0.2475};
  std::atomic<double> FDrive{100.0};
  std::atomic<double> FClip{0.64};
  std::atomic<bool> FStereo{false};
  std::atomic<bool> FBypass{false};
  std::atomic<bool> FSymmetric{true};
  std::atomic<bool> FMode{false};
  std::unique_ptr<TBasicPeakFilter> FTone[2];
  std::atomic<int32_t> FOSFactor{1};
  std::atomic<int32_t> FTempBufferSize{1024};
  std::atomic<int32_t> FHostBlockSize{1024};
  std::atomic<float> FHostSampleRate{44100.0f};
  std::atomic<int32_t> CLP{3000};
  std::atomic<int32_t> CHP{20};
  std::atomic<double> CTrim{0.45};

  // The resamplers' Butterworth filters, for reading their coefficients and states.
  TCustomButterworthFilter* FUpFilter[2] = {};
  TCustomButterworthFilter* FDownFilter[2] = {};

  // Filter settings handed to the audio thread (see the top of this file).
  std::atomic<double> FWantHighPassFrequency{275.0};
  std::atomic<double> FWantToneGain{0.0};
  std::atomic<double> FWantToneBandWidth{3.6};
  std::atomic<float> FWantFilterRate{44100.0f};
  std::atomic<int32_t> FWantFactor{1};
  std::atomic<uint32_t> FSettingsVersion{0};
  uint32_t FAppliedVersion = 0;
  std::atomic<uint32_t> FSuspendCount{0};
  uint32_t FAppliedSuspendCount = 0;
  // The smoothing coefficient and the drive that the chain states were computed with (audio
  // thread).
  double FStatesLPF = 0;
  double FStatesDrive = 100;

  TEditorFormClass FEditorClass = nullptr;
  TProcessEditorLink FEditorLink;
};

// The stored configuration of TProcessModule.
const TVSTModuleConfiguration& ProcessModuleConfiguration();

}  // namespace kvx
