// One pointer step: every instruction, the grid edges, line growth, string mode, the hold.
#include "interp/update.h"

#include <gtest/gtest.h>

#include "runtime/faultnames.h"
#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

using grid = std::vector<std::string>;
const grid edges = {"+++", "++++++", "+++"}, shortline = {"ab ", "abcdefghi "};

// The instruction at (2, 1) with 'a' above, 'b' below, 'c' left and 'e' right of it.
auto C = [](char cell) { return grid{" a ", std::string("c") + cell + "e", " b "}; };

// Each row: a grid, the pointer before (as rig::put reads it), and after `steps` steps the
// pointer as describe gives it, then " gone", " +" and each other pointer, " halt", " Ly=N" for
// line y grown to length N, the queued writes and " >" the console output.
struct step {
  grid lines;
  const char *before, *after;
  int steps = 1;
  const char* input = "";
};

TEST(update, changes_pointer_grid_and_console_as_the_instruction_says) {
  const step steps[] = {
      // Registers wrap modulo 256; "on" picks the current one; "&", "|", "X" take whole values.
      step{C('+'), "1,1 R 255,7", "2,1 R 0,7"}, step{C('-'), "1,1 R 0,7", "2,1 R 255,7"},
      step{C('\''), "1,1 R 3,5", "2,1 R 254,5"}, step{C('t'), "1,1 R 16,16", "2,1 R 0,16"},
      step{C('*'), "1,1 R 200,100", "2,1 R 44,100"}, step{C('d'), "1,1 R 7,2", "2,1 R 3,2"},
      step{C('M'), "1,1 R 7,2", "2,1 R 1,2"}, step{C('='), "1,1 R 9,4 on", "2,1 R 4,4 on"},
      step{C('0'), "1,1 R 9,4 on", "2,1 R 9,0 on"}, step{C('~'), "1,1 R 9,4 on", "2,1 R 9,4"},
      step{{"~+"}, "0,0 R 10,20", "2,0 R 10,21 on", 2}, step{C('&'), "1,1 R 0,9", "2,1 R 0,9"},
      step{C('&'), "1,1 R 5,9", "2,1 R 9,9"}, step{C('|'), "1,1 R 0,9", "2,1 R 9,9"},
      step{C('|'), "1,1 R 5,9", "2,1 R 5,9"}, step{C('X'), "1,1 R 0,1", "2,1 R 1,1"},
      step{C('X'), "1,1 R 1,0", "2,1 R 1,0"}, step{C('X'), "1,1 R 1,1", "2,1 R 0,1"},
      step{C('X'), "1,1 R 2,0", "2,1 R 0,0"}, step{C('`'), "1,1 R", "2,1 R 0,0 r1"},
      step{C('`'), "1,1 R 0,0 r1", "2,1 R 0,0"},
      // Exchanges queue current at one neighbour and load the opposite one; ":" keeps the low
      // byte of a line's number, 0 at the end of input.
      step{C('n'), "2,0 D 65", "2,1 D 98,0 q2,0=A"}, step{C('u'), "2,0 D 65", "2,1 D 97,0 q2,2=A"},
      step{C('('), "2,0 D 65", "2,1 D 101,0 q1,1=A"}, step{C(')'), "2,0 D 65", "2,1 D 99,0 q3,1=A"},
      step{C('n'), "2,0 D 7,65 on r1", "2,1 D 7,98 on r1 gone q2,0=A"},
      step{C('.'), "1,1 R 255", "2,1 R 255,0 >255"}, step{C(','), "1,1 R 65", "2,1 R 65,0 >A"},
      step{C(';'), "1,1 R", "2,1 R 0,0 >\r\n"},
      step{{":~:"}, "0,0 R 9,9", "3,0 R 44,255 on", 3, "300\n-1\n"},
      step{{":~:"}, "0,0 R 9,9", "3,0 R 255,0 on", 3, "$ff\n\n"},
      step{{":"}, "0,0 R 9", "1,0 R 0,0"}, step{C('@'), "1,1 R", "2,1 R 0,0 gone halt"},
      // "#" makes newborn copies on its cell, in the order U, D, L, R, never heading back.
      step{C('#'), "3,1 L 6,7 on r1",
           "2,1 L 6,7 on r1 gone +2,1 U 6,7 on new r1 +2,1 D 6,7 on new r1 +2,1 L 6,7 on new r1"},
      step{C('#'), "2,2 U", "2,1 U 0,0 gone +2,1 U 0,0 new +2,1 L 0,0 new +2,1 R 0,0 new"},
      step{C('#'), "2,0 D", "2,1 D 0,0 gone +2,1 D 0,0 new +2,1 L 0,0 new +2,1 R 0,0 new"},
      step{C('#'), "1,1 R", "2,1 R 0,0 gone +2,1 U 0,0 new +2,1 D 0,0 new +2,1 R 0,0 new"},
      // "J" and "j" shift sideways, "$" jumps; the cell reached runs next step. Only below the
      // grid is fatal at once; right of it, the next move removes.
      step{{"J+", "  "}, "1,1 U 1,0", "2,0 U 1,0"}, step{{"J"}, "1,-1 D 1,0", "0,0 D 1,0"},
      step{{"J"}, "2,0 L 1,0", "1,1 L 1,0 gone"}, step{{"J"}, "0,0 R 1,0", "1,-1 R 1,0"},
      step{{"J"}, "0,0 R 0,0", "1,0 R 0,0"}, step{{"j"}, "0,0 R 0,0", "1,-1 R 0,0"},
      step{{"j"}, "0,0 R 5,0", "1,0 R 5,0"}, step{{"$++++", "$++++"}, "0,0 R 4,1", "5,1 R 5,1", 2},
      step{{"$"}, "0,0 R 3,200", "3,200 R 3,200 gone"},
      step{{"$", " "}, "0,0 R 200,1", "200,1 R 200,1"},
      // Column 0 and column maxlen are inside, and a pointer that leaves runs nothing; beyond a
      // short line two spaces are added, once per step, however far out.
      step{edges, "1,0 U", "1,-1 U 0,0 gone"}, step{edges, "1,2 D", "1,3 D 0,0 gone"},
      step{edges, "1,1 L 5,0", "0,1 L 5,0"}, step{edges, "0,1 L", "-1,1 L 0,0 gone"},
      step{edges, "5,1 R", "6,1 R 1,0"}, step{edges, "6,1 R", "7,1 R 0,0 gone"},
      step{shortline, "3,0 R", "6,0 R 0,0 L0=7", 3}, step{shortline, "8,0 R", "9,0 R 0,0 L0=5"},
      // String mode consumes the closing quote and prints nothing at column 0. The hold keeps a
      // pointer on the "8" for two more steps, and a held pointer runs its cell again.
      step{{"\"A. ;\"+"}, "0,0 R", "7,0 R 1,0 >A. ;", 7}, step{{"\" "}, "2,0 L", "0,0 L 0,0 s", 2},
      step{{"8+"}, "0,0 R", "2,0 R 1,0", 4}, step{{"++"}, "1,0 R 0,0 w2", "2,0 R 2,0", 2}};
  for (const step& c : steps) {
    rig r(c.input);
    r.lines(c.lines);
    ip& p = r.put(c.before);
    for (int i = 0; i < c.steps; ++i)
      update(r.m, p);
    std::string after = describe(p) + (r.m.ips.contains(p) ? "" : " gone");
    r.m.ips.each([&](const ip& other) { after += &other == &p ? "" : " +" + describe(other); });
    after += r.m.halted ? " halt" : "";
    for (size_t y = 0; y < c.lines.size(); ++y)
      if (r.line(y) != c.lines[y])
        after += " L" + std::to_string(y) + "=" + std::to_string(r.line(y).size());
    after += queued(r.m) + (r.output().empty() ? "" : " >" + r.output());
    EXPECT_EQ(after, c.after) << c.lines[c.lines.size() / 2] << " from " << c.before;
  }
}

// The direction after arriving moving up, down, left and right ('-': removed), with current 0
// and then 1; mirrors also queue their own flip.
TEST(update, turns_keeps_or_removes_by_direction_and_current) {
  const std::pair<char, const char*> turns[] = {
      {'>', "RRRR RRRR"}, {'<', "LLLL LLLL"},  {'^', "UUUU UUUU"}, {'v', "DDDD DDDD"},
      {'/', "RLDU RLDU"}, {'\\', "LRUD LRUD"}, {'O', "LRUD LRUD"}, {'o', "RLDU RLDU"},
      {'N', "UDRL UDRL"}, {'Z', "DULR DULR"},  {'I', "DURL DURL"}, {'U', "UDLR UUUU"},
      {'D', "UDLR DDDD"}, {'L', "UDLR LLLL"},  {'R', "UDLR RRRR"}, {'x', "---- ----"},
      {'?', "---- UDLR"}, {'!', "UDLR ----"},  {'}', "UDL- UDL-"}, {'{', "UD-R UD-R"}};
  for (auto [cell, dirs] : turns)
    for (int current : {0, 1})
      for (int dir : {UP, DOWN, LEFT, RIGHT}) {
        rig r;
        r.lines(C(cell));
        static const std::string from[4] = {"2,2 U ", "2,0 D ", "3,1 L ", "1,1 R "};
        ip& p = r.put(from[dir] + std::to_string(current) + ",0");
        update(r.m, p);
        EXPECT_EQ(r.m.ips.contains(p) ? "UDLR"[p.dir] : '-', dirs[current * 5 + dir])
            << cell << " " << from[dir] << current;
        EXPECT_EQ(queued(r.m), cell == '/' ? " q2,1=\\" : cell == '\\' ? " q2,1=/" : "") << cell;
      }
}

TEST(update, a_zero_divisor_is_a_fault_that_changes_no_register) {
  for (char op : {'d', 'M'}) {
    rig r;
    r.lines(C(op));
    ip& p = r.put("1,1 R 7,0");
    update(r.m, p);
    EXPECT_EQ(r.m.fault, faultcode::INT_DIVIDE_BY_ZERO) << op;
    EXPECT_EQ(describe(p), "2,1 R 7,0") << op;
  }
}
