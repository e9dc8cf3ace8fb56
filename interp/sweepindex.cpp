// The duplicate sweep's index: linear probing with backward-shift removal, so no tombstones
// pile up while pointers keep moving from slot to slot.
#include "interp/sweepindex.h"

#include <algorithm>

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

void sweepindex::refit(int64_t columns, int64_t lines, const plist<ip>& ips) {
  if (columns < 0 || lines < 0) return;
  const auto width = static_cast<uint64_t>(columns) + 3, height = static_cast<uint64_t>(lines) + 2;
  const bool fits = width <= DENSELIMIT && height <= DENSELIMIT && width * height <= DENSELIMIT / 4;
  if (!fits && densewidth == 0 && denseheight == 0) return;
  if (fits && width == densewidth && height == denseheight) return;
  densewidth = fits ? width : 0;
  denseheight = fits ? height : 0;
  dense.assign(static_cast<size_t>(densewidth * denseheight * 4), 0);
  dense.shrink_to_fit();
  slots.clear();
  used = 0;
  shift = 64;
  // After a sweep at most one stepped pointer stands at each cell and direction.
  auto pass = ips.begin_pass();
  while (ip* p = pass.next())
    if (p->n == 0) place(*p);
}

ip* sweepindex::hashplace(ip& p) {
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

ip* sweepindex::hashtake(int32_t x, int32_t y, int32_t dir) {
  if (used == 0) return nullptr;
  const std::size_t i = find(mixedcell(x, y), static_cast<uintptr_t>(dir) & dirmask);
  ip* there = pointerof(slots[i].tagged);
  if (there) vacate(i);
  return there;
}

void sweepindex::hasherase(const ip& p) {
  if (used == 0) return;
  const std::size_t i = find(mixedcell(p.x, p.y), static_cast<uintptr_t>(p.dir) & dirmask);
  if (pointerof(slots[i].tagged) == &p) vacate(i);
}

void sweepindex::prefetch(const ip& p) const {
  const uintptr_t dir = static_cast<uintptr_t>(p.dir) & dirmask;
  const uint64_t cx = static_cast<uint64_t>(int64_t{p.x} + 1),
                 cy = static_cast<uint64_t>(int64_t{p.y} + 1);
  if (cx < densewidth && cy < denseheight) {
    const uint64_t at = (cy * densewidth + cx) * 4 + dir;
    __builtin_prefetch(&dense[static_cast<size_t>(at)]);
    const int64_t step = (DX[dir] + DY[dir] * static_cast<int64_t>(densewidth)) * 4;
    const uint64_t next = at + static_cast<uint64_t>(step); // wraps to a huge index below 0
    if (next < dense.size()) __builtin_prefetch(&dense[static_cast<size_t>(next)]);
    return;
  }
  if (slots.empty()) return;
  __builtin_prefetch(&slots[home(mixedcell(p.x, p.y), dir)]);
  const auto x = static_cast<int32_t>(int64_t{p.x} + DX[dir]);
  const auto y = static_cast<int32_t>(int64_t{p.y} + DY[dir]);
  __builtin_prefetch(&slots[home(mixedcell(x, y), dir)]);
}

void sweepindex::clear() {
  std::fill(dense.begin(), dense.end(), 0);
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
