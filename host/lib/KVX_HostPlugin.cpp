#include "host/lib/KVX_HostPlugin.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "host/lib/KVX_HostSystem.h"

namespace kvx {

namespace {

// The plug-in being created on this thread: its entry calls back before the host knows the
// record's address.
thread_local TVstHostPlugin* GLoadingPlugin = nullptr;
// Set while this thread is inside a process call, for amGetCurrentProcessLevel.
thread_local bool GInProcessCall = false;

struct TProcessScope {
  TProcessScope() { GInProcessCall = true; }
  ~TProcessScope() { GInProcessCall = false; }
};

using TEntryFunc = PVSTEffect (*)(TAudioMasterCallbackFunc);

constexpr size_t CTextBufferSize = 1024;

}  // namespace

intptr_t HostCanDo(const char* Text) {
  if (!Text) return 0;
  static const char* const yes[] = {"acceptIOChanges", "startStopProcess", "sendVstEvents",
                                    "sendVstMidiEvent", "reportConnectionChanges"};
  static const char* const no[] = {"sizeWindow",        "offline",           "openFileSelector",
                                   "closeFileSelector", "editFile",          "shellCategory",
                                   "sendVstMidiEventFlagIsRealtime",         "receiveVstEvents",
                                   "receiveVstMidiEvent", "sendVstTimeInfo", "supplyIdle",
                                   "supportShell",      "asyncProcessing",   "supportsSpeakerArrangement"};
  for (const char* t : yes)
    if (std::strcmp(Text, t) == 0) return 1;
  for (const char* t : no)
    if (std::strcmp(Text, t) == 0) return -1;
  return 0;
}

intptr_t HostCallback(PVSTEffect Effect, int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) {
  // amVersion must answer even for a record the host does not know yet.
  if (Opcode == amVersion) return CVstVersion;
  TVstHostPlugin* plugin = nullptr;
  if (Effect && Effect->ReservedForHost) plugin = static_cast<TVstHostPlugin*>(Effect->ReservedForHost);
  if (!plugin) plugin = GLoadingPlugin;
  try {
    if (plugin) return plugin->HostCall(Opcode, Index, Value, ptr, opt);
    // Without a plug-in object only the identity can be answered.
    switch (Opcode) {
      case amGetProductString:
        if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", CHostProductString);
        return ptr ? 1 : 0;
      case hostop::amGetVendorString:
        if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", CHostVendorString);
        return ptr ? 1 : 0;
      case hostop::amGetVendorVersion: return CHostVendorVersion;
      case hostop::amCanDo: return HostCanDo(static_cast<const char*>(ptr));
      default: return 0;
    }
  } catch (...) {
    return 0;
  }
}

intptr_t TVstHostPlugin::HostCall(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) {
  switch (Opcode) {
    case amAutomate:
      FAutomateCount.fetch_add(1, std::memory_order_relaxed);
      if (OnAutomate) OnAutomate(Index, opt);
      return 0;
    case amVersion: return CVstVersion;
    case hostop::amCurrentId: return 0;
    case hostop::amIdle: return 0;
    case hostop::amPinConnected: {
      // 0 means connected; Value 0 asks about an input, 1 about an output.
      const int32_t count = Value ? FEffect ? FEffect->numOutputs : 0 : FEffect ? FEffect->numInputs : 0;
      return (Index >= 0 && Index < count) ? 0 : 1;
    }
    case amWantMidi: return 1;
    case hostop::amGetTime: return 0;  // no transport
    case amProcessEvents: return 0;    // no MIDI destination
    case amIOChanged:
      FIOChanged.store(true, std::memory_order_relaxed);
      return 1;
    case hostop::amSizeWindow: return 0;
    case amGetSampleRate: return static_cast<intptr_t>(std::lround(SampleRate()));
    case amGetBlockSize: return BlockSize();
    case hostop::amGetInputLatency:
    case hostop::amGetOutputLatency: return 0;
    case hostop::amGetCurrentProcessLevel: return GInProcessCall ? 2 : 1;  // realtime / user thread
    case hostop::amGetAutomationState: return 1;                           // off
    case hostop::amGetVendorString:
      if (!ptr) return 0;
      std::snprintf(static_cast<char*>(ptr), 64, "%s", CHostVendorString);
      return 1;
    case amGetProductString:
      if (!ptr) return 0;
      std::snprintf(static_cast<char*>(ptr), 64, "%s", CHostProductString);
      return 1;
    case hostop::amGetVendorVersion: return CHostVendorVersion;
    case hostop::amCanDo: return HostCanDo(static_cast<const char*>(ptr));
    case hostop::amGetLanguage: return 1;  // English
    case hostop::amGetDirectory: return 0;
    case amUpdateDisplay: return 1;
    case hostop::amBeginEdit:
    case hostop::amEndEdit: return 1;
    default: return 0;
  }
}

TVstHostPlugin::TVstHostPlugin(const std::string& FileName, double SampleRate, int32_t BlockSize)
    : FFileName(FileName), FSampleRate(SampleRate), FBlockSize(BlockSize) {
  std::error_code ec;
  const auto status = std::filesystem::status(PathFromUtf8(FileName), ec);
  if (ec || !std::filesystem::exists(status)) throw EVstError("cannot load '" + FileName + "': no such file");
  if (std::filesystem::is_directory(status)) throw EVstError("cannot load '" + FileName + "': it is a folder");
  std::string why;
  FLibrary = LoadPluginLibrary(FileName, why);
  if (!FLibrary)
    throw EVstError("cannot load '" + FileName + "': not a loadable shared library (" + why + ")");
  auto entry = reinterpret_cast<TEntryFunc>(PluginLibrarySymbol(FLibrary, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<TEntryFunc>(PluginLibrarySymbol(FLibrary, "main"));
  if (!entry) {
    UnloadPluginLibrary(FLibrary);
    throw EVstError("cannot load '" + FileName + "': not a VST 2.4 plug-in (no VSTPluginMain entry)");
  }
  GLoadingPlugin = this;
  PVSTEffect effect = nullptr;
  try {
    effect = entry(&HostCallback);
  } catch (...) {
    effect = nullptr;
  }
  GLoadingPlugin = nullptr;
  if (!effect || effect->Magic != CEffectMagic) {
    // A record with the wrong magic is not ours to close; the library stays loaded rather than
    // pulling code away from something that may still run.
    if (!effect) UnloadPluginLibrary(FLibrary);
    FLibrary = nullptr;
    throw EVstError("cannot load '" + FileName + "': " +
                    (effect ? "the entry returned no VST 2.4 effect record (bad magic)"
                            : "the plug-in's entry refused to create an effect"));
  }
  FEffect = effect;
  FEffect->ReservedForHost = this;
  if (!FEffect->Dispatcher) {
    FEffect = nullptr;
    throw EVstError("cannot load '" + FileName + "': the effect record has no dispatcher");
  }
}

TVstHostPlugin::~TVstHostPlugin() {
  try {
    Close();
  } catch (...) {
  }
  if (FLibrary) UnloadPluginLibrary(FLibrary);
}

intptr_t TVstHostPlugin::Dispatch(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) {
  if (!FEffect) return 0;
  return FEffect->Dispatcher(FEffect, Opcode, Index, Value, ptr, opt);
}

void TVstHostPlugin::Open() {
  if (FOpen || !FEffect) return;
  Dispatch(effOpen);
  FOpen = true;
}

void TVstHostPlugin::Close() {
  if (!FEffect) return;
  if (FResumed) Suspend();
  Dispatch(effClose);
  FEffect = nullptr;
  FOpen = false;
}

std::string TVstHostPlugin::TextFromDispatcher(int32_t Opcode, int32_t Index) {
  char text[CTextBufferSize] = {};
  Dispatch(Opcode, Index, 0, text);
  text[CTextBufferSize - 1] = 0;
  return text;
}

std::string TVstHostPlugin::EffectName() { return TextFromDispatcher(effGetEffectName, 0); }
std::string TVstHostPlugin::VendorString() { return TextFromDispatcher(effGetVendorString, 0); }
std::string TVstHostPlugin::ProductString() { return TextFromDispatcher(effGetProductString, 0); }
std::string TVstHostPlugin::ParameterName(int32_t Index) { return TextFromDispatcher(effGetParamName, Index); }
std::string TVstHostPlugin::ParameterLabel(int32_t Index) { return TextFromDispatcher(effGetParamLabel, Index); }
std::string TVstHostPlugin::ParameterDisplay(int32_t Index) { return TextFromDispatcher(effGetParamDisplay, Index); }
std::string TVstHostPlugin::ProgramName() { return TextFromDispatcher(effGetProgramName, 0); }

std::string TVstHostPlugin::ProgramNameIndexed(int32_t Index) {
  char text[CTextBufferSize] = {};
  Dispatch(effGetProgramNameIndexed, Index, -1, text);
  text[CTextBufferSize - 1] = 0;
  return text;
}

void TVstHostPlugin::SetProgramName(const std::string& Name) {
  // VST 2.4 program names are at most 24 bytes with the zero.
  char text[CTextBufferSize] = {};
  std::snprintf(text, 24, "%s", Name.c_str());
  Dispatch(effSetProgramName, 0, 0, text);
}

intptr_t TVstHostPlugin::CanDo(const std::string& Text) {
  std::vector<char> text(Text.begin(), Text.end());
  text.push_back(0);
  return Dispatch(effCanDo, 0, 0, text.data());
}

float TVstHostPlugin::Parameter(int32_t Index) {
  if (!FEffect || !FEffect->GetParameter) return 0;
  return FEffect->GetParameter(FEffect, Index);
}

void TVstHostPlugin::SetParameter(int32_t Index, float Value) {
  if (!FEffect || !FEffect->SetParameter) return;
  FEffect->SetParameter(FEffect, Index, Value);
}

void TVstHostPlugin::SetSampleRate(double Rate) {
  FSampleRate.store(Rate, std::memory_order_relaxed);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(Rate));
}

void TVstHostPlugin::SetBlockSize(int32_t Size) {
  FBlockSize.store(Size, std::memory_order_relaxed);
  Dispatch(effSetBlockSize, 0, Size);
}

bool TVstHostPlugin::SetProcessPrecision(TProcessPrecision Precision) {
  return Dispatch(effSetProcessPrecision, 0, Precision) == 1;
}

void TVstHostPlugin::Resume() {
  if (FResumed) return;
  Dispatch(effMainsChanged, 0, 1);
  Dispatch(effStartProcess);
  FResumed = true;
}

void TVstHostPlugin::Suspend() {
  if (!FResumed) return;
  Dispatch(effStopProcess);
  Dispatch(effMainsChanged, 0, 0);
  FResumed = false;
}

intptr_t TVstHostPlugin::TailSize() { return Dispatch(effGetTailSize); }

void TVstHostPlugin::Process32(float** Inputs, float** Outputs, int32_t Frames) {
  if (!FEffect || Frames <= 0) return;
  TProcessScope scope;
  if (HasFlag(effFlagsCanReplacing) && FEffect->Process32Replacing) {
    FEffect->Process32Replacing(FEffect, Inputs, Outputs, Frames);
  } else if (FEffect->Process) {
    for (int32_t c = 0; c < FEffect->numOutputs; ++c) std::memset(Outputs[c], 0, sizeof(float) * Frames);
    FEffect->Process(FEffect, Inputs, Outputs, Frames);
  }
}

void TVstHostPlugin::Process64(double** Inputs, double** Outputs, int32_t Frames) {
  if (!FEffect || Frames <= 0 || !FEffect->Process64Replacing) return;
  TProcessScope scope;
  FEffect->Process64Replacing(FEffect, Inputs, Outputs, Frames);
}

std::string CategoryName(intptr_t Category) {
  static const char* const names[] = {"Unknown",     "Effect",        "Synth",      "Analysis",
                                      "Mastering",   "Spacializer",   "RoomFx",     "SurroundFx",
                                      "Restoration", "OfflineProcess", "Shell",     "Generator"};
  if (Category >= 0 && Category < static_cast<intptr_t>(std::size(names))) return names[Category];
  return "?";
}

std::string FlagNames(int32_t Flags) {
  static const char* const names[] = {"HasEditor",   "HasClip",        "HasVu",         "CanMono",
                                      "CanReplacing", "ProgramChunks", "Unused1",       "Unused2",
                                      "IsSynth",     "NoSoundInStop",  "ExtIsAsync",    "ExtHasBuffer",
                                      "CanDoubleReplacing"};
  std::string text;
  for (int bit = 0; bit < 32; ++bit) {
    if (!(static_cast<uint32_t>(Flags) & (1u << bit))) continue;
    if (!text.empty()) text += ' ';
    text += bit < static_cast<int>(std::size(names)) ? names[bit] : "bit" + std::to_string(bit);
  }
  return text;
}

std::string FourCharacterText(int32_t Id) {
  std::string text = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const unsigned char c = static_cast<unsigned char>((static_cast<uint32_t>(Id) >> shift) & 0xFF);
    if (c == 0) {
      text += "\\0";
    } else if (std::isprint(c) && c != '\\' && c != '\'') {
      text += static_cast<char>(c);
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      text += esc;
    }
  }
  return text + "'";
}

}  // namespace kvx
