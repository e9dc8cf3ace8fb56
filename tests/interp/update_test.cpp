// One pointer step: every instruction, the grid edges, line growth, string mode, the hold.
#include "interp/update.h"

#include <gtest/gtest.h>

#include "runtime/faultnames.h"
#include "tests/support/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

using grid = std::vector<std::string>;

// `cell` at (2, 1) with 'a' above, 'b' below, 'c' left and 'e' right of it.
grid around(char cell) {
  return {" a ", std::string("c") + cell + "e", " b "};
}

// The current and the other register before and after a pointer steps right onto `cell`
// (":" reads the line "300"). Each row runs with either register as the current one.
TEST(update, registers_change_as_the_instruction_says) {
  const std::tuple<char, int, int, int, int> rows[] = {
      {'+', 255, 7, 0, 7},      {'-', 0, 7, 255, 7}, {'\'', 3, 5, 254, 5}, {'t', 16, 16, 0, 16},
      {'*', 200, 100, 44, 100}, {'d', 7, 2, 3, 2},   {'M', 7, 2, 1, 2},    {'=', 9, 4, 9, 9},
      {'0', 9, 4, 0, 4},        {'&', 0, 9, 0, 9},   {'&', 5, 9, 9, 9},    {'|', 0, 9, 9, 9},
      {'|', 5, 9, 5, 9},        {'X', 0, 1, 1, 1},   {'X', 1, 0, 1, 0},    {'X', 1, 1, 0, 1},
      {'X', 2, 0, 0, 0},        {':', 9, 9, 44, 9},  {'d', 7, 0, 7, 0},    {'M', 7, 0, 7, 0}};
  for (auto [cell, current, other, newcurrent, newother] : rows)
    for (int on : {0, 1}) {
      rig r("300\n");
      r.lines(around(cell));
      ip& p = r.put(at(1, 1, RIGHT));
      p.on = uint8_t(on), p.val[on] = uint8_t(current), p.val[1 - on] = uint8_t(other);
      update(r.m, p);
      EXPECT_EQ(std::pair(int(p.val[on]), int(p.val[1 - on])), std::pair(newcurrent, newother))
          << cell << " " << current << "," << other << " current " << on;
      // A zero divisor is a fault, raised before any register changes.
      EXPECT_EQ(r.m.fault,
                other == 0 && (cell == 'd' || cell == 'M') ? faultcode::INT_DIVIDE_BY_ZERO : 0u);
    }
}

// A pointer `from` a cell, `steps` steps on: the pointer, whether it is still listed, what it
// printed, and line 0's length when it grew. "J" and "j" shift sideways and "$" jumps, and the
// cell reached runs next step; only below the grid is fatal at once. Columns 0 and maxlen are
// inside the grid. Exchanges load from one side (and queue a write on the other side).
TEST(update, pointers_move_jump_leave_exchange_and_print_as_the_cells_say) {
  const grid edges = {"+++", "++++++", "+++"}, shortline = {"ab ", "abcdefghi "};
  struct walk {
    grid lines;
    ip from;
    int steps;
    ip to;
    bool listed = true;
    std::string printed = "";
    size_t grown = 0;
    bool quoting = false; // still in string mode
  } walks[] = {
      {{"J+", "  "}, at(1, 1, UP, 1), 1, at(2, 0, UP, 1)},
      {{"J"}, at(1, -1, DOWN, 1), 1, at(0, 0, DOWN, 1)},
      {{"J"}, at(2, 0, LEFT, 1), 1, at(1, 1, LEFT, 1), false},
      {{"J"}, at(0, 0, RIGHT, 1), 1, at(1, -1, RIGHT, 1)},
      {{"J"}, at(0, 0, RIGHT), 1, at(1, 0, RIGHT)},
      {{"j"}, at(0, 0, RIGHT), 1, at(1, -1, RIGHT)},
      {{"j"}, at(0, 0, RIGHT, 5), 1, at(1, 0, RIGHT, 5)},
      {{"$"}, at(0, 0, RIGHT, 3, 200), 1, at(3, 200, RIGHT, 3, 200), false},
      {{"$", " "}, at(0, 0, RIGHT, 200, 1), 1, at(200, 1, RIGHT, 200, 1)},
      {edges, at(1, 0, UP), 1, at(1, -1, UP), false},
      {edges, at(1, 2, DOWN), 1, at(1, 3, DOWN), false},
      {edges, at(1, 1, LEFT, 5), 1, at(0, 1, LEFT, 5)},
      {edges, at(0, 1, LEFT), 1, at(-1, 1, LEFT), false},
      {edges, at(5, 1, RIGHT), 1, at(6, 1, RIGHT, 1)},
      {edges, at(6, 1, RIGHT), 1, at(7, 1, RIGHT), false},
      // Beyond a short line two spaces are added, once a step, however far out.
      {shortline, at(3, 0, RIGHT), 3, at(6, 0, RIGHT), true, "", 7},
      {shortline, at(8, 0, RIGHT), 1, at(9, 0, RIGHT), true, "", 5},
      // String mode prints nothing at column 0, where there is no cell.
      {{"\" "}, at(2, 0, LEFT), 2, at(0, 0, LEFT), true, "", 0, true},
      {{"@+"}, at(0, 0, RIGHT), 1, at(1, 0, RIGHT), false},
      {around('n'), at(2, 0, DOWN, 65), 1, at(2, 1, DOWN, 'b')},
      {around('u'), at(2, 0, DOWN, 65), 1, at(2, 1, DOWN, 'a')},
      {around('('), at(2, 0, DOWN, 65), 1, at(2, 1, DOWN, 'e')}, // the line's last column
      {{"u"}, at(0, 0, RIGHT, 65), 1, at(1, 0, RIGHT, ' ')},     // above the grid reads a space
      // "`" toggles whether an exchange removes the pointer.
      {{"`) "}, at(0, 0, RIGHT), 2, at(2, 0, RIGHT, '`'), false},
      {{"``) "}, at(0, 0, RIGHT), 3, at(3, 0, RIGHT, '`')},
  };
  for (const walk& w : walks) {
    SCOPED_TRACE(w.lines[0] + " from " + ::testing::PrintToString(fields(w.from)));
    rig r;
    r.lines(w.lines);
    ip& p = r.put(w.from);
    for (int i = 0; i < w.steps; ++i)
      update(r.m, p);
    auto seen = [](const ip& q) {
      return std::tuple(q.x, q.y, "UDLR"[q.dir], +q.val[0], +q.val[1]);
    };
    EXPECT_EQ(std::tuple(seen(p), r.m.ips.contains(p), r.output(), r.m.grid.lines[0].size(),
                         p.printing != 0),
              std::tuple(seen(w.to), w.listed, w.printed, w.grown ? w.grown : w.lines[0].size(),
                         w.quoting));
  }
}

// The direction after arriving moving up, down, left and right ('-': removed), with current 0
// and then 1; mirrors also queue their own flip, and "#" starts newborn copies heading every
// way but back, in the order up, down, left, right.
TEST(update, turns_keeps_removes_or_splits_by_direction_and_current) {
  const std::pair<char, const char*> turns[] = {
      {'>', "RRRR RRRR"}, {'<', "LLLL LLLL"},  {'^', "UUUU UUUU"}, {'v', "DDDD DDDD"},
      {'/', "RLDU RLDU"}, {'\\', "LRUD LRUD"}, {'O', "LRUD LRUD"}, {'o', "RLDU RLDU"},
      {'N', "UDRL UDRL"}, {'Z', "DULR DULR"},  {'I', "DURL DURL"}, {'U', "UDLR UUUU"},
      {'D', "UDLR DDDD"}, {'L', "UDLR LLLL"},  {'R', "UDLR RRRR"}, {'x', "---- ----"},
      {'?', "---- UDLR"}, {'!', "UDLR ----"},  {'}', "UDL- UDL-"}, {'{', "UD-R UD-R"},
      {'#', "---- ----"}};
  for (auto [cell, dirs] : turns)
    for (uint8_t current : {uint8_t{0}, uint8_t{1}})
      for (int32_t dir : {UP, DOWN, LEFT, RIGHT}) {
        SCOPED_TRACE(std::string(1, cell) + " arriving " + "UDLR"[dir] + " with current " +
                     std::to_string(current));
        rig r;
        r.lines(around(cell));
        ip from = at(2 - DX[dir], 1 - DY[dir], dir, current, 7);
        from.on = 1, from.remafter = 1;
        ip& p = r.put(from);
        std::swap(p.val[0], p.val[1]);
        update(r.m, p);
        EXPECT_EQ(r.m.ips.contains(p) ? "UDLR"[p.dir] : '-', dirs[current * 5 + dir]);
        std::string queued, copies;
        r.m.writes.each([&](const buf& w) { queued += lowbytes(Text(1, w.code)); });
        EXPECT_EQ(queued, cell == '/' ? "\\" : cell == '\\' ? "/" : "");
        ip copy = from;
        copy.x = 2, copy.y = 1, copy.val[0] = 7, copy.val[1] = current;
        r.m.ips.each([&](const ip& c) {
          if (&c == &p) return;
          copies += "UDLR"[c.dir];
          copy.dir = c.dir;
          EXPECT_EQ(fields(c), fields(copy));
        });
        EXPECT_EQ(copies, cell == '#' ? std::string("UDLR").erase(size_t(dir ^ 1), 1) : "");
      }
}
