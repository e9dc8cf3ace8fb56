// Queued writes: what the record keeps, which writes take effect, and in which order.
#include "interp/writes.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/interp/quadratic.h"
#include "tests/interp/rig.h"

namespace tarvex {
namespace {

using testing::rig;
using testing::T;

TEST(writes, queue_keeps_the_low_32_bits_and_leaves_the_grid_alone) {
  rig r;
  r.lines({"xyz "});
  queuewrite(r.m, (int64_t{1} << 32) + 2, -1, T("A"));
  queuewrite(r.m, int64_t{0x180000000}, int64_t{1} << 33, T("BC"));
  queuewrite(r.m, 1, 0, T("D"));
  EXPECT_EQ(testing::queued(r.m),
            (std::vector<std::string>{"2,-1:A", "-2147483648,0:BC", "1,0:D"}));
  EXPECT_EQ(r.line(0), "xyz ");
}

struct applycase {
  const char* what;
  std::vector<std::tuple<int64_t, int64_t, std::string>> writes;
  std::string line0;
};

class applying : public ::testing::TestWithParam<applycase> {};

TEST_P(applying, applies_the_first_write_per_pair_in_queue_order) {
  rig r;
  r.lines({"xyz ", "ab "});
  for (const auto& [x, y, text] : GetParam().writes)
    queuewrite(r.m, x, y, T(text));
  applywrites(r.m);
  EXPECT_EQ(r.line(0), GetParam().line0);
  EXPECT_EQ(r.line(1), "ab ");
  EXPECT_EQ(r.m.writes.count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    writes, applying,
    ::testing::Values(
        applycase{"nothing_queued", {}, "xyz "},
        applycase{"first_queued_wins", {{2, 0, "A"}, {2, 0, "B"}}, "xAz "},
        applycase{"first_wins_over_many", {{2, 0, "A"}, {3, 0, "C"}, {2, 0, "B"}}, "xAC "},
        // Column 0 and column 1 are different pairs: both land on the first character.
        applycase{"margin_then_column_1", {{0, 0, "A"}, {1, 0, "B"}}, "Byz "},
        applycase{"column_1_then_margin", {{1, 0, "B"}, {0, 0, "A"}}, "Ayz "},
        // Two writes past the end at different columns are both appended, in order.
        applycase{"two_past_the_end", {{9, 0, "A"}, {7, 0, "B"}}, "xyz AB"},
        applycase{"past_the_end_once", {{9, 0, "A"}, {9, 0, "B"}}, "xyz A"},
        // A write that lengthens the line moves where later columns land.
        applycase{"append_then_last_column", {{5, 0, "A"}, {5, 0, "B"}, {4, 0, "C"}}, "xyzCA"},
        applycase{"outside_dropped", {{-1, 0, "A"}, {1, -1, "B"}, {1, 2, "C"}}, "xyz "},
        applycase{"low_bits_alias", {{(int64_t{1} << 32) + 1, 0, "A"}, {1, 0, "B"}}, "Ayz "}),
    [](const ::testing::TestParamInfo<applycase>& row) { return row.param.what; });

TEST(writes, set_forgets_pairs_between_ticks) {
  rig r;
  r.lines({"xyz "});
  queuewrite(r.m, 1, 0, T("A"));
  applywrites(r.m);
  queuewrite(r.m, 1, 0, T("B"));
  applywrites(r.m);
  EXPECT_EQ(r.line(0), "Byz ");
}

// Random queues against the plain form that sweeps the whole queue for every write.
TEST(writes, indexed_application_matches_the_quadratic_one) {
  std::mt19937 random(7);
  const char* letters = "ABCDEFGH";
  for (int round = 0; round < 300; ++round) {
    rig fast, plain;
    const std::vector<std::string> lines = {"abcd ", "ef ", " ", "ghijklm "};
    fast.lines(lines);
    plain.lines(lines);
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
      const int64_t x = static_cast<int64_t>(random() % 12) - 1;
      const int64_t y = static_cast<int64_t>(random() % 6) - 1;
      const Text text = T(std::string(1, letters[random() % 8]));
      queuewrite(fast.m, x, y, text);
      queuewrite(plain.m, x, y, text);
    }
    applywrites(fast.m);
    testing::quadraticapplywrites(plain.m);
    for (int64_t y = 0; y < 4; ++y)
      ASSERT_EQ(fast.line(y), plain.line(y)) << "round " << round;
    ASSERT_EQ(fast.m.writes.count(), 0u);
  }
}

} // namespace
} // namespace tarvex
