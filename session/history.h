// The ticks a session can go back through: a copy of each tick's shown state, the oldest
// dropped once the copies pass their memory budget.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

#include "interp/snapshot.h"

namespace tarvex {

class history {
public:
  explicit history(int64_t budgetbytes) : _budget(budgetbytes) {}

  bool on() const { return _budget > 0; }
  // Keeps the state of `m` as its frame shows it; the newest copy is always kept, whatever
  // it costs.
  // `hit`: a breakpoint was hit in the tick, so going back to breakpoints stops there.
  void record(const machine& m, bool hit = false);
  void clear();
  // Drops the oldest copies, the newest too if need be, until the copies take at most
  // `budget` bytes.
  void trim(int64_t budget);

  size_t size() const { return _copies.size(); }
  const snapshot& at(size_t i) const { return _copies[i]; } // 0 is the oldest
  bool hit(size_t i) const { return _hits[i]; }
  int64_t bytes() const { return _bytes; }

private:
  int64_t _budget;
  int64_t _bytes = 0;
  std::deque<snapshot> _copies;
  std::deque<bool> _hits;
};

} // namespace tarvex
