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
constexpr int32_t slashturn[4] = {RIGHT, LEFT, DOWN, UP};
constexpr int32_t backslashturn[4] = {LEFT, RIGHT, UP, DOWN};

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

void execute(machine& m, ip& p, char16_t cell) {
  uint8_t& current = p.val[p.on];
  uint8_t& other = p.val[1 - p.on];
  const int64_t x = p.x;
  const int64_t y = p.y;
  switch (cell) {
  case u'x': m.ips.remove(p); break; // remove
  case u'#':                         // split: three children, never back
    m.ips.remove(p);
    spread(m, p.x, p.y, p.dir, p.val[0], p.val[1], p.on, p.remafter);
    break;
  case u';': m.con->printline(u""); break; // end of line
  case u'"': p.printing = 1; break;        // string mode
  case u'@':                               // halt
    m.ips.clear();
    m.halted = 1;
    break;
  case u'+': current = byte(current + 1); break;
  case u'-': current = byte(current - 1); break;
  case u'$': // jump; the cell reached runs next step
    p.x = current;
    p.y = other;
    break;
  case u't': current = byte(current * other); break;
  case u'd': // quotient; a zero divisor is a fault before any register changes
    if (other == 0) return fault(m, faultcode::INT_DIVIDE_BY_ZERO);
    current = byte(current / other);
    break;
  case u'*': current = byte(current + other); break;
  case u'\'': current = byte(current - other); break;
  case u'M': // remainder
    if (other == 0) return fault(m, faultcode::INT_DIVIDE_BY_ZERO);
    current = byte(current % other);
    break;
  case u'=': other = current; break;
  case u'0': current = 0; break;
  case u'~': p.on = p.on == 0 ? 1 : 0; break; // swap registers
  case u'&':                                  // and: non-zero takes other
    if (current != 0) current = other;
    break;
  case u'|': // or: zero takes other
    if (current == 0) current = other;
    break;
  case u'X': // exclusive or of 0 and 1
    current = (current == 0 && other == 1) || (current == 1 && other == 0) ? 1 : 0;
    break;
  case u'`': p.remafter = p.remafter == 0 ? 1 : 0; break; // toggle remove-after
  case u'n': exchange(m, p, x, y - 1, x, y + 1); break;   // write up, read down
  case u'u': exchange(m, p, x, y + 1, x, y - 1); break;   // write down, read up
  case u'(': exchange(m, p, x - 1, y, x + 1, y); break;   // write left, read right
  case u')': exchange(m, p, x + 1, y, x - 1, y); break;   // write right, read left
  case u'.': m.con->consolewrite(decimaltext(current)); break;
  case u',': m.con->consolewrite(chartext(current)); break;
  case u':': current = byte(toint(m.con->consoleread())); break;
  case u'>': p.dir = RIGHT; break;
  case u'<': p.dir = LEFT; break;
  case u'^': p.dir = UP; break;
  case u'v': p.dir = DOWN; break;
  case u'?':
    if (current == 0) m.ips.remove(p);
    break;
  case u'!':
    if (current != 0) m.ips.remove(p);
    break;
  case u'}':
    if (p.dir == RIGHT) m.ips.remove(p);
    break;
  case u'{':
    if (p.dir == LEFT) m.ips.remove(p);
    break;
  case u'8': // hold for the next two steps
    if (p.wait == 0) p.wait = 3;
    break;
  case u'J':
    if (current != 0) shift(p);
    break;
  case u'j':
    if (current == 0) shift(p);
    break;
  case u'/': // mirror that flips at the end of the tick
    queuewrite(m, x, y, u'\\');
    p.dir = slashturn[p.dir];
    break;
  case u'\\':
    queuewrite(m, x, y, u'/');
    p.dir = backslashturn[p.dir];
    break;
  case u'O': p.dir = backslashturn[p.dir]; break; // fixed mirrors
  case u'o': p.dir = slashturn[p.dir]; break;
  case u'N': // reverse if horizontal
    if (p.dir == LEFT || p.dir == RIGHT) p.dir ^= 1;
    break;
  case u'Z': // reverse if vertical
    if (p.dir == UP || p.dir == DOWN) p.dir ^= 1;
    break;
  case u'I': p.dir ^= 1; break; // reverse
  case u'U':
    if (current != 0) p.dir = UP;
    break;
  case u'D':
    if (current != 0) p.dir = DOWN;
    break;
  case u'L':
    if (current != 0) p.dir = LEFT;
    break;
  case u'R':
    if (current != 0) p.dir = RIGHT;
    break;
  default: break; // every other character does nothing
  }
}

// Cells whose whole effect is a new direction that depends only on the old one: the fixed
// mirrors, the arrows, the reversals and every character that does nothing. A table gives
// their turn without the jump through the instruction switch, which pointers crossing mixed
// cells mispredict nearly every step.
constexpr detail::turntable maketurns() {
  detail::turntable t;
  const char acting[] = "x#;\"@+-$td*'M=0~&|X`nu().,:?!}{8Jj/\\UDLR";
  for (int c = 0; c < 256; ++c) {
    bool plain = true;
    for (const char* a = acting; *a != 0; ++a)
      if (static_cast<unsigned char>(*a) == c) plain = false;
    for (int32_t d = 0; d < 4; ++d) {
      int32_t to = d;
      switch (c) {
      case 'o': to = slashturn[d]; break;
      case 'O': to = backslashturn[d]; break;
      case '>': to = RIGHT; break;
      case '<': to = LEFT; break;
      case '^': to = UP; break;
      case 'v': to = DOWN; break;
      case 'N': to = d == LEFT || d == RIGHT ? d ^ 1 : d; break;
      case 'Z': to = d == UP || d == DOWN ? d ^ 1 : d; break;
      case 'I': to = d ^ 1; break;
      default: break;
      }
      t.turn[c][d] = static_cast<int8_t>(plain ? to : -1);
    }
  }
  return t;
}

} // namespace

constexpr detail::turntable detail::turns = maketurns();

void detail::arrive(machine& m, ip& p) {
  codegrid& grid = m.grid;
  if (p.y >= grid.linecount || p.y < 0) {
    m.ips.remove(p);
    return;
  }
  // Column 0 and column maxlen are still inside.
  if (p.x > grid.maxlen || p.x < 0) {
    m.ips.remove(p);
    return;
  }
  Text& line = grid.lines[static_cast<size_t>(p.y)];
  // A pointer beyond a short line lengthens it in place, once per step, however far out.
  if (p.x > static_cast<int64_t>(line.size())) line.append(u"  "), grid.chars += 2;
  const bool hascell = p.x >= 1 && p.x <= static_cast<int64_t>(line.size());
  const char16_t cell = hascell ? line[static_cast<size_t>(p.x - 1)] : 0;
  if (p.printing) {
    if (hascell && cell == u'"')
      p.printing = 0; // the closing quote is consumed, not printed
    else if (hascell)
      m.con->consolewrite(Text(1, cell));
    return;
  }
  if (hascell && cell < 256 && static_cast<uint32_t>(p.dir) < 4 &&
      detail::turns.turn[cell][p.dir] >= 0)
    p.dir = detail::turns.turn[cell][p.dir];
  else if (hascell)
    execute(m, p, cell);
  // "$" may have jumped below the last line; the other sides wait for the next step.
  if (p.y >= grid.linecount) m.ips.remove(p);
}

bool readsinput(const machine& m, const ip& p) {
  // The same hold and move as update, without changing anything.
  const bool moves = p.wait <= 1;
  const int64_t x = int64_t{p.x} + (moves ? DX[p.dir & 3] : 0);
  const int64_t y = int64_t{p.y} + (moves ? DY[p.dir & 3] : 0);
  if (p.printing || y < 0 || y >= m.grid.linecount || x < 1) return false;
  const Text& line = m.grid.lines[static_cast<size_t>(y)];
  return x <= static_cast<int64_t>(line.size()) && line[static_cast<size_t>(x - 1)] == u':';
}

} // namespace tarvex
