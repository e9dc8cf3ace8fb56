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
  _con = m.con;
  _rebuilt = {}; // a tick shown from the past is painted from its own machine by now
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
  _rebuilt = {};
  _bytes = 0;
}

size_t history::wholebefore(size_t i) const {
  while (!_copies[i].whole)
    --i;
  return i;
}

const snapshot& history::at(size_t i) const {
  if (_copies[i].whole) return _copies[i].copy;
  const size_t from = wholebefore(i);
  machine m(*_con);
  restoresnapshot(m, _copies[from].copy);
  // The ticks after the whole copy read the lines they read the first time, and the output
  // they wrote then is not written again; the console is left as it was found.
  const int64_t mark = _con->inputmark();
  _con->rewindinput(_copies[from].input);
  _con->quiet(true);
  struct restore {
    console& con;
    int64_t mark;
    ~restore() {
      con.quiet(false);
      con.rewindinput(mark);
    }
  } guard{*_con, mark};
  for (size_t t = from + 1; t <= i; ++t) {
    // The writes the tick before queued land first, as they do when the run goes on.
    applywrites(m);
    steppass(m);
  }
  _rebuilt = takesnapshot(m, &_copies[from].copy);
  return _rebuilt;
}

} // namespace tarvex
