// The lowest module layer: the effect record embedded in the module, the host callback, the
// record's entry functions and the router that sends every dispatcher opcode to one virtual
// handler. Every entry the host calls catches everything and answers the safe value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/KVX_Types.h"
#include "plugin/KVX_VSTEffect.h"

namespace kvx {

class TBasicVSTModule;

// The effect flags kept in the low 16 bits of the record's EffectFlags.
using TEffFlags = TSet<TEffFlag, uint32_t>;

using TVSTNotifyEvent = std::function<void(TBasicVSTModule* Sender)>;
using TDispatcherEvent = std::function<void(TBasicVSTModule* Sender, int32_t Opcode)>;

// The dispatcher opcodes in number order; X(Name) names the opcode effName and its handler
// HostCallName.
#define KVX_VST_DISPATCHER_OPCODES(X)                                                          \
  X(Open) X(Close) X(SetProgram) X(GetProgram) X(SetProgramName) X(GetProgramName)             \
  X(GetParamLabel) X(GetParamDisplay) X(GetParamName) X(GetVu) X(SetSampleRate)                \
  X(SetBlockSize) X(MainsChanged) X(EditGetRect) X(EditOpen) X(EditClose) X(EditDraw)         \
  X(EditMouse) X(EditKey) X(EditIdle) X(EditTop) X(EditSleep) X(Identify) X(GetChunk)          \
  X(SetChunk) X(ProcessEvents) X(CanBeAutomated) X(String2Parameter)                          \
  X(GetNumProgramCategories) X(GetProgramNameIndexed) X(CopyProgram) X(ConnectInput)          \
  X(ConnectOutput) X(GetInputProperties) X(GetOutputProperties) X(GetPlugCategory)            \
  X(GetCurrentPosition) X(GetDestinationBuffer) X(OfflineNotify) X(OfflinePrepare)            \
  X(OfflineRun) X(ProcessVarIo) X(SetSpeakerArrangement) X(SetBlockSizeAndSampleRate)         \
  X(SetBypass) X(GetEffectName) X(GetErrorText) X(GetVendorString) X(GetProductString)        \
  X(GetVendorVersion) X(VendorSpecific) X(CanDo) X(GetTailSize) X(Idle) X(GetIcon)            \
  X(SetViewPosition) X(GetParameterProperties) X(KeysRequired) X(GetVstVersion)               \
  X(EditKeyDown) X(EditKeyUp) X(SetEditKnobMode) X(GetMidiProgramName)                        \
  X(GetCurrentMidiProgram) X(GetMidiProgramCategory) X(HasMidiProgramsChanged)                \
  X(GetMidiKeyName) X(BeginSetProgram) X(EndSetProgram) X(GetSpeakerArrangement)              \
  X(ShellGetNextPlugin) X(StartProcess) X(StopProcess) X(SetTotalSampleToProcess)             \
  X(SetPanLaw) X(BeginLoadBank) X(BeginLoadProgram) X(SetProcessPrecision)                    \
  X(GetNumMidiInputChannels) X(GetNumMidiOutputChannels)

class TBasicVSTModule {
 public:
  TBasicVSTModule();
  virtual ~TBasicVSTModule();
  TBasicVSTModule(const TBasicVSTModule&) = delete;
  TBasicVSTModule& operator=(const TBasicVSTModule&) = delete;

  // The record handed to the host; its address is stable for the module's life.
  PVSTEffect Effect() { return &FRecord.Effect; }
  const TVSTEffect& Record() const { return FRecord.Effect; }

  // The module behind a record, or null when the record is null, was not made by a module, or
  // its User field no longer names the module that owns it.
  static TBasicVSTModule* ModuleOf(PVSTEffect Effect) noexcept;

  // Runs once the most derived constructor has finished (fires OnCreate in TVSTModule).
  virtual void AfterConstruction() {}

  TAudioMasterCallbackFunc AudioMaster() const { return FAudioMaster; }
  // Connects the host: asks amVersion (0 raises EVstError "AudioMaster Error") and reads the
  // host's product string once.
  void SetAudioMaster(TAudioMasterCallbackFunc Value);
  // Every host call goes through here; answers 0 while no host is connected.
  virtual intptr_t CallAudioMaster(int32_t Opcode, int32_t Index = 0, intptr_t Value = 0,
                                   void* ptr = nullptr, float opt = 0.0f);
  // The host's product string; asked again while it is empty or "Unknown".
  std::string HostProduct();

  bool TruncateStrings() const { return FTruncateStrings; }
  void SetTruncateStrings(bool Value) { FTruncateStrings = Value; }

  TEffFlags Flags() const;
  void SetFlags(TEffFlags Value);

  // Routes opcode 0..79 to its handler; other opcodes answer 0. OnDispatcher fires afterwards
  // (except after effClose, which has freed the module).
  virtual intptr_t DispatchEffect(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr,
                                  float opt);

  // One handler per opcode; the defaults answer 0. effOpen and effClose are handled here.
#define KVX_VST_DECLARE_HANDLER(Name) \
  virtual intptr_t HostCall##Name(int32_t Index, intptr_t Value, void* ptr, float opt);
  KVX_VST_DISPATCHER_OPCODES(KVX_VST_DECLARE_HANDLER)
#undef KVX_VST_DECLARE_HANDLER

  // Reached from the record's working entries after their checks.
  virtual void HostCallProcess(float** Inputs, float** Outputs, int32_t SampleFrames);
  virtual void HostCallProcess32Replacing(float** Inputs, float** Outputs, int32_t SampleFrames);
  virtual void HostCallProcess64Replacing(double** Inputs, double** Outputs, int32_t SampleFrames);
  virtual void HostCallSetParameter(int32_t Index, float Value);
  virtual float HostCallGetParameter(int32_t Index);

  TDispatcherEvent OnDispatcher;
  TVSTNotifyEvent OnOpen;
  TVSTNotifyEvent OnClose;

 protected:
  TVSTEffect& RecordRef() { return FRecord.Effect; }

 private:
  // The record with what the entries need to recognise it as one of ours.
  struct TEffectHolder {
    TVSTEffect Effect;
    uint64_t Signature;
    TBasicVSTModule* Owner;
  };
  static constexpr uint64_t CHolderSignature = 0x4B56584D6F64756CULL;  // "KVXModul"

  static intptr_t DispatcherEntry(PVSTEffect Effect, int32_t Opcode, int32_t Index, intptr_t Value,
                                  void* ptr, float opt);
  static void ProcessEntry(PVSTEffect Effect, float** Inputs, float** Outputs, int32_t Frames);
  static void Process32Entry(PVSTEffect Effect, float** Inputs, float** Outputs, int32_t Frames);
  static void Process64Entry(PVSTEffect Effect, double** Inputs, double** Outputs, int32_t Frames);
  static void SetParameterEntry(PVSTEffect Effect, int32_t Index, float Value);
  static float GetParameterEntry(PVSTEffect Effect, int32_t Index);
  static void ProcessPlaceholder(PVSTEffect Effect, float** Inputs, float** Outputs, int32_t Frames);
  static void Process32Placeholder(PVSTEffect Effect, float** Inputs, float** Outputs,
                                   int32_t Frames);
  static void Process64Placeholder(PVSTEffect Effect, double** Inputs, double** Outputs,
                                   int32_t Frames);
  static void InertProcess(PVSTEffect, float**, float**, int32_t) {}
  static void InertProcess64(PVSTEffect, double**, double**, int32_t) {}
  static void InertSetParameter(PVSTEffect, int32_t, float) {}
  static float InertGetParameter(PVSTEffect, int32_t) { return 0.0f; }
  template <typename TSample>
  static TBasicVSTModule* ProcessTarget(PVSTEffect Effect, TSample** Inputs, TSample** Outputs,
                                        int32_t Frames) noexcept;

  TEffectHolder FRecord{};
  TAudioMasterCallbackFunc FAudioMaster = nullptr;
  std::string FHostProduct;
  bool FTruncateStrings = false;
};

// The library-wide owner of the modules handed to hosts. InstantiateModule adopts every module
// it creates; a module leaves the list when it is freed (at effClose); the modules still listed
// when the library is unloaded (or the program ends) are freed then.
void AdoptModule(TBasicVSTModule* Module);
void ReleaseModule(TBasicVSTModule* Module) noexcept;
size_t OwnedModuleCount();
void FreeOwnedModules() noexcept;

// Copies Text zero-terminated into the host's buffer Dest; with MaxBytes >= 1 at most
// MaxBytes - 1 bytes of text, cut where no UTF-8 sequence is split.
void CopyTextToHost(void* Dest, const std::string& Text, size_t MaxBytes = SIZE_MAX);
// The first MaxBytes bytes of Text, shortened further so that no UTF-8 sequence is split.
std::string CutBytes(const std::string& Text, size_t MaxBytes);
// The first MaxChars characters (UTF-8 code points) of Text.
std::string CutCharacters(const std::string& Text, size_t MaxChars);
// Reads a zero-terminated host text of at most MaxBytes bytes.
std::string ReadHostText(const void* Source, size_t MaxBytes = 1024);

}  // namespace kvx
