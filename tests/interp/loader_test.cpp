// Loading: the line rules, and the first pointers at every "%".
#include "interp/loader.h"

#include <gtest/gtest.h>

#include "tests/support/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// One added space a line, no line for a final line feed; four pointers at each "%" in reading
// order, heading up, down, left and right.
TEST(loader, stores_the_lines_and_starts_pointers_at_every_percent) {
  using cells = std::vector<std::pair<int32_t, int32_t>>;
  const std::tuple<std::string, std::vector<Text>, int64_t, cells> cases[] = {
      {"", {u" "}, 1, {}},
      {"ab\n\n", {u"ab ", u" "}, 3, {}},
      {"a\r\nbcd\r\n", {u"a ", u"bcd "}, 4, {}},
      {std::string("a\0b", 3), {u"a ", u"b "}, 2, {}},
      {"x%\n%%\n", {u"x% ", u"%% "}, 3, {{2, 0}, {1, 1}, {2, 1}}}};
  for (const auto& [bytes, lines, maxlen, starts] : cases) {
    rig r;
    r.load(bytes);
    EXPECT_EQ(r.m.grid.lines, lines) << bytes;
    EXPECT_EQ(r.m.grid.linecount, static_cast<int64_t>(lines.size())) << bytes;
    EXPECT_EQ(r.m.grid.maxlen, maxlen) << bytes;
    std::vector<decltype(fields(ip{}))> expected, got;
    for (auto [x, y] : starts)
      for (int32_t dir : {UP, DOWN, LEFT, RIGHT})
        expected.push_back(fields(at(x, y, dir)));
    r.m.ips.each([&](const ip& p) { got.push_back(fields(p)); });
    EXPECT_EQ(got, expected) << bytes;
  }
}
