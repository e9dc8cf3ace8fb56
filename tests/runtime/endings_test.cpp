// The endings of the process: status, standard error text, and the exit-time actions that
// run last-registered first at each of them.
#include "runtime/endings.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex::testing;

TEST(endings, each_ending_has_its_status_and_text_and_runs_the_actions_last_first) {
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } rows[] = {
      {{"actions", "end", "0"}, 0, "[3][2][1]", ""},
      {{"actions", "print", "hi", "end", "0"}, 0, "hi\r\n[3][2][1]", ""},
      {{"actions", "error", "Error reading from stream"},
       255,
       "[3][2][1]",
       "Error reading from stream"},
      {{"actions", "fault", "C0000094"}, 2, "[3][2][1]", "EXCEPTION_INT_DIVIDE_BY_ZERO\n"},
      {{"actions", "divzero"}, 2, "[3][2][1]", "EXCEPTION_INT_DIVIDE_BY_ZERO\n"},
      {{"end", "0"}, 0, "", ""},
      {{"error", "caf\xe9 failed"}, 255, "", "caf\xe9 failed"},
  };
  for (const row& r : rows) {
    outcome o = run({.program = TARVEX_DRIVER, .args = r.args, .timeoutseconds = 10});
    EXPECT_EQ(o.signal, 0) << r.args[1];
    EXPECT_EQ(o.status, r.status) << r.args[1];
    EXPECT_EQ(o.out, r.out) << r.args[1];
    EXPECT_EQ(o.err, r.err) << r.args[1];
  }
}

TEST(endings, runtimeerrorexit_in_process_writes_no_line_end_and_exits_255) {
  EXPECT_EXIT(tarvex::runtimeerrorexit(u"Error writing to stream"), ::testing::ExitedWithCode(255),
              "^Error writing to stream$");
}
