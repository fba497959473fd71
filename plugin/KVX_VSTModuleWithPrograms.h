// The module layer of parameters and programs: the single road by which a parameter value
// changes (host, editor, effect, host text), the parameter texts, the programs with the current
// program whose values are the live parameter values, and the program and bank chunks.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/KVX_Streams.h"
#include "plugin/KVX_VSTModuleWithMidi.h"
#include "plugin/KVX_VSTParameters.h"
#include "plugin/KVX_VSTPrograms.h"

namespace kvx {

using TGetChunkParameterEvent = std::function<float(TBasicVSTModule* Sender, int32_t Index)>;
using TPatchChunkInfoEvent =
    std::function<void(TBasicVSTModule* Sender, const TVstPatchChunkInfo* PatchChunkInfo)>;

class TVSTModuleWithPrograms : public TVSTModuleWithMidi {
 public:
  TVSTModuleWithPrograms();
  ~TVSTModuleWithPrograms() override;

  TCustomVstParameterProperties& ParameterProperties() { return FParameterProperties; }
  const TCustomVstParameterProperties& ParameterProperties() const { return FParameterProperties; }
  TCustomVstParameterCategories& ParameterCategories() { return FParameterCategories; }
  TCustomVstPrograms& Programs() { return FPrograms; }
  const TCustomVstPrograms& Programs() const { return FPrograms; }
  int32_t numPrograms() const { return FPrograms.Count(); }
  int32_t numParams() const { return Record().numParams; }

  // ---- parameter access (parameter units unless named VST) ----
  bool ValidParameterIndex(int32_t Index) const {
    return Index >= 0 && Index < FParameterProperties.Count();
  }
  float GetParameter(int32_t Index) const;
  // Stores, runs the handlers and tells the host (amAutomate) when the parameter can be
  // automated. The road of the editor and of the effect itself.
  void SetParameter(int32_t Index, float Value);
  // Stores and runs the property's handler and then the module's; raises EArgumentError for an
  // invalid index.
  virtual void ApplyParameter(int32_t Index, float Value);
  float GetVSTParameter(int32_t Index) const;
  // Host units; a value that is not a number changes nothing.
  void SetVSTParameter(int32_t Index, float Value);
  std::string GetParameterName(int32_t Index) const;
  std::string GetParameterLabel(int32_t Index) const;
  std::string GetParameterDisplay(int32_t Index) const;
  std::string GetParameterString(int32_t Index) const;
  float GetParameterByName(const std::string& Name) const;
  void SetParameterByName(const std::string& Name, float Value);
  bool StringToParameter(int32_t Index, const std::string& Text);

  // ---- programs ----
  int32_t CurrentProgram() const { return FCurProgram.load(std::memory_order_relaxed); }
  void SetCurrentProgram(int32_t Value);
  std::string CurrentProgramName() const;
  void SetCurrentProgramName(const std::string& Value);
  void SetProgramParameters(int32_t ProgramNumber, const std::vector<float>& Values);
  TCustomVstProgram& GetVstProgramByName(const std::string& Name) const;
  void SetVstProgramByName(const std::string& Name, const TCustomVstProgram& Program);
  // The bank chunk last handed to the host; valid until the next effGetChunk or effClose.
  const TMemoryStream& BankChunk() const { return FChunkData; }

  // Called by the collections when their counts change.
  void ParameterCountChanged();
  void ProgramCountChanged();

  // ---- handlers of this layer ----
  intptr_t HostCallSetProgram(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetProgram(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetProgramName(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetProgramName(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetParamLabel(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetParamDisplay(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetParamName(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEditOpen(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetChunk(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallSetChunk(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallCanBeAutomated(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallString2Parameter(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetProgramNameIndexed(int32_t Index, intptr_t Value, void* ptr,
                                         float opt) override;
  intptr_t HostCallVendorSpecific(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallGetParameterProperties(int32_t Index, intptr_t Value, void* ptr,
                                          float opt) override;
  intptr_t HostCallBeginSetProgram(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallEndSetProgram(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallBeginLoadBank(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  intptr_t HostCallBeginLoadProgram(int32_t Index, intptr_t Value, void* ptr, float opt) override;
  void HostCallSetParameter(int32_t Index, float Value) override;
  float HostCallGetParameter(int32_t Index) override;

  // ---- events ----
  // Runs after the property's own handler for every parameter.
  TParameterChangeEvent OnParameterChange;
  TVSTNotifyEvent OnParameterSizeFailed;
  TGetChunkParameterEvent OnGetChunkParameter;
  TVSTNotifyEvent OnBeforeProgramChange;
  TVSTNotifyEvent OnAfterProgramChange;
  TVSTNotifyEvent OnBeginSetProgram;
  TVSTNotifyEvent OnEndSetProgram;
  TPatchChunkInfoEvent OnBeginLoadBank;
  TPatchChunkInfoEvent OnBeginLoadProgram;

 protected:
  // Re-applies the new current program's values through every handler and asks the host to
  // update its display.
  virtual void CurrentProgramChanged();
  bool ProgramChunks() const { return Flags().Contains(effFlagsProgramChunks); }
  // The current program, or null.
  TCustomVstProgram* CurrentProgramObject() const;

 private:
  intptr_t LoadBeginning(bool Bank, void* ptr);
  intptr_t CopyProgramName(int32_t Program, void* ptr) const;

  TCustomVstParameterProperties FParameterProperties{this};
  TCustomVstParameterCategories FParameterCategories{this};
  TCustomVstPrograms FPrograms{this};
  TParameterValueArray FParameter;
  std::atomic<int32_t> FCurProgram{-1};
  TMemoryStream FChunkData;
};

}  // namespace kvx
