// The set of grid pairs (x, y) already written in the current application of queued writes,
// so that only the first write queued for a pair takes effect.
//
// A flat table with linear probing. A slot counts as filled only when it carries the current
// round's stamp, so starting a new round is one increment rather than a sweep of the table.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

class writeset {
public:
  // Forgets every pair.
  void reset() {
    ++round;
    used = 0;
  }
  // Adds (x, y); false when the pair was already there.
  bool insert(int32_t x, int32_t y);
  std::size_t bytes() const { return slots.capacity() * sizeof(slot); }

private:
  struct slot {
    uint64_t pair = 0;
    uint64_t round = 0; // filled when equal to the set's round
  };

  std::size_t home(uint64_t pair) const;
  void grow();

  std::vector<slot> slots;
  std::size_t used = 0;
  uint64_t round = 1;
  unsigned shift = 64;
};

} // namespace tarvex
