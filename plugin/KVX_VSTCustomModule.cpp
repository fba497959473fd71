#include "plugin/KVX_VSTCustomModule.h"

#include <cmath>
#include <cstring>

#include "platform/KVX_NumberFormat.h"
#include "platform/KVX_EditorCallScope.h"

namespace kvx {

namespace {

// The can-do texts in the order a query compares them; the first equal text decides.
constexpr TVstCanDo CCanDoQueryOrder[] = {
    vcdReceiveVstEvents, vcdReceiveVstMidiEvent, vcdReceiveVstTimeInfo, vcdSendVstEvents,
    vcdSendVstMidiEvent, vcdSendVstTimeInfo, vcdOffline, vcdPlugAsChannelInsert, vcdPlugAsSend,
    vcdMixDryWet, vcdNoRealTime, vcdMultipass, vcdMetapass, vcd1in1out, vcd1in2out, vcd2in1out,
    vcd2in2out, vcd2in4out, vcd4in2out, vcd4in4out, vcd4in8out, vcd8in4out, vcd8in8out,
    vcdMidiProgramNames, vcdConformsToWindowRules, vcdLiveWithoutToolbar, vcdBypass,
    vcdChainPluginAPI, vcdCockosExtension,
};
static_assert(sizeof(CCanDoQueryOrder) / sizeof(CCanDoQueryOrder[0]) == CVstCanDoCount);

}  // namespace

TCustomVSTModule::TCustomVSTModule() : FDecimalSeparator(UserDecimalSeparator()) {
  UpdateVersion();
}

TCustomVSTModule::~TCustomVSTModule() {
  FEditorForm.store(nullptr, std::memory_order_release);
  TEditorCallScope::Free(std::move(FEditorFormOwner));
}

intptr_t TCustomVSTModule::DispatchEffect(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) {
  TEditorCallScope Scope;
  // effClose frees the module: nothing of it may be touched after that call.
  if (Opcode == effClose) return TBasicVSTModule::DispatchEffect(Opcode, Index, Value, ptr, opt);
  const intptr_t Result = TBasicVSTModule::DispatchEffect(Opcode, Index, Value, ptr, opt);
  // Hosts that neither idle the editor nor deliver its events still call us: every call on the
  // editor's thread pumps it (never from inside a pump or a nested call).
  TTopLevelWindow* Form = EditorForm();
  if (Form != nullptr && TEditorCallScope::Depth() == 1 && std::this_thread::get_id() == EditorThread())
    Form->ProcessMessages();
  return Result;
}

// ---- identity ------------------------------------------------------------------------------------

void TCustomVSTModule::SetEffectName(const std::string& Value) { FEffectName = Value; }
void TCustomVSTModule::SetProductName(const std::string& Value) { FProductName = Value; }
void TCustomVSTModule::SetVendorName(const std::string& Value) { FVendorName = Value; }

void TCustomVSTModule::SetVersionMajor(int32_t Value) {
  if (Value == FVersionMajor) return;
  FVersionMajor = Value;
  UpdateVersion();
}

void TCustomVSTModule::SetVersionMinor(int32_t Value) {
  if (Value == FVersionMinor) return;
  FVersionMinor = Value;
  UpdateVersion();
}

void TCustomVSTModule::SetVersionRelease(int32_t Value) {
  if (Value == FVersionRelease) return;
  FVersionRelease = Value;
  UpdateVersion();
}

void TCustomVSTModule::UpdateVersion() {
  if (FVersionRelease < 100)
    RecordRef().Version = FVersionMajor * 1000 + FVersionMinor * 100 + FVersionRelease;
  else
    RecordRef().Version = FVersionMajor * 65536 + FVersionMinor * 256 + FVersionRelease;
}

std::string TCustomVSTModule::UniqueID() const {
  const auto Id = static_cast<uint32_t>(Record().UniqueID);
  std::string Result(4, '\0');
  for (int i = 0; i < 4; ++i) Result[i] = static_cast<char>((Id >> (24 - 8 * i)) & 0xFFu);
  return Result;
}

void TCustomVSTModule::SetUniqueID(const std::string& Value) {
  uint32_t Id = 0;
  for (size_t i = 0; i < 4; ++i) {
    const uint32_t c = i < Value.size() ? static_cast<unsigned char>(Value[i]) : 0u;
    Id |= c << (24 - 8 * i);
  }
  RecordRef().UniqueID = static_cast<int32_t>(Id);
}

// ---- record fields -------------------------------------------------------------------------------

void TCustomVSTModule::SetIORatio(float Value) { RecordRef().IORatio = Value; }

void TCustomVSTModule::SetInitialDelay(int32_t Value) {
  if (Value == Record().InitialDelay) return;
  RecordRef().InitialDelay = Value;
  if (HostProduct() == "energyXT") CallAudioMaster(amIOChanged);
}

void TCustomVSTModule::SetNumInputs(int32_t Value) {
  if (Value == Record().numInputs || Value < 0) return;
  RecordRef().numInputs = Value;
  CallAudioMaster(amIOChanged);
  IOChanged();
}

void TCustomVSTModule::SetNumOutputs(int32_t Value) {
  if (Value == Record().numOutputs || Value < 0) return;
  RecordRef().numOutputs = Value;
  CallAudioMaster(amIOChanged);
  IOChanged();
}

// ---- processing environment ----------------------------------------------------------------------

void TCustomVSTModule::SetSampleRate(float Value) {
  if (Value == SampleRate()) return;
  FSampleRate.store(Value, std::memory_order_relaxed);
  SampleRateChanged();
}

void TCustomVSTModule::SetBlockSize(int32_t Value) {
  if (Value == BlockSize()) return;
  FBlockSize.store(Value, std::memory_order_relaxed);
  BlockSizeChanged();
}

void TCustomVSTModule::SampleRateChanged() {
  if (OnSampleRateChange) OnSampleRateChange(this, SampleRate());
}

void TCustomVSTModule::BlockSizeChanged() {
  if (OnBlockSizeChange) OnBlockSizeChange(this, BlockSize());
}

float TCustomVSTModule::UpdateSampleRate() {
  const auto Answer = static_cast<float>(CallAudioMaster(amGetSampleRate));
  float Accepted = 0;
  if (Answer > 0 && AcceptedSampleRate(Answer, Accepted)) SetSampleRate(Accepted);
  return Answer;
}

int32_t TCustomVSTModule::UpdateBlockSize() {
  const auto Answer = static_cast<int32_t>(CallAudioMaster(amGetBlockSize));
  if (Answer > 0) SetBlockSize(Answer);
  return Answer;
}

bool TCustomVSTModule::AcceptedSampleRate(float Rate, float& Accepted) {
  if (!std::isfinite(Rate) || Rate == 0.0f || std::fabs(Rate) > CMaxSampleRate) return false;
  Accepted = std::fabs(Rate);
  return true;
}

intptr_t TCustomVSTModule::HostCallSetSampleRate(int32_t, intptr_t, void*, float opt) {
  float Rate = 0;
  if (AcceptedSampleRate(opt, Rate)) SetSampleRate(Rate);
  return 1;
}

intptr_t TCustomVSTModule::HostCallSetBlockSize(int32_t, intptr_t Value, void*, float) {
  if (Value >= 1 && Value <= INT32_MAX) SetBlockSize(static_cast<int32_t>(Value));
  return 0;
}

intptr_t TCustomVSTModule::HostCallSetBlockSizeAndSampleRate(int32_t Index, intptr_t Value,
                                                             void* ptr, float opt) {
  HostCallSetSampleRate(Index, Value, ptr, opt);
  HostCallSetBlockSize(Index, Value, ptr, opt);
  return 1;
}

intptr_t TCustomVSTModule::HostCallMainsChanged(int32_t, intptr_t Value, void*, float) {
  if (Value == 0) {
    if (OnSuspend) OnSuspend(this);
  } else {
    if (OnResume) OnResume(this);
    CallAudioMaster(amWantMidi, 0, 1);
  }
  return 0;
}

intptr_t TCustomVSTModule::HostCallSetBypass(int32_t, intptr_t Value, void*, float) {
  if (!OnSoftBypass) return 0;
  OnSoftBypass(this, Value != 0);
  return 1;
}

intptr_t TCustomVSTModule::HostCallSetProcessPrecision(int32_t, intptr_t, void*, float) {
  return static_cast<intptr_t>(FProcessPrecisition);
}

// ---- identity and capability queries -------------------------------------------------------------

intptr_t TCustomVSTModule::HostCallGetVu(int32_t, intptr_t, void*, float) {
  if (!OnGetVU) return 0;
  float Level = 0.0f;
  OnGetVU(this, Level);
  const double Scaled = std::nearbyint(static_cast<double>(Level) * 32767.0);
  if (!std::isfinite(Scaled)) return 0;
  return static_cast<intptr_t>(Scaled);
}

intptr_t TCustomVSTModule::HostCallIdentify(int32_t, intptr_t, void*, float) {
  return CEffectIdentify;
}

intptr_t TCustomVSTModule::HostCallGetNumProgramCategories(int32_t, intptr_t, void*, float) {
  return FNumCategories;
}

intptr_t TCustomVSTModule::HostCallConnectInput(int32_t Index, intptr_t Value, void*, float) {
  if (OnInConnected) OnInConnected(this, Index, Value != 0);
  return 1;
}

intptr_t TCustomVSTModule::HostCallConnectOutput(int32_t Index, intptr_t Value, void*, float) {
  if (OnOutConnected) OnOutConnected(this, Index, Value != 0);
  return 1;
}

intptr_t TCustomVSTModule::PinProperties(bool Input, int32_t Index, void* ptr) {
  const int32_t Channels = Input ? NumInputs() : NumOutputs();
  if (Index < 0 || Index >= Channels || ptr == nullptr) return 0;
  auto* Pin = static_cast<TVstPinProperties*>(ptr);
  const std::string n = std::to_string(Index + 1);
  CopyTextToHost(Pin->Caption, (Input ? "Input #" : "Output #") + n, sizeof(Pin->Caption));
  CopyTextToHost(Pin->ShortLabel, (Input ? "In" : "Out") + n, sizeof(Pin->ShortLabel));
  if (Channels == 1) Pin->ArrangementType = 0;
  if (Channels == 2) Pin->ArrangementType = 1;
  if (Channels == 4) Pin->ArrangementType = 11;
  uint8_t LowByte = 1u << vppIsActive;
  if (Channels == 2) LowByte |= 1u << vppIsStereo;
  // Only the low byte of the flags is the module's.
  std::memcpy(&Pin->Flags, &LowByte, 1);
  const TPinPropertiesEvent& Event = Input ? OnInputProperties : OnOutputProperties;
  if (Event) return Event(this, Index, *Pin) ? 1 : 0;
  return 1;
}

intptr_t TCustomVSTModule::HostCallGetInputProperties(int32_t Index, intptr_t, void* ptr, float) {
  return PinProperties(true, Index, ptr);
}

intptr_t TCustomVSTModule::HostCallGetOutputProperties(int32_t Index, intptr_t, void* ptr, float) {
  return PinProperties(false, Index, ptr);
}

intptr_t TCustomVSTModule::HostCallGetPlugCategory(int32_t, intptr_t, void*, float) {
  return FPlugCategory;
}

intptr_t TCustomVSTModule::HostCallProcessVarIo(int32_t, intptr_t, void* ptr, float) {
  if (!OnProcessVarIO) return 0;
  OnProcessVarIO(this, ptr);
  return 1;
}

intptr_t TCustomVSTModule::HostCallSetSpeakerArrangement(int32_t, intptr_t Value, void* ptr,
                                                         float) {
  auto* Input = reinterpret_cast<void*>(Value);
  if (Input == nullptr || ptr == nullptr) return 0;
  if (OnSpeakerArrangementChanged) OnSpeakerArrangementChanged(this, Input, ptr);
  return 1;
}

intptr_t TCustomVSTModule::HostCallGetEffectName(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  CopyTextToHost(ptr, TruncateStrings() ? CutCharacters(FEffectName, 32) : FEffectName);
  return 1;
}

intptr_t TCustomVSTModule::HostCallGetVendorString(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  CopyTextToHost(ptr, TruncateStrings() ? CutCharacters(FVendorName, 64) : FVendorName);
  return 1;
}

intptr_t TCustomVSTModule::HostCallGetProductString(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  const std::string& Text = FProductName.empty() ? FEffectName : FProductName;
  CopyTextToHost(ptr, TruncateStrings() ? CutCharacters(Text, 64) : Text);
  return 1;
}

intptr_t TCustomVSTModule::HostCallGetVendorVersion(int32_t, intptr_t, void*, float) {
  return Record().Version;
}

intptr_t TCustomVSTModule::HostCallVendorSpecific(int32_t Index, intptr_t Value, void* ptr,
                                                  float opt) {
  return OnVendorSpecific ? OnVendorSpecific(this, Index, Value, ptr, opt) : 0;
}

intptr_t TCustomVSTModule::HostCallCanDo(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  const std::string Text = ReadHostText(ptr, 256);
  intptr_t Result = 0;
  for (TVstCanDo Member : CCanDoQueryOrder) {
    if (Text != CVstCanDoTexts[Member]) continue;
    if (Member == vcdCockosExtension)
      Result = FCanDos.Contains(Member) ? static_cast<intptr_t>(CCockosCanDoAnswer) : 0;
    else
      Result = FCanDos.Contains(Member) ? 1 : -1;
    break;
  }
  if (OnCanDo) OnCanDo(this, Text);
  return Result;
}

intptr_t TCustomVSTModule::HostCallGetTailSize(int32_t, intptr_t, void*, float) {
  return FTailSize;
}

intptr_t TCustomVSTModule::HostCallKeysRequired(int32_t, intptr_t, void*, float) {
  return FKeysRequired ? 0 : 1;
}

intptr_t TCustomVSTModule::HostCallGetVstVersion(int32_t, intptr_t, void*, float) {
  return CVstVersion;
}

intptr_t TCustomVSTModule::HostCallGetCurrentMidiProgram(int32_t, intptr_t, void*, float) {
  return -1;
}

intptr_t TCustomVSTModule::HostCallShellGetNextPlugin(int32_t, intptr_t, void*, float) {
  FShellPluginIndex = 0;
  return 0;
}

intptr_t TCustomVSTModule::HostCallStartProcess(int32_t, intptr_t, void*, float) {
  if (!OnStartProcess) return 0;
  OnStartProcess(this);
  return 1;
}

intptr_t TCustomVSTModule::HostCallStopProcess(int32_t, intptr_t, void*, float) {
  if (!OnStopProcess) return 0;
  OnStopProcess(this);
  return 1;
}

intptr_t TCustomVSTModule::HostCallSetTotalSampleToProcess(int32_t, intptr_t Value, void*, float) {
  return Value;
}

intptr_t TCustomVSTModule::HostCallSetPanLaw(int32_t, intptr_t Value, void*, float opt) {
  if (!OnSetPanLaw) return 0;
  OnSetPanLaw(this, static_cast<TVstPanLawType>(Value), opt);
  return 1;
}

// ---- editor hosting ------------------------------------------------------------------------------

void TCustomVSTModule::SetEditorForm(std::unique_ptr<TTopLevelWindow> Form) {
  // The reference is cleared before the window it names is freed.
  FEditorForm.store(Form.get(), std::memory_order_release);
  std::unique_ptr<TTopLevelWindow> Old = std::move(FEditorFormOwner);
  FEditorFormOwner = std::move(Form);
  // Inside a nested call (a handler of the window led the host here) the window is still on
  // the stack: it goes when that call has unwound.
  TEditorCallScope::Free(std::move(Old));
}

intptr_t TCustomVSTModule::HostCallEditGetRect(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  *static_cast<ERect**>(ptr) = &FEditorRect;
  FEditorRect.top = 0;
  FEditorRect.left = 0;
  if (OnEditGetSize) {
    OnEditGetSize(this, FEditorRect.right, FEditorRect.bottom);
  } else {
    FEditorRect.bottom = 32;
    FEditorRect.right = 64;
  }
  const TTopLevelWindow* Form = EditorForm();
  // A module that states its editor's size answers it before the window exists: hosts that
  // size their window from this first answer would otherwise clip the editor to 64 x 32.
  if (Form == nullptr) return OnEditGetSize ? 1 : 0;
  auto Clamp16 = [](int32_t v) { return static_cast<int16_t>(v > INT16_MAX ? INT16_MAX : v); };
  if (Form->ClientHeight() > FEditorRect.bottom) FEditorRect.bottom = Clamp16(Form->ClientHeight());
  if (Form->ClientWidth() > FEditorRect.right) FEditorRect.right = Clamp16(Form->ClientWidth());
  return 1;
}

intptr_t TCustomVSTModule::HostCallEditOpen(int32_t, intptr_t, void* ptr, float) {
  if (!Flags().Contains(effFlagsHasEditor) || ptr == nullptr) return 0;
  FEditorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  // A window that is still open is embedded again rather than replaced by a second one.
  std::unique_ptr<TTopLevelWindow> Form = std::move(FEditorFormOwner);
  FEditorForm.store(nullptr, std::memory_order_release);
  if (!Form && FEditorFormClass != nullptr) Form = FEditorFormClass(this);
  if (OnEditOpen) OnEditOpen(this, Form, reinterpret_cast<TNativeWindowHandle>(ptr));
  SetEditorForm(std::move(Form));
  TTopLevelWindow* Window = EditorForm();
  if (Window == nullptr) return 0;
  try {
    Window->SetParentWindow(reinterpret_cast<TNativeWindowHandle>(ptr));
    Window->SetVisible(true);
    Window->SetBorderStyle(bsNone);
    Window->SetBounds(0, 0, Window->Width(), Window->Height());
    Window->Invalidate();
  } catch (...) {
  }
  return 1;
}

intptr_t TCustomVSTModule::HostCallEditClose(int32_t, intptr_t, void*, float) {
  if (!Flags().Contains(effFlagsHasEditor)) return 0;
  bool DestroyForm = true;
  if (OnEditClose) OnEditClose(this, DestroyForm);
  if (DestroyForm && EditorForm() != nullptr) SetEditorForm(nullptr);
  return 0;
}

intptr_t TCustomVSTModule::HostCallEditIdle(int32_t, intptr_t, void*, float) {
  // The editor's input, timers and repaints run after this handler, as for every call on the
  // editor's thread (DispatchEffect).
  if (Flags().Contains(effFlagsHasEditor) && EditorNeedUpdate() && EditorForm() != nullptr) {
    if (OnEditIdle) OnEditIdle(this);
    SetEditorNeedUpdate(false);
  }
  return 0;
}

intptr_t TCustomVSTModule::HostCallEditTop(int32_t, intptr_t, void*, float) {
  if (OnEditTop) OnEditTop(this);
  return 0;
}

intptr_t TCustomVSTModule::HostCallEditSleep(int32_t, intptr_t, void*, float) {
  if (OnEditSleep) OnEditSleep(this);
  return 0;
}

intptr_t TCustomVSTModule::EditKey(bool Down, int32_t Index, intptr_t Value, float opt) {
  if (!FKeysRequired) return -1;
  TVstKeyCode Key;
  Key.Character = Index;
  Key.Virt = static_cast<uint8_t>(Value);
  Key.Modifier = std::isfinite(opt) && opt >= 0 && opt <= 255 ? static_cast<uint8_t>(opt) : 0;
  const TOnEditorKeyEvent& Event = Down ? OnEditorKeyDown : OnEditorKeyUp;
  if (Event) Event(this, Key);
  if (OnCheckKey && OnCheckKey(this, static_cast<char>(Key.Character))) return 1;
  return -1;
}

intptr_t TCustomVSTModule::HostCallEditKeyDown(int32_t Index, intptr_t Value, void*, float opt) {
  return EditKey(true, Index, Value, opt);
}

intptr_t TCustomVSTModule::HostCallEditKeyUp(int32_t Index, intptr_t Value, void*, float opt) {
  return EditKey(false, Index, Value, opt);
}

intptr_t TCustomVSTModule::HostCallSetEditKnobMode(int32_t, intptr_t Value, void*, float) {
  if (!OnEditorKnobMode) return 0;
  OnEditorKnobMode(this, static_cast<int32_t>(Value));
  return 1;
}

}  // namespace kvx
