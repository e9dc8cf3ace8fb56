// The shipped examples do what the README says they do: each runs through the interpreter
// (no pause, no window) with the given input and writes exactly the expected bytes.
#include <gtest/gtest.h>

#include "interp/loader.h"
#include "interp/tick.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

struct example {
  const char* file;
  const char* input;
  const char* output;
  int maxticks; // about 8 ticks a second in the window
};

const example examples[] = {
    {"hello.txt", "", "Hello, world!\r\n", 20},
    {"countdown.txt", "", "5\r\n4\r\n3\r\n2\r\n1\r\n", 60},
    {"sum.txt", "5\n7\n0\n", "12\r\n", 40},
    {"sum.txt", "200\n100\n\n", "44\r\n", 40},
    {"code.txt", "", "Many pointers at once:\r\n21534625", 120},
};

TEST(examples, run_to_the_end_with_the_documented_output) {
  installstreamfactories();
  for (const example& e : examples) {
    SCOPED_TRACE(e.file);
    rig r(e.input);
    auto source =
        openforread(fromcstring((std::string(TARVEX_SOURCE_DIR) + "/examples/" + e.file).c_str()));
    ASSERT_TRUE(source);
    loadgrid(r.m, *source);
    EXPECT_NE(r.run(10000).state, tickstate::going);
    EXPECT_LE(r.m.tick, e.maxticks);
    EXPECT_EQ(r.output(), e.output);
  }
}

} // namespace
