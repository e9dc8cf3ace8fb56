// Frame pacing on a millisecond clock.
#include "display/backend/pacer.h"

#include <chrono>
#include <thread>

namespace tarvex {

int64_t systemclock::now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void systemclock::sleep(int64_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

pacer::pacer(int hertz, pacingclock& clock) : _clock(&clock) {
  if (hertz <= 0) return;
  _rate = hertz;
  _period = 1000 / hertz;
  _fraction = 1000 - _period * hertz;
  _target = _clock->now();
}

void pacer::wait() {
  if (!on()) return;
  _target += _period;
  // The milliseconds a whole period leaves over each second are paid out one at a time, so
  // `rate` frames take exactly one second.
  _accumulator += _fraction;
  if (_accumulator >= _rate) {
    _accumulator -= _rate;
    _target += 1;
  }
  int64_t due = _target - _clock->now();
  if (due > 0)
    _clock->sleep(due);
  else
    _target -= due; // late: the next frame counts from now instead of catching up
}

} // namespace tarvex
