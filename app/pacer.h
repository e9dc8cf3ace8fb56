// Frame pacing: spaces presented frames at a rate in whole milliseconds, carrying the
// leftover fraction in an accumulator, and never makes up for a frame that came late.
#pragma once
#include <cstdint>

namespace tarvex {

// The millisecond clock and the sleep that pacing and the pause between ticks run on; tests
// give their own.
class pacingclock {
public:
  virtual ~pacingclock() = default;
  virtual int64_t now() = 0;
  virtual void sleep(int64_t milliseconds) = 0;
};

// The process's monotonic clock and the thread sleep.
class systemclock final : public pacingclock {
public:
  int64_t now() override;
  void sleep(int64_t milliseconds) override;
};

class pacer {
public:
  // hertz 0 or less turns pacing off. For 60: period 16, fraction 40.
  pacer(int hertz, pacingclock& clock);

  // Returns when the next frame is due: sleeps until the target time, or, when that has
  // passed already, starts counting again from now.
  void wait();

  bool on() const { return _rate > 0; }

private:
  pacingclock* _clock;
  int _rate = 0;
  int _period = 0;
  int _fraction = 0;
  int _accumulator = 0;
  int64_t _target = 0;
};

} // namespace tarvex
