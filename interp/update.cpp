// The pointer step and the instruction set.
#include "interp/update.h"

#include "interp/spread.h"
#include "interp/writes.h"
#include "runtime/console.h"
#include "runtime/faultnames.h"
#include "runtime/numtext.h"

namespace tarvex {

namespace {

// The two mirror shapes; "/" and "o" turn as slash, the backslash and "O" as backslash.
constexpr uint8_t slashturn[4] = {RIGHT, LEFT, DOWN, UP};
constexpr uint8_t backslashturn[4] = {LEFT, RIGHT, UP, DOWN};

void move(ip& p, int32_t dir) {
  p.x += DX[dir & 3];
  p.y += DY[dir & 3];
}

// "J" and "j": one cell sideways without turning, the way a slash mirror would send it.
void shift(ip& p) {
  move(p, slashturn[p.dir & 3]);
}

// The four exchanges: write current at one neighbour, load current from the opposite one.
void exchange(machine& m, ip& p, int64_t writex, int64_t writey, int64_t readx, int64_t ready) {
  uint8_t& current = p.val[p.on];
  queuewrite(m, writex, writey, current);
  current = readcell(m.grid, readx, ready);
  if (p.remafter) m.ips.remove(p);
}

// A faulting instruction changes nothing; the pass stops at it and the host reports it.
void fault(machine& m, uint32_t code) {
  m.fault = code;
}

uint8_t byte(int value) {
  return static_cast<uint8_t>(value & 0xFF);
}

uint8_t& current(ip& p) {
  return p.val[p.on];
}
uint8_t& other(ip& p) {
  return p.val[1 - p.on];
}

// What a cell does to the pointer that lands on it.
using instruction = void (*)(machine& m, ip& p);
// What a cell does when it changes nothing but the pointer itself; true when the pointer
// leaves the list. These are the steps a parallel pass may take on its own.
using owninstruction = bool (*)(ip& p);

// The instruction set, indexed by the character code. A cell with no instruction only turns
// the pointer by `turn` (most leave it as it is), which skips the indirect call that pointers
// crossing mixed cells mispredict nearly every step. All three come from this one table, so a
// character is an instruction that acts on the run, one that acts on its pointer alone, or a
// turn, and only one of them.
struct instructionset {
  instruction act[256] = {};
  owninstruction own[256] = {};
  uint8_t turn[256][4] = {};
};

constexpr instructionset makeinstructions() {
  instructionset s;
  for (int c = 0; c < 256; ++c)
    for (uint8_t d = 0; d < 4; ++d)
      s.turn[c][d] = d;
  auto act = [&s](char c, instruction f) { s.act[static_cast<unsigned char>(c)] = f; };
  auto own = [&s](char c, owninstruction f) { s.own[static_cast<unsigned char>(c)] = f; };
  auto turn = [&s](char c, const uint8_t(&to)[4]) {
    for (int32_t d = 0; d < 4; ++d)
      s.turn[static_cast<unsigned char>(c)][d] = to[d];
  };
  own('x', [](ip&) { return true; });
  act('#', [](machine& m, ip& p) { // split: three children, never back
    m.ips.remove(p);
    spread(m, p.x, p.y, p.dir, p.val[0], p.val[1], p.on, p.remafter);
  });
  act(';', [](machine& m, ip&) { m.con->printline(u""); }); // end of line
  own('"', [](ip& p) { return p.printing = 1, false; });    // string mode
  act('@', [](machine& m, ip&) {                            // halt
    m.ips.clear();
    m.halted = 1;
  });
  own('+', [](ip& p) { return current(p) = byte(current(p) + 1), false; });
  own('-', [](ip& p) { return current(p) = byte(current(p) - 1), false; });
  own('$', [](ip& p) { // jump; the cell reached runs next step
    p.x = current(p);
    p.y = other(p);
    return false;
  });
  own('t', [](ip& p) { return current(p) = byte(current(p) * other(p)), false; });
  act('d', [](machine& m, ip& p) { // quotient; a zero divisor is a fault before any change
    if (other(p) == 0) return fault(m, faultcode::INT_DIVIDE_BY_ZERO);
    current(p) = byte(current(p) / other(p));
  });
  own('*', [](ip& p) { return current(p) = byte(current(p) + other(p)), false; });
  own('\'', [](ip& p) { return current(p) = byte(current(p) - other(p)), false; });
  act('M', [](machine& m, ip& p) { // remainder
    if (other(p) == 0) return fault(m, faultcode::INT_DIVIDE_BY_ZERO);
    current(p) = byte(current(p) % other(p));
  });
  own('=', [](ip& p) { return other(p) = current(p), false; });
  own('0', [](ip& p) { return current(p) = 0, false; });
  own('~', [](ip& p) { return p.on = p.on == 0 ? 1 : 0, false; }); // swap registers
  own('&', [](ip& p) {                                             // and: non-zero takes other
    if (current(p) != 0) current(p) = other(p);
    return false;
  });
  own('|', [](ip& p) { // or: zero takes other
    if (current(p) == 0) current(p) = other(p);
    return false;
  });
  own('X', [](ip& p) { // exclusive or of 0 and 1
    current(p) = (current(p) == 0 && other(p) == 1) || (current(p) == 1 && other(p) == 0) ? 1 : 0;
    return false;
  });
  own('`', [](ip& p) { return p.remafter = p.remafter == 0 ? 1 : 0, false; });     // remove-after
  act('n', [](machine& m, ip& p) { exchange(m, p, p.x, p.y - 1, p.x, p.y + 1); }); // up, down
  act('u', [](machine& m, ip& p) { exchange(m, p, p.x, p.y + 1, p.x, p.y - 1); }); // down, up
  act('(', [](machine& m, ip& p) { exchange(m, p, p.x - 1, p.y, p.x + 1, p.y); }); // left, right
  act(')', [](machine& m, ip& p) { exchange(m, p, p.x + 1, p.y, p.x - 1, p.y); }); // right, left
  act('.', [](machine& m, ip& p) { m.con->consolewrite(decimaltext(current(p))); });
  act(',', [](machine& m, ip& p) { m.con->consolewrite(chartext(current(p))); });
  act(':', [](machine& m, ip& p) { current(p) = byte(toint(m.con->consoleread())); });
  own('?', [](ip& p) { return current(p) == 0; });
  own('!', [](ip& p) { return current(p) != 0; });
  own('}', [](ip& p) { return p.dir == RIGHT; });
  own('{', [](ip& p) { return p.dir == LEFT; });
  own('8', [](ip& p) { // hold for the next two steps
    if (p.wait == 0) p.wait = 3;
    return false;
  });
  own('J', [](ip& p) {
    if (current(p) != 0) shift(p);
    return false;
  });
  own('j', [](ip& p) {
    if (current(p) == 0) shift(p);
    return false;
  });
  act('/', [](machine& m, ip& p) { // mirror that flips at the end of the tick
    queuewrite(m, p.x, p.y, u'\\');
    p.dir = slashturn[p.dir & 3];
  });
  act('\\', [](machine& m, ip& p) {
    queuewrite(m, p.x, p.y, u'/');
    p.dir = backslashturn[p.dir & 3];
  });
  own('U', [](ip& p) {
    if (current(p) != 0) p.dir = UP;
    return false;
  });
  own('D', [](ip& p) {
    if (current(p) != 0) p.dir = DOWN;
    return false;
  });
  own('L', [](ip& p) {
    if (current(p) != 0) p.dir = LEFT;
    return false;
  });
  own('R', [](ip& p) {
    if (current(p) != 0) p.dir = RIGHT;
    return false;
  });
  turn('o', slashturn); // fixed mirrors
  turn('O', backslashturn);
  turn('>', {RIGHT, RIGHT, RIGHT, RIGHT});
  turn('<', {LEFT, LEFT, LEFT, LEFT});
  turn('^', {UP, UP, UP, UP});
  turn('v', {DOWN, DOWN, DOWN, DOWN});
  turn('N', {UP, DOWN, RIGHT, LEFT}); // reverse if horizontal
  turn('Z', {DOWN, UP, LEFT, RIGHT}); // reverse if vertical
  turn('I', {DOWN, UP, RIGHT, LEFT}); // reverse
  return s;
}

constexpr instructionset instructions = makeinstructions();

// The pass's fast path takes the turns from this table: the turn of a cell without an
// instruction, -1 for a cell with one.
constexpr detail::turntable maketurns() {
  detail::turntable t;
  for (int c = 0; c < 256; ++c)
    for (int d = 0; d < 4; ++d)
      t.turn[c][d] = static_cast<int8_t>(
          instructions.act[c] || instructions.own[c] ? -1 : instructions.turn[c][d]);
  return t;
}

} // namespace

constexpr detail::turntable detail::turns = maketurns();

ownstep detail::settle(const codegrid& grid, ip& p) {
  // Column 0 and column maxlen are still inside.
  if (p.y >= grid.linecount || p.y < 0 || p.x > grid.maxlen || p.x < 0) return ownstep::gone;
  const Text& line = grid.lines[static_cast<size_t>(p.y)];
  if (p.printing || p.x > static_cast<int64_t>(line.size())) return ownstep::shared;
  if (p.x == 0) return ownstep::kept; // the margin holds no cell
  const char16_t cell = line[static_cast<size_t>(p.x - 1)];
  if (cell >= 256) return ownstep::kept; // above 255 nothing acts
  if (instructions.act[cell]) return ownstep::shared;
  if (const owninstruction own = instructions.own[cell]) {
    if (own(p)) return ownstep::gone;
  } else if (static_cast<uint32_t>(p.dir) < 4) {
    p.dir = instructions.turn[cell][p.dir];
  }
  // "$" may have jumped below the last line; the other sides wait for the next step.
  return p.y >= grid.linecount ? ownstep::gone : ownstep::kept;
}

void detail::arrive(machine& m, ip& p) {
  codegrid& grid = m.grid;
  Text& line = grid.lines[static_cast<size_t>(p.y)];
  // A pointer beyond a short line lengthens it in place, once per step, however far out. The
  // cells that adds are blanks, where nothing acts.
  if (p.x > static_cast<int64_t>(line.size())) lengthen(grid, p.y);
  const bool hascell = p.x >= 1 && p.x <= static_cast<int64_t>(line.size());
  const char16_t cell = hascell ? line[static_cast<size_t>(p.x - 1)] : 0;
  if (p.printing) {
    if (hascell && cell == u'"')
      p.printing = 0; // the closing quote is consumed, not printed
    else if (hascell)
      m.con->consolewrite(Text(1, cell));
    return;
  }
  if (hascell && cell < 256)
    if (const instruction act = instructions.act[cell]) act(m, p);
}

bool readsinput(const machine& m, const ip& p) {
  // The same hold and move as update, without changing anything.
  const bool moves = !holds(p);
  const int64_t x = int64_t{p.x} + (moves ? DX[p.dir & 3] : 0);
  const int64_t y = int64_t{p.y} + (moves ? DY[p.dir & 3] : 0);
  if (p.printing || y < 0 || y >= m.grid.linecount || x < 1) return false;
  const codegrid::row line = m.grid.rows.rows[static_cast<size_t>(y)];
  return x <= line.size && line.at[x - 1] == u':';
}

} // namespace tarvex
