// The ticks a session can go back through, the oldest dropped once they pass their memory
// budget. Copying a large state takes a good share of a tick, so only every WHOLEEVERY-th tick,
// and a tick an edit changed, keeps a whole copy of its shown state; a tick between keeps its
// tick number and is rebuilt on demand by stepping on from the whole copy before it, the run
// being deterministic given the input it read, which the console keeps.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

#include "interp/snapshot.h"

namespace tarvex {

class history {
public:
  // Going back to a tick steps at most WHOLEEVERY - 1 ticks again.
  static constexpr size_t WHOLEEVERY = 8;

  explicit history(int64_t budgetbytes) : _budget(budgetbytes) {}

  bool on() const { return _budget > 0; }
  // Keeps the state of `m` as its frame shows it, `m` having stepped one tick from the newest
  // copy (or none being kept); the newest copy is always kept, whatever it costs.
  // `hit`: a breakpoint was hit in the tick, so going back to breakpoints stops there.
  // `input`: the console's input mark after the tick, where a run forked there reads on.
  void record(const machine& m, bool hit = false, int64_t input = 0);
  // The newest copy taken again, whole, after an edit changed the state it keeps.
  void rerecord(const machine& m, int64_t input);
  // Drops every copy newer than copy `i`, as an edit there forks the run.
  void forkat(size_t i);
  void clear();
  // Drops the oldest copies, those rebuilt from the oldest whole copy with it, the newest too
  // if need be, until the copies take at most `budget` bytes.
  void trim(int64_t budget);

  size_t size() const { return _copies.size(); }
  int64_t tick(size_t i) const { return _copies[i].copy.tick; } // 0 is the oldest
  // Fills `into`, a machine nothing has loaded, with the state of copy `i`: a whole copy as
  // kept, another stepped again from the whole copy before it, with the console's input
  // rewound for those ticks and their output dropped.
  void restore(size_t i, machine& into) const;
  bool hit(size_t i) const { return _copies[i].hit; }
  int64_t input(size_t i) const { return _copies[i].input; }
  int64_t bytes() const { return _bytes; }

private:
  struct kept {
    snapshot copy; // only its tick when not whole
    bool whole = false;
    bool hit = false;
    int64_t input = 0;
    size_t bytes() const { return whole ? copy.bytes() : sizeof(kept); }
  };
  void add(const machine& m, bool whole, bool hit, int64_t input);
  void dropnewest();
  size_t wholebefore(size_t i) const; // the newest whole copy at or before copy i

  int64_t _budget;
  int64_t _bytes = 0;
  std::deque<kept> _copies;
};

} // namespace tarvex
