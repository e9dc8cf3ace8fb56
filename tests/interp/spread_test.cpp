// Spawning: which directions a split makes, in which order, and what the children carry.
#include "interp/spread.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

namespace tarvex {
namespace {

struct spreadcase {
  int32_t incoming;
  std::vector<int32_t> dirs;
};

class spread_directions : public ::testing::TestWithParam<spreadcase> {};

TEST_P(spread_directions, never_sends_a_child_back) {
  testing::rig r;
  spread(r.m, 3, 2, GetParam().incoming, 0, 0, 0, 0);
  std::vector<int32_t> dirs;
  r.m.ips.each([&](const ip& p) { dirs.push_back(p.dir); });
  EXPECT_EQ(dirs, GetParam().dirs);
}

INSTANTIATE_TEST_SUITE_P(spread, spread_directions,
                         ::testing::Values(spreadcase{-1, {UP, DOWN, LEFT, RIGHT}},
                                           spreadcase{UP, {UP, LEFT, RIGHT}},
                                           spreadcase{DOWN, {DOWN, LEFT, RIGHT}},
                                           spreadcase{LEFT, {UP, DOWN, LEFT}},
                                           spreadcase{RIGHT, {UP, DOWN, RIGHT}},
                                           spreadcase{7, {UP, DOWN, LEFT, RIGHT}}));

TEST(spread, children_are_newborn_copies_at_the_cell) {
  testing::rig r;
  spread(r.m, 5, 9, RIGHT, 17, 250, 1, 1);
  ASSERT_EQ(r.m.ips.count(), 3u);
  r.m.ips.each([&](const ip& p) {
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 9);
    EXPECT_EQ(p.val[0], 17);
    EXPECT_EQ(p.val[1], 250);
    EXPECT_EQ(p.on, 1);
    EXPECT_EQ(p.remafter, 1);
    EXPECT_EQ(p.n, 1);
    EXPECT_EQ(p.key, 0);
    EXPECT_EQ(p.printing, 0); // string mode and the hold are not inherited
    EXPECT_EQ(p.wait, 0);
  });
}

TEST(spread, children_do_not_share_registers) {
  testing::rig r;
  spread(r.m, 1, 1, -1, 4, 5, 0, 0);
  auto pass = r.m.ips.begin_pass();
  ip* first = pass.next();
  ip* second = pass.next();
  first->val[0] = 99;
  first->val[1] = 98;
  EXPECT_EQ(second->val[0], 4);
  EXPECT_EQ(second->val[1], 5);
}

TEST(spread, remafter_keeps_its_low_eight_bits) {
  for (auto [given, stored] : {std::pair{0x100, 0}, {0x101, 1}, {0x1FF, 255}, {-1, 255}}) {
    testing::rig r;
    spread(r.m, 1, 1, UP, 0, 0, 0, given);
    r.m.ips.each([&](const ip& p) { EXPECT_EQ(p.remafter, stored) << given; });
  }
}

} // namespace
} // namespace tarvex
