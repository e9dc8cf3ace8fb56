// The written-pairs set of the end-of-tick write application.
#include "interp/writeset.h"

#include "interp/cellkey.h"

namespace tarvex {

std::size_t writeset::home(uint64_t pair) const {
  return static_cast<std::size_t>(mixbits(pair) >> shift);
}

bool writeset::insert(int32_t x, int32_t y) {
  if ((used + 1) * 8 > slots.size() * 5) grow();
  // The pair is compared exactly as queued: column 0 and column 1 stay different pairs.
  const uint64_t pair = packcell(x, y);
  const std::size_t mask = slots.size() - 1;
  for (std::size_t i = home(pair);; i = (i + 1) & mask) {
    slot& s = slots[i];
    if (s.round != round) {
      s = slot{pair, round};
      ++used;
      return true;
    }
    if (s.pair == pair) return false;
  }
}

void writeset::grow() {
  std::vector<slot> old;
  old.swap(slots);
  slots.assign(old.empty() ? 64 : old.size() * 2, slot{});
  shift = slotshift(slots.size());
  const std::size_t mask = slots.size() - 1;
  for (const slot& s : old) {
    if (s.round != round) continue;
    std::size_t i = home(s.pair);
    while (slots[i].round == round)
      i = (i + 1) & mask;
    slots[i] = s;
  }
}

} // namespace tarvex
