// The pending-write list and its end-of-tick application.
#include "interp/writes.h"

namespace tarvex {

void queuewrite(machine& m, int64_t x, int64_t y, char16_t code) {
  buf& w = m.writes.append();
  w.x = static_cast<int32_t>(static_cast<uint32_t>(x));
  w.y = static_cast<int32_t>(static_cast<uint32_t>(y));
  w.code = code;
}

void applywrites(machine& m) {
  // A later write to a pair already written this round is the one a sweep over the whole
  // queue would have dropped; the set finds it without that sweep.
  if (m.writes.held() == 0) return; // most ticks write nothing
  m.written.reset();
  auto pass = m.writes.begin_pass();
  while (buf* w = pass.next())
    if (m.written.insert(w->x, w->y)) {
      writecell(m.grid, w->x, w->y, w->code);
      ++m.applied;
    }
  m.writes.clear();
  m.writes.release();
  checkbudget(m); // lines lengthened, and the written set grew
}

} // namespace tarvex
