// The step pass and the duplicate sweep, on one loop or in parts on several threads.
#include "interp/tick.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <new>
#include <vector>
#ifdef _OPENMP
#include <omp.h>
#endif

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
// The most parts a pass is split into: one a thread, as many as --threads allows.
constexpr size_t MAXPARTS = 1024;

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

// The pass in parts. Each part is a run of places in the list, stepped by its own thread
// exactly as the one loop would step it; that gives the one loop's result only when no step
// of a part can change what another part sees. So a survey first steps a copy of every live
// pointer, and the parts go ahead only if every step is one that needs nothing but its
// pointer and the grid (which holds still until the tick's end, writes being held), and no
// cell that one part's steps leave or reach is one that another part's leave or reach: then
// no duplicate the sweep finds, no removal and no index slot is another part's. Any other
// pass runs as one loop from its start, having changed nothing.
struct part {
  size_t from = 0, to = 0;
  int64_t steps = 0;
  size_t removed = 0;
};

// One part's share of the scratch: per line of the box, its column range and its cells.
struct partcells {
  int32_t* bounds;
  uint64_t* cells;
  uint64_t lines, columns, rowwords;

  partcells(partscratch& s, size_t k, uint64_t lines_, uint64_t columns_)
      : bounds(&s.bounds[k * lines_ * 2]), cells(s.cells.get() + k * lines_ * s.rowwords),
        lines(lines_), columns(columns_), rowwords(s.rowwords) {}

  // Cell (x, y) is the part's; cells outside the box have no index slot to share.
  void touch(int32_t x, int32_t y) {
    const auto cx = static_cast<uint64_t>(int64_t{x} + 1),
               cy = static_cast<uint64_t>(int64_t{y} + 1);
    if (cx >= columns || cy >= lines) return;
    cells[cy * rowwords + cx / 64] |= uint64_t{1} << (cx % 64);
    const auto column = static_cast<int32_t>(cx);
    bounds[2 * cy] = std::min(bounds[2 * cy], column);
    bounds[2 * cy + 1] = std::max(bounds[2 * cy + 1], column);
  }
  bool touches(uint64_t line) const { return bounds[2 * line] <= bounds[2 * line + 1]; }
  // Forgets the cells the part touched.
  void clear() {
    for (uint64_t line = 0; line < lines; ++line) {
      if (!touches(line)) continue;
      uint64_t* row = cells + line * rowwords;
      std::fill(row + bounds[2 * line] / 64, row + bounds[2 * line + 1] / 64 + 1, 0);
    }
  }
};

// The survey of one part: false as soon as one step would act on the run, or would give the
// index a tile (which only one thread may do), or another part has already failed.
bool survey(const machine& m, const part& w, partcells& mine, const std::atomic<bool>& failed) {
  std::fill(mine.bounds, mine.bounds + 2 * mine.lines, INT32_MAX);
  for (uint64_t line = 0; line < mine.lines; ++line)
    mine.bounds[2 * line + 1] = INT32_MIN;
  plist<ip>::range pass(m.ips, w.from, w.to);
  for (int64_t n = 1; const ip* p = pass.next(); ++n) {
    if (p->n == 0) mine.touch(p->x, p->y);
    ip copy = *p;
    advance(copy);
    if (stepown(m.grid, copy) == ownstep::shared || m.stepped.wouldallocate(copy.x, copy.y))
      return false;
    mine.touch(copy.x, copy.y);
    if (n % 1024 == 0 && failed.load(std::memory_order_relaxed)) return false;
  }
  return true;
}

// Whether no cell is touched by two parts. Where, on a line, the parts' column ranges follow
// one another in part order (nearly always, when the list keeps neighbours together) that is
// plain; elsewhere the cells of the ranges that overlap are compared.
bool apart(const std::vector<partcells>& parts) {
  const uint64_t lines = parts.empty() ? 0 : parts[0].lines;
  for (uint64_t line = 0; line < lines; ++line) {
    int32_t last = -1;
    bool ordered = true;
    for (const partcells& k : parts) {
      if (!k.touches(line)) continue;
      ordered = ordered && k.bounds[2 * line] > last;
      last = k.bounds[2 * line + 1];
    }
    if (ordered) continue;
    for (size_t k = 0; k < parts.size(); ++k)
      for (size_t j = k + 1; j < parts.size(); ++j) {
        const partcells &a = parts[k], &b = parts[j];
        if (!a.touches(line) || !b.touches(line)) continue;
        const int32_t from = std::max(a.bounds[2 * line], b.bounds[2 * line]);
        const int32_t to = std::min(a.bounds[2 * line + 1], b.bounds[2 * line + 1]);
        for (int32_t word = from / 64; from <= to && word <= to / 64; ++word)
          if (a.cells[line * a.rowwords + static_cast<uint64_t>(word)] &
              b.cells[line * b.rowwords + static_cast<uint64_t>(word)])
            return false;
      }
  }
  return true;
}

// One part's steps and sweeps, as stepone takes them; its removals are counted for the list
// once every part is done. Nothing here can fault, split, halt or queue a write.
void steppart(machine& m, part& w, bool scouting) {
  plist<ip>::range pass(m.ips, w.from, w.to), scout = pass;
  for (int i = 0; scouting && i < prefetchdistance; ++i)
    if (const ip* soon = scout.next()) prefetch(m, *soon);
  while (ip* p = pass.next()) {
    if (scouting) {
      if (const ip* soon = scout.next()) prefetch(m, *soon);
      if (const ip* far = scout.ahead(RECORDSAHEAD)) __builtin_prefetch(far);
    }
    if (p->n == 0) m.stepped.erase(*p);
    advance(*p);
    if (stepown(m.grid, *p) == ownstep::gone) w.removed += m.ips.unlist(*p);
    ++w.steps;
    ip* beaten = m.ips.contains(*p) ? m.stepped.place(*p) : m.stepped.take(p->x, p->y, p->dir);
    if (beaten) w.removed += m.ips.unlist(*beaten);
  }
}

// The whole pass in parts when that is exact; false, with nothing changed, when it must run
// as one loop.
bool stepinparts(machine& m) {
#ifdef _OPENMP
  partscratch& scratch = m.parts;
  const size_t live = m.ips.count();
  if (m.threads < 2 || live == 0 || live < m.parallelfrom) return false;
  // A check of the budget falls due every POLLSTEPS steps, and a pass in parts changes
  // nothing that it counts, so only a run already past its budget could stop inside the pass.
  if (m.maxbytes != 0 && m.overmemory == 0 && heldbytes(m) > m.maxbytes) return false;
  // A run whose parts keep meeting (pointers spread all over the grid) stops trying for a
  // while, longer each time, so it pays for few surveys.
  if (scratch.skip > 0) return --scratch.skip, false;
  const size_t count = std::min(static_cast<size_t>(m.threads), MAXPARTS);
  const uint64_t lines = m.stepped.lines(), columns = m.stepped.columns();
  scratch.bounds.resize(count * lines * 2);
  scratch.rowwords = (columns + 63) / 64;
  if (const size_t words = count * lines * scratch.rowwords; words != scratch.cellwords) {
    scratch.cells.reset(static_cast<uint64_t*>(std::calloc(words, sizeof(uint64_t))));
    if (!scratch.cells) throw std::bad_alloc();
    scratch.cellwords = words;
  }
  part parts[MAXPARTS];
  std::vector<partcells> cells;
  const size_t places = m.ips.places();
  for (size_t k = 0; k < count; ++k) {
    parts[k].from = places * k / count, parts[k].to = places * (k + 1) / count;
    cells.emplace_back(scratch, k, lines, columns);
  }
  const bool scouting = live > SCOUTFROM;
  std::atomic<bool> failed = false;
  bool go = false;
#pragma omp parallel num_threads(static_cast <int>(count))
  {
    const auto threads = static_cast<size_t>(omp_get_num_threads());
    const auto thread = static_cast<size_t>(omp_get_thread_num());
    for (size_t k = thread; k < count; k += threads)
      if (!survey(m, parts[k], cells[k], failed)) failed.store(true, std::memory_order_relaxed);
#pragma omp barrier
#pragma omp single
    go = !failed.load(std::memory_order_relaxed) && apart(cells);
    for (size_t k = thread; k < count; k += threads) {
      cells[k].clear();
      if (go) steppart(m, parts[k], scouting);
    }
  }
  if (!go) {
    scratch.wait = std::min<uint32_t>(scratch.wait * 2 + 1, 64);
    scratch.skip = scratch.wait;
    return false;
  }
  scratch.wait = 0;
  ++scratch.passes;
  size_t removed = 0;
  for (size_t k = 0; k < count; ++k)
    m.steps += parts[k].steps, removed += parts[k].removed;
  m.ips.unlisted(removed);
  // As stepone clears it when the list runs empty: only empty slots are left, but their tiles
  // count in the memory the run holds.
  if (m.ips.count() == 0) m.stepped.clear();
  return true;
#else
  (void)m;
  return false;
#endif
}

} // namespace

tickoutcome steppass(machine& m) {
  beginpass(m);
  if (m.overmemory != 0 || stepinparts(m)) return endpass(m);
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
