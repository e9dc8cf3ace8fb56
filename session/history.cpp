// Recording the history within its budget.
#include "session/history.h"

namespace tarvex {

void history::record(const machine& m, bool hit, int64_t input) {
  if (!on()) return;
  _copies.push_back(takesnapshot(m, _copies.empty() ? nullptr : &_copies.back()));
  _hits.push_back(hit);
  _inputs.push_back(input);
  _bytes += static_cast<int64_t>(_copies.back().bytes());
  trim(_budget);
}

void history::trim(int64_t budget) {
  // The newest copy is kept whatever it costs while the copies keep to their own budget.
  const size_t keep = budget >= _budget ? 1 : 0;
  while (_bytes > budget && _copies.size() > keep) {
    if (_copies.size() == 1) {
      clear();
      return;
    }
    snapshot& next = _copies[1];
    _bytes -= static_cast<int64_t>(_copies.front().bytes() + next.bytes());
    // A grid shared with the copy being dropped now belongs to the next one.
    if (next.grid == _copies.front().grid) next.ownsgrid = true;
    _bytes += static_cast<int64_t>(next.bytes());
    _copies.pop_front();
    _hits.pop_front();
    _inputs.pop_front();
  }
}

void history::rerecord(const machine& m, int64_t input) {
  if (!on()) return;
  bool hit = false;
  if (!_copies.empty()) {
    hit = _hits.back(); // the tick still hit its breakpoint
    dropnewest();
  }
  record(m, hit, input);
}

void history::forkat(size_t i) {
  while (_copies.size() > i + 1)
    dropnewest();
}

void history::dropnewest() {
  _bytes -= static_cast<int64_t>(_copies.back().bytes());
  _copies.pop_back();
  _hits.pop_back();
  _inputs.pop_back();
}

void history::clear() {
  _copies.clear();
  _hits.clear();
  _inputs.clear();
  _bytes = 0;
}

} // namespace tarvex
