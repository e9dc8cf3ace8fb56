// Queued writes: only the first write queued for a pair takes effect, in queue order.
#include "interp/writes.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// Columns 0 and 1 both land on the first character; writes past the end append in queue order;
// 300 pairs written twice outgrow the set of written pairs.
TEST(writes, first_write_per_pair_wins_and_column_0_and_1_are_different_pairs) {
  std::vector<std::tuple<int64_t, int64_t, char16_t>> many;
  for (char16_t letter : {u'a', u'b'})
    for (int x = 1; x <= 300; ++x)
      many.emplace_back(x, 0, letter);
  const std::pair<std::vector<std::tuple<int64_t, int64_t, char16_t>>, std::string> cases[] = {
      {{{0, 0, u'A'}, {1, 0, u'B'}}, "Byz "},
      {{{9, 0, u'A'}, {7, 0, u'B'}, {9, 0, u'C'}}, "xyz AB"},
      {many, std::string(300, 'a')}};
  for (const auto& [writes, line] : cases) {
    rig r;
    r.lines({"xyz "});
    for (auto [x, y, letter] : writes)
      queuewrite(r.m, x, y, Text(1, letter));
    EXPECT_EQ(r.line(0), "xyz "); // untouched until applied
    applywrites(r.m);
    EXPECT_EQ(r.line(0), line);
    EXPECT_EQ(r.m.writes.count(), 0u);
  }
}
