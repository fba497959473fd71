#include "plugin/KVX_VSTModuleWithPrograms.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/KVX_NumberFormat.h"

namespace kvx {

namespace {

// What a VST 2.4 host provides at least for a program name, terminator included.
constexpr size_t CProgramNameBuffer = 24;

void AppendLittleEndian32(TMemoryStream& Stream, uint32_t Value) {
  const uint8_t Bytes[4] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                            static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 24)};
  Stream.WriteBuffer(Bytes, 4);
}

uint32_t ReadLittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string Trimmed(const std::string& Text) {
  size_t Begin = 0;
  size_t End = Text.size();
  while (Begin < End && static_cast<unsigned char>(Text[Begin]) <= 32) ++Begin;
  while (End > Begin && static_cast<unsigned char>(Text[End - 1]) <= 32) --End;
  return Text.substr(Begin, End - Begin);
}

}  // namespace

TVSTModuleWithPrograms::TVSTModuleWithPrograms() = default;
TVSTModuleWithPrograms::~TVSTModuleWithPrograms() = default;

// ---- collections ---------------------------------------------------------------------------------

void TVSTModuleWithPrograms::ParameterCountChanged() {
  const int32_t Count = FParameterProperties.Count();
  RecordRef().numParams = Count;
  if (ProgramChunks()) return;
  try {
    if (FPrograms.Count() == 0) {
      FParameter.Resize(Count);
    } else {
      for (int32_t p = 0; p < FPrograms.Count(); ++p) FPrograms[p].SetParameterCount(Count);
    }
  } catch (...) {
    // A failed resize leaves the arrays as they were; reads outside them give 0.
  }
}

void TVSTModuleWithPrograms::ProgramCountChanged() {
  const int32_t Count = FPrograms.Count();
  RecordRef().numPrograms = Count;
  if (CurrentProgram() >= Count) FCurProgram.store(Count - 1, std::memory_order_relaxed);
  if (CurrentProgram() < 0 && Count > 0) SetCurrentProgram(0);
}

TCustomVstProgram* TVSTModuleWithPrograms::CurrentProgramObject() const {
  const int32_t n = CurrentProgram();
  if (n < 0 || n >= FPrograms.Count()) return nullptr;
  return FPrograms.Items(n);
}

// ---- parameter access ----------------------------------------------------------------------------

float TVSTModuleWithPrograms::GetParameter(int32_t Index) const {
  if (ProgramChunks()) {
    return OnGetChunkParameter ? OnGetChunkParameter(const_cast<TVSTModuleWithPrograms*>(this), Index)
                               : 0.0f;
  }
  if (FPrograms.Count() < 1) return FParameter.Get(Index);
  const TCustomVstProgram* Program = CurrentProgramObject();
  return Program != nullptr ? Program->Parameter(Index) : 0.0f;
}

void TVSTModuleWithPrograms::ApplyParameter(int32_t Index, float Value) {
  if (!ValidParameterIndex(Index))
    throw EArgumentError("Parameter index " + std::to_string(Index) + " out of range");
  TCustomVstParameterProperty& Property = FParameterProperties[Index];
  float v = Value;
  if (ProgramChunks()) {
    if (Property.OnParameterChange) Property.OnParameterChange(this, Index, v);
    if (OnParameterChange) OnParameterChange(this, Index, v);
  } else if (TCustomVstProgram* Program = FPrograms.Count() >= 1 ? CurrentProgramObject() : nullptr) {
    Program->SetParameter(Index, v);
    v = Program->Parameter(Index);
    if (Property.OnParameterChange) Property.OnParameterChange(this, Index, v);
    if (OnParameterChange) OnParameterChange(this, Index, v);
    Program->SetParameter(Index, v);
  } else {
    FParameter.Set(Index, v);
    if (Property.OnParameterChange) Property.OnParameterChange(this, Index, v);
    if (OnParameterChange) OnParameterChange(this, Index, v);
    FParameter.Set(Index, v);
  }
  SetEditorNeedUpdate(true);
}

void TVSTModuleWithPrograms::SetParameter(int32_t Index, float Value) {
  if (!ValidParameterIndex(Index)) return;
  ApplyParameter(Index, Value);
  const TCustomVstParameterProperty& Property = FParameterProperties[Index];
  if (Property.CanBeAutomated())
    CallAudioMaster(amAutomate, Index, 0, nullptr, Property.Parameter2VSTParameter(Value));
}

float TVSTModuleWithPrograms::GetVSTParameter(int32_t Index) const {
  if (!ValidParameterIndex(Index)) return 0.0f;
  return FParameterProperties[Index].Parameter2VSTParameter(GetParameter(Index));
}

void TVSTModuleWithPrograms::SetVSTParameter(int32_t Index, float Value) {
  if (!ValidParameterIndex(Index) || std::isnan(Value)) return;
  TCustomVstParameterProperty& Property = FParameterProperties[Index];
  ApplyParameter(Index, Property.VSTParameter2Parameter(Value));
  if (Property.CanBeAutomated()) CallAudioMaster(amAutomate, Index, 0, nullptr, Value);
}

void TVSTModuleWithPrograms::HostCallSetParameter(int32_t Index, float Value) {
  if (!ValidParameterIndex(Index)) {
    if (OnParameterSizeFailed) OnParameterSizeFailed(this);
    return;
  }
  // A value that is not a number has no place in the range: the parameter keeps its value.
  if (std::isnan(Value)) return;
  ApplyParameter(Index, FParameterProperties[Index].VSTParameter2Parameter(Value));
}

float TVSTModuleWithPrograms::HostCallGetParameter(int32_t Index) {
  return GetVSTParameter(Index);
}

std::string TVSTModuleWithPrograms::GetParameterName(int32_t Index) const {
  if (!ValidParameterIndex(Index)) return std::string();
  return FParameterProperties[Index].DisplayName();
}

std::string TVSTModuleWithPrograms::GetParameterLabel(int32_t Index) const {
  if (!ValidParameterIndex(Index)) return std::string();
  const TCustomVstParameterProperty& Property = FParameterProperties[Index];
  std::string Text = Property.Units();
  if (Property.OnCustomParameterLabel)
    Property.OnCustomParameterLabel(const_cast<TVSTModuleWithPrograms*>(this), Index, Text);
  return Text;
}

std::string TVSTModuleWithPrograms::GetParameterDisplay(int32_t Index) const {
  if (!ValidParameterIndex(Index)) return std::string();
  auto* Self = const_cast<TVSTModuleWithPrograms*>(this);
  try {
    std::string Text;
    if (ProgramChunks()) {
      const float Value = GetParameter(Index);
      if (!std::isfinite(Value)) return "error";
      Text = FloatToStrShortest(Value, DecimalSeparator());
    } else {
      if (FPrograms.Count() >= 1 && !(CurrentProgram() >= 0 && CurrentProgram() < FPrograms.Count()))
        return "error";
      const float Value = GetParameter(Index);
      if (!std::isfinite(Value)) return "error";
      Text = FloatToStrGeneral(RoundToDecimals(Value, 4), 4, DecimalSeparator());
    }
    const TCustomVstParameterProperty& Property = FParameterProperties[Index];
    if (Property.OnCustomParameterDisplay) Property.OnCustomParameterDisplay(Self, Index, Text);
    return Text;
  } catch (...) {
    return "error";
  }
}

std::string TVSTModuleWithPrograms::GetParameterString(int32_t Index) const {
  return GetParameterDisplay(Index) + " " + GetParameterLabel(Index);
}

float TVSTModuleWithPrograms::GetParameterByName(const std::string& Name) const {
  for (int32_t i = 0; i < FParameterProperties.Count(); ++i)
    if (FParameterProperties[i].DisplayName() == Name) return GetParameter(i);
  throw EArgumentError("Parameter \"" + Name + "\" not found");
}

void TVSTModuleWithPrograms::SetParameterByName(const std::string& Name, float Value) {
  for (int32_t i = 0; i < FParameterProperties.Count(); ++i)
    if (FParameterProperties[i].DisplayName() == Name) return SetParameter(i, Value);
  throw EArgumentError("Parameter \"" + Name + "\" not found");
}

bool TVSTModuleWithPrograms::StringToParameter(int32_t Index, const std::string& Text) {
  if (Index < 0 || Index >= numParams() || !ValidParameterIndex(Index))
    throw EArgumentError("Parameter index " + std::to_string(Index) + " out of range");
  TCustomVstParameterProperty& Property = FParameterProperties[Index];
  const bool Result =
      static_cast<bool>(Property.OnStringToParameter) || Property.UseDefaultString2ParameterHandler();
  float v = GetParameter(Index);
  if (Property.UseDefaultString2ParameterHandler()) {
    try {
      std::string s = Trimmed(Text);
      if (!Property.Units().empty()) {
        const size_t At = s.find(Property.Units());
        if (At != std::string::npos) s.erase(At, Property.Units().size());
      }
      const size_t Start = s.find_first_of("+,-.0123456789");
      if (Start != std::string::npos) {
        size_t End = Start + 1;
        while (End < s.size() && std::strchr(",.0123456789E", s[End]) != nullptr && s[End] != '\0')
          ++End;
        auto After = [&](char Letter) {
          const size_t At = s.find(Letter);
          return At != std::string::npos && At >= End;
        };
        double m = 1.0;
        if (After('k'))
          m = 1000.0;
        else if (After('K'))
          m = 1024.0;
        else if (After('G'))
          m = 1048576.0;
        else if (After('m'))
          m = 0.001;
        else if (After('\xB5'))
          m = 0.000001;
        else if (After('c'))
          m = 0.01;
        double Number = 0;
        if (TryStrToFloat(s.substr(Start, End - Start), DecimalSeparator(), Number))
          v = static_cast<float>(Number * m);
      }
    } catch (...) {
      v = GetParameter(Index);
    }
  }
  if (Property.OnStringToParameter) Property.OnStringToParameter(this, Index, Text, v);
  SetParameter(Index, v);
  return Result;
}

// ---- programs ------------------------------------------------------------------------------------

void TVSTModuleWithPrograms::SetCurrentProgram(int32_t Value) {
  const int32_t Count = FPrograms.Count();
  if (Count <= 0 || Value < 0 || Value >= Count || Value == CurrentProgram()) return;
  const int32_t Previous = CurrentProgram();
  if (OnBeforeProgramChange) OnBeforeProgramChange(this);
  FCurProgram.store(Value, std::memory_order_relaxed);
  if (OnAfterProgramChange) OnAfterProgramChange(this);
  if (Previous >= 0) CurrentProgramChanged();
}

void TVSTModuleWithPrograms::CurrentProgramChanged() {
  if (TCustomVstProgram* Program = CurrentProgramObject()) {
    try {
      for (int32_t i = 0; i < Program->ParameterCount(); ++i) ApplyParameter(i, Program->Parameter(i));
    } catch (...) {
    }
  }
  SetEditorNeedUpdate(true);
  CallAudioMaster(amUpdateDisplay);
}

std::string TVSTModuleWithPrograms::CurrentProgramName() const {
  const TCustomVstProgram* Program = CurrentProgramObject();
  return Program != nullptr ? Program->DisplayName() : std::string();
}

void TVSTModuleWithPrograms::SetCurrentProgramName(const std::string& Value) {
  if (TCustomVstProgram* Program = CurrentProgramObject()) {
    Program->SetDisplayName(Value);
    SetEditorNeedUpdate(true);
  }
  CallAudioMaster(amUpdateDisplay);
}

void TVSTModuleWithPrograms::SetProgramParameters(int32_t ProgramNumber,
                                                  const std::vector<float>& Values) {
  if (static_cast<int64_t>(Values.size()) > numParams())
    throw EArgumentError("More values than parameters");
  TCustomVstProgram& Program = FPrograms[ProgramNumber];
  for (size_t i = 0; i < Values.size(); ++i) Program.SetParameter(static_cast<int32_t>(i), Values[i]);
}

TCustomVstProgram& TVSTModuleWithPrograms::GetVstProgramByName(const std::string& Name) const {
  for (int32_t i = 0; i < FPrograms.Count(); ++i)
    if (FPrograms[i].DisplayName() == Name) return FPrograms[i];
  throw EArgumentError("Program \"" + Name + "\" not found");
}

void TVSTModuleWithPrograms::SetVstProgramByName(const std::string& Name,
                                                 const TCustomVstProgram& Program) {
  GetVstProgramByName(Name).Assign(Program);
}

// ---- parameter opcodes ---------------------------------------------------------------------------

intptr_t TVSTModuleWithPrograms::HostCallGetParamName(int32_t Index, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  const std::string Text = GetParameterName(Index);
  CopyTextToHost(ptr, TruncateStrings() ? CutBytes(Text, 8) : Text);
  return 0;
}

intptr_t TVSTModuleWithPrograms::HostCallGetParamLabel(int32_t Index, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  const std::string Text = GetParameterLabel(Index);
  CopyTextToHost(ptr, TruncateStrings() ? CutBytes(Text, 8) : Text);
  return 0;
}

intptr_t TVSTModuleWithPrograms::HostCallGetParamDisplay(int32_t Index, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  const std::string Text = GetParameterDisplay(Index);
  CopyTextToHost(ptr, TruncateStrings() ? CutBytes(Text, 8) : Text);
  return 0;
}

intptr_t TVSTModuleWithPrograms::HostCallCanBeAutomated(int32_t Index, intptr_t, void*, float) {
  if (Index < 0) return 0;
  if (Index >= FParameterProperties.Count()) return 1;
  return FParameterProperties[Index].CanBeAutomated() ? 1 : 0;
}

intptr_t TVSTModuleWithPrograms::HostCallString2Parameter(int32_t Index, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  return StringToParameter(Index, ReadHostText(ptr)) ? 1 : 0;
}

intptr_t TVSTModuleWithPrograms::HostCallGetParameterProperties(int32_t Index, intptr_t, void* ptr,
                                                                float) {
  if (!ValidParameterIndex(Index)) return 0;
  const TCustomVstParameterProperty& p = FParameterProperties[Index];
  if (!p.ReportVST2Properties()) return 0;
  if (ptr == nullptr) return 1;
  auto* Props = static_cast<TVstParameterProperties*>(ptr);
  std::memset(Props->label, 0, sizeof(Props->label));
  CopyTextToHost(Props->label, CutCharacters(p.DisplayName(), 64), sizeof(Props->label));
  std::memset(Props->shortLabel, 0, sizeof(Props->shortLabel));
  CopyTextToHost(Props->shortLabel, p.ShortLabel(), sizeof(Props->shortLabel));
  const TVstParameterPropertiesFlags f = p.Flags();
  Props->flags = f.Mask();
  std::memset(Props->future, 0, sizeof(Props->future));
  if (f.Contains(ppfParameterUsesIntegerMinMax)) {
    Props->minInteger = p.MinInteger();
    Props->maxInteger = p.MaxInteger();
  } else {
    Props->minInteger = 0;
    Props->maxInteger = 0;
  }
  if (f.Contains(ppfParameterUsesIntStep)) {
    Props->stepInteger = p.StepInteger();
    Props->largeStepInteger = p.LargeStepInteger();
  } else {
    Props->stepInteger = 1;
    Props->largeStepInteger = 2;
  }
  if (f.Contains(ppfParameterUsesFloatStep) && p.Curve() == ctLinear) {
    Props->stepFloat = p.Parameter2VSTParameter(p.StepFloat());
    Props->smallStepFloat = p.Parameter2VSTParameter(p.SmallStepFloat());
    Props->largeStepFloat = p.Parameter2VSTParameter(p.LargeStepFloat());
  } else {
    Props->stepFloat = 0.01f;
    Props->smallStepFloat = 0.002f;
    Props->largeStepFloat = 0.05f;
  }
  Props->displayIndex = f.Contains(ppfParameterSupportsDisplayIndex) ? static_cast<int16_t>(Index) : 0;
  if (f.Contains(ppfParameterSupportsDisplayCategory)) {
    std::memset(Props->categoryLabel, 0, sizeof(Props->categoryLabel));
    CopyTextToHost(Props->categoryLabel, p.Category(), sizeof(Props->categoryLabel));
    const int32_t Category = p.CategoryIndex();
    Props->category = static_cast<int16_t>(Category);
    Props->numParametersInCategory =
        Category >= 1 && Category <= FParameterCategories.Count()
            ? static_cast<int16_t>(FParameterCategories[Category - 1].ParametersInCategory())
            : 0;
  }
  return 1;
}

intptr_t TVSTModuleWithPrograms::HostCallVendorSpecific(int32_t Index, intptr_t Value, void* ptr,
                                                        float opt) {
  const intptr_t Result = TVSTModuleWithMidi::HostCallVendorSpecific(Index, Value, ptr, opt);
  if (!CanDos().Contains(vcdCockosExtension) || ptr == nullptr) return Result;
  if (Value < 0 || Value >= numParams() || Value >= FParameterProperties.Count()) return Result;
  const auto Parameter = static_cast<int32_t>(Value);
  if (Index == CCockosParameterDisplay) {
    const TCustomVstParameterProperty& Property = FParameterProperties[Parameter];
    std::string Text = std::isfinite(opt)
                           ? FloatToStrGeneral(RoundToDecimals(opt, 5), 5, DecimalSeparator())
                           : std::string("error");
    if (Property.OnCustomParameterDisplay) Property.OnCustomParameterDisplay(this, Parameter, Text);
    std::string Label = Property.Units();
    if (Property.OnCustomParameterLabel) Property.OnCustomParameterLabel(this, Parameter, Label);
    CopyTextToHost(ptr, Text + Label);
    return CCockosVendorAnswer;
  }
  if (Index == CCockosParameterRange) {
    const int32_t Zero = 0;
    const float One = 1.0f;
    std::memcpy(ptr, &Zero, 4);
    std::memcpy(static_cast<char*>(ptr) + 4, &One, 4);
    return CCockosVendorAnswer;
  }
  return Result;
}

intptr_t TVSTModuleWithPrograms::HostCallEditOpen(int32_t Index, intptr_t Value, void* ptr,
                                                  float opt) {
  const intptr_t Result = TVSTModuleWithMidi::HostCallEditOpen(Index, Value, ptr, opt);
  if (EditorForm() != nullptr && !ProgramChunks() && OnParameterChange) {
    const int32_t Count = std::min(numParams(), FParameterProperties.Count());
    for (int32_t i = 0; i < Count; ++i) {
      float v = GetParameter(i);
      OnParameterChange(this, i, v);
      if (TCustomVstProgram* Program = CurrentProgramObject())
        Program->SetParameter(i, v);
      else
        FParameter.Set(i, v);
    }
  }
  return Result;
}

// ---- program opcodes -----------------------------------------------------------------------------

intptr_t TVSTModuleWithPrograms::HostCallSetProgram(int32_t, intptr_t Value, void*, float) {
  if (Value >= 0 && Value < FPrograms.Count()) SetCurrentProgram(static_cast<int32_t>(Value));
  return 0;
}

intptr_t TVSTModuleWithPrograms::HostCallGetProgram(int32_t, intptr_t, void*, float) {
  return CurrentProgram();
}

intptr_t TVSTModuleWithPrograms::HostCallSetProgramName(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr || FPrograms.Count() <= 0) return 0;
  if (TCustomVstProgram* Program = CurrentProgramObject())
    Program->SetDisplayName(ReadHostText(ptr, 256));
  return 0;
}

intptr_t TVSTModuleWithPrograms::CopyProgramName(int32_t Program, void* ptr) const {
  std::string Name;
  if (Program >= 0 && Program < FPrograms.Count()) Name = FPrograms[Program].DisplayName();
  if (TruncateStrings()) Name = CutCharacters(Name, 24);
  // The host's buffer holds 24 bytes: at most 23 of text and the terminator.
  CopyTextToHost(ptr, Name, CProgramNameBuffer);
  return 1;
}

intptr_t TVSTModuleWithPrograms::HostCallGetProgramName(int32_t, intptr_t, void* ptr, float) {
  if (ptr == nullptr) return 0;
  CopyProgramName(FPrograms.Count() > 0 ? CurrentProgram() : -1, ptr);
  return 0;
}

intptr_t TVSTModuleWithPrograms::HostCallGetProgramNameIndexed(int32_t Index, intptr_t, void* ptr,
                                                               float) {
  if (ptr == nullptr || Index < 0 || Index >= FPrograms.Count()) return 0;
  return CopyProgramName(Index, ptr);
}

intptr_t TVSTModuleWithPrograms::HostCallBeginSetProgram(int32_t, intptr_t, void*, float) {
  if (!OnBeginSetProgram) return 0;
  OnBeginSetProgram(this);
  return 1;
}

intptr_t TVSTModuleWithPrograms::HostCallEndSetProgram(int32_t, intptr_t, void*, float) {
  if (!OnEndSetProgram) return 0;
  OnEndSetProgram(this);
  return 1;
}

intptr_t TVSTModuleWithPrograms::LoadBeginning(bool Bank, void* ptr) {
  if (ptr == nullptr) return 0;
  const auto* Info = static_cast<const TVstPatchChunkInfo*>(ptr);
  const bool Equal = std::memcmp(&Info->PluginUniqueID, &Record().UniqueID, 4) == 0;
  const TPatchChunkInfoEvent& Event = Bank ? OnBeginLoadBank : OnBeginLoadProgram;
  if (Event) Event(this, Info);
  return Equal ? 1 : -1;
}

intptr_t TVSTModuleWithPrograms::HostCallBeginLoadBank(int32_t, intptr_t, void* ptr, float) {
  return LoadBeginning(true, ptr);
}

intptr_t TVSTModuleWithPrograms::HostCallBeginLoadProgram(int32_t, intptr_t, void* ptr, float) {
  return LoadBeginning(false, ptr);
}

// ---- chunks --------------------------------------------------------------------------------------

intptr_t TVSTModuleWithPrograms::HostCallGetChunk(int32_t Index, intptr_t, void* ptr, float) {
  if (FPrograms.Count() <= 0 || ptr == nullptr) return 0;
  if (Index != 0) {
    TCustomVstProgram* Program = CurrentProgramObject();
    if (Program == nullptr || Program->Chunk() == nullptr) return 0;
    Program->Chunk()->SetPosition(0);
    if (Program->OnStoreChunk) Program->OnStoreChunk(Program, CurrentProgram(), true);
    *static_cast<void**>(ptr) = Program->Chunk()->Memory();
    return static_cast<intptr_t>(Program->Chunk()->Size());
  }
  for (int32_t p = 0; p < FPrograms.Count(); ++p)
    if (FPrograms[p].Chunk() == nullptr) return 0;
  FChunkData.Clear();
  for (int32_t p = 0; p < FPrograms.Count(); ++p) {
    TCustomVstProgram& Program = FPrograms[p];
    Program.Chunk()->SetPosition(0);
    if (Program.OnStoreChunk) Program.OnStoreChunk(&Program, p, false);
    const int64_t Size = Program.Chunk()->Size();
    AppendLittleEndian32(FChunkData, static_cast<uint32_t>(Size));
    if (Size > 0) FChunkData.WriteBuffer(Program.Chunk()->Memory(), Size);
  }
  *static_cast<void**>(ptr) = FChunkData.Memory();
  return static_cast<intptr_t>(FChunkData.Size());
}

intptr_t TVSTModuleWithPrograms::HostCallSetChunk(int32_t Index, intptr_t Value, void* ptr, float) {
  if (FPrograms.Count() <= 0 || ptr == nullptr || Value < 0) return 0;
  const auto* Data = static_cast<const uint8_t*>(ptr);
  const auto Size = static_cast<uint64_t>(Value);
  if (Index != 0) {
    TCustomVstProgram* Program = CurrentProgramObject();
    if (Program == nullptr || Program->Chunk() == nullptr) return 0;
    *Program->Chunk() = TMemoryStream(std::vector<uint8_t>(Data, Data + Size));
    if (Program->OnLoadChunk) Program->OnLoadChunk(Program, CurrentProgram(), true);
  } else {
    // The whole bank is checked first: data shorter than its counts changes nothing.
    uint64_t Position = 0;
    for (int32_t p = 0; p < FPrograms.Count(); ++p) {
      if (FPrograms[p].Chunk() == nullptr) return 0;
      if (Size - Position < 4) return 0;
      const uint64_t n = ReadLittleEndian32(Data + Position);
      Position += 4;
      if (n > Size - Position) return 0;
      Position += n;
    }
    Position = 0;
    for (int32_t p = 0; p < FPrograms.Count(); ++p) {
      TCustomVstProgram& Program = FPrograms[p];
      const uint64_t n = ReadLittleEndian32(Data + Position);
      Position += 4;
      *Program.Chunk() = TMemoryStream(std::vector<uint8_t>(Data + Position, Data + Position + n));
      if (Program.OnLoadChunk) Program.OnLoadChunk(&Program, p, false);
      Position += n;
    }
    if (TCustomVstProgram* Current = CurrentProgramObject())
      if (Current->OnLoadChunk) Current->OnLoadChunk(Current, CurrentProgram(), false);
  }
  SetEditorNeedUpdate(true);
  return Value;
}

}  // namespace kvx
