// Capturing and restoring a machine's state.
#include "interp/snapshot.h"

namespace tarvex {

snapshot capture(const machine& m) {
  snapshot s{m.grid, {}, {}, m.halted, m.fault, m.tick, m.steps, m.spawned, m.applied, m.peak};
  s.ips.reserve(m.ips.count());
  m.ips.each([&](const ip& p) { s.ips.push_back(p); });
  m.writes.each([&](const buf& w) { s.writes.push_back(w); });
  return s;
}

void restore(machine& m, const snapshot& s) {
  m.ips.clear();
  m.ips.release();
  m.writes.clear();
  m.writes.release();
  m.stepped.clear();
  m.grid = s.grid;
  for (const ip& p : s.ips) {
    ip& copy = m.ips.append();
    copy = p;
    // The sweep finds stepped pointers through the index, which holds addresses.
    if (copy.n == 0) m.stepped.place(copy);
  }
  for (const buf& w : s.writes)
    m.writes.append() = w;
  m.halted = s.halted;
  m.fault = s.fault;
  m.tick = s.tick, m.steps = s.steps, m.spawned = s.spawned, m.applied = s.applied;
  m.peak = s.peak;
  m.passing = false, m.overcap = 0, m.interrupted = false;
}

size_t footprint(const snapshot& s) {
  size_t bytes = sizeof s + s.ips.size() * sizeof(ip) + s.writes.size() * sizeof(buf);
  for (const Text& line : s.grid.lines)
    bytes += sizeof line + line.size() * sizeof(char16_t);
  return bytes;
}

} // namespace tarvex
