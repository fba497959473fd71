// Programs: named sets of parameter values (or, for modules that declare program chunks, a chunk
// of bytes each) and the module's collection of them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_Streams.h"
#include "plugin/KVX_VSTParameters.h"

namespace kvx {

class TCustomVstProgram;
class TCustomVstPrograms;

using TProgramNotifyEvent = std::function<void(TCustomVstProgram* Sender)>;
using TChunkEvent =
    std::function<void(TCustomVstProgram* Sender, const int32_t Index, const bool isPreset)>;

class TCustomVstProgram {
 public:
  // Holds a value array, or a chunk stream when the module declares program chunks now.
  TCustomVstProgram(TCustomVstPrograms* Collection, int32_t Index);

  TCustomVstPrograms* Collection() const { return FCollection; }
  int32_t Index() const { return FIndex; }
  TVSTModuleWithPrograms* VSTModule() const { return FVSTModule; }

  const std::string& DisplayName() const { return FDisplayName; }
  // Keeps the first 50 characters.
  void SetDisplayName(const std::string& Value);

  // Value i in parameter units, without running any handler; ignored (0) for an index outside
  // 0..numParams - 1 and for chunk programs.
  float Parameter(int32_t Index) const;
  void SetParameter(int32_t Index, float Value);
  int32_t ParameterCount() const { return FParameter.Count(); }
  void SetParameterCount(int32_t Count) { FParameter.Resize(Count); }
  // Stores values 0..HighestIndex; HighestIndex -1 does nothing, one past ParameterCount raises.
  void SetParameters(const float* Values, int32_t HighestIndex);
  void CopyParameters(int32_t ProgramNumber);
  // Copies values, chunk bytes with read position, events and name.
  void Assign(const TCustomVstProgram& Source);

  // The chunk of a chunk program, else null.
  TMemoryStream* Chunk() const { return FChunkData.get(); }

  TProgramNotifyEvent OnInitialize;
  TChunkEvent OnStoreChunk;
  TChunkEvent OnLoadChunk;

 private:
  friend class TCustomVstPrograms;
  TCustomVstPrograms* FCollection;
  int32_t FIndex;
  std::string FDisplayName = "Init";
  TVSTModuleWithPrograms* FVSTModule;
  TParameterValueArray FParameter;
  std::unique_ptr<TMemoryStream> FChunkData;
};

class TCustomVstPrograms {
 public:
  explicit TCustomVstPrograms(TVSTModuleWithPrograms* Module) : FVSTModule(Module) {}
  TVSTModuleWithPrograms* VSTModule() const { return FVSTModule; }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TCustomVstProgram* Items(int32_t Index) const;
  TCustomVstProgram& operator[](int32_t Index) const { return *Items(Index); }
  // Appends a program named "Init"; a module without a current program switches to program 0.
  TCustomVstProgram* Add();
  void Delete(int32_t Index);
  void Clear();

 private:
  TVSTModuleWithPrograms* FVSTModule;
  std::vector<std::unique_ptr<TCustomVstProgram>> FItems;
};

}  // namespace kvx
