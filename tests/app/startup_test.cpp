// Start-up: the working directory it sets.
#include "app/startup.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

TEST(startup, works_in_the_program_directory) {
  tempdir elsewhere;
  outcome r = run({.program = TARVEX_DRIVER, .args = {"where"}, .workdir = elsewhere.path()});
  char real[PATH_MAX];
  ASSERT_NE(realpath(TARVEX_DRIVER, real), nullptr);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(real).substr(0, std::string(real).rfind('/')) + "\n");
}
