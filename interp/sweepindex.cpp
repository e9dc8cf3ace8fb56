// The duplicate sweep's index: the box, its tiles, and indexing a list again.
#include "interp/sweepindex.h"

#include <algorithm>

namespace tarvex {

uint32_t* sweepindex::allocate(int64_t x, int64_t y, int32_t dir) {
  const auto cx = static_cast<uint64_t>(x + 1), cy = static_cast<uint64_t>(y + 1);
  if (cx >= width || cy >= height || (cx < flatwidth && cy < height)) return find(x, y, dir);
  std::unique_ptr<uint32_t[]>& tile = tiles[tileof(cx, cy)];
  if (!tile) {
    tile = std::make_unique<uint32_t[]>(TILESLOTS); // zeroed: every slot empty
    ++tilecount;
  }
  return tile.get() + slotof(cx, cy, dir);
}

void sweepindex::refit(int64_t columns, int64_t lines, const plist<ip>& ips) {
  if (columns < 0 || lines < 0) return;
  width = boxwidth(columns);
  height = static_cast<uint64_t>(lines) + 2;
  across = (width + TILEWIDTH - 1) >> XSHIFT;
  const uint64_t down = (height + TILEHEIGHT - 1) >> YSHIFT;
  gridwidth = static_cast<uint64_t>(columns) + 3;
  flatwidth = gridwidth * height <= FLATLIMIT / 4 ? gridwidth : 0;
  std::vector<uint32_t>(static_cast<std::size_t>(flatwidth * height * 4)).swap(flat);
  std::vector<std::unique_ptr<uint32_t[]>>(static_cast<std::size_t>(across * down)).swap(tiles);
  tilecount = 0;
  // After a sweep at most one stepped pointer stands at each cell and direction.
  auto pass = ips.begin_pass();
  while (ip* p = pass.next())
    if (p->n == 0) place(*p);
}

void sweepindex::clear() {
  std::fill(flat.begin(), flat.end(), 0);
  for (auto& tile : tiles)
    tile.reset();
  tilecount = 0;
}

} // namespace tarvex
