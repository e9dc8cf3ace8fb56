// The written-pairs set: exact pairs, rounds that forget, growth.
#include "interp/writeset.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace tarvex {
namespace {

TEST(writeset, pairs_are_kept_exactly) {
  writeset set;
  EXPECT_TRUE(set.insert(0, 0));
  EXPECT_TRUE(set.insert(1, 0)); // column 0 and column 1 are different pairs
  EXPECT_TRUE(set.insert(0, 1));
  EXPECT_TRUE(set.insert(-1, 0));
  EXPECT_TRUE(set.insert(0, -1));
  EXPECT_FALSE(set.insert(1, 0));
  EXPECT_FALSE(set.insert(-1, 0));
  EXPECT_EQ(set.size(), 5u);
}

TEST(writeset, reset_forgets_every_pair) {
  writeset set;
  for (int32_t x = 0; x < 1000; ++x)
    EXPECT_TRUE(set.insert(x, 7));
  set.reset();
  EXPECT_EQ(set.size(), 0u);
  for (int32_t x = 0; x < 1000; ++x)
    EXPECT_TRUE(set.insert(x, 7));
  for (int32_t x = 0; x < 1000; ++x)
    EXPECT_FALSE(set.insert(x, 7));
}

TEST(writeset, agrees_with_a_set_over_random_rounds) {
  std::mt19937 random(5);
  writeset set;
  for (int round = 0; round < 200; ++round) {
    set.reset();
    std::set<std::pair<int32_t, int32_t>> model;
    const int count = static_cast<int>(random() % 3000);
    for (int i = 0; i < count; ++i) {
      const int32_t x = static_cast<int32_t>(random() % 80) - 3;
      const int32_t y = static_cast<int32_t>(random() % 30) - 3;
      ASSERT_EQ(set.insert(x, y), model.insert({x, y}).second);
    }
    ASSERT_EQ(set.size(), model.size());
  }
}

} // namespace
} // namespace tarvex
