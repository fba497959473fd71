#include "plugin/KVX_VSTModuleWithMidi.h"

namespace kvx {

intptr_t TVSTModuleWithMidi::HostCallProcessEvents(int32_t, intptr_t, void* ptr, float) {
  if (ptr != nullptr && OnProcessEvents) OnProcessEvents(this, ptr);
  return 1;
}

void TVSTModuleWithMidi::SendPendingMidiEvents() {
  if (FMidiEventsOutPending.load(std::memory_order_acquire) <= 0) return;
  CallAudioMaster(amProcessEvents, 0, 0, FMidiEventsOut.load(std::memory_order_relaxed), 0.0f);
  FMidiEventsOutPending.store(0, std::memory_order_relaxed);
}

}  // namespace kvx
