// Taking and restoring the copies a host keeps of past ticks.
#include "interp/snapshot.h"

namespace tarvex {

size_t snapshot::bytes() const {
  size_t total =
      sizeof(snapshot) + pointers.capacity() * sizeof(ip) + writes.capacity() * sizeof(buf);
  if (ownsgrid && grid)
    for (const Text& line : grid->lines)
      total += sizeof(Text) + line.capacity() * sizeof(char16_t);
  return total;
}

snapshot takesnapshot(const machine& m, const snapshot* previous) {
  snapshot copy;
  copy.tick = m.tick;
  copy.pointers.reserve(m.ips.count());
  m.ips.each([&](const ip& p) { copy.pointers.push_back(p); });
  m.writes.each([&](const buf& w) { copy.writes.push_back(w); });
  copy.applied = m.applied;
  copy.spawned = m.spawned;
  copy.steps = m.steps;
  copy.peak = m.peak;
  if (previous && previous->grid && previous->grid->edits == m.grid.edits) {
    copy.grid = previous->grid;
    copy.ownsgrid = false;
  } else {
    copy.grid = std::make_shared<const codegrid>(m.grid);
  }
  return copy;
}

void restoresnapshot(machine& into, const snapshot& copy) {
  into.grid = *copy.grid;
  into.tick = copy.tick;
  for (const ip& p : copy.pointers)
    into.ips.append(p);
  for (const buf& w : copy.writes)
    into.writes.append(w);
  into.applied = copy.applied;
  into.spawned = copy.spawned;
  into.steps = copy.steps;
  into.peak = copy.peak;
}

} // namespace tarvex
