// The sweep index against a plain map, through long random runs of places, takes and erases
// that force growth and wrap-around removal.
#include "interp/sweepindex.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

namespace tarvex {
namespace {

using key = std::tuple<int32_t, int32_t, int32_t>;

TEST(sweepindex, place_returns_the_displaced_pointer) {
  sweepindex index;
  ip a{.x = 3, .y = 4, .dir = LEFT};
  ip b{.x = 3, .y = 4, .dir = LEFT};
  ip c{.x = 3, .y = 4, .dir = RIGHT}; // same cell, other direction
  EXPECT_EQ(index.place(a), nullptr);
  EXPECT_EQ(index.place(c), nullptr);
  EXPECT_EQ(index.place(b), &a);
  EXPECT_EQ(index.size(), 2u);
  index.erase(a); // no longer the one held there
  EXPECT_EQ(index.size(), 2u);
  EXPECT_EQ(index.take(3, 4, LEFT), &b);
  EXPECT_EQ(index.take(3, 4, LEFT), nullptr);
  EXPECT_EQ(index.take(3, 4, RIGHT), &c);
  EXPECT_EQ(index.size(), 0u);
}

TEST(sweepindex, cells_differing_only_in_sign_or_half_are_distinct) {
  sweepindex index;
  std::vector<ip> all = {ip{.x = -1, .y = 0}, ip{.x = 0, .y = -1}, ip{.x = 0, .y = 0},
                         ip{.x = 1, .y = 0},  ip{.x = 0, .y = 1},  ip{.x = -1, .y = -1}};
  for (ip& p : all)
    EXPECT_EQ(index.place(p), nullptr);
  for (ip& p : all)
    EXPECT_EQ(index.take(p.x, p.y, p.dir), &p);
}

TEST(sweepindex, agrees_with_a_map_over_random_operations) {
  std::mt19937 random(11);
  std::vector<ip> pool(5000);
  std::map<key, ip*> model;
  sweepindex index;
  for (int op = 0; op < 200000; ++op) {
    ip& p = pool[random() % pool.size()];
    const int choice = static_cast<int>(random() % 3);
    if (choice == 0) {
      // Move p to a random cell in a small area, so keys collide often.
      index.erase(p);
      auto at = model.find({p.x, p.y, p.dir});
      if (at != model.end() && at->second == &p) model.erase(at);
      p.x = static_cast<int32_t>(random() % 40) - 2;
      p.y = static_cast<int32_t>(random() % 40) - 2;
      p.dir = static_cast<int32_t>(random() % 4);
      ip*& slot = model[{p.x, p.y, p.dir}];
      ASSERT_EQ(index.place(p), slot);
      slot = &p;
    } else if (choice == 1) {
      const int32_t x = static_cast<int32_t>(random() % 40) - 2;
      const int32_t y = static_cast<int32_t>(random() % 40) - 2;
      const int32_t dir = static_cast<int32_t>(random() % 4);
      auto at = model.find({x, y, dir});
      ip* expected = at == model.end() ? nullptr : at->second;
      if (at != model.end()) model.erase(at);
      ASSERT_EQ(index.take(x, y, dir), expected);
    } else {
      index.erase(p);
      auto at = model.find({p.x, p.y, p.dir});
      if (at != model.end() && at->second == &p) model.erase(at);
    }
    ASSERT_EQ(index.size(), model.size());
    if (op % 50000 == 49999) {
      index.clear();
      model.clear();
    }
  }
}

} // namespace
} // namespace tarvex
