// One pointer step: the move, the edges, line growth, string mode, the hold and every
// instruction, each driven on a small grid whose centre cell holds the instruction.
#include "interp/update.h"

#include <gtest/gtest.h>

#include "interp/tick.h"
#include "interp/writes.h"
#include "tests/interp/rig.h"

namespace tarvex {
namespace {

using testing::rig;

// The centre cell (3, 2) holds the instruction; its four neighbours hold 'a' above, 'b'
// below, 'c' left and 'e' right, for the exchanges to read.
constexpr int32_t CX = 3, CY = 2;

void centregrid(rig& r, char16_t cell) {
  r.lines({"     ", "  a  ", " c e ", "  b  ", "     "});
  r.m.grid.lines[CY][CX - 1] = cell;
}

// A pointer one cell before the centre, heading onto it.
ip& arriving(rig& r, int32_t dir, uint8_t v0 = 0, uint8_t v1 = 0, int32_t on = 0) {
  static constexpr int32_t fromx[4] = {0, 0, 1, -1}, fromy[4] = {1, -1, 0, 0};
  ip& p = r.put(CX + fromx[dir], CY + fromy[dir], dir, v0, v1);
  p.on = on;
  return p;
}

ip& steponto(rig& r, char16_t cell, int32_t dir, uint8_t v0 = 0, uint8_t v1 = 0, int32_t on = 0) {
  centregrid(r, cell);
  ip& p = arriving(r, dir, v0, v1, on);
  update(r.m, p);
  return p;
}

// ---- registers ----

struct registercase {
  char16_t cell;
  uint8_t v0, v1;
  int32_t on;
  uint8_t e0, e1;
  int32_t eon;
};

class register_instructions : public ::testing::TestWithParam<registercase> {};

TEST_P(register_instructions, change_the_registers_modulo_256) {
  const registercase& c = GetParam();
  rig r;
  ip& p = steponto(r, c.cell, RIGHT, c.v0, c.v1, c.on);
  EXPECT_EQ(p.val[0], c.e0) << char(c.cell);
  EXPECT_EQ(p.val[1], c.e1) << char(c.cell);
  EXPECT_EQ(p.on, c.eon) << char(c.cell);
  EXPECT_TRUE(r.m.ips.contains(p));
  EXPECT_EQ(p.x, CX);
  EXPECT_EQ(p.dir, RIGHT);
}

INSTANTIATE_TEST_SUITE_P(
    update, register_instructions,
    ::testing::Values(registercase{u'+', 255, 7, 0, 0, 7, 0},      // wraps up
                      registercase{u'+', 7, 255, 1, 7, 0, 1},      // on the selected register
                      registercase{u'-', 0, 7, 0, 255, 7, 0},      // wraps down
                      registercase{u'\'', 3, 5, 0, 254, 5, 0},     // 3 - 5
                      registercase{u'\'', 5, 3, 1, 5, 254, 1},     // current is val[1]
                      registercase{u't', 16, 16, 0, 0, 16, 0},     // 256 wraps to 0
                      registercase{u't', 3, 5, 0, 15, 5, 0},       //
                      registercase{u'*', 200, 100, 0, 44, 100, 0}, // 300 wraps to 44
                      registercase{u'd', 7, 2, 0, 3, 2, 0},        // quotient
                      registercase{u'd', 2, 7, 0, 0, 7, 0},        //
                      registercase{u'd', 2, 255, 1, 2, 127, 1},    //
                      registercase{u'M', 7, 2, 0, 1, 2, 0},        // remainder
                      registercase{u'M', 2, 7, 0, 2, 7, 0},        //
                      registercase{u'=', 9, 4, 0, 9, 9, 0},        // other <- current
                      registercase{u'=', 9, 4, 1, 4, 4, 1},        //
                      registercase{u'0', 9, 4, 1, 9, 0, 1},        //
                      registercase{u'~', 9, 4, 0, 9, 4, 1},        // swap selects the other
                      registercase{u'~', 9, 4, 1, 9, 4, 0},        //
                      registercase{u'&', 0, 9, 0, 0, 9, 0},        // zero stays
                      registercase{u'&', 5, 9, 0, 9, 9, 0},        // non-zero takes other
                      registercase{u'|', 0, 9, 0, 9, 9, 0},        // zero takes other
                      registercase{u'|', 5, 9, 0, 5, 9, 0},        // non-zero stays
                      registercase{u'X', 0, 1, 0, 1, 1, 0},        //
                      registercase{u'X', 1, 0, 0, 1, 0, 0},        //
                      registercase{u'X', 1, 1, 0, 0, 1, 0},        //
                      registercase{u'X', 0, 0, 0, 0, 0, 0},        //
                      registercase{u'X', 2, 0, 0, 0, 0, 0},        // whole values, not bits
                      registercase{u'X', 1, 2, 0, 0, 2, 0},        //
                      registercase{u'X', 3, 1, 1, 3, 0, 1},        // current 1, other 3
                      registercase{u' ', 3, 4, 0, 3, 4, 0},        // no instruction
                      registercase{u'%', 3, 4, 0, 3, 4, 0},        // "%" does nothing at run
                      registercase{0x12B, 3, 4, 0, 3, 4, 0}));     // "+" only in its low byte

TEST(update, swap_then_increment_raises_the_former_other) {
  rig r;
  r.lines({"~+ "});
  ip& p = r.put(0, 0, RIGHT, 10, 20);
  update(r.m, p);
  update(r.m, p);
  EXPECT_EQ(p.val[0], 10);
  EXPECT_EQ(p.val[1], 21);
}

TEST(update, grave_accent_toggles_remove_after) {
  rig r;
  r.lines({"`` "});
  ip& p = r.put(0, 0, RIGHT);
  update(r.m, p);
  EXPECT_EQ(p.remafter, 1);
  update(r.m, p);
  EXPECT_EQ(p.remafter, 0);
}

// ---- direction ----

struct turncase {
  char16_t cell;
  int32_t dir;
  uint8_t current;
  int32_t edir;
  std::string write; // the queued write, or empty
};

class turning_instructions : public ::testing::TestWithParam<turncase> {};

TEST_P(turning_instructions, set_the_direction) {
  const turncase& c = GetParam();
  rig r;
  ip& p = steponto(r, c.cell, c.dir, c.current);
  EXPECT_EQ(p.dir, c.edir) << char(c.cell) << " from " << c.dir;
  EXPECT_EQ(p.x, CX);
  EXPECT_EQ(p.y, CY);
  std::vector<std::string> writes;
  if (!c.write.empty()) writes.push_back("3,2:" + c.write);
  EXPECT_EQ(testing::queued(r.m), writes);
}

INSTANTIATE_TEST_SUITE_P(
    update, turning_instructions,
    ::testing::Values(turncase{u'>', UP, 0, RIGHT, ""}, turncase{u'<', UP, 0, LEFT, ""},
                      turncase{u'^', DOWN, 0, UP, ""}, turncase{u'v', UP, 0, DOWN, ""},
                      turncase{u'/', UP, 0, RIGHT, "\\"}, turncase{u'/', DOWN, 0, LEFT, "\\"},
                      turncase{u'/', LEFT, 0, DOWN, "\\"}, turncase{u'/', RIGHT, 0, UP, "\\"},
                      turncase{u'\\', UP, 0, LEFT, "/"}, turncase{u'\\', DOWN, 0, RIGHT, "/"},
                      turncase{u'\\', LEFT, 0, UP, "/"}, turncase{u'\\', RIGHT, 0, DOWN, "/"},
                      turncase{u'O', UP, 0, LEFT, ""}, turncase{u'O', DOWN, 0, RIGHT, ""},
                      turncase{u'O', LEFT, 0, UP, ""}, turncase{u'O', RIGHT, 0, DOWN, ""},
                      turncase{u'o', UP, 0, RIGHT, ""}, turncase{u'o', DOWN, 0, LEFT, ""},
                      turncase{u'o', LEFT, 0, DOWN, ""}, turncase{u'o', RIGHT, 0, UP, ""},
                      turncase{u'N', LEFT, 0, RIGHT, ""}, turncase{u'N', RIGHT, 0, LEFT, ""},
                      turncase{u'N', UP, 0, UP, ""}, turncase{u'N', DOWN, 0, DOWN, ""},
                      turncase{u'Z', UP, 0, DOWN, ""}, turncase{u'Z', DOWN, 0, UP, ""},
                      turncase{u'Z', LEFT, 0, LEFT, ""}, turncase{u'Z', RIGHT, 0, RIGHT, ""},
                      turncase{u'I', UP, 0, DOWN, ""}, turncase{u'I', DOWN, 0, UP, ""},
                      turncase{u'I', LEFT, 0, RIGHT, ""}, turncase{u'I', RIGHT, 0, LEFT, ""},
                      turncase{u'U', RIGHT, 1, UP, ""}, turncase{u'U', RIGHT, 0, RIGHT, ""},
                      turncase{u'D', RIGHT, 9, DOWN, ""}, turncase{u'D', RIGHT, 0, RIGHT, ""},
                      turncase{u'L', UP, 255, LEFT, ""}, turncase{u'L', UP, 0, UP, ""},
                      turncase{u'R', UP, 1, RIGHT, ""}, turncase{u'R', UP, 0, UP, ""}));

// ---- shifts ----

struct shiftcase {
  char16_t cell;
  int32_t dir;
  uint8_t current;
  int32_t ex, ey;
};

class shift_instructions : public ::testing::TestWithParam<shiftcase> {};

TEST_P(shift_instructions, move_sideways_without_turning) {
  const shiftcase& c = GetParam();
  rig r;
  ip& p = steponto(r, c.cell, c.dir, c.current);
  EXPECT_EQ(p.x, c.ex);
  EXPECT_EQ(p.y, c.ey);
  EXPECT_EQ(p.dir, c.dir);
}

INSTANTIATE_TEST_SUITE_P(
    update, shift_instructions,
    ::testing::Values(shiftcase{u'J', UP, 1, CX + 1, CY}, shiftcase{u'J', DOWN, 1, CX - 1, CY},
                      shiftcase{u'J', LEFT, 1, CX, CY + 1}, shiftcase{u'J', RIGHT, 1, CX, CY - 1},
                      shiftcase{u'J', RIGHT, 0, CX, CY}, shiftcase{u'j', UP, 0, CX + 1, CY},
                      shiftcase{u'j', LEFT, 0, CX, CY + 1}, shiftcase{u'j', UP, 5, CX, CY}));

TEST(update, shifted_to_cell_is_not_executed_in_that_step) {
  rig r;
  r.lines({"J+ ", "   "});
  ip& p = r.put(1, 1, UP, 1);
  update(r.m, p); // up onto "J": shifts right onto the "+"
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.y, 0);
  EXPECT_EQ(p.val[0], 1);
}

// ---- removal ----

struct removecase {
  char16_t cell;
  int32_t dir;
  uint8_t current;
  uint8_t remafter;
  bool live;
};

class removing_instructions : public ::testing::TestWithParam<removecase> {};

TEST_P(removing_instructions, take_the_pointer_out_when_their_test_holds) {
  const removecase& c = GetParam();
  rig r;
  centregrid(r, c.cell);
  ip& p = arriving(r, c.dir, c.current);
  p.remafter = c.remafter;
  update(r.m, p);
  EXPECT_EQ(r.m.ips.contains(p), c.live) << char(c.cell);
}

INSTANTIATE_TEST_SUITE_P(
    update, removing_instructions,
    ::testing::Values(removecase{u'x', RIGHT, 0, 0, false}, removecase{u'?', RIGHT, 0, 0, false},
                      removecase{u'?', RIGHT, 1, 0, true}, removecase{u'!', RIGHT, 1, 0, false},
                      removecase{u'!', RIGHT, 0, 0, true}, removecase{u'}', RIGHT, 0, 0, false},
                      removecase{u'}', LEFT, 0, 0, true}, removecase{u'{', LEFT, 0, 0, false},
                      removecase{u'{', UP, 0, 0, true}, removecase{u'n', RIGHT, 0, 0, true},
                      removecase{u'n', RIGHT, 0, 1, false}, removecase{u'u', UP, 0, 1, false},
                      removecase{u'(', UP, 0, 1, false}, removecase{u')', UP, 0, 1, false},
                      removecase{u')', UP, 0, 0, true}, removecase{u'+', UP, 0, 1, true}));

TEST(update, split_removes_itself_and_appends_three_copies) {
  rig r;
  centregrid(r, u'#');
  ip& p = arriving(r, LEFT, 6, 7, 1);
  p.remafter = 1;
  update(r.m, p);
  EXPECT_FALSE(r.m.ips.contains(p));
  EXPECT_EQ(testing::pointers(r.m),
            (std::vector<std::string>{"(x3 y2 d0 v6,7 on1 n1 s0 r1 w0 k0)",
                                      "(x3 y2 d1 v6,7 on1 n1 s0 r1 w0 k0)",
                                      "(x3 y2 d2 v6,7 on1 n1 s0 r1 w0 k0)"}));
}

// ---- exchanges ----

struct exchangecase {
  char16_t cell;
  int32_t wx, wy; // where current is written
  int ecurrent;   // the code read from the opposite side
  int unchanged;  // what the written cell still holds within the tick
};

class exchange_instructions : public ::testing::TestWithParam<exchangecase> {};

TEST_P(exchange_instructions, queue_current_and_load_the_opposite_neighbour) {
  const exchangecase& c = GetParam();
  for (uint8_t remafter : {0, 1}) {
    rig r;
    centregrid(r, c.cell);
    ip& p = arriving(r, DOWN, 7, 65, 1); // current is val[1] = 'A'
    p.remafter = remafter;
    update(r.m, p);
    EXPECT_EQ(testing::queued(r.m),
              std::vector<std::string>{std::to_string(c.wx) + "," + std::to_string(c.wy) + ":A"});
    EXPECT_EQ(p.val[1], c.ecurrent);
    EXPECT_EQ(p.val[0], 7);
    EXPECT_EQ(r.m.ips.contains(p), remafter == 0);
    // The write waits for the end of the tick.
    EXPECT_EQ(readcell(r.m.grid, c.wx, c.wy), c.unchanged);
  }
}

INSTANTIATE_TEST_SUITE_P(update, exchange_instructions,
                         ::testing::Values(exchangecase{u'n', CX, CY - 1, 'b', 'a'},
                                           exchangecase{u'u', CX, CY + 1, 'a', 'b'},
                                           exchangecase{u'(', CX - 1, CY, 'e', 'c'},
                                           exchangecase{u')', CX + 1, CY, 'c', 'e'}));

TEST(update, exchange_at_the_edges_reads_spaces_and_queues_outside_writes) {
  rig r;
  r.lines({"n "});
  ip& p = r.put(0, 0, RIGHT, 200);
  update(r.m, p);
  EXPECT_EQ(p.val[0], 32); // below the only line
  EXPECT_EQ(testing::queued(r.m), std::vector<std::string>{"1,-1:\xc8"});
}

// ---- console ----

struct outputcase {
  char16_t cell;
  uint8_t current;
  std::string out;
};

class output_instructions : public ::testing::TestWithParam<outputcase> {};

TEST_P(output_instructions, write_to_the_console) {
  const outputcase& c = GetParam();
  rig r;
  steponto(r, c.cell, RIGHT, c.current);
  EXPECT_EQ(r.output(), c.out);
}

INSTANTIATE_TEST_SUITE_P(update, output_instructions,
                         ::testing::Values(outputcase{u'.', 0, "0"}, outputcase{u'.', 7, "7"},
                                           outputcase{u'.', 255, "255"}, outputcase{u',', 65, "A"},
                                           outputcase{u',', 0, ""}, outputcase{u',', 200, "\xc8"},
                                           outputcase{u';', 65, "\r\n"}, outputcase{u'"', 65, ""}));

struct inputcase {
  std::string input;
  uint8_t current;
};

class input_instruction : public ::testing::TestWithParam<inputcase> {};

TEST_P(input_instruction, stores_the_low_byte_of_the_number_read) {
  rig r(GetParam().input);
  ip& p = steponto(r, u':', RIGHT, 99);
  EXPECT_EQ(p.val[0], GetParam().current) << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(update, input_instruction,
                         ::testing::Values(inputcase{"300\n", 44}, inputcase{"-1\n", 255},
                                           inputcase{"$ff\n", 255}, inputcase{"12\n", 12},
                                           inputcase{"\n", 0}, inputcase{"", 0}));

TEST(update, input_reads_one_line_per_step) {
  rig r("5\n6\n");
  r.lines({"::: "});
  ip& p = r.put(0, 0, RIGHT);
  update(r.m, p);
  EXPECT_EQ(p.val[0], 5);
  update(r.m, p);
  EXPECT_EQ(p.val[0], 6);
  update(r.m, p); // input has ended: 0 without waiting
  EXPECT_EQ(p.val[0], 0);
}

// ---- division by zero ----

struct zerocase {
  char16_t cell;
  uint8_t v0, v1;
  int32_t on;
};

class division_by_zero : public ::testing::TestWithParam<zerocase> {};

TEST_P(division_by_zero, is_reported_as_a_fault) {
  const zerocase& c = GetParam();
  EXPECT_EXIT(
      {
        rig r;
        steponto(r, c.cell, RIGHT, c.v0, c.v1, c.on);
      },
      ::testing::ExitedWithCode(2), "EXCEPTION_INT_DIVIDE_BY_ZERO");
}

INSTANTIATE_TEST_SUITE_P(update, division_by_zero,
                         ::testing::Values(zerocase{u'd', 7, 0, 0}, zerocase{u'M', 7, 0, 0},
                                           zerocase{u'd', 0, 0, 0}, zerocase{u'M', 0, 3, 1}));

// ---- jump ----

TEST(update, jump_inside_the_grid_lands_without_executing) {
  rig r;
  r.lines(std::vector<std::string>(10, "$+++++ "));
  ip& p = r.put(0, 0, RIGHT, 4, 1);
  update(r.m, p);
  EXPECT_TRUE(r.m.ips.contains(p));
  EXPECT_EQ(p.x, 4);
  EXPECT_EQ(p.y, 1);
  EXPECT_EQ(p.val[0], 4); // the "+" at (4, 1) has not run
  update(r.m, p);         // moves first, then runs (5, 1)
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.val[0], 5);
}

TEST(update, jump_below_the_grid_is_removed_in_the_same_step) {
  rig r;
  r.lines(std::vector<std::string>(10, "$ "));
  ip& p = r.put(0, 0, RIGHT, 3, 200);
  update(r.m, p);
  EXPECT_FALSE(r.m.ips.contains(p));
}

TEST(update, jump_beyond_the_right_side_survives_until_the_next_move) {
  rig r;
  r.lines({"$ ", "  "});
  ip& p = r.put(0, 0, RIGHT, 200, 1);
  update(r.m, p);
  EXPECT_TRUE(r.m.ips.contains(p));
  update(r.m, p);
  EXPECT_FALSE(r.m.ips.contains(p));
}

// ---- leaving the grid ----

struct edgecase {
  const char* what;
  int32_t x, y, dir;
  bool live;
  int32_t ex, ey;
};

class grid_edges : public ::testing::TestWithParam<edgecase> {};

// Three lines of length 4, maxlen 6.
TEST_P(grid_edges, remove_pointers_that_leave) {
  const edgecase& c = GetParam();
  rig r;
  r.lines({"+++ ", "+++ ", "+++ "}, 6);
  ip& p = r.put(c.x, c.y, c.dir);
  update(r.m, p);
  EXPECT_EQ(r.m.ips.contains(p), c.live);
  EXPECT_EQ(p.x, c.ex);
  EXPECT_EQ(p.y, c.ey);
  // A pointer that leaves executes nothing.
  if (!c.live) {
    EXPECT_EQ(p.val[0], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(update, grid_edges,
                         ::testing::Values(edgecase{"up_from_line_0", 1, 0, UP, false, 1, -1},
                                           edgecase{"down_from_last_line", 1, 2, DOWN, false, 1, 3},
                                           edgecase{"left_to_margin", 1, 1, LEFT, true, 0, 1},
                                           edgecase{"left_from_margin", 0, 1, LEFT, false, -1, 1},
                                           edgecase{"right_to_maxlen", 5, 1, RIGHT, true, 6, 1},
                                           edgecase{"right_past_maxlen", 6, 1, RIGHT, false, 7, 1},
                                           edgecase{"down_inside", 1, 0, DOWN, true, 1, 1}),
                         [](const ::testing::TestParamInfo<edgecase>& row) {
                           return row.param.what;
                         });

TEST(update, margin_executes_nothing) {
  rig r;
  r.lines({"+ "});
  ip& p = r.put(1, 0, LEFT, 5);
  update(r.m, p);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.val[0], 5);
}

TEST(update, shift_off_the_top_waits_for_the_next_steps_test) {
  rig r;
  r.lines({"J  ", "   "});
  ip& p = r.put(0, 0, RIGHT, 1); // reaches "J" moving right: shifts to line -1
  update(r.m, p);
  EXPECT_TRUE(r.m.ips.contains(p));
  EXPECT_EQ(p.y, -1);
  update(r.m, p);
  EXPECT_FALSE(r.m.ips.contains(p));
}

TEST(update, jump_beyond_the_right_side_comes_back_with_its_next_move) {
  rig r;
  r.lines({"$ ", "  "}); // maxlen 2
  ip& p = r.put(2, 0, LEFT, 3, 1);
  update(r.m, p); // jumps to (3, 1), one column past maxlen
  EXPECT_TRUE(r.m.ips.contains(p));
  update(r.m, p); // back to column 2
  EXPECT_TRUE(r.m.ips.contains(p));
  EXPECT_EQ(p.x, 2);
}

TEST(update, shift_below_the_last_line_is_removed_by_the_final_test) {
  rig r;
  r.lines({"   ", "J  "});
  ip& p = r.put(2, 1, LEFT, 1); // reaches "J" heading left: shifts to line 2
  update(r.m, p);
  EXPECT_FALSE(r.m.ips.contains(p));
}

// ---- short lines ----

TEST(update, short_line_grows_by_two_spaces_once_per_step) {
  rig r;
  r.lines({"ab ", "abcdefghi "}, 10);
  ip& p = r.put(3, 0, RIGHT);
  const std::vector<size_t> lengths = {5, 5, 7, 7};
  for (size_t i = 0; i < lengths.size(); ++i) {
    update(r.m, p);
    EXPECT_EQ(r.m.grid.lines[0].size(), lengths[i]) << "step " << i + 1;
  }
  EXPECT_EQ(r.line(0), "ab     ");
  EXPECT_EQ(r.m.grid.maxlen, 10);
}

TEST(update, far_beyond_a_short_line_grows_it_once_and_runs_nothing) {
  rig r;
  r.lines({"ab ", "abcdefghi "}, 10);
  ip& p = r.put(8, 0, RIGHT, 3);
  update(r.m, p);
  EXPECT_EQ(r.m.grid.lines[0].size(), 5u);
  EXPECT_TRUE(r.m.ips.contains(p));
}

// ---- string mode ----

TEST(update, string_mode_prints_cells_and_consumes_the_closing_quote) {
  rig r;
  r.lines({"\"A. ;\"+ "});
  ip& p = r.put(0, 0, RIGHT);
  for (int i = 0; i < 7; ++i)
    update(r.m, p);
  EXPECT_EQ(r.output(), "A. ;");
  EXPECT_EQ(p.printing, 0);
  EXPECT_EQ(p.val[0], 1); // the "+" after the closing quote runs
}

TEST(update, string_mode_at_the_margin_prints_nothing) {
  rig r;
  r.lines({"A "});
  ip& p = r.put(1, 0, LEFT);
  p.printing = 1;
  update(r.m, p);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(r.output(), "");
  EXPECT_TRUE(r.m.ips.contains(p));
}

TEST(update, string_mode_still_leaves_the_grid) {
  rig r;
  r.lines({"A "});
  ip& p = r.put(1, 0, UP);
  p.printing = 1;
  update(r.m, p);
  EXPECT_FALSE(r.m.ips.contains(p));
  EXPECT_EQ(r.output(), "");
}

TEST(update, string_mode_prints_low_bytes_up_to_a_zero) {
  rig r;
  r.lines({std::string("\"\xe9\0x", 4) + " "});
  ip& p = r.put(0, 0, RIGHT);
  for (int i = 0; i < 4; ++i)
    update(r.m, p);
  EXPECT_EQ(r.output(), "\xe9x");
  EXPECT_TRUE(r.m.ips.contains(p)); // the "x" was printed, not run
}

// ---- hold ----

TEST(update, hold_executes_three_times_and_moves_on_the_third_step_after) {
  rig r;
  r.lines({"8+ "});
  ip& p = r.put(0, 0, RIGHT);
  update(r.m, p); // step k: reaches the "8"
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.wait, 3);
  update(r.m, p); // k + 1: holds, runs the "8" again (no effect)
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.wait, 2);
  update(r.m, p); // k + 2
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.wait, 1);
  update(r.m, p); // k + 3: moves onto "+"
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.wait, 0);
  EXPECT_EQ(p.val[0], 1);
}

TEST(update, held_pointer_runs_its_cell_again) {
  rig r;
  r.lines({"+  "});
  ip& p = r.put(1, 0, RIGHT);
  p.wait = 2;
  update(r.m, p);
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.val[0], 1);
  update(r.m, p);
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.val[0], 1);
}

TEST(update, step_clears_the_newborn_mark) {
  rig r;
  r.lines({"   "});
  ip& p = r.put(0, 0, RIGHT);
  EXPECT_EQ(p.n, 1);
  update(r.m, p);
  EXPECT_EQ(p.n, 0);
}

// ---- halt ----

TEST(update, halt_clears_the_list_and_sets_halted) {
  rig r;
  r.put(1, 0, DOWN);
  ip& p = steponto(r, u'@', RIGHT);
  EXPECT_EQ(r.m.ips.count(), 0u);
  EXPECT_EQ(r.m.halted, 1);
  EXPECT_FALSE(r.m.ips.contains(p));
}

} // namespace
} // namespace tarvex
