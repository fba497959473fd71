#include "plugin/KVX_VSTBasicModule.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <type_traits>
#include <vector>

namespace kvx {

namespace {

// The handlers in opcode order, so that opcode k calls handler k.
using THandler = intptr_t (TBasicVSTModule::*)(int32_t, intptr_t, void*, float);
#define KVX_VST_HANDLER_ENTRY(Name) &TBasicVSTModule::HostCall##Name,
constexpr THandler CHandlers[] = {KVX_VST_DISPATCHER_OPCODES(KVX_VST_HANDLER_ENTRY)};
#undef KVX_VST_HANDLER_ENTRY
#define KVX_VST_OPCODE_ENTRY(Name) eff##Name,
constexpr int32_t CHandlerOpcodes[] = {KVX_VST_DISPATCHER_OPCODES(KVX_VST_OPCODE_ENTRY)};
#undef KVX_VST_OPCODE_ENTRY

constexpr bool HandlersInOpcodeOrder() {
  for (int32_t i = 0; i < CDispatcherOpcodeCount; ++i)
    if (CHandlerOpcodes[i] != i) return false;
  return true;
}
static_assert(sizeof(CHandlers) / sizeof(CHandlers[0]) == CDispatcherOpcodeCount);
static_assert(HandlersInOpcodeOrder());

// The record's UniqueID before a configuration sets one: N o E f.
constexpr int32_t CDefaultUniqueID = 0x4E6F4566;

}  // namespace

TBasicVSTModule::TBasicVSTModule() {
  static_assert(std::is_standard_layout_v<TEffectHolder>);
  TVSTEffect& e = FRecord.Effect;
  e.Magic = CEffectMagic;
  e.EffectFlags = EffFlagMask(effFlagsCanReplacing);
  e.ReservedForHost = nullptr;
  e.Resvd2 = nullptr;
  e.AudioEffectPtr = nullptr;
  e.User = this;
  e.UniqueID = CDefaultUniqueID;
  e.IORatio = 1.0f;
  e.numPrograms = 0;
  e.numParams = 0;
  e.numInputs = 2;
  e.numOutputs = 2;
  e.Dispatcher = &DispatcherEntry;
  e.GetParameter = &GetParameterEntry;
  e.SetParameter = &SetParameterEntry;
  e.Process = &ProcessPlaceholder;
  e.Process32Replacing = &Process32Placeholder;
  e.Process64Replacing = &Process64Placeholder;
  FRecord.Signature = CHolderSignature;
  FRecord.Owner = this;
}

TBasicVSTModule::~TBasicVSTModule() {
  FRecord.Signature = 0;
  FRecord.Owner = nullptr;
  FRecord.Effect.User = nullptr;
  ReleaseModule(this);
}

TBasicVSTModule* TBasicVSTModule::ModuleOf(PVSTEffect Effect) noexcept {
  if (Effect == nullptr || Effect->User == nullptr) return nullptr;
  // The record is the first member of the holder, so the holder starts at the record.
  auto* Holder = reinterpret_cast<TEffectHolder*>(Effect);
  if (Holder->Signature != CHolderSignature || Holder->Owner == nullptr) return nullptr;
  if (Effect->User != static_cast<void*>(Holder->Owner)) return nullptr;
  return Holder->Owner;
}

void TBasicVSTModule::SetAudioMaster(TAudioMasterCallbackFunc Value) {
  FAudioMaster = Value;
  if (CallAudioMaster(amVersion) == 0) throw EVstError("AudioMaster Error");
  HostProduct();
}

intptr_t TBasicVSTModule::CallAudioMaster(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr,
                                          float opt) {
  if (FAudioMaster == nullptr) return 0;
  return FAudioMaster(Effect(), Opcode, Index, Value, ptr, opt);
}

std::string TBasicVSTModule::HostProduct() {
  if (!FHostProduct.empty() && FHostProduct != "Unknown") return FHostProduct;
  char Buffer[CHostStringSize] = {};
  std::string Text;
  if (CallAudioMaster(amGetProductString, 0, 0, Buffer, 0.0f) == 0) {
    Text = "Unknown";
  } else {
    // A host that fills all 256 bytes leaves no terminator: the last byte is never read.
    Text.assign(Buffer, strnlen(Buffer, CHostStringSize - 1));
  }
  if (FTruncateStrings) Text = CutCharacters(Text, 64);
  FHostProduct = Text;
  return FHostProduct;
}

TEffFlags TBasicVSTModule::Flags() const {
  return TEffFlags::FromMask(static_cast<uint32_t>(FRecord.Effect.EffectFlags) & 0xFFFFu);
}

void TBasicVSTModule::SetFlags(TEffFlags Value) {
  FRecord.Effect.EffectFlags = static_cast<int32_t>(Value.Mask() & 0xFFFFu);
}

intptr_t TBasicVSTModule::DispatchEffect(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr,
                                         float opt) {
  // effClose frees the module: nothing of it is touched afterwards.
  if (Opcode == effClose) return HostCallClose(Index, Value, ptr, opt);
  intptr_t Result = 0;
  try {
    const auto Handler = Opcode >= 0 && Opcode < CDispatcherOpcodeCount ? CHandlers[Opcode] : nullptr;
    if (Handler == nullptr) throw EVstError("Unknown OpCode");
    Result = (this->*Handler)(Index, Value, ptr, opt);
  } catch (const EVstError&) {
    Result = 0;
  }
  if (OnDispatcher) OnDispatcher(this, Opcode);
  return Result;
}

#define KVX_VST_DEFINE_HANDLER(Name) \
  intptr_t TBasicVSTModule::HostCall##Name(int32_t, intptr_t, void*, float) { return 0; }
KVX_VST_DEFINE_HANDLER(SetProgram) KVX_VST_DEFINE_HANDLER(GetProgram)
KVX_VST_DEFINE_HANDLER(SetProgramName) KVX_VST_DEFINE_HANDLER(GetProgramName)
KVX_VST_DEFINE_HANDLER(GetParamLabel) KVX_VST_DEFINE_HANDLER(GetParamDisplay)
KVX_VST_DEFINE_HANDLER(GetParamName) KVX_VST_DEFINE_HANDLER(GetVu)
KVX_VST_DEFINE_HANDLER(SetSampleRate) KVX_VST_DEFINE_HANDLER(SetBlockSize)
KVX_VST_DEFINE_HANDLER(MainsChanged) KVX_VST_DEFINE_HANDLER(EditGetRect)
KVX_VST_DEFINE_HANDLER(EditOpen) KVX_VST_DEFINE_HANDLER(EditClose)
KVX_VST_DEFINE_HANDLER(EditDraw) KVX_VST_DEFINE_HANDLER(EditMouse)
KVX_VST_DEFINE_HANDLER(EditKey) KVX_VST_DEFINE_HANDLER(EditIdle)
KVX_VST_DEFINE_HANDLER(EditTop) KVX_VST_DEFINE_HANDLER(EditSleep)
KVX_VST_DEFINE_HANDLER(Identify) KVX_VST_DEFINE_HANDLER(GetChunk)
KVX_VST_DEFINE_HANDLER(SetChunk) KVX_VST_DEFINE_HANDLER(ProcessEvents)
KVX_VST_DEFINE_HANDLER(CanBeAutomated) KVX_VST_DEFINE_HANDLER(String2Parameter)
KVX_VST_DEFINE_HANDLER(GetNumProgramCategories) KVX_VST_DEFINE_HANDLER(GetProgramNameIndexed)
KVX_VST_DEFINE_HANDLER(CopyProgram) KVX_VST_DEFINE_HANDLER(ConnectInput)
KVX_VST_DEFINE_HANDLER(ConnectOutput) KVX_VST_DEFINE_HANDLER(GetInputProperties)
KVX_VST_DEFINE_HANDLER(GetOutputProperties) KVX_VST_DEFINE_HANDLER(GetPlugCategory)
KVX_VST_DEFINE_HANDLER(GetCurrentPosition) KVX_VST_DEFINE_HANDLER(GetDestinationBuffer)
KVX_VST_DEFINE_HANDLER(OfflineNotify) KVX_VST_DEFINE_HANDLER(OfflinePrepare)
KVX_VST_DEFINE_HANDLER(OfflineRun) KVX_VST_DEFINE_HANDLER(ProcessVarIo)
KVX_VST_DEFINE_HANDLER(SetSpeakerArrangement) KVX_VST_DEFINE_HANDLER(SetBlockSizeAndSampleRate)
KVX_VST_DEFINE_HANDLER(SetBypass) KVX_VST_DEFINE_HANDLER(GetEffectName)
KVX_VST_DEFINE_HANDLER(GetErrorText) KVX_VST_DEFINE_HANDLER(GetVendorString)
KVX_VST_DEFINE_HANDLER(GetProductString) KVX_VST_DEFINE_HANDLER(GetVendorVersion)
KVX_VST_DEFINE_HANDLER(VendorSpecific) KVX_VST_DEFINE_HANDLER(CanDo)
KVX_VST_DEFINE_HANDLER(GetTailSize) KVX_VST_DEFINE_HANDLER(Idle)
KVX_VST_DEFINE_HANDLER(GetIcon) KVX_VST_DEFINE_HANDLER(SetViewPosition)
KVX_VST_DEFINE_HANDLER(GetParameterProperties) KVX_VST_DEFINE_HANDLER(KeysRequired)
KVX_VST_DEFINE_HANDLER(GetVstVersion) KVX_VST_DEFINE_HANDLER(EditKeyDown)
KVX_VST_DEFINE_HANDLER(EditKeyUp) KVX_VST_DEFINE_HANDLER(SetEditKnobMode)
KVX_VST_DEFINE_HANDLER(GetMidiProgramName) KVX_VST_DEFINE_HANDLER(GetCurrentMidiProgram)
KVX_VST_DEFINE_HANDLER(GetMidiProgramCategory) KVX_VST_DEFINE_HANDLER(HasMidiProgramsChanged)
KVX_VST_DEFINE_HANDLER(GetMidiKeyName) KVX_VST_DEFINE_HANDLER(BeginSetProgram)
KVX_VST_DEFINE_HANDLER(EndSetProgram) KVX_VST_DEFINE_HANDLER(GetSpeakerArrangement)
KVX_VST_DEFINE_HANDLER(ShellGetNextPlugin) KVX_VST_DEFINE_HANDLER(StartProcess)
KVX_VST_DEFINE_HANDLER(StopProcess) KVX_VST_DEFINE_HANDLER(SetTotalSampleToProcess)
KVX_VST_DEFINE_HANDLER(SetPanLaw) KVX_VST_DEFINE_HANDLER(BeginLoadBank)
KVX_VST_DEFINE_HANDLER(BeginLoadProgram) KVX_VST_DEFINE_HANDLER(SetProcessPrecision)
KVX_VST_DEFINE_HANDLER(GetNumMidiInputChannels) KVX_VST_DEFINE_HANDLER(GetNumMidiOutputChannels)
#undef KVX_VST_DEFINE_HANDLER

intptr_t TBasicVSTModule::HostCallOpen(int32_t, intptr_t, void*, float) {
  TVSTEffect& e = FRecord.Effect;
  e.Process = &ProcessEntry;
  e.Process32Replacing = &Process32Entry;
  e.Process64Replacing = &Process64Entry;
  e.GetParameter = &GetParameterEntry;
  e.SetParameter = &SetParameterEntry;
  if (OnOpen) OnOpen(this);
  return 0;
}

intptr_t TBasicVSTModule::HostCallClose(int32_t, intptr_t, void*, float) {
  // The close handler may fail; the module is freed all the same, since the host lets go of the
  // record now and nobody else could free it.
  bool Failed = false;
  try {
    if (OnClose) OnClose(this);
  } catch (...) {
    Failed = true;
  }
  TVSTEffect& e = FRecord.Effect;
  e.GetParameter = &InertGetParameter;
  e.SetParameter = &InertSetParameter;
  e.Process = &InertProcess;
  e.Process32Replacing = &InertProcess;
  e.Process64Replacing = &InertProcess64;
  e.User = nullptr;
  delete this;
  return Failed ? 0 : 1;
}

void TBasicVSTModule::HostCallProcess(float**, float**, int32_t) {}
void TBasicVSTModule::HostCallProcess32Replacing(float**, float**, int32_t) {}
void TBasicVSTModule::HostCallProcess64Replacing(double**, double**, int32_t) {}
void TBasicVSTModule::HostCallSetParameter(int32_t, float) {}
float TBasicVSTModule::HostCallGetParameter(int32_t) { return 0.0f; }

// ---- record entries ------------------------------------------------------------------------------

intptr_t TBasicVSTModule::DispatcherEntry(PVSTEffect Effect, int32_t Opcode, int32_t Index,
                                          intptr_t Value, void* ptr, float opt) {
  try {
    TBasicVSTModule* Module = ModuleOf(Effect);
    if (Module == nullptr) return 0;
    return Module->DispatchEffect(Opcode, Index, Value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

template <typename TSample>
TBasicVSTModule* TBasicVSTModule::ProcessTarget(PVSTEffect Effect, TSample** Inputs,
                                                TSample** Outputs, int32_t Frames) noexcept {
  // A block reaches the module only with both channel arrays and a buffer for every channel the
  // record declares: the handlers read and write all of them.
  if (Frames <= 0 || Inputs == nullptr || Outputs == nullptr) return nullptr;
  TBasicVSTModule* Module = ModuleOf(Effect);
  if (Module == nullptr) return nullptr;
  for (int32_t i = 0; i < Effect->numInputs; ++i)
    if (Inputs[i] == nullptr) return nullptr;
  for (int32_t i = 0; i < Effect->numOutputs; ++i)
    if (Outputs[i] == nullptr) return nullptr;
  return Module;
}

void TBasicVSTModule::ProcessEntry(PVSTEffect Effect, float** Inputs, float** Outputs,
                                   int32_t Frames) {
  try {
    if (TBasicVSTModule* m = ProcessTarget(Effect, Inputs, Outputs, Frames))
      m->HostCallProcess(Inputs, Outputs, Frames);
  } catch (...) {
  }
}

void TBasicVSTModule::Process32Entry(PVSTEffect Effect, float** Inputs, float** Outputs,
                                     int32_t Frames) {
  try {
    if (TBasicVSTModule* m = ProcessTarget(Effect, Inputs, Outputs, Frames))
      m->HostCallProcess32Replacing(Inputs, Outputs, Frames);
  } catch (...) {
  }
}

void TBasicVSTModule::Process64Entry(PVSTEffect Effect, double** Inputs, double** Outputs,
                                     int32_t Frames) {
  try {
    if (TBasicVSTModule* m = ProcessTarget(Effect, Inputs, Outputs, Frames))
      m->HostCallProcess64Replacing(Inputs, Outputs, Frames);
  } catch (...) {
  }
}

void TBasicVSTModule::ProcessPlaceholder(PVSTEffect Effect, float** Inputs, float** Outputs,
                                         int32_t Frames) {
  if (Effect != nullptr && Effect->Process == &ProcessEntry) ProcessEntry(Effect, Inputs, Outputs, Frames);
}

void TBasicVSTModule::Process32Placeholder(PVSTEffect Effect, float** Inputs, float** Outputs,
                                           int32_t Frames) {
  if (Effect != nullptr && Effect->Process32Replacing == &Process32Entry)
    Process32Entry(Effect, Inputs, Outputs, Frames);
}

void TBasicVSTModule::Process64Placeholder(PVSTEffect Effect, double** Inputs, double** Outputs,
                                           int32_t Frames) {
  if (Effect != nullptr && Effect->Process64Replacing == &Process64Entry)
    Process64Entry(Effect, Inputs, Outputs, Frames);
}

void TBasicVSTModule::SetParameterEntry(PVSTEffect Effect, int32_t Index, float Value) {
  try {
    if (TBasicVSTModule* m = ModuleOf(Effect)) m->HostCallSetParameter(Index, Value);
  } catch (...) {
  }
}

float TBasicVSTModule::GetParameterEntry(PVSTEffect Effect, int32_t Index) {
  try {
    if (TBasicVSTModule* m = ModuleOf(Effect)) return m->HostCallGetParameter(Index);
  } catch (...) {
  }
  return 0.0f;
}

// ---- the owner of the modules handed to hosts ---------------------------------------------------

namespace {

class TModuleOwner {
 public:
  ~TModuleOwner() { FreeAll(); }
  void Adopt(TBasicVSTModule* Module) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FModules.push_back(Module);
  }
  void Release(TBasicVSTModule* Module) noexcept {
    std::lock_guard<std::mutex> Lock(FMutex);
    FModules.erase(std::remove(FModules.begin(), FModules.end(), Module), FModules.end());
  }
  size_t Count() {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FModules.size();
  }
  void FreeAll() noexcept {
    std::vector<TBasicVSTModule*> Modules;
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      Modules.swap(FModules);
    }
    for (TBasicVSTModule* Module : Modules) delete Module;
  }

 private:
  std::mutex FMutex;
  std::vector<TBasicVSTModule*> FModules;
};

// Constructed before the first module is adopted, so destroyed (and freeing what is left) after
// every other user of it, when the library is unloaded.
TModuleOwner& ModuleOwner() {
  static TModuleOwner Owner;
  return Owner;
}

}  // namespace

void AdoptModule(TBasicVSTModule* Module) { ModuleOwner().Adopt(Module); }
void ReleaseModule(TBasicVSTModule* Module) noexcept { ModuleOwner().Release(Module); }
size_t OwnedModuleCount() { return ModuleOwner().Count(); }
void FreeOwnedModules() noexcept { ModuleOwner().FreeAll(); }

// ---- texts ---------------------------------------------------------------------------------------

namespace {
bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; }
}  // namespace

void CopyTextToHost(void* Dest, const std::string& Text, size_t MaxBytes) {
  if (Dest == nullptr || MaxBytes == 0) return;
  size_t Length = Text.size();
  if (Length > MaxBytes - 1) {
    Length = MaxBytes - 1;
    while (Length > 0 && IsContinuationByte(Text[Length])) --Length;
  }
  auto* d = static_cast<char*>(Dest);
  std::memcpy(d, Text.data(), Length);
  d[Length] = '\0';
}

std::string CutBytes(const std::string& Text, size_t MaxBytes) {
  if (Text.size() <= MaxBytes) return Text;
  size_t Length = MaxBytes;
  while (Length > 0 && IsContinuationByte(Text[Length])) --Length;
  return Text.substr(0, Length);
}

std::string CutCharacters(const std::string& Text, size_t MaxChars) {
  size_t Chars = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (IsContinuationByte(Text[i])) continue;
    if (Chars == MaxChars) return Text.substr(0, i);
    ++Chars;
  }
  return Text;
}

std::string ReadHostText(const void* Source, size_t MaxBytes) {
  if (Source == nullptr) return std::string();
  const auto* s = static_cast<const char*>(Source);
  return std::string(s, strnlen(s, MaxBytes));
}

}  // namespace kvx
