// A pacing clock that moves only when slept on or pushed by the test, and keeps each sleep.
#pragma once
#include <cstdint>
#include <vector>

#include "app/pacer.h"

namespace tarvex::testing {

struct scriptedclock final : pacingclock {
  int64_t time = 5000;
  std::vector<int64_t> sleeps;
  int64_t now() override { return time; }
  void sleep(int64_t ms) override { sleeps.push_back(ms), time += ms; }
};

} // namespace tarvex::testing
