// The VST 2.4 binary interface between a host and a plug-in on the 64-bit target: the effect
// record the host drives, the function types of its entries, the dispatcher and host opcodes,
// and the small records passed through the dispatcher.
//
// This header stands on its own (it includes only the standard fixed-width types) so that a host,
// a test plug-in or the module layers can use it without anything else of the library. Every
// record is plain standard-layout data shared with the other side byte for byte; the static
// assertions at the end pin each offset and size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace kvx {

struct TVSTEffect;
using PVSTEffect = TVSTEffect*;

// ---- function types of the record's entries and of the host callback ----------------------------

// The host callback and the plug-in's dispatcher share one signature.
using TAudioMasterCallbackFunc = intptr_t (*)(PVSTEffect Effect, int32_t Opcode, int32_t Index,
                                              intptr_t Value, void* ptr, float opt);
using TDispatcherFunc = intptr_t (*)(PVSTEffect Effect, int32_t Opcode, int32_t Index,
                                     intptr_t Value, void* ptr, float opt);
using TProcessProc = void (*)(PVSTEffect Effect, float** Inputs, float** Outputs,
                              int32_t Sampleframes);
using TProcessDoubleProc = void (*)(PVSTEffect Effect, double** Inputs, double** Outputs,
                                    int32_t Sampleframes);
using TSetParameterProc = void (*)(PVSTEffect Effect, int32_t Index, float Parameter);
using TGetParameterFunc = float (*)(PVSTEffect Effect, int32_t Index);

// ---- constants ----------------------------------------------------------------------------------

// The record's Magic: the characters V s t P, V in the most significant byte.
constexpr int32_t CEffectMagic = 0x56737450;
// Answer of effIdentify: the characters N v E f, N in the most significant byte.
constexpr intptr_t CEffectIdentify = 0x4E764566;
// Answer of effGetVstVersion.
constexpr intptr_t CVstVersion = 2400;
// Answers of the Cockos extension (can-do "hasCockosExtensions" and effVendorSpecific).
constexpr int32_t CCockosCanDoAnswer = static_cast<int32_t>(0xBEEF0000u);
constexpr intptr_t CCockosVendorAnswer = 0xBEEF;
// effVendorSpecific indexes of the Cockos extension.
constexpr int32_t CCockosParameterDisplay = 7;
constexpr int32_t CCockosParameterRange = static_cast<int32_t>(0xDEADBEF0u);
// Size of the buffer handed to amGetProductString.
constexpr int32_t CHostStringSize = 256;

// ---- effect flags: bit numbers within TVSTEffect::EffectFlags -----------------------------------

enum TEffFlag : uint8_t {
  effFlagsHasEditor = 0,
  effFlagsHasClip = 1,
  effFlagsHasVu = 2,
  effFlagsCanMono = 3,
  effFlagsCanReplacing = 4,
  effFlagsProgramChunks = 5,
  effFlagsUnused1 = 6,
  effFlagsUnused2 = 7,
  effFlagsIsSynth = 8,
  effFlagsNoSoundInStop = 9,
  effFlagsExtIsAsync = 10,
  effFlagsExtHasBuffer = 11,
  effFlagsCanDoubleReplacing = 12,
};

// The mask of one flag within EffectFlags.
constexpr int32_t EffFlagMask(TEffFlag Flag) { return int32_t{1} << Flag; }

// ---- dispatcher opcodes (host -> plug-in) -------------------------------------------------------

enum TDispatcherOpcode : int32_t {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effGetVu = 9,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditDraw = 16,
  effEditMouse = 17,
  effEditKey = 18,
  effEditIdle = 19,
  effEditTop = 20,
  effEditSleep = 21,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetNumProgramCategories = 28,
  effGetProgramNameIndexed = 29,
  effCopyProgram = 30,
  effConnectInput = 31,
  effConnectOutput = 32,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effGetCurrentPosition = 36,
  effGetDestinationBuffer = 37,
  effOfflineNotify = 38,
  effOfflinePrepare = 39,
  effOfflineRun = 40,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBlockSizeAndSampleRate = 43,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetErrorText = 46,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetIcon = 54,
  effSetViewPosition = 55,
  effGetParameterProperties = 56,
  effKeysRequired = 57,
  effGetVstVersion = 58,
  effEditKeyDown = 59,
  effEditKeyUp = 60,
  effSetEditKnobMode = 61,
  effGetMidiProgramName = 62,
  effGetCurrentMidiProgram = 63,
  effGetMidiProgramCategory = 64,
  effHasMidiProgramsChanged = 65,
  effGetMidiKeyName = 66,
  effBeginSetProgram = 67,
  effEndSetProgram = 68,
  effGetSpeakerArrangement = 69,
  effShellGetNextPlugin = 70,
  effStartProcess = 71,
  effStopProcess = 72,
  effSetTotalSampleToProcess = 73,
  effSetPanLaw = 74,
  effBeginLoadBank = 75,
  effBeginLoadProgram = 76,
  effSetProcessPrecision = 77,
  effGetNumMidiInputChannels = 78,
  effGetNumMidiOutputChannels = 79,
};

// Number of dispatcher opcodes; every opcode from 0 to CDispatcherOpcodeCount - 1 has a handler.
constexpr int32_t CDispatcherOpcodeCount = 80;

// ---- host opcodes (plug-in -> host) used by the module layers ------------------------------------

enum TAudioMasterOpcode : int32_t {
  amAutomate = 0,
  amVersion = 1,
  amWantMidi = 6,
  amProcessEvents = 8,
  amIOChanged = 13,
  amGetSampleRate = 16,
  amGetBlockSize = 17,
  amGetProductString = 33,
  amUpdateDisplay = 42,
};

// ---- can-do members, bit numbers of the 32-bit can-do mask --------------------------------------

enum TVstCanDo : uint8_t {
  vcdSendVstEvents,
  vcdSendVstMidiEvent,
  vcdSendVstTimeInfo,
  vcdReceiveVstEvents,
  vcdReceiveVstMidiEvent,
  vcdReceiveVstTimeInfo,
  vcdOffline,
  vcdPlugAsChannelInsert,
  vcdPlugAsSend,
  vcdMixDryWet,
  vcdNoRealTime,
  vcdMultipass,
  vcdMetapass,
  vcd1in1out,
  vcd1in2out,
  vcd2in1out,
  vcd2in2out,
  vcd2in4out,
  vcd4in2out,
  vcd4in4out,
  vcd4in8out,
  vcd8in4out,
  vcd8in8out,
  vcdMidiProgramNames,
  vcdLiveWithoutToolbar,
  vcdConformsToWindowRules,
  vcdBypass,
  vcdCockosExtension,
  vcdChainPluginAPI,
};

constexpr int CVstCanDoCount = 29;

// The text a host passes to effCanDo for each member, in member order.
constexpr const char* CVstCanDoTexts[CVstCanDoCount] = {
    "sendVstEvents",       "sendVstMidiEvent",      "sendVstTimeInfo",
    "receiveVstEvents",    "receiveVstMidiEvent",   "receiveVstTimeInfo",
    "offline",             "plugAsChannelInsert",   "plugAsSend",
    "mixDryWet",           "noRealTime",            "multipass",
    "metapass",            "1in1out",               "1in2out",
    "2in1out",             "2in2out",               "2in4out",
    "4in2out",             "4in4out",               "4in8out",
    "8in4out",             "8in8out",               "midiProgramNames",
    "LiveWithoutToolbar",  "conformsToWindowRules", "bypass",
    "hasCockosExtensions", "ChainPluginAPI",
};

// ---- plug-in categories (answer of effGetPlugCategory) ------------------------------------------

enum TVstPluginCategory : int32_t {
  vpcUnknown = 0,
  vpcEffect = 1,
  vpcSynth = 2,
  vpcAnalysis = 3,
  vpcMastering = 4,
  vpcSpacializer = 5,
  vpcRoomFx = 6,
  vpcSurroundFx = 7,
  vpcRestoration = 8,
  vpcOfflineProcess = 9,
  vpcShell = 10,
  vpcGenerator = 11,
};

// Sample precision of the process calls (effSetProcessPrecision).
enum TProcessPrecision : int32_t { pp32 = 0, pp64 = 1 };

// Pan law of effSetPanLaw.
enum TVstPanLawType : int32_t { plLinear = 0, plEqualPower = 1 };

// ---- the effect record --------------------------------------------------------------------------

struct TVSTEffect {
  int32_t Magic;                          // CEffectMagic
  int32_t MagicPadding;                   // alignment of the next pointer; zero
  TDispatcherFunc Dispatcher;
  TProcessProc Process;                   // accumulating 32-bit process entry
  TSetParameterProc SetParameter;
  TGetParameterFunc GetParameter;
  int32_t numPrograms;
  int32_t numParams;
  int32_t numInputs;
  int32_t numOutputs;
  int32_t EffectFlags;                    // TEffFlag bits
  int32_t EffectFlagsPadding;             // zero
  void* ReservedForHost;                  // belongs to the host
  void* Resvd2;
  int32_t InitialDelay;                   // latency in samples
  int32_t RealQualities;
  int32_t OffQualities;
  float IORatio;
  void* AudioEffectPtr;
  void* User;                             // the module object behind the record
  int32_t UniqueID;
  int32_t Version;
  TProcessProc Process32Replacing;
  TProcessDoubleProc Process64Replacing;
  uint8_t Future[56];
};

// ---- records passed through the dispatcher ------------------------------------------------------

// The editor rectangle of effEditGetRect: four 16-bit signed integers.
struct ERect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// Bit numbers within TVstPinProperties::Flags (masks 1, 2 and 4).
enum TVstPinPropertiesFlag : uint8_t { vppIsActive = 0, vppIsStereo = 1, vppUseSpeaker = 2 };

// Properties of one input or output pin (effGetInputProperties, effGetOutputProperties).
struct TVstPinProperties {
  char Caption[64];
  int32_t Flags;                          // TVstPinPropertiesFlag bits
  int32_t ArrangementType;
  char ShortLabel[8];
  uint8_t Future[48];
};

// Bit numbers within TVstParameterProperties::flags (masks 1, 2, 4, ..., 64).
enum TVstParameterPropertiesFlag : uint8_t {
  ppfParameterIsSwitch = 0,
  ppfParameterUsesIntegerMinMax = 1,
  ppfParameterUsesFloatStep = 2,
  ppfParameterUsesIntStep = 3,
  ppfParameterSupportsDisplayIndex = 4,
  ppfParameterSupportsDisplayCategory = 5,
  ppfParameterCanRamp = 6,
};

// What effGetParameterProperties fills in for one parameter.
struct TVstParameterProperties {
  float stepFloat;
  float smallStepFloat;
  float largeStepFloat;
  char label[64];
  int32_t flags;                          // TVstParameterPropertiesFlag bits
  int32_t minInteger;
  int32_t maxInteger;
  int32_t stepInteger;
  int32_t largeStepInteger;
  char shortLabel[8];
  int16_t displayIndex;
  int16_t category;
  int16_t numParametersInCategory;
  int16_t reserved;
  char categoryLabel[24];
  uint8_t future[16];
};

// What the host passes to effBeginLoadBank and effBeginLoadProgram.
struct TVstPatchChunkInfo {
  int32_t Version;
  int32_t PluginUniqueID;
  int32_t PluginVersion;
  int32_t numElements;
  uint8_t future[48];
};

// ---- layout checks ------------------------------------------------------------------------------

static_assert(std::is_standard_layout_v<TVSTEffect> && std::is_trivially_copyable_v<TVSTEffect>);

static_assert(sizeof(void*) == 8, "the record layout is the one of the 64-bit target");
static_assert(sizeof(float) == 4 && sizeof(double) == 8);

static_assert(offsetof(TVSTEffect, Magic) == 0);
static_assert(offsetof(TVSTEffect, Dispatcher) == 8);
static_assert(offsetof(TVSTEffect, Process) == 16);
static_assert(offsetof(TVSTEffect, SetParameter) == 24);
static_assert(offsetof(TVSTEffect, GetParameter) == 32);
static_assert(offsetof(TVSTEffect, numPrograms) == 40);
static_assert(offsetof(TVSTEffect, numParams) == 44);
static_assert(offsetof(TVSTEffect, numInputs) == 48);
static_assert(offsetof(TVSTEffect, numOutputs) == 52);
static_assert(offsetof(TVSTEffect, EffectFlags) == 56);
static_assert(offsetof(TVSTEffect, ReservedForHost) == 64);
static_assert(offsetof(TVSTEffect, Resvd2) == 72);
static_assert(offsetof(TVSTEffect, InitialDelay) == 80);
static_assert(offsetof(TVSTEffect, RealQualities) == 84);
static_assert(offsetof(TVSTEffect, OffQualities) == 88);
static_assert(offsetof(TVSTEffect, IORatio) == 92);
static_assert(offsetof(TVSTEffect, AudioEffectPtr) == 96);
static_assert(offsetof(TVSTEffect, User) == 104);
static_assert(offsetof(TVSTEffect, UniqueID) == 112);
static_assert(offsetof(TVSTEffect, Version) == 116);
static_assert(offsetof(TVSTEffect, Process32Replacing) == 120);
static_assert(offsetof(TVSTEffect, Process64Replacing) == 128);
static_assert(offsetof(TVSTEffect, Future) == 136);
static_assert(sizeof(TVSTEffect) == 192);

static_assert(offsetof(ERect, top) == 0);
static_assert(offsetof(ERect, left) == 2);
static_assert(offsetof(ERect, bottom) == 4);
static_assert(offsetof(ERect, right) == 6);
static_assert(sizeof(ERect) == 8);

static_assert(offsetof(TVstPinProperties, Caption) == 0);
static_assert(offsetof(TVstPinProperties, Flags) == 64);
static_assert(offsetof(TVstPinProperties, ArrangementType) == 68);
static_assert(offsetof(TVstPinProperties, ShortLabel) == 72);
static_assert(offsetof(TVstPinProperties, Future) == 80);
static_assert(sizeof(TVstPinProperties) == 128);

static_assert(offsetof(TVstParameterProperties, stepFloat) == 0);
static_assert(offsetof(TVstParameterProperties, smallStepFloat) == 4);
static_assert(offsetof(TVstParameterProperties, largeStepFloat) == 8);
static_assert(offsetof(TVstParameterProperties, label) == 12);
static_assert(offsetof(TVstParameterProperties, flags) == 76);
static_assert(offsetof(TVstParameterProperties, minInteger) == 80);
static_assert(offsetof(TVstParameterProperties, maxInteger) == 84);
static_assert(offsetof(TVstParameterProperties, stepInteger) == 88);
static_assert(offsetof(TVstParameterProperties, largeStepInteger) == 92);
static_assert(offsetof(TVstParameterProperties, shortLabel) == 96);
static_assert(offsetof(TVstParameterProperties, displayIndex) == 104);
static_assert(offsetof(TVstParameterProperties, category) == 106);
static_assert(offsetof(TVstParameterProperties, numParametersInCategory) == 108);
static_assert(offsetof(TVstParameterProperties, reserved) == 110);
static_assert(offsetof(TVstParameterProperties, categoryLabel) == 112);
static_assert(offsetof(TVstParameterProperties, future) == 136);
static_assert(sizeof(TVstParameterProperties) == 152);

static_assert(offsetof(TVstPatchChunkInfo, Version) == 0);
static_assert(offsetof(TVstPatchChunkInfo, PluginUniqueID) == 4);
static_assert(offsetof(TVstPatchChunkInfo, PluginVersion) == 8);
static_assert(offsetof(TVstPatchChunkInfo, numElements) == 12);
static_assert(offsetof(TVstPatchChunkInfo, future) == 16);
static_assert(sizeof(TVstPatchChunkInfo) == 64);

}  // namespace kvx
