// The built program starts, greets and ends.
#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex::testing;

TEST(program, starts_and_prints_the_first_status_line) {
  outcome r = run({.program = TARVEX_BIN});
  EXPECT_EQ(r.out.substr(0, 21), "Executing program..\r\n");
}
