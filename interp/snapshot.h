// A copy of a machine's state in plain vectors, for a history of ticks to look back on: what
// a frame shows and what the next tick needs, without the list pools and indexes.
#pragma once
#include <cstddef>
#include <vector>

#include "interp/machine.h"

namespace tarvex {

struct snapshot {
  codegrid grid;
  std::vector<ip> ips;     // in list order
  std::vector<buf> writes; // queued, in queue order
  int halted = 0;
  uint32_t fault = 0;
  int64_t tick = 0, steps = 0, spawned = 0, applied = 0;
  size_t peak = 0;
};

snapshot capture(const machine& m);
// Makes `m` hold the captured state, as if it had run there; its console and limits stay.
// Only between passes.
void restore(machine& m, const snapshot& s);
// About how many bytes the snapshot holds, for a history bounded by memory.
size_t footprint(const snapshot& s);

} // namespace tarvex
