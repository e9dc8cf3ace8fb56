// The step pass and the duplicate sweep.
#include "interp/tick.h"

#include <cstdint>

#include "interp/update.h"
#include "interp/writes.h"

namespace tarvex {

namespace {

constexpr int prefetchdistance = 16;
constexpr size_t RECORDSAHEAD = 64;
// Below this many pointers the list, the index and the grid stay in the last-level cache on
// the machines measured, and the scout's own work costs more than it hides (a 100,000-pointer
// tick took 30% longer with it, a 1,000,000-pointer tick 25% less).
constexpr size_t SCOUTFROM = 250000;

// Starts loading what p's next step will touch: its index slots and the cell it moves to.
// Always inline: GCC counts a prefetch as no effect, so it takes a separate function of
// prefetches for a pure one and drops every call to it.
[[gnu::always_inline]] inline void prefetch(const machine& m, const ip& p) {
  m.stepped.prefetch(p);
  const int64_t x = int64_t{p.x} + DX[p.dir & 3];
  const int64_t y = int64_t{p.y} + DY[p.dir & 3];
  if (y < 0 || y >= m.grid.linecount) return;
  const Text& line = m.grid.lines[static_cast<size_t>(y)];
  if (x >= 1 && x <= static_cast<int64_t>(line.size())) __builtin_prefetch(line.data() + (x - 1));
}

// After p's step: every other stepped pointer at p's cell with p's direction leaves the list.
// The index holds at most one such pointer, so one lookup replaces a pass over the list.
void sweep(machine& m, ip& p) {
  ip* beaten = m.ips.contains(p) ? m.stepped.place(p) : m.stepped.take(p.x, p.y, p.dir);
  if (beaten) m.ips.remove(*beaten);
}

// The pass's start: the tick counts from here, and the index fits the list as it stands.
void beginpass(machine& m) {
  ++m.tick;
  m.passing = true;
  m.stepped.fit(m.grid.maxlen, m.grid.linecount, m.ips);
  // The host's part may have grown since the last pass. (Applied writes check for themselves;
  // adding up the rest every tick would cost a tick of few pointers a fifth of its time.)
  if (m.hostbytes != 0) checkbudget(m);
}

// One pointer's step and its sweep; true when the pass must stop after it.
inline bool stepone(machine& m, ip& p) {
  // A pointer stepped before is indexed under the cell it is about to leave.
  if (p.n == 0) m.stepped.erase(p);
  update(m, p);
  ++m.steps;
  // A faulted step is the last one: nothing after it may run or be swept.
  if (m.fault != 0) return true;
  // "@" empties the list at once; the index must not outlive what it points at.
  if (m.ips.count() == 0) m.stepped.clear();
  sweep(m, p);
  if (m.steps % machine::POLLSTEPS == 0) checkbudget(m);
  return m.overcap != 0 || m.overmemory != 0;
}

tickoutcome endpass(machine& m) {
  m.ips.release([&](const ip& p, uint32_t from) { m.stepped.moved(p, from); });
  // A pass cut short stays unfinished.
  m.passing = m.fault != 0 || m.overcap != 0 || m.overmemory != 0 || m.interrupted;
  return currentoutcome(m);
}

} // namespace

tickoutcome steppass(machine& m) {
  beginpass(m);
  if (m.overmemory != 0) return endpass(m);
  auto pass = m.ips.begin_pass();
  // Large lists outgrow the caches. A second pass runs a few pointers ahead and starts
  // loading what they will need, which hides most of the wait for memory. It only reads, and
  // removed entries stay allocated until the release below.
  // A shorter list stays in the caches, so it goes without.
  auto scout = m.ips.begin_pass();
  const bool scouting = m.ips.count() > SCOUTFROM;
  for (int i = 0; scouting && i < prefetchdistance; ++i)
    if (const ip* soon = scout.next()) prefetch(m, *soon);
  while (ip* p = pass.next()) {
    if (scouting) {
      if (const ip* soon = scout.next()) prefetch(m, *soon);
      // The records the scout reads next, which the processor's own streaming does not
      // fetch early enough while the index lookups take its attention.
      if (const ip* far = scout.ahead(RECORDSAHEAD)) __builtin_prefetch(far);
    }
    if (stepone(m, *p)) break;
    if (m.poll && m.steps % machine::POLLSTEPS == 0 && m.poll(m.pollcontext)) {
      m.interrupted = true;
      break;
    }
  }
  return endpass(m);
}

passstepper::passstepper(machine& m) : _m(m), _pass(m.ips.begin_pass()) {
  beginpass(m);
  // The cursor was made before the fit, which changes nothing in the list.
  _ended = m.overmemory != 0;
}

const ip* passstepper::upcoming() const {
  if (_ended) return nullptr;
  auto peek = _pass;
  return peek.next();
}

bool passstepper::step() {
  if (_ended) return false;
  ip* p = _pass.next();
  if (!p || stepone(_m, *p)) {
    _ended = true;
    return false;
  }
  return upcoming() != nullptr;
}

bool passstepper::run(int64_t steps) {
  for (; steps > 0 && !_ended; --steps) {
    ip* p = _pass.next();
    if (!p || stepone(_m, *p)) _ended = true;
  }
  return !_ended;
}

void passstepper::interrupt() {
  _m.interrupted = true;
  _ended = true;
}

tickoutcome passstepper::finish() {
  run(INT64_MAX);
  return endpass(_m);
}

void endtick(machine& m, const tickoutcome& outcome) {
  if (outcome.state == tickstate::going) applywrites(m);
}

tickoutcome currentoutcome(const machine& m) {
  if (m.fault != 0) return {tickstate::fault, m.fault};
  if (m.overcap != 0) return {tickstate::overcap};
  if (m.overmemory != 0) return {tickstate::overmemory};
  if (m.interrupted) return {tickstate::interrupted};
  if (m.halted != 0) return {tickstate::halted};
  if (m.ips.count() < 1) return {tickstate::finished};
  return {};
}

} // namespace tarvex
