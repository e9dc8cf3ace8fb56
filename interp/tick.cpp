// The step pass and the duplicate sweep.
#include "interp/tick.h"

#include "interp/update.h"
#include "interp/writes.h"

namespace tarvex {

namespace {

constexpr int prefetchdistance = 4;

// After p's step: every other stepped pointer at p's cell with p's direction leaves the list.
// The index holds at most one such pointer, so one lookup replaces a pass over the list.
void sweep(machine& m, ip& p) {
  ip* beaten = m.ips.contains(p) ? m.stepped.place(p) : m.stepped.take(p.x, p.y, p.dir);
  if (beaten) m.ips.remove(*beaten);
}

} // namespace

void steppass(machine& m) {
  auto pass = m.ips.begin_pass();
  while (ip* p = pass.next()) {
    // Large lists outgrow the caches; loading the index slots a few pointers early hides
    // most of the wait.
    if (const ip* soon = pass.ahead(prefetchdistance)) m.stepped.prefetch(*soon);
    // A pointer stepped before is indexed under the cell it is about to leave.
    if (p->n == 0) m.stepped.erase(*p);
    update(m, *p);
    // "@" empties the list at once; the index must not outlive what it points at.
    if (m.ips.count() == 0) m.stepped.clear();
    sweep(m, *p);
  }
  m.ips.release();
}

bool runover(const machine& m) { return m.ips.count() < 1 || m.halted != 0; }

int runticks(machine& m, int limit) {
  for (int tick = 1; tick <= limit; ++tick) {
    steppass(m);
    // The writes of the tick that ends the run are never applied.
    if (runover(m)) return tick;
    applywrites(m);
  }
  return limit;
}

} // namespace tarvex
