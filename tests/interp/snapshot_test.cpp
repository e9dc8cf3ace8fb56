// A snapshot restored into a second machine goes on exactly as the machine it was taken from:
// the same pointers, writes, grid and counts after every later tick, the sweep included.
#include "interp/snapshot.h"

#include <gtest/gtest.h>

#include "interp/tick.h"
#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

std::string counted(const machine& m) {
  return everything(m) + " " + std::to_string(m.tick) + " " + std::to_string(m.steps) + " " +
         std::to_string(m.spawned) + " " + std::to_string(m.peak);
}

TEST(snapshot, a_restored_state_runs_on_as_the_original) {
  // Splits, mirrors that flip, exchanges, pointers that meet and sweep each other, a halt.
  const std::string programs[] = {
      "%+++#++/\n    +  +\n    #~+\\\n    ++)(\n",
      "%>>v  u\n ^ #<n\n %/ \\(\n  \\ /@\n",
  };
  for (const std::string& program : programs)
    for (int at = 0; at < 12; ++at) {
      rig original, copy;
      original.load(program);
      for (int t = 0; t < at && standing(original.m).state == tickstate::going; ++t)
        endtick(original.m, steppass(original.m));
      restore(copy.m, capture(original.m));
      for (int t = 0; t < 20; ++t) {
        ASSERT_EQ(counted(copy.m), counted(original.m)) << program << at << " +" << t;
        tickoutcome a = steppass(original.m), b = steppass(copy.m);
        ASSERT_EQ(a.state, b.state);
        endtick(original.m, a), endtick(copy.m, b);
      }
      EXPECT_EQ(copy.output(), "") << "the console is the host's, not the snapshot's";
    }
}

} // namespace
