// The code grid's cell operations on the line 'xyz ' of a one-line grid.
#include "interp/grid.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

namespace tarvex {
namespace {

using testing::S;
using testing::T;

codegrid xyzgrid() {
  codegrid grid;
  grid.lines = {T("xyz "), T("ab ")};
  grid.linecount = 2;
  grid.maxlen = 4;
  return grid;
}

struct readcase {
  int64_t x, y;
  int expected;
};

class readcell_on_xyz : public ::testing::TestWithParam<readcase> {};

TEST_P(readcell_on_xyz, gives_the_code_or_a_space) {
  const readcase& c = GetParam();
  EXPECT_EQ(readcell(xyzgrid(), c.x, c.y), c.expected) << "at " << c.x << "," << c.y;
}

INSTANTIATE_TEST_SUITE_P(grid, readcell_on_xyz,
                         ::testing::Values(readcase{0, 0, 32},  // margin
                                           readcase{1, 0, 'x'}, // first character
                                           readcase{3, 0, 'z'}, //
                                           readcase{4, 0, 32},  // the added space
                                           readcase{5, 0, 32},  // beyond the line
                                           readcase{-1, 0, 32}, //
                                           readcase{1, -1, 32}, // line -1
                                           readcase{1, 2, 32},  // line linecount
                                           readcase{4, 1, 32},  // beyond a shorter line
                                           readcase{int64_t{1} << 40, 0, 32},
                                           readcase{1, int64_t{1} << 40, 32}));

TEST(grid, readcell_keeps_only_the_low_byte) {
  codegrid grid;
  grid.lines = {Text{0x141, 0x2B, 0x100}};
  grid.linecount = 1;
  grid.maxlen = 3;
  EXPECT_EQ(readcell(grid, 1, 0), 0x41);
  EXPECT_EQ(readcell(grid, 2, 0), 0x2B);
  EXPECT_EQ(readcell(grid, 3, 0), 0);
}

struct writecase {
  int64_t x, y;
  std::string text;
  std::string line0;
};

class writecell_on_xyz : public ::testing::TestWithParam<writecase> {};

TEST_P(writecell_on_xyz, changes_the_line_as_the_column_says) {
  const writecase& c = GetParam();
  codegrid grid = xyzgrid();
  writecell(grid, c.x, c.y, T(c.text));
  EXPECT_EQ(S(grid.lines[0]), c.line0) << "at " << c.x << "," << c.y;
  EXPECT_EQ(S(grid.lines[1]), "ab ");
  EXPECT_EQ(grid.maxlen, 4); // fixed after loading, whatever the writes do
}

INSTANTIATE_TEST_SUITE_P(
    grid, writecell_on_xyz,
    ::testing::Values(writecase{0, 0, "A", "Ayz "},   // margin stands for column 1
                      writecase{1, 0, "A", "Ayz "},   //
                      writecase{3, 0, "A", "xyA "},   //
                      writecase{4, 0, "A", "xyzA"},   // the last column is replaced
                      writecase{5, 0, "A", "xyz A"},  // just past the end: appended
                      writecase{9, 0, "A", "xyz A"},  // far past the end: no padding
                      writecase{-1, 0, "A", "xyz "},  // left of the margin: dropped
                      writecase{1, -1, "A", "xyz "},  // line -1
                      writecase{1, 2, "A", "xyz "},   // line linecount
                      writecase{2, 0, "AB", "xABz "}, // longer texts replace one character
                      writecase{2, 0, "", "xz "}));

} // namespace
} // namespace tarvex
