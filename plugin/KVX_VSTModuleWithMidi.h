// The module layer of MIDI events: the host's incoming event list and the outgoing events sent
// to the host after a process call. The events themselves are opaque here: this layer passes
// lists through; the event records are the affair of a module that receives or sends MIDI.
#pragma once

#include <atomic>
#include <functional>

#include "plugin/KVX_VSTCustomModule.h"

namespace kvx {

using TProcessEventsEvent = std::function<void(TBasicVSTModule* Sender, void* Events)>;

class TVSTModuleWithMidi : public TCustomVSTModule {
 public:
  // Room of the outgoing list, in events.
  static constexpr int32_t CMaxMidiEventsOut = 1024;

  TVSTModuleWithMidi() = default;

  intptr_t HostCallProcessEvents(int32_t Index, intptr_t Value, void* ptr, float opt) override;

  int32_t MidiEventsOutPending() const { return FMidiEventsOutPending.load(std::memory_order_relaxed); }

  // The host's event list of effProcessEvents, as passed.
  TProcessEventsEvent OnProcessEvents;

 protected:
  // Hands the outgoing list to the host (amProcessEvents) when events are pending. Called after
  // every process call; allocates nothing.
  void SendPendingMidiEvents();
  // Queues a host event list of Count events (laid out by the sender, who keeps it alive until
  // the next process call has handed it on).
  void PostMidiEventsOut(void* Events, int32_t Count) {
    FMidiEventsOut.store(Events, std::memory_order_relaxed);
    FMidiEventsOutPending.store(Count, std::memory_order_release);
  }

 private:
  std::atomic<void*> FMidiEventsOut{nullptr};
  std::atomic<int32_t> FMidiEventsOutPending{0};
};

}  // namespace kvx
