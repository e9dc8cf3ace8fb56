// The code grid's two cell operations, on the line 'xyz ' of a one-line grid.
#include "interp/grid.h"

#include <gtest/gtest.h>

using namespace tarvex;

// readcell at (x, y), and the line after writecell puts "A" there: column 0 reads a space but
// writes as column 1; past the end "A" is appended unpadded; outside the lines nothing changes.
TEST(grid, readcell_and_writecell_on_xyz) {
  const std::tuple<int64_t, int64_t, char, const char*> cases[] = {
      {0, 0, ' ', "Ayz "},  {1, 0, 'x', "Ayz "},  {4, 0, ' ', "xyzA"}, {9, 0, ' ', "xyz A"},
      {-1, 0, ' ', "xyz "}, {1, -1, ' ', "xyz "}, {1, 1, ' ', "xyz "}};
  for (auto [x, y, read, written] : cases) {
    codegrid grid{{u"xyz "}, 1, 4};
    EXPECT_EQ(readcell(grid, x, y), read) << x << "," << y;
    writecell(grid, x, y, u"A");
    EXPECT_EQ(lowbytes(grid.lines[0]), written) << x << "," << y;
  }
}
