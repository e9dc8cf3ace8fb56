// Loading: the line rules, and the first pointers at every "%".
#include "interp/loader.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// Each line gets one added space; every "%" starts four pointers, in reading order.
TEST(loader, stores_the_lines_and_starts_pointers_at_every_percent) {
  const struct {
    std::string bytes;
    std::vector<Text> lines;
    int64_t maxlen;
    std::vector<const char*> starts = {};
  } cases[] = {{"", {u" "}, 1},
               {"ab\n", {u"ab "}, 3}, // a final line feed adds no line
               {"ab\n\n", {u"ab ", u" "}, 3},
               {"a\r\nbcd\r\n", {u"a ", u"bcd "}, 4},
               {std::string("a\0b", 3), {u"a ", u"b "}, 2},
               {"%\nx%%\n", {u"% ", u"x%% "}, 4, {"1,0 ", "2,1 ", "3,1 "}}};
  for (const auto& c : cases) {
    rig r;
    r.load(c.bytes);
    EXPECT_EQ(r.m.grid.lines, c.lines) << c.bytes;
    EXPECT_EQ(r.m.grid.linecount, static_cast<int64_t>(c.lines.size()));
    EXPECT_EQ(r.m.grid.maxlen, c.maxlen);
    std::string expected;
    for (const char* cell : c.starts)
      for (const char* dir : {"U", "D", "L", "R"})
        expected += cell + std::string(dir) + " 0,0 new; ";
    EXPECT_EQ(pointers(r.m), expected);
  }
}
