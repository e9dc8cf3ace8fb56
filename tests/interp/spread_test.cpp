// Spawning: which directions a split makes, in which order, and what the children carry.
#include "interp/spread.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// Never back; registers, selector and the low byte of the flag are copied, and nothing of a
// released record (string mode, hold, key) comes back in the entry a child reuses.
TEST(spread, makes_newborn_copies_at_the_cell_never_heading_back) {
  const std::pair<int32_t, const char*> cases[] = {{-1, "UDLR"},  {UP, "ULR"},    {DOWN, "DLR"},
                                                   {LEFT, "UDL"}, {RIGHT, "UDR"}, {7, "UDLR"}};
  for (auto [incoming, dirs] : cases) {
    rig r;
    ip& old = r.put("0,0 U 1,1 w2");
    old.printing = 1, old.key = 5;
    r.m.ips.remove(old), r.m.ips.release();
    spread(r.m, 5, 9, incoming, 17, 250, 1, 0x101);
    std::string expected;
    for (const char* dir = dirs; *dir; ++dir)
      expected += std::string("5,9 ") + *dir + " 17,250 on new r1; ";
    EXPECT_EQ(pointers(r.m), expected) << incoming;
  }
}
