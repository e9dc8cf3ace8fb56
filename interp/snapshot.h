// A copy of what a tick's frame shows, cheap enough to keep for every tick: the pointers in
// list order and the grid, the grid shared with the copy before when nothing wrote to it.
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
  // Grids only change by applied writes and by lines a pointer lengthened, and neither count
  // ever goes down, so the two tell whether a grid is the one copied before.
  int64_t applied = 0;
  int64_t gridlength = 0;

  size_t bytes() const; // what this copy adds to memory
};

// The state of `m` as it stands. The grid is shared with `previous` (may be null) when no
// write and no lengthened line changed it since that copy was taken.
snapshot takesnapshot(const machine& m, const snapshot* previous);

// Fills `into`, a machine nothing has loaded, with the copied state, so a past frame can be
// painted and inspected as the live one is. It never runs: the step index is left empty.
void restoresnapshot(machine& into, const snapshot& copy);

} // namespace tarvex
