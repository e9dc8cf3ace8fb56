// The duplicate sweep's index: linear probing with backward-shift removal, so no tombstones
// pile up while pointers keep moving from slot to slot.
#include "interp/sweepindex.h"

#include "interp/cellkey.h"

namespace tarvex {

namespace {

static_assert(alignof(ip) >= 4, "the direction lives in the low two bits of an ip address");

constexpr uintptr_t dirmask = 3;

uint64_t mixedcell(int32_t x, int32_t y) {
  return mixbits(packcell(x, y));
}

ip* pointerof(uintptr_t tagged) {
  return reinterpret_cast<ip*>(tagged & ~dirmask);
}

} // namespace

std::size_t sweepindex::home(uint64_t cell, uintptr_t dir) const {
  // The four directions of one cell land in unrelated places.
  return static_cast<std::size_t>((cell ^ (dir * 0x9E3779B97F4A7C15ull)) >> shift);
}

std::size_t sweepindex::find(uint64_t cell, uintptr_t dir) const {
  const std::size_t mask = slots.size() - 1;
  for (std::size_t i = home(cell, dir);; i = (i + 1) & mask) {
    const slot& s = slots[i];
    if (s.tagged == 0 || (s.cell == cell && (s.tagged & dirmask) == dir)) return i;
  }
}

ip* sweepindex::place(ip& p) {
  if ((used + 1) * 2 > slots.size()) grow(); // load at most 1/2: short runs to scan
  const uint64_t cell = mixedcell(p.x, p.y);
  const uintptr_t dir = static_cast<uintptr_t>(p.dir) & dirmask;
  slot& s = slots[find(cell, dir)];
  ip* before = pointerof(s.tagged);
  if (!before) ++used;
  s.cell = cell;
  s.tagged = reinterpret_cast<uintptr_t>(&p) | dir;
  return before;
}

ip* sweepindex::take(int32_t x, int32_t y, int32_t dir) {
  if (used == 0) return nullptr;
  const std::size_t i = find(mixedcell(x, y), static_cast<uintptr_t>(dir) & dirmask);
  ip* there = pointerof(slots[i].tagged);
  if (there) vacate(i);
  return there;
}

void sweepindex::erase(const ip& p) {
  if (used == 0) return;
  const std::size_t i = find(mixedcell(p.x, p.y), static_cast<uintptr_t>(p.dir) & dirmask);
  if (pointerof(slots[i].tagged) == &p) vacate(i);
}

void sweepindex::prefetch(const ip& p) const {
  if (slots.empty()) return;
  const uintptr_t dir = static_cast<uintptr_t>(p.dir) & dirmask;
  __builtin_prefetch(&slots[home(mixedcell(p.x, p.y), dir)]);
  const auto x = static_cast<int32_t>(int64_t{p.x} + DX[dir]);
  const auto y = static_cast<int32_t>(int64_t{p.y} + DY[dir]);
  __builtin_prefetch(&slots[home(mixedcell(x, y), dir)]);
}

void sweepindex::clear() {
  if (used == 0) return;
  for (slot& s : slots)
    s = slot{};
  used = 0;
}

// Empties slot `hole` and pulls back every later slot of the run whose probe started at or
// before the hole, so each stays reachable from its home.
void sweepindex::vacate(std::size_t hole) {
  const std::size_t mask = slots.size() - 1;
  for (std::size_t j = (hole + 1) & mask; slots[j].tagged != 0; j = (j + 1) & mask) {
    const std::size_t h = home(slots[j].cell, slots[j].tagged & dirmask);
    // j's entry may move to the hole when its home is not cyclically within (hole, j].
    const bool reachable = hole < j ? (h > hole && h <= j) : (h > hole || h <= j);
    if (!reachable) {
      slots[hole] = slots[j];
      hole = j;
    }
  }
  slots[hole] = slot{};
  --used;
}

void sweepindex::grow() {
  std::vector<slot> old;
  old.swap(slots);
  slots.assign(old.empty() ? 64 : old.size() * 2, slot{});
  shift = slotshift(slots.size());
  const std::size_t mask = slots.size() - 1;
  for (const slot& s : old) {
    if (s.tagged == 0) continue;
    std::size_t i = home(s.cell, s.tagged & dirmask);
    while (slots[i].tagged != 0)
      i = (i + 1) & mask;
    slots[i] = s;
  }
}

} // namespace tarvex
