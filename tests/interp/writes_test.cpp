// Queued writes: only the first write queued for a pair takes effect, in queue order.
#include "interp/writes.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

TEST(writes, first_write_per_pair_wins_and_column_0_and_1_are_different_pairs) {
  const struct {
    std::vector<std::tuple<int64_t, int64_t, char16_t>> writes;
    const char* line;
  } cases[] = {{{{2, 0, u'A'}, {3, 0, u'C'}, {2, 0, u'B'}}, "xAC "},
               {{{0, 0, u'A'}, {1, 0, u'B'}}, "Byz "}, // both land on the first character
               {{{1, 0, u'B'}, {0, 0, u'A'}}, "Ayz "},
               {{{9, 0, u'A'}, {7, 0, u'B'}, {9, 0, u'C'}}, "xyz AB"}}; // both appended
  for (const auto& c : cases) {
    rig r;
    r.lines({"xyz "});
    for (auto [x, y, letter] : c.writes)
      queuewrite(r.m, x, y, Text(1, letter));
    EXPECT_EQ(r.line(0), "xyz "); // untouched until applied
    applywrites(r.m);
    EXPECT_EQ(r.line(0), c.line);
    EXPECT_EQ(r.m.writes.count(), 0u);
  }
  // Far more pairs than the set of written pairs starts with room for.
  rig r;
  r.lines({""});
  for (char16_t letter : {u'a', u'b'})
    for (int x = 1; x <= 300; ++x)
      queuewrite(r.m, x, 0, Text(1, letter));
  applywrites(r.m);
  EXPECT_EQ(r.line(0), std::string(300, 'a'));
}
