// Timers against one monotonic clock of the layer. The clock can be replaced (tests drive a
// fake one); timers are checked at every pump of a form, never from another thread.
#pragma once

#include <cstdint>

#include "platform/KVX_Classes.h"

namespace kvx {

// Milliseconds of a monotonic clock.
using TClockFunction = int64_t (*)();
// Null restores the system's monotonic clock.
void SetClock(TClockFunction Clock);
int64_t ClockMilliseconds();

// A timer fires OnTimer at most once per pump when Interval milliseconds have passed since it
// was enabled or last fired. A late pump does not fire it several times.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner = nullptr);
  ~TTimer() override;
  std::string ClassName() const override { return "TTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Milliseconds; 0 stops the timer from firing.
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t Value);

  TNotifyEvent OnTimer;

  // Fires every due timer. The forms call this at each pump; errors of a handler are caught
  // and reported.
  static void ProcessTimers();

 protected:
  virtual void Timer();

 private:
  void Restart();
  bool FEnabled = true;
  uint32_t FInterval = 1000;
  int64_t FDue = 0;
};

}  // namespace kvx
