// The written-pairs set of the end-of-tick write application.
#include "interp/writeset.h"

namespace tarvex {

// A full 64-bit mix, so that writes on a regular lattice of cells still spread evenly.
std::size_t writeset::home(uint64_t pair) const {
  uint64_t z = pair;
  z ^= z >> 30;
  z *= 0xBF58476D1CE4E5B9ull;
  z ^= z >> 27;
  z *= 0x94D049BB133111EBull;
  return static_cast<std::size_t>((z ^ (z >> 31)) >> shift);
}

bool writeset::insert(int32_t x, int32_t y) {
  if ((used + 1) * 8 > slots.size() * 5) grow();
  // The pair is compared exactly as queued: column 0 and column 1 stay different pairs.
  const uint64_t pair = static_cast<uint32_t>(x) | static_cast<uint64_t>(static_cast<uint32_t>(y))
                                                       << 32;
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
  shift = 64;
  for (std::size_t n = slots.size(); n > 1; n >>= 1)
    --shift;
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
