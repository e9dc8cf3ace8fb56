// The endings of the process: status, standard error text, and the exit-time actions that
// run last-registered first at each of them.
#include "app/endings.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex::testing;

TEST(endings, each_ending_has_its_status_and_text_and_runs_the_actions_last_first) {
  tempdir dir;
  std::string three = dir.file("three.bin", "abc");
  // Driver words, status, standard output, standard error.
  std::tuple<std::vector<std::string>, int, std::string, std::string> rows[] = {
      {{"actions"}, 0, "[3][2][1]", ""},
      // Three bytes while not Eof, then the fourth ReadByte raises.
      {{"actions", "readbytes", three}, 255, "97 98 99 [3][2][1]", "Error reading from stream"},
      // A fault ends the process from its signal handler, where no exit-time action may run.
      {{"actions", "divzero"}, 2, "", "EXCEPTION_INT_DIVIDE_BY_ZERO\n"},
      {{"segv"}, 2, "", "EXCEPTION_ACCESS_VIOLATION\n"},
      {{"overflow"}, 2, "", "EXCEPTION_STACK_OVERFLOW\n"},
  };
  for (const auto& [args, status, out, err] : rows) {
    outcome o = run({.program = TARVEX_DRIVER, .args = args});
    EXPECT_EQ(o.signal, 0) << args.back();
    EXPECT_EQ(o.status, status) << args.back();
    EXPECT_EQ(o.out, out) << args.back();
    EXPECT_EQ(o.err, err) << args.back();
  }
}
