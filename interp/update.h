// One step of one instruction pointer.
#pragma once
#include "interp/machine.h"

namespace tarvex {

// The hold: a pointer holding for more than this step stays on its cell. The step and the
// look ahead for input both keep this one rule.
inline bool holds(const ip& p) {
  return p.wait > 1;
}

// What a step did when it needed nothing but its own pointer and the grid: p stays, or p
// leaves the list; `shared` when it acts on the run (it prints, reads, writes, splits, halts,
// may fault, lengthens a line, or p is in string mode), and then only the move is done.
enum class ownstep : uint8_t { kept, gone, shared };

namespace detail {

// The new direction by cell and old direction for the cells whose whole effect is a turn
// that depends only on the old direction; -1 for the cells that act.
struct turntable {
  int8_t turn[256][4] = {};
};
extern const turntable turns;

// The rest of ownstep, past its fast path.
ownstep settle(const codegrid& grid, ip& p);
// The rest of a `shared` step: lengthens a short line, then prints the cell (string mode) or
// executes it.
void arrive(machine& m, ip& p);

} // namespace detail

// The part of a step every step begins with: the hold, or the move one cell on.
inline void advance(ip& p) {
  p.n = 0;
  const bool moves = !holds(p);
  if (p.wait > 0) --p.wait;
  if (moves) p.x += DX[p.dir & 3], p.y += DY[p.dir & 3];
}

// The direction a pointer heading `dir` leaves (x, y) in when that cell only turns it; -1
// when the cell does more, or there is none. Most steps land inside a line on such a cell:
// inlined, that case costs a few loads.
inline int32_t turnat(const codegrid& grid, int64_t x, int64_t y, int32_t dir) {
  if (y < 0 || y >= grid.linecount || x < 1 || x > grid.maxlen || static_cast<uint32_t>(dir) >= 4)
    return -1;
  const codegrid::row line = grid.rows.rows[static_cast<size_t>(y)];
  if (x > line.size) return -1;
  const char16_t cell = line.at[x - 1];
  return cell < 256 ? detail::turns.turn[cell][dir] : -1;
}

// The rest of the step when it touches nothing but p: drops p when it has left the grid,
// turns it or runs an instruction that changes p alone. The grid is only read, so steps of
// different pointers may run at once.
inline ownstep stepown(const codegrid& grid, ip& p) {
  if (const int32_t turn = p.printing ? -1 : turnat(grid, p.x, p.y, p.dir); turn >= 0) {
    p.dir = static_cast<uint8_t>(turn);
    return ownstep::kept;
  }
  return detail::settle(grid, p);
}

// Holds or moves p one cell, drops it when it has left the grid, then prints the cell under
// it (string mode) or executes it. p stays readable after it removes itself; the caller
// releases it once the pass is over.
[[gnu::always_inline]] inline void update(machine& m, ip& p) {
  advance(p);
  const ownstep own = stepown(m.grid, p);
  if (own == ownstep::gone) m.ips.remove(p);
  if (own == ownstep::shared) detail::arrive(m, p);
}

// Whether p's next step executes ":" and so reads a console line. A host that cannot block
// for input asks before the step and waits until a line is there.
bool readsinput(const machine& m, const ip& p);

} // namespace tarvex
