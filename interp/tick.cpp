// The step pass and the duplicate sweep, on one loop or in parts on several threads.
#include "interp/tick.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
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
// A pass is split into more parts than threads, each taken by whichever thread is free: a
// thread that the system gives a core late, the other core being busy, then holds up the
// pass by at most the part it took, not by a half of the pass. And at most this many parts.
[[maybe_unused]] constexpr size_t PARTSPERTHREAD = 8, MAXPARTS = 64;

// Starts loading what p's next step will touch: its index slots and the cell it moves to.
// Always inline: GCC counts a prefetch as no effect, so it takes a separate function of
// prefetches for a pure one and drops every call to it.
[[gnu::always_inline]] inline void prefetch(const machine& m, const ip& p) {
  m.stepped.prefetch(p);
  const int64_t x = int64_t{p.x} + DX[p.dir & 3];
  const int64_t y = int64_t{p.y} + DY[p.dir & 3];
  if (y < 0 || y >= m.grid.linecount) return;
  const codegrid::row line = m.grid.rows.rows[static_cast<size_t>(y)];
  if (x >= 1 && x <= line.size) __builtin_prefetch(line.at + (x - 1));
}

// The scout runs a few pointers ahead of a pass over a large list, loading what they will
// need: `startscout` puts it prefetchdistance pointers ahead, `scoutahead` keeps it there, and
// also loads the records it reads next, which the processor's own streaming does not fetch
// early enough while the index lookups take its attention.
template <class Pass> [[gnu::always_inline]] inline void startscout(const machine& m, Pass& scout) {
  for (int i = 0; i < prefetchdistance; ++i)
    if (const ip* soon = scout.next()) prefetch(m, *soon);
}
template <class Pass> [[gnu::always_inline]] inline void scoutahead(const machine& m, Pass& scout) {
  if (const ip* soon = scout.next()) prefetch(m, *soon);
  if (const ip* far = scout.ahead(RECORDSAHEAD)) __builtin_prefetch(far);
}

// After p's step: every other stepped pointer at p's cell with p's direction leaves the list.
// The index holds at most one such pointer, so one lookup replaces a pass over the list.
[[gnu::always_inline]] inline void sweep(machine& m, ip& p) {
  ip* beaten = m.ips.contains(p) ? m.stepped.place(p) : m.stepped.take(p.x, p.y, p.dir);
  if (beaten) m.ips.remove(*beaten);
}

// The pass's start: the tick counts from here, and the index fits the list as it stands.
void beginpass(machine& m) {
  ++m.tick;
  m.passing = true;
  m.stepped.fit(m.grid.maxlen, m.grid.linecount, m.ips);
  layrows(m.grid);
  // The host's part may have grown since the last pass. (Applied writes check for themselves;
  // adding up the rest every tick would cost a tick of few pointers a fifth of its time.)
  if (m.hostbytes != 0) checkbudget(m);
}

// The step of a pointer stepped before, free and not printing, onto a cell that only turns
// it, with its sweep; false, with nothing done, for any other step. Most steps are these. The
// fields are read once and the slots it leaves and takes found from them as they stand, not
// read back from the record just written, which shortens the chain of loads a step waits on.
[[gnu::always_inline]] inline bool turnonly(machine& m, ip& p) {
  if (p.n != 0 || p.wait != 0 || p.printing) return false;
  const int32_t x = p.x + DX[p.dir & 3], y = p.y + DY[p.dir & 3];
  const int32_t turn = turnat(m.grid, x, y, p.dir);
  if (turn < 0) return false;
  m.stepped.erase(p);
  p.x = x, p.y = y, p.dir = static_cast<uint8_t>(turn);
  ++m.steps;
  if (ip* beaten = m.stepped.place(p, x, y, turn)) m.ips.remove(*beaten);
  return true;
}

// One pointer's step and its sweep; true when the pass must stop after it.
[[gnu::always_inline]] inline bool stepone(machine& m, ip& p) {
  if (!turnonly(m, p)) {
    // A pointer stepped before is indexed under the cell it is about to leave.
    if (p.n == 0) m.stepped.erase(p);
    update(m, p);
    ++m.steps;
    // A faulted step is the last one: nothing after it may run or be swept.
    if (m.fault != 0) return true;
    // "@" empties the list at once; the index must not outlive what it points at.
    if (m.ips.count() == 0) m.stepped.clear();
    sweep(m, p);
  }
  if (m.steps % machine::POLLSTEPS == 0) checkbudget(m);
  return m.overcap != 0 || m.overmemory != 0;
}

tickoutcome endpass(machine& m) {
  std::vector<int8_t>& turns = m.parts.turns;
  m.ips.release([&](const ip& p, uint32_t from) {
    m.stepped.moved(p, from);
    if (from <= turns.size()) turns[m.ips.serial(p) - 1] = turns[from - 1];
  });
  // A pass cut short stays unfinished.
  m.passing = m.fault != 0 || m.overcap != 0 || m.overmemory != 0 || m.interrupted;
  return currentoutcome(m);
}

// The pass in parts (only where OpenMP is: elsewhere its pieces go unused, and every pass is
// one loop). Each part is a run of places in the list, stepped by its own thread
// exactly as the one loop would step it; that gives the one loop's result only when no step
// of a part can change what another part sees. So the parts go ahead only if a survey of the
// pass found that every step needs nothing but its pointer and the grid (which holds still
// until the tick's end, writes being held), and that no cell one part's steps leave or reach
// is one that another part's leave or reach: then no duplicate the sweep finds, no removal
// and no index slot is another part's. Any other pass runs as one loop from its start, having
// changed nothing.
//
// The survey steps a copy of each pointer. A pass in parts takes the survey of the next pass
// as it goes, each pointer's next step right after its own step, while its record is at
// hand: a pass in parts writes nothing into the grid, so the next pass finds the same grid,
// unless something outside the pass changed it or the list, which the survey's record of
// them tells. Only the first pass in parts, or one after passes on one loop, surveys apart.
struct part {
  size_t from = 0, to = 0;
  int64_t steps = 0;
  size_t removed = 0;
  size_t kept = 0;   // the part's pointers still listed when it is done
  bool ready = true; // the survey of the next pass found only steps of their own
};

// One part's share of a survey: for each line of the box, the first and last column touched,
// and the first and last line with any.
struct partcells {
  partscratch::span* spans;
  uint64_t lines, columns;
  uint64_t first = UINT64_MAX, last = 0;

  // Cell (x, y) is the part's; cells outside the box have no index slot to share.
  [[gnu::always_inline]] void touch(int32_t x, int32_t y) {
    const auto cx = static_cast<uint64_t>(int64_t{x} + 1),
               cy = static_cast<uint64_t>(int64_t{y} + 1);
    if (cx >= columns || cy >= lines) return;
    take(cy, cx, cx);
  }
  // The cells a step leaves and reaches. On one line, as a move sideways or a hold leaves
  // them, the columns from one to the other are taken at once (all of them, should a jump
  // lie between: more than the step touches is never less exact, only more often joined).
  [[gnu::always_inline]] void touch(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const auto c0 = static_cast<uint64_t>(int64_t{x0} + 1),
               c1 = static_cast<uint64_t>(int64_t{x1} + 1),
               cy = static_cast<uint64_t>(int64_t{y0} + 1);
    if (y0 != y1 || c0 >= columns || c1 >= columns || cy >= lines) {
      touch(x0, y0), touch(x1, y1);
      return;
    }
    take(cy, std::min(c0, c1), std::max(c0, c1));
  }
  void take(uint64_t cy, uint64_t from, uint64_t to) {
    partscratch::span& line = spans[cy];
    line.from = std::min(line.from, from);
    line.to = std::max(line.to, to);
    first = std::min(first, cy);
    last = std::max(last, cy);
  }
  // Forgets the cells the part touched.
  void clear() {
    if (first <= last) std::fill(spans + first, spans + last + 1, partscratch::span{});
    first = UINT64_MAX, last = 0;
  }
};

// Notes the cells p's next step leaves and reaches, and in `turn` the direction it leaves in
// when the cell it reaches only turns it (-1 otherwise); false when that step acts on the run,
// or would give the index a tile (which only one thread may do).
[[gnu::always_inline]] inline bool foresee(const machine& m, const ip& p, partcells& cells,
                                           int8_t& turn) {
  // A move onto a cell that only turns is read off the fields; anything else is stepped in a
  // copy.
  int32_t x = holds(p) ? p.x : p.x + DX[p.dir & 3], y = holds(p) ? p.y : p.y + DY[p.dir & 3];
  turn = p.printing ? int8_t{-1} : static_cast<int8_t>(turnat(m.grid, x, y, p.dir));
  if (turn < 0) {
    ip copy = p;
    advance(copy);
    if (stepown(m.grid, copy) == ownstep::shared) return false;
    x = copy.x, y = copy.y;
  }
  if (m.stepped.wouldallocate(x, y)) return false;
  // A pointer not stepped yet has no cell in the index to leave.
  if (p.n == 0)
    cells.touch(p.x, p.y, x, y);
  else
    cells.touch(x, y);
  return true;
}

// The survey of one part, taken apart from any pass; false as soon as a step acts on the run
// or another part has already found one.
[[maybe_unused]] bool survey(const machine& m, const part& w, partcells& cells, int8_t* turns,
                             const std::atomic<bool>& failed) {
  partcells mine = cells; // kept in registers through the loop
  plist<ip>::range pass(m.ips, w.from, w.to);
  bool own = true;
  for (int64_t n = 1; own; ++n) {
    const ip* p = pass.next();
    if (!p) break;
    own = foresee(m, *p, mine, turns[pass.place()]) &&
          (n % 4096 != 0 || !failed.load(std::memory_order_relaxed));
  }
  cells = mine;
  return own;
}

// Makes the parts apart, so that no cell is touched by two of them: wherever two share
// columns of a line, they and the parts between become one, which steps their pointers in
// list order as the one loop would (a cut that fell between two pointers circling in one
// place is the usual case). The parts joined into one are left empty. Returns how many parts
// still hold pointers.
[[maybe_unused]] size_t join(std::vector<partcells>& cells, std::vector<part>& parts) {
  auto meet = [&](size_t a, size_t b) {
    const uint64_t first = std::max(cells[a].first, cells[b].first),
                   last = std::min(cells[a].last, cells[b].last);
    for (uint64_t line = first; line <= last; ++line) {
      const partscratch::span one = cells[a].spans[line], other = cells[b].spans[line];
      if (one.from <= one.to && other.from <= other.to && one.from <= other.to &&
          other.from <= one.to)
        return true;
    }
    return false;
  };
  // After a join the joined part's columns are the span of all it took, which may meet a
  // part checked before, so the search starts again.
  for (bool joined = true; joined;) {
    joined = false;
    for (size_t a = 0; a < cells.size() && !joined; ++a)
      for (size_t b = a + 1; b < cells.size() && !joined; ++b) {
        if (!meet(a, b)) continue;
        partcells& into = cells[a];
        for (size_t k = a + 1; k <= b; ++k) {
          for (uint64_t line = cells[k].first; line <= cells[k].last; ++line) {
            into.spans[line].from = std::min(into.spans[line].from, cells[k].spans[line].from);
            into.spans[line].to = std::max(into.spans[line].to, cells[k].spans[line].to);
          }
          into.first = std::min(into.first, cells[k].first);
          into.last = std::max(into.last, cells[k].last);
          cells[k].clear();
          parts[k].from = parts[k].to = parts[b].to;
        }
        parts[a].to = parts[b].to;
        joined = true;
      }
  }
  return static_cast<size_t>(
      std::count_if(parts.begin(), parts.end(), [](const part& w) { return w.from < w.to; }));
}

// One part's steps and sweeps, as stepone takes them, and the survey of its next steps; its
// removals are counted for the list once every part is done. Nothing here can fault, split,
// halt or queue a write.
[[maybe_unused]] void steppart(machine& m, part& w, partcells& next, int8_t* turns, bool scouting) {
  // Counted in locals: the parts' records lie side by side, and a thread writing its own on
  // every step would take the cache line from the others each time.
  partcells ahead = next;
  int64_t steps = 0;
  size_t removed = 0, gone = 0;
  bool ready = true;
  plist<ip>::range pass(m.ips, w.from, w.to), scout = pass;
  if (scouting) startscout(m, scout);
  while (ip* p = pass.next()) {
    if (scouting) scoutahead(m, scout);
    ++steps;
    if (p->n == 0) m.stepped.erase(*p);
    advance(*p);
    int8_t& turn = turns[pass.place()];
    if (turn >= 0)
      p->dir = static_cast<uint8_t>(turn);
    else if (stepown(m.grid, *p) == ownstep::gone)
      ++gone, removed += m.ips.unlist(*p);
    ip* beaten = m.ips.contains(*p) ? m.stepped.place(*p) : m.stepped.take(p->x, p->y, p->dir);
    if (beaten) {
      removed += m.ips.unlist(*beaten);
      // One this part stepped before, which counted as kept until now.
      if (m.ips.serial(*beaten) < m.ips.serial(*p)) ++gone;
    }
    if (ready && m.ips.contains(*p)) ready = foresee(m, *p, ahead, turn);
  }
  w.steps = steps, w.removed = removed, w.ready = ready;
  w.kept = static_cast<size_t>(steps) - gone;
  next = ahead;
}

// What a survey taken for the next pass depends on besides the grid's cells.
[[maybe_unused]] partscratch::basis basisof(const machine& m, size_t count) {
  return {m.tick,        m.grid.edits, m.grid.chars,      m.grid.linecount,
          m.ips.count(), m.spawned,    m.stepped.lines(), m.stepped.columns(),
          count};
}

// The whole pass in parts, when that is exact; false, with nothing changed, when it must run
// as one loop. Only called for a pass worth sharing.
[[gnu::noinline]] bool stepparts(machine& m) {
#ifdef _OPENMP
  partscratch& scratch = m.parts;
  // A check of the budget falls due every POLLSTEPS steps, and a pass in parts changes
  // nothing that it counts, so only a run already past its budget could stop inside the pass.
  if (m.maxbytes != 0 && m.overmemory == 0 && heldbytes(m) > m.maxbytes) return false;
  const size_t count = std::min(static_cast<size_t>(m.threads) * PARTSPERTHREAD, MAXPARTS);
  const uint64_t lines = m.stepped.lines(), columns = m.stepped.columns();
  if (const size_t size = 2 * count * lines; size != scratch.spans.size()) {
    scratch.spans.assign(size, {});
    scratch.foreseen.clear();
  }
  auto cellsof = [&](int set, size_t k) {
    return partcells{scratch.spans.data() + (static_cast<size_t>(set) * count + k) * lines, lines,
                     columns};
  };
  std::vector<partcells> now, next;
  for (size_t k = 0; k < count; ++k)
    now.push_back(cellsof(scratch.current, k)), next.push_back(cellsof(1 - scratch.current, k));
  // The survey the last pass in parts took for this one stands if nothing else has changed
  // the grid or the list since.
  size_t kept = 0;
  for (const partscratch::range& r : scratch.lastparts)
    kept += r.kept;
  const bool foreseen = !scratch.foreseen.empty() && scratch.foreseenfor == basisof(m, count) &&
                        kept == m.ips.count();
  if (!foreseen && scratch.skip > 0) {
    scratch.foreseen.clear();
    return --scratch.skip, false;
  }
  if (foreseen)
    for (size_t k = 0; k < count; ++k)
      now[k].first = scratch.foreseen[k].first, now[k].last = scratch.foreseen[k].last;
  else // whatever an earlier survey left, one an edit dropped included, goes
    std::fill_n(now.front().spans, count * lines, partscratch::span{});
  const bool ready = foreseen && scratch.foreseenready;
  scratch.foresaw = foreseen;
  scratch.foreseen.clear();
  // A run whose parts keep meeting (pointers spread all over the grid), or whose passes keep
  // acting on the run, stops trying for a while, longer each time, so it pays for few
  // surveys.
  auto miss = [&] {
    for (partcells& k : now)
      k.clear();
    scratch.wait = std::min<uint32_t>(scratch.wait * 2 + 1, 64);
    scratch.skip = scratch.wait;
    return false;
  };
  if (foreseen && !ready) return miss();
  std::vector<part> parts(count);
  const size_t places = m.ips.places();
  for (size_t k = 0; k < count; ++k) {
    parts[k].from = places * k / count, parts[k].to = places * (k + 1) / count;
  }
  if (foreseen) {
    // The same pointers in each part as in the last pass: where the list closed its gaps,
    // each part now starts after all the pointers kept before it.
    size_t before = 0;
    for (size_t k = 0; k < count; ++k) {
      parts[k].from = places == m.ips.count() ? before : scratch.lastparts[k].from;
      before += scratch.lastparts[k].kept;
      parts[k].to =
          k + 1 < count ? (places == m.ips.count() ? before : scratch.lastparts[k].to) : places;
    }
  }
  const bool scouting = m.ips.count() > SCOUTFROM;
  if (scratch.turns.size() < places) scratch.turns.resize(places, -1);
  int8_t* turns = scratch.turns.data();
  std::atomic<bool> failed = false;
  bool go = false;
#pragma omp parallel num_threads(m.threads)
  {
    if (!foreseen) {
#pragma omp for schedule(dynamic, 1)
      for (size_t k = 0; k < count; ++k)
        if (!survey(m, parts[k], now[k], turns, failed))
          failed.store(true, std::memory_order_relaxed);
    }
#pragma omp single
    go = !failed.load(std::memory_order_relaxed) && join(now, parts) > 1;
#pragma omp for schedule(dynamic, 1) nowait
    for (size_t k = 0; k < count; ++k) {
      now[k].clear();
      if (go) steppart(m, parts[k], next[k], turns, scouting);
    }
  }
  if (!go) return miss();
  scratch.wait = 0;
  ++scratch.passes;
  size_t removed = 0;
  scratch.foreseenready = true;
  for (size_t k = 0; k < count; ++k) {
    m.steps += parts[k].steps, removed += parts[k].removed;
    scratch.foreseenready = scratch.foreseenready && parts[k].ready;
    scratch.foreseen.push_back({next[k].first, next[k].last});
  }
  m.ips.unlisted(removed);
  scratch.lastparts.clear();
  for (const part& w : parts)
    scratch.lastparts.push_back({w.from, w.to, w.kept});
  scratch.current = 1 - scratch.current;
  // As stepone clears it when the list runs empty: only empty slots are left, but their tiles
  // count in the memory the run holds.
  if (m.ips.count() == 0) m.stepped.clear();
  scratch.foreseenfor = basisof(m, count);
  ++scratch.foreseenfor.tick; // for the next pass
  return true;
#else
  (void)m;
  return false;
#endif
}

// Whether the pass is big enough to share among the threads.
inline bool shareable(const machine& m) {
  return m.threads > 1 && m.ips.count() >= std::max<size_t>(m.parallelfrom, 1);
}

using costclock = std::chrono::steady_clock;
// One loop is weighed again after RELOOP weighings of parts that won; parts are weighed over
// WEIGHPASSES passes; and after parts lost, the passes wait 1, 3, 7 ... up to LONGESTWAIT
// passes before parts are tried again, so that trying them under a lasting load costs a few
// per cent.
constexpr uint32_t RELOOP = 16, WEIGHPASSES = 4, LONGESTWAIT = 1023;

// Weighs a pass that was shareable: what its steps cost, on one loop or in parts. Parts lose
// to one loop where the system gives the threads fewer cores than they are (other work keeps
// a core busy, and a thread holds up the pass until it gets one back), so while they cost
// more, or one loop has not been weighed yet, the passes go on one loop for a while, longer
// each time, and then parts are tried again. A test's forced sharing is never weighed.
void weigh(machine& m, bool inparts, costclock::time_point start, int64_t steps) {
  partscratch& scratch = m.parts;
  // A pass in parts that had to survey first costs more than the passes after it, which
  // take the survey as they go; only those weigh.
  if (m.parallelfrom == 0 || steps <= 0 || m.interrupted || (inparts && !scratch.foresaw)) return;
  const double cost =
      std::chrono::duration<double, std::nano>(costclock::now() - start).count() / double(steps);
  // One loop's cost is a running mean. Parts are weighed by the mean of their last few
  // passes, taken together since a thread the system kept waiting stalls one pass in
  // several, and weighing the parts by one pass would go by the luck of that pass.
  if (!inparts) {
    scratch.loopcost = scratch.loopcost == 0 ? cost : (3 * scratch.loopcost + cost) / 4;
    return;
  }
  // A pass that took twice the loop's time decides at once: parts that wait for a core
  // cost a whole tick or more a pass.
  scratch.partsum += cost;
  ++scratch.partpasses;
  const bool farslower = scratch.loopcost != 0 && cost > 2 * scratch.loopcost;
  if (scratch.partpasses < WEIGHPASSES && !farslower) return;
  scratch.partcost = farslower ? cost : scratch.partsum / scratch.partpasses;
  scratch.partsum = 0, scratch.partpasses = 0;
  const bool slower = scratch.loopcost != 0 && scratch.partcost > scratch.loopcost;
  // One loop is weighed again now and then, the load on the machine having changed since,
  // and at once when it never was.
  if (scratch.loopcost != 0 && !slower && ++scratch.sinceloop < RELOOP) {
    scratch.slowwait = 0;
    return;
  }
  scratch.sinceloop = 0;
  if (slower) scratch.slowwait = std::min(scratch.slowwait * 2 + 1, LONGESTWAIT);
  scratch.skip = std::max<uint32_t>(scratch.slowwait, 1);
  scratch.foreseen.clear();
}

// The pass as one loop, pointer after pointer in list order.
[[gnu::always_inline]] inline void oneloop(machine& m) {
  auto pass = m.ips.begin_pass();
  // Large lists outgrow the caches. A second pass runs a few pointers ahead and starts
  // loading what they will need, which hides most of the wait for memory. It only reads, and
  // removed entries stay allocated until the release below.
  // A shorter list stays in the caches, so it goes without.
  auto scout = m.ips.begin_pass();
  const bool scouting = m.ips.count() > SCOUTFROM;
  if (scouting) startscout(m, scout);
  while (ip* p = pass.next()) {
    if (scouting) scoutahead(m, scout);
    if (stepone(m, *p)) break;
    if (m.poll && m.steps % machine::POLLSTEPS == 0 && m.poll(m.pollcontext)) {
      m.interrupted = true;
      break;
    }
  }
}

// A pass big enough to share: in parts where that is exact and has been the faster lately,
// otherwise as one loop, either way weighed. A function of its own, so that the timing
// stays out of the small passes' loop, where it would take registers the steps need.
[[gnu::noinline]] void sharedpass(machine& m) {
  const int64_t before = m.steps;
  costclock::time_point start = costclock::now();
  if (stepparts(m)) return weigh(m, true, start, m.steps - before);
  start = costclock::now(); // a survey that found no parts is not the loop's cost
  oneloop(m);
  weigh(m, false, start, m.steps - before);
}

} // namespace

int usablecores() {
#ifdef _OPENMP
  return std::clamp(omp_get_num_procs(), 1, machine::MOSTTHREADS);
#else
  return 1;
#endif
}

tickoutcome steppass(machine& m) {
  beginpass(m);
  if (m.overmemory == 0) {
    if (shareable(m))
      sharedpass(m);
    else
      oneloop(m);
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

namespace {

// Up to `steps` steps of a stepped pass, stopping before a step that reads a console line
// when `toread`; true when it stopped there. The cursor is a local through the loop, not the
// stepper's record in memory, where every step would load and store it again.
template <bool toread>
[[gnu::always_inline]] inline bool stretch(machine& m, plist<ip>::pass& cursor, bool& ended,
                                           int64_t steps) {
  auto pass = cursor;
  bool stopped = ended, atread = false;
  for (; steps > 0 && !stopped; --steps) {
    const auto before = pass;
    ip* p = pass.next();
    if (toread && p && readsinput(m, *p)) {
      pass = before, atread = true;
      break;
    }
    if (!p || stepone(m, *p)) stopped = true;
  }
  cursor = pass;
  ended = stopped;
  return atread;
}

} // namespace

bool passstepper::run(int64_t steps) {
  stretch<false>(_m, _pass, _ended, steps);
  return !_ended;
}

bool passstepper::runtoread(int64_t steps) {
  // With no ":" in the grid no step reads, and writes wait for the tick's end.
  if (_m.grid.rows.colons == 0) return stretch<false>(_m, _pass, _ended, steps);
  return stretch<true>(_m, _pass, _ended, steps);
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
