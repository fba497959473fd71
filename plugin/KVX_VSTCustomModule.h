// The module layer that answers the host's identity and capability queries, keeps sample rate,
// block size and precision, handles the host's announcements and hosts the editor window.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/KVX_Window.h"
#include "plugin/KVX_VSTBasicModule.h"

namespace kvx {

class TCustomVSTModule;

using TVstCanDos = TSet<TVstCanDo, uint32_t>;

// Every member of TVstCanDo.
constexpr TVstCanDos AllVstCanDos() { return TVstCanDos::FromMask((1u << CVstCanDoCount) - 1u); }

// A key as the host reports it with effEditKeyDown / effEditKeyUp.
struct TVstKeyCode {
  int32_t Character = 0;
  uint8_t Virt = 0;
  uint8_t Modifier = 0;
};

using TSampleRateChangeEvent = std::function<void(TBasicVSTModule* Sender, float SampleRate)>;
using TBlockSizeChangeEvent = std::function<void(TBasicVSTModule* Sender, int32_t BlockSize)>;
using TSoftBypassEvent = std::function<void(TBasicVSTModule* Sender, bool isBypass)>;
using TCanDoEvent = std::function<void(TBasicVSTModule* Sender, const std::string& CanDoText)>;
using TVendorSpecificEvent = std::function<intptr_t(TBasicVSTModule* Sender, int32_t Index,
                                                    intptr_t Value, void* ptr, float opt)>;
using TGetVUEvent = std::function<void(TBasicVSTModule* Sender, float& VU)>;
using TOnConnectedEvent = std::function<void(TBasicVSTModule* Sender, int32_t Index, bool State)>;
using TPinPropertiesEvent = std::function<bool(TBasicVSTModule* Sender, int32_t Index,
                                               TVstPinProperties& Properties)>;
using TSpeakerArrangementEvent = std::function<void(TBasicVSTModule* Sender, void* Input,
                                                    void* Output)>;
using TSetPanLawEvent = std::function<void(TBasicVSTModule* Sender, TVstPanLawType LawType,
                                           float Gain)>;
using TProcessVarIOEvent = std::function<void(TBasicVSTModule* Sender, void* VarIO)>;
// The editor window class: constructs the complete window for its owning module, not shown.
using TEditorFormClass = std::unique_ptr<TTopLevelWindow> (*)(TCustomVSTModule* Owner);
using TGetEditorEvent = std::function<void(TBasicVSTModule* Sender,
                                           std::unique_ptr<TTopLevelWindow>& GUI,
                                           TNativeWindowHandle ParentWindow)>;
using TOnEditClose = std::function<void(TBasicVSTModule* Sender, bool& DestroyForm)>;
using TOnEditGetSize = std::function<void(TBasicVSTModule* Sender, int16_t& Width, int16_t& Height)>;
using TOnEditorKeyEvent = std::function<void(TBasicVSTModule* Sender, TVstKeyCode& keyCode)>;
using TOnCheckKeyEvent = std::function<bool(TBasicVSTModule* Sender, char Key)>;
using TOnEditorKnobModeEvent = std::function<void(TBasicVSTModule* Sender, int32_t Mode)>;

class TCustomVSTModule : public TBasicVSTModule {
 public:
  // The highest sample rate the module accepts from a host, in Hz.
  static constexpr float CMaxSampleRate = 1.0e7f;

  TCustomVSTModule();
  ~TCustomVSTModule() override;

  // ---- identity ----
  const std::string& EffectName() const { return FEffectName; }
  void SetEffectName(const std::string& Value);
  const std::string& ProductName() const { return FProductName; }
  void SetProductName(const std::string& Value);
  const std::string& VendorName() const { return FVendorName; }
  void SetVendorName(const std::string& Value);
  const std::string& Version() const { return FVersion; }
  void SetVersion(const std::string& Value) { FVersion = Value; }
  int32_t VersionMajor() const { return FVersionMajor; }
  void SetVersionMajor(int32_t Value);
  int32_t VersionMinor() const { return FVersionMinor; }
  void SetVersionMinor(int32_t Value);
  int32_t VersionRelease() const { return FVersionRelease; }
  void SetVersionRelease(int32_t Value);
  // Four characters, the first in the most significant byte of the record's UniqueID.
  std::string UniqueID() const;
  void SetUniqueID(const std::string& Value);
  TVstPluginCategory PlugCategory() const { return FPlugCategory; }
  void SetPlugCategory(TVstPluginCategory Value) { FPlugCategory = Value; }
  TVstCanDos CanDos() const { return FCanDos; }
  void SetCanDos(TVstCanDos Value) { FCanDos = Value; }
  int32_t TailSize() const { return FTailSize; }
  void SetTailSize(int32_t Value) { FTailSize = Value; }
  bool KeysRequired() const { return FKeysRequired; }
  void SetKeysRequired(bool Value) { FKeysRequired = Value; }
  int32_t numCategories() const { return FNumCategories; }
  void SetNumCategories(int32_t Value) { FNumCategories = Value; }
  const std::string& HostVendor() const { return FHostVendor; }

  // ---- record fields ----
  float IORatio() const { return Record().IORatio; }
  void SetIORatio(float Value);
  int32_t InitialDelay() const { return Record().InitialDelay; }
  void SetInitialDelay(int32_t Value);
  int32_t RealQualities() const { return Record().RealQualities; }
  void SetRealQualities(int32_t Value) { RecordRef().RealQualities = Value; }
  int32_t OffQualities() const { return Record().OffQualities; }
  void SetOffQualities(int32_t Value) { RecordRef().OffQualities = Value; }
  int32_t NumInputs() const { return Record().numInputs; }
  void SetNumInputs(int32_t Value);
  int32_t NumOutputs() const { return Record().numOutputs; }
  void SetNumOutputs(int32_t Value);

  // ---- processing environment ----
  float SampleRate() const { return FSampleRate.load(std::memory_order_relaxed); }
  void SetSampleRate(float Value);
  int32_t BlockSize() const { return FBlockSize.load(std::memory_order_relaxed); }
  void SetBlockSize(int32_t Value);
  TProcessPrecision ProcessPrecisition() const { return FProcessPrecisition; }
  void SetProcessPrecisition(TProcessPrecision Value) { FProcessPrecisition = Value; }
  // Ask the host and take a positive answer that differs; answer the host's answer.
  float UpdateSampleRate();
  int32_t UpdateBlockSize();

  // The decimal separator of the user's locale, read when the module was created.
  const std::string& DecimalSeparator() const { return FDecimalSeparator; }

  // ---- editor ----
  TEditorFormClass EditorFormClass() const { return FEditorFormClass; }
  void SetEditorFormClass(TEditorFormClass Value) { FEditorFormClass = Value; }
  // The open editor window or null; owned by the module.
  TTopLevelWindow* EditorForm() const { return FEditorForm.load(std::memory_order_acquire); }
  bool EditorNeedUpdate() const { return FEditorNeedUpdate.load(std::memory_order_relaxed); }
  void EditorPostUpdate() { FEditorNeedUpdate.store(true, std::memory_order_relaxed); }
  const ERect& EditorRect() const { return FEditorRect; }
  // Frees the open editor window, if any (the reference is cleared first). The module layers
  // call it before the layers above this one are gone, so that a window still open when the
  // module is freed never outlives the state it shows.
  void CloseEditor() { SetEditorForm(nullptr); }

  // The thread that opened the editor: the only one that touches the window.
  std::thread::id EditorThread() const { return FEditorThread.load(std::memory_order_relaxed); }

  // Every dispatcher call runs inside an editor call scope, so that a window the host closes
  // from inside one of our calls into it is freed only once that call has unwound.
  intptr_t DispatchEffect(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) override;

  // ---- handlers of this layer ----
  intptr_t HostCallGetVu(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetSampleRate(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetBlockSize(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallMainsChanged(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditGetRect(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditOpen(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditClose(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditIdle(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditTop(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditSleep(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallIdentify(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetNumProgramCategories(int32_t Index, intptr_t Value, void* ptr,
                                           float opt) override;
  intptr_t HostCallConnectInput(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallConnectOutput(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetInputProperties(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetOutputProperties(int32_t Index, intptr_t Value, void* ptr,
                                       float opt) override;
  intptr_t HostCallGetPlugCategory(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallProcessVarIo(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetSpeakerArrangement(int32_t Index, intptr_t Value, void* ptr,
                                         float opt) override;
  intptr_t HostCallSetBlockSizeAndSampleRate(int32_t Index, intptr_t Value, void* ptr,
                                             float opt) override;
  intptr_t HostCallSetBypass(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetEffectName(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetVendorString(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetProductString(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetVendorVersion(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallVendorSpecific(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallCanDo(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetTailSize(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallKeysRequired(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetVstVersion(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditKeyDown(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditKeyUp(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetEditKnobMode(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetCurrentMidiProgram(int32_t Index, intptr_t Value, void* ptr,
                                         float opt) override;
  intptr_t HostCallShellGetNextPlugin(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallStartProcess(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallStopProcess(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetTotalSampleToProcess(int32_t Index, intptr_t Value, void* ptr,
                                           float opt) override;
  intptr_t HostCallSetPanLaw(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetProcessPrecision(int32_t Index, intptr_t Value, void* ptr,
                                       float opt) override;

  // ---- events ----
  TSampleRateChangeEvent OnSampleRateChange;
  TBlockSizeChangeEvent OnBlockSizeChange;
  TVSTNotifyEvent OnSuspend;
  TVSTNotifyEvent OnResume;
  TSoftBypassEvent OnSoftBypass;
  TCanDoEvent OnCanDo;
  TVendorSpecificEvent OnVendorSpecific;
  TGetVUEvent OnGetVU;
  TOnConnectedEvent OnInConnected;
  TOnConnectedEvent OnOutConnected;
  TPinPropertiesEvent OnInputProperties;
  TPinPropertiesEvent OnOutputProperties;
  TSpeakerArrangementEvent OnSpeakerArrangementChanged;
  TVSTNotifyEvent OnStartProcess;
  TVSTNotifyEvent OnStopProcess;
  TSetPanLawEvent OnSetPanLaw;
  TProcessVarIOEvent OnProcessVarIO;
  TGetEditorEvent OnEditOpen;
  TOnEditClose OnEditClose;
  TOnEditGetSize OnEditGetSize;
  TVSTNotifyEvent OnEditIdle;
  TVSTNotifyEvent OnEditTop;
  TVSTNotifyEvent OnEditSleep;
  TOnEditorKeyEvent OnEditorKeyDown;
  TOnEditorKeyEvent OnEditorKeyUp;
  TOnCheckKeyEvent OnCheckKey;
  TOnEditorKnobModeEvent OnEditorKnobMode;

 protected:
  // Change hooks. The inherited one must be called by overrides.
  virtual void SampleRateChanged();
  virtual void BlockSizeChanged();
  // After numInputs or numOutputs changed (the host has been told).
  virtual void IOChanged() {}

  // Accepts a host sample rate: 0, not finite or above CMaxSampleRate in magnitude is refused;
  // a negative rate gives its magnitude.
  static bool AcceptedSampleRate(float Rate, float& Accepted);
  void SetEditorNeedUpdate(bool Value) { FEditorNeedUpdate.store(Value, std::memory_order_relaxed); }

 private:
  void UpdateVersion();
  intptr_t PinProperties(bool Input, int32_t Index, void* ptr);
  intptr_t EditKey(bool Down, int32_t Index, intptr_t Value, float opt);
  void SetEditorForm(std::unique_ptr<TTopLevelWindow> Form);

  std::string FEffectName;
  std::string FProductName;
  std::string FVendorName;
  std::string FVersion = "1.0";
  int32_t FVersionMajor = 1;
  int32_t FVersionMinor = 0;
  int32_t FVersionRelease = 0;
  TVstPluginCategory FPlugCategory = vpcUnknown;
  TVstCanDos FCanDos{vcdPlugAsChannelInsert, vcdPlugAsSend, vcd2in2out};
  int32_t FTailSize = 0;
  bool FKeysRequired = false;
  int32_t FNumCategories = 1;
  int32_t FShellPluginIndex = 0;
  std::string FHostVendor;
  std::atomic<float> FSampleRate{44100.0f};
  std::atomic<int32_t> FBlockSize{1024};
  TProcessPrecision FProcessPrecisition = pp32;
  std::string FDecimalSeparator;

  TEditorFormClass FEditorFormClass = nullptr;
  std::unique_ptr<TTopLevelWindow> FEditorFormOwner;
  std::atomic<TTopLevelWindow*> FEditorForm{nullptr};
  std::atomic<bool> FEditorNeedUpdate{false};
  ERect FEditorRect{};
  // Written at effEditOpen, read by calls from any thread.
  std::atomic<std::thread::id> FEditorThread{};
};

}  // namespace kvx
