// The index the duplicate sweep uses: from a cell and a direction to the one stepped pointer
// that stands there.
//
// After every sweep at most one stepped pointer in the list stands at a given (x, y, dir), so
// the sweep after a step needs one lookup instead of a pass over the whole list.
//
// Every live pointer stands inside the grid or one cell around it, except after a "$" jump
// past the longest line. So a grid of moderate size gets a dense array with a slot per cell
// and direction: a lookup is one load at a computed address, with no hashing and no probing,
// and pointers that move to a neighbouring cell touch neighbouring memory. Cells outside that
// box, and every cell of a grid too large for the array, go to a flat hash table with linear
// probing instead: a slot holds the mixed cell and the pointer's address with the direction in
// its two low bits, so no insert allocates once the table has grown. Which of the two holds a
// cell depends only on the cell, so lookups stay exact whatever the box.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "interp/ip.h"
#include "interp/plist.h"

namespace tarvex {

class sweepindex {
public:
  // Chooses the dense box for a grid of `columns` columns (column 0 not counted) and `lines`
  // lines, and when the box changes indexes every stepped pointer of `ips` again.
  void fit(int64_t columns, int64_t lines, const plist<ip>& ips) {
    list = &ips;
    if (static_cast<uint64_t>(columns) + 3 != densewidth ||
        static_cast<uint64_t>(lines) + 2 != denseheight)
      refit(columns, lines, ips);
  }
  // Puts p at its own cell and direction; returns the pointer it displaces there, if any.
  ip* place(ip& p) {
    if (uint32_t* s = denseslot(p.x, p.y, p.dir)) {
      const uint32_t before = *s;
      *s = list->serial(p);
      return before ? &list->record(before) : nullptr;
    }
    return hashplace(p);
  }
  // Takes out and returns whichever pointer stands at (x, y, dir), if any.
  ip* take(int32_t x, int32_t y, int32_t dir) {
    if (uint32_t* s = denseslot(x, y, dir)) {
      const uint32_t there = *s;
      *s = 0;
      return there ? &list->record(there) : nullptr;
    }
    return hashtake(x, y, dir);
  }
  // Takes p out of the slot of its cell and direction, if it is the one held there.
  void erase(const ip& p) {
    if (uint32_t* s = denseslot(p.x, p.y, p.dir)) {
      if (*s == list->serial(p)) *s = 0;
      return;
    }
    hasherase(p);
  }
  void clear();
  // Starts loading the slots p will need in its next step (its cell, and the cell one move
  // on), so that the lookups do not wait for memory.
  void prefetch(const ip& p) const;

  // Dense boxes above this many slots would cost more memory than the hash table saves.
  static constexpr std::size_t DENSELIMIT = std::size_t{1} << 22;

private:
  struct slot {
    // The cell (x, y) through a mixing bijection: equal exactly when the cells are equal,
    // and spread well enough to give the slot without mixing again.
    uint64_t cell = 0;
    uintptr_t tagged = 0; // the pointer's address | dir; 0 marks an empty slot
  };

  // The dense slot of (x, y, dir), or nullptr when the cell lies outside the box.
  uint32_t* denseslot(int32_t x, int32_t y, int32_t dir) {
    const auto cx = static_cast<uint64_t>(int64_t{x} + 1),
               cy = static_cast<uint64_t>(int64_t{y} + 1);
    if (cx >= densewidth || cy >= denseheight) return nullptr;
    // The dense box holds fewer than DENSELIMIT slots, so the index fits a 32-bit size_t too.
    return &dense[static_cast<size_t>((cy * densewidth + cx) * 4 +
                                      (static_cast<uint64_t>(dir) & 3))];
  }

  void refit(int64_t columns, int64_t lines, const plist<ip>& ips);
  ip* hashplace(ip& p);
  ip* hashtake(int32_t x, int32_t y, int32_t dir);
  void hasherase(const ip& p);
  std::size_t home(uint64_t cell, uintptr_t dir) const;
  std::size_t find(uint64_t cell, uintptr_t dir) const; // the slot, or an empty one
  void vacate(std::size_t hole);
  void grow();

  // The box covers columns -1 to `columns` + 1 and lines -1 to `lines`, four slots a cell.
  // A slot holds the pointer's serial in the list (half the size of an address), 0 when empty.
  std::vector<uint32_t> dense;
  const plist<ip>* list = nullptr;
  uint64_t densewidth = 0, denseheight = 0;

  std::vector<slot> slots;
  std::size_t used = 0;
  unsigned shift = 64; // 64 - log2(slots.size())
};

} // namespace tarvex
