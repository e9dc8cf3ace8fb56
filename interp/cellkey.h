// Keys for the flat hash tables of the tick: a grid cell packed into 64 bits, and the mix that
// spreads it over a table.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarvex {

// (x, y) exactly as given: column 0 and column 1 stay different keys.
constexpr uint64_t packcell(int32_t x, int32_t y) {
  return static_cast<uint32_t>(x) | static_cast<uint64_t>(static_cast<uint32_t>(y)) << 32;
}

// A bijection on 64 bits that spreads every input bit over the whole word. Cells on regular
// lattices (lanes, columns, every other cell) would otherwise gather in a few long probe runs.
constexpr uint64_t mixbits(uint64_t z) {
  z ^= z >> 30;
  z *= 0xBF58476D1CE4E5B9ull;
  z ^= z >> 27;
  z *= 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The right shift that turns a mixed key into a slot of a table of `slots` (a power of two).
constexpr unsigned slotshift(std::size_t slots) {
  unsigned shift = 64;
  for (std::size_t n = slots; n > 1; n >>= 1)
    --shift;
  return shift;
}

} // namespace tarvex
