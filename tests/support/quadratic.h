// The tick in its plain forms, the reference the fast tick must match exactly: a pass over the
// whole list after every step, and over the whole queue for every write. The counters show
// how much each has removed, so a test can tell that its programs exercised both.
#pragma once
#include "interp/grid.h"
#include "interp/machine.h"
#include "interp/update.h"

namespace tarvex::testing {

inline long sweptpointers = 0, droppedwrites = 0;

// A fault or the pointer limit ends the pass at the pointer that caused it.
inline void quadraticsteppass(machine& m) {
  auto pass = m.ips.begin_pass();
  while (ip* p = pass.next()) {
    update(m, *p);
    if (m.fault != 0) break;
    auto sweep = m.ips.begin_pass();
    while (ip* c = sweep.next())
      if (c != p && c->x == p->x && c->y == p->y && c->dir == p->dir && c->n == 0 && p->n == 0)
        m.ips.remove(*c), ++sweptpointers;
    if (m.overcap != 0) break;
  }
  m.ips.release();
}

inline void quadraticapplywrites(machine& m) {
  auto pass = m.writes.begin_pass();
  while (buf* w = pass.next()) {
    auto sweep = m.writes.begin_pass();
    while (buf* c = sweep.next())
      if (c != w && c->x == w->x && c->y == w->y) m.writes.remove(*c), ++droppedwrites;
    writecell(m.grid, w->x, w->y, w->code);
  }
  m.writes.clear();
  m.writes.release();
}

} // namespace tarvex::testing
