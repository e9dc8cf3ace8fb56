// The index the duplicate sweep uses: from a cell and a direction to the one stepped pointer
// that stands there.
//
// After every sweep at most one stepped pointer in the list stands at a given (x, y, dir), so
// the sweep after a step needs one lookup instead of a pass over the whole list. A flat table
// with linear probing: a slot holds the mixed cell and the pointer's address with the
// direction in its two low bits, so no insert allocates once the table has grown.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "interp/ip.h"

namespace tarvex {

class sweepindex {
public:
  // Puts p at its own cell and direction; returns the pointer it displaces there, if any.
  ip* place(ip& p);
  // Takes out and returns whichever pointer stands at (x, y, dir), if any.
  ip* take(int32_t x, int32_t y, int32_t dir);
  // Takes p out of the slot of its cell and direction, if it is the one held there.
  void erase(const ip& p);
  void clear();
  // Starts loading the slots p will need in its next step (its cell, and the cell one move
  // on), so that the lookups do not wait for memory.
  void prefetch(const ip& p) const;

private:
  struct slot {
    // The cell (x, y) through a mixing bijection: equal exactly when the cells are equal,
    // and spread well enough to give the slot without mixing again.
    uint64_t cell = 0;
    uintptr_t tagged = 0; // the pointer's address | dir; 0 marks an empty slot
  };

  std::size_t home(uint64_t cell, uintptr_t dir) const;
  std::size_t find(uint64_t cell, uintptr_t dir) const; // the slot, or an empty one
  void vacate(std::size_t hole);
  void grow();

  std::vector<slot> slots;
  std::size_t used = 0;
  unsigned shift = 64; // 64 - log2(slots.size())
};

} // namespace tarvex
