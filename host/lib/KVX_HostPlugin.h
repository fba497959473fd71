// The host side of the VST 2.4 interface: loading a plug-in library, the host callback, and thin
// helpers that drive the effect record the way a careful host does.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/KVX_Types.h"
#include "plugin/KVX_VSTEffect.h"

namespace kvx {

// Host opcodes beyond the ones the module layers call. VST 2.4 numbers them densely from 0; only
// those this host answers are named.
namespace hostop {
enum THostOpcode : int32_t {
  amCurrentId = 2,
  amIdle = 3,
  amPinConnected = 4,
  amGetTime = 7,
  amSizeWindow = 15,
  amGetInputLatency = 18,
  amGetOutputLatency = 19,
  amGetCurrentProcessLevel = 23,
  amGetAutomationState = 24,
  amGetVendorString = 32,
  amGetVendorVersion = 34,
  amVendorSpecific = 35,
  amCanDo = 37,
  amGetLanguage = 38,
  amGetDirectory = 41,
  amBeginEdit = 43,
  amEndEdit = 44,
};
}  // namespace hostop

// The identity this host reports.
constexpr const char* CHostProductString = "vsthost";
constexpr const char* CHostVendorString = "KVX";
constexpr intptr_t CHostVendorVersion = 700;

// The host's answer to a plug-in's amCanDo text: 1 for what this host does, -1 for what it
// does not, 0 for texts it does not know.
intptr_t HostCanDo(const char* Text);

// The callback handed to every plug-in this host loads.
intptr_t HostCallback(PVSTEffect Effect, int32_t Opcode, int32_t Index, intptr_t Value, void* ptr,
                      float opt);

// One loaded plug-in: the library, its effect record, and the host state it may ask for.
// Construction loads the library and calls its entry; every failure raises EVstError with a
// one-line message. The destructor suspends and closes the effect and unloads the library.
class TVstHostPlugin {
 public:
  explicit TVstHostPlugin(const std::string& FileName, double SampleRate = 44100, int32_t BlockSize = 512);
  ~TVstHostPlugin();
  TVstHostPlugin(const TVstHostPlugin&) = delete;
  TVstHostPlugin& operator=(const TVstHostPlugin&) = delete;

  const std::string& FileName() const { return FFileName; }
  PVSTEffect Effect() const { return FEffect; }
  bool IsOpen() const { return FOpen; }
  bool IsResumed() const { return FResumed; }

  intptr_t Dispatch(int32_t Opcode, int32_t Index = 0, intptr_t Value = 0, void* ptr = nullptr, float opt = 0);

  // effOpen, effClose. Close suspends first and leaves the record unusable.
  void Open();
  void Close();

  // Record fields.
  int32_t NumParams() const { return FEffect->numParams; }
  int32_t NumPrograms() const { return FEffect->numPrograms; }
  int32_t NumInputs() const { return FEffect->numInputs; }
  int32_t NumOutputs() const { return FEffect->numOutputs; }
  int32_t Flags() const { return FEffect->EffectFlags; }
  bool HasFlag(TEffFlag Flag) const { return (FEffect->EffectFlags & EffFlagMask(Flag)) != 0; }
  int32_t UniqueID() const { return FEffect->UniqueID; }
  int32_t InitialDelay() const { return FEffect->InitialDelay; }

  // Texts, asked with generous buffers and always cut at their end.
  std::string EffectName();
  std::string VendorString();
  std::string ProductString();
  std::string ParameterName(int32_t Index);
  std::string ParameterLabel(int32_t Index);
  std::string ParameterDisplay(int32_t Index);
  std::string ProgramName();
  std::string ProgramNameIndexed(int32_t Index);
  void SetProgramName(const std::string& Name);
  intptr_t CanDo(const std::string& Text);

  float Parameter(int32_t Index);
  void SetParameter(int32_t Index, float Value);

  // Announcements. SampleRate and BlockSize are also what the host answers to amGetSampleRate
  // and amGetBlockSize.
  void SetSampleRate(double Rate);
  void SetBlockSize(int32_t Size);
  double SampleRate() const { return FSampleRate.load(std::memory_order_relaxed); }
  int32_t BlockSize() const { return FBlockSize.load(std::memory_order_relaxed); }
  // Asks for the precision; answers whether the plug-in agreed (answer 1).
  bool SetProcessPrecision(TProcessPrecision Precision);
  // effMainsChanged 1 and effStartProcess; effStopProcess and effMainsChanged 0.
  void Resume();
  void Suspend();
  // effGetTailSize: 0 means not known, 1 no tail, larger values the tail in samples.
  intptr_t TailSize();

  // One block, replacing. The 32-bit entry falls back to the accumulating one (over zeroed
  // outputs) for plug-ins without effFlagsCanReplacing.
  void Process32(float** Inputs, float** Outputs, int32_t Frames);
  void Process64(double** Inputs, double** Outputs, int32_t Frames);

  // What the plug-in told the host.
  int64_t AutomateCount() const { return FAutomateCount.load(std::memory_order_relaxed); }
  // Called with every amAutomate (parameter index, host value), on whichever thread the plug-in
  // calls from. Set before the plug-in runs.
  std::function<void(int32_t Index, float Value)> OnAutomate;
  bool IOChanged() const { return FIOChanged.load(std::memory_order_relaxed); }

  // Answers one host opcode for this plug-in (called by HostCallback).
  intptr_t HostCall(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt);

 private:
  std::string TextFromDispatcher(int32_t Opcode, int32_t Index);

  std::string FFileName;
  void* FLibrary = nullptr;
  PVSTEffect FEffect = nullptr;
  bool FOpen = false;
  bool FResumed = false;
  std::atomic<double> FSampleRate;
  std::atomic<int32_t> FBlockSize;
  std::atomic<int64_t> FAutomateCount{0};
  std::atomic<bool> FIOChanged{false};
};

// The category ordinal as a word ("Effect"), the flags as their names.
std::string CategoryName(intptr_t Category);
std::string FlagNames(int32_t Flags);
// A four-character ID as a quoted text with escapes for unprintable bytes: '37t\0'.
std::string FourCharacterText(int32_t Id);

}  // namespace kvx
