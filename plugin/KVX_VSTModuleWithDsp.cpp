#include "plugin/KVX_VSTModuleWithDsp.h"

#include <algorithm>

namespace kvx {

TDspVSTModule::TDspVSTModule() { AllocateScratch(); }

TDspVSTModule::~TDspVSTModule() = default;

void TDspVSTModule::SetOnProcess(TProcessAudio32Event Value) {
  if (Value == OnProcess()) return;
  FOnProcess.store(Value, std::memory_order_release);
  FOnProcessEx.store(Value, std::memory_order_release);
}

void TDspVSTModule::SetOnProcess32Replacing(TProcessAudio32Event Value) {
  if (Value == OnProcess32Replacing()) return;
  FOnProcess32Replacing.store(Value, std::memory_order_release);
  FOnProcess32ReplacingEx.store(Value, std::memory_order_release);
}

void TDspVSTModule::SetOnProcess64Replacing(TProcessAudio64Event Value) {
  if (Value == OnProcess64Replacing()) return;
  FOnProcess64Replacing.store(Value, std::memory_order_release);
  FOnProcess64ReplacingEx.store(Value, std::memory_order_release);
}

void TDspVSTModule::HostCallProcess32Replacing(float** Inputs, float** Outputs,
                                               int32_t SampleFrames) {
  if (TProcessAudio32Event Handler = FOnProcess32ReplacingEx.load(std::memory_order_acquire))
    Handler(this, Inputs, Outputs, static_cast<uint32_t>(SampleFrames));
  SendPendingMidiEvents();
}

void TDspVSTModule::HostCallProcess64Replacing(double** Inputs, double** Outputs,
                                               int32_t SampleFrames) {
  if (TProcessAudio64Event Handler = FOnProcess64ReplacingEx.load(std::memory_order_acquire))
    Handler(this, Inputs, Outputs, static_cast<uint32_t>(SampleFrames));
  SendPendingMidiEvents();
}

void TDspVSTModule::HostCallProcess(float** Inputs, float** Outputs, int32_t SampleFrames) {
  if (TProcessAudio32Event Handler = FOnProcessEx.load(std::memory_order_acquire)) {
    Handler(this, Inputs, Outputs, static_cast<uint32_t>(SampleFrames));
  } else if (TProcessAudio32Event Replacing =
                 FOnProcess32ReplacingEx.load(std::memory_order_acquire)) {
    // The replacing handler writes into scratch buffers whose samples are added to what the
    // host's outputs hold; a block longer than the scratch goes through in pieces.
    const int32_t Outputs_ = std::min<int32_t>(NumOutputs(), static_cast<int32_t>(FScratchOutputs.size()));
    const int32_t Inputs_ = std::min<int32_t>(NumInputs(), static_cast<int32_t>(FPieceInputs.size()));
    if (FScratchFrames > 0 && Outputs_ == NumOutputs() && Inputs_ == NumInputs()) {
      for (int32_t Done = 0; Done < SampleFrames;) {
        const int32_t Piece = std::min(FScratchFrames, SampleFrames - Done);
        for (int32_t c = 0; c < Inputs_; ++c) FPieceInputs[static_cast<size_t>(c)] = Inputs[c] + Done;
        std::fill(FScratch.begin(), FScratch.begin() + static_cast<ptrdiff_t>(Outputs_) * FScratchFrames, 0.0f);
        Replacing(this, FPieceInputs.data(), FScratchOutputs.data(), static_cast<uint32_t>(Piece));
        for (int32_t c = 0; c < Outputs_; ++c) {
          const float* Source = FScratchOutputs[static_cast<size_t>(c)];
          float* Dest = Outputs[c] + Done;
          for (int32_t i = 0; i < Piece; ++i) Dest[i] += Source[i];
        }
        Done += Piece;
      }
    }
  }
  SendPendingMidiEvents();
}

void TDspVSTModule::BlockSizeChanged() {
  AllocateScratch();
  TVSTModuleWithPrograms::BlockSizeChanged();
}

void TDspVSTModule::IOChanged() {
  TVSTModuleWithPrograms::IOChanged();
  AllocateScratch();
}

void TDspVSTModule::AllocateScratch() {
  const int32_t Frames = std::max<int32_t>(BlockSize(), 1);
  const int32_t Outputs = std::max<int32_t>(NumOutputs(), 0);
  const int32_t Inputs = std::max<int32_t>(NumInputs(), 0);
  std::vector<float> Scratch(static_cast<size_t>(Outputs) * static_cast<size_t>(Frames), 0.0f);
  std::vector<PKVXSingleFixedArray> ScratchOutputs(static_cast<size_t>(Outputs));
  for (int32_t c = 0; c < Outputs; ++c)
    ScratchOutputs[static_cast<size_t>(c)] = Scratch.data() + static_cast<size_t>(c) * Frames;
  std::vector<PKVXSingleFixedArray> PieceInputs(static_cast<size_t>(Inputs), nullptr);
  FScratch = std::move(Scratch);
  FScratchOutputs = std::move(ScratchOutputs);
  FPieceInputs = std::move(PieceInputs);
  FScratchFrames = Frames;
}

}  // namespace kvx
