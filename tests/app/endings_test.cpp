// The endings of the process after start-up, each in a child of the test: the exit-time actions
// run last-registered first at exit, and a platform fault ends with its name and status 2
// without running them.
#include "app/endings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/startup.h"

namespace tarvex {
namespace {

// Hidden from the undefined-behaviour checks so the platform signal happens; the volatile
// operands keep the compiler from folding the division away.
__attribute__((no_sanitize_undefined, noinline)) int divide(int a, int b) {
  volatile int dividend = a, divisor = b;
  return dividend / divisor;
}
// The sanitizers would report these themselves instead of letting the platform fault happen.
__attribute__((no_sanitize("address", "undefined"), noinline)) void poke(volatile int* at) {
  *at = 1;
}
__attribute__((no_sanitize("address"), noinline)) int recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  // Deep enough to pass any stack limit; the condition keeps the compiler from calling the
  // recursion endless and refusing it.
  return depth < (1 << 30) ? recurse(depth + 1) + frame[0] : frame[0];
}
void actions() {
  startup();
  addexitaction([] { std::fputs("[1]", stderr); });
  addexitaction([] { std::fputs("[2]", stderr); });
  addexitaction([] { std::fputs("[3]", stderr); });
}
int* volatile nowhere = nullptr;

TEST(endings, exit_runs_the_actions_last_first_and_a_fault_ends_with_its_name_and_status_2) {
  using ::testing::ExitedWithCode;
  EXPECT_EXIT((actions(), std::exit(255)), ExitedWithCode(255), "^\\[3\\]\\[2\\]\\[1\\]$");
  EXPECT_EXIT((actions(), std::exit(divide(1, 0))), ExitedWithCode(2),
              "^EXCEPTION_INT_DIVIDE_BY_ZERO\n$");
  EXPECT_EXIT((startup(), poke(nowhere)), ExitedWithCode(2), "^EXCEPTION_ACCESS_VIOLATION\n$");
  EXPECT_EXIT((startup(), std::exit(recurse(1))), ExitedWithCode(2),
              "^EXCEPTION_STACK_OVERFLOW\n$");
}

} // namespace
} // namespace tarvex
