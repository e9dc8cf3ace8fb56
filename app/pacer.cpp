// Frame pacing on a millisecond clock.
#include "app/pacer.h"

#include <cerrno>
#include <ctime>

namespace tarvex {

int64_t systemclock::now() {
  timespec at{};
  clock_gettime(CLOCK_MONOTONIC, &at);
  return int64_t{at.tv_sec} * 1000 + at.tv_nsec / 1000000;
}

void systemclock::sleep(int64_t milliseconds) {
  // An absolute deadline on the monotonic clock: an interrupted sleep resumes toward the same
  // point instead of starting over, so pauses do not drift.
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_nsec += (milliseconds % 1000) * 1000000L;
  until.tv_sec += milliseconds / 1000 + until.tv_nsec / 1000000000L;
  until.tv_nsec %= 1000000000L;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
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
