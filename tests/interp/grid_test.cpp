// The code grid's two cell operations, on the line 'xyz ' of a one-line grid.
#include "interp/grid.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// At each (x, y): what readcell gives, and the line after writecell puts "A" there.
TEST(grid, readcell_and_writecell_on_xyz) {
  const struct {
    int64_t x, y;
    int read;
    const char* written;
  } cases[] = {{0, 0, ' ', "Ayz "}, // the margin reads a space, writes as column 1
               {1, 0, 'x', "Ayz "},  {3, 0, 'z', "xyA "},
               {4, 0, ' ', "xyzA"},                        // the added space is the last column
               {5, 0, ' ', "xyz A"}, {9, 0, ' ', "xyz A"}, // appended without padding
               {-1, 0, ' ', "xyz "}, {1, -1, ' ', "xyz "},
               {1, 1, ' ', "xyz "}};
  for (const auto& c : cases) {
    codegrid grid{{u"xyz "}, 1, 4};
    EXPECT_EQ(readcell(grid, c.x, c.y), c.read) << c.x << "," << c.y;
    writecell(grid, c.x, c.y, u"A");
    EXPECT_EQ(S(grid.lines[0]), c.written) << c.x << "," << c.y;
  }
}
