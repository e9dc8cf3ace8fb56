// The duplicate sweep and the write application in their plain quadratic form: a pass over
// the whole list for every step and for every write. The indexed versions must agree with
// these exactly.
#pragma once
#include "interp/grid.h"
#include "interp/machine.h"
#include "interp/update.h"

namespace tarvex::testing {

// Pointers removed by quadraticsweep so far, so tests can tell that sweeps really happened.
inline long quadraticremovals = 0;

inline void quadraticsweep(machine& m, const ip& p) {
  auto pass = m.ips.begin_pass();
  while (ip* c = pass.next())
    if (c != &p && c->x == p.x && c->y == p.y && c->dir == p.dir && c->n == 0 && p.n == 0) {
      m.ips.remove(*c);
      ++quadraticremovals;
    }
}

inline void quadraticsteppass(machine& m) {
  auto pass = m.ips.begin_pass();
  while (ip* p = pass.next()) {
    update(m, *p);
    quadraticsweep(m, *p);
  }
  m.ips.release();
}

inline void quadraticapplywrites(machine& m) {
  auto pass = m.writes.begin_pass();
  while (buf* w = pass.next()) {
    auto sweep = m.writes.begin_pass();
    while (buf* c = sweep.next())
      if (c != w && c->x == w->x && c->y == w->y) m.writes.remove(*c);
    writecell(m.grid, w->x, w->y, w->rep);
  }
  m.writes.clear();
  m.writes.release();
}

} // namespace tarvex::testing
