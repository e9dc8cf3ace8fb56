// Spawning pointers at a cell.
#include "interp/spread.h"

namespace tarvex {

void spread(machine& m, int32_t x, int32_t y, int32_t dir, uint8_t v0, uint8_t v1, int32_t on,
            int32_t remafter) {
  static constexpr int32_t reverse[4] = {DOWN, UP, RIGHT, LEFT};
  for (int32_t d = UP; d <= RIGHT; ++d) {
    // A split never sends a pointer back the way it came.
    if (dir >= UP && dir <= RIGHT && d == reverse[dir]) continue;
    ip& p = m.ips.append();
    p.x = x;
    p.y = y;
    p.dir = static_cast<uint8_t>(d);
    p.val[0] = v0;
    p.val[1] = v1;
    p.remafter = static_cast<uint8_t>(remafter & 0xFF);
    p.on = static_cast<uint8_t>(on);
    p.id = m.spawned++;
  }
  // Only spreading adds pointers, so the peak and the limit can only be passed here.
  if (m.ips.count() > m.peak) m.peak = m.ips.count();
  // Pointers removed in the running tick count too: they stay held until it ends, and a ring
  // of splitters keeps few alive at once while it makes new ones without end.
  if (m.maxpointers != 0 && m.ips.held() > m.maxpointers) m.overcap = m.ips.held();
  checkbudget(m);
}

} // namespace tarvex
