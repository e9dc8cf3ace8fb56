// Queued writes on the line "xyz " of a one-line grid.
#include "interp/writes.h"

#include <gtest/gtest.h>

#include "tests/support/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// Only the first write queued for a pair lands, and only when applied. Column 0 writes as
// column 1 but is a pair of its own; past the end a write appends unpadded, in queue order;
// outside the lines nothing changes; 300 pairs written twice outgrow the set of written pairs.
TEST(writes, the_first_write_queued_for_each_pair_lands_when_applied) {
  using queue = std::vector<std::tuple<int64_t, int64_t, char16_t>>;
  queue many;
  for (char16_t letter : {u'a', u'b'})
    for (int x = 1; x <= 300; ++x)
      many.emplace_back(x, 0, letter);
  const std::pair<queue, std::string> cases[] = {
      {{{1, 0, u'B'}, {0, 0, u'A'}}, "Ayz "},
      {{{9, 0, u'A'}, {7, 0, u'B'}, {9, 0, u'C'}, {4, 0, u'D'}}, "xyzDAB"},
      {{{-1, 0, u'A'}, {1, -1, u'B'}, {1, 1, u'C'}}, "xyz "},
      {many, std::string(300, 'a')}};
  for (const auto& [writes, line] : cases) {
    rig r;
    r.lines({"xyz "});
    for (auto [x, y, letter] : writes)
      queuewrite(r.m, x, y, letter);
    EXPECT_EQ(r.line(0), "xyz ");
    applywrites(r.m);
    EXPECT_EQ(r.line(0), line);
    EXPECT_EQ(r.m.writes.count(), 0u);
  }
}
