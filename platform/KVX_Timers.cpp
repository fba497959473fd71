#include "platform/KVX_Timers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <vector>

namespace kvx {

namespace {

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TClockFunction GClock = SteadyMilliseconds;

// The timers alive; only the user-interface thread creates, changes and runs them.
std::vector<TTimer*>& Timers() {
  static std::vector<TTimer*> List;
  return List;
}

}  // namespace

void SetClock(TClockFunction Clock) { GClock = Clock ? Clock : SteadyMilliseconds; }

int64_t ClockMilliseconds() { return GClock(); }

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  Timers().push_back(this);
  Restart();
}

TTimer::~TTimer() {
  auto& L = Timers();
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Restart();
}

void TTimer::SetInterval(uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  Restart();
}

void TTimer::Restart() { FDue = ClockMilliseconds() + FInterval; }

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

void TTimer::ProcessTimers() {
  const int64_t Now = ClockMilliseconds();
  // A copy: a handler may create or free timers; a freed one is no longer in the list.
  const std::vector<TTimer*> Snapshot = Timers();
  for (TTimer* T : Snapshot) {
    const auto& L = Timers();
    if (std::find(L.begin(), L.end(), T) == L.end()) continue;
    if (!T->FEnabled || T->FInterval == 0 || Now < T->FDue) continue;
    T->FDue = Now + T->FInterval;
    try {
      T->Timer();
    } catch (const std::exception& E) {
      std::fprintf(stderr, "kvx: error in a timer handler: %s\n", E.what());
    } catch (...) {
      std::fprintf(stderr, "kvx: unknown error in a timer handler\n");
    }
  }
}

}  // namespace kvx
