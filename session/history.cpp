// Recording the history within its budget, and rebuilding the ticks it keeps no whole copy of.
#include "session/history.h"

#include "interp/tick.h"
#include "interp/writes.h"
#include "runtime/console.h"

namespace tarvex {

void history::record(const machine& m, bool hit, int64_t input) {
  if (!on()) return;
  const bool whole =
      _copies.empty() || _copies.size() - wholebefore(_copies.size() - 1) >= WHOLEEVERY;
  add(m, whole, hit, input);
}

void history::add(const machine& m, bool whole, bool hit, int64_t input) {
  kept copy;
  copy.whole = whole;
  copy.hit = hit;
  copy.input = input;
  if (whole)
    copy.copy =
        takesnapshot(m, _copies.empty() ? nullptr : &_copies[wholebefore(_copies.size() - 1)].copy);
  else
    copy.copy.tick = m.tick;
  _copies.push_back(std::move(copy));
  _bytes += static_cast<int64_t>(_copies.back().bytes());
  trim(_budget);
}

void history::trim(int64_t budget) {
  // The newest copy is kept whatever it costs while the copies keep to their own budget, and
  // with it the whole copy it is rebuilt from.
  const bool keepnewest = budget >= _budget;
  while (_bytes > budget && !_copies.empty()) {
    // The oldest whole copy goes with the copies rebuilt from it.
    size_t group = 1;
    while (group < _copies.size() && !_copies[group].whole)
      ++group;
    if (keepnewest && group == _copies.size()) return;
    for (size_t i = 0; i < group; ++i)
      _bytes -= static_cast<int64_t>(_copies[i].bytes());
    _copies.erase(_copies.begin(), _copies.begin() + static_cast<std::ptrdiff_t>(group));
    // A grid shared with the copy dropped now belongs to the next whole one.
    if (!_copies.empty() && !_copies.front().copy.ownsgrid) {
      _bytes -= static_cast<int64_t>(_copies.front().bytes());
      _copies.front().copy.ownsgrid = true;
      _bytes += static_cast<int64_t>(_copies.front().bytes());
    }
  }
}

void history::rerecord(const machine& m, int64_t input) {
  if (!on()) return;
  bool hit = false;
  if (!_copies.empty()) {
    hit = _copies.back().hit; // the tick still hit its breakpoint
    dropnewest();
  }
  add(m, true, hit, input);
}

void history::forkat(size_t i) {
  while (_copies.size() > i + 1)
    dropnewest();
}

void history::dropnewest() {
  _bytes -= static_cast<int64_t>(_copies.back().bytes());
  _copies.pop_back();
}

void history::clear() {
  _copies.clear();
  _bytes = 0;
}

size_t history::wholebefore(size_t i) const {
  while (!_copies[i].whole)
    --i;
  return i;
}

void history::restore(size_t i, machine& into) const {
  const size_t from = wholebefore(i);
  restoresnapshot(into, _copies[from].copy);
  if (from == i) return;
  // The ticks after the whole copy read the lines they read the first time, and the output
  // they wrote then is not written again; the console is left as it was found. They ran
  // within the run's limits once, so they run again without them: what the copy holds is not
  // what the run held then.
  console& con = *into.con;
  const int64_t mark = con.inputmark();
  con.rewindinput(_copies[from].input);
  con.quiet(true);
  const size_t maxpointers = into.maxpointers, maxbytes = into.maxbytes;
  into.maxpointers = into.maxbytes = 0;
  struct restore {
    machine& m;
    int64_t mark;
    size_t maxpointers, maxbytes;
    ~restore() {
      m.con->quiet(false);
      m.con->rewindinput(mark);
      m.maxpointers = maxpointers, m.maxbytes = maxbytes;
    }
  } guard{into, mark, maxpointers, maxbytes};
  for (size_t t = from + 1; t <= i; ++t) {
    // The writes the tick before queued land first, as they do when the run goes on.
    applywrites(into);
    steppass(into);
  }
}

} // namespace tarvex
