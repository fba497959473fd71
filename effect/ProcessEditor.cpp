#include "effect/ProcessEditor.h"

namespace kvx {

namespace {

using TUpdateOperation = void (TProcessEditorView::*)();

// By parameter index: Drive, Tone, Level, Bypass, Stereo, Symmetric, Oversampling, Mode, Input,
// Output.
constexpr TUpdateOperation CUpdates[TProcessEditorLink::CParameterCount] = {
    &TProcessEditorView::UpdateDrive,     &TProcessEditorView::UpdateTone,
    &TProcessEditorView::UpdateLevel,     &TProcessEditorView::UpdateLED,
    &TProcessEditorView::UpdateStereoMono, &TProcessEditorView::UpdateSymmetric,
    &TProcessEditorView::UpdateOversampling, &TProcessEditorView::UpdateMode,
    &TProcessEditorView::UpdateInput,     &TProcessEditorView::UpdateOutput,
};

}  // namespace

TProcessEditorLink::~TProcessEditorLink() {
  if (TProcessEditorView* View = FView.load(std::memory_order_acquire)) View->FLink = nullptr;
}

void TProcessEditorLink::Attach(TProcessEditorView* View) noexcept {
  if (TProcessEditorView* Old = FView.load(std::memory_order_acquire); Old != nullptr && Old != View)
    Old->FLink = nullptr;
  if (View != nullptr) View->FLink = this;
  // The thread is published before the view, so a thread that sees the view sees its thread.
  FThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  FMarked.store(0, std::memory_order_relaxed);
  FView.store(View, std::memory_order_release);
}

void TProcessEditorLink::Detach(TProcessEditorView* View) noexcept {
  if (View == nullptr || FView.load(std::memory_order_acquire) != View) return;
  View->FLink = nullptr;
  FView.store(nullptr, std::memory_order_release);
  FThread.store(std::thread::id(), std::memory_order_relaxed);
  FMarked.store(0, std::memory_order_release);
}

bool TProcessEditorLink::OnEditorThread() const noexcept {
  // Only the editor's thread attaches and detaches, so for that thread the pair is stable; any
  // other thread may see a stale pair but never its own id in it.
  return FView.load(std::memory_order_acquire) != nullptr &&
         FThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void TProcessEditorLink::Run(TProcessEditorView& View, int32_t Index) { (View.*CUpdates[Index])(); }

void TProcessEditorLink::Update(int32_t Index) {
  if (Index < 0 || Index >= CParameterCount) return;
  const uint32_t Bit = 1u << Index;
  if (OnEditorThread()) {
    // The view reads the value now: an older mark of the same parameter has nothing left to do.
    FMarked.fetch_and(~Bit, std::memory_order_relaxed);
    Run(*FView.load(std::memory_order_relaxed), Index);
    return;
  }
  // Release: the editor's thread that takes the mark also sees the value stored before it.
  if (Attached()) FMarked.fetch_or(Bit, std::memory_order_release);
}

int32_t TProcessEditorLink::ApplyMarked() {
  if (!OnEditorThread()) return 0;
  const uint32_t Marks = FMarked.exchange(0, std::memory_order_acquire) & CAllMarks;
  int32_t Count = 0;
  for (int32_t i = 0; i < CParameterCount; ++i) {
    if ((Marks & (1u << i)) == 0) continue;
    // An update may close the window (a handler that reaches the host): stop then.
    TProcessEditorView* View = FView.load(std::memory_order_relaxed);
    if (View == nullptr) break;
    Run(*View, i);
    ++Count;
  }
  return Count;
}

}  // namespace kvx
