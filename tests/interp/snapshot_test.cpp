// Snapshots: a copy shares the grid of the copy before only while nothing changed it.
#include "interp/snapshot.h"

#include <gtest/gtest.h>

#include "tests/support/rig.h"

namespace tarvex {
namespace {

// Tick 1 flips the mirror ("/" becomes "\"), tick 2 lengthens line 1 (a pointer runs past its
// end) and tick 3 changes nothing; each copy shows its own tick's grid.
TEST(snapshot, a_copy_shows_its_own_grid_across_ticks_that_write) {
  testing::rig r;
  r.load("%/\n%\n");
  std::vector<snapshot> copies{takesnapshot(r.m, nullptr)};
  for (int tick = 1; tick <= 3; ++tick) {
    r.run(1);
    copies.push_back(takesnapshot(r.m, &copies.back()));
  }
  EXPECT_TRUE(copies[1].ownsgrid && copies[2].ownsgrid && !copies[3].ownsgrid);
  const char* lines[][2] = {{"%/ ", "% "}, {"%\\ ", "% "}, {"%\\ ", "%   "}, {"%\\ ", "%   "}};
  for (size_t t = 0; t < copies.size(); ++t) {
    testing::rig shown;
    restoresnapshot(shown.m, copies[t]);
    EXPECT_EQ(shown.line(0), lines[t][0]) << "tick " << t;
    EXPECT_EQ(shown.line(1), lines[t][1]) << "tick " << t;
  }
}

} // namespace
} // namespace tarvex
