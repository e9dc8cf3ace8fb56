// A copy of what a tick's frame shows, cheap enough to keep for every tick: the pointers in
// list order and the grid, the grid shared with the copy before when nothing wrote to it,
// and what the run needs to go on from there: the writes the tick queued and the counts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "interp/machine.h"

namespace tarvex {

struct snapshot {
  int64_t tick = 0;
  std::vector<ip> pointers;             // the live pointers, in list order
  std::shared_ptr<const codegrid> grid; // shared between copies of the same grid
  bool ownsgrid = true;                 // false when the grid came from the copy before
  std::vector<buf> writes;              // queued in the tick, landing when the run goes on
  // The run's counts, so that a run forked here goes on counting from them. (Whether the
  // grid is the one copied before, the grid's own count of its changes tells.)
  int64_t applied = 0;
  int64_t spawned = 0; // the next pointer's id
  int64_t steps = 0;
  size_t peak = 0;

  size_t bytes() const; // what this copy adds to memory
};

// The state of `m` as it stands. The grid is shared with `previous` (may be null) when no
// write and no lengthened line changed it since that copy was taken.
snapshot takesnapshot(const machine& m, const snapshot* previous);

// Fills `into`, a machine nothing has loaded, with the copied state, so a past frame can be
// painted and inspected as the live one is, or the run can go on from it (a fork).
void restoresnapshot(machine& into, const snapshot& copy);

} // namespace tarvex
