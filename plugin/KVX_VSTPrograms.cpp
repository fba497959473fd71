#include "plugin/KVX_VSTPrograms.h"

#include "plugin/KVX_VSTModuleWithPrograms.h"

namespace kvx {

TCustomVstProgram::TCustomVstProgram(TCustomVstPrograms* Collection, int32_t Index)
    : FCollection(Collection),
      FIndex(Index),
      FVSTModule(Collection != nullptr ? Collection->VSTModule() : nullptr) {
  if (FVSTModule != nullptr && FVSTModule->Flags().Contains(effFlagsProgramChunks))
    FChunkData = std::make_unique<TMemoryStream>();
  else if (FVSTModule != nullptr)
    FParameter.Resize(FVSTModule->ParameterProperties().Count());
}

void TCustomVstProgram::SetDisplayName(const std::string& Value) {
  FDisplayName = CutCharacters(Value, 50);
}

float TCustomVstProgram::Parameter(int32_t Index) const { return FParameter.Get(Index); }

void TCustomVstProgram::SetParameter(int32_t Index, float Value) {
  if (FVSTModule != nullptr) {
    if (FVSTModule->Flags().Contains(effFlagsProgramChunks)) return;
    if (Index < 0 || Index >= FVSTModule->Record().numParams) return;
  }
  FParameter.Set(Index, Value);
}

void TCustomVstProgram::SetParameters(const float* Values, int32_t HighestIndex) {
  if (HighestIndex < 0) return;
  if (HighestIndex + 1 > ParameterCount())
    throw EArgumentError("Program " + std::to_string(FIndex) + " has no parameter " +
                         std::to_string(HighestIndex));
  for (int32_t i = 0; i <= HighestIndex; ++i) SetParameter(i, Values[i]);
}

void TCustomVstProgram::CopyParameters(int32_t ProgramNumber) {
  const TCustomVstProgram& Source = (*FCollection)[ProgramNumber];
  std::vector<float> Values(static_cast<size_t>(Source.ParameterCount()));
  for (int32_t i = 0; i < Source.ParameterCount(); ++i) Values[static_cast<size_t>(i)] = Source.Parameter(i);
  SetParameters(Values.data(), Source.ParameterCount() - 1);
}

void TCustomVstProgram::Assign(const TCustomVstProgram& Source) {
  if (&Source == this) return;
  FParameter = Source.FParameter;
  if (Source.FChunkData) {
    if (!FChunkData) FChunkData = std::make_unique<TMemoryStream>();
    *FChunkData = *Source.FChunkData;
  } else {
    FChunkData.reset();
  }
  OnInitialize = Source.OnInitialize;
  OnStoreChunk = Source.OnStoreChunk;
  OnLoadChunk = Source.OnLoadChunk;
  FDisplayName = Source.FDisplayName;
}

TCustomVstProgram* TCustomVstPrograms::Items(int32_t Index) const {
  KVX_ASSERT(Index >= 0 && Index < Count(), "KVX_VSTPrograms");
  return FItems[static_cast<size_t>(Index)].get();
}

TCustomVstProgram* TCustomVstPrograms::Add() {
  FItems.push_back(std::make_unique<TCustomVstProgram>(this, Count()));
  TCustomVstProgram* Program = FItems.back().get();
  if (FVSTModule != nullptr) FVSTModule->ProgramCountChanged();
  return Program;
}

void TCustomVstPrograms::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  FItems.erase(FItems.begin() + Index);
  for (int32_t i = Index; i < Count(); ++i) FItems[static_cast<size_t>(i)]->FIndex = i;
  if (FVSTModule != nullptr) FVSTModule->ProgramCountChanged();
}

void TCustomVstPrograms::Clear() {
  FItems.clear();
  if (FVSTModule != nullptr) FVSTModule->ProgramCountChanged();
}

}  // namespace kvx
