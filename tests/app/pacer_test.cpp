// Frame pacing on a scripted clock.
#include "app/pacer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/clock.h"

namespace tarvex {
namespace {

TEST(pacer, each_frame_sleeps_only_for_what_is_left_of_its_period_and_lateness_is_not_made_up) {
  testing::scriptedclock clock;
  pacer p(60, clock);
  // Milliseconds of work before each frame. Frame 4 is due just then and frames 5 and 7 are
  // late: none of them sleeps, and the next is a whole period after them, not less. 60 Hz pays
  // 40/60 ms a frame on top of 16, so frames 2, 3, 5, 6 and 8 last 17 ms.
  for (int64_t work : {0, 0, 5, 16, 37, 0, 500, 0}) {
    clock.time += work;
    p.wait();
  }
  EXPECT_EQ(clock.sleeps, (std::vector<int64_t>{16, 17, 12, 17, 17}));
  int64_t start = clock.time;
  for (int frame = 0; frame < 60; ++frame)
    p.wait();
  EXPECT_EQ(clock.time - start, 1000) << "sixty frames";
}

} // namespace
} // namespace tarvex
