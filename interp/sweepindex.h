// The index the duplicate sweep uses: from a cell and a direction to the one stepped pointer
// that stands there.
//
// After every sweep at most one stepped pointer in the list stands at a given (x, y, dir), so
// the sweep after a step needs one lookup instead of a pass over the whole list.
//
// A lookup is one load at a computed address, with no hashing and no probing: a slot per cell
// and direction. The box is cut into square tiles, and a tile is allocated only when a pointer
// first stands in it, so a grid of any size costs memory only where pointers go, and its
// directory a pointer per tile. The directory costs a lookup one more load, so a grid whose
// own cells (and the ring around them) need at most FLATLIMIT slots has those in one array
// instead, and only the cells a jump reaches beyond it go to the tiles. Pointers that move to
// a neighbouring cell touch neighbouring memory.
//
// The box holds every cell a stepped pointer can stand on: a step leaves a pointer in the
// list only inside the grid or one cell around it, or where a "$" jump took it (columns and
// lines up to 255). Cells outside the box never hold one, so a lookup there finds nothing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "interp/ip.h"
#include "interp/plist.h"

namespace tarvex {

class sweepindex {
public:
  // Sizes the box for a grid of `columns` columns (column 0 not counted) and `lines` lines,
  // and when the box changes indexes every stepped pointer of `ips` again.
  void fit(int64_t columns, int64_t lines, const plist<ip>& ips) {
    list = &ips;
    if (static_cast<uint64_t>(columns) + 3 != gridwidth ||
        static_cast<uint64_t>(lines) + 2 != height)
      refit(columns, lines, ips);
  }
  // Puts p at its own cell and direction; returns the pointer it displaces there, if any.
  ip* place(ip& p) { return place(p, p.x, p.y, p.dir); }
  // place() for a step that has just written p's cell and direction and still holds them: read
  // back from the record, they would wait on its stores.
  ip* place(ip& p, int32_t x, int32_t y, int32_t dir) {
    uint32_t* s = find(x, y, dir);
    if (!s) s = allocate(x, y, dir);
    if (!s) return nullptr; // outside the box, where no step leaves a pointer
    const uint32_t before = *s;
    *s = list->serial(p);
    return before ? &list->record(before) : nullptr;
  }
  // Takes out and returns whichever pointer stands at (x, y, dir), if any.
  ip* take(int32_t x, int32_t y, int32_t dir) {
    uint32_t* s = find(x, y, dir);
    if (!s || !*s) return nullptr;
    const uint32_t there = *s;
    *s = 0;
    return &list->record(there);
  }
  // Takes p out of the slot of its cell and direction, if it is the one held there.
  void erase(const ip& p) {
    uint32_t* s = find(p.x, p.y, p.dir);
    if (s && *s == list->serial(p)) *s = 0;
  }
  // The list moved p, whose serial was `from`; its slot follows it.
  void moved(const ip& p, uint32_t from) {
    uint32_t* s = find(p.x, p.y, p.dir);
    if (s && *s == from) *s = list->serial(p);
  }
  // Whether placing a pointer at (x, y) would allocate a tile, which only one thread may do.
  bool wouldallocate(int64_t x, int64_t y) const {
    const auto cx = static_cast<uint64_t>(x + 1), cy = static_cast<uint64_t>(y + 1);
    if (cx < flatwidth) return false; // the array has every slot of its columns: the usual case
    return cx < width && cy < height && !tiles[tileof(cx, cy)];
  }
  // The lines and columns the box covers, from line -1 and column -1.
  uint64_t lines() const { return height; }
  uint64_t columns() const { return width; }
  // Forgets every pointer and gives the tiles back.
  void clear();
  // The next fit indexes the list again, as pointers were moved, turned or removed by hand.
  void invalidate() { gridwidth = 0; }
  // Starts loading the slots p will need in its next step (its cell, and the cell one move
  // on), so that the lookups do not wait for memory.
  [[gnu::always_inline]] void prefetch(const ip& p) const {
    const uint32_t dir = static_cast<uint32_t>(p.dir) & 3;
    if (const uint32_t* s = find(p.x, p.y, p.dir)) __builtin_prefetch(s);
    if (const uint32_t* s = find(int64_t{p.x} + DX[dir], int64_t{p.y} + DY[dir], p.dir))
      __builtin_prefetch(s);
  }
  // The bytes the index holds: its array, or its tiles and their directory.
  std::size_t bytes() const {
    return (flat.capacity() + tilecount * TILESLOTS) * sizeof(uint32_t) +
           tiles.capacity() * sizeof(tiles[0]);
  }

  // Boxes up to this many slots (16 MiB) are one array.
  static constexpr std::size_t FLATLIMIT = std::size_t{1} << 22;

private:
  // Tiles of 32 columns by 2 lines, four slots a cell: 1 KiB, so pointers scattered over a
  // large grid cost at most that each, and a line of a tile is 512 bytes of consecutive
  // memory for pointers that pass along it.
  static constexpr unsigned XSHIFT = 5, YSHIFT = 1;
  static constexpr uint64_t TILEWIDTH = uint64_t{1} << XSHIFT, TILEHEIGHT = uint64_t{1} << YSHIFT;
  static constexpr std::size_t TILESLOTS = TILEWIDTH * TILEHEIGHT * 4;

  static uint64_t boxwidth(int64_t columns) {
    // Columns -1 to the longest line + 1, and at least to 255, where a jump may land.
    return static_cast<uint64_t>(columns < 255 ? 255 : columns) + 3;
  }

  // The tile that holds box cell (cx, cy), and the place of (cx, cy, dir) in it.
  std::size_t tileof(uint64_t cx, uint64_t cy) const {
    return static_cast<std::size_t>((cy >> YSHIFT) * across + (cx >> XSHIFT));
  }
  static std::size_t slotof(uint64_t cx, uint64_t cy, int32_t dir) {
    return static_cast<std::size_t>(((cy & (TILEHEIGHT - 1)) << XSHIFT | (cx & (TILEWIDTH - 1)))
                                        << 2 |
                                    (static_cast<uint64_t>(dir) & 3));
  }

  // The slot of (x, y, dir); nullptr outside the box or in a tile no pointer has reached.
  uint32_t* find(int64_t x, int64_t y, int32_t dir) const {
    const auto cx = static_cast<uint64_t>(x + 1), cy = static_cast<uint64_t>(y + 1);
    if (cx < flatwidth && cy < height)
      return const_cast<uint32_t*>(flat.data()) +
             static_cast<std::size_t>((cy * flatwidth + cx) << 2 |
                                      (static_cast<uint64_t>(dir) & 3));
    if (cx >= width || cy >= height) return nullptr;
    uint32_t* tile = tiles[tileof(cx, cy)].get();
    return tile ? tile + slotof(cx, cy, dir) : nullptr;
  }
  uint32_t* allocate(int64_t x, int64_t y, int32_t dir); // as find, making the tile

  void refit(int64_t columns, int64_t lines, const plist<ip>& ips);

  // The box covers columns -1 to width - 2 and lines -1 to height - 2, in rows of `across`
  // tiles. A slot holds the pointer's serial in the list (half the size of an address), 0
  // when empty.
  // The grid's own box, columns -1 to `flatwidth` - 2, when it is small; 0 wide otherwise.
  std::vector<uint32_t> flat;
  uint64_t flatwidth = 0, gridwidth = 0;
  std::vector<std::unique_ptr<uint32_t[]>> tiles;
  std::size_t tilecount = 0;
  const plist<ip>* list = nullptr;
  uint64_t width = 0, height = 0, across = 0;
};

} // namespace tarvex
