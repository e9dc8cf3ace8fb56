// Loading: the line rules, and the first pointers at every "%".
#include "interp/loader.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// One added space a line, no line for a final line feed; four pointers at each "%", in order.
TEST(loader, stores_the_lines_and_starts_pointers_at_every_percent) {
  const std::tuple<std::string, std::vector<Text>, int64_t, std::vector<const char*>> cases[] = {
      {"", {u" "}, 1, {}},
      {"ab\n\n", {u"ab ", u" "}, 3, {}},
      {"a\r\nbcd\r\n", {u"a ", u"bcd "}, 4, {}},
      {std::string("a\0b", 3), {u"a ", u"b "}, 2, {}},
      {"%\nx%%\n", {u"% ", u"x%% "}, 4, {"1,0 ", "2,1 ", "3,1 "}}};
  for (const auto& [bytes, lines, maxlen, starts] : cases) {
    rig r;
    r.load(bytes);
    EXPECT_EQ(r.m.grid.lines, lines) << bytes;
    EXPECT_EQ(r.m.grid.linecount, static_cast<int64_t>(lines.size())) << bytes;
    EXPECT_EQ(r.m.grid.maxlen, maxlen) << bytes;
    std::string expected;
    for (const char* cell : starts)
      for (const char* dir : {"U", "D", "L", "R"})
        expected += cell + std::string(dir) + " 0,0 new; ";
    EXPECT_EQ(pointers(r.m), expected);
  }
}
