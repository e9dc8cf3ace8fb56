// The interpreter's whole state in one record: the code grid, the live pointers, the writes
// queued this tick, the halt flag, the console the program talks to, and the two indexes that
// keep the tick linear.
#pragma once
#include <cstdint>

#include "interp/grid.h"
#include "interp/ip.h"
#include "interp/parts.h"
#include "interp/plist.h"
#include "interp/sweepindex.h"
#include "interp/writeset.h"
#include "runtime/text.h"

namespace tarvex {

class console;

// One queued grid write: the character, and the pair (x, y) kept exactly as queued. Every
// write is of one character, so the record holds it in place, with nothing to allocate.
struct buf {
  int32_t x = 0;
  int32_t y = 0;
  char16_t code = 0;
};

struct machine {
  explicit machine(console& output) : con(&output) {}

  codegrid grid;
  plist<ip> ips; // the pointer list
  // The pending-write list. A tick queues at most a write a pointer, and usually far fewer,
  // so its blocks are smaller: a short queue does not hold a block of a thousand records.
  plist<buf, 256> writes;
  int halted = 0;
  // Counts a host reports: step passes begun, pointer steps taken, pointers made (the next
  // pointer's id), the most pointers alive at once, and grid writes applied. `passing` is
  // set from the start of a pass until it runs to its end, so a host knows whether the last
  // tick is whole, also when it was thrown out of the pass.
  int64_t tick = 0;
  bool passing = false;
  int64_t steps = 0;
  int64_t spawned = 0;
  size_t peak = 0;
  int64_t applied = 0;
  // The fault that stopped the run (a code from runtime/faultnames.h), 0 while there is none.
  // A faulted machine takes no further steps; the host reports the fault.
  uint32_t fault = 0;

  // Limits a host may set. More than `maxpointers` pointers (0: no limit) alive in the running
  // tick, those it removed included, stop the run as soon as a split makes them, so a single
  // tick cannot grow without end; `poll`, when
  // set, is asked every POLLSTEPS pointer steps whether the pass should stop where it is.
  static constexpr int64_t POLLSTEPS = 4096;
  size_t maxpointers = 0;
  bool (*poll)(void* context) = nullptr;
  void* pollcontext = nullptr;
  size_t overcap = 0;       // the pointers held when the limit was passed; 0 while it is not
  bool interrupted = false; // `poll` stopped a pass
  // The memory budget: more than `maxbytes` bytes held (0: no budget) stop the run, counted
  // by checkbudget from what the machine holds plus `hostbytes`, what a host keeps for the
  // run (its history). A split, the application of writes and a pass every POLLSTEPS steps
  // check it, so a pass that never ends still stops within a few thousand steps of passing
  // it; a pass begins with a check while the host has a part.
  size_t maxbytes = 0;
  size_t hostbytes = 0;
  size_t overmemory = 0; // the bytes held when the budget was passed; 0 while it is not
  console* con;

  // The threads the step pass may use (1: one loop, as always), and the live pointers from
  // which a pass is split into parts for them: below that a pass is too short to share. A
  // test sets 0 to split every pass, however small.
  static constexpr size_t PARALLELFROM = 8192;
  static constexpr int MOSTTHREADS = 1024;
  int threads = 1;
  size_t parallelfrom = PARALLELFROM;
  partscratch parts;

  // Every stepped pointer in the list, by cell and direction. Only steppass keeps it, so a
  // pointer stepped by calling update directly is unknown to the duplicate sweep.
  sweepindex stepped;
  // The pairs written so far by the running applywrites.
  writeset written;
};

// What the run holds: the two lists' blocks, the grid, the two indexes and the host's part.
inline size_t heldbytes(const machine& m) {
  return m.ips.bytes() + m.writes.bytes() + m.stepped.bytes() + m.written.bytes() +
         static_cast<size_t>(m.grid.chars) * sizeof(char16_t) +
         m.grid.lines.capacity() * sizeof(Text) + m.hostbytes;
}

// The listed pointer whose id is `id`, or null.
inline const ip* findpointer(const machine& m, int64_t id) {
  const ip* found = nullptr;
  m.ips.each([&](const ip& p) {
    if (p.id == id) found = &p;
  });
  return found;
}

// Sets `overmemory` once what the run holds passes its budget.
inline void checkbudget(machine& m) {
  if (m.maxbytes == 0 || m.overmemory != 0) return;
  if (const size_t held = heldbytes(m); held > m.maxbytes) m.overmemory = held;
}

} // namespace tarvex
