// One pointer step: every instruction, the edges of the grid, line growth, string mode and
// the hold, each as a row: a grid, the pointer before, what follows, the number of steps.
#include "interp/update.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

using grid = std::vector<std::string>;
const grid edges = {"+++", "++++++", "+++"}, shortline = {"ab ", "abcdefghi "};

// The instruction at (2, 1) with 'a' above, 'b' below, 'c' left and 'e' right of it.
grid C(char cell) {
  return {" a ", std::string("c") + cell + "e", " b "};
}

struct step {
  grid lines;
  const char* before; // as rig::put reads it
  // The pointer as describe gives it, " gone", " +N" other pointers, " halt", " Ly=N" for
  // line y grown to length N, the queued writes, and " >" the console output.
  const char* after;
  int steps = 1;
  const char* input = "";
};

class stepping : public ::testing::TestWithParam<step> {};

TEST_P(stepping, changes_pointer_grid_and_console_as_the_instruction_says) {
  const step& c = GetParam();
  rig r(c.input);
  r.lines(c.lines);
  ip& p = r.put(c.before);
  for (int i = 0; i < c.steps; ++i)
    update(r.m, p);
  std::string after = describe(p) + (r.m.ips.contains(p) ? "" : " gone");
  if (size_t others = r.m.ips.count() - r.m.ips.contains(p)) after += " +" + std::to_string(others);
  if (r.m.halted) after += " halt";
  for (size_t y = 0; y < c.lines.size(); ++y)
    if (r.line(y) != c.lines[y])
      after += " L" + std::to_string(y) + "=" + std::to_string(r.line(y).size());
  after += queued(r.m) + (r.output().empty() ? "" : " >" + r.output());
  EXPECT_EQ(after, c.after) << c.lines[0] << " from " << c.before;
}

INSTANTIATE_TEST_SUITE_P(
    update, stepping,
    ::testing::Values(
        // Registers wrap modulo 256; "on" picks the current one.
        step{C('+'), "1,1 R 255,7", "2,1 R 0,7"}, step{C('-'), "1,1 R 0,7", "2,1 R 255,7"},
        step{C('\''), "1,1 R 3,5", "2,1 R 254,5"}, step{C('t'), "1,1 R 16,16", "2,1 R 0,16"},
        step{C('*'), "1,1 R 200,100", "2,1 R 44,100"}, step{C('d'), "1,1 R 7,2", "2,1 R 3,2"},
        step{C('d'), "1,1 R 2,7", "2,1 R 0,7"}, step{C('M'), "1,1 R 7,2", "2,1 R 1,2"},
        step{C('='), "1,1 R 9,4 on", "2,1 R 4,4 on"}, step{C('0'), "1,1 R 9,4 on", "2,1 R 9,0 on"},
        step{C('~'), "1,1 R 9,4", "2,1 R 9,4 on"}, step{{"~+"}, "0,0 R 10,20", "2,0 R 10,21 on", 2},
        step{C('&'), "1,1 R 0,9", "2,1 R 0,9"}, step{C('&'), "1,1 R 5,9", "2,1 R 9,9"},
        step{C('|'), "1,1 R 0,9", "2,1 R 9,9"}, step{C('|'), "1,1 R 5,9", "2,1 R 5,9"},
        // "X" on whole values, not bits.
        step{C('X'), "1,1 R 0,1", "2,1 R 1,1"}, step{C('X'), "1,1 R 1,1", "2,1 R 0,1"},
        step{C('X'), "1,1 R 2,0", "2,1 R 0,0"}, step{C('X'), "1,1 R 1,2", "2,1 R 0,2"},
        step{C('`'), "1,1 R", "2,1 R 0,0 r1"}, step{C('`'), "1,1 R 0,0 r1", "2,1 R 0,0"},
        // Exchanges queue current at one neighbour and load the opposite one.
        step{C('n'), "2,0 D 65", "2,1 D 98,0 q2,0=A"},
        step{C('u'), "2,0 D 65", "2,1 D 97,0 q2,2=A"},
        step{C('('), "2,0 D 65", "2,1 D 101,0 q1,1=A"},
        step{C(')'), "2,0 D 65", "2,1 D 99,0 q3,1=A"},
        step{C('n'), "2,0 D 7,65 on r1", "2,1 D 7,98 on r1 gone q2,0=A"},
        // Console: ".", ",", ";", and ":" storing the low byte of a line's number (0 at the end).
        step{C('.'), "1,1 R 255", "2,1 R 255,0 >255"}, step{C(','), "1,1 R 65", "2,1 R 65,0 >A"},
        step{C(';'), "1,1 R", "2,1 R 0,0 >\r\n"},
        step{{":~:"}, "0,0 R 9,9", "3,0 R 44,255 on", 3, "300\n-1\n"},
        step{{":~:"}, "0,0 R 9,9", "3,0 R 255,0 on", 3, "$ff\n\n"},
        step{{":"}, "0,0 R 9", "1,0 R 0,0", 1, ""},
        step{C('#'), "3,1 L 6,7 on r1", "2,1 L 6,7 on r1 gone +3"},
        step{C('@'), "1,1 R", "2,1 R 0,0 gone halt"},
        // "J" and "j" shift sideways (that cell runs next step); only below the grid is fatal.
        step{{"J+", "  "}, "1,1 U 1,0", "2,0 U 1,0"}, step{{"J"}, "1,-1 D 1,0", "0,0 D 1,0"},
        step{{"J"}, "2,0 L 1,0", "1,1 L 1,0 gone"}, step{{"J"}, "0,0 R 1,0", "1,-1 R 1,0"},
        step{{"J"}, "0,0 R 0,0", "1,0 R 0,0"}, step{{"j"}, "0,0 R 0,0", "1,-1 R 0,0"},
        step{{"j"}, "0,0 R 5,0", "1,0 R 5,0"},
        // "$" lands unexecuted; below the grid it goes at once, right of it with its next move.
        step{{"$++++", "$++++"}, "0,0 R 4,1", "5,1 R 5,1", 2},
        step{{"$"}, "0,0 R 3,200", "3,200 R 3,200 gone"},
        step{{"$", " "}, "0,0 R 200,1", "200,1 R 200,1"},
        // Edges: column 0 and column maxlen are inside; a pointer that leaves runs nothing.
        step{edges, "1,0 U", "1,-1 U 0,0 gone"}, step{edges, "1,2 D", "1,3 D 0,0 gone"},
        step{edges, "1,1 L 5,0", "0,1 L 5,0"}, step{edges, "0,1 L", "-1,1 L 0,0 gone"},
        step{edges, "5,1 R", "6,1 R 1,0"}, step{edges, "6,1 R", "7,1 R 0,0 gone"},
        // Beyond a short line: two spaces, once per step, however far out.
        step{shortline, "3,0 R", "4,0 R 0,0 L0=5"}, step{shortline, "3,0 R", "6,0 R 0,0 L0=7", 3},
        step{shortline, "8,0 R", "9,0 R 0,0 L0=5"},
        // String mode prints, consumes the closing quote, prints nothing at column 0.
        step{{"\"A. ;\"+"}, "0,0 R", "7,0 R 1,0 >A. ;", 7},
        step{{"\" "}, "2,0 L", "0,0 L 0,0 s", 2},
        // Hold: on the "8" through two more steps, moves on the third; a held cell runs again.
        step{{"8+"}, "0,0 R", "1,0 R 0,0 w1", 3}, step{{"8+"}, "0,0 R", "2,0 R 1,0", 4},
        step{{"++"}, "1,0 R 0,0 w2", "2,0 R 2,0", 2}));

// The direction after arriving moving up, down, left and right ('-': removed) with current 0
// and with current 1, and the flip a mirror queues on its own cell.
struct turn {
  char cell;
  const char *with0, *with1, *write = "";
};

class turning : public ::testing::TestWithParam<turn> {};

TEST_P(turning, sets_or_keeps_the_direction_or_removes) {
  const turn& c = GetParam();
  for (int current : {0, 1})
    for (int dir : {UP, DOWN, LEFT, RIGHT}) {
      rig r;
      r.lines(C(c.cell));
      static const std::string from[4] = {"2,2 U ", "2,0 D ", "3,1 L ", "1,1 R "};
      ip& p = r.put(from[dir] + std::to_string(current) + ",0");
      update(r.m, p);
      EXPECT_EQ(r.m.ips.contains(p) ? "UDLR"[p.dir] : '-', (current ? c.with1 : c.with0)[dir])
          << c.cell << " " << from[dir] << current;
      EXPECT_EQ(queued(r.m), c.write);
    }
}

INSTANTIATE_TEST_SUITE_P(
    update, turning,
    ::testing::Values(
        // Turns, mirrors (which queue their own flip), removals.
        turn{'>', "RRRR", "RRRR"}, turn{'<', "LLLL", "LLLL"}, turn{'^', "UUUU", "UUUU"},
        turn{'v', "DDDD", "DDDD"}, turn{'/', "RLDU", "RLDU", " q2,1=\\"},
        turn{'\\', "LRUD", "LRUD", " q2,1=/"}, turn{'O', "LRUD", "LRUD"}, turn{'o', "RLDU", "RLDU"},
        turn{'N', "UDRL", "UDRL"}, turn{'Z', "DULR", "DULR"}, turn{'I', "DURL", "DURL"},
        turn{'U', "UDLR", "UUUU"}, turn{'D', "UDLR", "DDDD"}, turn{'L', "UDLR", "LLLL"},
        turn{'R', "UDLR", "RRRR"}, turn{'x', "----", "----"}, turn{'?', "----", "UDLR"},
        turn{'!', "UDLR", "----"}, turn{'}', "UDL-", "UDL-"}, turn{'{', "UD-R", "UD-R"},
        turn{' ', "UDLR", "UDLR"}, turn{'%', "UDLR", "UDLR"}));

TEST(update, division_by_zero_is_a_fault_named_on_stderr) {
  for (char cell : {'d', 'M'}) {
    rig r;
    r.lines(C(cell));
    EXPECT_EXIT(update(r.m, r.put("1,1 R 7,0")), ::testing::ExitedWithCode(2),
                "EXCEPTION_INT_DIVIDE_BY_ZERO");
  }
}

} // namespace
