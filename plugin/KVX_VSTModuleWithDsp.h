// The module layer of processing: the process handlers (the published ones and the handlers in
// force, which the audio thread reads once per call and another thread may swap with one atomic
// store), the accumulating path with its scratch buffers, and the processing mode.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugin/KVX_VSTModuleWithPrograms.h"

namespace kvx {

class TDspVSTModule;

using PKVXSingleFixedArray = float*;
using PKVXDoubleFixedArray = double*;

// A process handler: the object part is always the module itself, so a handler is one code word.
// Inputs and outputs are arrays of channel pointers with a buffer for every declared channel.
using TProcessAudio32Event = void (*)(TDspVSTModule* Sender, const PKVXSingleFixedArray* Inputs,
                                      const PKVXSingleFixedArray* Outputs, uint32_t SampleFrames);
using TProcessAudio64Event = void (*)(TDspVSTModule* Sender, const PKVXDoubleFixedArray* Inputs,
                                      const PKVXDoubleFixedArray* Outputs, uint32_t SampleFrames);

namespace detail {
template <typename TMethod>
struct TMethodClass;
template <typename TClass, typename TResult, typename... TArgs>
struct TMethodClass<TResult (TClass::*)(TArgs...)> {
  using Type = TClass;
};
}  // namespace detail

// The handler that calls Method of the module's own class:
//   SetOnProcess32Replacing(ProcessHandler32<&TProcessModule::VSTModuleProcess32Replacing>());
// Method takes (const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs,
// uint32_t SampleFrames).
template <auto Method>
constexpr TProcessAudio32Event ProcessHandler32() {
  using TClass = typename detail::TMethodClass<decltype(Method)>::Type;
  return [](TDspVSTModule* Sender, const PKVXSingleFixedArray* Inputs,
            const PKVXSingleFixedArray* Outputs, uint32_t SampleFrames) {
    (static_cast<TClass*>(Sender)->*Method)(Inputs, Outputs, SampleFrames);
  };
}

template <auto Method>
constexpr TProcessAudio64Event ProcessHandler64() {
  using TClass = typename detail::TMethodClass<decltype(Method)>::Type;
  return [](TDspVSTModule* Sender, const PKVXDoubleFixedArray* Inputs,
            const PKVXDoubleFixedArray* Outputs, uint32_t SampleFrames) {
    (static_cast<TClass*>(Sender)->*Method)(Inputs, Outputs, SampleFrames);
  };
}

// Only pmNormal is provided: the handler in force is the published handler.
enum TProcessingMode : uint8_t { pmNormal, pmBlockSave, pmCopy, pmMute, pmDspQueue };

class TDspVSTModule : public TVSTModuleWithPrograms {
 public:
  TDspVSTModule();
  ~TDspVSTModule() override;

  TProcessingMode ProcessingMode() const { return pmNormal; }
  int32_t BlockModeSize() const { return FBlockModeSize; }
  int32_t BlockModeOverlap() const { return FBlockModeOverlap; }

  // The published handlers. Setting one that differs makes it the handler in force at once;
  // the next process call of that kind uses it. Callable from any thread.
  TProcessAudio32Event OnProcess() const { return FOnProcess.load(std::memory_order_acquire); }
  void SetOnProcess(TProcessAudio32Event Value);
  TProcessAudio32Event OnProcess32Replacing() const {
    return FOnProcess32Replacing.load(std::memory_order_acquire);
  }
  void SetOnProcess32Replacing(TProcessAudio32Event Value);
  TProcessAudio64Event OnProcess64Replacing() const {
    return FOnProcess64Replacing.load(std::memory_order_acquire);
  }
  void SetOnProcess64Replacing(TProcessAudio64Event Value);

  void HostCallProcess(float** Inputs, float** Outputs, int32_t SampleFrames) override;
  void HostCallProcess32Replacing(float** Inputs, float** Outputs, int32_t SampleFrames) override;
  void HostCallProcess64Replacing(double** Inputs, double** Outputs, int32_t SampleFrames) override;

  // Samples per scratch buffer of the accumulating path (the announced block size).
  int32_t ScratchFrames() const { return FScratchFrames; }

 protected:
  void BlockSizeChanged() override;
  void IOChanged() override;

 private:
  // Sizes the accumulating path's buffers for the block size and channel counts; on the
  // announcing thread, never during a process call.
  void AllocateScratch();

  std::atomic<TProcessAudio32Event> FOnProcess{nullptr};
  std::atomic<TProcessAudio32Event> FOnProcess32Replacing{nullptr};
  std::atomic<TProcessAudio64Event> FOnProcess64Replacing{nullptr};
  // The handlers in force.
  std::atomic<TProcessAudio32Event> FOnProcessEx{nullptr};
  std::atomic<TProcessAudio32Event> FOnProcess32ReplacingEx{nullptr};
  std::atomic<TProcessAudio64Event> FOnProcess64ReplacingEx{nullptr};

  int32_t FBlockModeSize = 1024;
  int32_t FBlockModeOverlap = 0;

  int32_t FScratchFrames = 0;
  std::vector<float> FScratch;                  // numOutputs x FScratchFrames
  std::vector<PKVXSingleFixedArray> FScratchOutputs;
  std::vector<PKVXSingleFixedArray> FPieceInputs;
};

}  // namespace kvx
