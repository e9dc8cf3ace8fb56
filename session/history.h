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
  // `input`: the console's input mark after the tick, where a run forked there reads on.
  void record(const machine& m, bool hit = false, int64_t input = 0);
  // The newest copy taken again, after an edit changed the state it keeps.
  void rerecord(const machine& m, int64_t input);
  // Drops every copy newer than copy `i`, as an edit there forks the run.
  void forkat(size_t i);
  void clear();
  // Drops the oldest copies, the newest too if need be, until the copies take at most
  // `budget` bytes.
  void trim(int64_t budget);

  size_t size() const { return _copies.size(); }
  const snapshot& at(size_t i) const { return _copies[i]; } // 0 is the oldest
  bool hit(size_t i) const { return _hits[i]; }
  int64_t input(size_t i) const { return _inputs[i]; }
  int64_t bytes() const { return _bytes; }

private:
  void dropnewest();

  int64_t _budget;
  int64_t _bytes = 0;
  std::deque<snapshot> _copies;
  std::deque<bool> _hits;
  std::deque<int64_t> _inputs;
};

} // namespace tarvex
